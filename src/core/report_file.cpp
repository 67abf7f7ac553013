#include "core/report_file.hpp"

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "core/error.hpp"
#include "core/paths.hpp"
#include "core/reports.hpp"
#include "core/status.hpp"
#include "core/working_file.hpp"

namespace velk {

namespace {

// The message for a report whose file could not be made whole.
void WriteFailed(Run& run, int slot) {
  Error(run, 3038, {.a1 = run.output.name[static_cast<std::size_t>(slot)], .a2 = run.output.shown[static_cast<std::size_t>(slot)]});
}

}  // namespace

bool IsInputFile(const Run& run, const std::string& path) {
  if (SameFile(path, NativeName(run.control_file))) return true;
  if (SameFile(path, NativeName(Trim(run.files.baseline)))) return true;
  if (SameFile(path, NativeName(Trim(run.files.mixture)))) return true;
  if (SameFile(path, NativeName(Trim(run.files.reference)))) return true;
  // The per-population files: the folder path followed by the file name, or
  // the file name taken from the control file's folder.
  const std::string folder = Trim(run.files.path);
  for (int i = 1; i <= run.pops.Size(); ++i) {
    const std::string file = Trim(run.pops(i).file);
    if (file.empty() && folder.empty()) continue;
    const std::string name =
        folder.empty() ? ResolveName(run.control_dir, file) : NativeName(folder + file);
    if (SameFile(path, name)) return true;
  }
  return false;
}

bool PlaceLog(Run& run) {
  Unit& log = run.output.unit[0];
  if (!log.InMemory()) return true;
  if (IsInputFile(run, run.log_name) || WriteProtected(run.log_name) ||
      !log.MoveToFile(run.platform.OpenFile(run.log_name, "w"), run.log_name)) {
    // The messages so far cannot be kept: the log's text goes with the unit.
    log.Close();
    run.output.written[0] = 0;
    Error(run, 3030, {.a1 = "Log", .a2 = run.log_name});
    return false;
  }
  return true;
}

// Note 109 for the integers a report showed as asterisks because they are
// wider than their field: one note a report, naming the first value not noted
// before in the run and counting the others (a report of 5,000 characters
// numbered in two columns would otherwise note 4,901 values).
void NoteOverflows(Run& run, int slot) {
  const Unit& unit = run.output.unit[static_cast<std::size_t>(slot)];
  std::vector<long long>& noted = run.output.overflow_noted;
  const std::size_t before = noted.size();
  for (long long v : unit.Overflowed())
    if (std::find(noted.begin(), noted.end(), v) == noted.end()) noted.push_back(v);
  if (noted.size() == before) return;
  Error(run, 109, {.a1 = run.output.name[static_cast<std::size_t>(slot)], .a2 = std::to_string(noted[before]), .n1 = static_cast<int>(noted.size() - before - 1)});
}

bool CloseReport(Run& run, int slot) {
  const auto k = static_cast<std::size_t>(slot);
  Unit& unit = run.output.unit[k];
  if (!unit.IsOpen()) return true;
  NoteOverflows(run, slot);
  const std::string& target = run.output.target[k];
  const bool in_place = target.empty() || target == unit.Path();
  if (unit.Close() && (in_place || run.platform.RenameFile(unit.Path(), target))) return true;
  if (!in_place) run.platform.RemoveFile(unit.Path());
  run.output.written[k] = 0;
  WriteFailed(run, slot);
  return false;
}

void EndReports(Run& run, bool keep) {
  for (int slot = 1; slot < kReportSlots; ++slot) {
    const auto k = static_cast<std::size_t>(slot);
    Unit& unit = run.output.unit[k];
    if (!unit.IsOpen()) continue;
    if (keep) {
      CloseReport(run, slot);
      continue;
    }
    const bool whole = unit.Close();
    const std::string& target = run.output.target[k];
    const bool working = !target.empty() && target != unit.Path();
    if (working) {
      run.platform.RemoveFile(unit.Path());
      run.output.written[k] = 0;
    }
    if (!whole) {
      WriteFailed(run, slot);
    } else if (working) {
      Error(run, 118, {.a1 = run.output.name[k], .a2 = run.output.shown[k]});
    }
  }
}

bool ReportsSound(Run& run) {
  for (int slot = 0; slot < kReportSlots && !run.error.stop; ++slot) {
    const Unit& unit = run.output.unit[static_cast<std::size_t>(slot)];
    if (!unit.IsOpen() || !unit.Failed()) continue;
    if (slot == 0) {
      Error(run, 3038, {.a1 = "Log", .a2 = run.log_name});
    } else {
      WriteFailed(run, slot);
    }
  }
  return run.error.stop == 0;
}

std::string ReportName(const Run& run, std::string_view extension) {
  return Trim(run.files.output) + std::string(extension);
}

bool OpenReport(Run& run, int slot, std::string_view report_name, std::string_view status_phrase) {
  if (!OpenReportFile(run, slot, report_name)) return false;
  std::string line(1, '\t');
  line.append(status_phrase);
  line.append(run.output.shown[static_cast<std::size_t>(slot)]);
  AppendStatus(run, line);
  return true;
}

bool OpenReportFile(Run& run, int slot, std::string_view report_name) {
  const std::string base = Trim(run.files.output);
  const auto k = static_cast<std::size_t>(slot);
  const std::string_view extension = kReportTable[k].extension;
  Unit& unit = run.output.unit[k];
  if (unit.IsOpen()) CloseReport(run, slot);
  if (base == "USER") {
    // No output name: the report goes nowhere rather than to a stray file.
    Error(run, 107, {.a1 = std::string(report_name)});
    return false;
  }
  const std::string name = base + std::string(extension);
  const std::string native = NativeName(name);
  std::string target;
  const std::string working = WorkingName(native, target);
  if (IsInputFile(run, native) || IsInputFile(run, working) || WriteProtected(target) ||
      (working != target && TakenByOther(working)) ||
      !unit.Open(run.platform.OpenFile(working, "w"), working)) {
    Error(run, 3030, {.a1 = std::string(report_name), .a2 = name});
    return false;
  }
  Error(run, 104, {.a1 = std::string(report_name), .a2 = name});
  run.output.written[k] = 1;
  run.output.name[k] = std::string(report_name);
  run.output.target[k] = target;
  run.output.shown[k] = name;
  return true;
}

}  // namespace velk
