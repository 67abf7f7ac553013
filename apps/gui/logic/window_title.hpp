#pragma once
// Titles and captions of the result windows, and where the windows open.
#include <string>
#include <string_view>

namespace velk::gui {

// "VELK Analysis " + the window counter in three columns + ":   " + the first
// 15 characters of the file's own name (its folder left out) with a to z in
// upper case.
std::string WindowTitle(int counter, std::string_view file_path);

// The caption while the window's run goes, and once it has ended.
std::string RunningCaption(std::string_view title);
std::string FinishedCaption(std::string_view title);

}  // namespace velk::gui

namespace velk::gui {

// Where the frame window opens: 640 x 480 at (80, 70), or at 0 in a dimension
// where the screen is smaller than 720 x 550.
struct FramePlacement {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const FramePlacement&) const = default;
};
FramePlacement PlaceFrame(int screen_width, int screen_height);

// The size a result window opens with.
inline constexpr int kResultWidth = 498;
inline constexpr int kResultHeight = 302;

}  // namespace velk::gui
