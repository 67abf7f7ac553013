// Bad input through the velk command: every case ends with the message it must
// produce in the run log, "Analysis Aborted" and exit status 1, never a signal,
// and no input file is lost.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/files.hpp"
#include "support/velk_command.hpp"

namespace velk {
namespace {

using test::ReadFile;
using test::RunVelk;
using test::TempDir;
using test::WriteFile;

constexpr const char* kControl =
    "* Estimation: bad input\n* Parameters\nNumber of characters in analysis: 2\n"
    "Number of stocks in analysis: 2\n* Files\nBaseline file: base.bse\nMixture file: mix.mix\n"
    "Output file: out\\good\n* Characters\n[ID #] [# Types] [Character] [Kind]\n1 3 Loc1 : locus\n"
    "2 4 Loc2 : locus\n* Populations\n[ID #] [Population]\n1 Pop 1\n2 Pop 2\n* Run\n";

constexpr const char* kBaseline =
    "#1 Pop 1\nLoc1 10 20 30\nLoc2 5 5 10 20\n#2 Pop 2\nLoc1 30 20 10\nLoc2 20 10 5 5\n";

constexpr const char* kMixture = "Mixture\n101 1100\n200 0200\n011 0011\n101 0101\n002 2000\n";

// The options section of a leave-one-out check, before the parameters.
constexpr const char* kLeaveOneOut = "* Options\nLeave-one-out: yes\n* Parameters\n";

// `text` with its first `from` replaced by `to`.
std::string Sub(std::string text, const std::string& from, const std::string& to) {
  std::size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

// Bytes of every value, from a fixed generator: the same junk every run.
std::string Junk(std::size_t n) {
  std::string s;
  std::uint32_t x = 2463534242u;
  for (std::size_t k = 0; k < n; ++k) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    s.push_back(static_cast<char>(x & 0xff));
  }
  return s;
}

struct BadInput {
  const char* name;
  std::map<std::string, std::string> files;  // besides the defaults; "" control: none written
  std::string message;                       // a piece of the log's last message
  std::function<void(const std::filesystem::path&)> prepare = nullptr;
  std::string control = "run.ctl";  // the control file given to velk
  std::string before = "";          // a piece of an earlier message of the log
};

// A case whose one changed file is `file` with its first `from` made `to`.
BadInput Edit(const char* name, const std::string& file, const std::string& from,
              const std::string& to, const std::string& message) {
  const std::string& text = file == "run.ctl"    ? kControl
                            : file == "base.bse" ? kBaseline
                                                 : kMixture;
  return {name, {{file, Sub(text, from, to)}}, message};
}
BadInput Ctl(const char* name, const std::string& from, const std::string& to,
             const std::string& message) {
  return Edit(name, "run.ctl", from, to, message);
}
// A Bayesian estimate with one parameter line added.
BadInput Bayes(const char* name, const std::string& parameter, const std::string& message) {
  return Ctl(name, "* Parameters\n",
             "* Options\nBayesian estimate: yes\n* Parameters\n" + parameter + "\n",
             "The Bayesian estimate cannot take " + message);
}
// As Edit, with a piece of the message that comes before the last one.
BadInput Before(BadInput c, const std::string& before) {
  c.before = before;
  return c;
}

// A leave-one-out run whose reference individuals file fish.ref holds `record`.
const std::string kRefHead = "* characters\nID\nPOP\nLoc1\nLoc2\n* end\n";
const std::string loo = Sub(Sub(kControl, "* Parameters\n", kLeaveOneOut), "* Characters",
                            "Reference individuals file: fish.ref\n* Characters");
BadInput Ref(const char* name, const std::string& record, const std::string& before) {
  return Before({name, {{"run.ctl", loo}, {"fish.ref", kRefHead + record + "\n"}},
                 "Correct the reference individuals"},
                before);
}

// Runs one case in a fresh folder holding run.ctl, base.bse and mix.mix (each
// replaced by the case's files) and checks the outcome.
void Check(const BadInput& c) {
  SCOPED_TRACE(c.name);
  TempDir dir;
  std::map<std::string, std::string> files{
      {"run.ctl", kControl}, {"base.bse", kBaseline}, {"mix.mix", kMixture}};
  for (const auto& [name, text] : c.files) files[name] = text;
  for (const auto& [name, text] : files) WriteFile(dir.Path() / name, text);
  if (c.prepare) c.prepare(dir.Path());

  test::CommandResult r = RunVelk("'" + c.control + "'", dir.Path().string(), true);
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("Analysis Aborted"), std::string::npos) << r.output;
  // Without a log, the stopping message goes to standard error.
  const std::filesystem::path control = dir.Path() / c.control;
  const std::string stem = control.filename().string();
  const std::string log_name = stem.substr(0, stem.rfind('.')) + ".log";  // cut at the last "."
  if (!std::filesystem::exists(control.parent_path() / log_name)) {
    EXPECT_NE(r.output.find("Could not open"), std::string::npos) << r.output;
  }
  if (!c.message.empty()) {
    std::string log = ReadFile(control.parent_path() / log_name);
    // The stopping message, before any note about the reports it left unfinished.
    std::size_t last = log.rfind("*** Fatal Error: ");
    if (last == std::string::npos) last = log.rfind("*** ");
    ASSERT_NE(last, std::string::npos) << log;
    EXPECT_NE(log.find(c.message, last), std::string::npos) << log;
    EXPECT_NE(log.rfind(c.before, last), std::string::npos) << log;
  }
  // No input was touched.
  for (const auto& [name, text] : files) {
    if (name != "run.log" && std::filesystem::is_regular_file(dir.Path() / name)) {
      EXPECT_EQ(ReadFile(dir.Path() / name), text) << name;
    }
  }
}

// clang-format off
TEST(BadInputTest, ControlFiles) {
  const std::string stocks = "stocks in analysis: 2",
                    eof = "Premature end-of-file reading control file,";
  const BadInput cases[] = {
      {"empty control file", {{"run.ctl", ""}}, eof},
      {"binary junk", {{"run.ctl", Junk(4000)}}, eof},
      {"binary junk after the header", {{"run.ctl", "* Estimation: junk\n" + Junk(4000)}}, ""},
      Ctl("a value beyond column 132", "analysis: 2\nNumber of " + stocks,
          "analysis: 2\nNumber of stocks in analysis:" + std::string(140, ' ') + "2",
          "Bad parameter record.  Record number     4"),
      Ctl("a line of 1100 characters before the value", "Number of " + stocks,
          std::string(1100, 'y') + " Number of " + stocks, "Must know the number of stocks"),
      Ctl("more stocks than the table lists", stocks, "stocks in analysis: 100",
          "Read 2 populations, but expected 100."),
      Ctl("more stocks than a table holds", stocks, "stocks in analysis: 2000000000",
          "Exceeded the maximum number of populations = 1000000."),
      Ctl("more characters than a table holds", "characters in analysis: 2",
          "characters in analysis: 1000001",
          "Exceeded the maximum number of characters = 1000000."),
      Ctl("zero stocks", stocks, "stocks in analysis: 0", "Must know the number of stocks"),
      Ctl("zero characters", "characters in analysis: 2", "characters in analysis: 0",
          "Must know the number of characters"),
      Ctl("zero types", "1 3 Loc1", "1 0 Loc1", "Missing the # types field"),
      Ctl("negative genotype capacity", "* Files", "Maximum number of genotypes: -5\n* Files",
          "Exceeded the maximum number of"),
      Ctl("two billion genotypes and classes", "* Files",
          "Maximum number of genotypes: 2000000000\n"
          "Maximum number of classes: 2000000000\n* Files",
          "Out of memory."),
      Ctl("no run line", "* Run\n", "", eof),
      Ctl("two characters alike in their first 10", "Loc1 : locus\n2 4 Loc2",
          "Ots_100000.0 : locus\n2 4 Ots_100000.1",
          "Characters Ots_100000.0 and Ots_100000.1\n     agree in their first 10 characters"),
      Before(Ctl("a decimal comma in a control value", "* Files",
                 "Estimate tolerance: 0,0001\n* Files", "Bad parameter record.  Record number     5"),
             "decimal comma: \"0,0001\"."),
      Before(Ctl("a decimal comma in a table value", "1 Pop 1", "1,5 Pop 1",
                 "Missing the ID number field"), "decimal comma: \"1,5\"."),
      // A model simulation must resample its baseline.
      Ctl("a Rannala-Mountain simulation", "* Estimation: bad input\n",
          "* Simulation: bad input\n* Options\nRannala-Mountain model: yes\n",
          "select the resample baseline option for simulations."),
      // The plain model has nothing to draw a baseline entry without data from.
      {"a plain simulation with a baseline entry without data",
       {{"run.ctl", Sub(kControl, "* Estimation: bad input\n", "* Simulation: bad input\n")},
        {"base.bse", Sub(kBaseline, "Loc2 20 10 5 5", "Loc2 0 0 0 0")}},
       "Population Pop 2 has no data for character Loc2."},
      Ctl("hundred percent simulations by region without regions", "* Estimation: bad input\n",
          "* Simulation: bad input\n* Options\nHundred percent simulations: yes (by region)\n",
          "the populations table gives no region of level 1."),
      Before(Ctl("simulated individuals of neither kind", "* Estimation: bad input\n",
                 "* Simulation: bad input\n* Options\nSimulated individuals: maybe\n",
                 "Bad options record."), "not\n     \"maybe\" (record 3)."),
      {"held-out simulated individuals of a population without reference individuals",
       {{"run.ctl", Sub(Sub(kControl, "* Estimation: bad input\n",
                            "* Simulation: bad input\n* Options\nHundred percent simulations: "
                            "yes\nSimulated individuals: held out\n"),
                        "* Characters", "Reference individuals file: fish.ref\n* Characters")},
        {"fish.ref", kRefHead + std::string("f1 1 200 0200\n")}},
       "Population Pop 2 has no individual in the reference individuals file,"},
      // Sampler settings out of their range, each named with its value.
      Bayes("1 sweep", "Number of sweeps: 1", "Number of sweeps = 1:"),
      Bayes("a burn-in as long as the run", "Burn-in sweeps: 2000", "Burn-in sweeps = 2000:"),
      Bayes("no thinning", "Thinning interval: 0", "Thinning interval = 0:"),
      Bayes("65 chains", "Number of chains: 65", "Number of chains = 65:"),
      Bayes("a thinning that keeps one sweep", "Thinning interval: 1500",
            "Thinning interval = 1500:"),
      Ctl("leave-one-out without reference individuals", "* Parameters\n", kLeaveOneOut,
          "Must specify the Reference individuals file."),
      {"no reference individuals file", {{"run.ctl", Sub(loo, "fish.ref", "none.ref")}},
       "Could not open reference individuals file:"},
      {"a reference individuals file without POP",
       {{"run.ctl", loo}, {"fish.ref", "* characters\nID\nLoc1\nLoc2\n* end\n"}},
       "needs a locus definition"},
      Ref("a reference individual of no population", "f1 3 200 0200",
          "its population number 3 is not 1 to the number of populations"),
      Ref("a population that is no number", "f1 x 200 0200", "its population number x is"),
      Ref("a reference record short of a field", "f1 1 200", "fewer fields than the locus"),
      Ref("a reference genotype of letters", "f1 1 2x0 0200", "character Loc1 is not a genotype"),
      {"a reference individual the baseline cannot hold",
       {{"run.ctl", loo}, {"fish.ref", kRefHead + std::string("f1 1 002 0200\n")},
        {"base.bse", Sub(kBaseline, "10 20 30", "10 20 1")}},
       "Correct the reference individuals", nullptr, "run.ctl", "carries more copies of a type"},
  };
  for (const BadInput& c : cases) Check(c);
}

TEST(BadInputTest, BaselineAndMixtureFiles) {
  const std::string bad_record = "Bad baseline record.  Record number     2",
                    no_id = "Could not read population identifier on record     1.",
                    no_definition = "An error occured while reading the locus definition.";
  const BadInput cases[] = {
      {"empty baseline", {{"base.bse", ""}}, "Correct the baseline(s)"},
      {"binary junk baseline", {{"base.bse", Junk(3000)}},
       "Could not read population identifier"},
      {"binary junk mixture", {{"mix.mix", Junk(3000)}}, ""},
      Edit("a header ID beyond column 512", "base.bse", "#1 Pop 1",
           std::string("#").append(600, ' ').append("1 Pop 1"), no_id),
      Edit("a count above 32767", "base.bse", "10 20 30", "40000 20 30", bad_record),
      Edit("a negative count", "base.bse", "10 20 30", "-10 20 30", bad_record),
      // 83 fish at 0.271/0.729 would be read as the counts 83 0 271 0 729.
      Before(Edit("a decimal comma in a baseline line", "base.bse", "10 20 30", "83 0,271 0,729",
                  bad_record), "\"0,271\".\n     Write it with a decimal point. In file"),
      Before(Edit("junk after a mixture field", "mix.mix", "101 1100", "101 1100x",
                  "Correct the mixture"), "is not a string of digits: \"1100x\"."),
      Before(Edit("a decimal comma in a mixture field", "mix.mix", "101 1100", "1,1 1100",
                  "Correct the mixture"), "decimal comma: \"1,1\"."),
      {"empty mixture", {{"mix.mix", ""}}, no_definition},
      Edit("a copy digit above the ploidy", "mix.mix", "101 1100", "901 1100",
           "Correct the mixture"),
      Edit("a mixture record beyond 65,536 characters", "mix.mix", "101 1100",
           "101 1100" + std::string(70000, ' ') + "x", "Bad mixture record.  Record number     2"),
      // The prior is built after the baseline, and this run alone is aborted.
      {"an invariant character under the Pella-Masuda model",
       {{"run.ctl",
         Sub(kControl, "* Parameters", "* Options\nPella-Masuda model: yes\n* Parameters")},
        {"base.bse", Sub(kBaseline, "Loc2 20 10 5 5", "Loc2 10 10 20 40")}},
       "Loc2       may be invariant."},
      // Nothing to estimate from, and a search that could only end on zeros.
      {"a mixture without records", {{"mix.mix", "* characters\nLoc1\nLoc2\n* end\n"}},
       "No usable mixture individual"},
      {"every individual missing every character", {{"mix.mix", "Mixture\n000 0000\n000 0000\n"}},
       "No usable mixture individual"},
      {"every genotype of probability 0, no tolerance",
       {{"base.bse", Sub(Sub(kBaseline, "10 20 30", "10 20 0"), "30 20 10", "30 20 0")},
        {"mix.mix", "Mixture\n001 1100\n002 0200\n"}},
       "All mixture genotypes are impossible."},
      {"every genotype of probability 0, tolerance 0",
       {{"run.ctl", Sub(kControl, "* Files", "Genotype tolerance: 0\n* Files")},
        {"base.bse", Sub(Sub(kBaseline, "10 20 30", "10 20 0"), "30 20 10", "30 20 0")},
        {"mix.mix", "Mixture\n001 1100\n002 0200\n"}},
       "ended with probability 0 for every genotype"},
      {"a locus definition naming an unknown character",
       {{"mix.mix", "* characters\nLoc1\nLoc9\n* end\n101 1100\n"}},
       "Read  1 characters, but expected  2 on record    4."},
      Before({"a KNOWN field naming no population",
              {{"mix.mix", "* characters\nLoc1\nKNOWN\nLoc2\n* end\n101 pop_2 1100\n"
                           "200 - 0200\n011 Pop_3 0011\n"}},
              "Correct the mixture"},
             "line      8: its KNOWN field (field 2) names no population\n     of the control "
             "file: \"Pop_3\""),
  };
  for (const BadInput& c : cases) Check(c);
}

TEST(BadInputTest, FilesThatCannotBeReadOrWritten) {
  auto mkdir = [](const char* name) {
    return [name](const std::filesystem::path& d) {
      std::filesystem::create_directories(d / name);
    };
  };
  auto link_full = [](const char* name) {
    return [name](const std::filesystem::path& d) {
      std::filesystem::create_directories((d / name).parent_path());
      std::filesystem::create_symlink("/dev/full", d / name);
    };
  };
  const std::string no_est = "Could not open the output Estimates file: ";
  BadInput folder = Ctl("a baseline that is a folder", "base.bse", "folder", "");
  folder.prepare = mkdir("folder");
  const BadInput cases[] = {
      Ctl("no baseline file", "base.bse", "none.bse", ""),
      folder,
      Ctl("a baseline that cannot be read", "base.bse", "/proc/self/mem",
          "Could not read baseline,"),
      Ctl("no mixture file", "mix.mix", "none.mix", "Could not open mixture file:"),
      {"no control file", {}, "Could not open control file:", nullptr, "run.ctl.absent"},
      {"a control file whose log cannot be created", {}, "", nullptr, "/proc/version"},
      {"a report path that is a folder", {}, no_est, mkdir("out/good.est")},
      Ctl("an output folder under a regular file", "out\\good", "base.bse\\x\\good",
          "Could not create directory"),
      {"the baseline named as the estimates report",
       {{"run.ctl", Sub(Sub(kControl, "base.bse", "same.est"), "out\\good", "same")},
        {"same.est", kBaseline}},
       no_est},
      {"the mixture named as the condensed mixture report",
       {{"run.ctl", Sub(Sub(Sub(kControl, "mix.mix", "same.cmx"), "out\\good", "same"),
                        "* Parameters", "* Options\nPrint condensed mixture: yes\n* Parameters")},
        {"same.cmx", kMixture}},
       "Could not open the output Compressed Mixture file: "},
      {"a control file named like its log", {{"self.log", kControl}}, "", nullptr, "self.log"},
      {"the baseline named as the log",
       {{"data.ctl", Sub(kControl, "base.bse", "data.log")}, {"data.log", kBaseline}},
       "", nullptr, "data.ctl"},
      Ctl("a baseline that never ends a line", "base.bse", "/dev/zero",
          "Could not read baseline,"),
      {"a control file that never ends a line", {}, "",
       [](const std::filesystem::path& d) {
         std::filesystem::create_symlink("/dev/zero", d / "zero.ctl");
       },
       "zero.ctl"},
      {"a full disk under the estimates report", {},
       "Could not write the output Estimates file: ", link_full("out/good.est")},
      {"a full disk under the log", {}, "", link_full("run.log")},
  };
  for (const BadInput& c : cases) Check(c);
}
// clang-format on

// Each of these completes the run with a warning that says so.
TEST(BadInputTest, WarningsCompleteTheRun) {
  TempDir dir;
  WriteFile(dir.Path() / "base.bse", kBaseline);
  WriteFile(dir.Path() / "mix.mix", kMixture);
  WriteFile(dir.Path() / "run.ctl",
            Sub(Sub(kControl, "* Parameters\n",
                    "* Options\nHundred percent simulations: yes\nCompute confidence "
                    "intervals: yes\n* Parameters\nEstimate tolerance: 0.001\n"
                    "Genotype tolerance: 0.01\nGuaranteed percent of maximum: 99.9999\n"
                    "Maximum number of iterations: 1\n"),
                "out\\good", "out"));
  test::CommandResult r = RunVelk("run.ctl", dir.Path().string());
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("screening removed 1 of 5 individuals as impossible"), std::string::npos)
      << r.output;
  const std::string log = ReadFile(dir.Path() / "run.log");
  for (const char* shown : {"Screening removed       1 of       5 individuals as impossible",
                            "below the genotype tolerance  0.100E-01",
                            "below the guaranteed 99.9999%:",
                            "raise the maximum number of iterations to 1000.",
                            "Hundred percent simulations are a simulation's option:",
                            "The estimate convergence epsilon of 0.0010 is large",
                            "No regional estimates were specified. CIs will not be computed."})
    EXPECT_NE(log.find(shown), std::string::npos) << shown << "\n" << log;
}

