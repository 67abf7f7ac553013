// Result window titles and captions, and where the frame opens.
#include "window_title.hpp"

#include <gtest/gtest.h>

namespace velk::gui {
namespace {

TEST(WindowTitle, CounterInThreeColumnsAndTheFilesOwnName) {
  const struct {
    int counter;
    const char* path;
    const char* title;
  } cases[] = {
      {1, "/home/ann/runs/first.ctl", "VELK Analysis   1:   first.ctl"},
      {123, "C:\\runs\\First.ctl", "VELK Analysis 123:   First.ctl"},
      {1000, "a.ctl", "VELK Analysis ***:   a.ctl"},  // too wide for three columns
      {2, "/x/chinook_spring_2001.ctl", "VELK Analysis   2:   chinook_spring_2001.ctl"},
      {3, "/x/räk-1.ctl", "VELK Analysis   3:   räk-1.ctl"},
      {4, "/my.dir/run", "VELK Analysis   4:   run"},  // the folder never counts
  };
  for (const auto& c : cases) EXPECT_EQ(WindowTitle(c.counter, c.path), c.title) << c.path;
}

TEST(FramePlacement, EightySeventyUnlessTheScreenHasNoRoomInThatDimension) {
  EXPECT_EQ(PlaceFrame(1920, 1080, 1200, 800), (FramePlacement{80, 70, 1200, 800}));
  EXPECT_EQ(PlaceFrame(1279, 1080, 1200, 800), (FramePlacement{0, 70, 1200, 800}));
  EXPECT_EQ(PlaceFrame(1024, 768, 1200, 800), (FramePlacement{0, 0, 1024, 768}));
}

TEST(WindowTitle, CaptionsQueueAndProgressTellTheTruth) {
  const struct {
    bool aborted, stopped;
    int warnings;
    const char* caption;
  } ends[] = {{false, false, 0, "T - Finished "},
              {false, false, 1, "T - Finished with 1 warning"},
              {false, false, 20, "T - Finished with 20 warnings"},
              {true, false, 3, "T - Aborted"},
              {true, true, 3, "T - Stopped"}};
  for (const auto& e : ends) EXPECT_EQ(EndCaption("T", e.aborted, e.stopped, e.warnings), e.caption);
  EXPECT_EQ(QueueText(0), "");
  EXPECT_EQ(QueueText(1), "1 run waiting");
  EXPECT_EQ(QueueText(2), "2 runs waiting");
  const struct {
    int done, total;
    double left;
    const char* text;
  } progress[] = {{0, 3000, -1, "Resample 0 of 3000"},
                  {547, 3000, 80.4, "Resample 547 of 3000, about 1 min 20 s left"},
                  {10, 20, 9.6, "Resample 10 of 20, about 10 s left"},
                  {1, 100000, 7300, "Resample 1 of 100000, about 2 h 1 min left"},
                  {20, 20, 5, "Resample 20 of 20"}};
  for (const auto& p : progress) EXPECT_EQ(ProgressText(p.done, p.total, p.left), p.text);
}

}  // namespace
}  // namespace velk::gui
