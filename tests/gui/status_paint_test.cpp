// How a text pane reads the status text: its colour prefix, its lines and its tabs.
#include "status_paint.hpp"

#include <gtest/gtest.h>

namespace velk::gui {
namespace {

// Three decimal components red, green, blue; bad prefixes paint black and large
// components are capped.
TEST(StatusColour, ThreeDecimalComponentsRedGreenBlue) {
  EXPECT_EQ(ParseStatusColour("000000200CONTROL FILE:  a.ctl\r"), (StatusColour{0, 0, 200}));
  EXPECT_EQ(ParseStatusColour("000100000"), (StatusColour{0, 100, 0}));
  EXPECT_EQ(ParseStatusColour("012034056x"), (StatusColour{12, 34, 56}));
  EXPECT_EQ(ParseStatusColour(""), (StatusColour{}));
  EXPECT_EQ(ParseStatusColour("00000020"), (StatusColour{}));
  EXPECT_EQ(ParseStatusColour("0000 0200text"), (StatusColour{}));
  EXPECT_EQ(ParseStatusColour("999000300"), (StatusColour{255, 0, 255}));
}

TEST(StatusLines, SplitAtCarriageReturnsAfterThePrefix) {
  using V = std::vector<std::string>;
  EXPECT_EQ(StatusLines("000000000CONTROL FILE:  a.ctl\rReading control file...\r"),
            (V{"CONTROL FILE:  a.ctl", "Reading control file..."}));
  // An empty line between two breaks stays; an open last line is a line.
  EXPECT_EQ(StatusLines("000000000a\r\rb"), (V{"a", "", "b"}));
  EXPECT_EQ(StatusLines("000000000a\r\nb\n"), (V{"a", "b"}));
  EXPECT_EQ(StatusLines("000000200"), V{});
  // Without a valid prefix everything is text.
  EXPECT_EQ(StatusLines("hello\r"), V{"hello"});
}

TEST(LayOutTabs, EveryTabMovesOnToTheNextStop) {
  auto width = [](std::string_view s) { return static_cast<int>(s.size()) * 7; };
  using V = std::vector<TabSegment>;
  EXPECT_EQ(LayOutTabs("plain", width, 56), (V{{0, "plain"}}));
  EXPECT_EQ(LayOutTabs("\tEstimates output to x.est", width, 56),
            (V{{56, "Estimates output to x.est"}}));
  // "abcdefgh" is 56 wide, exactly at the stop: the tab goes on to the next one.
  EXPECT_EQ(LayOutTabs("abcdefgh\tz", width, 56), (V{{0, "abcdefgh"}, {112, "z"}}));
  EXPECT_EQ(LayOutTabs("ab\t\tc\t", width, 56), (V{{0, "ab"}, {112, "c"}}));
  EXPECT_EQ(LayOutTabs("", width, 56), V{});
}

}  // namespace
}  // namespace velk::gui
