// The run driver: one analysis from the name of its control file to its final
// status. It opens the run log and the control file, finds the analysis header
// and hands the rest of the file to the control-file reader, whose run sequence
// carries out the analysis.
#include "run/velk.hpp"
#include "run/sequence.hpp"

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "control/describe.hpp"
#include "control/itoken.hpp"
#include "control/sections.hpp"
#include "core/error.hpp"
#include "core/paths.hpp"
#include "core/report_file.hpp"
#include "core/reports.hpp"

namespace velk {

namespace {

// Looks for the analysis header: the first "*" line with a word beginning
// "esti" or "simu". Returns 1 estimation, 2 simulation, 0 when the run stopped.
int FindHeader(Run& run) {
  LineReader& ctl = run.inputs.Control();
  std::string token;
  for (;;) {
    int status = ctl.Read(run.parse.line, 132);
    if (status != 0) {
      Error(run, 3014, {.a1 = "control file", .n1 = run.parse.nline, .iostat = status});
      return 0;
    }
    ++run.parse.nline;
    const std::string& line = run.parse.line;
    int used = 0;
    int type = Itoken(run, line, used, token);
    if (type != kTokStar) continue;
    int pos = used + 1;
    while (pos <= static_cast<int>(line.size())) {
      type = Itoken(run, std::string_view(line).substr(static_cast<std::size_t>(pos - 1)), used,
                    token);
      if (std::abs(type) == kTokWord) {
        if (token.compare(0, 4, "simu") == 0) return 2;
        if (token.compare(0, 4, "esti") == 0) return 1;
      }
      if (type < 0 || used < 1) break;
      pos += used;
    }
  }
}

// The last line of `text` that is not blank, without its leading blanks.
std::string LastLine(const std::string& text) {
  const std::size_t end = text.find_last_not_of(" \r\n");
  if (end == std::string::npos) return {};
  std::size_t start = text.find_last_of('\n', end);
  start = start == std::string::npos ? 0 : start + 1;
  start = text.find_first_not_of(' ', start);  // at most `end`
  return text.substr(start, end - start + 1);
}

// The reports and tables as they are on disk: a flag stays 1 only when its
// file exists, and `unfinished` marks each written by a run that did not finish:
// this run when it stopped; for a results list, the run whose log does not end
// with "Analysis Complete" (an abort, or a run ended from outside) when its log
// names the report (note 104), and every table (the log names none).
void ReportsOnDisk(Run& run, Outcome& out) {
  out.flags = run.output.written;
  out.table_flags = run.output.tables;
  if (run.check_only) return;
  const std::string log_name = LogName(NativeName(run.control_file));
  bool finished = !run.error.stop;
  std::string log;
  if (run.load_only) {
    if (std::FILE* f = run.platform.OpenFile(log_name, "rb")) {
      char buf[4096];
      for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) log.append(buf, n);
      std::fclose(f);
    }
    finished = LastLine(log) == "Analysis Complete";
  }
  const std::string base = NativeName(Trim(run.files.output));
  for (int slot = 0; slot < kResultSlots; ++slot) {
    const bool table = slot >= kReportSlots;
    const auto k = static_cast<std::size_t>(table ? slot - kReportSlots : slot);
    int& flag = table ? out.table_flags[k] : out.flags[k];
    if (!flag) continue;
    if (run.platform.FileAttributes(ReportFile(slot, log_name, base)) == -1) {
      flag = 0;
    } else if (!finished) {
      const std::string named =
          table ? "" : "\n     " + ReportName(run, kReportTable[k].extension) + ".\n";
      out.unfinished[static_cast<std::size_t>(slot)] =
          !run.load_only || table || slot == 0 || log.find(named) != std::string::npos;
    }
  }
}

void FinalStatus(Run& run) {
  bool stopped = run.error.stop != 0;
  run.error.status.push_back('\r');
  if (stopped) {
    SetStatusColour(run, "200000000");
    AppendStatus(run, run.load_only ? "Load Results List Aborted" : "Analysis Aborted");
    run.platform.Beep(run.load_only ? 64 : 48);
  } else if (run.load_only) {
    SetStatusColour(run, "000100000");
    AppendStatus(run, "Results List Loaded");
    run.platform.Beep(64);
  } else if (run.check_only) {
    SetStatusColour(run, "000100000");
    AppendStatus(run, "Control File Checked");
  } else {
    SetStatusColour(run, "000000000");
    AppendStatus(run, "Analysis Complete");
    run.platform.Beep(64);
  }
  if (!run.load_only && !run.check_only && run.output.written[0])
    AppendStatus(run, "Run information output to " + run.log_name);
}

}  // namespace

