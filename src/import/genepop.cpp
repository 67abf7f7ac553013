// The GENEPOP reader: a title line, the locus names (one per line or separated
// by commas), then "Pop" blocks of individuals "name , genotype genotype ...",
// each genotype 2 or 3 digits per allele copy (one copy at a haploid locus).
#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "import/genotypes.hpp"

namespace velk {

namespace {

std::string Trimmed(std::string_view s) {
  std::size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return std::string(s.substr(a, b - a));
}

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

// One individual's line before its alleles are split: its line and genotypes.
struct Raw {
  std::size_t line;
  std::vector<std::string> genotypes;
};

// The "Pop" blocks and their individuals, as read.
struct Blocks {
  std::vector<Raw> raw;
  std::vector<std::size_t> raw_block;  // block of each individual
  std::vector<std::string> names;
  std::vector<std::size_t> lines;
  std::vector<int> size;
  int width = 2;  // digits per allele: 2, or 3 when a genotype has 3 or 6
};

// Locus names: from line 2 to the first "Pop" line (its index is returned).
// A name given twice is error 2525.
std::size_t ReadLocusNames(const std::vector<std::string_view>& lines, const std::string& file,
                           GenotypeSet& set, std::vector<ImportMessage>& messages) {
  std::size_t k = 1;
  set.loci.clear();
  std::vector<std::size_t> line_of;
  for (; k < lines.size() && !IsPopLine(lines[k]); ++k) {
    std::string_view rest = lines[k];
    while (true) {
      std::size_t comma = rest.find(',');
      std::string name = Trimmed(rest.substr(0, comma));
      if (!name.empty()) {
        set.loci.push_back(name);
        line_of.push_back(k + 1);
      }
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
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

// The individual of line k into set and blocks; false (2521, 2522, 2523) when
// the line is refused.
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
  Raw r{k, Words(lines[k].substr(comma + 1))};
  if (r.genotypes.size() != set.loci.size()) {
    AddImportMessage(messages, 2522,
                     where + ": " + std::to_string(r.genotypes.size()) +
                         " genotypes, but the file names " + std::to_string(set.loci.size()) +
                         " loci.");
    return false;
  }
  bool ok = true;
  for (const std::string& g : r.genotypes) {
    if (!AllDigits(g) || (g.size() != 2 && g.size() != 3 && g.size() != 4 && g.size() != 6)) {
      AddImportMessage(messages, 2523,
                       where + ": genotype \"" + Cited(g) + "\" is not 2, 3, 4 or 6 digits.");
      ok = false;
      break;
    }
    if (g.size() == 3 || g.size() == 6) blocks.width = 3;
  }
  ++blocks.size.back();
  if (blocks.names.back().empty()) blocks.names.back() = ind.id;
  blocks.raw_block.push_back(blocks.names.size() - 1);
  blocks.raw.push_back(std::move(r));
  set.individuals.push_back(std::move(ind));
  return ok;
}

// Every individual's population and alleles: one allele of `width` digits per
// copy, kept by its value (no leading zeros); false (2523) for a genotype of
// another width.
[[nodiscard]] bool SplitAlleles(const std::string& file, const Blocks& blocks, GenotypeSet& set,
                                std::vector<ImportMessage>& messages) {
  const std::size_t nloci = set.loci.size();
  const std::size_t width = static_cast<std::size_t>(blocks.width);
  bool ok = true;
  set.allele_digits = blocks.width;
  set.ploidy.assign(nloci, 1);
  for (const Raw& r : blocks.raw)
    for (std::size_t l = 0; l < nloci; ++l)
      if (r.genotypes[l].size() == 2u * width) set.ploidy[l] = 2;
  const std::size_t first = set.individuals.size() - blocks.raw.size();
  for (std::size_t i = 0; i < blocks.raw.size(); ++i) {
    Individual& ind = set.individuals[first + i];
    ind.population = blocks.names[blocks.raw_block[i]];
    ind.alleles.resize(nloci);
    for (std::size_t l = 0; l < nloci; ++l) {
      const std::string& g = blocks.raw[i].genotypes[l];
      if (g.size() % width != 0) {
        AddImportMessage(messages, 2523,
                         file + ", line " + std::to_string(blocks.raw[i].line + 1) +
                             ": genotype \"" + g + "\" is not " + std::to_string(width) + " or " +
                             std::to_string(2 * width) +
                             " digits, as the file's other genotypes are.");
        ok = false;
        continue;
      }
      for (std::size_t p = 0; p < g.size(); p += width) {
        std::string_view code = std::string_view(g).substr(p, width);
        if (AllZero(code)) continue;
        code.remove_prefix(code.find_first_not_of('0'));
        ind.alleles[l].emplace_back(code);
      }
    }
  }
  return ok;
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
  bool ok = std::set<std::string>(set.loci.begin(), set.loci.end()).size() == set.loci.size();
  for (; k < lines.size(); ++k) {
    std::string name;
    if (IsPopLine(lines[k], &name)) {
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
  return SplitAlleles(file, blocks, set, messages);
}

}  // namespace velk
