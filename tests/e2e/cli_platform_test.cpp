// How the command line shows a status text that grows, is trimmed, or has its
// last line rewritten.
#include "cli_platform.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace velk {
namespace {

std::string Shown(bool terminal, const std::vector<std::string>& texts) {
  char* buf = nullptr;
  std::size_t len = 0;
  std::FILE* f = open_memstream(&buf, &len);
  CliPlatform p(f, true, terminal, false);
  p.BeginRun();
  for (const auto& t : texts) p.ShowStatus(t);
  p.EndRun();
  std::fclose(f);
  std::string out(buf, len);
  std::free(buf);
  return out;
}

// Only what was appended is printed, also after the front of the text was trimmed.
TEST(CliStatus, PrintsOnlyWhatWasAppended) {
  std::string a = "000000200CONTROL FILE:  x.ctl\r";
  std::string b = a + "Reading control file...\r";
  std::string c = "200000000" + b.substr(9) + "\rAnalysis Aborted\r";
  EXPECT_EQ(Shown(false, {a, b, c}),
            "CONTROL FILE:  x.ctl\nReading control file...\n\nAnalysis Aborted\n");
  EXPECT_EQ(Shown(false, {"000000000one\rtwo\r", "000000000two\rthree\r"}), "one\ntwo\nthree\n");
}

TEST(CliStatus, TerminalColoursAndOverwritesTheOpenLine) {
  std::string a = "000000200Start\r";
  std::string out = Shown(true, {a, a + "Resample 1", a + "Resample 2", a + "Resample 2\rDone\r"});
  EXPECT_EQ(out, "\033[38;2;0;0;200mStart\nResample 1\r\033[KResample 2\nDone\n\033[0m");
  // Off a terminal the counter line appears once, finished.
  EXPECT_EQ(Shown(false, {a, a + "Resample 1", a + "Resample 2", a + "Resample 2\rDone\r"}),
            "Start\nResample 2\nDone\n");
}

}  // namespace
}  // namespace velk
