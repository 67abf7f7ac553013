#include "status_paint.hpp"

#include <algorithm>

namespace velk::gui {

namespace {

bool HasPrefix(std::string_view text) {
  if (text.size() < 9) return false;
  return std::all_of(text.begin(), text.begin() + 9, [](char c) { return c >= '0' && c <= '9'; });
}

int Component(std::string_view digits) {
  int v = (digits[0] - '0') * 100 + (digits[1] - '0') * 10 + (digits[2] - '0');
  return std::min(v, 255);
}

}  // namespace

StatusColour ParseStatusColour(std::string_view text) {
  if (!HasPrefix(text)) return {};
  return {Component(text.substr(0, 3)), Component(text.substr(3, 3)), Component(text.substr(6, 3))};
}

std::vector<std::string> StatusLines(std::string_view text) {
  std::string_view body = HasPrefix(text) ? text.substr(9) : text;
  std::vector<std::string> lines;
  std::string line;
  bool open = false;
  for (std::size_t k = 0; k < body.size(); ++k) {
    char c = body[k];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && k + 1 < body.size() && body[k + 1] == '\n') ++k;
      lines.push_back(line);
      line.clear();
      open = false;
    } else {
      line.push_back(c);
      open = true;
    }
  }
  if (open) lines.push_back(line);
  return lines;
}

std::vector<TabSegment> LayOutTabs(std::string_view line,
                                   const std::function<int(std::string_view)>& width,
                                   int tab_stop) {
  std::vector<TabSegment> out;
  int x = 0;
  std::size_t start = 0;
  for (;;) {
    std::size_t tab = line.find('\t', start);
    std::string_view piece =
        line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start);
    if (!piece.empty()) {
      out.push_back({x, std::string(piece)});
      x += width(piece);
    }
    if (tab == std::string_view::npos) break;
    if (tab_stop > 0) x = (x / tab_stop + 1) * tab_stop;
    start = tab + 1;
  }
  return out;
}

}  // namespace velk::gui
