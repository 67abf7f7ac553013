// The import: reads the individuals, checks them, numbers the alleles of every
// locus in one order shared by reference and mixture, forms the mixture's
// analyses (one per mixture collection, or one pooled) and commits the files
// of compose.cpp as one set.
#include "import/import.hpp"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <set>
#include <sstream>
#include <stdexcept>
#include <unordered_map>
#include <unordered_set>

#include "control/sections.hpp"
#include "data/condense.hpp"
#include "import/built.hpp"
#include "import/duplicates.hpp"
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
using FilePlatform = SilentPlatform;


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
  KeepLoci(mix, from);
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
}

// Ploidy: a locus is haploid only when both files score it so.
std::vector<int> LocusPloidy(const GenotypeSet& ref, const GenotypeSet& mix) {
  std::vector<int> ploidy(ref.loci.size(), 1);
  for (std::size_t l = 0; l < ploidy.size(); ++l)
    ploidy[l] = std::max(ref.ploidy[l], mix.individuals.empty() ? 1 : mix.ploidy[l]);
  return ploidy;
}

// The IDs of GENEPOP individuals that another "Pop" block (or the other file)
// uses too: a GENEPOP ID needs to be unique only within its block.
std::unordered_set<std::string> SharedByBlocks(const Built& b) {
  std::unordered_map<std::string, const Individual*> first;
  std::unordered_set<std::string> shared;
  for (const auto* group : {&b.reference, &b.mixture})
    for (const Individual* ind : *group) {
      if (ind->block == 0 || ind->id.empty()) continue;
      const auto [it, fresh] = first.emplace(ind->id, ind);
      if (!fresh && (it->second->block != ind->block || it->second->file != ind->file))
        shared.insert(ind->id);
    }
  return shared;
}

