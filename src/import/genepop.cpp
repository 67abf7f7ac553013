// The GENEPOP reader: a title line, the locus names (separated by commas,
// lines, spaces or tabs), then "Pop" blocks of individuals "name , genotype
// genotype ...", each genotype 2 or 3 digits per allele copy (one copy at a haploid locus).
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "import/genotypes.hpp"

namespace velk {

namespace {

// At most this many names are listed in one message.
constexpr std::size_t kNamesListed = 10;

// A "Pop" separator line: the word alone or followed by a name, never by a
// comma (an individual named "Pop 2 , 0101 ..."); `name` gets the text after
// the word, if any.
bool IsPopLine(std::string_view line, std::string* name = nullptr) {
  const std::string t = Trimmed(line);
  if (t.size() < 3 || t.find(',') != std::string::npos) return false;
  for (std::size_t k = 0; k < 3; ++k)
    if (std::tolower(static_cast<unsigned char>(t[k])) != "pop"[k]) return false;
  if (t.size() > 3 && !std::isspace(static_cast<unsigned char>(t[3]))) return false;
  if (name) *name = Trimmed(std::string_view(t).substr(3));
  return true;
}

std::vector<std::string> Words(std::string_view s) {
  std::vector<std::string> words;
  std::size_t p = 0;
  while (p < s.size()) {
    while (p < s.size() && std::isspace(static_cast<unsigned char>(s[p]))) ++p;
    std::size_t start = p;
    while (p < s.size() && !std::isspace(static_cast<unsigned char>(s[p]))) ++p;
    if (p > start) words.emplace_back(s.substr(start, p - start));
  }
  return words;
}

bool AllDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool AllZero(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == '0'; });
}

}  // namespace

bool LooksLikeGenepop(std::string_view text) {
  for (std::string_view line : SplitLines(text))
    if (IsPopLine(line)) return true;
  return false;
}

