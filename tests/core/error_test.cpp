#include "core/error.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/files.hpp"
#include "support/recording_platform.hpp"

namespace velk {
namespace {

using Lines = std::vector<std::string>;

class ErrorTest : public testing::Test {
 protected:
  void SetUp() override {
    Error(run, 1);
    ASSERT_TRUE(run.output.unit[0].Open(dir / "run.log"));
  }

  // The log as written so far (closes it).
  Lines Log() {
    run.output.unit[0].Close();
    return test::ReadLines(dir / "run.log");
  }

  // The body lines of the one message in the log (after its empty line and heading).
  Lines Body() {
    Lines log = Log();
    return log.size() < 2 ? Lines{} : Lines(log.begin() + 2, log.end());
  }

  test::TempDir dir;
  test::RecordingPlatform platform;
  Process process;
  velk::Run run{process, platform};  // qualified: testing::Test has a Run() too
};

// ------------------------------------------------------------ levels and flow

TEST_F(ErrorTest, WarningsAndErrorsAreCountedAndDoNotStop) {
  Error(run, 1015);
  Error(run, 1015);
  Error(run, 2004);
  EXPECT_EQ(run.error.warnings, 2);
  EXPECT_EQ(run.error.errors, 1);
  EXPECT_EQ(run.error.fatals, 0);
  EXPECT_EQ(run.error.stop, 0);
  EXPECT_EQ(Lastcd(run), 2004);
  EXPECT_EQ(Lastcd(run), 0);  // cleared when read
  EXPECT_EQ(Lastsv(run), 4);
  EXPECT_EQ(Lastsv(run), 0);
}

TEST_F(ErrorTest, NumbersBelowSixWriteNothing) {
  Error(run, 3);
  EXPECT_EQ(run.error.stop, 0);
  EXPECT_EQ(Lastsv(run), 0);
  EXPECT_TRUE(Log().empty());
}

TEST_F(ErrorTest, FatalStopsAndClosesReportsAndInputsButNotTheLog) {
  ASSERT_TRUE(run.output.unit[5].Open(dir / "run.est"));
  run.output.unit[5].Line("estimates so far");
  ASSERT_TRUE(run.output.unit[13].Open(dir / "run.rnc"));
  test::WriteFile(dir / "base.bse", "line 1\nline 2\n");
  ASSERT_TRUE(run.inputs.unit[1].Open(dir / "base.bse"));
  ASSERT_TRUE(run.inputs.unit[3].Open(dir / "base.bse"));

  Error(run, 3000);
  EXPECT_EQ(run.error.stop, 1);
  EXPECT_EQ(run.error.fatals, 1);
  EXPECT_FALSE(run.output.unit[5].IsOpen());
  EXPECT_FALSE(run.output.unit[13].IsOpen());
  EXPECT_FALSE(run.inputs.unit[1].IsOpen());
  EXPECT_FALSE(run.inputs.unit[3].IsOpen());
  EXPECT_TRUE(run.output.unit[0].IsOpen());
  EXPECT_EQ(test::ReadLines(dir / "run.est"), Lines{"estimates so far"});  // kept
  Lines log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), " ");
}

TEST_F(ErrorTest, MessageAfterAStopStillReachesTheLog) {
  Error(run, 3024);
  Error(run, 106);
  EXPECT_EQ(run.error.stop, 1);
  Lines log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log.back().find("Iteration"), std::string::npos);
}

TEST_F(ErrorTest, IoStatusIsResetByEveryMessage) {
  run.error.iostat = 29;
  Error(run, 105);
  EXPECT_EQ(run.error.iostat, 0);
  run.error.iostat = -1;
  Error(run, 2);
  EXPECT_EQ(run.error.iostat, 0);
}

TEST_F(ErrorTest, ReadStatusMessageByIoStatus) {
  run.error.a1 = "control file";
  run.error.n1 = 12;
  run.error.iostat = 0;
  Error(run, 3014);
  EXPECT_EQ(run.error.stop, 0);  // a successful read does not stop the run
  EXPECT_EQ(run.error.fatals, 1);

  run.error.iostat = -1;
  Error(run, 3014);
  EXPECT_EQ(run.error.stop, 1);
  EXPECT_EQ(run.error.iostat, 0);

  run.error.iostat = 5;
  Error(run, 3014);
  std::string log;
  for (const std::string& line : Log()) log += line + "\n";
  EXPECT_NE(log.find("No error. Disregard."), std::string::npos);
  EXPECT_NE(log.find("Premature end-of-file reading control file,"), std::string::npos);
  EXPECT_NE(log.find("Could not read control file,"), std::string::npos);
}

