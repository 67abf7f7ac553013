// Result window titles and captions, and where the frame opens.
#include "window_title.hpp"

#include <gtest/gtest.h>

namespace velk::gui {
namespace {

TEST(WindowTitle, CounterInThreeColumnsAndTheFileNameInUpperCase) {
  EXPECT_EQ(WindowTitle(1, "/home/ann/runs/first.ctl"), "VELK Analysis   1:   FIRST.CTL");
  EXPECT_EQ(WindowTitle(123, "C:\\runs\\first.ctl"), "VELK Analysis 123:   FIRST.CTL");
  // A counter too wide for its three columns is written as asterisks.
  EXPECT_EQ(WindowTitle(1000, "a.ctl"), "VELK Analysis ***:   A.CTL");
}

TEST(WindowTitle, OnlyTheFirstFifteenCharactersAndOnlyAToZChange) {
  EXPECT_EQ(WindowTitle(2, "/x/chinook_spring_2001.ctl"), "VELK Analysis   2:   CHINOOK_SPRING_");
  EXPECT_EQ(WindowTitle(3, "/x/räk-1.ctl"), "VELK Analysis   3:   R\xC3\xA4K-1.CTL");
  // The folder never counts, though it holds a "."
  EXPECT_EQ(WindowTitle(4, "/my.dir/run"), "VELK Analysis   4:   RUN");
}

TEST(FramePlacement, EightySeventyUnlessTheScreenIsSmallInThatDimension) {
  EXPECT_EQ(PlaceFrame(720, 550), (FramePlacement{80, 70, 640, 480}));
  EXPECT_EQ(PlaceFrame(719, 1080), (FramePlacement{0, 70, 640, 480}));
  EXPECT_EQ(PlaceFrame(1024, 549), (FramePlacement{80, 0, 640, 480}));
}

}  // namespace
}  // namespace velk::gui
