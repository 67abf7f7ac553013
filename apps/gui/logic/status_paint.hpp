#pragma once
// How a text pane paints the run's status text: the colour of its nine-digit
// prefix, the lines separated by carriage returns, tabs expanded to stops.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace velk::gui {

struct StatusColour {
  int red = 0, green = 0, blue = 0;
  bool operator==(const StatusColour&) const = default;
};

// The colour of the prefix (three 3-digit decimal numbers, red, green and
// blue). A text shorter than the prefix, or a prefix that is not nine digits,
// paints black; components above 255 are taken as 255.
StatusColour ParseStatusColour(std::string_view text);

// The lines after the prefix, split at carriage returns (a line feed after a
// carriage return belongs to the same break). A text ending in a carriage
// return has no empty last line. A text without a valid prefix is all body.
std::vector<std::string> StatusLines(std::string_view text);

// One piece of a line between tabs and where it starts, in pixels from the
// left margin.
struct TabSegment {
  int x = 0;
  std::string text;
  bool operator==(const TabSegment&) const = default;
};

// Places the pieces of `line`: every tab moves on to the next multiple of
// `tab_stop` pixels (`width` measures a piece); pieces left empty by adjacent
// tabs are dropped.
std::vector<TabSegment> LayOutTabs(std::string_view line,
                                   const std::function<int(std::string_view)>& width, int tab_stop);

}  // namespace velk::gui