TEST_F(ErrorTest, UninitialisedStateIsSetUpAndTheMessageStillStops) {
  test::RecordingPlatform other_platform;
  velk::Run fresh(process, other_platform);
  ASSERT_EQ(fresh.error.warnings, -1);
  Error(fresh, 3000);
  EXPECT_EQ(fresh.error.stop, 1);
  EXPECT_EQ(fresh.error.fatals, 1);
}

TEST_F(ErrorTest, MessageOneResetsTheState) {
  Error(run, 1015);
  Error(run, 2004);
  Errpush(run, "Reading mixture file");
  run.output.written.fill(1);
  Error(run, 1);
  EXPECT_EQ(run.error.warnings, 0);
  EXPECT_EQ(run.error.errors, 0);
  EXPECT_EQ(run.error.fatals, 0);
  EXPECT_EQ(run.errstk.depth, 0);
  EXPECT_EQ(run.errstk.entry[0], "VELK program");
  for (int flag : run.output.written) EXPECT_EQ(flag, 0);
}

// ------------------------------------------------------------- message box

TEST_F(ErrorTest, NoBoxWithShowMessagesOff) {
  run.error.show_messages = 0;
  Error(run, 3036);
  EXPECT_EQ(run.error.stop, 1);
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_FALSE(Log().empty());
}

TEST_F(ErrorTest, BoxShowsTheStoppingMessage) {
  run.error.show_messages = 1;
  Error(run, 3036);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].title, "Error");
  EXPECT_EQ(platform.boxes[0].text,
            "All mixture genotypes are impossible.\nReduce genotype tolerance parameter.");
}

TEST_F(ErrorTest, MessageZeroStopsSilentlyWithThePreviousBoxText) {
  run.error.show_messages = 1;
  run.error.a1 = "C:\\data\\chinook.bse";
  Error(run, 1012);
  EXPECT_EQ(run.error.stop, 0);
  EXPECT_TRUE(platform.boxes.empty());
  Error(run, 0);
  EXPECT_EQ(run.error.stop, 1);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].text, "Could not open baseline file\rC:\\data\\chinook.bse.");
  Lines log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), " ");  // no heading or body, only the closing blank line
  EXPECT_NE(log[log.size() - 2].find("chinook.bse"), std::string::npos);
}

TEST_F(ErrorTest, BoxTextsComposedByMessages) {
  run.error.a1 = "Locus A    ";
  Error(run, 2005);
  EXPECT_EQ(run.error.box_text,
            "Singular covariance matrix.\rInfinitesimal jacknkife cannot be computed.");
  run.error.a1 = "output";
  Error(run, 3027);
  EXPECT_EQ(run.error.box_text,
            "Must specify the output file.\rAdd to the \"* Files\" command: "
            "\"output: path\\filename\".");
  Error(run, 3017);
  EXPECT_EQ(run.error.box_text,
            "An error occured while reading the locus definition.\rBe sure the locus definition "
            "starts with \"* characters\" and ends with \"* end\" in the mixture file.");
  Error(run, 3002);
  EXPECT_EQ(run.error.box_text,
            "Must know the number of characters before inputting character names.\rAdd to the "
            "\"* Parameters\" section: \"Number of characters in analysis: xx\".");
  Error(run, 3001);  // heading only: the text stays
  EXPECT_NE(run.error.box_text.find("Number of characters"), std::string::npos);
}

// ------------------------------------------------------------ context stack

