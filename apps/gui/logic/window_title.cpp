#include "window_title.hpp"

#include "core/layout/layout.hpp"

namespace velk::gui {

std::string WindowTitle(int counter, std::string_view file_path) {
  std::size_t slash = file_path.find_last_of("/\\");
  std::string_view name = slash == std::string_view::npos ? file_path : file_path.substr(slash + 1);
  std::string head(name.substr(0, 15));
  for (char& c : head)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return Fmt("(a i3 a a)", {"VELK Analysis ", counter, ":   ", head});
}

std::string RunningCaption(std::string_view title) {
  return std::string(title) + " - Running  ";
}

std::string FinishedCaption(std::string_view title) {
  return std::string(title) + " - Finished ";
}

}  // namespace velk::gui

namespace velk::gui {

FramePlacement PlaceFrame(int screen_width, int screen_height) {
  return {screen_width < 720 ? 0 : 80, screen_height < 550 ? 0 : 70, 640, 480};
}

}  // namespace velk::gui
