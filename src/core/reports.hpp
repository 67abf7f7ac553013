#pragma once
// The report slots: slot k is written on unit 6 + k; each has its file
// extension and the Results menu entry that opens it (empty when none).
#include <array>
#include <string>
#include <string_view>

#include "core/run.hpp"

namespace velk {

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
    {"", ""},
    {".rst", ""},
    {".rlk", "Bootstrap Likelihoods"},
    {".rnc", ""},
}};

// The CSV tables, written with the option "Print tables"; in the Results
// lists they follow the reports as slots kReportSlots, kReportSlots + 1, ...
inline constexpr std::array<ReportSlot, kTableCount> kTableFiles{{
    {".estimates.csv", "Estimates Table"},
    {".run.csv", "Run Table"},
    {".individuals.csv", "Individuals Table"},
    {".posteriors.csv", "Posteriors Table"},
    {".resamples.csv", "Resamples Table"},
    {".summary.csv", "Summary Table"},
}};

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
