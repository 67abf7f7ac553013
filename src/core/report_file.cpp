#include "core/report_file.hpp"

#include <string>

#include "core/error.hpp"
#include "core/paths.hpp"
#include "core/velk.hpp"

namespace velk {

std::string ReportName(const Run& run, std::string_view extension) {
  return Trim(run.files.output) + std::string(extension);
}

bool OpenReport(Run& run, int slot, std::string_view extension, std::string_view report_name,
                std::string_view status_phrase) {
  if (!OpenReportFile(run, slot, extension, report_name)) return false;
  std::string line(1, '\t');
  line.append(status_phrase);
  line.append(ReportName(run, extension));
  AppendStatus(run, line);
  return true;
}

bool OpenReportFile(Run& run, int slot, std::string_view extension, std::string_view report_name) {
  const std::string base = Trim(run.files.output);
  Unit& unit = run.output.unit[static_cast<std::size_t>(slot)];
  if (unit.IsOpen()) unit.Close();
  if (base == "USER") {
    // No output name: the report goes nowhere rather than to a stray file.
    run.error.a1 = std::string(report_name);
    Error(run, 107);
    return false;
  }
  const std::string name = base + std::string(extension);
  if (!unit.Open(NativeName(name))) {
    run.error.a1 = std::string(report_name);
    run.error.a2 = name;
    Error(run, 3030);
    return false;
  }
  run.error.a1 = std::string(report_name);
  run.error.a2 = name;
  Error(run, 104);
  run.output.written[static_cast<std::size_t>(slot)] = 1;
  return true;
}

}  // namespace velk
