// The import: reads the individuals, checks them, numbers the alleles of every
// locus in one order shared by reference and mixture, and writes NAME.bse,
// NAME.mix, NAME.ref, NAME.alleles.csv and NAME.ctl.
#include "import/import.hpp"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <new>
#include <set>
#include <sstream>
#include <unordered_map>
#include <unordered_set>

#include "control/sections.hpp"
#include "data/condense.hpp"
#include "import/import_files.hpp"

namespace velk {

namespace {

namespace fs = std::filesystem;

// Name widths the reports and readers keep.
constexpr std::size_t kLocusWidth = 10;
constexpr std::size_t kPopulationWidth = 30;
// Copies of one type in one population must fit the baseline's 16-bit counts.
constexpr long kMaxCount = 32767;
// At most this many names are listed in one message.
constexpr int kListed = 10;

// The operating system's files, for an import given no platform of its own.
class FilePlatform : public Platform {
 public:
  void ShowStatus(const std::string&) override {}
  void Beep(int) override {}
  void ShowMessageBox(const std::string&, const std::string&) override {}
};

struct Locus {
  std::string name, short_name;
  int ploidy = 2;
  std::vector<std::string> codes;             // allele codes in type order
  std::unordered_map<std::string, int> type;  // code -> type (1-based)
  std::vector<long> ref_count, mix_count;     // per type
};

struct Population {
  std::string name, short_name;
  int region = 0;                         // 1-based; 0 without regions
  std::vector<std::vector<long>> counts;  // [locus][type]
  int individuals = 0;
};

struct Built {
  std::vector<Locus> loci;
  std::vector<Population> pops;
  std::vector<std::string> regions, region_short;
  std::vector<const Individual*> reference, mixture;
  std::vector<int> ref_pop;  // per reference individual: population (0-based)
  std::vector<std::string> ref_id, mix_id, mix_collection;
  std::vector<std::string> collections;  // mixture collections kept, in order
  int genotypes = 0, classes = 0, most_missing = 0;
  long ref_missing = 0, mix_missing = 0;  // genotypes not scored
};

std::string Lower(std::string_view s) {
  std::string t(s);
  for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return t;
}

class Messages {
 public:
  explicit Messages(std::vector<ImportMessage>& list) : list_(list) {}
  void Add(int number, std::string text) { AddImportMessage(list_, number, std::move(text)); }
  bool Failed() const {
    return std::any_of(list_.begin(), list_.end(),
                       [](const ImportMessage& m) { return m.number >= 2000; });
  }

