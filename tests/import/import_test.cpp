// The import: genotype tables and GENEPOP files in, a baseline, a mixture, the
// reference individuals and a control file out; a check that fails writes nothing.
#include "import/import.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/files.hpp"
#include "support/shared_data.hpp"
#include "support/velk_command.hpp"

namespace velk {
namespace {

namespace fs = std::filesystem;

const fs::path kChinook = test::ChinookData();

std::string Quote(const std::string& s) {
  return "'" + s + "'";
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// The estimates tables of an .est report (regions and populations): estimate,
// standard error and CV of every row.
std::vector<std::string> Estimates(const std::string& path) {
  std::vector<std::string> kept;
  bool in_table = false;
  for (const std::string& line : test::ReadLines(path)) {
    if (line.find("Estimate  Std.Err.") != std::string::npos) in_table = true;
    if (line.empty() || line.find("___") != std::string::npos) in_table = false;
    if (in_table) kept.push_back(line.substr(0, 60));
  }
  return kept;
}

// The chinook fish as the field's two-column table: `velk import`, then one
// `velk` of the control files it wrote, gives each fishery sample's estimates
// as the hand-made chinook control file of that sample searched until no step
// improves the likelihood; the tables name their collection.
TEST(ImportChinookTest, OneImportOneCommandAnEstimatePerFisherySample) {
  const fs::path table = kChinook / "chinook_genotypes.csv";
  VELK_REQUIRE_SHARED_DATA(table);
  test::TempDir dir;
  const test::CommandResult imported =
      test::RunVelk("import --out " + Quote(dir / "mine/chinook") + " " + Quote(table.string()));
  ASSERT_EQ(imported.status, 0) << imported.output;
  ASSERT_EQ(test::RunVelk(Quote(dir.Path().string() + "/mine") + "/chinook-*.ctl").status, 0);

  fs::create_directories(dir.Path() / "ref");
  fs::copy_file(kChinook / "chinook.bse", dir.Path() / "ref/chinook.bse");
  for (const std::string rec : {"rec1", "rec2", "rec3"}) {
    SCOPED_TRACE(rec);
    fs::copy_file(kChinook / ("chinook_" + rec + ".mix"), dir.Path() / "ref" / ("chinook_" + rec + ".mix"));
    std::string ctl = test::ReadFile(kChinook / ("chinook_" + rec + "_rm.ctl"));
    ctl.replace(ctl.find("* Parameters\n"), 13,
                "* Parameters\nLikelihood tolerance: 0\nEstimate convergence tolerance: 1e-14\n"
                "Guaranteed percent of maximum: 100\n");
    ctl.replace(ctl.find("iterations: 1000"), 16, "iterations: 9000");
    const fs::path own = dir.Path() / "ref" / ("chinook_" + rec + "_rm.ctl");
    test::WriteFile(own, ctl);
    ASSERT_EQ(test::RunVelk(Quote(own.string())).status, 0);
    const std::string mine = (dir.Path() / "mine" / ("chinook-" + rec)).string();
    const std::vector<std::string> estimates = Estimates(mine + ".est");
    ASSERT_EQ(estimates.size(), 2u + 39u + 69u);
    EXPECT_EQ(estimates, Estimates((dir.Path() / "ref" / ("chinook_" + rec + "_rm.est")).string()));
    // Stopped by its own tolerances, not by the iteration limit.
    EXPECT_EQ(test::ReadFile(mine + ".log").find("Exceeded the maximum number of iterations"),
              std::string::npos);
    EXPECT_EQ(test::ReadLines(mine + ".estimates.csv")[1].substr(0, 7), "\"" + rec + "\",");
    // At the maximum: no warning that the guaranteed percent was missed.
    EXPECT_EQ(test::ReadFile(mine + ".log").find("below the guaranteed"), std::string::npos);
  }
  // Stopped after three iterations it is short, says so, and the advice
  // followed reaches the maximum.
  const std::string rec1 = test::ReadFile(dir / "mine/chinook-rec1.ctl");
  std::string ctl = Replace(rec1, "iterations: 1380", "iterations: 3");
  test::WriteFile(dir / "mine/short.ctl", Replace(ctl, "Output file: chinook-rec1", "Output file: short"));
  ASSERT_EQ(test::RunVelk(Quote(dir / "mine/short.ctl")).status, 0);
  const std::string log = test::ReadFile(dir / "mine/short.log");
  const std::string advice = "raise the maximum number of iterations to ";
  const std::size_t at = log.find(advice);
  ASSERT_NE(at, std::string::npos) << log;
  const std::string limit = log.substr(at + advice.size(), log.find('.', at) - at - advice.size());
  ctl = Replace(rec1, "iterations: 1380", "iterations: " + limit);
  test::WriteFile(dir / "mine/short.ctl", Replace(ctl, "Output file: chinook-rec1", "Output file: short"));
  ASSERT_EQ(test::RunVelk(Quote(dir / "mine/short.ctl")).status, 0);
  EXPECT_EQ(test::ReadFile(dir / "mine/short.log").find("below the guaranteed"), std::string::npos);
  // The IDs travel with the fish.
  EXPECT_EQ(test::ReadLines(dir / "mine/chinook-rec2.mix")[96].substr(0, 13), "T124711 rec2 ");
}

// A small table: two reference populations in two regions, two mixture fish.
const char* kTable =
    "sample_type,repunit,collection,indiv,LocusA,LocusA.1,LocusB,LocusB.1\n"
    "reference,North,Upper,u1,A,C,120,124\n"
    "reference,North,Upper,u2,C,C,NA,NA\n"
    "reference,South,Lower,l1,A,A,124,128\n"
    "mixture,NA,catch,m1,A,C,120,128\n"
    "mixture,NA,catch,m2,,,124,124\n";

// kTable with a known_collection column: the reference rows' "x" (not read),
// the mixture fish's m1 and m2.
std::string KnownTable(const std::string& m1, const std::string& m2) {
  std::string t = Replace(kTable, "indiv,", "indiv,known_collection,");
  for (const char* id : {",u1,", ",u2,", ",l1,"}) t = Replace(t, id, std::string(id) + "x,");
  return Replace(Replace(t, ",m1,", ",m1," + m1 + ","), ",m2,", ",m2," + m2 + ",");
}

// Every file under `root` with its contents (a link as "-> its target").
std::map<std::string, std::string> Tree(const fs::path& root) {
  std::map<std::string, std::string> tree;
  for (const auto& e : fs::recursive_directory_iterator(root))
    tree[fs::relative(e.path(), root).string()] =
        e.is_symlink() ? "-> " + fs::read_symlink(e.path()).string()
                       : (e.is_regular_file() ? test::ReadFile(e.path()) : "/");
  return tree;
}

// Planted before the import: out/fish.bse a link to the table, or a pipe at
// out/fish.ref's working name.
enum class Link { kNone, kSymbolic, kHard, kPipe };

// Every check: its message and exit status; a failing one leaves every file as
// it was. The inputs are in/t.ctl (table or GENEPOP), in/m.mix (mixture) and
// in/r.alleles.csv (regions), so that an --out in in/ can name them.
TEST(ImportChecksTest, MessagesAndNothingWrittenOnFailure) {
  struct Case {
    const char* what;
    std::string table, mixture, regions;  // file texts ("" none)
    std::vector<std::string> collections;
    int status, number;
    std::string text;  // in the message of that number
    const char* out = "out/fish";
    Link link = Link::kNone;
    const char* input = "";  // another reference file
  };
  const std::string long_names =
      Replace(Replace(kTable, "LocusA,LocusA.1,LocusB,LocusB.1",
                      "Ots_94857.232,Ots_94857.232.1,Ots_94857.233_1,Ots_94857.233_2"),
              "Upper,u", "Sacramento River upper reach spring run,u");
  std::string many, odd;
  for (int k = 0; k < 12; ++k) odd += "reference,North,Upper,d,A,NA,120,120\n";
  for (int k = 0; k < 84; ++k)
    many += "reference,North,Upper,x" + std::to_string(k) + ",a" + std::to_string(k) + ",a" +
            std::to_string(k) + ",120,120\n";
  const std::string ref_only = std::string(kTable).substr(0, std::string(kTable).find("mixture"));
  const std::string mix_only = "indiv,LocusA,LocusA.1,LocusB,LocusB.1\nm1,A,C,120,128\n";
  std::string unpaired = "indiv," + std::string(100000, 'y');
  for (int k = 0; k < 20000; ++k) unpaired += ",c" + std::to_string(k);
  // clang-format off
  const Case cases[] = {
      {"a locus missing from the mixture file",
       Replace(kTable, "mixture,NA,catch,m1,A,C,120,128\nmixture,NA,catch,m2,,,124,124\n", ""),
       "sample_type,collection,indiv,LocusA,LocusA.1,LocusC,LocusC.1\nmixture,catch,m1,A,C,1,2\n",
       "", {}, 1, 2531, "t.ctl: LocusC."},
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
      {"locus columns not named as pairs, paired by position", Replace(kTable, "LocusB.1", "LocusC"),
       "", "", {}, 0, 533, "1 of 2 pairs of locus columns are not named as one locus (L and L.1, L "
       "and L_1, or L_1 and L_2; the first: column 7 \"LocusB\" and column 8 \"LocusC\")"},
      {"an odd number of locus columns", Replace(kTable, ",LocusB.1\n", "\n"), "", "", {}, 1, 2504,
       "3 locus columns, an odd number (column 5 \"LocusA\" to column 7 \"LocusB\")"},
      {"GENEPOP IDs used again in another block and in the mixture",
       "T\nA\nPop North\nInd1 , 0101\nPop South\nInd1 , 0202\nInd2 , 0102\n",
       "M\nA\nPop North\nInd1 , 0102\n", "", {}, 0, 535,
       "the 3 individuals that carry them are named by their population and ID, with a number after "
       "it where that is taken (\"Ind1\" of " },
      {"a GENEPOP ID used twice in one block", "T\nA\nPop\nx1 , 0101\nx1 , 0102\nPop\nx1 , 0101\n",
       "", "", {}, 1, 2533, "Individual ID \"x1\" is used twice"},
      {"a GENEPOP locus of one allele and 00", "T\nA, B\nPop\nx1 , 2300 0101\nx2 , 0024 0102\n", "",
       "", {}, 0, 534, "1 locus is written as one allele and zeros in every genotype scored"},
      {"GENEPOP loci separated by blanks, one scored nowhere",
       "T\nA B\tC\nPop\nx1 , 0000 0101 01\nx2 , 0000 0102 02\n", "", "", {}, 0, 536,
       "1 locus is scored in no individual and left out: A."},
      {"an empty table", "", "", "", {}, 1, 2502, "the file is empty"},
      {"no ID column", Replace(kTable, "indiv", "name"), "", "", {}, 1, 2503,
       "no column \"indiv\""},
      {"no locus columns", "sample_type,collection,indiv\nreference,Upper,u1\n", "", "", {}, 1,
       2505, "names no locus columns"},
      {"a row short of a field, after a blank line",
       Replace(kTable, "mixture,NA,catch,m2,,", "\nmixture,NA,catch,m2,"), "", "", {}, 1, 2506,
       "line 7: 7 fields, but the header has 8"},
      {"a reference fish without a collection", Replace(kTable, "South,Lower", "South,"), "", "",
       {}, 1, 2508, "line 4: a reference individual without a collection"},
      {"a known collection that the reference does not have", KnownTable("NA", "Middle"), "", "",
       {}, 1, 2071, "line 6: known_collection \"Middle\" is no collection of the reference"},
      {"a reference row in the mixture file", kTable, kTable, "", {}, 1, 2507,
       "sample type \"reference\" in a file of mixture individuals"},
      {"a region table row of one field", kTable, "", "population,region\nUpper\n", {}, 1, 2509,
       "line 2: wants two fields"},
      {"a region table giving two regions", kTable, "", "Upper,N\nUpper,S\nLower,S\n", {}, 1,
       2539, "\"Upper\" is given two regions, N and S"},
      {"a population without a region", Replace(kTable, "South,Lower", "NA,Lower"), "", "", {}, 1,
       2539, "Population \"Lower\" has no region."},
      {"more than ten duplicate IDs", kTable + odd, "", "", {}, 1, 2533,
       "(1 more message 2533 left out)"},
      {"more than ten one-allele genotypes", kTable + odd, "", "", {}, 1, 2534,
       "(2 more messages 2534 left out)"},
      {"a GENEPOP file without loci", "T\nPop\nx1 , 0101\n", "", "", {}, 1, 2520, "no locus names"},
      {"a GENEPOP line without a comma", "T\nA\nPop\nx1 0101\n", "", "", {}, 1, 2521, "no comma"},
      {"a GENEPOP line short of a genotype", "T\nA, B\nPop\nx1 , 0101\n", "", "", {}, 1, 2522,
       "1 genotypes, but the file names 2 loci"},
      {"a GENEPOP genotype of letters", "T\nA\nPop\nx1 , 01a1\n", "", "", {}, 1, 2523,
       "\"01a1\" is not 2, 3, 4 or 6 digits"},
      {"GENEPOP genotypes of two widths", "T\nA\nPop\nx1 , 001001\nx2 , 0101\n", "", "", {}, 1,
       2523, "\"0101\" is not 3 or 6 digits"},
      {"a GENEPOP locus named twice", "T\nA, B\nA\nPop\nx1 , 01 01 01\n", "", "", {}, 1, 2525,
       "locus \"A\" is named twice, as locus 1 (line 2) and as locus 3 (line 3)"},
      {"an --out whose .mix is the mixture", ref_only, mix_only, "", {}, 1, 2542,
       "m.mix: it would overwrite the input", "in/m"},
      {"an --out whose .ctl is the table", kTable, "", "", {}, 1, 2542, "t.ctl: it would overwrite",
       "in/t"},
      {"an --out whose .alleles.csv is the regions", kTable, "", "Upper,N\nLower,S\n", {}, 1, 2542,
       "r.alleles.csv: it would overwrite", "in/r"},
      {"a .bse that links to the table", kTable, "", "", {}, 1, 2542,
       "fish.bse: it would overwrite the input", "out/fish", Link::kSymbolic},
      {"a .bse that is a hard link to the table", kTable, "", "", {}, 1, 2542,
       "fish.bse: it would overwrite the input", "out/fish", Link::kHard},
      {"a pipe at a working name", kTable, "", "", {}, 1, 2542,
       "fish.ref.part exists and is not a regular file", "out/fish", Link::kPipe},
      {"a locus named by two pairs of columns", Replace(kTable, "LocusB,LocusB.1", "LocusA,LocusA.1"),
       "", "", {}, 1, 2510,
       "\"LocusA\" is named twice, by columns 5 and 6 (\"LocusA\", \"LocusA.1\") and by columns 7"},
      {"the common missing codes",
       Replace(Replace(Replace(kTable, "NA,NA", "na,-"), "m2,,", "m2,?,N/A"), "124,128\nm", "-9,000\nm"),
       "", "", {}, 0, 531, "6 allele fields are missing (- 1, -9 1, 000 1, ? 1, N/A 1, na 1)"},
      {"a NUL byte in an ID", Replace(kTable, "u1", std::string("u\0" "1", 3)), "", "", {}, 1, 2545,
       "t.ctl, line 2, byte 24: a NUL byte"},
      {"Latin-1 names", Replace(kTable, "Upper", "Upp\xe9r"), "", "", {}, 0, 532,
       "(line 2 is the first that is not): it is read as Latin-1"},
      {"an overlong UTF-8 sequence", Replace(kTable, "Upper", "Upp\xe0\x80\xafr"), "", "", {}, 0,
       532, "(line 2 is the first that is not): it is read as Latin-1"},
      {"no allele scored anywhere",
       Replace(Replace(Replace(Replace(Replace(kTable, "A,C,120,124", "NA,NA,NA,NA"), "C,C,NA,NA",
                                       "NA,NA,NA,NA"), "A,A,124,128", "NA,NA,NA,NA"),
                       "A,C,120,128", "NA,NA,NA,NA"), ",,,124,124", ",,,NA,NA"),
       "", "", {}, 1, 2541, "No locus has an allele scored in any individual."},
      {"a file that never ends", "", "", "", {}, 1, 2545, "line 1, byte 1: a NUL byte", "out/fish",
       Link::kNone, "/dev/zero"},
      {"a line over 16 MB", std::string(17 << 20, 'x'), "", "", {}, 1, 2543,
       "line 1 is longer than 16 MB"},
      {"20,001 locus columns, one of 100,000 bytes", unpaired, "", "", {}, 1, 2504,
       "20001 locus columns, an odd number (column 2 \"" + std::string(60, 'y') +
           "...\" to column 20002 \"c19999\")"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    test::WriteFile(dir / "in/t.ctl", c.table);
    ImportRequest request;
    request.input = *c.input ? c.input : dir / "in/t.ctl";
    if (!c.mixture.empty()) test::WriteFile(request.mixture = dir / "in/m.mix", c.mixture);
    if (!c.regions.empty()) test::WriteFile(request.regions = dir / "in/r.alleles.csv", c.regions);
    request.collections = c.collections;
    request.out = dir / c.out;
    request.pool = true;  // one NAME.mix and NAME.ctl, as the --out cases name them
    if (c.link != Link::kNone) fs::create_directory(dir.Path() / "out");
    if (c.link == Link::kSymbolic) fs::create_symlink(request.input, dir / "out/fish.bse");
    if (c.link == Link::kHard) fs::create_hard_link(request.input, dir / "out/fish.bse");
    if (c.link == Link::kPipe) mkfifo((dir / "out/fish.ref.part").c_str(), 0644);
    const std::map<std::string, std::string> before = Tree(dir.Path());
    const ImportOutcome outcome = Import(request);
    EXPECT_EQ(outcome.status, c.status);
    std::string texts;
    for (const ImportMessage& m : outcome.messages)
      if (m.number == c.number) texts += FormatImportMessage(m).substr(0, 1000);
    EXPECT_NE(texts.find(c.text), std::string::npos) << texts;
    EXPECT_EQ(texts.size() < 4000, true) << "messages cite names whole";
    EXPECT_TRUE(c.status == 0 ? fs::exists(dir / "out/fish_loo.ctl") : Tree(dir.Path()) == before);
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
  EXPECT_FALSE(fs::exists(dir / "fish-catch.ctl"));
  request.check_only = false;
  outcome = Import(request);
  ASSERT_EQ(outcome.status, 0);
  EXPECT_EQ(test::ReadFile(dir / "fish.bse"),
            "# 1 Upper\nLocusA 1 3 0\nLocusB 1 1 0\n# 2 Lower\nLocusA 2 0 0\nLocusB 0 1 1\n");
  const std::vector<std::string> mix = test::ReadLines(dir / "fish-catch.mix");
  EXPECT_EQ(std::vector<std::string>(mix.begin() + 1, mix.end()),
            (std::vector<std::string>{"* characters", "ID", "COLLECTION", "LocusA", "LocusB",
                                      "* end", "m1 catch 101 101", "m2 catch 000 020"}));
  const std::vector<std::string> ref = test::ReadLines(dir / "fish.ref");
  EXPECT_EQ(std::vector<std::string>(ref.begin() + 6, ref.end()),
            (std::vector<std::string>{"* end", "u1 1 110 110", "u2 1 020 000", "l1 2 200 011"}));
  EXPECT_EQ(test::ReadLines(dir / "fish.alleles.csv")[3], "LocusA,LocusA,G,3,0,1");
  const std::string ctl = test::ReadFile(dir / "fish-catch.ctl");
  for (const char* part :
       {"1 3 LocusA : locus\n2 3 LocusB : locus\n",
        "[ID #] [Population] [Lev1]\n1 Upper : 1\n2 Lower : 2\n", "1 1 North\n1 2 South\n* Run\n",
        "Maximum number of genotypes: 2\n", "Maximum number of classes: 2\n",
        "Mixture collection: catch\nOutput file: fish-catch\n"})
    EXPECT_NE(ctl.find(part), std::string::npos) << part;
  EXPECT_EQ(test::RunVelk(Quote(dir / "fish-catch.ctl")).status, 0);
  EXPECT_EQ(test::ReadFile(dir / "fish-catch.log").find("Not understood"), std::string::npos);

  EXPECT_EQ(ctl.find("enotype tolerance"), std::string::npos);

  // Another sample-type column and missing code; a GENEPOP haploid locus, alleles in 3 digits
  // in the reference and 2 in the mixture, a fish named "Pop 2".
  test::WriteFile(dir / "k.tsv",
                  "\xEF\xBB\xBF" + Replace(Replace(Replace(Replace(kTable, "LocusB.1", "LocusB_1"),
                                                           "sample_type", "kind"),
                                                   "A,A,124", "-9,-9,124"),
                                           ",", "\t"));
  request = {};
  request.input = dir / "k.tsv";
  request.out = dir / "kind";
  request.table = {"kind", "-9"};
  outcome = Import(request);
  ASSERT_EQ(outcome.status, 0);
  for (const ImportMessage& m : outcome.messages) EXPECT_NE(m.number, 533) << m.text;
  EXPECT_EQ(test::ReadLines(dir / "kind.bse")[4], "LocusA 0 0");
  test::WriteFile(dir / "r.gen",
                  "B\nA\nB\nPop North\nn1 , 001002 002\nn2 , 002002 000\nPop 2 , 001001 001\n");
  test::WriteFile(dir / "m.gen", "M\nB, A\nPop\nm1 , 01 0101\n");
  request = {};
  request.input = dir / "r.gen";
  request.mixture = dir / "m.gen";
  request.out = dir / "gp";
  ASSERT_EQ(Import(request).status, 0);
  EXPECT_NE(test::ReadFile(dir / "gp-m1.ctl").find("1 2 A : locus\n2 2 B : mtdna\n"),
            std::string::npos);
  EXPECT_EQ(test::ReadLines(dir / "gp-m1.mix").back(), "m1 m1 20 10");
  EXPECT_EQ(test::RunVelk(Quote(dir / "gp-m1.ctl")).status, 0);

  // A mixture fish's known_collection becomes its record's KNOWN field, which
  // the run reads: the individuals table shows it as known, certain of Lower.
  test::WriteFile(dir / "known.csv", KnownTable("Lower", "NA"));
  request = {};
  request.input = dir / "known.csv";
  request.out = dir / "known";
  outcome = Import(request);
  ASSERT_EQ(outcome.status, 0);
  EXPECT_NE(outcome.summary.find("Of known origin: 1 mixture individuals"), std::string::npos);
  const std::vector<std::string> known = test::ReadLines(dir / "known-catch.mix");
  EXPECT_EQ(
      std::vector<std::string>(known.begin() + 1, known.end()),
      (std::vector<std::string>{"* characters", "ID", "COLLECTION", "KNOWN", "LocusA", "LocusB",
                                "* end", "m1 catch Lower 11 101", "m2 catch - 00 020"}));
  EXPECT_EQ(test::RunVelk(Quote(dir / "known-catch.ctl")).status, 0);
  const std::vector<std::string> fish = test::ReadLines(dir / "known-catch.individuals.csv");
  ASSERT_EQ(fish.size(), 3u);
  EXPECT_NE(fish[1].find(",2,\"Lower\",1,"), std::string::npos) << fish[1];
  EXPECT_TRUE(fish[1].ends_with(",1\r") && fish[2].ends_with(",0\r")) << fish[1] << fish[2];
}

// Files through the operating system, but the file tree is taken down before
// each rename (what a kill there would leave), and rename `refuse` is refused.
class RenameSeam : public Platform {
 public:
  explicit RenameSeam(fs::path root) : root_(std::move(root)) {}
  void ShowStatus(const std::string&) override {}
  void Beep(int) override {}
  void ShowMessageBox(const std::string&, const std::string&) override {}
  bool RenameFile(const std::string& from, const std::string& to) override {
    states.push_back(Tree(root_));
    return ++renames != refuse && Platform::RenameFile(from, to);
  }
  std::vector<std::map<std::string, std::string>> states;
  int renames = 0, refuse = 0;

 private:
  fs::path root_;
};

// An import over an earlier one, killed before any of its renames or with any
// of them refused: each set stays whole (under its names, its working names
// or its earlier names), and the control file is never beside another set's
// files, so that velk on it runs the earlier set, the new one, or none.
TEST(ImportCommitTest, AKilledOrRefusedRenameLeavesEachSetWhole) {
  test::TempDir dir;
  test::WriteFile(dir / "in/g.csv", kTable);
  ImportRequest request;
  request.input = dir / "in/g.csv";
  request.out = dir / "out/fish";
  request.pool = true;
  RenameSeam first(dir.Path());
  first.refuse = 2;
  request.platform = &first;
  EXPECT_EQ(Import(request).status, 1);
  EXPECT_FALSE(fs::exists(dir.Path() / "out"));
  request.platform = nullptr;
  ASSERT_EQ(Import(request).status, 0);
  const std::map<std::string, std::string> earlier = Tree(dir.Path() / "out");
  // The new set has one mixture genotype: its control file differs too.
  test::WriteFile(dir / "in/g.csv", Replace(kTable, "m2,,,124,124", "m2,A,C,120,128"));
  RenameSeam seam(dir.Path() / "out");
  request.platform = &seam;
  ASSERT_EQ(Import(request).status, 0);
  const std::map<std::string, std::string> fresh = Tree(dir.Path() / "out");
  constexpr int kRenames = 20;  // ten files, each earlier one aside and the new in place
  ASSERT_EQ(seam.renames, kRenames);
  for (const std::map<std::string, std::string>& state : seam.states) {
    auto in = [&](const std::string& name) {
      return state.count(name) ? state.at(name) : "(none)";
    };
    for (const auto& [set, other] : {std::pair{&earlier, ".earlier"}, std::pair{&fresh, ".part"}})
      for (const auto& [name, text] : *set)
        EXPECT_TRUE(in(name) == text || in(name + other) == text) << name;
    // The estimation's control file is the only one whose text tells the sets apart.
    if (!state.count("fish.ctl")) continue;
    const auto& own = in("fish.ctl") == earlier.at("fish.ctl") ? earlier : fresh;
    for (const char* name : {"fish.bse", "fish.mix", "fish.ref"})
      EXPECT_EQ(in(name), own.at(name)) << name;
  }
  for (int refuse = 1; refuse <= kRenames; ++refuse) {
    SCOPED_TRACE(refuse);
    test::WriteFile(dir / "in/g.csv", kTable);
    seam.refuse = refuse;
    seam.renames = 0;
    const ImportOutcome outcome = Import(request);
    EXPECT_EQ(outcome.status, 1);
    ASSERT_FALSE(outcome.messages.empty());
    EXPECT_NE(outcome.messages.back().text.find("The earlier files are as they were."),
              std::string::npos);
    EXPECT_TRUE(Tree(dir.Path() / "out") == fresh);
  }
}

// The reference individuals of a leave-one-out run: a file of another panel,
// without individuals or with a population the control file lacks stops the
// run, and so does a report that would overwrite it through a link.
TEST(ImportReferenceTest, AForeignReferenceOrALinkToItStopsTheRun) {
  struct Case {
    const char* what;
    const char* from;  // the .ref's text replaced (from its first occurrence to its end: "$")
    const char* to;
    const char* link;  // the report that links to the .ref ("" none)
    const char* text;  // in the log
  };
  const Case cases[] = {
      {"a locus the control file lacks", "LocusB\n* end", "LocusZ\n* end", "",
       "names 1 field\n     that the control file has no character for (or names twice):\n     LocusZ."},
      {"no individuals", "u1 $", "", "", "holds no individual:"},
      {"a population the control file lacks", "l1 2 ", "l1 3 ", "",
       "population number 3 is not 1 to the number of populations"},
      {"a .loo that links to the .ref", "", "", "fish_loo.loo", "the output Leave-one-out file"},
      {"a .loo.csv that links to the .ref", "", "", "fish_loo.loo.csv", "Leave-one-out table file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    test::WriteFile(dir / "g.csv", kTable);
    ImportRequest request;
    request.input = dir / "g.csv";
    request.out = dir / "fish";
    ASSERT_EQ(Import(request).status, 0);
    std::string ref = test::ReadFile(dir / "fish.ref");
    const std::string from = c.from;
    if (from.ends_with("$"))
      ref.erase(ref.find(from.substr(0, from.size() - 1)));
    else if (!from.empty())
      ref = Replace(ref, from, c.to);
    test::WriteFile(dir / "fish.ref", ref);
    if (*c.link) fs::create_symlink("fish.ref", dir / c.link);
    EXPECT_EQ(test::RunVelk(Quote(dir / "fish_loo.ctl")).status, 1);
    EXPECT_NE(test::ReadFile(dir / "fish_loo.log").find(c.text), std::string::npos)
        << test::ReadFile(dir / "fish_loo.log");
    EXPECT_EQ(test::ReadFile(dir / "fish.ref"), ref);
  }
}

// The analyses an import sets up, each run as written: one estimation per
// mixture collection (their tables naming it), a baseline alone with its two
// evaluations, a pooled import over a per-collection one retiring the files it
// no longer has, and a panel of 3,000 SNPs whose genotype probabilities lie far
// below any fixed tolerance.
TEST(ImportAnalysesTest, EachCollectionABaselineAloneAndALargePanelRun) {
  test::TempDir dir;
  std::string snps = "sample_type,collection,indiv";
  for (int l = 0; l < 3000; ++l) snps += ",s" + std::to_string(l) + ",s" + std::to_string(l) + ".1";
  for (int i = 0; i < 24; ++i) {
    snps += std::string(i < 20 ? "\nreference," : "\nmixture,") + (i % 2 ? "P1" : "P2") +
            ",f" + std::to_string(i);
    for (unsigned l = 0; l < 3000; ++l) {
      unsigned h = (l + 1) * 2654435761u + static_cast<unsigned>(i) * 40503u;
      h ^= h >> 15;
      h *= 2246822519u;  // a fish's SNPs look random: no two fish alike
      snps += (h >> 13) % 3 ? ",A,G" : ",G,G";
    }
  }
  // m3 of the second collection is u1 again: a duplicate sample.
  const std::string two = kTable + std::string("mixture,NA,trawl,m3,A,C,120,124\n");
  const std::string ref_only = std::string(kTable).substr(0, std::string(kTable).find("mixture"));
  const struct {
    const char* what;
    std::string table;
    bool pool;
    std::vector<std::string> files;  // written, beside NAME.bse, .ref, .alleles.csv, .files
  } cases[] = {
      {"two collections", two, false, {"x-catch.mix", "x-catch.ctl", "x-trawl.mix", "x-trawl.ctl"}},
      {"a baseline alone", ref_only, false, {}},
      {"the same pooled, over the two collections", two, true, {"x.mix", "x.ctl"}},
      {"a GENEPOP baseline alone", "T\nA, B\nPop\nx1 , 0101 0102\nx2 , 0202 0101\n", false, {}},
      {"3,000 SNPs", snps + "\n", false, {"x-P1.mix", "x-P1.ctl", "x-P2.mix", "x-P2.ctl"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::WriteFile(dir / "in.csv", c.table);
    ImportRequest request;
    request.input = dir / "in.csv";
    request.out = dir / "out/x";
    request.pool = c.pool;
    const ImportOutcome outcome = Import(request);
    ASSERT_EQ(outcome.status, 0);
    std::vector<std::string> files = {"x.alleles.csv", "x.bse", "x.duplicates.csv", "x.files", "x.names.csv", "x.ref",
                                      "x_hundred.ctl", "x_loo.ctl"};
    files.insert(files.end(), c.files.begin(), c.files.end());
    std::sort(files.begin(), files.end());
    std::vector<std::string> present;
    for (const auto& e : fs::directory_iterator(dir.Path() / "out"))
      if (e.path().extension() == ".ctl" || e.path().extension() == ".mix" ||
          e.path().filename().string().starts_with("x."))
        present.push_back(e.path().filename().string());
    std::sort(present.begin(), present.end());
    EXPECT_EQ(present, files);
    for (const std::string& ctl : outcome.analyses) {
      EXPECT_EQ(test::RunVelk(Quote(ctl)).status, 0) << ctl;
      const std::string base = ctl.substr(0, ctl.size() - 4);
      const std::string collection = c.pool ? "x" : base.substr(base.rfind('-') + 1);
      EXPECT_EQ(test::ReadLines(base + ".estimates.csv")[1].find("\"" + collection + "\","), 0u);
      // The per-fish tables name each fish's collection, its own when pooled.
      std::set<std::string> named;
      for (const std::string& row : test::ReadLines(base + ".individuals.csv"))
        named.insert(row.substr(0, row.find(',')));
      const std::set<std::string> want =
          c.table != two || !c.pool ? std::set<std::string>{"\"" + collection + "\""}
                                    : std::set<std::string>{"\"catch\"", "\"trawl\""};
      named.erase("\"mixture_collection\"");
      EXPECT_EQ(named, want);
    }
    EXPECT_EQ(outcome.analyses.size(), c.files.size() / 2);
    const std::vector<std::string> pairs = test::ReadLines(dir / "out/x.duplicates.csv");
    if (c.table == two) {
      EXPECT_EQ(pairs.at(1), "\"reference\",\"Upper\",\"u1\",\"mixture\",\"trawl\",\"m3\",2,0\r");
    } else {
      EXPECT_EQ(pairs.size(), 1u) << c.what;
    }
    EXPECT_EQ(test::RunVelk(Quote(dir / "out/x_loo.ctl")).status, 0);
    if (c.table == ref_only) {
      EXPECT_EQ(test::RunVelk(Quote(dir / "out/x_hundred.ctl")).status, 0);
    }
    for (const auto& e : fs::directory_iterator(dir.Path() / "out"))
      if (e.path().extension() == ".log" || e.path().string().find(".csv") != std::string::npos ||
          e.path().extension() == ".est" || e.path().extension() == ".loo")
        if (e.path().filename() != "x.alleles.csv") fs::remove(e.path());
  }
  // An earlier list naming files that are not the import's own retires none of them.
  test::WriteFile(dir / "out/keep.txt", "mine");
  test::WriteFile(dir / "out/x.files", "x.bse\n../in.csv\nkeep.txt\n" + dir.Path().string() + "/in.csv\n");
  ImportRequest request;
  request.input = dir / "in.csv";
  request.out = dir / "out/x";
  ASSERT_EQ(Import(request).status, 0);
  EXPECT_TRUE(fs::exists(dir / "in.csv") && fs::exists(dir / "out/keep.txt"));
}

TEST(ImportCommandTest, HelpAndUsageErrors) {
  const test::CommandResult help = test::RunVelk("import --help");
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.output.find("--collections"), std::string::npos);
  EXPECT_EQ(test::RunVelk("import").status, 2);
  EXPECT_EQ(test::RunVelk("import --format excel --out x g.csv").status, 2);
  EXPECT_EQ(test::RunVelk("import --out dir/x.y g.csv").status, 2);
  EXPECT_EQ(test::RunVelk("import --out x /no/such/file.csv").status, 1);
  test::TempDir dir;
  test::WriteFile(dir / "g.csv", kTable);
  EXPECT_EQ(test::RunVelk("import --check --collections catch " + Quote(dir / "g.csv")).status, 0);
  const test::CommandResult folder = test::RunVelk(
      "import --out " + Quote(dir / "g.csv/d/x") + " " + Quote(dir / "g.csv"), "", true);
  EXPECT_NE(folder.output.find("Cannot create the folder"), std::string::npos) << folder.output;
}

}  // namespace
}  // namespace velk
