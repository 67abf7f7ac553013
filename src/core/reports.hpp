#pragma once
// The report slots: slot k is written on unit 6 + k; each has its file
// extension and the Results menu entry that opens it (empty when none). This
// table is the only place a slot's number or extension is written.
#include <array>
#include <string>
#include <string_view>

#include "core/run.hpp"

namespace velk {

// The report slots by name: every report opens, writes and closes its slot
// through these, and its extension comes from kReportTable.
namespace Report {
enum Slot : int {
  kLog = 0,
  kBaseline = 1,         // .bsl
  kPopulations = 2,      // .pop
  kGenotypes = 3,        // .gen
  kIterations = 4,       // .itr
  kEstimates = 5,        // .est
  kSimulation = 6,       // .sim
  kBootstrap = 7,        // .bot
  kMixture = 8,          // .cmx
  kResamples = 9,        // .rsm
  kScenarios = 10,       // .sco
  kStudentized = 11,     // .rst
  kLikelihoods = 12,     // .rlk
  kNested = 13,          // .rnc
  kHundredPercent = 14,  // .hps
  kLeaveOneOut = 15,     // .loo
};
}  // namespace Report

struct ReportSlot {
  std::string_view extension;
  std::string_view menu_entry;
};

inline constexpr std::array<ReportSlot, kReportSlots> kReportTable{{
    {".log", "Log File"},
    {".bsl", "Baseline Summary"},
    {".pop", "Conditional Population"},
    {".gen", "Conditional Genotype"},
    {".itr", "Iteration Summary"},
    {".est", "Estimation Output"},
    {".sim", "Simulation Output"},
    {".bot", "Bootstrap Output"},
    {".cmx", "Condensed Mixture"},
    {".rsm", "Resample Estimates"},
    {".sco", "Scenario Output"},
    {".rst", ""},
    {".rlk", "Bootstrap Likelihoods"},
    {".rnc", ""},
    {".hps", "Hundred Percent Output"},
    {".loo", "Leave-One-Out Output"},
}};

// The files beyond the report slots: the CSV tables, written with the option
// "Print tables" (the baseline evaluation's tables whenever their report is);
// in the Results lists they follow the reports as slots kReportSlots,
// kReportSlots + 1, ...
inline constexpr std::array<ReportSlot, kTableCount> kTableFiles{{
    {".estimates.csv", "Estimates Table"},
    {".run.csv", "Run Table"},
    {".individuals.csv", "Individuals Table"},
    {".posteriors.csv", "Posteriors Table"},
    {".resamples.csv", "Resamples Table"},
    {".summary.csv", "Summary Table"},
    {".hps.csv", "Hundred Percent Table"},
    {".loo.csv", "Leave-One-Out Table"},
}};

// Flags the file of kTableFiles with `extension` as written.
inline void MarkTableFile(Output& output, std::string_view extension) {
  for (std::size_t k = 0; k < kTableFiles.size(); ++k)
    if (kTableFiles[k].extension == extension) output.tables[k] = 1;
}

// The file of report slot `slot` (or table slot, from kReportSlots on): the
// log name for slot 0, otherwise the output base name followed by the slot's
// extension.
inline std::string ReportFile(int slot, const std::string& log_name, const std::string& base) {
  if (slot == 0) return log_name;
  if (slot >= kReportSlots)
    return base + std::string(kTableFiles[static_cast<std::size_t>(slot - kReportSlots)].extension);
  return base + std::string(kReportTable[static_cast<std::size_t>(slot)].extension);
}

}  // namespace velk
