// The velk command as a user runs it, and how the command line shows a growing
// or rewritten status.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "cli_platform.hpp"
#include "support/csv_read.hpp"
#include "support/files.hpp"
#include "support/velk_command.hpp"

namespace velk::test {
namespace {

TEST(VelkCommand, UsageErrorsAndHelp) {
  EXPECT_EQ(RunVelk("").status, 2);
  EXPECT_EQ(RunVelk("--no-such-option x.ctl").status, 2);
  CommandResult help = RunVelk("--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("--load"), std::string::npos);
  EXPECT_EQ(RunVelk("--version").output.rfind("velk ", 0), 0u);
}

TEST(VelkCommand, MissingHeaderAbortsWithPrematureEndOfFile) {
  TempDir tmp;
  const std::filesystem::path& dir = tmp.Path();
  WriteFile(dir / "plain.ctl", "A control file\nwith no header line\n* Options only\n");
  CommandResult r = RunVelk("plain.ctl", dir.string());
  EXPECT_EQ(r.status, 1);
  for (const char* shown : {"CONTROL FILE:  plain.ctl", "Reading control file...", "Aborted"})
    EXPECT_NE(r.output.find(shown), std::string::npos) << shown;
  EXPECT_EQ(r.output.find("\033["), std::string::npos) << "no colour codes off a terminal";

  std::string log = ReadFile(dir / "plain.log");
  // The first entry names the log itself; the last is the premature end of file.
  EXPECT_EQ(log.rfind("\n *** Note: ", 0), 0u) << log;
  EXPECT_NE(log.find("     Log sent to file:\n     plain.log.\n"), std::string::npos) << log;
  EXPECT_TRUE(log.ends_with("     Premature end-of-file reading control file,\n     record "
                            "number     3.\n \n\n Analysis Aborted\n"))
      << log;

  // --show-messages writes the message box text to standard error.
  CommandResult quiet = RunVelk("--quiet --show-messages plain.ctl", dir.string(), true);
  EXPECT_EQ(quiet.status, 1);
  EXPECT_NE(quiet.output.find("Premature end-of-file reading control file,"), std::string::npos)
      << quiet.output;
  EXPECT_EQ(quiet.output.find("Analysis Aborted"), std::string::npos) << "--quiet";
  EXPECT_EQ(RunVelk("--quiet plain.ctl", dir.string(), true).output, "");

  // The log is named by cutting the control file's own name at its last ".", not its folder's.
  WriteFile(dir / "a.b" / "run.x.ctl", "nothing\n");
  EXPECT_EQ(RunVelk("a.b/run.x.ctl", dir.string()).status, 1);
  EXPECT_TRUE(std::filesystem::exists(dir / "a.b" / "run.x.log"));
  EXPECT_FALSE(std::filesystem::exists(dir / "a.log"));
}

// A complete estimation control file: comments before its header, CRLF, backslashes.
const char* kExampleControl =
    "Comment lines before the header are ignored,\r\n"
    "whatever they hold: * not a header here? yes, it is skipped too\r\n"
    "* Estimation: Test mixture\r\n* Options\r\nPrint baseline summary: yes\r\n"
    "Print the iteration history: yes\r\n* Parameters\r\nNumber of characters in analysis: 2\r\n"
    "Number of stocks in analysis: 3\r\nNumber of loci: 2\r\nMaximum number of iterations: 200\r\n"
    "* Files\r\n"
    "Baseline file: data\\test.bse\r\nMixture file: data\\test.mix\r\n"
    "Output file: results\\new\\test.out\r\n* Characters\r\n"
    "[ID #] [# Types] [Character] [Kind]\r\n1 4 Locus A : locus\r\n2 2 Locus B : locus\r\n"
    "* Populations\r\n[ID #] [Population] [Lev1]\r\n1 North fork : 1\r\n2 South fork : 1\r\n"
    "3 Main stem : 2\r\n* Regions\r\n[Level] [Label] [Region]\r\n1 1 Upper river\r\n"
    "1 2 Lower river\r\n* Run\r\n";

// --check shows what it understood; --load runs every file (one that aborts sets
// the status) and lists the reports that exist, computing and creating nothing,
// not even a log.
TEST(VelkCommand, CheckAndLoad) {
  TempDir tmp;
  const std::filesystem::path& dir = tmp.Path();
  WriteFile(dir / "runs" / "test.ctl", kExampleControl);
  WriteFile(dir / "plain.ctl", "no header\n");
  CommandResult r = RunVelk("--check runs/test.ctl", dir.string());
  EXPECT_EQ(r.status, 0) << r.output;
  for (const char* shown : {"Analysis: estimation", "Title: Test mixture\n", "Upper river | 1 2",
                            "Lower river | 3", "runs/data/test.bse", "runs/results/new/test\n",
                            "Lines not understood: 1\n    10  Number of loci: 2\n"})
    EXPECT_NE(r.output.find(shown), std::string::npos) << shown << "\n" << r.output;

  r = RunVelk("--load plain.ctl runs/test.ctl", dir.string());
  EXPECT_EQ(r.status, 1) << r.output;
  for (const char* shown : {"Load Results List Aborted", "Results List Loaded"})
    EXPECT_NE(r.output.find(shown), std::string::npos) << shown << "\n" << r.output;
  EXPECT_EQ(r.output.find("runs/results/new/test."), std::string::npos) << "none exists yet";
  for (const char* absent : {"plain.log", "runs/test.log", "runs/results"})
    EXPECT_FALSE(std::filesystem::exists(dir / absent)) << absent;
}

// A Bayesian estimate of the example: --check names its settings, and the
// traces table holds every kept sweep of every chain for every population.
TEST(VelkCommand, BayesianSettingsAndTraces) {
  TempDir tmp;
  const std::filesystem::path& dir = tmp.Path();
  for (const char* name : {"first.ctl", "example.bse", "example.mix"})
    std::filesystem::copy_file(std::filesystem::path(VELK_SOURCE_DIR) / "examples" / name,
                               dir / name);
  std::string text = ReadFile(dir / "first.ctl");
  text.replace(text.find("* Options\n"), 10,
               "* Options\nBayesian estimate: yes\nPrior by region: yes\nPrint tables: yes\n"
               "Print bootstrap estimates: yes\n");
  text.replace(text.find("* Parameters\n"), 13,
               "* Parameters\nNumber of sweeps: 30\nBurn-in sweeps: 6\nThinning interval: 4\n"
               "Number of chains: 3\n");
  WriteFile(dir / "bayes.ctl", text);
  CommandResult r = RunVelk("--check bayes.ctl", dir.string());
  EXPECT_EQ(r.status, 0) << r.output;
  for (const char* shown : {"Bayesian estimate", "prior by region"})
    EXPECT_NE(r.output.find(shown), std::string::npos) << shown << "\n" << r.output;
  ASSERT_EQ(RunVelk("bayes.ctl", dir.string()).status, 0);
  const auto rows = test::ReadCsv(ReadFile(dir / "out/first.traces.csv"));
  ASSERT_EQ(rows.size(), 3u * 6 * 6);  // chains x kept sweeps (6 + 4k, k = 1..6) x populations
  EXPECT_EQ(rows.back().at("chain"), "3");
  EXPECT_EQ(rows.back().at("sweep"), "30");
}

std::string Shown(bool terminal, const std::vector<std::string>& texts) {
  char* buf = nullptr;
  std::size_t len = 0;
  std::FILE* f = open_memstream(&buf, &len);
  CliPlatform p(f, true, terminal);
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
}  // namespace velk::test
