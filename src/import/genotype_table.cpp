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

struct Rows {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
};

void TakeField(void* field, std::size_t length, void* data) {
  auto* rows = static_cast<Rows*>(data);
  rows->row.emplace_back(field ? static_cast<const char*>(field) : "", field ? length : 0);
}

void EndRow(int, void* data) {
  auto* rows = static_cast<Rows*>(data);
  rows->rows.push_back(std::move(rows->row));
  rows->row.clear();
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
  messages.push_back({number, std::move(text)});
}

bool EndsWith(const std::string& s, std::string_view tail) {
  return s.size() > tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Splits a CSV (or, when its first line has tabs and no commas, TSV) text into
// rows of fields; false with message 2501 when libcsv cannot read it.
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
  const std::size_t used = csv_parse(&parser, text.data(), text.size(), TakeField, EndRow, &rows);
  const bool parsed = used == text.size();
  if (parsed) csv_fini(&parser, TakeField, EndRow, &rows);
  const std::string parse_error = csv_strerror(csv_error(&parser));
  csv_free(&parser);
  if (!parsed) {
    Add(messages, 2501,
        file + ": the table cannot be read after row " + std::to_string(rows.rows.size() + 1) +
            ": " + parse_error + ".");
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
          file + ", row " + std::to_string(r + 1) + ": wants two fields, population,region.");
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

// The locus pairs among the other columns, L and L.1 or L_1 and L_2; false
// (2504, 2505) when a column has no partner or there is no locus.
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
          file + ": column \"" + first +
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
  return ok;
}

std::string FieldOf(const std::vector<std::string>& row, int col) {
  return col >= 0 && static_cast<std::size_t>(col) < row.size()
             ? Trimmed(row[static_cast<std::size_t>(col)])
             : std::string();
}

// Whether the individual's sample type fits the file (2507) and a reference
// individual has its collection (2508); sets ind.mixture.
[[nodiscard]] bool CheckSampleType(const std::string& file, int line, SampleRole role,
                                   const TableColumns& cols, const std::string& type,
                                   Individual& ind, std::vector<ImportMessage>& messages) {
  const std::string where = file + ", row " + std::to_string(line);
  if (cols.type < 0 || role != SampleRole::kBoth) {
    ind.mixture = role == SampleRole::kMixture;
    if (cols.type >= 0 && type != (ind.mixture ? "mixture" : "reference")) {
      Add(messages, 2507,
          where + ": sample type \"" + type + "\" in a file of " +
              (ind.mixture ? "mixture" : "reference") + " individuals.");
      return false;
    }
  } else if (type == "reference" || type == "mixture") {
    ind.mixture = type == "mixture";
  } else {
    Add(messages, 2507, where + ": sample type \"" + type + "\" is neither reference nor mixture.");
    return false;
  }
  if (!ind.mixture && ind.population.empty()) {
    Add(messages, 2508, where + ": a reference individual without a collection.");
    return false;
  }
  return true;
}

// One row (line `line`) into set.individuals; false when it is refused.
[[nodiscard]] bool ReadRow(const std::vector<std::string>& row, std::size_t header_size, int line,
                           const std::string& file, SampleRole role, const TableOptions& options,
                           const TableColumns& cols, GenotypeSet& set,
                           std::vector<ImportMessage>& messages) {
  if (row.size() != header_size) {
    Add(messages, 2506,
        file + ", row " + std::to_string(line) + ": " + std::to_string(row.size()) +
            " fields, but the header has " + std::to_string(header_size) + ".");
    return false;
  }
  Individual ind;
  ind.file = file;
  ind.line = line;
  ind.id = FieldOf(row, cols.id);
  ind.population = FieldOf(row, cols.pop);
  ind.region = FieldOf(row, cols.region);
  if (ind.region == "NA") ind.region.clear();
  if (!CheckSampleType(file, line, role, cols, Lower(FieldOf(row, cols.type)), ind, messages))
    return false;
  auto missing = [&](const std::string& code) {
    return code.empty() || code == "NA" || code == "0" ||
           (!options.missing_code.empty() && code == options.missing_code);
  };
  ind.alleles.resize(cols.pairs.size());
  for (std::size_t l = 0; l < cols.pairs.size(); ++l) {
    for (int col : {cols.pairs[l].first, cols.pairs[l].second}) {
      std::string code = FieldOf(row, col);
      if (!missing(code)) ind.alleles[l].push_back(std::move(code));
    }
  }
  set.individuals.push_back(std::move(ind));
  return true;
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
  bool ok = FindColumns(header, file, role, options, cols, messages);
  if (!PairLoci(header, file, ok, cols, set, messages)) return false;
  set.ploidy.assign(set.loci.size(), 2);
  ok = true;
  for (std::size_t r = 1; r < rows.rows.size(); ++r) {
    const std::vector<std::string>& row = rows.rows[r];
    if (row.size() == 1 && Trimmed(row[0]).empty()) continue;  // a blank line
    const int line = static_cast<int>(r) + 1;
    ok = ReadRow(row, header.size(), line, file, role, options, cols, set, messages) && ok;
  }
  return ok;
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
