#pragma once
// Titles and captions of the result windows, and where the windows open.
#include <string>
#include <string_view>

namespace velk::gui {

// "VELK Analysis " + the window counter in three columns + ":   " + the file's
// own name (its folder left out), as it is spelled.
std::string WindowTitle(int counter, std::string_view file_path);

// The caption while the window's run goes, and once it has ended.
std::string RunningCaption(std::string_view title);
std::string FinishedCaption(std::string_view title);
// The caption a run's end gives: " - Stopped" when the user stopped it,
// " - Aborted" when it stopped on a fatal message, " - Finished " otherwise, or
// " - Finished with N warnings" when it gave warnings.
std::string EndCaption(std::string_view title, bool aborted, bool stopped, int warnings);

// The frame's status bar while runs wait their turn ("2 runs waiting"; empty
// when none waits).
std::string QueueText(std::size_t waiting);

// The progress bar's text: "Resample 547 of 3000" and, once it is known, the
// time left ("about 1 min 20 s left").
std::string ProgressText(int done, int total, double seconds_left);

}  // namespace velk::gui

namespace velk::gui {

// Where the frame window opens: the size wanted (the one it had when it was
// last closed), at (80, 70); in a dimension where the screen has no room for
// that, at 0 and no larger than the screen.
struct FramePlacement {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const FramePlacement&) const = default;
};
FramePlacement PlaceFrame(int screen_width, int screen_height, int width, int height);

// The frame's size when none was remembered.
inline constexpr int kFrameWidth = 1200;
inline constexpr int kFrameHeight = 800;

// The size a result window opens with: room for its tables and plots.
inline constexpr int kResultWidth = 900;
inline constexpr int kResultHeight = 560;

}  // namespace velk::gui