 private:
  std::vector<ImportMessage>& list_;
};

// Reads one file of individuals; more loci than an analysis takes is 2546.
[[nodiscard]] bool ReadSet(const std::string& path, const std::string& format, SampleRole role,
                           const TableOptions& table, GenotypeSet& set,
                           std::vector<ImportMessage>& list, std::string& used) {
  std::string text;
  if (!ReadInputText(path, text, list)) return false;
  used = format.empty() ? (LooksLikeGenepop(text) ? "genepop" : "table") : format;
  const bool read = used == "genepop"
                        ? ReadGenepop(text, path, role == SampleRole::kMixture, set, list)
                        : ReadGenotypeTable(text, path, role, table, set, list);
  if (set.loci.size() > static_cast<std::size_t>(kMostEntries)) {
    AddImportMessage(list, 2546,
                     path + ": " + std::to_string(set.loci.size()) +
                         " loci; an analysis takes at most " + std::to_string(kMostEntries) +
                         " characters.");
    return false;
  }
  return read;
}

// Unique short names of at most `width` characters, compared without case.
// Characters outside `keep` become "_"; a name that must begin with a letter
// gets an "L" in front. Names the cut makes equal get a number at their end.
std::vector<std::string> ShortNames(const std::vector<std::string>& names, std::size_t width,
                                    bool locus, Messages& msgs, int number, const char* what) {
  std::vector<std::string> out;
  // The fields of the mixture and reference files that are no locus.
  std::unordered_set<std::string> taken;
  if (locus) taken = {"id", "pop", "collection"};
  std::vector<std::string> renamed;
  for (const std::string& name : names) {
    std::string s;
    for (char c : name) {
      const unsigned char u = static_cast<unsigned char>(c);
      const bool fine =
          locus ? (std::isalnum(u) || c == '_' || c == '-') : (std::isprint(u) && c != ':');
      s += fine ? c : '_';
    }
    if (locus && (s.empty() || !std::isalpha(static_cast<unsigned char>(s[0]))))
      s.insert(0, 1, 'L');
    if (!locus) {
      while (!s.empty() && s.front() == ' ') s.erase(s.begin());
      if (s.empty()) s = "_";
    }
    std::string cut = s.substr(0, width);
    while (!locus && !cut.empty() && cut.back() == ' ') cut.pop_back();
    for (int n = 2; taken.count(Lower(cut)); ++n) {
      std::string tail = std::to_string(n);
      tail.insert(0, 1, '_');
      cut = s.substr(0, width - tail.size());
      cut.append(tail);
    }
    taken.insert(Lower(cut));
    if (cut != s.substr(0, width) && static_cast<int>(renamed.size()) < kListed)
      renamed.push_back(Cited(name) + " -> " + cut);
    out.push_back(cut);
  }
  if (!renamed.empty()) {
    std::string list;
    for (const std::string& r : renamed) list += "\n    " + r;
    msgs.Add(number, std::string(what) + " names that would be equal in their first " +
                         std::to_string(width) + " characters were given unique short names " +
                         "(the full names are kept in the allele table and the control file's "
                         "comments):" +
                         list);
  }
  return out;
}

// A population name for an ID or name field of a record: no blanks, and no
// "\" or "/" in front, which would make the record a comment.
std::string FieldSafe(std::string id) {
  for (char& c : id)
    if (std::isspace(static_cast<unsigned char>(c))) c = '_';
  if (!id.empty() && (id[0] == '\\' || id[0] == '/')) id.insert(id.begin(), '_');
  return id;
}

bool Numeric(const std::string& s, double& value) {
  char* end = nullptr;
  value = std::strtod(s.c_str(), &end);
  return !s.empty() && end && *end == '\0';
}

// Allele codes in type order: by value when every code is a number, else by text.
std::vector<std::string> OrderCodes(const std::set<std::string>& seen) {
  std::vector<std::string> codes(seen.begin(), seen.end());
  std::vector<double> values(codes.size());
  bool numeric = true;
  for (std::size_t k = 0; k < codes.size(); ++k) numeric = numeric && Numeric(codes[k], values[k]);
  if (numeric) {
    std::vector<std::size_t> order(codes.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return values[a] < values[b]; });
    std::vector<std::string> sorted;
    for (std::size_t k : order) sorted.push_back(codes[k]);
    return sorted;
  }
  return codes;
}

// The mixture's loci put in the reference's order; a locus that one file lacks
// is error 2531.
[[nodiscard]] bool MatchLoci(const GenotypeSet& ref, GenotypeSet& mix, const std::string& ref_file,
                             const std::string& mix_file, Messages& msgs) {
  std::unordered_map<std::string, std::size_t> where;
  for (std::size_t l = 0; l < mix.loci.size(); ++l) where.emplace(mix.loci[l], l);
  std::vector<std::string> absent, extra;
  std::vector<std::size_t> from;
  for (const std::string& name : ref.loci) {
    auto it = where.find(name);
    if (it == where.end()) {
      absent.push_back(name);
    } else {
      from.push_back(it->second);
      where.erase(it);
    }
  }
  for (const std::string& name : mix.loci)
    if (where.count(name)) extra.push_back(name);
  auto list = [](const std::vector<std::string>& names) {
    std::string s;
    for (std::size_t k = 0; k < names.size() && k < static_cast<std::size_t>(kListed); ++k)
      s += (k ? ", " : "") + Cited(names[k]);
    if (names.size() > static_cast<std::size_t>(kListed)) s += ", ...";
    return s;
  };
  if (!absent.empty())
    msgs.Add(2531, std::to_string(absent.size()) + " loci of " + ref_file + " are not in " +
                       mix_file + ": " + list(absent) + ".");
  if (!extra.empty())
    msgs.Add(2531, std::to_string(extra.size()) + " loci of " + mix_file + " are not in " +
                       ref_file + ": " + list(extra) + ".");
  if (!absent.empty() || !extra.empty()) return false;
  for (Individual& ind : mix.individuals) {
    std::vector<std::vector<std::string>> alleles(from.size());
    for (std::size_t l = 0; l < from.size(); ++l) alleles[l] = std::move(ind.alleles[from[l]]);
    ind.alleles = std::move(alleles);
  }
  std::vector<int> ploidy(from.size());
  for (std::size_t l = 0; l < from.size(); ++l) ploidy[l] = mix.ploidy[from[l]];
  mix.ploidy = std::move(ploidy);
  mix.loci = ref.loci;
  return true;
}

std::string Where(const Individual& ind) {
  return ind.file + ", line " + std::to_string(ind.line);
}

bool Wanted(const ImportRequest& request, const std::string& collection) {
  return request.collections.empty() ||
         std::find(request.collections.begin(), request.collections.end(), collection) !=
             request.collections.end();
}

// Which individuals take part: every reference individual, the mixture
// individuals of the collections asked for (2532 for one that is not there).
void SelectIndividuals(const ImportRequest& request, const GenotypeSet& ref, const GenotypeSet& mix,
                       Built& b, Messages& msgs) {
  std::vector<std::string> collections;
  for (const GenotypeSet* set : {&ref, &mix}) {
    for (const Individual& ind : set->individuals) {
      if (!ind.mixture) {
        b.reference.push_back(&ind);
        continue;
      }
      if (std::find(collections.begin(), collections.end(), ind.population) == collections.end())
        collections.push_back(ind.population);
      if (Wanted(request, ind.population)) b.mixture.push_back(&ind);
    }
  }
  for (const std::string& c : request.collections) {
    if (std::find(collections.begin(), collections.end(), c) == collections.end()) {
      std::string known;
      for (const std::string& k : collections) known += (known.empty() ? "" : ", ") + k;
      msgs.Add(2532, "No mixture collection \"" + Cited(c) +
                         "\"; the mixture holds: " + Cited(known) + ".");
    }
  }
  for (const std::string& c : collections)
    if (Wanted(request, c)) b.collections.push_back(c);
  if (b.reference.empty()) msgs.Add(2536, "There are no reference individuals.");
  if (b.mixture.empty()) msgs.Add(2536, "There are no mixture individuals.");
}

// Ploidy: a locus is haploid only when both files score it so.
std::vector<int> LocusPloidy(const GenotypeSet& ref, const GenotypeSet& mix) {
  std::vector<int> ploidy(ref.loci.size(), 1);
  for (std::size_t l = 0; l < ploidy.size(); ++l)
    ploidy[l] = std::max(ref.ploidy[l], mix.individuals.empty() ? 1 : mix.ploidy[l]);
  return ploidy;
}

// Individuals: IDs used twice (2533), one allele at a diploid locus (2534).
void CheckIds(const GenotypeSet& ref, const std::vector<int>& ploidy, Built& b, Messages& msgs) {
  std::unordered_map<std::string, const Individual*> seen;
  auto check = [&](const Individual& ind, std::string& id) {
    id = FieldSafe(ind.id);
    if (id.empty())
      id = std::string(ind.mixture ? "mixture" : "reference") + std::to_string(ind.line);
    auto [it, fresh] = seen.emplace(id, &ind);
    if (!fresh)
      msgs.Add(2533, "Individual ID \"" + Cited(id) + "\" is used twice: " + Where(*it->second) +
                         " and " + Where(ind) + ".");
    for (std::size_t l = 0; l < ploidy.size(); ++l) {
      if (ploidy[l] == 2 && ind.alleles[l].size() == 1)
        msgs.Add(2534, Where(ind) + ": individual " + Cited(id) +
                           " has one allele at the diploid locus " + Cited(ref.loci[l]) +
                           "; score both copies or neither.");
    }
  };
  b.ref_id.resize(b.reference.size());
  b.mix_id.resize(b.mixture.size());
  for (std::size_t i = 0; i < b.reference.size(); ++i) check(*b.reference[i], b.ref_id[i]);
  for (std::size_t i = 0; i < b.mixture.size(); ++i) check(*b.mixture[i], b.mix_id[i]);
}

// Populations in order of first appearance; returns name -> index.
std::unordered_map<std::string, int> NumberPopulations(Built& b) {
  std::unordered_map<std::string, int> pop_index;
  for (const Individual* ind : b.reference) {
    auto [it, fresh] = pop_index.emplace(ind->population, static_cast<int>(b.pops.size()));
    if (fresh) {
      b.pops.emplace_back();
      b.pops.back().name = ind->population;
    }
    b.ref_pop.push_back(it->second);
    ++b.pops[static_cast<std::size_t>(it->second)].individuals;
  }
  return pop_index;
}

// The region of each population from the region table; false when there is none.
[[nodiscard]] bool RegionsFromTable(const ImportRequest& request,
                                    const std::unordered_map<std::string, int>& pop_index,
                                    std::vector<std::string>& pop_region, Messages& msgs) {
  std::string text;
  std::vector<std::pair<std::string, std::string>> pairs;
  std::vector<ImportMessage> list;
  bool with_regions = false;
  if (ReadInputText(request.regions, text, list) &&
      ReadRegionTable(text, request.regions, pairs, list)) {
    with_regions = true;
    for (const auto& [pop, region] : pairs) {
      auto it = pop_index.find(pop);
      if (it == pop_index.end()) {
        msgs.Add(2535, request.regions + ": population \"" + Cited(pop) +
                           "\" has no individuals in the reference.");
        continue;
      }
      std::string& r = pop_region[static_cast<std::size_t>(it->second)];
      if (!r.empty() && r != region)
        msgs.Add(2539, request.regions + ": population \"" + Cited(pop) +
                           "\" is given two regions, " + Cited(r) + " and " + Cited(region) + ".");
      r = region;
    }
  }
  for (ImportMessage& m : list) msgs.Add(m.number, std::move(m.text));
  return with_regions;
}

// The region of each population from the reference's region column; false
// when no individual gives one.
[[nodiscard]] bool RegionsFromColumn(const Built& b, std::vector<std::string>& pop_region,
                                     Messages& msgs) {
  bool with_regions = false;
  for (std::size_t i = 0; i < b.reference.size(); ++i) {
    const Individual& ind = *b.reference[i];
    if (ind.region.empty()) continue;
    with_regions = true;
    std::string& r = pop_region[static_cast<std::size_t>(b.ref_pop[i])];
    if (!r.empty() && r != ind.region)
      msgs.Add(2539, Where(ind) + ": population \"" + Cited(ind.population) + "\" is in region " +
                         Cited(ind.region) + " here and in region " + Cited(r) + " before.");
    r = ind.region;
  }
  return with_regions;
}

// Regions in order of first appearance; every population needs one (2539).
void AssignRegions(const ImportRequest& request,
                   const std::unordered_map<std::string, int>& pop_index, Built& b,
                   Messages& msgs) {
  std::vector<std::string> pop_region(b.pops.size());
  const bool with_regions = request.regions.empty()
                                ? RegionsFromColumn(b, pop_region, msgs)
                                : RegionsFromTable(request, pop_index, pop_region, msgs);
  if (!with_regions) return;
  std::unordered_map<std::string, int> region_index;
  for (std::size_t p = 0; p < b.pops.size(); ++p) {
    if (pop_region[p].empty()) {
      msgs.Add(2539, "Population \"" + Cited(b.pops[p].name) + "\" has no region" +
                         (request.regions.empty() ? "" : " in " + request.regions) + ".");
      continue;
    }
    auto [it, fresh] = region_index.emplace(pop_region[p], static_cast<int>(b.regions.size()));
    if (fresh) b.regions.push_back(pop_region[p]);
    b.pops[p].region = it->second + 1;
  }
}

// Allele codes, shared by reference and mixture: every locus's types. Mixture
// codes the reference never has are noted (1531).
void NumberAlleles(const GenotypeSet& ref, const std::vector<int>& ploidy, Built& b,
                   Messages& msgs) {
  const std::size_t nloci = ref.loci.size();
  b.loci.resize(nloci);
  std::vector<std::string> unseen;
  for (std::size_t l = 0; l < nloci; ++l) {
    Locus& locus = b.loci[l];
    locus.name = ref.loci[l];
    locus.ploidy = ploidy[l];
    std::set<std::string> all;
    for (const Individual* ind : b.reference)
      for (const std::string& a : ind->alleles[l]) all.insert(a);
    std::set<std::string> mix_only;
    for (const Individual* ind : b.mixture)
      for (const std::string& a : ind->alleles[l])
        if (all.insert(a).second) mix_only.insert(a);
    if (!mix_only.empty()) {
      std::string codes;
      for (const std::string& c : mix_only) codes += (codes.empty() ? "" : " ") + c;
      unseen.push_back(Cited(locus.name) + " (" + Cited(codes) + ")");
    }
    locus.codes = OrderCodes(all);
    for (std::size_t k = 0; k < locus.codes.size(); ++k)
      locus.type.emplace(locus.codes[k], static_cast<int>(k + 1));
    const std::size_t t = locus.codes.size();
    if (t == 0)
      msgs.Add(2541, "Locus " + Cited(locus.name) + " has no allele scored in any individual.");
    if (t > static_cast<std::size_t>(kImportMaxTypes))
      msgs.Add(2537, "Locus " + Cited(locus.name) + " has " + std::to_string(t) +
                         " alleles; at most " + std::to_string(kImportMaxTypes) +
                         " types per locus are accepted.");
    locus.ref_count.assign(t, 0);
    locus.mix_count.assign(t, 0);
  }
  if (unseen.empty()) return;
  std::string list;
  for (std::size_t k = 0; k < unseen.size() && k < static_cast<std::size_t>(kListed); ++k)
    list += "\n    " + unseen[k];
  if (unseen.size() > static_cast<std::size_t>(kListed))
    list += "\n    and " + std::to_string(unseen.size() - kListed) + " more loci";
  msgs.Add(1531,
           "Mixture alleles never seen in the reference get types of their own with "
           "count 0 in every population:" +
               list);
}

// The reference's copies per population, locus and type; counts beyond the
// baseline's 16 bits are 2538.
void CountCopies(Built& b, Messages& msgs) {
  const std::size_t nloci = b.loci.size();
  for (Population& pop : b.pops) {
    pop.counts.resize(nloci);
    for (std::size_t l = 0; l < nloci; ++l) pop.counts[l].assign(b.loci[l].codes.size(), 0);
  }
  for (std::size_t i = 0; i < b.reference.size(); ++i) {
    Population& pop = b.pops[static_cast<std::size_t>(b.ref_pop[i])];
    for (std::size_t l = 0; l < nloci; ++l) {
      const auto& alleles = b.reference[i]->alleles[l];
      if (alleles.empty()) ++b.ref_missing;
      for (const std::string& a : alleles) {
        const int k = b.loci[l].type.at(a);
        ++pop.counts[l][static_cast<std::size_t>(k - 1)];
        ++b.loci[l].ref_count[static_cast<std::size_t>(k - 1)];
      }
    }
  }
  for (const Population& pop : b.pops)
    for (std::size_t l = 0; l < nloci; ++l)
      for (long n : pop.counts[l])
        if (n > kMaxCount) {
          msgs.Add(2538, "Population " + Cited(pop.name) + " has " + std::to_string(n) +
                             " copies of one allele at locus " + b.loci[l].name + "; at most " +
                             std::to_string(kMaxCount) + " fit the baseline's counts.");
          break;
        }
}

// Mixture genotypes and classes, condensed as the mixture reader condenses them.
void CountMixtureGenotypes(Built& b) {
  const std::size_t nloci = b.loci.size();
  const int nc = static_cast<int>(nloci);
  Vec<int> types(nc);
  std::vector<int> ploidies(nloci);
  int rows = 0;
  for (int c = 1; c <= nc; ++c) {
    const Locus& locus = b.loci[static_cast<std::size_t>(c - 1)];
    types(c) = static_cast<int>(locus.codes.size());
    ploidies[static_cast<std::size_t>(c - 1)] = locus.ploidy;
    rows = std::max(rows, types(c));
  }
  Condenser condense(types, rows, ploidies);
  CondenseLimits limits{.genotypes = INT_MAX, .classes = INT_MAX};
  Mat<std::int8_t> copies(rows, nc);
  for (const Individual* ind : b.mixture) {
    copies.Fill(0);
    int missing = 0;
    for (std::size_t l = 0; l < nloci; ++l) {
      const auto& alleles = ind->alleles[l];
      if (alleles.empty()) {
        ++missing;
        ++b.mix_missing;
      }
      for (const std::string& a : alleles) {
        const int k = b.loci[l].type.at(a);
        ++copies(k, static_cast<int>(l + 1));
        ++b.loci[l].mix_count[static_cast<std::size_t>(k - 1)];
      }
    }
    b.most_missing = std::max(b.most_missing, missing);
    (void)condense.Place(copies, limits);  // without limits every individual is placed
    b.mix_collection.push_back(ind->population);
  }
  b.genotypes = condense.Genotypes();
  b.classes = condense.Classes();
}

// The names the reports and readers keep: loci, populations, regions.
void ShortenNames(Built& b, Messages& msgs) {
  std::vector<std::string> names;
  for (const Locus& l : b.loci) names.push_back(l.name);
  names = ShortNames(names, kLocusWidth, true, msgs, 1532, "Locus");
  for (std::size_t l = 0; l < b.loci.size(); ++l) b.loci[l].short_name = names[l];
  names.clear();
  for (const Population& p : b.pops) names.push_back(p.name);
  names = ShortNames(names, kPopulationWidth, false, msgs, 1533, "Population");
  for (std::size_t p = 0; p < b.pops.size(); ++p) b.pops[p].short_name = names[p];
  b.region_short = ShortNames(b.regions, kPopulationWidth, false, msgs, 1534, "Region");
}

// Everything the files are made of, with the checks that need the whole data.
void Build(const ImportRequest& request, const GenotypeSet& ref, const GenotypeSet& mix, Built& b,
           Messages& msgs) {
  SelectIndividuals(request, ref, mix, b, msgs);
  const std::vector<int> ploidy = LocusPloidy(ref, mix);
  CheckIds(ref, ploidy, b, msgs);
  const std::unordered_map<std::string, int> pop_index = NumberPopulations(b);
  if (b.pops.size() > static_cast<std::size_t>(kMostEntries))
    msgs.Add(2546, std::to_string(b.pops.size()) + " populations; an analysis takes at most " +
                       std::to_string(kMostEntries) + ".");
  AssignRegions(request, pop_index, b, msgs);
  NumberAlleles(ref, ploidy, b, msgs);
  if (msgs.Failed()) return;
  CountCopies(b, msgs);
  CountMixtureGenotypes(b);
  ShortenNames(b, msgs);
}

// The record field of one locus: one digit per type, the copies of that type.
std::string Field(const Locus& locus, const std::vector<std::string>& alleles) {
  std::string f(locus.codes.size(), '0');
  for (const std::string& a : alleles) ++f[static_cast<std::size_t>(locus.type.at(a) - 1)];
  return f;
}

std::string Percent(double part, double whole) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f%%", whole > 0 ? 100.0 * part / whole : 0.0);
  return buf;
}

