#include "window_title.hpp"

#include "message_groups.hpp"

#include <algorithm>
#include <cmath>

namespace velk::gui {

std::string WindowTitle(int counter, std::string_view file_path) {
  std::size_t slash = file_path.find_last_of("/\\");
  std::string_view name = slash == std::string_view::npos ? file_path : file_path.substr(slash + 1);
  // The counter in three columns, or three asterisks when it is wider.
  std::string number = std::to_string(counter);
  number = number.size() > 3 ? "***" : std::string(3 - number.size(), ' ') + number;
  return "VELK Analysis " + number + ":   " + std::string(name);
}

std::string RunningCaption(std::string_view title) {
  return std::string(title) + " - Running  ";
}

std::string FinishedCaption(std::string_view title) {
  return std::string(title) + " - Finished ";
}

std::string EndCaption(std::string_view title, bool aborted, bool stopped, int warnings) {
  if (stopped) return std::string(title) + " - Stopped";
  if (aborted) return std::string(title) + " - Aborted";
  if (warnings > 0) return std::string(title) + " - " + FinishedText(warnings);
  return FinishedCaption(title);
}

std::string QueueText(std::size_t waiting) {
  if (waiting == 0) return {};
  return std::to_string(waiting) + (waiting == 1 ? " run waiting" : " runs waiting");
}

std::string ProgressText(int done, int total, double seconds_left) {
  std::string text = "Resample " + std::to_string(done) + " of " + std::to_string(total);
  if (done >= total || !(seconds_left >= 0) || seconds_left > 1e7) return text;
  const long s = std::lround(seconds_left);
  text += ", about ";
  if (s >= 3600) text += std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
  else if (s >= 60) text += std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
  else text += std::to_string(s) + " s";
  return text + " left";
}

}  // namespace velk::gui

namespace velk::gui {

FramePlacement PlaceFrame(int screen_width, int screen_height, int width, int height) {
  FramePlacement p{80, 70, width, height};
  if (screen_width < width + 80) p = {0, p.y, std::min(width, screen_width), p.height};
  if (screen_height < height + 70) p = {p.x, 0, p.width, std::min(height, screen_height)};
  return p;
}

}  // namespace velk::gui
