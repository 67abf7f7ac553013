#pragma once
// CSV (or TSV) text split into rows by libcsv, a row at a time as libcsv
// delivers it, each with the line it begins on, so that no row is kept after
// it is read. Blanks around an unquoted field are dropped.
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace velk {

enum class CsvParse { kDone, kNoMemory, kBad };

struct CsvRows {
  char delimiter = ',';
  // Called for each row with its fields and the line it begins on (1-based).
  std::function<void(std::span<const std::string>, int)> take;
  int line = 0;       // out: the line reached (the bad one after kBad)
  std::string error;  // out: libcsv's reason after kBad
};

[[nodiscard]] CsvParse ParseCsvRows(std::string_view text, CsvRows& rows);

}  // namespace velk
