#include "core/error.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "core/report_file.hpp"
#include "core/reports.hpp"
#include "support/files.hpp"
#include "support/recording_platform.hpp"
#include "support/tiny_reports.hpp"

namespace velk {
namespace {

using Lines = std::vector<std::string>;


class ErrorTest : public testing::Test {
 protected:
  void SetUp() override {
    Error(run, 1);
    ASSERT_TRUE(run.output.unit[0].Open(dir / "run.log"));
  }
  void Say(int number, MessageArgs a = {}) { Error(run, number, std::move(a)); }
  // The log as written so far (closes it).
  Lines Log() {
    run.output.unit[0].Close();
    return test::ReadLines(dir / "run.log");
  }
  std::string LogText() {
    std::string log;
    for (const std::string& line : Log()) log += line + "\n";
    return log;
  }

  test::TempDir dir;
  test::RecordingPlatform platform;
  Process process;
  velk::Run run{process, platform};  // qualified: testing::Test has a Run() too
};

// Every message is listed for the front end with the text the log got; a
// message that no log holds (the log not open) is listed all the same.
TEST_F(ErrorTest, MessagesAreListedAsTheLogGetsThem) {
  Say(104, {.a1 = "Log", .a2 = "run.log"});
  Say(1015, {.n1 = 2, .n2 = 17});
  run.output.unit[0].Close();
  Say(2004, {.a1 = "Loc02", .n1 = 9, .n2 = 7});
  Say(3037, {.n1 = 3});
  std::string listed;
  for (const RunMessage& m : run.messages)
    listed += std::to_string(m.number) + "/" + std::to_string(m.severity) + " " + m.text + "\n";
  EXPECT_EQ(listed,
            "104/0 *** Note: VELK program.\nLog sent to file:\nrun.log.\n"
            "1015/1 *** Warning: VELK program.\nMissing  2 loci on record   17. Record skipped.\n"
            "2004/1 *** Error: VELK program.\nThe number of types for character Loc02 is 7 on "
            "record   9\n"
            "3037/2 *** Fatal Error: VELK program.\nAnalysis stopped at the user's request after "
            "resample 3.\n");
}

TEST_F(ErrorTest, CountingLastMessageAndReset) {
  Error(run, 3);  // numbers below six write nothing
  EXPECT_EQ(Lastsv(run), 0);
  Error(run, 1015);
  Error(run, 1015);
  Error(run, 2004);
  EXPECT_EQ(std::vector<int>({run.error.warnings, run.error.errors, run.error.stop}),
            std::vector<int>({2, 1, 0}));
  EXPECT_EQ(Lastcd(run), 2004);
  EXPECT_EQ(Lastcd(run), 0);  // cleared when read
  EXPECT_EQ(Lastsv(run), 4);
  EXPECT_EQ(Lastsv(run), 0);
  // A push clears the last message, also one ignored at full depth (10);
  // popping more than was pushed stops at the bottom.
  Error(run, 2001);
  Errpush(run, "Reading control file options");
  EXPECT_EQ(Lastcd(run), 0);
  for (int k = 1; k <= 10; ++k) Errpush(run, "Context " + std::to_string(k));
  Setlst(run, 2001, 4);
  Errpush(run, "one too many");
  EXPECT_EQ(Lastsv(run), 0);
  EXPECT_EQ(run.errstk.depth, 10);
  EXPECT_EQ(run.errstk.entry[10], "Context 9");
  Error(run, 1005);  // headed by the top context
  EXPECT_NE(LogText().find(" *** Warning: Context 9.\n"
                           "     The last EM step decreased the likelihood."),
            std::string::npos);
  for (int k = 0; k < 12; ++k) Errpop(run);
  EXPECT_EQ(run.errstk.depth, 0);
  Errpush(run, "Again");
  EXPECT_EQ(run.errstk.entry[1], "Again");

  run.output.written.fill(1);
  Error(run, 1);
  EXPECT_EQ(std::vector<int>({run.error.warnings, run.error.errors, run.errstk.depth}),
            std::vector<int>({0, 0, 0}));
  for (int flag : run.output.written) EXPECT_EQ(flag, 0);

  test::RecordingPlatform other_platform;  // uninitialised state is set up first
  velk::Run fresh(process, other_platform);
  Error(fresh, 3000);
  EXPECT_EQ(fresh.error.fatals, 1);
}

TEST_F(ErrorTest, FatalStopsAndClosesReportsAndInputsButNotTheLog) {
  run.files.output = dir / "run";
  ASSERT_TRUE(OpenReportFile(run, Report::kEstimates, "Estimates"));
  run.output.unit[5].Line("estimates so far");
  ASSERT_TRUE(run.output.unit[13].Open(dir / "run.rnc"));
  test::WriteFile(dir / "base.bse", "line 1\nline 2\n");
  ASSERT_TRUE(run.inputs.unit[1].Open(dir / "base.bse"));
  Error(run, 3000);
  EXPECT_EQ(run.error.stop, 1);
  EXPECT_EQ(run.error.fatals, 1);
  EXPECT_FALSE(run.output.unit[5].IsOpen());
  EXPECT_FALSE(run.output.unit[13].IsOpen());
  EXPECT_FALSE(run.inputs.unit[1].IsOpen());
  EXPECT_TRUE(run.output.unit[0].IsOpen());
  // The report was not finished: neither it nor its working file is left.
  EXPECT_FALSE(std::filesystem::exists(dir / "run.est") ||
               std::filesystem::exists(dir / "run.est.part"));
  // A message after the stop still reaches the log.
  Say(106, {.n1 = 4});
  EXPECT_EQ(Log().back(), "     Iteration   4.");
}

TEST_F(ErrorTest, MessageBoxes) {
  run.error.show_messages = 0;
  Error(run, 3036);
  EXPECT_TRUE(platform.boxes.empty());
  Error(run, 1);
  run.error.show_messages = 1;
  Error(run, 3036);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].title, "Error");
  EXPECT_EQ(platform.boxes[0].text,
            "All mixture genotypes are impossible.\nReduce genotype tolerance parameter.");
  // Message 0 stops silently, boxing the previous message's text.
  Error(run, 1);
  platform.boxes.clear();
  Say(1012, {.a1 = "C:\\data\\chinook.bse"});
  EXPECT_TRUE(platform.boxes.empty());
  Error(run, 0);
  EXPECT_EQ(run.error.stop, 1);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].text, "Could not open baseline file\rC:\\data\\chinook.bse.");
  Lines log = Log();
  EXPECT_EQ(log.back(), " ");  // no heading or body, only the closing blank line
  EXPECT_NE(log[log.size() - 2].find("chinook.bse"), std::string::npos);
}

