// The description `velk --check` prints: settings by name, files as resolved,
// and the tables with their regions' members.
#include "control/describe.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/run_fixture.hpp"

namespace velk {
namespace {

// The value on the line whose label is `label` ("" when there is none).
std::string ValueOf(const std::string& text, const std::string& label) {
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("  " + label + " ", 0) != 0) continue;
    std::size_t v = line.find_first_not_of(' ', 2 + label.size());
    return v == std::string::npos ? std::string() : line.substr(v);
  }
  return {};
}

TEST(Describe, SettingsFilesAndTables) {
  test::RunFixture f;
  velk::Run& run = f.run;
  run.title = "Test mixture";
  run.control_dir = "/runs/";
  run.par.npop = 3;
  run.par.nchar = 1;
  run.par.nlevels = 1;
  run.par.nregions = 2;
  run.par.eps = 1e-5;
  run.opt.print_baseline = 1;
  run.files.baseline = "C:/data/test.bse";  // as the files section resolved it
  run.files.mixture = "/abs/test.mix";
  run.chars.Resize(1);
  run.chars(1) = Character{"Locus A", 7, 4, 2};
  run.pops.Resize(3);
  for (int i = 1; i <= 3; ++i) {
    run.pops(i).name = "Pop " + std::to_string(i);
    run.pops(i).id = i;
    run.pops(i).estimate = 0.25;
    run.pops(i).level = {i == 3 ? 2 : 1, 0, 0};
  }
  Regions& g = run.regions;
  g.level = Vec<int>(4, 1);
  g.label.Resize(4);
  g.label(1) = 1;
  g.label(2) = 2;
  g.size.Resize(4);
  g.size(1) = 2;
  g.size(2) = 1;
  g.parent.Resize(4);
  g.members.Resize(4);
  g.members(1) = 1;
  g.members(2) = 2;
  g.members(3) = 3;
  g.name.Resize(2);
  g.name(1) = "Upper river";
  g.name(2) = "Lower river";

  std::string d = Describe(run);
  EXPECT_NE(d.find("Analysis: estimation\n"), std::string::npos);
  EXPECT_NE(d.find("Title: Test mixture\n"), std::string::npos);
  EXPECT_EQ(ValueOf(d, "number of populations"), "3");
  EXPECT_EQ(ValueOf(d, "estimate convergence tolerance"), "1e-05");
  EXPECT_EQ(ValueOf(d, "print baseline summary"), "yes");
  EXPECT_EQ(ValueOf(d, "compute jackknife"), "yes");
  EXPECT_EQ(ValueOf(d, "resample mixture"), "no");
  EXPECT_EQ(ValueOf(d, "baseline file"), "C:/data/test.bse");  // a drive name is absolute
  EXPECT_EQ(ValueOf(d, "mixture file"), "/abs/test.mix");
  EXPECT_EQ(ValueOf(d, "output base name"), "(none)");
  EXPECT_NE(d.find("     1      7      4       2  Locus A\n"), std::string::npos) << d;
  EXPECT_NE(d.find("     3      3        0.25     2     0     0  Pop 3 | \n"), std::string::npos)
      << d;
  EXPECT_NE(d.find("     1      1      1     2       0  Upper river | 1 2\n"), std::string::npos)
      << d;
  EXPECT_NE(d.find("     2      1      2     1       0  Lower river | 3\n"), std::string::npos)
      << d;
}

}  // namespace
}  // namespace velk