namespace {

// The "Pop" blocks as read, and per locus the numbering of the genotypes as
// written ("0102"), which become allele codes once the file's width is known.
struct Blocks {
  std::vector<std::string> names;
  std::vector<bool> named;  // whether the "Pop" line names the block
  std::vector<std::size_t> lines;
  std::vector<int> size;
  std::vector<GenotypeNumbering> numbering;  // per locus
  int width = 2;  // digits per allele: 2, or 3 when a genotype has 3 or 6
};

// The names of `text`, split at commas and at `blanks`.
std::vector<std::string> Names(std::string_view text, std::string_view blanks) {
  std::vector<std::string> names;
  std::string separators(1, ',');
  separators.append(blanks);
  for (std::size_t p = 0; p <= text.size();) {
    const std::size_t end = std::min(text.find_first_of(separators, p), text.size());
    std::string name = Trimmed(text.substr(p, end - p));
    if (!name.empty()) names.push_back(std::move(name));
    p = end + 1;
  }
  return names;
}

// Locus names: from line 2 to the first "Pop" line (its index is returned),
// separated by commas, lines, spaces or tabs. Names that hold a blank (one a
// line, or between commas) are kept whole when that, and not the blanks, gives
// the first individual's number of genotypes. A name given twice is 2525.
std::size_t ReadLocusNames(const std::vector<std::string_view>& lines, const std::string& file,
                           GenotypeSet& set, std::vector<ImportMessage>& messages) {
  std::size_t k = 1;
  std::vector<std::string> by_blank, whole;
  std::vector<std::size_t> line_of, whole_line_of;
  for (; k < lines.size() && !IsPopLine(lines[k]); ++k) {
    for (std::string& name : Names(lines[k], " \t\v\f\r")) {
      by_blank.push_back(std::move(name));
      line_of.push_back(k + 1);
    }
    for (std::string& name : Names(lines[k], "")) {
      whole.push_back(std::move(name));
      whole_line_of.push_back(k + 1);
    }
  }
  std::size_t genotypes = 0;
  for (std::size_t i = k + 1; i < lines.size(); ++i) {
    const std::size_t comma = lines[i].find(',');
    if (comma == std::string_view::npos || IsPopLine(lines[i])) continue;
    genotypes = Words(lines[i].substr(comma + 1)).size();
    break;
  }
  const bool keep_whole = whole.size() == genotypes && by_blank.size() != genotypes;
  set.loci = keep_whole ? whole : by_blank;
  if (keep_whole) line_of = whole_line_of;
  std::map<std::string, std::size_t> first;
  for (std::size_t l = 0; l < set.loci.size(); ++l) {
    const auto [at, fresh] = first.emplace(set.loci[l], l);
    if (!fresh)
      AddImportMessage(messages, 2525,
                       file + ": locus \"" + Cited(set.loci[l]) + "\" is named twice, as locus " +
                           std::to_string(at->second + 1) + " (line " +
                           std::to_string(line_of[at->second]) + ") and as locus " +
                           std::to_string(l + 1) + " (line " + std::to_string(line_of[l]) +
                           "); every locus needs a name of its own.");
  }
  return k;
}

// The individual of line k into set and blocks, each genotype numbered as
// written; false (2521, 2522, 2523) when the line is refused.
[[nodiscard]] bool ReadIndividual(const std::vector<std::string_view>& lines, std::size_t k,
                                  const std::string& file, bool mixture, GenotypeSet& set,
                                  Blocks& blocks, std::vector<ImportMessage>& messages) {
  const std::string where = file + ", line " + std::to_string(k + 1);
  const std::size_t comma = lines[k].find(',');
  if (comma == std::string_view::npos) {
    AddImportMessage(messages, 2521, where + ": no comma after the individual's name.");
    return false;
  }
  Individual ind;
  ind.id = Trimmed(lines[k].substr(0, comma));
  ind.file = file;
  ind.line = static_cast<int>(k + 1);
  ind.mixture = mixture;
  ind.block = static_cast<int>(blocks.names.size());
  std::vector<std::string> genotypes = Words(lines[k].substr(comma + 1));
  if (genotypes.size() != set.loci.size()) {
    AddImportMessage(messages, 2522,
                     where + ": " + std::to_string(genotypes.size()) +
                         " genotypes, but the file names " + std::to_string(set.loci.size()) +
                         " loci.");
    return false;
  }
  ++blocks.size.back();
  if (blocks.names.back().empty()) blocks.names.back() = ind.id;
  std::vector<std::uint16_t> index(genotypes.size());
  for (std::size_t l = 0; l < genotypes.size(); ++l) {
    const std::string& g = genotypes[l];
    if (!AllDigits(g) || (g.size() != 2 && g.size() != 3 && g.size() != 4 && g.size() != 6)) {
      AddImportMessage(messages, 2523,
                       where + ": genotype \"" + Cited(g) + "\" is not 2, 3, 4 or 6 digits.");
      return false;
    }
    if (g.size() == 3 || g.size() == 6) blocks.width = 3;
    std::vector<std::string> written = {g};
    // 6 digits give at most 10^6 genotypes: more than kMostGenotypes are refused.
    if (!blocks.numbering[l].Index((*set.tables)[l], written, index[l])) {
      AddImportMessage(messages, 2511,
                       where + ": locus " + Cited(set.loci[l]) + " has more than " +
                           std::to_string(kMostGenotypes) + " different genotypes.");
      return false;
    }
  }
  ind.alleles = GenotypeRow(set.tables, std::move(index));
  set.individuals.push_back(std::move(ind));
  return true;
}

// The allele codes of a genotype as written: one of `width` digits per copy,
// kept by its value (no leading zeros); a copy of zeros is missing.
std::vector<std::string> Codes(const std::string& g, std::size_t width) {
  std::vector<std::string> codes;
  for (std::size_t p = 0; p < g.size(); p += width) {
    std::string_view code = std::string_view(g).substr(p, width);
    if (AllZero(code)) continue;
    code.remove_prefix(code.find_first_not_of('0'));
    codes.emplace_back(code);
  }
  return codes;
}

// Ploidy of a locus from its genotypes as written: haploid when every one
// scored is one copy, or two copies of which one is zeros ("2300").
int PloidyOf(const LocusGenotypes& written, std::size_t width, bool& in_diploid_digits) {
  bool scored = false, one_copy = true, zero_half = true;
  for (const std::vector<std::string>& w : written) {
    const std::string& g = w[0];
    if (AllZero(g)) continue;
    scored = true;
    if (g.size() == width) {
      zero_half = false;
      continue;
    }
    one_copy = false;
    zero_half = zero_half && g.size() == 2 * width &&
                (AllZero(std::string_view(g).substr(0, width)) ||
                 AllZero(std::string_view(g).substr(width)));
  }
  in_diploid_digits = scored && !one_copy && zero_half;
  return one_copy || in_diploid_digits ? 1 : 2;
}

// The genotypes as written become allele codes, in the file's width; false
// (2523) for a genotype of another width. Loci written "2300" throughout are
// haploid (note 534).
[[nodiscard]] bool SplitAlleles(const std::string& file, const Blocks& blocks, GenotypeSet& set,
                                std::vector<ImportMessage>& messages) {
  const std::size_t width = static_cast<std::size_t>(blocks.width);
  set.allele_digits = blocks.width;
  set.ploidy.assign(set.loci.size(), 1);
  std::vector<std::string> halves;
  bool ok = true;
  for (std::size_t l = 0; l < set.loci.size(); ++l) {
    LocusGenotypes& written = (*set.tables)[l];
    bool in_diploid_digits = false;
    set.ploidy[l] = PloidyOf(written, width, in_diploid_digits);
    if (in_diploid_digits) halves.push_back(Cited(set.loci[l]));
    for (std::uint16_t g = 0; g < written.size(); ++g) {
      const std::string w = written[g][0];
      if (w.size() % width == 0) {
        written[g] = Codes(w, width);
        continue;
      }
      const auto at = std::find_if(set.individuals.begin(), set.individuals.end(),
                                   [&](const Individual& ind) { return ind.alleles.Index(l) == g; });
      AddImportMessage(messages, 2523,
                       file + ", line " + std::to_string(at->line) + ": genotype \"" + w +
                           "\" is not " + std::to_string(width) + " or " +
                           std::to_string(2 * width) + " digits, as the file's other genotypes are.");
      ok = false;
    }
  }
  if (!halves.empty()) {
    std::string names;
    for (std::size_t k = 0; k < halves.size() && k < kNamesListed; ++k)
      names += (k ? ", " : "") + halves[k];
    if (halves.size() > kNamesListed) names += ", ...";
    AddImportMessage(messages, 534,
                     file + ": " + std::to_string(halves.size()) +
                         (halves.size() == 1 ? " locus is" : " loci are") +
                         " written as one allele and zeros in every genotype scored (a haploid "
                         "marker in diploid digits, as 2300); read as haploid: " + names + ".");
  }
  return ok;
}

// Every individual's population: its block's name. A block that the "Pop"
// line does not name is named by its first individual, with its number after
// it when an earlier block has that name ("Ind1_2"), so that each is a
// population of its own.
void NameBlocks(Blocks& blocks, GenotypeSet& set) {
  std::set<std::string> taken;
  for (std::size_t b = 0; b < blocks.names.size(); ++b) {
    if (!blocks.named[b] && taken.count(blocks.names[b]))
      blocks.names[b].append(1, '_').append(std::to_string(b + 1));
    taken.insert(blocks.names[b]);
  }
  for (Individual& ind : set.individuals)
    ind.population = blocks.names[static_cast<std::size_t>(ind.block - 1)];
}

}  // namespace

