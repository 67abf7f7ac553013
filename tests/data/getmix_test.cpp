// The mixture reader: leading lines, locus definitions, records, classes,
// capacities, bad records, the genotype key and the hash index of Count.
#include "data/getmix.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/error.hpp"
#include "support/files.hpp"
#include "support/recording_platform.hpp"

namespace velk {
namespace {

using Lines = std::vector<std::string>;

struct CharShape {
  std::string name;
  int ntypes;
  int ploidy;
};

class MixtureRun {
 public:
  MixtureRun() {
    Error(run, 1);
    run.output.unit[0].Open(dir / "run.log");
  }

  // The characters of the analysis and the capacities of the parameters.
  void Setup(const std::vector<CharShape>& chars, int max_genotypes = 100, int max_classes = 1,
             int max_missing = 0) {
    run.par.nchar = static_cast<int>(chars.size());
    run.chars.Resize(run.par.nchar);
    run.par.max_types = 0;
    for (int c = 1; c <= run.par.nchar; ++c) {
      const CharShape& shape = chars[static_cast<std::size_t>(c - 1)];
      run.chars(c).name = shape.name;
      run.chars(c).id = c;
      run.chars(c).ntypes = shape.ntypes;
      run.chars(c).ploidy = shape.ploidy;
      run.par.max_types = std::max(run.par.max_types, shape.ntypes);
    }
    run.par.max_genotypes = max_genotypes;
    run.par.max_classes = max_classes;
    run.par.max_missing = max_missing;
  }

  // Writes the mixture file and reads it as the run sequence does.
  void Read(const std::string& text, GenotypeLookup lookup = GenotypeLookup::kHash) {
    run.files.mixture = dir / "mix.mix";
    test::WriteFile(run.files.mixture, text);
    ASSERT_TRUE(AllocateMixtureArrays(run));
    Getmix(run, lookup);
  }

  // Genotype g written back as its record fields ("101 020").
  std::string Genotype(int g) const {
    std::string text;
    for (int c = 1; c <= run.par.nchar; ++c) {
      if (c > 1) text += ' ';
      for (int k = 1; k <= run.chars(c).ntypes; ++k)
        text += static_cast<char>('0' + run.input.copies(k, c, g));
    }
    return text;
  }
  Lines Genotypes() const {
    Lines list;
    for (int g = 1; g <= run.input.ngenotypes; ++g) list.push_back(Genotype(g));
    return list;
  }
  // The first n entries of a per-genotype or per-class array.
  static std::vector<int> List(const Vec<std::int32_t>& v, int n) {
    return std::vector<int>(v.begin(), v.begin() + n);
  }
  std::vector<int> Counts() const { return List(run.input.geno_count, run.input.ngenotypes); }
  std::vector<int> ClassGenotypes() const {
    return List(run.input.class_genotypes, run.input.nclasses);
  }
  std::vector<int> ClassIndividuals() const {
    return List(run.input.class_individuals, run.input.nclasses);
  }

  // The log as written so far (closes it).
  Lines Log() {
    run.output.unit[0].Close();
    return test::ReadLines(dir / "run.log");
  }

