// The two-column genotype table: a header, then one row per individual with its
// sample type, population, region and ID, and two columns (one allele each) per
// locus. Fields are split by libcsv.
#include <csv.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

#include "import/genotypes.hpp"

namespace velk {

namespace {

// The rows of a table, each with the file line it begins on.
struct Rows {
  std::vector<std::vector<std::string>> rows;
  std::vector<int> lines;
  std::vector<std::string> row;
  int line = 0;      // the line being parsed
  int row_line = 0;  // the line of the row being parsed
};

void TakeField(void* field, std::size_t length, void* data) {
  auto* rows = static_cast<Rows*>(data);
  if (rows->row.empty()) rows->row_line = rows->line;
  rows->row.emplace_back(field ? static_cast<const char*>(field) : "", field ? length : 0);
}

void EndRow(int, void* data) {
  auto* rows = static_cast<Rows*>(data);
  rows->rows.push_back(std::move(rows->row));
  rows->lines.push_back(rows->row_line > 0 ? rows->row_line : rows->line);
  rows->row.clear();
  rows->row_line = 0;
}

int IsBlank(unsigned char c) {
  return c == ' ' ? CSV_SPACE : 0;
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

void Add(std::vector<ImportMessage>& messages, int number, std::string text) {
  AddImportMessage(messages, number, std::move(text));
}

bool EndsWith(const std::string& s, std::string_view tail) {
  return s.size() > tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Splits a CSV (or, when its first line has tabs and no commas, TSV) text into
// rows of fields, fed to libcsv a line at a time so that each row knows its
// line; false with message 2501 when libcsv cannot read it.
[[nodiscard]] bool SplitTable(std::string_view text, const std::string& file, Rows& rows,
                              std::vector<ImportMessage>& messages) {
  const std::string_view header_line = text.substr(0, text.find('\n'));
  const bool tabs = header_line.find('\t') != std::string_view::npos &&
                    header_line.find(',') == std::string_view::npos;
  csv_parser parser;
  if (csv_init(&parser, 0) != 0) {
    Add(messages, 2500, "Out of memory reading " + file + ".");
    return false;
  }
  if (tabs) csv_set_delim(&parser, '\t');
  csv_set_space_func(&parser, IsBlank);
  csv_set_blk_size(&parser, 1 << 16);  // a long field grows in few steps
  bool parsed = true;
  std::string_view rest = text;
  while (parsed && !rest.empty()) {
    ++rows.line;
    const std::size_t end = std::min(rest.find('\n'), rest.size() - 1) + 1;
    parsed = csv_parse(&parser, rest.data(), end, TakeField, EndRow, &rows) == end;
    rest.remove_prefix(end);
  }
  if (parsed) csv_fini(&parser, TakeField, EndRow, &rows);
  const std::string parse_error = csv_strerror(csv_error(&parser));
  csv_free(&parser);
  if (!parsed) {
    Add(messages, 2501,
        file + ", line " + std::to_string(rows.line) +
            ": the table cannot be read: " + parse_error + ".");
  }
  return parsed;
}

}  // namespace

bool ReadRegionTable(std::string_view text, const std::string& file,
                     std::vector<std::pair<std::string, std::string>>& pairs,
                     std::vector<ImportMessage>& messages) {
  Rows rows;
  if (!SplitTable(text, file, rows, messages)) return false;
  bool ok = true;
  for (std::size_t r = 0; r < rows.rows.size(); ++r) {
    const std::vector<std::string>& row = rows.rows[r];
    if (row.size() == 1 && Trimmed(row[0]).empty()) continue;
    const std::string first = row.empty() ? std::string() : Lower(Trimmed(row[0]));
    if (r == 0 && (first == "population" || first == "collection" || first == "pop")) continue;
    if (row.size() != 2 || Trimmed(row[0]).empty() || Trimmed(row[1]).empty()) {
      Add(messages, 2509,
          file + ", line " + std::to_string(rows.lines[r]) +
              ": wants two fields, population,region.");
      ok = false;
      continue;
    }
    pairs.emplace_back(Trimmed(row[0]), Trimmed(row[1]));
  }
  return ok;
}

namespace {

// The columns of a genotype table's header.
struct TableColumns {
  int type = -1, pop = -1, region = -1, id = -1;
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

// The locus pairs among the other columns, L and L.1 or L_1 and L_2; false
// (2504, 2505, 2510) when a column has no partner, there is no locus or a
// locus is named twice.
[[nodiscard]] bool PairLoci(const std::vector<std::string>& header, const std::string& file,
                            bool ok, TableColumns& cols, GenotypeSet& set,
                            std::vector<ImportMessage>& messages) {
  set.loci.clear();
  const std::vector<int>& free_cols = cols.free;
  for (std::size_t k = 0; k < free_cols.size(); ++k) {
    const std::string first = Trimmed(header[static_cast<std::size_t>(free_cols[k])]);
    const std::string second = k + 1 < free_cols.size()
                                   ? Trimmed(header[static_cast<std::size_t>(free_cols[k + 1])])
                                   : std::string();
    std::string locus;
    if (second == first + ".1") {
      locus = first;
    } else if (EndsWith(first, "_1") && second == first.substr(0, first.size() - 2) + "_2") {
      locus = first.substr(0, first.size() - 2);
    } else {
      Add(messages, 2504,
          file + ": column " + std::to_string(free_cols[k] + 1) + " \"" + Cited(first) +
              "\" has no partner: every locus needs two columns, L and L.1 or L_1 and L_2.");
      ok = false;
      continue;
    }
    cols.pairs.emplace_back(free_cols[k], free_cols[k + 1]);
    set.loci.push_back(locus);
    ++k;
  }
  if (ok && cols.pairs.empty()) {
    Add(messages, 2505, file + ": the header names no locus columns.");
    ok = false;
  }
  return NamedOnce(header, file, cols, set, messages) && ok;
}

std::string FieldOf(const std::vector<std::string>& row, int col) {
  return col >= 0 && static_cast<std::size_t>(col) < row.size()
             ? Trimmed(row[static_cast<std::size_t>(col)])
             : std::string();
}

// What reading the rows of one table shares: the file, its header and the
// set and messages it fills.
struct TableReading {
  const std::string& file;
  SampleRole role;
  const TableColumns& cols;
  std::size_t header_size;
  std::vector<std::string> missing;    // the codes read as a missing allele
  std::map<std::string, long> missed;  // per code read as missing: how often
  GenotypeSet& set;
  std::vector<ImportMessage>& messages;
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
  return code.find_first_not_of('0') == std::string::npos ||
         std::find(t.missing.begin(), t.missing.end(), code) != t.missing.end();
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

// One row (beginning on line `line`) into the set; false when it is refused.
[[nodiscard]] bool ReadRow(TableReading& t, const std::vector<std::string>& row, int line) {
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
  ind.alleles.resize(t.cols.pairs.size());
  for (std::size_t l = 0; l < t.cols.pairs.size(); ++l) {
    for (int col : {t.cols.pairs[l].first, t.cols.pairs[l].second}) {
      std::string code = FieldOf(row, col);
      if (IsMissing(t, code))
        ++t.missed[code];
      else
        ind.alleles[l].push_back(std::move(code));
    }
  }
  t.set.individuals.push_back(std::move(ind));
  return true;
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
  Rows rows;
  if (!SplitTable(text, file, rows, messages)) return false;
  if (rows.rows.empty()) {
    Add(messages, 2502, file + ": the file is empty; a table needs a header row.");
    return false;
  }
  // Header: the named columns, then the locus pairs in order.
  const std::vector<std::string>& header = rows.rows.front();
  TableColumns cols;
  const std::string header_at = file + ", line " + std::to_string(rows.lines.front());
  bool ok = FindColumns(header, header_at, role, options, cols, messages);
  if (!PairLoci(header, header_at, ok, cols, set, messages)) return false;
  set.ploidy.assign(set.loci.size(), 2);
  TableReading t{file, role, cols, header.size(), MissingCodes(options), {}, set, messages};
  ok = true;
  for (std::size_t r = 1; r < rows.rows.size(); ++r) {
    const std::vector<std::string>& row = rows.rows[r];
    if (row.size() == 1 && Trimmed(row[0]).empty()) continue;  // a blank line
    ok = ReadRow(t, row, rows.lines[r]) && ok;
  }
  NoteMissing(t);
  return ok;
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

}  // namespace velk