// The exact layouts of headings and bodies at every level, and of messages
// that runs seldom meet, as the golden log holds them.
TEST_F(ErrorTest, LogLayouts) {
  Errpush(run, "VELK estimation procedure   ");
  Error(run, 3001);
  Errpush(run, "Reading control file parameters");
  Say(3011, {.a1 = "parameter", .n1 = 7});
  EXPECT_EQ(run.error.box_text, "Bad parameter record.\rRecord number     7.");
  Errpop(run);
  Errpop(run);
  const double nan = std::nan("");
  const std::pair<int, MessageArgs> messages[] = {
      {100, {.n1 = 37, .x1 = 1.0e-10}},
      {100, {.n1 = 5, .x1 = nan}},
      {101, {.x1 = 0.00001234, .x2 = 99.5}},
      {1001, {.a1 = "North fork", .a2 = "Locus A", .x1 = 0.99}},
      {2004, {.a1 = "Locus B", .n1 = 45, .n2 = 12}},  // 12 is too wide for its field
      {2001, {.a1 = "real"}},
      {105, {.a1 = std::string(75, 'x'), .a2 = "value   "}},  // texts cut to their width
      {1004, {.x1 = 0.5}},
      {1020, {.n1 = 9, .n2 = 100, .x1 = nan}},
      {1022, {}},
      {2051, {.a1 = "F-1", .a2 = "Loc1", .n1 = 12}},
      {3014, {}},  // with no read failing: not a stop
      {3028, {.n1 = 50}},
      {3051, {}},
      {1099, {}},  // a number without a text: the heading alone
      {3029, {}}};
  for (const auto& [number, args] : messages) Say(number, args);
  test::ExpectGolden(LogText(), "messages.log");
}

// Every message of the catalogue, with short and long, small and odd
// arguments, keeps the log's shape: a heading line, then body lines indented
// by five blanks; its box text fits the box.
TEST_F(ErrorTest, EveryMessageKeepsTheLogsShape) {
  const double nan = std::nan("");
  const MessageArgs cases[] = {
      {.a1 = "Alpha", .a2 = "Beta", .n1 = 1, .n2 = 2, .n3 = 3, .x1 = 0.5, .x2 = 1.5, .x3 = 2.5},
      {.a1 = std::string(90, 'x'), .n1 = 0, .n2 = -7, .n3 = 123456, .x1 = nan, .x2 = -1e300,
       .x3 = 0, .iostat = 5}};
  for (const MessageArgs& args : cases) {
    for (int number = 2; number < 4000; ++number) {
      Say(number, args);
      EXPECT_LE(run.error.box_text.size(), 256u) << number;
    }
  }
  int line_number = 0;
  for (const std::string& line : Log()) {
    ++line_number;
    const bool shaped = line.empty() || line == " " || line.starts_with(" *** ") ||
                        line.starts_with("     ");
    EXPECT_TRUE(shaped) << "log line " << line_number << ": " << line;
  }
}

}  // namespace
}  // namespace velk
