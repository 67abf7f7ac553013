#include "cli_platform.hpp"

#include <algorithm>

namespace velk {

void CliPlatform::BeginRun() {
  shown_.clear();
  colour_.clear();
  line_open_ = false;
}

void CliPlatform::EndRun() {
  if (!print_) return;
  if (line_open_) Emit("\n");
  if (terminal_ && !colour_.empty()) std::fputs("\033[0m", out_);
  colour_.clear();
  Flush();
}

void CliPlatform::Flush() {
  if (std::fflush(out_) != 0 || std::ferror(out_)) {
    failed_ = true;
    print_ = false;
  }
}

void CliPlatform::Emit(std::string_view text) {
  for (char c : text) {
    if (c == '\r') c = '\n';
    std::fputc(c, out_);
    line_open_ = c != '\n';
  }
}

void CliPlatform::ShowStatus(const std::string& text) {
  if (!print_ || text.size() < 9) return;
  std::string colour = text.substr(0, 9);
  std::string_view body = std::string_view(text).substr(9);

  // Lines that gave way at the front of a full status text: realign on the
  // first line still there.
  if (!shown_.empty() && !body.empty() && body.substr(0, shown_.size()) != shown_) {
    std::size_t first_end = body.find('\r');
    if (first_end != std::string_view::npos) {
      std::size_t at = shown_.find(body.substr(0, first_end + 1));
      if (at != std::string::npos && at > 0 && (shown_[at - 1] == '\r')) shown_.erase(0, at);
    }
  }

  std::size_t common = static_cast<std::size_t>(
      std::mismatch(shown_.begin(), shown_.end(), body.begin(), body.end()).first - shown_.begin());
  if (common < shown_.size()) {
    // Something already shown was rewritten: only the last, open line can be
    // overwritten in place; otherwise the new text starts on a fresh line.
    std::size_t line_start = shown_.rfind('\r', common == 0 ? 0 : common - 1);
    line_start = (line_start == std::string::npos || common == 0) ? 0 : line_start + 1;
    if (terminal_ && line_open_ && shown_.find('\r', line_start) == std::string::npos) {
      std::fputs("\r\033[K", out_);
      line_open_ = false;
    } else if (line_open_) {
      Emit("\n");
    }
    shown_.resize(line_start);
  }

  std::string_view fresh = body.substr(shown_.size());
  if (!terminal_) {
    // Only completed lines: a counter that rewrites its line appears once, finished.
    std::size_t last = fresh.rfind('\r');
    fresh = last == std::string_view::npos ? std::string_view() : fresh.substr(0, last + 1);
  }
  if (fresh.empty()) return;
  if (terminal_ && colour != colour_) {
    int r = std::stoi(colour.substr(0, 3)), g = std::stoi(colour.substr(3, 3)),
        b = std::stoi(colour.substr(6, 3));
    std::fprintf(out_, "\033[38;2;%d;%d;%dm", r, g, b);
    colour_ = colour;
  }
  Emit(fresh);
  shown_.append(fresh);
  Flush();
}

void CliPlatform::ShowMessageBox(const std::string& text, const std::string&) {
  std::string t = text;
  std::replace(t.begin(), t.end(), '\r', '\n');
  std::fprintf(stderr, "%s\n", t.c_str());
}

}  // namespace velk