Outcome Velk(Process& process, Platform& platform, const Request& request) {
  Run run(process, platform);
  run.control_file = request.control_file;
  run.control_dir = FolderOf(request.control_file);
  run.load_only = request.load_only ? 1 : 0;
  run.check_only = request.check_only ? 1 : 0;
  run.stop_request = request.stop_request;
  run.threads = request.threads;

  run.error.status = "000000200CONTROL FILE:  " + request.control_file + "\r";
  platform.ShowStatus(run.error.status);

  run.error.stop = 0;
  run.error.show_messages = request.show_messages ? 1 : 0;
  Error(run, 1);

  if (!run.load_only && !run.check_only) {
    run.log_name = LogName(NativeName(request.control_file));
    const MessageArgs log{.a1 = "Log", .a2 = run.log_name};
    if (IsInputFile(run, run.log_name)) {
      // A control file named like its own log ("run.log") would be emptied by it.
      Error(run, 3006, log);
    } else {
      // The log is kept in memory until the control file has named the input
      // files: only then is it known that the log file is not one of them.
      run.output.unit[0].OpenMemory();
      Error(run, 104, log);
      run.output.written[0] = 1;
    }
  }

  if (!run.error.stop) {
    AppendStatus(run, "Reading control file...");
    const std::string control = NativeName(request.control_file);
    if (!run.inputs.Control().Open(platform.OpenFile(control, "rb"), control)) {
      Error(run, 3006, {.a1 = "control", .a2 = request.control_file});
    } else {
      int kind = FindHeader(run);
      if (kind != 0 && !run.error.stop && Gparse(run, kind)) RunSequence(run);
    }
  }

  // A stop asked for while the last stage ran still ends the run as a stop.
  if (!run.error.stop && !run.load_only && !run.check_only && run.stop_request != nullptr &&
      run.stop_request->load()) {
    Error(run, 3037, {.n1 = -1});
  }
  // A run that stopped while reading the control file still writes its log.
  static_cast<void>(PlaceLog(run));  // a failed log is recorded in run
  Outcome out;
  Unit& log = run.output.unit[0];
  if (log.IsOpen()) {
    // A log that could not be written whole (a full disk) aborts the run; its
    // last line is the final status, so that a log without one tells of a run
    // that never finished.
    log.Sync();
    ReportsSound(run);
    log.Write("(/1x,a)", {run.error.stop ? "Analysis Aborted" : "Analysis Complete"});
    if (!log.Close() && !run.error.stop) {
      Error(run, 3038, {.a1 = "Log", .a2 = run.log_name});
    }
  }
  run.inputs.Control().Close();
  ReportsOnDisk(run, out);
  out.output_base = run.files.output;
  out.log_name = run.log_name;
  if (run.check_only && !run.error.stop) out.description = Describe(run);
  FinalStatus(run);
  out.status = run.error.status;
  out.aborted = run.error.stop != 0;
  out.messages = std::move(run.messages);
  for (const RunMessage& m : out.messages)
    if (m.number == 3037) out.stopped = true;
  out.estimates = std::move(run.results.estimates);
  out.resample_units = std::move(run.results.resample_units);
  out.resample_estimates = std::move(run.results.resample_estimates);
  return out;
}

}  // namespace velk