  test::TempDir dir;
  test::RecordingPlatform platform;
  Process process;
  Run run{process, platform};
};

const std::vector<CharShape> kThreeLoci = {{"LocA", 3, 2}, {"LocB", 2, 2}, {"LocC", 4, 2}};

// ------------------------------------------------------------- key layout

TEST(KeyLayoutTest, BaseAndDigitsFollowTheLargestPloidy) {
  KeyLayout loci = MakeKeyLayout({2, 2, 2}, {3, 2, 4});
  EXPECT_EQ(loci.base, 3);
  EXPECT_EQ(loci.digits, 28);
  EXPECT_EQ(loci.total, 9);
  EXPECT_EQ(loci.words, 1);

  KeyLayout isolocus = MakeKeyLayout({2, 4, 1}, {3, 3, 3});
  EXPECT_EQ(isolocus.base, 5);
  EXPECT_EQ(isolocus.digits, 19);

  KeyLayout haploid = MakeKeyLayout({1, 1}, {5, 5});
  EXPECT_EQ(haploid.base, 2);
  EXPECT_EQ(haploid.digits, 46);

  // No ploidy at all still gives base 2.
  EXPECT_EQ(MakeKeyLayout({0}, {2}).base, 2);
}

TEST(KeyLayoutTest, WordsCoverEveryDigit) {
  // 200 digits / 28 = 7.14: nint 7, and 7 * 28 < 200 asks for one more.
  KeyLayout ten = MakeKeyLayout(std::vector<int>(10, 2), std::vector<int>(10, 20));
  EXPECT_EQ(ten.total, 200);
  EXPECT_EQ(ten.words, 8);
  // 56 digits fill two words exactly; 42 digits (1.5 words) round up to 2.
  EXPECT_EQ(MakeKeyLayout({2, 2}, {28, 28}).words, 2);
  EXPECT_EQ(MakeKeyLayout({2, 2}, {21, 21}).words, 2);
  EXPECT_EQ(MakeKeyLayout({2, 2}, {28, 29}).words, 3);
  EXPECT_EQ(MakeKeyLayout({}, {}).words, 1);
}

TEST(CnvrtTest, WordsHoldBaseDigitsLowestFirst) {
  MixtureRun m;
  m.Setup({{"A", 3, 2}, {"B", 3, 2}});
  Vec<int> types(2, 3);
  Mat<std::int8_t> work(3, 2);
  work(1, 1) = 1;
  work(3, 1) = 1;
  work(2, 2) = 2;
  // One word: digits 1 0 1 0 2 0 in base 3.
  std::vector<double> key(1);
  Cnvrt(m.run, MakeKeyLayout({2, 2}, {3, 3}), types, work, key.data());
  EXPECT_EQ(key[0], 1 + 9 + 2 * 81);
  // Two digits per word: 1 0 | 1 0 | 2 0.
  KeyLayout narrow{3, 2, 6, 3};
  key.assign(3, -1.0);
  Cnvrt(m.run, narrow, types, work, key.data());
  EXPECT_EQ(key, (std::vector<double>{1, 1, 2}));
  // Words before the last hold d digits; the last takes the rest.
  KeyLayout uneven{3, 4, 6, 2};
  key.assign(2, 0.0);
  Cnvrt(m.run, uneven, types, work, key.data());
  EXPECT_EQ(key, (std::vector<double>{1 + 9, 2}));
  EXPECT_EQ(m.run.error.stop, 0);
}

TEST(CnvrtTest, KeyBeyondDoublePrecisionIsFatal3029) {
  MixtureRun m;
  m.Setup({{"A", 20, 2}});
  Vec<int> types(1, 20);
  Mat<std::int8_t> work(20, 1);
  work(20, 1) = 1;  // 10^19 in base 10 is no longer an exact integer step
  KeyLayout wide{10, 20, 20, 1};
  std::vector<double> key(1);
  Cnvrt(m.run, wide, types, work, key.data());
  EXPECT_EQ(m.run.error.stop, 1);
  EXPECT_EQ(m.run.error.last_code, 3029);
}

// ------------------------------------------------------------------ files

TEST(GetmixTest, CondensesRecordsWithoutLocusDefinition) {
  MixtureRun m;
  m.Setup(kThreeLoci);
  m.Read(
      "Chinook mixture, spring 2024\n"
      "* sample of the test fishery\n"
      "101 11 0200\n"
      "/ a comment line\n"
      "\n"
      "020 02 1100\n"
      "101 11 0200\n"
      "  101 11 0200   \n"
      "1 2 0011\n");
  EXPECT_EQ(m.run.error.stop, 0);
  EXPECT_EQ(m.run.input.sample_size, 5);
  EXPECT_EQ(m.run.par.sample_size, 5);
  EXPECT_EQ(m.run.input.nclasses, 1);
  EXPECT_EQ(m.Genotypes(), (Lines{"101 11 0200", "020 02 1100", "100 20 0011"}));
  EXPECT_EQ(m.Counts(), (std::vector<int>{3, 1, 1}));
  EXPECT_EQ(m.ClassGenotypes(), (std::vector<int>{3}));
  EXPECT_EQ(m.ClassIndividuals(), (std::vector<int>{5}));
}

TEST(GetmixTest, LocusDefinitionPlacesNamedFieldsAndSkipsOthers) {
  MixtureRun m;
  m.Setup(kThreeLoci);
  m.Read(
      "Mixture with sample names\n"
      "* Characters\n"
      "1 Fish ID\n"
      "\\ the loci in the order of this file\n"
      "2 LocC\n"
      "3 Weight\n"
      "4 LocA\n"
      "5 LocB\n"
      "* end\n"
      "F-001 0200 12.5 101 11\n"
      "F-002 1100 9.75 020 02 extra fields are never read\n"
      "F-003 0200 11.0 101 11\n");
  EXPECT_EQ(m.run.error.stop, 0);
  EXPECT_EQ(m.Genotypes(), (Lines{"101 11 0200", "020 02 1100"}));
  EXPECT_EQ(m.Counts(), (std::vector<int>{2, 1}));
}

TEST(GetmixTest, LocusDefinitionErrors) {
  {  // the file ends before "* end"
    MixtureRun m;
    m.Setup(kThreeLoci);
    m.Read("* characters\nLocA\nLocB\n");
    EXPECT_EQ(m.run.error.last_code, 3017);
    EXPECT_EQ(m.run.error.stop, 1);
  }
  {  // a character the definition never names: 3025 on the "* end" line
    MixtureRun m;
    m.Setup(kThreeLoci);
    m.Read("* characters\nLocA\nLocX\nLocC\n* end\n101 11 0200\n");
    EXPECT_EQ(m.run.error.last_code, 3025);
    EXPECT_EQ(m.run.error.n1, 5);  // the "* end" line
    EXPECT_EQ(m.run.error.n2, 2);
  }
  {  // nothing but leading lines
    MixtureRun m;
    m.Setup(kThreeLoci);
    m.Read("");
    EXPECT_EQ(m.run.error.last_code, 3017);
    EXPECT_EQ(m.run.error.stop, 1);
  }
}

TEST(GetmixTest, MissingFileIsFatal3006) {
  MixtureRun m;
  m.Setup(kThreeLoci);
  ASSERT_TRUE(AllocateMixtureArrays(m.run));
  m.run.files.mixture = m.dir / "absent.mix";
  Getmix(m.run);
  EXPECT_EQ(m.run.error.last_code, 3006);
  EXPECT_EQ(m.run.errstk.depth, 0);
  EXPECT_EQ(m.run.error.a2, m.dir / "absent.mix");
}

TEST(GetmixTest, ClassesAreStoredInOrderOfFirstOccurrence) {
  MixtureRun m;
  m.Setup(kThreeLoci, 100, 3, 1);
  m.Read(
      "101 11 0200\n"  // class 1 (complete)
      "000 02 1100\n"  // class 2 (LocA missing)
      "020 11 0000\n"  // class 3 (LocC missing)
      "000 11 0011\n"  // class 2
      "020 02 1100\n"  // class 1
      "000 02 1100\n"  // class 2, known
      "020 11 0000\n"  // class 3, known
      "101 11 0200\n");
  EXPECT_EQ(m.run.error.stop, 0);
  EXPECT_EQ(m.run.input.nclasses, 3);
  EXPECT_EQ(m.run.par.nclasses, 3);
  EXPECT_EQ(m.Genotypes(),
            (Lines{"101 11 0200", "020 02 1100", "000 02 1100", "000 11 0011", "020 11 0000"}));
  EXPECT_EQ(m.Counts(), (std::vector<int>{2, 1, 2, 1, 2}));
  EXPECT_EQ(m.ClassGenotypes(), (std::vector<int>{2, 2, 1}));
  EXPECT_EQ(m.ClassIndividuals(), (std::vector<int>{3, 3, 2}));
  EXPECT_EQ(m.run.input.ngenotypes, 5);
}

TEST(GetmixTest, TooManyMissingCharactersAreSkippedWith1015) {
  MixtureRun m;
  m.Setup(kThreeLoci);
  m.Read("101 11 0200\n000 11 0200\n000 00 0200\n101 11 0200\n");
  EXPECT_EQ(m.run.error.stop, 0);
  EXPECT_EQ(m.run.error.warnings, 2);
  EXPECT_EQ(m.run.input.sample_size, 2);
  EXPECT_EQ(m.Genotypes(), (Lines{"101 11 0200"}));
  EXPECT_EQ(m.run.error.n1, 2);  // the last one: two loci missing on record 3
  EXPECT_EQ(m.run.error.n2, 3);
}

TEST(GetmixTest, CapacitiesAreFatal3023) {
  {
    MixtureRun m;
    m.Setup(kThreeLoci, 100, 1, 1);
    m.Read("101 11 0200\n000 11 0200\n");
    EXPECT_EQ(m.run.error.last_code, 3023);
    EXPECT_EQ(m.run.error.a1, "classes");
    EXPECT_EQ(m.run.error.n1, 1);
  }
  {
    MixtureRun m;
    m.Setup(kThreeLoci, 2);
    m.Read("101 11 0200\n020 02 1100\n101 11 0200\n100 20 0011\n");
    EXPECT_EQ(m.run.error.last_code, 3023);
    EXPECT_EQ(m.run.error.stop, 1);
    EXPECT_EQ(m.run.error.a1, "geneotypes");
    EXPECT_EQ(m.run.error.n1, 2);
  }
}

TEST(GetmixTest, BadRecordsAreAllReportedThen3010) {
  MixtureRun m;
  m.Setup({{"LocA", 3, 2}, {"Iso", 3, 4}, {"Mt", 2, 1}});
  m.Read(
      "1010 004 10\n"   // extra digit 0 accepted; sum 4 at a locus accepted
      "1011 022 01\n"   // extra nonzero digit: 2003
      "110 012 10\n"    // sum 3 at the isolocus: 2004
      "11020 022 01\n"  // two more digits, one nonzero: one 2003
      "300 022 01\n"    // sum 3 at a locus: 2004
      "110 022 01\n");
  EXPECT_EQ(m.run.error.last_code, 3010);
  EXPECT_EQ(m.run.error.stop, 1);
  EXPECT_EQ(m.run.error.errors, 4);
  EXPECT_EQ(m.run.input.sample_size, 2);
  EXPECT_EQ(m.Genotypes(), (Lines{"101 004 10", "110 022 01"}));
}

TEST(GetmixTest, RecordsThatEndEarly) {
  {  // one all-zero field: ignored with 1010
    MixtureRun m;
    m.Setup(kThreeLoci);
    m.Read("101 11 0200\n000\n101 11 0200\n");
    EXPECT_EQ(m.run.error.stop, 0);
    EXPECT_EQ(m.run.input.sample_size, 2);
    EXPECT_EQ(m.run.error.warnings, 1);
    EXPECT_EQ(m.run.error.n1, 2);
  }
  {  // fewer fields than characters
    MixtureRun m;
    m.Setup(kThreeLoci);
    m.Read("101 11 0200\n101 11\n");
    EXPECT_EQ(m.run.error.last_code, 3025);
    EXPECT_EQ(m.run.error.n2, 2);
    EXPECT_EQ(m.run.error.n3, 3);
  }
  {  // a field that is not digits cannot be read
    MixtureRun m;
    m.Setup(kThreeLoci);
    m.Read("101 11 0200\n1x1 11 0200\n");
    EXPECT_EQ(m.run.error.last_code, 3025);
    EXPECT_EQ(m.run.error.stop, 1);
  }
}

TEST(GetmixTest, LineEndsAndLongLines) {
  {  // Windows line ends and tabs between the fields
    MixtureRun m;
    m.Setup(kThreeLoci);
    m.Read("header\r\n101 11 0200\r\n020\t02\t1100\r\n101 11 0200");
    EXPECT_EQ(m.run.error.stop, 0);
    EXPECT_EQ(m.Genotypes(), (Lines{"101 11 0200", "020 02 1100"}));
    EXPECT_EQ(m.Counts(), (std::vector<int>{2, 1}));
  }
  {  // blanks past column 1024 do not matter
    MixtureRun m;
    m.Setup(kThreeLoci);
    m.Read("101 11 0200" + std::string(2000, ' ') + "\n");
    EXPECT_EQ(m.run.error.stop, 0);
    EXPECT_EQ(m.run.input.sample_size, 1);
  }
  {  // a record cut at column 1024 would lose fields: 3011
    MixtureRun m;
    m.Setup(kThreeLoci);
    m.Read("101 11 0200\n" + std::string(1020, ' ') + "101 11 0200\n");
    EXPECT_EQ(m.run.error.last_code, 3011);
    EXPECT_EQ(m.run.error.n1, 2);
  }
}

TEST(GetmixTest, CollidingKeysStayDistinctGenotypes) {
  // At a locus (base 3) four copies of type 1 and one copy each of types 1 and 2
  // give the same key word, 4 = 1 + 1 * 3; the copies tell them apart.
  for (GenotypeLookup lookup : {GenotypeLookup::kHash, GenotypeLookup::kLinear}) {
    MixtureRun m;
    m.Setup({{"LocA", 2, 2}});
    m.Read("40\n11\n11\n40\n", lookup);
    EXPECT_EQ(m.run.error.stop, 0);
    EXPECT_EQ(m.Genotypes(), (Lines{"40", "11"}));
    EXPECT_EQ(m.Counts(), (std::vector<int>{2, 2}));
  }
}

// ------------------------------------------------------------ log lines

TEST(GetmixLogTest, WarningsErrorsAndTheClosingFatal) {
  MixtureRun m;
  m.Setup({{"LocA", 3, 2}, {"Iso", 3, 4}});
  m.Read("101 004\n000 004\n1011 022\n110 012\n000\n");
  Lines log = m.Log();
  Lines expected = {"",
                    " *** Warning: Reading mixture file.",
                    "     Missing  1 loci on record    2. Record skipped.",
                    "",
                    " *** Error: Reading mixture file.",
                    "     On record    3, character LocA possesses more than ",
                    "      3 types as specified in the control file.",
                    "",
                    " *** Error: Reading mixture file.",
                    "     The number of types for character Iso is 3 on record   4",
                    "",
                    " *** Warning: Reading mixture file.",
                    "     Ignoring mixture record    5",
                    "",
                    " *** Fatal Error: Reading mixture file.",
                    "     Too many errors to continue. Correct the mixture",
                    "     file before continuing analysis.",
                    " "};
  EXPECT_EQ(log, expected);
}

TEST(GetmixLogTest, FatalMessagesOfTheReader) {
  auto tail = [](const std::vector<CharShape>& chars, int genotypes, const std::string& text) {
    MixtureRun m;
    m.Setup(chars, genotypes);
    m.Read(text);
    Lines log = m.Log();
    return Lines(log.begin() + std::min<std::ptrdiff_t>(1, std::ssize(log)), log.end());
  };
  EXPECT_EQ(tail(kThreeLoci, 2, "101 11 0200\n020 02 1100\n100 20 0011\n"),
            (Lines{" *** Fatal Error: Reading mixture file.",
                   "     Exceeded the maximum number of geneotypes =    2.", " "}));
  EXPECT_EQ(tail(kThreeLoci, 100, "* characters\nLocA\nLocB\n* end\n"),
            (Lines{" *** Fatal Error: Reading mixture file.",
                   "     Read  2 characters, but expected  3 on record    4.", " "}));
  EXPECT_EQ(tail(kThreeLoci, 100, "no data\n"),
            (Lines{" *** Fatal Error: Reading mixture file.",
                   "     An error occured while reading the locus definition.",
                   "     Be sure the locus definition starts with \"* characters\" ",
                   "     and ends with \"* end\" within the mixture file.", " "}));
  EXPECT_EQ(tail(kThreeLoci, 100, "101 11 0200\n" + std::string(1030, '1') + "\n"),
            (Lines{" *** Fatal Error: Reading mixture file.",
                   "     Bad mixture record.  Record number     2", " "}));
}

// --------------------------------------------------------- hash index

TEST(CountTest, HashIndexFindsWhatTheLinearScanFinds) {
  MixtureRun m;
  std::mt19937 random(20240314);
  const int words = 3;
  KeyTable hashed(words, GenotypeLookup::kHash);
  KeyTable linear(words, GenotypeLookup::kLinear);
  Vec<std::int32_t> hashed_counts(6000), linear_counts(6000);
  int hashed_n = 0, linear_n = 0;
  auto any = [](int) { return true; };
  std::uniform_int_distribution<int> digit(0, 40);
  for (int i = 0; i < 20000; ++i) {
    // Few values per word, so that keys repeat often.
    double key[words] = {static_cast<double>(digit(random)), static_cast<double>(digit(random) % 3),
                         static_cast<double>(digit(random) * 1.0e12)};
    bool hashed_new = false, linear_new = false;
    Count(m.run, hashed_n, 6000, key, hashed, hashed_counts, any, hashed_new);
    Count(m.run, linear_n, 6000, key, linear, linear_counts, any, linear_new);
    ASSERT_EQ(hashed_new, linear_new) << i;
    ASSERT_EQ(hashed_n, linear_n) << i;
  }
  EXPECT_GT(hashed_n, 2000);
  for (int g = 1; g <= hashed_n; ++g) {
    ASSERT_EQ(hashed_counts(g), linear_counts(g));
    for (int w = 0; w < words; ++w) ASSERT_EQ(hashed.Key(g)[w], linear.Key(g)[w]);
  }
  EXPECT_EQ(m.run.error.stop, 0);
}

TEST(CountTest, HashAndLinearReadTheSameMixture) {
  std::mt19937 random(7);
  std::string text;
  for (int i = 0; i < 6000; ++i) {
    for (int c = 0; c < 6; ++c) {
      int first = static_cast<int>(random() % 4), second = static_cast<int>(random() % 4);
      std::string field = "0000";
      bool missing = random() % 40 == 0;
      if (!missing) {
        field[static_cast<std::size_t>(first)] = '1';
        field[static_cast<std::size_t>(second)] =
            static_cast<char>(field[static_cast<std::size_t>(second)] + 1);
      }
      text += field;
      text += c < 5 ? ' ' : '\n';
    }
  }
  std::vector<CharShape> chars;
  for (char c = '1'; c <= '6'; ++c) chars.push_back({std::string{'L', c}, 4, 2});
  MixtureRun hashed, linear;
  hashed.Setup(chars, 6000, 64, 6);
  linear.Setup(chars, 6000, 64, 6);
  hashed.Read(text, GenotypeLookup::kHash);
  linear.Read(text, GenotypeLookup::kLinear);
  ASSERT_EQ(hashed.run.error.stop, 0);
  EXPECT_GT(hashed.run.input.ngenotypes, 3000);
  EXPECT_GT(hashed.run.input.nclasses, 3);
  EXPECT_EQ(hashed.Genotypes(), linear.Genotypes());
  EXPECT_EQ(hashed.Counts(), linear.Counts());
  EXPECT_EQ(hashed.ClassGenotypes(), linear.ClassGenotypes());
  EXPECT_EQ(hashed.ClassIndividuals(), linear.ClassIndividuals());
  EXPECT_EQ(hashed.run.input.sample_size, 6000);
}

TEST(CountTest, ChinookMixtureCondensesToItsPublishedCounts) {
  const std::string path = std::string(VELK_SHARED_DATA) + "/chinook/chinook_mix.mix";
  if (!std::ifstream(path)) GTEST_SKIP() << "shared data not found";
  std::vector<CharShape> loci(91, {"", 2, 2});
  for (GenotypeLookup lookup : {GenotypeLookup::kHash, GenotypeLookup::kLinear}) {
    MixtureRun m;
    m.Setup(loci, 2500, 2000, 90);
    m.run.files.mixture = path;
    Getmix(m.run, lookup);
    ASSERT_EQ(m.run.error.stop, 0);
    EXPECT_EQ(m.run.input.sample_size, 2256);
    EXPECT_EQ(m.run.input.ngenotypes, 2253);
    EXPECT_EQ(m.run.input.nclasses, 545);
  }
}

// ------------------------------------------------------------- allocation

TEST(AllocateMixtureTest, AbsurdCapacitiesAreOutOfMemory) {
  {
    MixtureRun m;
    m.Setup(kThreeLoci, 1000000000);
    EXPECT_FALSE(AllocateMixtureArrays(m.run));
    EXPECT_EQ(m.run.error.last_code, 3000);
    EXPECT_EQ(m.run.error.stop, 1);
    EXPECT_EQ(m.run.input.copies.Size3(), 0);
  }
  {  // sizes whose product overflows
    MixtureRun m;
    m.Setup(kThreeLoci, INT_MAX, INT_MAX);
    m.run.par.max_types = INT_MAX;
    m.run.par.nchar = INT_MAX;
    EXPECT_FALSE(AllocateMixtureArrays(m.run));
    EXPECT_EQ(m.run.error.last_code, 3000);
  }
  {  // Getmix with a billion genotypes stops the same way, in its own context
    MixtureRun m;
    m.Setup(kThreeLoci, 1000000000);
    m.run.files.mixture = m.dir / "mix.mix";
    test::WriteFile(m.run.files.mixture, "101 11 0200\n");
    Getmix(m.run);
    EXPECT_EQ(m.run.error.last_code, 3000);
    EXPECT_EQ(m.run.errstk.depth, 0);
  }
}

}  // namespace
}  // namespace velk
