#pragma once
// The run driver: the one entry into the engine for both front ends.
#include <array>
#include <atomic>
#include <string>
#include <vector>

#include "core/run.hpp"
#include "core/status.hpp"
#include "report/estimate_table.hpp"

namespace velk {

struct Request {
  std::string control_file;
  bool load_only = false;      // Load Results List: read the control file only
  bool show_messages = false;  // show a stopping message in a message box
  bool check_only = false;     // read the control file, describe it, write no log
  const std::atomic<bool>* stop_request = nullptr;
  // Threads that estimate the resamples (0: one per core); the reports are the
  // same for every number.
  int threads = 0;
};

struct Outcome {
  std::array<int, kReportSlots> flags{};  // 1 when the slot's report exists
  std::array<int, kTableCount> table_flags{};  // 1 when the table of kTableFiles exists
  // 1 when the slot's report (or table, from kReportSlots on) exists but the run
  // that wrote it did not finish (it stopped, or for a results list its log does
  // not end "Analysis Complete").
  std::array<int, kResultSlots> unfinished{};
  std::string output_base;                // output base name ("USER" when none)
  std::string log_name;
  std::string status;                     // the final status text
  bool aborted = false;
  std::string description;                // what --check understood
  std::vector<RunMessage> messages;       // the run's messages, in the order issued
  bool stopped = false;                   // the user's stop request ended the run (3037)
  // Every population and region of the estimation (empty when none ran).
  std::vector<EstimateRow> estimates;
  // Simulations and bootstraps: the units and, per unit, its estimate in every
  // resample.
  std::vector<std::string> resample_units;
  std::vector<std::vector<double>> resample_estimates;
};

// Runs (or, load-only, loads) one control file.
[[nodiscard]] Outcome Velk(Process& process, Platform& platform, const Request& request);

}  // namespace velk
