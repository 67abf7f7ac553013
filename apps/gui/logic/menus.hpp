#pragma once
// The shell's menus as data: the frame builds its menus from this table, and
// the Results items find their report files and enabled state through it.
#include <array>
#include <span>
#include <string>
#include <string_view>

#include "core/reports.hpp"
#include "core/run.hpp"

namespace velk::gui {

enum Command : int {
  kCmdRun = 40002,
  kCmdOpenFile = 40005,
  kCmdLoadResults = 40019,
  kCmdStop = 40022,  // stops the active window's run (the run goes on a worker thread)
  kCmdAbout = 8000,
  kCmdExit = 40004,
  kCmdControlFile = 40009,
  kCmdLogFile = 40010,
  kCmdEstimation = 40011,
  kCmdSimulation = 40008,
  kCmdBootstrap = 40012,
  kCmdLikelihoods = 40021,
  kCmdIteration = 40013,
  kCmdResample = 40014,
  kCmdBaseline = 40015,
  kCmdCondensed = 40016,
  kCmdGenotype = 40017,
  kCmdPopulation = 40018,
  kCmdEstimatesTable = 40030,
  kCmdRunTable = 40031,
  kCmdIndividualsTable = 40032,
  kCmdPosteriorsTable = 40033,
  kCmdResamplesTable = 40034,
  kCmdSummaryTable = 40035,
  kCmdHundredReport = 40036,
  kCmdHundredTable = 40037,
  kCmdLeaveOneOutReport = 40038,
  kCmdLeaveOneOutTable = 40039,
  kCmdScenarioReport = 40040,
  kCmdShowMessages = 40007,
  kCmdSelectEditor = 40006,
  kCmdCascade = 30,
  kCmdTile = 31,
  kCmdArrangeIcons = 32,
};

// The slot value of the Results item that opens the control file itself.
inline constexpr int kControlFileSlot = -1;
// The slot value of items that open no report.
inline constexpr int kNoSlot = -2;

struct MenuItem {
  std::string_view menu;         // the menu's title
  std::string_view text;         // the item's text; after a tab, shown right-aligned
  int command;                   // the command number
  std::string_view accelerator;  // its key ("" when none)
  bool separator_after;          // a separator follows the item
  bool child_only;               // only in the menu of an open result window
  int slot;                      // Results items: the report slot they open
};

inline constexpr std::array<std::string_view, 4> kMenuTitles{"&Commands", "&Results", "&Options",
                                                             "&Window"};

inline constexpr std::array<MenuItem, 34> kMenuItems{{
    {"&Commands", "&Run VELK\t F10", kCmdRun, "F10", true, false, kNoSlot},
    {"&Commands", "&Open File\tF11", kCmdOpenFile, "F11", false, false, kNoSlot},
    {"&Commands", "&Load Results List\tF12", kCmdLoadResults, "F12", false, false, kNoSlot},
    {"&Commands", "&Stop", kCmdStop, "", false, true, kNoSlot},
    {"&Commands", "&About ...", kCmdAbout, "", false, false, kNoSlot},
    {"&Commands", "&Exit", kCmdExit, "", false, false, kNoSlot},
    {"&Results", "&Control File\t(*.ctl)", kCmdControlFile, "F5", false, true, kControlFileSlot},
    {"&Results", "&Log File\t(*.log)", kCmdLogFile, "F6", false, true, Report::kLog},
    {"&Results", "&Estimation Output\t(*.est)", kCmdEstimation, "F7", false, true,
     Report::kEstimates},
    {"&Results", "&Simulation Output\t(*.sim)", kCmdSimulation, "F8", false, true,
     Report::kSimulation},
    {"&Results", "&Bootstrap Output\t(*.bot)", kCmdBootstrap, "", false, true, Report::kBootstrap},
    {"&Results", "Bootstrap Li&kelihoods\t(*.rlk)", kCmdLikelihoods, "", false, true,
     Report::kLikelihoods},
    {"&Results", "&Iteration Summary\t(*.itr)", kCmdIteration, "", false, true,
     Report::kIterations},
    {"&Results", "&Resample Estimates\t(*.rsm)", kCmdResample, "", false, true, Report::kResamples},
    {"&Results", "B&aseline Summary\t(*.bsl)", kCmdBaseline, "", false, true, Report::kBaseline},
    {"&Results", "Condensed &Mixture\t(*.cmx)", kCmdCondensed, "", false, true, Report::kMixture},
    {"&Results", "Conditional &Genotype\t(*.gen)", kCmdGenotype, "", false, true,
     Report::kGenotypes},
    {"&Results", "Conditional &Population\t(*.pop)", kCmdPopulation, "", true, true,
     Report::kPopulations},
    {"&Results", "Es&timates Table\t(*.estimates.csv)", kCmdEstimatesTable, "", false, true,
     kReportSlots},
    {"&Results", "R&un Table\t(*.run.csv)", kCmdRunTable, "", false, true, kReportSlots + 1},
    {"&Results", "In&dividuals Table\t(*.individuals.csv)", kCmdIndividualsTable, "", false, true,
     kReportSlots + 2},
    {"&Results", "Posteri&ors Table\t(*.posteriors.csv)", kCmdPosteriorsTable, "", false, true,
     kReportSlots + 3},
    {"&Results", "Resamples Table\t(*.resamples.csv)", kCmdResamplesTable, "", false, true,
     kReportSlots + 4},
    {"&Results", "Summar&y Table\t(*.summary.csv)", kCmdSummaryTable, "", false, true,
     kReportSlots + 5},
    {"&Results", "&Hundred Percent Output\t(*.hps)", kCmdHundredReport, "", false, true,
     Report::kHundredPercent},
    {"&Results", "Hu&ndred Percent Table\t(*.hps.csv)", kCmdHundredTable, "", false, true,
     kReportSlots + 6},
    {"&Results", "Scenario Output\t(*.sco)", kCmdScenarioReport, "", false, true,
     Report::kScenarios},
    {"&Results", "Lea&ve-One-Out Output\t(*.loo)", kCmdLeaveOneOutReport, "", false, true,
     Report::kLeaveOneOut},
    {"&Results", "Leave-One-Out Table\t(*.loo.csv)", kCmdLeaveOneOutTable, "", false, true,
     kReportSlots + 7},
    {"&Options", "Show &Error Messages", kCmdShowMessages, "", false, false, kNoSlot},
    {"&Options", "&Select Text Editor", kCmdSelectEditor, "", false, false, kNoSlot},
    {"&Window", "&Cascade", kCmdCascade, "", false, true, kNoSlot},
    {"&Window", "&Tile", kCmdTile, "", false, true, kNoSlot},
    {"&Window", "Arrange &Icons", kCmdArrangeIcons, "", false, true, kNoSlot},
}};

// The table entry of a command (nullptr when it has none).
const MenuItem* FindMenuItem(int command);

// A Results item is enabled when its report's flag is 1; the control file
// item always is.
bool ResultsItemEnabled(int slot, std::span<const int> flags);

// The text of a Results item: the table's, with "(unfinished)" before the tab
// when the run that wrote its report did not finish.
std::string ResultsItemText(const MenuItem& item, bool unfinished);

// The file a Results item opens: the control file itself; the log beside it
// (the control file's name up to the first "." of its own name, then ".log");
// or the run's output base name, trailing blanks removed, and the report's
// extension.
std::string ResultsItemFile(int slot, const std::string& control_file,
                            const std::string& output_base);

}  // namespace velk::gui
