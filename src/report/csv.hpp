#pragma once
// CSV tables (RFC 4180, UTF-8): a header row, then one row per record; texts
// quoted, numbers in the shortest form that reads back to the same double,
// values that were not computed (NaN) as empty cells. Written beside the
// reports as the output base name followed by the table's extension.
#include <string>
#include <string_view>
#include <vector>

#include "core/run.hpp"

namespace velk {

class CsvTable {
 public:
  explicit CsvTable(const std::vector<std::string_view>& header);

  CsvTable& Text(std::string_view text);
  CsvTable& Int(long long value);
  CsvTable& Real(double value);  // empty cell for NaN
  void EndRow();

  const std::string& Data() const { return data_; }

 private:
  void Separate();
  std::string data_;
  bool row_started_ = false;
};

// The mixture collection a run's tables name in their first column: the
// control file's "Mixture collection", else the own name of the output base
// name, so that the tables of several runs bind into one.
std::string MixtureCollection(const Run& run);

// The number as a cell: the shortest decimal form that reads back to the same
// double; NaN as an empty cell, infinities as "Inf" and "-Inf".
std::string CsvNumber(double value);

// Writes `table` to the output base name followed by `extension` and appends a
// tab, "Table output to " and the file name to the status text. The table is
// written under its working name and renamed into place whole. A file that
// cannot be made, or is one of the run's input files, is message 3030; one that
// cannot be written whole or put in place is message 3038, its working file
// removed. True when written.
bool WriteCsvTable(Run& run, std::string_view extension, std::string_view name,
                   const CsvTable& table);

}  // namespace velk
