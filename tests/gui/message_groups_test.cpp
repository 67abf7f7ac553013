// The Messages tab's groups, its first filter and the words of a run's end.
#include "message_groups.hpp"

#include <gtest/gtest.h>

namespace velk::gui {
namespace {

TEST(MessageGroups, OneGroupANumberFatalFirstAndNotesHiddenWhenWarned) {
  const std::vector<RunMessage> run{{697, 0, "Reading A"}, {1021, 1, "gap"},   {697, 0, "Reading B"},
                                    {2021, 0, "error"},    {1007, 1, "bound"}, {1007, 1, "bound"},
                                    {3010, 2, "fatal"}};
  std::vector<std::pair<int, std::size_t>> groups;
  for (const MessageGroup& g : GroupMessages(run)) groups.emplace_back(g.number, g.messages.size());
  EXPECT_EQ(groups, (std::vector<std::pair<int, std::size_t>>{{3010, 1}, {2021, 1}, {1021, 1}, {1007, 2}, {697, 2}}));
  EXPECT_EQ(WarningCount(run), 4);
  EXPECT_FALSE(NotesShownAtFirst(run));
  EXPECT_TRUE(NotesShownAtFirst({{697, 0, "Reading A"}}));
}

TEST(MessageGroups, FinishedTextCountsWarnings) {
  EXPECT_EQ(FinishedText(0), "Finished");
  EXPECT_EQ(FinishedText(1), "Finished with 1 warning");
  EXPECT_EQ(FinishedText(19), "Finished with 19 warnings");
}

}  // namespace
}  // namespace velk::gui