// Iterations the panel may need: the larger of 1000 and 20 per population.
int IterationLimit(const Built& b) {
  return std::max(1000, 20 * static_cast<int>(b.pops.size()));
}

struct Texts {
  std::string bse, mix, ref, alleles, ctl;
};

// Baseline: one block per population, one count line per locus.
std::string BaselineText(const Built& b) {
  std::ostringstream bse;
  for (std::size_t p = 0; p < b.pops.size(); ++p) {
    bse << "# " << p + 1 << ' ' << b.pops[p].short_name << '\n';
    for (std::size_t l = 0; l < b.loci.size(); ++l) {
      bse << b.loci[l].short_name;
      for (long n : b.pops[p].counts[l]) bse << ' ' << n;
      bse << '\n';
    }
  }
  return bse.str();
}

// Mixture and reference individuals: a locus definition, then one record each.
void WriteIndividuals(const std::string& sources, const Built& b, std::ostringstream& mix,
                      std::ostringstream& ref) {
  const std::size_t nloci = b.loci.size();
  mix << "\\ Mixture individuals imported from " << sources << "\n* characters\nID\nCOLLECTION\n";
  ref << "\\ Reference individuals imported from " << sources << "\n* characters\nID\nPOP\n";
  for (const Locus& l : b.loci) {
    mix << l.short_name << '\n';
    ref << l.short_name << '\n';
  }
  mix << "* end\n";
  ref << "* end\n";
  for (std::size_t i = 0; i < b.mixture.size(); ++i) {
    const std::string collection = FieldSafe(b.mix_collection[i]);
    mix << b.mix_id[i] << ' ' << (collection.empty() ? "-" : collection);
    for (std::size_t l = 0; l < nloci; ++l)
      mix << ' ' << Field(b.loci[l], b.mixture[i]->alleles[l]);
    mix << '\n';
  }
  for (std::size_t i = 0; i < b.reference.size(); ++i) {
    ref << b.ref_id[i] << ' ' << b.ref_pop[i] + 1;
    for (std::size_t l = 0; l < nloci; ++l)
      ref << ' ' << Field(b.loci[l], b.reference[i]->alleles[l]);
    ref << '\n';
  }
}