bool ReadGenepop(std::string_view text, const std::string& file, bool mixture, GenotypeSet& set,
                 std::vector<ImportMessage>& messages) {
  const std::vector<std::string_view> lines = SplitLines(text);
  std::size_t k = ReadLocusNames(lines, file, set, messages);
  if (k >= lines.size() || set.loci.empty()) {
    AddImportMessage(messages, 2520,
                     file + ": no " +
                         std::string(set.loci.empty() ? "locus names" : "\"Pop\" line") +
                         " after the title line; this is not a GENEPOP file.");
    return false;
  }
  // Individuals; the allele width (2 or 3 digits) is the file's.
  Blocks blocks;
  blocks.numbering.resize(set.loci.size());
  set.tables->assign(set.loci.size(), LocusGenotypes{});
  bool ok = std::set<std::string>(set.loci.begin(), set.loci.end()).size() == set.loci.size();
  for (; k < lines.size(); ++k) {
    std::string name;
    if (IsPopLine(lines[k], &name)) {
      blocks.named.push_back(!name.empty());
      blocks.names.push_back(name);
      blocks.lines.push_back(k);
      blocks.size.push_back(0);
      continue;
    }
    if (Trimmed(lines[k]).empty()) continue;
    if (!ReadIndividual(lines, k, file, mixture, set, blocks, messages)) ok = false;
  }
  for (std::size_t b = 0; b < blocks.size.size(); ++b) {
    if (blocks.size[b] == 0) {
      AddImportMessage(messages, 2524,
                       file + ", line " + std::to_string(blocks.lines[b] + 1) +
                           ": a \"Pop\" block without individuals: a population with no "
                           "individuals.");
      ok = false;
    }
  }
  if (!ok) return false;
  NameBlocks(blocks, set);
  return SplitAlleles(file, blocks, set, messages);
}

}  // namespace velk