TEST_F(ErrorTest, ContextStackDepthLimits) {
  for (int k = 1; k <= 11; ++k) Errpush(run, "Context " + std::to_string(k));
  EXPECT_EQ(run.errstk.depth, 10);
  EXPECT_EQ(run.errstk.entry[10], "Context 10");
  Error(run, 1005);
  std::string log;
  for (const std::string& line : Log()) log += line + "\n";
  EXPECT_NE(log.find("*** Warning: Context 10."), std::string::npos);

  for (int k = 0; k < 12; ++k) Errpop(run);
  EXPECT_EQ(run.errstk.depth, 0);
  Errpush(run, "Again");
  EXPECT_EQ(run.errstk.depth, 1);
  EXPECT_EQ(run.errstk.entry[1], "Again");
}

TEST_F(ErrorTest, PushClearsTheLastMessage) {
  Error(run, 2001);
  Errpush(run, "Reading control file options");
  EXPECT_EQ(Lastcd(run), 0);
  EXPECT_EQ(Lastsv(run), 0);
  // A push ignored at full depth clears them too.
  for (int k = 0; k < 10; ++k) Errpush(run, "x");
  Setlst(run, 2001, 4);
  Errpush(run, "one too many");
  EXPECT_EQ(Lastsv(run), 0);
}

// ------------------------------------------------------------ exact layouts

TEST_F(ErrorTest, FatalLogTail) {
  Errpush(run, "Reading control file");
  Errpush(run, "Reading control file parameters");
  run.error.a1 = "parameter";
  run.error.n1 = 7;
  Error(run, 3011);
  EXPECT_EQ(Log(), (Lines{"", " *** Fatal Error: Reading control file parameters.",
                          "     Bad parameter record.  Record number     7", " "}));
  EXPECT_EQ(run.error.box_text, "Bad parameter record.\rRecord number     7.");
}

TEST_F(ErrorTest, FatalWhileTheDriverScansTheControlFile) {
  test::WriteFile(dir / "a.ctl", "no header here\n");
  ASSERT_TRUE(run.inputs.Control().Open(dir / "a.ctl"));
  run.error.a1 = "control file";
  run.error.n1 = 1;
  run.error.iostat = -1;
  Error(run, 3014);
  EXPECT_EQ(Log(), (Lines{"", " *** Fatal Error: Reading control file.",
                          "     Premature end-of-file reading control file,",
                          "     record number     1.", " "}));
  EXPECT_EQ(run.error.box_text,
            "Premature end-of-file reading control file,\rrecord number     1.");
}

TEST_F(ErrorTest, HeadingsByLevel) {
  Errpush(run, "VELK estimation procedure   ");
  Error(run, 3001);
  Errpop(run);
  run.error.n1 = 4;
  Error(run, 106);
  Error(run, 999);
  EXPECT_EQ(Log(), (Lines{"", " *** Fatal Error: VELK estimation procedure.", " ", "",
                          " *** Note: VELK program.", "     Iteration   4.", "",
                          " *** Note: VELK program."}));
}

TEST_F(ErrorTest, NoteBodies) {
  run.error.x1 = 1.0e-10;
  run.error.n1 = 37;
  Error(run, 100);
  run.error.x1 = 0.00001234;
  run.error.x2 = 99.5;
  Error(run, 101);
  run.error.a1 = "Pop A";
  run.error.a2 = "Lower";
  run.error.x1 = 0.25;
  run.error.x2 = 3.5;
  run.error.x3 = 0.0614;
  Error(run, 103);
  run.error.a1 = "Log     ";
  run.error.a2 = "C:\\runs\\chinook.log";
  Error(run, 104);
  EXPECT_EQ(Log(), (Lines{
                       "",
                       " *** Note: VELK program.",
                       "     Impossible types exist using bound0.10E-09 and are flagged in",
                       "     the condensed mixture output.   The adjusted sample size is   37.",
                       "",
                       " *** Note: VELK program.",
                       "     Convergence. Maximum change in parameters =   0.1234E-04.",
                       "     GPA achieved =  99.5%.",
                       "",
                       " *** Note: VELK program.",
                       "     Lower search for Pop A:",
                       "     Estimate:   0.2500",
                       "     Chisquared:   3.50",
                       "     P-Value:    0.0614",
                       "",
                       " *** Note: VELK program.",
                       "     Log sent to file:",
                       "     C:\\runs\\chinook.log.",
                   }));
}

