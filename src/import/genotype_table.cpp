// The two-column genotype table: a header, then one row per individual with its
// sample type, population, region and ID, and two columns (one allele each) per
// locus. Fields are split by libcsv.
#include <algorithm>
#include <cctype>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "control/sections.hpp"
#include "data/csv_rows.hpp"
#include "import/genotypes.hpp"

namespace velk {

namespace {

void Add(std::vector<ImportMessage>& messages, int number, std::string text) {
  AddImportMessage(messages, number, std::move(text));
}

bool EndsWith(const std::string& s, std::string_view tail) {
  return s.size() > tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Splits a CSV (or, when its first line has tabs and no commas, TSV) text into
// rows of fields; false with message 2501 when libcsv cannot read it.
[[nodiscard]] bool SplitTable(std::string_view text, const std::string& file, CsvRows& rows,
                              std::vector<ImportMessage>& messages) {
  const std::string_view header_line = text.substr(0, text.find('\n'));
  const bool tabs = header_line.find('\t') != std::string_view::npos &&
                    header_line.find(',') == std::string_view::npos;
  rows.delimiter = tabs ? '\t' : ',';
  switch (ParseCsvRows(text, rows)) {
    case CsvParse::kDone:
      return true;
    case CsvParse::kNoMemory:
      Add(messages, 2500, "Out of memory reading " + file + ".");
      return false;
    case CsvParse::kBad:
      break;
  }
  Add(messages, 2501,
      file + ", line " + std::to_string(rows.line) + ": the table cannot be read: " + rows.error +
          ".");
  return false;
}

}  // namespace

bool ReadRegionTable(std::string_view text, const std::string& file,
                     std::vector<std::pair<std::string, std::string>>& pairs,
                     std::vector<ImportMessage>& messages) {
  bool ok = true;
  bool first_row = true;
  CsvRows rows;
  rows.take = [&](std::span<const std::string> row, int line) {
    const bool header_place = std::exchange(first_row, false);
    if (row.size() == 1 && Trimmed(row[0]).empty()) return;
    const std::string first = row.empty() ? std::string() : Lower(Trimmed(row[0]));
    if (header_place && (first == "population" || first == "collection" || first == "pop")) return;
    if (row.size() != 2 || Trimmed(row[0]).empty() || Trimmed(row[1]).empty()) {
      Add(messages, 2509,
          file + ", line " + std::to_string(line) + ": wants two fields, population,region.");
      ok = false;
      return;
    }
    pairs.emplace_back(Trimmed(row[0]), Trimmed(row[1]));
  };
  return SplitTable(text, file, rows, messages) && ok;
}

namespace {

// The columns of a genotype table's header.
struct TableColumns {
  int type = -1, pop = -1, region = -1, id = -1, known = -1;
  std::vector<int> free;                   // the other columns, in order
  std::vector<std::pair<int, int>> pairs;  // per locus: its two columns
};

// The named columns; false (2503) when one the role needs is missing.
[[nodiscard]] bool FindColumns(const std::vector<std::string>& header, const std::string& file,
                               SampleRole role, const TableOptions& options, TableColumns& cols,
                               std::vector<ImportMessage>& messages) {
  const std::string type_name = Lower(options.type_column);
  for (std::size_t k = 0; k < header.size(); ++k) {
    const std::string name = Lower(Trimmed(header[k]));
    const int col = static_cast<int>(k);
    if (name == type_name && cols.type < 0)
      cols.type = col;
    else if (name == "collection" && cols.pop < 0)
      cols.pop = col;
    else if (name == "repunit" && cols.region < 0)
      cols.region = col;
    else if (name == "indiv" && cols.id < 0)
      cols.id = col;
    else if (name == "known_collection" && cols.known < 0)
      cols.known = col;
    else if (!(k == 0 && name.empty()))  // R's row names
      cols.free.push_back(col);
  }
  bool ok = true;
  auto need = [&](int col, const std::string& what) {
    if (col >= 0) return;
    Add(messages, 2503, file + ": the header has no column \"" + what + "\".");
    ok = false;
  };
  if (role == SampleRole::kBoth) need(cols.type, options.type_column);
  if (role != SampleRole::kMixture) need(cols.pop, "collection");
  need(cols.id, "indiv");
  return ok;
}

// Whether every locus has one pair of columns; 2510 names both pairs of one
// named twice, which would otherwise be counted as two loci.
[[nodiscard]] bool NamedOnce(const std::vector<std::string>& header, const std::string& file,
                             const TableColumns& cols, const GenotypeSet& set,
                             std::vector<ImportMessage>& messages) {
  std::map<std::string, std::size_t> first;
  bool ok = true;
  auto columns = [&](std::size_t l) {
    const auto [a, b] = cols.pairs[l];
    return std::to_string(a + 1) + " and " + std::to_string(b + 1) + " (\"" +
           Cited(Trimmed(header[static_cast<std::size_t>(a)])) + "\", \"" +
           Cited(Trimmed(header[static_cast<std::size_t>(b)])) + "\")";
  };
  for (std::size_t l = 0; l < set.loci.size(); ++l) {
    const auto [at, fresh] = first.emplace(set.loci[l], l);
    if (fresh) continue;
    Add(messages, 2510,
        file + ": locus \"" + Cited(set.loci[l]) + "\" is named twice, by columns " +
            columns(at->second) + " and by columns " + columns(l) +
            "; every locus needs a name of its own.");
    ok = false;
  }
  return ok;
}

// The locus that two columns name: L and L.1, L and L_1, or L_1 and L_2; ""
// when their names do not pair.
std::string PairedName(const std::string& first, const std::string& second) {
  if (second == first + ".1" || second == first + "_1") return first;
  if (EndsWith(first, "_1") && second == first.substr(0, first.size() - 2) + "_2")
    return first.substr(0, first.size() - 2);
  return {};
}

// The locus pairs among the other columns, columns 2k-1 and 2k of them forming
// locus k (as the field's R tools pair them). A pair named L and L.1, L and L_1
// or L_1 and L_2 is locus L; one named otherwise takes the name of its first
// column, and note 533 says so once. False (2504, 2505, 2510) for an odd number
// of columns, no locus or a locus named twice.
[[nodiscard]] bool PairLoci(const std::vector<std::string>& header, const std::string& file,
                            bool ok, TableColumns& cols, GenotypeSet& set,
                            std::vector<ImportMessage>& messages) {
  set.loci.clear();
  const std::vector<int>& free_cols = cols.free;
  auto name = [&](std::size_t k) {
    return Trimmed(header[static_cast<std::size_t>(free_cols[k])]);
  };
  auto column = [&](std::size_t k) {
    return "column " + std::to_string(free_cols[k] + 1) + " \"" + Cited(name(k)) + "\"";
  };
  if (free_cols.size() % 2 != 0) {
    Add(messages, 2504,
        file + ": " + std::to_string(free_cols.size()) +
            " locus columns, an odd number (" + column(0) + " to " +
            column(free_cols.size() - 1) +
            "): every locus needs two columns, one allele each.");
    return false;
  }
  std::size_t unnamed = 0, first_unnamed = 0;
  for (std::size_t k = 0; k + 1 < free_cols.size(); k += 2) {
    std::string locus = PairedName(name(k), name(k + 1));
    if (locus.empty()) {
      if (unnamed++ == 0) first_unnamed = k;
      locus = name(k);
    }
    cols.pairs.emplace_back(free_cols[k], free_cols[k + 1]);
    set.loci.push_back(locus);
  }
  if (unnamed > 0 && cols.pairs.size() <= static_cast<std::size_t>(kMostEntries))  // else 2546
    Add(messages, 533,
        file + ": " + std::to_string(unnamed) + " of " + std::to_string(cols.pairs.size()) +
            " pairs of locus columns are not named as one locus (L and L.1, L and L_1, or L_1 "
            "and L_2; the first: " +
            column(first_unnamed) + " and " + column(first_unnamed + 1) +
            "): the columns are paired by position, each such locus named by its first column.");
  if (ok && cols.pairs.empty()) {
    Add(messages, 2505, file + ": the header names no locus columns.");
    ok = false;
  }
  return NamedOnce(header, file, cols, set, messages) && ok;
}

std::string FieldOf(std::span<const std::string> row, int col) {
  return col >= 0 && static_cast<std::size_t>(col) < row.size()
             ? Trimmed(row[static_cast<std::size_t>(col)])
             : std::string();
}

// What reading the rows of one table shares: the file, its header and the
// set and messages it fills.
struct TableReading {
  TableReading(const std::string& f, SampleRole r, const TableOptions& o, GenotypeSet& s,
               std::vector<ImportMessage>& m)
      : file(f), role(r), options(o), set(s), messages(m) {}
  const std::string& file;
  SampleRole role;
  const TableOptions& options;
  GenotypeSet& set;
  std::vector<ImportMessage>& messages;
  TableColumns cols;
  std::size_t header_size = 0;  // 0 until the header is read
  bool header_ok = false;
  bool rows_ok = true;
  std::vector<std::string> missing;    // the codes read as a missing allele
  std::string missing_starts;          // their first characters
  std::map<std::string, long> missed;  // per code read as missing: how often
  std::vector<GenotypeNumbering> numbering;  // per locus
  std::vector<std::string> codes;            // one genotype's, as it is read
};

// The codes of a missing allele: the common ones and the option's.
std::vector<std::string> MissingCodes(const TableOptions& options) {
  std::vector<std::string> codes = {"NA", "na", "N/A", "n/a", "-", "?", "-9"};
  for (std::size_t start = 0; start < options.missing_code.size();) {
    const std::size_t comma =
        std::min(options.missing_code.find(',', start), options.missing_code.size());
    const std::string code = Trimmed(options.missing_code.substr(start, comma - start));
    if (!code.empty()) codes.push_back(code);
    start = comma + 1;
  }
  return codes;
}

bool IsMissing(const TableReading& t, const std::string& code) {
  if (code.find_first_not_of('0') == std::string::npos) return true;
  if (t.missing_starts.find(code[0]) == std::string::npos) return false;  // most codes
  return std::find(t.missing.begin(), t.missing.end(), code) != t.missing.end();
}

// Whether the individual's sample type fits the file (2507) and a reference
// individual has its collection (2508); sets ind.mixture.
[[nodiscard]] bool CheckSampleType(TableReading& t, const std::string& type, Individual& ind) {
  const std::string where = t.file + ", line " + std::to_string(ind.line);
  if (t.cols.type < 0 || t.role != SampleRole::kBoth) {
    ind.mixture = t.role == SampleRole::kMixture;
    if (t.cols.type >= 0 && type != (ind.mixture ? "mixture" : "reference")) {
      Add(t.messages, 2507,
          where + ": sample type \"" + Cited(type) + "\" in a file of " +
              (ind.mixture ? "mixture" : "reference") + " individuals.");
      return false;
    }
  } else if (type == "reference" || type == "mixture") {
    ind.mixture = type == "mixture";
  } else {
    Add(t.messages, 2507,
        where + ": sample type \"" + Cited(type) + "\" is neither reference nor mixture.");
    return false;
  }
  if (!ind.mixture && ind.population.empty()) {
    Add(t.messages, 2508, where + ": a reference individual without a collection.");
    return false;
  }
  return true;
}

// The genotype of one locus of a row: its codes numbered among the locus's
// genotypes; false (2511) when the locus has too many.
[[nodiscard]] bool ReadGenotype(TableReading& t, std::span<const std::string> row, std::size_t l,
                                const Individual& ind, std::uint16_t& index) {
  t.codes.clear();
  for (int col : {t.cols.pairs[l].first, t.cols.pairs[l].second}) {
    std::string code = FieldOf(row, col);
    if (IsMissing(t, code))
      ++t.missed[code];
    else
      t.codes.push_back(std::move(code));
  }
  if (t.numbering[l].Index((*t.set.tables)[l], t.codes, index)) return true;
  Add(t.messages, 2511,
      t.file + ", line " + std::to_string(ind.line) + ": locus " + Cited(t.set.loci[l]) +
          " has more than " + std::to_string(kMostGenotypes) + " different genotypes.");
  return false;
}

// One row (beginning on line `line`) into the set; false when it is refused.
[[nodiscard]] bool ReadRow(TableReading& t, std::span<const std::string> row, int line) {
  if (row.size() != t.header_size) {
    Add(t.messages, 2506,
        t.file + ", line " + std::to_string(line) + ": " + std::to_string(row.size()) +
            " fields, but the header has " + std::to_string(t.header_size) + ".");
    return false;
  }
  Individual ind;
  ind.file = t.file;
  ind.line = line;
  ind.id = FieldOf(row, t.cols.id);
  ind.population = FieldOf(row, t.cols.pop);
  ind.region = FieldOf(row, t.cols.region);
  if (ind.region == "NA") ind.region.clear();
  if (!CheckSampleType(t, Lower(FieldOf(row, t.cols.type)), ind)) return false;
  // A mixture fish's known population (a reference fish's is its collection).
  ind.known = ind.mixture ? FieldOf(row, t.cols.known) : std::string();
  if (ind.known == "NA") ind.known.clear();
  std::vector<std::uint16_t> index(t.cols.pairs.size());
  for (std::size_t l = 0; l < t.cols.pairs.size(); ++l)
    if (!ReadGenotype(t, row, l, ind, index[l])) return false;
  ind.alleles = GenotypeRow(t.set.tables, std::move(index));
  t.set.individuals.push_back(std::move(ind));
  return true;
}

// The header (on line `line`): the named columns, then the locus pairs in order.
void ReadHeader(TableReading& t, std::span<const std::string> row, int line) {
  const std::vector<std::string> header(row.begin(), row.end());
  t.header_size = std::max<std::size_t>(header.size(), 1);
  const std::string header_at = t.file + ", line " + std::to_string(line);
  const bool named = FindColumns(header, header_at, t.role, t.options, t.cols, t.messages);
  t.header_ok = PairLoci(header, header_at, named, t.cols, t.set, t.messages) &&
                t.set.loci.size() <= static_cast<std::size_t>(kMostEntries);
  t.set.ploidy.assign(t.set.loci.size(), 2);
  t.set.tables->assign(t.header_ok ? t.set.loci.size() : 0, LocusGenotypes{});
  t.numbering.resize(t.set.tables->size());
}

// Note 531: how many allele fields were read as missing, per code.
void NoteMissing(const TableReading& t) {
  long all = 0;
  std::string codes;
  for (const auto& [code, n] : t.missed) {
    all += n;
    codes += (codes.empty() ? "" : ", ") + (code.empty() ? std::string("empty") : Cited(code)) +
             " " + std::to_string(n);
  }
  if (all > 0)
    Add(t.messages, 531,
        t.file + ": " + std::to_string(all) + " allele fields are missing (" + codes + ").");
}

}  // namespace

bool ReadGenotypeTable(std::string_view text, const std::string& file, SampleRole role,
                       const TableOptions& options, GenotypeSet& set,
                       std::vector<ImportMessage>& messages) {
  TableReading t{file, role, options, set, messages};
  t.missing = MissingCodes(options);
  for (const std::string& code : t.missing) t.missing_starts += code[0];
  CsvRows rows;
  rows.take = [&t](std::span<const std::string> row, int line) {
    if (t.header_size == 0) return ReadHeader(t, row, line);
    if (!t.header_ok || (row.size() == 1 && Trimmed(row[0]).empty())) return;  // a blank line
    t.rows_ok = ReadRow(t, row, line) && t.rows_ok;
  };
  if (!SplitTable(text, file, rows, messages)) return false;
  if (t.header_size == 0) {
    Add(messages, 2502, file + ": the file is empty; a table needs a header row.");
    return false;
  }
  if (!t.header_ok) return false;
  NoteMissing(t);
  return t.rows_ok;
}

bool GenotypeNumbering::Index(LocusGenotypes& genotypes, std::vector<std::string>& codes,
                              std::uint16_t& index) {
  constexpr std::size_t kSearched = 8;  // genotypes searched one by one; more are looked up
  if (genotypes.size() <= kSearched) {
    for (std::size_t g = 0; g < genotypes.size(); ++g)
      if (genotypes[g] == codes) {
        index = static_cast<std::uint16_t>(g);
        return true;
      }
  }
  auto key = [](const std::vector<std::string>& c) {
    std::string k;
    for (const std::string& a : c) k.append(a).push_back('\0');  // no input holds a NUL
    return k;
  };
  if (genotypes.size() > kSearched) {
    if (known_.empty())
      for (std::size_t g = 0; g < genotypes.size(); ++g)
        known_.emplace(key(genotypes[g]), static_cast<std::uint16_t>(g));
    if (auto it = known_.find(key(codes)); it != known_.end()) {
      index = it->second;
      return true;
    }
  }
  if (genotypes.size() >= kMostGenotypes) return false;
  index = static_cast<std::uint16_t>(genotypes.size());
  if (!known_.empty()) known_.emplace(key(codes), index);
  genotypes.push_back(codes);
  return true;
}

void GenotypeRow::Reorder(const std::vector<std::size_t>& from,
                          std::shared_ptr<const GenotypeTables> tables) {
  std::vector<std::uint16_t> index(from.size());
  for (std::size_t l = 0; l < from.size(); ++l) index[l] = index_[from[l]];
  index_ = std::move(index);
  tables_ = std::move(tables);
}

void KeepLoci(GenotypeSet& set, const std::vector<std::size_t>& from) {
  std::vector<std::string> loci(from.size());
  std::vector<int> ploidy(from.size());
  auto tables = std::make_shared<GenotypeTables>(from.size());
  for (std::size_t l = 0; l < from.size(); ++l) {
    loci[l] = std::move(set.loci[from[l]]);
    ploidy[l] = set.ploidy[from[l]];
    if (from[l] < set.tables->size()) (*tables)[l] = std::move((*set.tables)[from[l]]);
  }
  for (Individual& ind : set.individuals) ind.alleles.Reorder(from, tables);
  set.loci = std::move(loci);
  set.ploidy = std::move(ploidy);
  set.tables = std::move(tables);
}

void AddImportMessage(std::vector<ImportMessage>& messages, int number, std::string text) {
  int kept = 0;
  ImportMessage* last = nullptr;
  for (ImportMessage& m : messages)
    if (m.number == number) {
      ++kept;
      last = &m;
    }
  if (kept >= kListedMessages) {
    ++last->more;
    return;
  }
  messages.push_back({number, std::move(text)});
}

std::string Cited(std::string_view text) {
  constexpr std::size_t kShown = 60;
  if (text.size() <= kShown) return std::string(text);
  std::size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return std::string(text.substr(0, cut)) + "...";
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

std::string Lower(std::string_view s) {
  std::string t(s);
  for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return t;
}

std::string Trimmed(std::string_view s) {
  std::size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && std::isspace(static_cast<unsigned char>(s[b - 1]))) --b;
  return std::string(s.substr(a, b - a));
}

}  // namespace velk
