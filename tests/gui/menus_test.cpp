// The menu table, the Results items' enabled state and the files they open.
#include "menus.hpp"

#include <gtest/gtest.h>

#include <set>

namespace velk::gui {
namespace {

TEST(Menus, CommandsAreUniqueAndTheAcceleratorsAreTheFunctionKeys) {
  std::set<int> commands;
  std::set<std::string_view> keys;
  for (const MenuItem& item : kMenuItems) {
    EXPECT_TRUE(commands.insert(item.command).second) << item.text;
    if (!item.accelerator.empty()) {
      EXPECT_TRUE(keys.insert(item.accelerator).second);
    }
  }
  EXPECT_EQ(keys, (std::set<std::string_view>{"F5", "F6", "F7", "F8", "F10", "F11", "F12"}));
  EXPECT_TRUE(FindMenuItem(kCmdRun)->separator_after);
  EXPECT_EQ(FindMenuItem(12345), nullptr);
}

// Only a flag of 1 means the report exists; the control file always opens.
TEST(Menus, ResultsItemsFollowTheFlagsAndTheControlFileAlwaysOpens) {
  std::array<int, kReportSlots> flags{};
  flags[5] = 1;
  flags[7] = 2;
  EXPECT_TRUE(ResultsItemEnabled(kControlFileSlot, flags));
  EXPECT_TRUE(ResultsItemEnabled(5, flags));
  EXPECT_FALSE(ResultsItemEnabled(7, flags));
  EXPECT_FALSE(ResultsItemEnabled(kNoSlot, flags));
  EXPECT_FALSE(ResultsItemEnabled(kReportSlots, flags));
}

TEST(Menus, ReportFilesComeFromTheControlFileAndTheOutputBase) {
  EXPECT_EQ(ResultsItemFile(kControlFileSlot, "/r/a.b/run.ctl", "x"), "/r/a.b/run.ctl");
  // The log is cut at the last "." of the file's own name, never in a folder.
  EXPECT_EQ(ResultsItemFile(0, "/r/a.b/run.v2.ctl", "x"), "/r/a.b/run.v2.log");
  EXPECT_EQ(ResultsItemFile(0, "/r/run", "x"), "/r/run.log");
  // Trailing blanks of the output base name go; "\" separates folders.
  EXPECT_EQ(ResultsItemFile(5, "/r/run.ctl", "/r/out\\run1   "), "/r/out/run1.est");
  EXPECT_EQ(ResultsItemFile(12, "/r/run.ctl", "/r/out/run1"), "/r/out/run1.rlk");
  EXPECT_EQ(ResultsItemFile(1, "/r/run.ctl", "/r/out/run1"), "/r/out/run1.bsl");
}

}  // namespace
}  // namespace velk::gui
