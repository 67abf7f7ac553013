#include "report/csv.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "core/error.hpp"
#include "core/paths.hpp"
#include "core/report_file.hpp"
#include "core/reports.hpp"
#include "core/status.hpp"
#include "core/working_file.hpp"

namespace velk {

CsvTable::CsvTable(const std::vector<std::string_view>& header) {
  for (std::string_view h : header) Text(h);
  EndRow();
}

void CsvTable::Separate() {
  if (row_started_) data_ += ',';
  row_started_ = true;
}

CsvTable& CsvTable::Text(std::string_view text) {
  Separate();
  data_ += '"';
  for (char c : text) {
    if (c == '"') data_ += '"';
    data_ += c;
  }
  data_ += '"';
  return *this;
}

CsvTable& CsvTable::Int(long long value) {
  Separate();
  data_ += std::to_string(value);
  return *this;
}

CsvTable& CsvTable::Real(double value) {
  Separate();
  data_ += CsvNumber(value);
  return *this;
}

void CsvTable::EndRow() {
  data_ += "\r\n";
  row_started_ = false;
}

std::string MixtureCollection(const Run& run) {
  if (!run.files.collection.empty()) return run.files.collection;
  const std::string& base = run.files.output;
  return base.substr(FolderOf(base).size());
}

std::string CsvNumber(double value) {
  if (std::isnan(value)) return {};
  if (std::isinf(value)) return value > 0 ? "Inf" : "-Inf";
  char buf[32];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  return std::string(buf, res.ptr);
}

bool WriteCsvTable(Run& run, std::string_view extension, std::string_view name,
                   const CsvTable& table) {
  const std::string file = ReportName(run, extension);
  const std::string native = NativeName(file);
  const MessageArgs args{.a1 = std::string(name), .a2 = file};
  // The table grows under its working name and is renamed into place whole.
  std::string target;
  const std::string working = WorkingName(native, target);
  const WholeWrite result = IsInputFile(run, native) || IsInputFile(run, working) ||
                                    WriteProtected(target) ||
                                    (working != target && TakenByOther(working))
                                ? WholeWrite::kNotMade
                                : WriteWhole(run.platform, working, table.Data());
  if (result == WholeWrite::kNotMade) {
    Error(run, 3030, args);
    return false;
  }
  if (result == WholeWrite::kCut ||
      (working != target && !run.platform.RenameFile(working, target))) {
    DropWorking(run.platform, working, target);
    Error(run, 3038, args);
    return false;
  }
  MarkTableFile(run.output, extension);
  AppendStatus(run, "\tTable output to " + file);
  return true;
}

}  // namespace velk