// Names in any bytes run through; a UTF-8 population name longer than its 30
// columns is cut before the character that straddles them; file names of any
// length are kept whole.
TEST(BadInputTest, NonAsciiAndLongNamesRunThrough) {
  TempDir dir;
  const std::string mixture = "m\xc3\xafx.mix";      // UTF-8
  const std::string output = "sortie\\r\xe9sultat";  // Latin-1 byte, not UTF-8
  const std::string pop = "P\xc3\xb6p " + std::string(24, 'x') + "\xc3\xb6\xc3\xb6";  // byte 30 splits
  WriteFile(dir.Path() / "base.bse", Sub(kBaseline, "Pop 1", pop));
  WriteFile(dir.Path() / mixture, kMixture);
  WriteFile(dir.Path() / "run.ctl", Sub(Sub(Sub(kControl, "mix.mix", mixture), "out\\good", output),
                                        "1 Pop 1", "1 " + pop));
  test::CommandResult r = RunVelk("run.ctl", dir.Path().string());
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Analysis Complete"), std::string::npos) << r.output;
  const std::string est = ReadFile(dir.Path() / "sortie" / "r\xe9sultat.est");
  EXPECT_NE(est.find("P\xc3\xb6p " + std::string(24, 'x') + " "), std::string::npos) << est;

  // A 300-column output name in a 200-column folder, and a mixture file beside it.
  const std::string folder(200, 'f'), base(100, 'b');
  WriteFile(dir.Path() / folder / "mix.mix", kMixture);
  WriteFile(dir.Path() / "long.ctl",
            Sub(Sub(kControl, "mix.mix", folder + "/mix.mix"), "out\\good", folder + "/" + base));
  r = RunVelk("long.ctl", dir.Path().string());
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(std::filesystem::exists(dir.Path() / folder / (base + ".est")));
}

}  // namespace
}  // namespace velk
