#include "data/csv_rows.hpp"

#include <csv.h>

#include <algorithm>
#include <vector>

namespace velk {

namespace {

struct RowState {
  CsvRows& rows;
  std::vector<std::string> fields;  // reused: the first `count` are the row's
  std::size_t count = 0;
  int row_line = 0;  // the line of the row being parsed
};

void TakeField(void* field, std::size_t length, void* data) {
  auto* s = static_cast<RowState*>(data);
  if (s->count == 0) s->row_line = s->rows.line;
  if (s->count == s->fields.size()) s->fields.emplace_back();
  s->fields[s->count++].assign(field ? static_cast<const char*>(field) : "", field ? length : 0);
}

void EndRow(int, void* data) {
  auto* s = static_cast<RowState*>(data);
  s->rows.take(std::span<const std::string>(s->fields.data(), s->count),
               s->row_line > 0 ? s->row_line : s->rows.line);
  s->count = 0;
  s->row_line = 0;
}

int IsBlank(unsigned char c) {
  return c == ' ' ? CSV_SPACE : 0;
}

}  // namespace

CsvParse ParseCsvRows(std::string_view text, CsvRows& rows) {
  csv_parser parser;
  if (csv_init(&parser, 0) != 0) return CsvParse::kNoMemory;
  csv_set_delim(&parser, static_cast<unsigned char>(rows.delimiter));
  csv_set_space_func(&parser, IsBlank);
  csv_set_blk_size(&parser, 1 << 16);  // a long field grows in few steps
  RowState state{.rows = rows, .fields = {}};
  // Fed a line at a time, so that each row knows its line.
  bool parsed = true;
  std::string_view rest = text;
  while (parsed && !rest.empty()) {
    ++rows.line;
    const std::size_t end = std::min(rest.find('\n'), rest.size() - 1) + 1;
    parsed = csv_parse(&parser, rest.data(), end, TakeField, EndRow, &state) == end;
    rest.remove_prefix(end);
  }
  if (parsed) csv_fini(&parser, TakeField, EndRow, &state);
  if (!parsed) rows.error = csv_strerror(csv_error(&parser));
  csv_free(&parser);
  return parsed ? CsvParse::kDone : CsvParse::kBad;
}

}  // namespace velk