std::string AlleleTableText(const Built& b) {
  auto csv = [](const std::string& s) {
    if (s.find_first_of(",\"\n") == std::string::npos) return s;
    std::string q = "\"";
    for (char c : s) q += c == '"' ? std::string("\"\"") : std::string(1, c);
    return q + "\"";
  };
  std::ostringstream alleles;
  alleles << "locus,short_name,allele,type,reference_copies,mixture_copies\n";
  for (const Locus& l : b.loci)
    for (std::size_t k = 0; k < l.codes.size(); ++k)
      alleles << csv(l.name) << ',' << l.short_name << ',' << csv(l.codes[k]) << ',' << k + 1 << ','
              << l.ref_count[k] << ',' << l.mix_count[k] << '\n';
  return alleles.str();
}

// The control file's comments: where everything came from and why each
// parameter has its value.
void WriteControlComments(const ImportRequest& request, const std::string& name,
                          const std::string& sources, const Built& b, std::ostringstream& ctl) {
  const int nc = static_cast<int>(b.loci.size());
  std::size_t fewest = SIZE_MAX, most = 0;
  for (const Locus& l : b.loci) {
    fewest = std::min(fewest, l.codes.size());
    most = std::max(most, l.codes.size());
  }
  ctl << "\\ Written by velk import from " << sources << ".\n"
      << "\\ Characters: the " << nc << " loci of the reference file in its order; the types of\n"
      << "\\   a locus are its allele codes seen in reference or mixture (" << fewest << " to "
      << most << " per locus),\n"
      << "\\   numbered by value (by text when a code is not a number): " << name
      << ".alleles.csv.\n"
      << "\\ Populations: the " << b.pops.size()
      << " reference populations in order of first appearance";
  if (!b.regions.empty())
    ctl << ";\n\\   regions: " << b.regions.size() << ", from "
        << (request.regions.empty() ? std::string("the region column") : request.regions)
        << ", in order of first appearance";
  ctl << ".\n"
      << "\\ Mixture: " << b.mixture.size() << " individuals";
  if (!request.collections.empty() || b.collections.size() > 1) {
    ctl << " of the collections";
    for (const std::string& c : b.collections) ctl << ' ' << c;
  }
  ctl << "; their IDs and collections are\n\\   the first two fields of " << name << ".mix.\n"
      << "\\ Rannala-Mountain model: every population gets a prior of one gene copy per locus.\n"
      << "\\ Maximum number of genotypes " << std::max(b.genotypes, 1)
      << ": the distinct mixture genotypes; classes " << std::max(b.classes, 1) << ": their\n"
      << "\\   patterns of missing loci; missing loci " << std::max(nc - 1, 0)
      << ": every individual with a scored locus is kept\n"
      << "\\   (the most missing in one individual: " << b.most_missing << ").\n"
      << "\\ Likelihood tolerance 1e-15 (a few units in the last place of the log likelihood),\n"
      << "\\   estimate convergence tolerance 1e-7, guaranteed percent of maximum 99.99999 and\n"
      << "\\   " << IterationLimit(b) << " iterations (at least 1000, 20 per population): the "
      << "search goes on to the\n"
      << "\\   maximum, past the missing baseline's estimation, to well below the reports' last\n"
      << "\\   digit.\n";
}

