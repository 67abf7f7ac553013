#include "core/status.hpp"

#include <string>

namespace velk {

namespace {
constexpr std::size_t kStatusMax = 2048;
}

void AppendStatus(Run& run, std::string_view text) {
  std::string& s = run.error.status;
  s.append(text);
  s.push_back('\r');
  // The status text holds at most 2048 characters: the oldest lines after the
  // colour prefix give way so that the newest stay visible.
  if (s.size() > kStatusMax) {
    std::size_t excess = s.size() - kStatusMax;
    std::size_t cut = s.find('\r', 9 + excess);
    if (cut == std::string::npos) cut = 9 + excess; else ++cut;
    s.erase(9, cut - 9);
  }
  run.platform.ShowStatus(s);
}

void SetStatusColour(Run& run, std::string_view colour) {
  std::string& s = run.error.status;
  if (s.size() < 9) s.resize(9, '0');
  s.replace(0, 9, colour.substr(0, 9));
}

}  // namespace velk
