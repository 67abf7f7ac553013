#pragma once
// The command line's platform: the status text goes to a stream as it grows.
#include <cstdio>
#include <string>

#include "core/run.hpp"

namespace velk {

class CliPlatform : public Platform {
 public:
  // `print`: show the status text at all; `terminal`: the stream is a terminal,
  // so the colour prefix becomes an ANSI colour and a rewritten last line (the
  // resample counter) is overwritten in place; otherwise only completed lines
  // are printed and the colour is dropped.
  CliPlatform(std::FILE* out, bool print, bool terminal)
      : out_(out), print_(print), terminal_(terminal) {}

  void BeginRun();
  void EndRun();

  void ShowStatus(const std::string& text) override;
  // True once a write of the status text failed (a closed pipe, a full disk);
  // nothing more is printed after it.
  bool Failed() const { return failed_; }
  void Beep(int) override {}
  // The box's text goes to standard error.
  void ShowMessageBox(const std::string& text, const std::string& title) override;

 private:
  void Emit(std::string_view text);
  // Flushes the stream; a failed write ends the printing.
  void Flush();
  std::FILE* out_;
  bool print_;
  bool terminal_;
  std::string shown_;   // the part of the status body already printed
  std::string colour_;  // colour prefix in effect on the terminal
  bool line_open_ = false;
  bool failed_ = false;
};

}  // namespace velk