// The comment lines that give the full names of the names shortened.
void WriteShortenedNames(const Built& b, std::ostringstream& ctl) {
  bool renamed = false;
  for (const Locus& l : b.loci) renamed = renamed || l.short_name != l.name;
  for (const Population& p : b.pops) renamed = renamed || p.short_name != p.name;
  for (std::size_t r = 0; r < b.regions.size(); ++r)
    renamed = renamed || b.region_short[r] != b.regions[r];
  if (!renamed) return;
  ctl << "\\ Names shortened to the widths the reports and readers keep (short = full):\n";
  for (const Locus& l : b.loci)
    if (l.short_name != l.name) ctl << "\\   locus " << l.short_name << " = " << l.name << '\n';
  for (const Population& p : b.pops)
    if (p.short_name != p.name)
      ctl << "\\   population " << p.short_name << " = " << p.name << '\n';
  for (std::size_t r = 0; r < b.regions.size(); ++r)
    if (b.region_short[r] != b.regions[r])
      ctl << "\\   region " << b.region_short[r] << " = " << b.regions[r] << '\n';
}

// The control file's sections.
void WriteControlSections(const std::string& name, const Built& b, std::ostringstream& ctl) {
  const std::size_t nloci = b.loci.size();
  const int nc = static_cast<int>(nloci);
  ctl << "* Options\n"
      << "Compute jackknife: yes\n"
      << "Rannala-Mountain model: yes\n"
      << "* Parameters\n"
      << "Number of characters in analysis: " << nc << '\n'
      << "Number of stocks in analysis: " << b.pops.size() << '\n'
      << "Maximum number of iterations: " << IterationLimit(b) << '\n'
      << "Maximum number of genotypes: " << std::max(b.genotypes, 1) << '\n'
      << "Maximum number of classes: " << std::max(b.classes, 1) << '\n'
      << "Maximum number of missing loci: " << std::max(nc - 1, 0) << '\n'
      << "Likelihood tolerance: 1e-15\n"
      << "Estimate convergence tolerance: 1e-7\n"
      << "Guaranteed percent of maximum: 99.99999\n"
      << "* Files\n"
      << "Baseline file: " << name << ".bse\n"
      << "Mixture file: " << name << ".mix\n"
      << "Output file: " << name << '\n'
      << "Reference individuals file: " << name << ".ref\n"
      << "* Characters\n"
      << "[ID #] [# Types] [Character] [Kind]\n";
  for (std::size_t l = 0; l < nloci; ++l)
    ctl << l + 1 << ' ' << b.loci[l].codes.size() << ' ' << b.loci[l].short_name << " : "
        << (b.loci[l].ploidy == 1 ? "mtdna" : "locus") << '\n';
  ctl << "* Populations\n"
      << (b.regions.empty() ? "[ID #] [Population]\n" : "[ID #] [Population] [Lev1]\n");
  for (std::size_t p = 0; p < b.pops.size(); ++p) {
    ctl << p + 1 << ' ' << b.pops[p].short_name;
    if (!b.regions.empty()) ctl << " : " << b.pops[p].region;
    ctl << '\n';
  }
  if (!b.regions.empty()) {
    ctl << "* Regions\n[Level] [Label] [Region]\n";
    for (std::size_t r = 0; r < b.regions.size(); ++r)
      ctl << "1 " << r + 1 << ' ' << b.region_short[r] << '\n';
  }
  ctl << "* Run\n";
}

