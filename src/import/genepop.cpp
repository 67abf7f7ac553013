// The GENEPOP reader: a title line, the locus names (one per line or separated
// by commas), then "Pop" blocks of individuals "name , genotype genotype ...",
// each genotype 2 or 3 digits per allele copy (one copy at a haploid locus).
#include <algorithm>
#include <cctype>
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

// A "Pop" separator line; `name` gets the text after the word, if any.
bool IsPopLine(std::string_view line, std::string* name = nullptr) {
  const std::string t = Trimmed(line);
  if (t.size() < 3) return false;
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

bool ReadGenepop(std::string_view text, const std::string& file, bool mixture, GenotypeSet& set,
                 std::vector<ImportMessage>& messages) {
  const std::vector<std::string_view> lines = SplitLines(text);
  auto where = [&](std::size_t k) { return file + ", line " + std::to_string(k + 1); };
  bool ok = true;

  // Locus names: from line 2 to the first "Pop" line.
  std::size_t k = 1;
  set.loci.clear();
  for (; k < lines.size() && !IsPopLine(lines[k]); ++k) {
    std::string_view rest = lines[k];
    while (true) {
      std::size_t comma = rest.find(',');
      std::string name = Trimmed(rest.substr(0, comma));
      if (!name.empty()) set.loci.push_back(name);
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
  }
  if (k >= lines.size() || set.loci.empty()) {
    messages.push_back({2520, file + ": no " +
                                  std::string(set.loci.empty() ? "locus names" : "\"Pop\" line") +
                                  " after the title line; this is not a GENEPOP file."});
    return false;
  }
  const std::size_t nloci = set.loci.size();

  // Individuals; the allele width (2 or 3 digits) is the file's.
  struct Raw {
    std::size_t line;
    std::vector<std::string> genotypes;
  };
  std::vector<Raw> raw;
  std::vector<std::size_t> raw_block;  // block of each individual
  std::vector<std::string> block_names;
  std::vector<std::size_t> block_lines;
  std::vector<int> block_size;
  int width = 2;
  for (; k < lines.size(); ++k) {
    std::string name;
    if (IsPopLine(lines[k], &name)) {
      block_names.push_back(name);
      block_lines.push_back(k);
      block_size.push_back(0);
      continue;
    }
    if (Trimmed(lines[k]).empty()) continue;
    const std::size_t comma = lines[k].find(',');
    if (comma == std::string_view::npos) {
      messages.push_back({2521, where(k) + ": no comma after the individual's name."});
      ok = false;
      continue;
    }
    Individual ind;
    ind.id = Trimmed(lines[k].substr(0, comma));
    ind.file = file;
    ind.line = static_cast<int>(k + 1);
    ind.mixture = mixture;
    Raw r{k, Words(lines[k].substr(comma + 1))};
    if (r.genotypes.size() != nloci) {
      messages.push_back({2522, where(k) + ": " + std::to_string(r.genotypes.size()) +
                                    " genotypes, but the file names " + std::to_string(nloci) +
                                    " loci."});
      ok = false;
      continue;
    }
    for (const std::string& g : r.genotypes) {
      if (!AllDigits(g) || (g.size() != 2 && g.size() != 3 && g.size() != 4 && g.size() != 6)) {
        messages.push_back(
            {2523, where(k) + ": genotype \"" + g + "\" is not 2, 3, 4 or 6 digits."});
        ok = false;
        break;
      }
      if (g.size() == 3 || g.size() == 6) width = 3;
    }
    ++block_size.back();
    if (block_names.back().empty()) block_names.back() = ind.id;
    raw_block.push_back(block_names.size() - 1);
    raw.push_back(std::move(r));
    set.individuals.push_back(std::move(ind));
  }
  for (std::size_t b = 0; b < block_size.size(); ++b) {
    if (block_size[b] == 0) {
      messages.push_back({2524, where(block_lines[b]) +
                                    ": a \"Pop\" block without individuals: a population with "
                                    "no individuals."});
      ok = false;
    }
  }
  if (!ok) return false;

  // Copies per genotype: one allele of `width` digits, or two.
  set.ploidy.assign(nloci, 1);
  for (const Raw& r : raw)
    for (std::size_t l = 0; l < nloci; ++l)
      if (r.genotypes[l].size() == 2u * static_cast<std::size_t>(width)) set.ploidy[l] = 2;
  const std::size_t first = set.individuals.size() - raw.size();
  for (std::size_t i = 0; i < raw.size(); ++i) {
    Individual& ind = set.individuals[first + i];
    ind.population = block_names[raw_block[i]];
    ind.alleles.resize(nloci);
    for (std::size_t l = 0; l < nloci; ++l) {
      const std::string& g = raw[i].genotypes[l];
      if (g.size() % static_cast<std::size_t>(width) != 0) {
        messages.push_back({2523, where(raw[i].line) + ": genotype \"" + g + "\" is not " +
                                      std::to_string(width) + " or " + std::to_string(2 * width) +
                                      " digits, as the file's other genotypes are."});
        ok = false;
        continue;
      }
      for (std::size_t p = 0; p < g.size(); p += static_cast<std::size_t>(width)) {
        std::string_view code = std::string_view(g).substr(p, static_cast<std::size_t>(width));
        if (!AllZero(code)) ind.alleles[l].emplace_back(code);
      }
    }
  }
  return ok;
}

}  // namespace velk
