#pragma once
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace velk::test {

// A table read as RFC 4180 prescribes (failing the test on anything else): rows
// end in CRLF, quoted fields double their quotes; each row maps header to cell.
using Row = std::map<std::string, std::string>;
inline std::vector<Row> ReadCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1);
  std::string cell;
  bool quoted = false, was_quoted = false;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const char c = text[k];
    if (quoted) {
      if (c == '"' && k + 1 < text.size() && text[k + 1] == '"') {
        cell += '"';
        ++k;
      } else if (c == '"') {
        quoted = false;
      } else {
        cell += c;
      }
    } else if (c == '"') {
      EXPECT_TRUE(cell.empty() && !was_quoted) << "quote inside a field";
      quoted = was_quoted = true;
    } else if (c == ',') {
      rows.back().push_back(cell);
      cell.clear();
      was_quoted = false;
    } else if (c == '\r' && k + 1 < text.size() && text[k + 1] == '\n') {
      rows.back().push_back(cell);
      cell.clear();
      was_quoted = false;
      rows.emplace_back();
      ++k;
    } else {
      EXPECT_NE(c, '\n') << "a row not ended by CRLF";
      cell += c;
    }
  }
  EXPECT_TRUE(rows.back().empty() && cell.empty()) << "the last row is not ended";
  rows.pop_back();
  std::vector<Row> out;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    EXPECT_EQ(rows[r].size(), rows[0].size()) << "row " << r << " is not rectangular";
    Row row;
    for (std::size_t c = 0; c < rows[0].size() && c < rows[r].size(); ++c)
      row[rows[0][c]] = rows[r][c];
    out.push_back(row);
  }
  return out;
}

}  // namespace velk::test