void Compose(const ImportRequest& request, const std::string& name, const std::string& format,
             const Built& b, Texts& out) {
  std::string sources = request.input + " (" + format + ")";
  if (!request.mixture.empty()) sources += " and " + request.mixture;
  std::ostringstream mix, ref, ctl;
  WriteIndividuals(sources, b, mix, ref);
  ctl << "* Estimation: " << name << ", imported genotypes\n";
  WriteControlComments(request, name, sources, b, ctl);
  WriteShortenedNames(b, ctl);
  WriteControlSections(name, b, ctl);
  out = {BaselineText(b), mix.str(), ref.str(), AlleleTableText(b), ctl.str()};
}

std::string Summary(const ImportRequest& request, const std::string& format, const Built& b) {
  const std::size_t nloci = b.loci.size();
  std::size_t types = 0, haploid = 0;
  for (const Locus& l : b.loci) {
    types += l.codes.size();
    if (l.ploidy == 1) ++haploid;
  }
  std::ostringstream s;
  s << "Input: " << request.input << " (" << format << ")";
  if (!request.mixture.empty()) s << ", mixture " << request.mixture;
  s << "\nPopulations: " << b.pops.size() << "\nRegions: " << b.regions.size()
    << "\nLoci: " << nloci;
  if (haploid) s << " (" << haploid << " haploid)";
  s << "\nTypes: " << types << "\nReference individuals: " << b.reference.size()
    << ", missing genotypes "
    << Percent(static_cast<double>(b.ref_missing), static_cast<double>(b.reference.size() * nloci))
    << "\nMixture individuals: " << b.mixture.size() << " in " << b.collections.size()
    << (b.collections.size() == 1 ? " collection" : " collections") << ", missing genotypes "
    << Percent(static_cast<double>(b.mix_missing), static_cast<double>(b.mixture.size() * nloci))
    << "\nDistinct mixture genotypes: " << b.genotypes << " in " << b.classes
    << " patterns of missing loci\n";
  return s.str();
}

}  // namespace

