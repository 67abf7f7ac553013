#pragma once
// Runs the velk command as a user would, for end-to-end tests.
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace velk::test {

struct CommandResult {
  int status = -1;     // exit status
  std::string output;  // standard output (standard error too when asked)
};

// Runs `velk args` in `dir` (the current directory when empty).
inline CommandResult RunVelk(const std::string& args, const std::string& dir = "",
                             bool with_stderr = false) {
  std::string cmd;
  if (!dir.empty()) cmd = "cd '" + dir + "' && ";
  cmd += std::string("'") + VELK_BINARY + "' " + args + (with_stderr ? " 2>&1" : " 2>/dev/null");
  CommandResult r;
  std::FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  std::array<char, 4096> buf;
  std::size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), p)) > 0) r.output.append(buf.data(), n);
  int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

}  // namespace velk::test
