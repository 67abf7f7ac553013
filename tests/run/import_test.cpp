// The import: genotype tables and GENEPOP files in, a baseline, a mixture, the
// reference individuals and a control file out; a check that fails writes nothing.
#include "run/import.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.hpp"
#include "support/shared_data.hpp"
#include "support/velk_command.hpp"

namespace velk {
namespace {

namespace fs = std::filesystem;

const fs::path kChinook = test::ChinookData();

template <class N>
std::string Name(const char* prefix, N n) {
  std::ostringstream s;
  s << prefix << n;
  return s.str();
}

std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

// The estimates tables of an .est report (regions and populations): estimate,
// standard error and CV of every row.
std::vector<std::string> Estimates(const std::string& path) {
  std::vector<std::string> kept;
  bool in_table = false;
  for (const std::string& line : test::ReadLines(path)) {
    if (line.find("Estimate  Std.Err.") != std::string::npos) in_table = true;
    if (line.empty() || line[0] == '_') in_table = false;
    if (in_table) kept.push_back(line.substr(0, 60));
  }
  return kept;
}

// The chinook fish as the field's two-column table: `velk import`, then `velk
// NAME.ctl`, gives the estimates of the hand-made chinook control file searched
// until no step improves the likelihood.
TEST(ImportChinookTest, TwoCommandsGiveTheFullyConvergedEstimates) {
  const fs::path table = kChinook / "chinook_genotypes.csv";
  VELK_REQUIRE_SHARED_DATA(table);
  test::TempDir dir;
  const test::CommandResult imported =
      test::RunVelk("import --out " + Quote(dir / "mine/chinook") + " " + Quote(table.string()));
  ASSERT_EQ(imported.status, 0) << imported.output;
  ASSERT_EQ(test::RunVelk(Quote(dir / "mine/chinook.ctl")).status, 0);

  fs::create_directories(dir.Path() / "ref");
  for (const char* f : {"chinook.bse", "chinook_mix.mix"})
    fs::copy_file(kChinook / f, dir.Path() / "ref" / f);
  std::string ctl = test::ReadFile(kChinook / "chinook_mix_rm.ctl");
  ctl.replace(ctl.find("* Parameters\n"), 13,
              "* Parameters\nLikelihood tolerance: 0\nEstimate convergence tolerance: 1e-14\n"
              "Guaranteed percent of maximum: 100\n");
  ctl.replace(ctl.find("iterations: 1000"), 16, "iterations: 9000");
  test::WriteFile(dir / "ref/chinook_mix_rm.ctl", ctl);
  ASSERT_EQ(test::RunVelk(Quote(dir / "ref/chinook_mix_rm.ctl")).status, 0);

  const std::vector<std::string> mine = Estimates(dir / "mine/chinook.est");
  ASSERT_EQ(mine.size(), 2u + 39u + 69u);
  EXPECT_EQ(mine, Estimates(dir / "ref/chinook_mix_rm.est"));
  // Stopped by its own tolerances, not by the default percent of maximum.
  EXPECT_NE(test::ReadFile(dir / "mine/chinook.log").find("Convergence. Maximum change"),
            std::string::npos);
  // The IDs travel with the fish.
  EXPECT_EQ(test::ReadLines(dir / "mine/chinook.mix")[96].substr(0, 13), "T124711 rec2 ");
}

// A microsatellite panel as GENEPOP files (3-digit alleles, 10 to 40 per locus,
// about 6% of genotypes missing): the estimates velk reports are the maximum of
// the likelihood under the Rannala-Mountain frequencies, found here by plain EM.
TEST(ImportGenepopTest, MicrosatelliteEstimatesAgreeWithAnIndependentEm) {
  const std::vector<int> alleles = {10, 17, 25, 40, 12};
  const std::vector<double> truth = {0.5, 0.3, 0.2};
  const std::size_t np = truth.size(), nl = alleles.size();
  std::mt19937 gen(2024);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  // Per population and locus, allele weights.
  std::vector<std::vector<std::vector<double>>> weight(np);
  for (auto& pop : weight)
    for (int t : alleles) {
      std::vector<double> w(static_cast<std::size_t>(t));
      for (double& x : w) x = std::pow(u(gen), 3.0);
      pop.push_back(w);
    }
  auto draw = [&](std::size_t p, std::size_t l) {
    std::discrete_distribution<int> d(weight[p][l].begin(), weight[p][l].end());
    return d(gen);
  };
  // Genotypes: per individual and locus, two allele indices (-1: missing).
  using Fish = std::vector<std::pair<int, int>>;
  auto fish = [&](std::size_t p) {
    Fish f;
    for (std::size_t l = 0; l < nl; ++l)
      f.push_back(u(gen) < 0.06 ? std::pair{-1, -1} : std::pair{draw(p, l), draw(p, l)});
    return f;
  };
  auto line = [&](const std::string& id, const Fish& f) {
    std::string s = id + " ,";
    char buf[32];
    for (const auto& [a, b] : f) {
      if (a < 0) {
        s += " 000000";
      } else {
        std::snprintf(buf, sizeof buf, " %03d%03d", 101 + 2 * a, 101 + 2 * b);
        s += buf;
      }
    }
    return s + "\n";
  };
  std::string ref = "Microsatellite baseline\nMs1, Ms2, Ms3\nMs4\nMs5\n", mix = "Mixture\n";
  for (std::size_t l = 0; l < nl; ++l) mix += Name("Ms", l + 1) + "\n";
  std::vector<Fish> reference[3];
  for (std::size_t p = 0; p < np; ++p) {
    ref += Name("Pop River", p + 1) + "\n";
    for (int i = 0; i < 60; ++i) {
      reference[p].push_back(fish(p));
      ref += line(Name("r", p + 1) + Name("_", i), reference[p].back());
    }
  }
  std::vector<Fish> mixture;
  std::discrete_distribution<int> source(truth.begin(), truth.end());
  for (int i = 0; i < 150; ++i) {
    if (i % 50 == 0) mix += "POP\n";
    mixture.push_back(fish(static_cast<std::size_t>(source(gen))));
    mix += line(Name("m", i), mixture.back());
  }
  test::TempDir dir;
  test::WriteFile(dir / "ref.gen", ref);
  test::WriteFile(dir / "mix.gen", mix);
  const test::CommandResult imported =
      test::RunVelk("import --mixture " + Quote(dir / "mix.gen") + " --out " + Quote(dir / "ms") +
                    " " + Quote(dir / "ref.gen"));
  ASSERT_EQ(imported.status, 0) << imported.output;
  ASSERT_EQ(test::RunVelk(Quote(dir / "ms.ctl")).status, 0);

  // Rannala-Mountain frequencies over the alleles of reference and mixture.
  std::vector<std::vector<int>> type(nl, std::vector<int>(64, 0));
  std::vector<int> ntypes(nl, 0);
  auto mark = [&](const Fish& f) {
    for (std::size_t l = 0; l < nl; ++l)
      if (f[l].first >= 0)
        type[l][static_cast<std::size_t>(f[l].first)] =
            type[l][static_cast<std::size_t>(f[l].second)] = 1;
  };
  for (const auto& pop : reference)
    for (const Fish& f : pop) mark(f);
  for (const Fish& f : mixture) mark(f);
  for (std::size_t l = 0; l < nl; ++l)
    for (int& x : type[l]) ntypes[l] += x;
  std::vector<std::vector<std::vector<double>>> freq(np);
  for (std::size_t p = 0; p < np; ++p)
    for (std::size_t l = 0; l < nl; ++l) {
      std::vector<double> n(64, 0.0);
      double total = 0;
      for (const Fish& f : reference[p])
        if (f[l].first >= 0) {
          n[static_cast<std::size_t>(f[l].first)] += 1;
          n[static_cast<std::size_t>(f[l].second)] += 1;
          total += 2;
        }
      for (double& x : n) x = (x + 1.0 / ntypes[l]) / (total + 1.0);
      freq[p].push_back(n);
    }
  std::vector<std::vector<double>> like(mixture.size(), std::vector<double>(np, 1.0));
  for (std::size_t i = 0; i < mixture.size(); ++i)
    for (std::size_t p = 0; p < np; ++p)
      for (std::size_t l = 0; l < nl; ++l) {
        const auto [a, b] = mixture[i][l];
        if (a >= 0)
          like[i][p] *= freq[p][l][static_cast<std::size_t>(a)] *
                        freq[p][l][static_cast<std::size_t>(b)] * (a == b ? 1.0 : 2.0);
      }
  std::vector<double> theta(np, 1.0 / static_cast<double>(np));
  for (int it = 0; it < 100000; ++it) {
    std::vector<double> next(np, 0.0);
    for (const auto& l : like) {
      double s = 0;
      for (std::size_t p = 0; p < np; ++p) s += theta[p] * l[p];
      for (std::size_t p = 0; p < np; ++p)
        next[p] += theta[p] * l[p] / s / static_cast<double>(like.size());
    }
    theta = next;
  }

  std::map<std::string, double> reported;
  const std::vector<std::string> est = test::ReadLines(dir / "ms.est");
  for (std::size_t k = 0; k < est.size(); ++k) {
    if (est[k].find("Population") == std::string::npos || est[k].find("Score") == std::string::npos)
      continue;
    for (std::size_t j = k + 1; j < k + 1 + np; ++j) {
      std::istringstream in(est[j]);
      int id;
      std::string name;
      double value;
      in >> id >> name >> value;
      reported[name] = value;
    }
  }
  ASSERT_EQ(reported.size(), np);
  for (std::size_t p = 0; p < np; ++p)
    EXPECT_NEAR(reported[Name("River", p + 1)], theta[p], 0.5e-4 + 1e-9) << p;
}

// A small table: two reference populations in two regions, two mixture fish.
const char* kTable =
    "sample_type,repunit,collection,indiv,LocusA,LocusA.1,LocusB,LocusB.1\n"
    "reference,North,Upper,u1,A,C,120,124\n"
    "reference,North,Upper,u2,C,C,NA,NA\n"
    "reference,South,Lower,l1,A,A,124,128\n"
    "mixture,NA,catch,m1,A,C,120,128\n"
    "mixture,NA,catch,m2,,,124,124\n";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// Every check: its message, and a failing one writes nothing.
TEST(ImportChecksTest, MessagesAndNothingWrittenOnFailure) {
  struct Case {
    const char* what;
    std::string table, mixture, regions;  // file texts ("" none)
    std::vector<std::string> collections;
    int status, number;
    const char* text;  // in the message of that number
  };
  const std::string long_names =
      Replace(Replace(kTable, "LocusA,LocusA.1,LocusB,LocusB.1",
                      "Ots_94857.232,Ots_94857.232.1,Ots_94857.233_1,Ots_94857.233_2"),
              "Upper,u", "Sacramento River upper reach spring run,u");
  std::string many;
  for (int k = 0; k < 84; ++k)
    many += Name("reference,North,Upper,x", k) + Name(",a", k) + Name(",a", k) + ",120,120\n";
  // clang-format off
  const Case cases[] = {
      {"a locus missing from the mixture file",
       Replace(kTable, "mixture,NA,catch,m1,A,C,120,128\nmixture,NA,catch,m2,,,124,124\n", ""),
       "sample_type,collection,indiv,LocusA,LocusA.1\nmixture,catch,m1,A,C\n", "", {}, 1, 2531,
       "1 loci of"},
      {"a mixture allele the reference never has",
       Replace(kTable, "m1,A,C", "m1,A,G"), "", "", {}, 0, 1531, "LocusA (G)"},
      {"one allele at a diploid locus", Replace(kTable, "u2,C,C", "u2,C,NA"), "", "", {}, 1, 2534,
       "individual u2 has one allele at the diploid locus LocusA"},
      {"an ID used twice", Replace(kTable, "m2", "u1"), "", "", {}, 1, 2533,
       "Individual ID \"u1\" is used twice"},
      {"a region table naming a population without individuals",
       Replace(kTable, "North,", "NA,"), "", "population,region\nUpper,N\nLower,S\nMiddle,S\n", {},
       1, 2535, "\"Middle\" has no individuals"},
      {"a locus with more types than accepted", kTable + many, "", "", {}, 1, 2537,
       "has 86 alleles; at most 83"},
      {"names the reports would cut to equal ones", long_names, "", "", {}, 0, 1532,
       "Ots_94857.233 -> Ots_9485_2"},
      {"an unknown mixture collection", kTable, "", "", {"catch", "trawl"}, 1, 2532,
       "No mixture collection \"trawl\"; the mixture holds: catch."},
      {"a population in two regions", Replace(kTable, "South,Lower", "South,Upper"), "", "", {}, 1,
       2539, "is in region South here and in region North before"},
      {"a row that is neither reference nor mixture",
       Replace(kTable, "reference,South", "ref,South"), "", "", {}, 1, 2507, "sample type \"ref\""},
      {"a GENEPOP block without individuals", "Baseline\nA, B\nPop\nPop\nx1 , 0101 01\n",
       "Mixture\nB\nA\nPop\nm1 , 01 0102\n", "", {}, 1, 2524, "a population with no individuals"},
      {"a GENEPOP genotype with one allele", "Baseline\nA, B\nPop\nx1 , 0100 01\n",
       "Mixture\nA\nB\nPop\nm1 , 0102 01\n", "", {}, 1, 2534,
       "individual x1 has one allele at the diploid locus A"},
      {"a locus column without its partner", Replace(kTable, "LocusB.1", "LocusC"), "", "", {}, 1,
       2504, "column \"LocusB\" has no partner"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    test::WriteFile(dir / "in/g.csv", c.table);
    ImportRequest request;
    request.input = dir / "in/g.csv";
    if (!c.mixture.empty()) test::WriteFile(request.mixture = dir / "in/m.csv", c.mixture);
    if (!c.regions.empty()) test::WriteFile(request.regions = dir / "in/r.csv", c.regions);
    request.collections = c.collections;
    request.out = dir / "out/fish";
    const ImportOutcome outcome = Import(request);
    EXPECT_EQ(outcome.status, c.status);
    std::string texts;
    for (const ImportMessage& m : outcome.messages)
      if (m.number == c.number) texts += m.text;
    EXPECT_NE(texts.find(c.text), std::string::npos) << texts;
    EXPECT_EQ(fs::exists(dir.Path() / "out"), c.status == 0);
  }
}

// What the files hold: the allele codes numbered in one order for reference and
// mixture, regions from a column, IDs in the mixture records, --check writes nothing.
TEST(ImportFilesTest, SharedAlleleOrderRegionsAndIds) {
  test::TempDir dir;
  test::WriteFile(dir / "g.csv", Replace(kTable, "m1,A,C", "m1,A,G"));
  ImportRequest request;
  request.input = dir / "g.csv";
  request.out = dir / "fish";
  request.check_only = true;
  ImportOutcome outcome = Import(request);
  EXPECT_EQ(outcome.status, 0);
  EXPECT_NE(outcome.summary.find("Populations: 2\nRegions: 2\nLoci: 2\nTypes: 6\nReference "
                                 "individuals: 3, missing genotypes 16.7%\nMixture individuals: 2 "
                                 "in 1 collection, missing genotypes 25.0%\n"),
            std::string::npos)
      << outcome.summary;
  EXPECT_FALSE(fs::exists(dir / "fish.ctl"));
  request.check_only = false;
  outcome = Import(request);
  ASSERT_EQ(outcome.status, 0);
  EXPECT_EQ(outcome.written.size(), 5u);
  EXPECT_EQ(test::ReadFile(dir / "fish.bse"),
            "# 1 Upper\nLocusA 1 3 0\nLocusB 1 1 0\n# 2 Lower\nLocusA 2 0 0\nLocusB 0 1 1\n");
  const std::vector<std::string> mix = test::ReadLines(dir / "fish.mix");
  EXPECT_EQ(std::vector<std::string>(mix.begin() + 1, mix.end()),
            (std::vector<std::string>{"* characters", "ID", "COLLECTION", "LocusA", "LocusB",
                                      "* end", "m1 catch 101 101", "m2 catch 000 020"}));
  const std::vector<std::string> ref = test::ReadLines(dir / "fish.ref");
  EXPECT_EQ(std::vector<std::string>(ref.begin() + 6, ref.end()),
            (std::vector<std::string>{"* end", "u1 1 110 110", "u2 1 020 000", "l1 2 200 011"}));
  EXPECT_EQ(test::ReadLines(dir / "fish.alleles.csv")[3], "LocusA,LocusA,G,3,0,1");
  const std::string ctl = test::ReadFile(dir / "fish.ctl");
  for (const char* part :
       {"1 3 LocusA : locus\n2 3 LocusB : locus\n",
        "[ID #] [Population] [Lev1]\n1 Upper : 1\n2 Lower : 2\n", "1 1 North\n1 2 South\n* Run\n",
        "Maximum number of genotypes: 2\n", "Maximum number of classes: 2\n"})
    EXPECT_NE(ctl.find(part), std::string::npos) << part;
  EXPECT_EQ(test::RunVelk(Quote(dir / "fish.ctl")).status, 0);
  // The reference fish serve the leave-one-out check as written, the files
  // section's line for them understood.
  test::WriteFile(dir / "fish.ctl", Replace(ctl, "* Options\n", "* Options\nLeave-one-out: yes\n"));
  EXPECT_EQ(test::RunVelk(Quote(dir / "fish.ctl")).status, 0);
  EXPECT_NE(test::ReadFile(dir / "fish.loo").find("All reference individuals" + std::string(11, ' ') + "3"),
            std::string::npos);
  EXPECT_EQ(test::ReadFile(dir / "fish.log").find("Not understood"), std::string::npos);

  // Another sample-type column and missing code; a GENEPOP haploid locus.
  test::WriteFile(dir / "k.tsv",
                  "\xEF\xBB\xBF" + Replace(Replace(Replace(kTable, "sample_type", "kind"),
                                                   "A,A,124", "-9,-9,124"),
                                           ",", "\t"));
  request = {};
  request.input = dir / "k.tsv";
  request.out = dir / "kind";
  request.table = {"kind", "-9"};
  ASSERT_EQ(Import(request).status, 0);
  EXPECT_EQ(test::ReadLines(dir / "kind.bse")[4], "LocusA 0 0");
  test::WriteFile(dir / "r.gen", "B\nA\nB\nPop North\nn1 , 0102 02\nn2 , 0202 00\n");
  test::WriteFile(dir / "m.gen", "M\nB, A\nPop\nm1 , 01 0101\n");
  request = {};
  request.input = dir / "r.gen";
  request.mixture = dir / "m.gen";
  request.out = dir / "gp";
  ASSERT_EQ(Import(request).status, 0);
  EXPECT_NE(test::ReadFile(dir / "gp.ctl").find("1 2 A : locus\n2 2 B : mtdna\n"),
            std::string::npos);
  EXPECT_EQ(test::ReadLines(dir / "gp.mix").back(), "m1 m1 20 10");
  EXPECT_EQ(test::RunVelk(Quote(dir / "gp.ctl")).status, 0);
}

TEST(ImportCommandTest, HelpAndUsageErrors) {
  const test::CommandResult help = test::RunVelk("import --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("--collections"), std::string::npos);
  EXPECT_NE(help.output.find("genepop"), std::string::npos);
  EXPECT_EQ(test::RunVelk("import").status, 2);
  EXPECT_EQ(test::RunVelk("import --format excel --out x g.csv").status, 2);
  EXPECT_EQ(test::RunVelk("import --out dir/x.y g.csv").status, 2);
  EXPECT_EQ(test::RunVelk("import --out x /no/such/file.csv").status, 1);
  test::TempDir dir;
  test::WriteFile(dir / "g.csv", kTable);
  EXPECT_EQ(test::RunVelk("import --check --collections catch " + Quote(dir / "g.csv")).status, 0);
  EXPECT_EQ(
      test::RunVelk("import --check --collections catch,trawl " + Quote(dir / "g.csv")).status, 1);
}

}  // namespace
}  // namespace velk