std::string FormatImportMessage(const ImportMessage& message) {
  const char* level = message.number >= 2000   ? "error"
                      : message.number >= 1000 ? "warning"
                                               : "note";
  std::string text =
      std::string(level) + " " + std::to_string(message.number) + ": " + message.text;
  if (message.more > 0)
    text += " (" + std::to_string(message.more) + " more " +
            (message.more == 1 ? "message" : "messages") + " " + std::to_string(message.number) +
            " left out)";
  return text;
}

namespace {

// The files of the set, the control file last (it is put in place last).
std::vector<SetFile> SetFiles(const ImportRequest& request, const Texts& t) {
  return {{request.out + ".bse", &t.bse},
          {request.out + ".mix", &t.mix},
          {request.out + ".ref", &t.ref},
          {request.out + ".alleles.csv", &t.alleles},
          {request.out + ".ctl", &t.ctl}};
}

// A usage error (2590) of the request, "" when there is none.
std::string UsageProblem(const ImportRequest& request) {
  if (request.input.empty()) return "No input file given.";
  if (request.out.empty() && !request.check_only) return "--out DIR/NAME is required.";
  if (!request.format.empty() && request.format != "table" && request.format != "genepop")
    return "--format wants table or genepop, not " + request.format + ".";
  const std::string name = fs::path(request.out).filename().string();
  if (!request.out.empty() && (name.empty() || name.find('.') != std::string::npos))
    return "--out wants DIR/NAME with a NAME without \".\" (the files get their own "
           "extensions), not " +
           request.out + ".";
  return {};
}

// Reads the reference (and the mixture's own file) and puts the mixture's loci
// in the reference's order; false when they cannot be used.
[[nodiscard]] bool ReadIndividuals(const ImportRequest& request, GenotypeSet& ref, GenotypeSet& mix,
                                   std::string& ref_format, Messages& msgs,
                                   std::vector<ImportMessage>& list) {
  const SampleRole role = request.mixture.empty() ? SampleRole::kBoth : SampleRole::kReference;
  bool ok = ReadSet(request.input, request.format, role, request.table, ref, list, ref_format);
  if (request.mixture.empty()) {
    mix.loci = ref.loci;
    mix.ploidy = ref.ploidy;
  } else {
    std::string mix_format;
    ok = ReadSet(request.mixture, request.format, SampleRole::kMixture, request.table, mix, list,
                 mix_format) &&
         ok;
    if (ok) ok = MatchLoci(ref, mix, request.input, request.mixture, msgs);
    if (ok && ref.allele_digits > 0 && mix.allele_digits > 0 &&
        ref.allele_digits != mix.allele_digits)
      msgs.Add(530, request.input + " writes alleles in " + std::to_string(ref.allele_digits) +
                        " digits, " + request.mixture + " in " + std::to_string(mix.allele_digits) +
                        ": alleles are compared by their value (01 is 001).");
  }
  if (ok && ref_format == "genepop" && request.mixture.empty())
    msgs.Add(2536,
             "A GENEPOP file holds the reference only: name the mixture's file with "
             "--mixture.");
  return ok;
}

ImportOutcome ImportWithin(const ImportRequest& request) {
  ImportOutcome outcome;
  Messages msgs(outcome.messages);
  if (const std::string usage = UsageProblem(request); !usage.empty()) {
    msgs.Add(2590, usage);
    outcome.status = 2;
    return outcome;
  }
  const std::vector<std::string> inputs = {request.input, request.mixture, request.regions};
  Texts texts;
  const std::vector<SetFile> files = SetFiles(request, texts);
  outcome.status = 1;
  if (!request.check_only && !SetFilesFree(files, inputs, outcome.messages)) return outcome;
  GenotypeSet ref, mix;
  std::string ref_format;
  Built b;
  if (ReadIndividuals(request, ref, mix, ref_format, msgs, outcome.messages) && !msgs.Failed())
    Build(request, ref, mix, b, msgs);
  if (msgs.Failed()) return outcome;
  outcome.status = 0;
  outcome.summary = Summary(request, ref_format, b);
  if (request.check_only) {
    if (!request.out.empty())
      outcome.summary += "Would write: " + request.out + ".bse, .mix, .ref, .alleles.csv, .ctl\n";
    return outcome;
  }
  Compose(request, fs::path(request.out).filename().string(), ref_format, b, texts);
  FilePlatform system;
  Platform& platform = request.platform != nullptr ? *request.platform : system;
  if (!CommitFileSet(platform, files, outcome.messages)) {
    outcome.status = 1;
    return outcome;
  }
  for (const SetFile& file : files) outcome.written.push_back(file.path);
  return outcome;
}

}  // namespace

ImportOutcome Import(const ImportRequest& request) {
  try {
    return ImportWithin(request);
  } catch (const std::bad_alloc&) {
    ImportOutcome outcome;
    outcome.status = 1;
    outcome.messages.push_back(
        {2500, "Out of memory: the input is too large to import. Nothing was written."});
    return outcome;
  }
}

}  // namespace velk
