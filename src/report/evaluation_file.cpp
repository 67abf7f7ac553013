#include "report/evaluation_file.hpp"

#include <charconv>
#include <cmath>

#include "core/report_file.hpp"

namespace velk {

namespace {

// The nested bootstrap's slot (.rnc), never written otherwise; and the spare
// slot, which serves the tables.
constexpr int kEvaluationSlot = 13;
constexpr int kTableSlot = 10;

}  // namespace

bool OpenEvaluationReport(Run& run, std::string_view extension, std::string_view report_name,
                          std::string_view status_phrase) {
  return OpenReport(run, kEvaluationSlot, extension, report_name, status_phrase);
}

Unit& EvaluationUnit(Run& run) { return run.output.unit[kEvaluationSlot]; }

bool CloseEvaluationReport(Run& run) { return CloseReport(run, kEvaluationSlot); }

LongTable::LongTable(const std::vector<std::string_view>& header) {
  for (std::string_view h : header) Text(h);
  EndRow();
}

void LongTable::Separate() {
  if (row_started_) data_ += ',';
  row_started_ = true;
}

LongTable& LongTable::Text(std::string_view text) {
  Separate();
  data_ += '"';
  for (char c : text) {
    if (c == '"') data_ += '"';
    data_ += c;
  }
  data_ += '"';
  return *this;
}

LongTable& LongTable::Int(long long value) {
  Separate();
  data_ += std::to_string(value);
  return *this;
}

LongTable& LongTable::Real(double value) {
  Separate();
  if (std::isnan(value)) return *this;
  char buf[32];
  auto r = std::to_chars(buf, buf + sizeof buf, value);
  data_.append(buf, r.ptr);
  return *this;
}

void LongTable::EndRow() {
  data_ += '\n';
  row_started_ = false;
}

bool WriteLongTable(Run& run, std::string_view extension, std::string_view name,
                   const LongTable& table) {
  if (!OpenReport(run, kTableSlot, extension, name, "Table output to ")) return false;
  Unit& unit = run.output.unit[kTableSlot];
  std::string_view data = table.Data();
  while (!data.empty()) {
    const std::size_t end = data.find('\n');
    unit.Record(data.substr(0, end));
    data.remove_prefix(end + 1);
  }
  return CloseReport(run, kTableSlot);
}

}  // namespace velk