TEST_F(ErrorTest, WarningAndErrorBodies) {
  run.error.a1 = "North fork";
  run.error.a2 = "Locus A";
  run.error.n1 = 100;
  run.error.n2 = 99;
  Error(run, 1000);
  run.error.x1 = 0.99;
  Error(run, 1001);
  run.error.a1 = "Locus A";
  run.error.a2 = "North fork";
  run.error.n1 = 3;
  run.error.n2 = 4;
  Error(run, 1003);
  run.error.a1 = "12x";
  Error(run, 1014);
  run.error.a1 = "Locus B";
  run.error.n1 = 45;
  run.error.n2 = 12;  // too wide for its one-digit field
  Error(run, 2004);
  EXPECT_EQ(Log(), (Lines{
                       "",
                       " *** Warning: VELK program.",
                       "     Sum of allele/type frequencies is    99, but   100 is expected",
                       "     for population North fork, character Locus A.",
                       "",
                       " *** Warning: VELK program.",
                       "     Sum of baseline freqencies is 0.9900 for population",
                       "     North fork, character Locus A",
                       "     Frequencies have been normalized to one.",
                       "",
                       " *** Warning: VELK program.",
                       "     Only read   3 types/alleles but  4 were expected",
                       "     for character Locus A, population North fork.",
                       "",
                       " *** Warning: VELK program.",
                       "",
                       "     Bad numeric value in string:",
                       "     12x",
                       "",
                       " *** Error: VELK program.",
                       "     The number of types for character Locus B is * on record  45",
                   }));
}

TEST_F(ErrorTest, ErrorBoxesUseTheLogFields) {
  run.error.a1 = "North fork";
  run.error.a2 = "Locus A";
  run.error.x1 = 1.2;
  Error(run, 2000);
  EXPECT_EQ(run.error.box_text,
            "Sum of baseline freqencies is 1.20000 for population\rNorth fork, character Locus A.");
  run.error.a1 = "Locus A";
  run.error.n1 = 12;
  run.error.n2 = 9;
  Error(run, 2003);
  EXPECT_EQ(run.error.box_text,
            "On record   12, character Locus A\r possesses more than  9 types as specified in the "
            "control file.");
  run.error.a1 = "real";
  run.error.a2 = "";
  Error(run, 2001);
  EXPECT_EQ(run.error.box_text, "Expecting a \rreal value in the string: \" \".");
  Lines log = Log();
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ((Lines(log.end() - 2, log.end())),
            (Lines{"     Expecting a real value in the string: ", "     \" \"."}));
}

TEST_F(ErrorTest, FatalBodies) {
  Error(run, 3029);
  EXPECT_EQ(run.error.box_text,
            "Hashing function for identifying unique genotypes exceed the precision of this "
            "machine.");
  run.error.a1 = "baseline(s)";
  Error(run, 3010);
  EXPECT_EQ(
      run.error.box_text,
      "Too many errors to continue. Correct the baseline(s)\rfile before continuing analysis.");
  run.error.n1 = 14;
  run.error.n2 = 3;
  run.error.n3 = 4;
  Error(run, 3025);
  run.error.a1 = "geneotypes";
  run.error.n1 = 100;
  Error(run, 3023);
  EXPECT_EQ(run.error.box_text, "Exceeded the maximum number of \rgeneotypes =  100.");
  EXPECT_EQ(Log(), (Lines{"", " *** Fatal Error: VELK program.",
                          "     Hashing function for identifying unique genotypes exceed      the "
                          "precision of this machine.",
                          " ", "", " *** Fatal Error: VELK program.",
                          "     Too many errors to continue. Correct the baseline(s)",
                          "     file before continuing analysis.", " ", "",
                          " *** Fatal Error: VELK program.",
                          "     Read  3 characters, but expected  4 on record   14.", " ", "",
                          " *** Fatal Error: VELK program.",
                          "     Exceeded the maximum number of geneotypes =  100.", " "}));
}

TEST_F(ErrorTest, TextArgumentsAreTrimmedToTheirWidth) {
  run.error.a1 = std::string(75, 'x');
  run.error.a2 = "value   ";
  Error(run, 105);
  EXPECT_EQ(Body(), Lines{"     Reading " + std::string(70, 'x') + " = value."});
}

}  // namespace
}  // namespace velk