// Individuals: IDs used twice (2533), one allele at a diploid locus (2534). A
// GENEPOP ID that several blocks use gets its population's name in front
// ("Pop1_Ind1", and a number after it when that is taken: note 535); within
// one block it is still used twice.
void CheckIds(const GenotypeSet& ref, const std::vector<int>& ploidy, Built& b, Messages& msgs) {
  const std::unordered_set<std::string> shared = SharedByBlocks(b);
  std::unordered_map<std::string, const Individual*> seen, in_block;
  long renamed = 0;
  std::string example;  // the first renamed individual
  auto twice = [&](const std::string& id, const Individual& first, const Individual& ind) {
    msgs.Add(2533, "Individual ID \"" + Cited(id) + "\" is used twice: " + Where(first) + " and " +
                       Where(ind) + ".");
  };
  auto check = [&](const Individual& ind, std::string& id) {
    const bool prefixed = ind.block > 0 && shared.count(ind.id) > 0;
    id = FieldSafe(prefixed ? ind.population + "_" + ind.id : ind.id);
    if (id.empty())
      id = std::string(ind.mixture ? "mixture" : "reference") + std::to_string(ind.line);
    if (prefixed) {
      const auto [it, fresh] = in_block.emplace(
          ind.file + '\n' + std::to_string(ind.block) + '\n' + ind.id, &ind);
      if (!fresh) twice(ind.id, *it->second, ind);
      const std::string base = id;
      for (int n = 2; seen.count(id); ++n) id = base + "_" + std::to_string(n);
      if (renamed++ == 0) example = "\"" + Cited(ind.id) + "\" of " + Where(ind) + " is " + Cited(id);
    }
    auto [it, fresh] = seen.emplace(id, &ind);
    if (!fresh) twice(id, *it->second, ind);
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
  if (renamed > 0)
    msgs.Add(535, std::to_string(shared.size()) + (shared.size() == 1 ? " ID is" : " IDs are") +
                      " used in more than one GENEPOP \"Pop\" block or file; the " +
                      std::to_string(renamed) +
                      " individuals that carry them are named by their population and ID, with a "
                      "number after it where that is taken (" +
                      example + ").");
}

// Each mixture individual's known population (its table's "known_collection");
// error 2071 for one that names no reference population.
void KnownPopulations(const std::unordered_map<std::string, int>& pop_index, Built& b,
                      Messages& msgs) {
  b.mix_known.assign(b.mixture.size(), -1);
  for (std::size_t i = 0; i < b.mixture.size(); ++i) {
    const Individual& ind = *b.mixture[i];
    if (ind.known.empty()) continue;
    const auto it = pop_index.find(ind.known);
    if (it == pop_index.end()) {
      msgs.Add(2071, ind.file + ", line " + std::to_string(ind.line) + ": known_collection \"" +
                         Cited(ind.known) + "\" is no collection of the reference.");
      continue;
    }
    b.mix_known[i] = it->second;
    b.any_known = true;
  }
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

// The types of every genotype the readers keep, per file and locus, so that
// counting an individual's copies looks no code up (a panel of 40,000 loci
// has 24 million genotypes to count, its files a few per locus).
class GenotypeTypes {
 public:
  GenotypeTypes(const std::vector<const Individual*>& group, const std::vector<Locus>& loci) {
    for (const Individual* ind : group) {
      const GenotypeTables* tables = &ind->alleles.Tables();
      if (!files_.empty() && files_.back().first == tables) continue;
      if (std::any_of(files_.begin(), files_.end(), [&](const auto& f) { return f.first == tables; }))
        continue;
      std::vector<std::vector<std::vector<int>>> types(loci.size());
      for (std::size_t l = 0; l < loci.size(); ++l)
        for (const std::vector<std::string>& genotype : (*tables)[l]) {
          types[l].emplace_back();
          for (const std::string& code : genotype) {
            const auto it = loci[l].type.find(code);  // none: a fish not taking part
            types[l].back().push_back(it == loci[l].type.end() ? 0 : it->second);
          }
        }
      files_.emplace_back(tables, std::move(types));
    }
  }
  // The types (1-based) of the copies of `ind` at locus l.
  const std::vector<int>& Of(const Individual& ind, std::size_t l) const {
    const GenotypeTables* tables = &ind.alleles.Tables();
    for (const auto& [file, types] : files_)
      if (file == tables) return types[l][ind.alleles.Index(l)];
    throw std::logic_error("GenotypeTypes: an individual of another group");
  }

 private:
  std::vector<std::pair<const GenotypeTables*, std::vector<std::vector<std::vector<int>>>>> files_;
};

// Per locus, the genotypes that the individuals of `group` carry, each once.
std::vector<std::vector<const std::vector<std::string>*>> CarriedGenotypes(
    const std::vector<const Individual*>& group, std::size_t nloci) {
  std::vector<std::vector<const std::vector<std::string>*>> carried(nloci);
  std::vector<std::vector<std::vector<char>>> used;  // per file met: per locus and genotype
  std::vector<const GenotypeTables*> files;
  for (const Individual* ind : group) {
    const GenotypeTables* tables = &ind->alleles.Tables();
    auto at = std::find(files.begin(), files.end(), tables);
    if (at == files.end()) {
      files.push_back(tables);
      used.emplace_back(nloci);
      for (std::size_t l = 0; l < nloci; ++l) used.back()[l].assign((*tables)[l].size(), 0);
      at = files.end() - 1;
    }
    auto& marks = used[static_cast<std::size_t>(at - files.begin())];
    for (std::size_t l = 0; l < nloci; ++l) marks[l][ind->alleles.Index(l)] = 1;
  }
  for (std::size_t f = 0; f < files.size(); ++f)
    for (std::size_t l = 0; l < nloci; ++l)
      for (std::size_t g = 0; g < used[f][l].size(); ++g)
        if (used[f][l][g]) carried[l].push_back(&(*files[f])[l][g]);
  return carried;
}

// Allele codes, shared by reference and mixture: every locus's types. Mixture
// codes the reference never has are noted (1531).
void NumberAlleles(const GenotypeSet& ref, const std::vector<int>& ploidy, Built& b,
                   Messages& msgs) {
  const std::size_t nloci = ref.loci.size();
  b.loci.resize(nloci);
  std::vector<std::string> unseen;
  const auto ref_carried = CarriedGenotypes(b.reference, nloci);
  const auto mix_carried = CarriedGenotypes(b.mixture, nloci);
  for (std::size_t l = 0; l < nloci; ++l) {
    Locus& locus = b.loci[l];
    locus.name = ref.loci[l];
    locus.ploidy = ploidy[l];
    std::set<std::string> all;
    for (const std::vector<std::string>* genotype : ref_carried[l])
      for (const std::string& a : *genotype) all.insert(a);
    std::set<std::string> mix_only;
    for (const std::vector<std::string>* genotype : mix_carried[l])
      for (const std::string& a : *genotype)
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
  for (ImportedPopulation& pop : b.pops) {
    pop.counts.resize(nloci);
    for (std::size_t l = 0; l < nloci; ++l) pop.counts[l].assign(b.loci[l].codes.size(), 0);
  }
  const GenotypeTypes types(b.reference, b.loci);
  for (std::size_t i = 0; i < b.reference.size(); ++i) {
    ImportedPopulation& pop = b.pops[static_cast<std::size_t>(b.ref_pop[i])];
    for (std::size_t l = 0; l < nloci; ++l) {
      const std::vector<int>& copies = types.Of(*b.reference[i], l);
      if (copies.empty()) ++b.ref_missing;
      for (const int k : copies) {
        ++pop.counts[l][static_cast<std::size_t>(k - 1)];
        ++b.loci[l].ref_count[static_cast<std::size_t>(k - 1)];
      }
    }
  }
  for (const ImportedPopulation& pop : b.pops)
    for (std::size_t l = 0; l < nloci; ++l)
      for (long n : pop.counts[l])
        if (n > kMaxCount) {
          msgs.Add(2538, "Population " + Cited(pop.name) + " has " + std::to_string(n) +
                             " copies of one allele at locus " + b.loci[l].name + "; at most " +
                             std::to_string(kMaxCount) + " fit the baseline's counts.");
          break;
        }
}

// The mixture's analyses: one per mixture collection, or one of all the
// individuals when pooled (none without a mixture). Each gets a name for its
// files that is safe as a file name and unique among them.
void FormParts(const ImportRequest& request, const std::string& name, Built& b) {
  if (b.mixture.empty()) return;
  if (request.pool) {
    b.parts.push_back({.collection = "", .name = name, .members = {}});
    for (std::size_t i = 0; i < b.mixture.size(); ++i) b.parts[0].members.push_back(i);
    return;
  }
  std::unordered_set<std::string> taken;
  for (const std::string& c : b.collections) {
    std::string safe;
    for (char ch : c)
      safe += std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' || ch == '-' ? ch : '_';
    if (safe.empty()) safe = "mixture";
    std::string unique = safe;
    for (int n = 2; !taken.insert(Lower(unique)).second; ++n) unique = safe + "_" + std::to_string(n);
    b.parts.push_back({.collection = c, .name = name + "-" + unique, .members = {}});
  }
  for (std::size_t i = 0; i < b.mixture.size(); ++i) {
    const auto at = std::find(b.collections.begin(), b.collections.end(), b.mixture[i]->population);
    b.parts[static_cast<std::size_t>(at - b.collections.begin())].members.push_back(i);
  }
}

// Mixture genotypes and classes, condensed as the mixture reader condenses
// them: of the whole mixture and of each analysis.
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
  CondenseLimits limits{.genotypes = INT_MAX, .classes = INT_MAX};
  Mat<std::int8_t> copies(rows, nc);
  const GenotypeTypes of(b.mixture, b.loci);
  auto place = [&](std::size_t i, Condenser& condense) {
    const Individual* ind = b.mixture[i];
    copies.Fill(0);
    int missing = 0;
    for (std::size_t l = 0; l < nloci; ++l) {
      const std::vector<int>& copied = of.Of(*ind, l);
      for (const int k : copied) ++copies(k, static_cast<int>(l + 1));
      missing += copied.empty() ? 1 : 0;
    }
    (void)condense.Place(copies, limits);  // without limits every individual is placed
    return missing;
  };
  Condenser all(types, rows, ploidies);
  for (std::size_t i = 0; i < b.mixture.size(); ++i) {
    const int missing = place(i, all);
    b.mix_missing += missing;
    b.most_missing = std::max(b.most_missing, missing);
    for (std::size_t l = 0; l < nloci; ++l)
      for (const int k : of.Of(*b.mixture[i], l))
        ++b.loci[l].mix_count[static_cast<std::size_t>(k - 1)];
    b.mix_collection.push_back(b.mixture[i]->population);
  }
  b.genotypes = all.Genotypes();
  b.classes = all.Classes();
  for (MixturePart& part : b.parts) {
    Condenser one(types, rows, ploidies);
    for (std::size_t i : part.members) part.most_missing = std::max(part.most_missing, place(i, one));
    part.genotypes = one.Genotypes();
    part.classes = one.Classes();
  }
}

// The names the reports and readers keep: loci, populations, regions.
void ShortenNames(Built& b, Messages& msgs) {
  std::vector<std::string> names;
  for (const Locus& l : b.loci) names.push_back(l.name);
  names = ShortNames(names, kLocusWidth, true, msgs, 1532, "Locus");
  for (std::size_t l = 0; l < b.loci.size(); ++l) b.loci[l].short_name = names[l];
  names.clear();
  for (const ImportedPopulation& p : b.pops) names.push_back(p.name);
  names = ShortNames(names, kPopulationWidth, false, msgs, 1533, "Population");
  for (std::size_t p = 0; p < b.pops.size(); ++p) b.pops[p].short_name = names[p];
  b.region_short = ShortNames(b.regions, kPopulationWidth, false, msgs, 1534, "Region");
}

// Loci that no individual taking part is scored at are left out of both sets
// (note 536), so that every locus kept has a type; none left is 2541.
void DropUnscoredLoci(GenotypeSet& ref, GenotypeSet& mix, const Built& b, Messages& msgs) {
  std::vector<std::size_t> kept;
  std::string left_out;
  std::size_t unscored = 0;
  for (std::size_t l = 0; l < ref.loci.size(); ++l) {
    auto scored = [l](const Individual* ind) { return !ind->alleles[l].empty(); };
    if (std::any_of(b.reference.begin(), b.reference.end(), scored) ||
        std::any_of(b.mixture.begin(), b.mixture.end(), scored)) {
      kept.push_back(l);
    } else if (++unscored <= static_cast<std::size_t>(kListed)) {
      left_out += (left_out.empty() ? "" : ", ") + Cited(ref.loci[l]);
    }
  }
  if (unscored == 0) return;
  if (kept.empty()) {
    msgs.Add(2541, "No locus has an allele scored in any individual.");
    return;
  }
  if (unscored > static_cast<std::size_t>(kListed)) left_out += ", ...";
  msgs.Add(536, std::to_string(unscored) + (unscored == 1 ? " locus is" : " loci are") +
                    " scored in no individual and left out: " + left_out + ".");
  KeepLoci(ref, kept);
  KeepLoci(mix, kept);
}

// Everything the files are made of, with the checks that need the whole data.
void Build(const ImportRequest& request, const std::string& name, GenotypeSet& ref,
           GenotypeSet& mix, Built& b, Messages& msgs) {
  SelectIndividuals(request, ref, mix, b, msgs);
  DropUnscoredLoci(ref, mix, b, msgs);
  if (msgs.Failed()) return;
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
  KnownPopulations(pop_index, b, msgs);
  if (msgs.Failed()) return;
  FormParts(request, name, b);
  CountMixtureGenotypes(b);
  ShortenNames(b, msgs);
}

std::string Percent(double part, double whole) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f%%", whole > 0 ? 100.0 * part / whole : 0.0);
  return buf;
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
    << '\n';
  if (b.mixture.empty()) {
    s << "Mixture individuals: none (a baseline alone: its evaluations only)\n";
    return s.str();
  }
  s << "Mixture individuals: " << b.mixture.size() << " in " << b.collections.size()
    << (b.collections.size() == 1 ? " collection" : " collections") << ", missing genotypes "
    << Percent(static_cast<double>(b.mix_missing), static_cast<double>(b.mixture.size() * nloci))
    << "\nDistinct mixture genotypes: " << b.genotypes << " in " << b.classes
    << " patterns of missing loci\n";
  if (b.any_known)
    s << "Of known origin: " << std::count_if(b.mix_known.begin(), b.mix_known.end(), [](int k) {
      return k >= 0;
    }) << " mixture individuals (known_collection)\n";
  for (const MixturePart& part : b.parts)
    if (!part.collection.empty())
      s << "  collection " << part.collection << ": " << part.members.size() << " individuals, "
        << part.genotypes << " distinct genotypes in " << part.classes << " patterns\n";
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

// The own names of the files an earlier import into NAME left in `folder`:
// those of its list of files, or, from an import that kept no list, its
// control file and mixture when they say they were imported.
std::vector<std::string> EarlierImport(const std::string& folder, const std::string& name) {
  // The first `most` lines of a file (none when it cannot be read).
  auto lines = [](const std::string& path, std::size_t most) {
    std::vector<std::string> first;
    std::ifstream in(path);
    for (std::string line; first.size() < most && std::getline(in, line);) first.push_back(line);
    return first;
  };
  // Only files of this import's own names, beside it, are ever retired.
  auto own = [&name](const std::string& file) {
    return file.size() > name.size() && file.compare(0, name.size(), name) == 0 &&
           std::string_view(".-_").find(file[name.size()]) != std::string_view::npos &&
           file.find_first_of("/\\") == std::string::npos;
  };
  std::vector<std::string> earlier;
  const std::string list = folder + FileListName(name);
  if (fs::exists(list)) {
    for (const std::string& line : lines(list, SIZE_MAX))
      if (!line.empty() && line[0] != '\\' && own(line)) earlier.push_back(line);
    return earlier;
  }
  auto says = [&](const std::string& file, std::string_view words) {
    for (const std::string& line : lines(folder + file, 2))
      if (line.find(words) != std::string::npos) return true;
    return false;
  };
  if (says(name + ".ctl", "\\ Written by velk import")) earlier.push_back(name + ".ctl");
  if (says(name + ".mix", "\\ Mixture individuals imported from")) earlier.push_back(name + ".mix");
  return earlier;
}

// The set: the new files in the order they are put in place, and the files of
// an earlier import into the same name that the new set does not have.
std::vector<SetFile> SetFiles(const std::string& folder, const std::string& name,
                              const std::vector<ImportFile>& made) {
  std::vector<SetFile> files;
  std::set<std::string> names;
  for (const ImportFile& f : made) {
    files.push_back({folder + f.name, &f.text, f.control});
    names.insert(f.name);
  }
  for (const std::string& earlier : EarlierImport(folder, name))
    if (names.insert(earlier).second) files.push_back({folder + earlier, nullptr, true});
  return files;
}

// Pairs of individuals whose genotypes agree nearly everywhere (warning 1535)
// and the table of them.
void CheckDuplicates(const std::string& name, Built& b, Messages& msgs) {
  const std::vector<DuplicatePair> pairs = FindDuplicates(b);
  b.duplicate_table = DuplicateTableText(b, pairs);
  if (pairs.empty()) return;
  auto who = [&](const SampleRef& s) {
    return Cited(s.mixture ? b.mix_id[s.index] : b.ref_id[s.index]);
  };
  msgs.Add(1535, std::to_string(pairs.size()) + (pairs.size() == 1 ? " pair" : " pairs") +
                     " of individuals agree at " +
                     std::to_string(static_cast<int>(kDuplicateAgreement * 100)) +
                     " % or more of the loci scored in both (at least half the loci), as a fish "
                     "sampled or entered twice would (first: " +
                     who(pairs[0].first) + " and " + who(pairs[0].second) + "); " + name +
                     ".duplicates.csv lists them.");
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
  outcome.status = 1;
  GenotypeSet ref, mix;
  std::string ref_format;
  Built b;
  const std::string name = fs::path(request.out).filename().string();
  if (ReadIndividuals(request, ref, mix, ref_format, msgs, outcome.messages) && !msgs.Failed())
    Build(request, name, ref, mix, b, msgs);
  if (msgs.Failed()) return outcome;
  CheckDuplicates(name, b, msgs);
  outcome.status = 0;
  outcome.summary = Summary(request, ref_format, b);
  const std::vector<ImportFile> made = ImportFiles(request, name, ref_format, b);
  if (request.check_only) {
    if (request.out.empty()) return outcome;
    outcome.summary += "Would write:";
    for (const ImportFile& f : made) outcome.summary += " " + f.name;
    outcome.summary += "\n";
    return outcome;
  }
  // DIR/ of DIR/NAME, as given
  const std::string folder = request.out.substr(0, request.out.size() - name.size());
  const std::vector<SetFile> files = SetFiles(folder, name, made);
  outcome.status = 1;
  if (!SetFilesFree(files, inputs, outcome.messages)) return outcome;
  FilePlatform system;
  Platform& platform = request.platform != nullptr ? *request.platform : system;
  if (!CommitFileSet(platform, files, outcome.messages)) return outcome;
  outcome.status = 0;
  for (const MixturePart& part : b.parts)
    outcome.analyses.push_back(folder + part.name + ".ctl");
  for (const SetFile& file : files)
    if (file.text != nullptr) outcome.written.push_back(file.path);
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
