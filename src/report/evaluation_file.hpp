#pragma once
// The baseline evaluation reports (.hps of the hundred percent simulations,
// .loo of the leave-one-out self-assignment) and their long tables. They take
// the report slot of the nested bootstrap, which no run writes: a run writes at
// most one of them.
#include <string>
#include <string_view>
#include <vector>

#include "core/run.hpp"

namespace velk {

// Opens the evaluation report: the output base name followed by `extension`,
// as every report is opened (note 104, status line, message 3030 on failure).
bool OpenEvaluationReport(Run& run, std::string_view extension, std::string_view report_name,
                          std::string_view status_phrase);
Unit& EvaluationUnit(Run& run);
// Closes it, keeping the file; message 3038 when it could not be written whole.
bool CloseEvaluationReport(Run& run);

// A long table: a header row, then one row per record; texts quoted, numbers
// in the shortest form that reads back to the same double.
class LongTable {
 public:
  explicit LongTable(const std::vector<std::string_view>& header);
  LongTable& Text(std::string_view text);
  LongTable& Int(long long value);
  LongTable& Real(double value);
  void EndRow();
  const std::string& Data() const { return data_; }

 private:
  void Separate();
  std::string data_;
  bool row_started_ = false;
};

// Writes `table` to the output base name followed by `extension` and appends a
// tab, "Table output to " and the file name to the status text. Message 3030
// when the file cannot be made, 3038 when it cannot be written whole.
bool WriteLongTable(Run& run, std::string_view extension, std::string_view name,
                   const LongTable& table);

}  // namespace velk
