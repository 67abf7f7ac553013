// The mixture reader: records, locus definitions, classes, capacities, bad records.
#include "data/getmix.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_fixture.hpp"
#include "support/shared_data.hpp"

namespace velk {
namespace {

struct CharShape {
  std::string name;
  int ntypes;
  int ploidy;
};

class MixtureRun : public test::LoggedRun {
 public:
  // The characters of the analysis and the capacities the control file set.
  void Setup(const std::vector<CharShape>& chars, int max_genotypes = 100, int max_classes = 1,
             int max_missing = 0) {
    run.par.nchar = static_cast<int>(chars.size());
    run.chars.Resize(run.par.nchar);
    run.par.max_types = 0;
    for (int c = 1; c <= run.par.nchar; ++c) {
      const CharShape& x = chars[static_cast<std::size_t>(c - 1)];
      run.chars(c) = {x.name, c, x.ntypes, x.ploidy};
      run.par.max_types = std::max(run.par.max_types, x.ntypes);
    }
    run.par.max_genotypes = max_genotypes;
    run.par.max_classes = max_classes;
    run.par.max_missing = max_missing;
    run.par.genotypes_given = run.par.classes_given = run.par.missing_given = true;
  }

  // Writes the mixture file and reads it as the run sequence does.
  void Read(const std::string& text, GenotypeLookup lookup = GenotypeLookup::kHash) {
    run.files.mixture = dir / "mix.mix";
    test::WriteFile(run.files.mixture, text);
    ASSERT_TRUE(AllocateMixtureArrays(run));
    Getmix(run, lookup);
  }

  // The condensed mixture: the genotypes as record fields with their counts, each
  // class's genotypes and individuals, and the sample size ("101 11 x3 | 1/3 | 3").
  std::string Mixture() const {
    std::ostringstream t;
    for (int g = 1; g <= run.input.ngenotypes; ++g) {
      for (int c = 1; c <= run.par.nchar; ++c) {
        t << (g > 1 && c == 1 ? ", " : c > 1 ? " " : "");
        for (int k = 1; k <= run.chars(c).ntypes; ++k) t << int{run.input.copies(k, c, g)};
      }
      t << " x" << run.input.geno_count(g);
    }
    t << " |";
    for (int k = 1; k <= run.input.nclasses; ++k)
      t << (k > 1 ? ", " : " ") << run.input.class_genotypes(k) << '/'
        << run.input.class_individuals(k);
    t << " | " << run.input.sample_size;
    return t.str();
  }
};

const std::vector<CharShape> kThreeLoci = {{"LocA", 3, 2}, {"LocB", 2, 2}, {"LocC", 4, 2}};

// Characters whose fields need more than the fixed record length get the room.
TEST(KeyLayoutTest, RecordLengthFollowsTheCharacters) {
  EXPECT_EQ(MixtureLineLength(Vec<int>(40000, 2)), 120000u);
  EXPECT_EQ(MixtureLineLength(Vec<int>(400, 2)), kMixtureLineLength);
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

// Mixtures that read, with both genotype lookups: the distinct genotypes in
// order of first occurrence with their counts, the classes, the warnings on the
// way, and the "ID" field (any case, any position) of each accepted record.
TEST(GetmixTest, RecordsCondenseIntoGenotypesAndClasses) {
  struct Case {
    const char* what;
    std::string text;
    int classes, missing;
    const char* mixture;
    int warnings;
    const char* ids = nullptr;  // id:genotype@line per accepted record; nullptr: not checked
    bool unset = false;         // capacities left unset (two genotypes, one class to start)
  };
  // clang-format off
  const Case cases[] = {
      {"leading lines, comments, blank lines, short fields",
       "Chinook mixture, spring 2024\n* sample of the test fishery\n101 11 0200\n"
       "/ a comment line\n\n020 02 1100\n101 11 0200\n  101 11 0200   \n1 2 0011\n", 1, 0,
       "101 11 0200 x3, 020 02 1100 x1, 100 20 0011 x1 | 3/5 | 5", 0},
      {"a locus definition places named fields and skips others",
       "Mixture with sample names\n* Characters\n1 Fish ID\n\\ the loci in the order of this "
       "file\n2 LocC\n3 Weight\n4 LocA\n5 LocB\n* end\nF-001 0200 12.5 101 11\n"
       "F-002 1100 9.75 020 02 extra fields are never read\nF-003 0200 11.0 101 11\n", 1, 0,
       "101 11 0200 x2, 020 02 1100 x1 | 2/3 | 3", 1},  // one warning for the extra fields
      {"Windows line ends and tabs between the fields",
       "header\r\n101 11 0200\r\n020\t02\t1100\r\n101 11 0200", 1, 0,
       "101 11 0200 x2, 020 02 1100 x1 | 2/3 | 3", 0},
      {"blanks past the longest line",
       std::string("101 11 0200").append(kMixtureLineLength, ' ') + "\n", 1, 0,
       "101 11 0200 x1 | 1/1 | 1", 0},
      {"fields beyond column 1024", std::string("101").append(1100, ' ') + "11 0200\n", 1, 0,
       "101 11 0200 x1 | 1/1 | 1", 0},
      // Classes 1 (complete), 2 (LocA missing), 3 (LocC missing), 2, 1, 2, 3, 1.
      {"classes in order of first occurrence",
       "101 11 0200\n000 02 1100\n020 11 0000\n000 11 0011\n020 02 1100\n000 02 1100\n"
       "020 11 0000\n101 11 0200\n", 3, 1,
       "101 11 0200 x2, 020 02 1100 x1, 000 02 1100 x2, 000 11 0011 x1, 020 11 0000 x2 | "
       "2/3, 2/3, 1/2 | 8", 0},
      // At LocB (base 3) four copies of type 1 and one of each type give the same
      // key word, 4 = 1 + 1 * 3; the copies tell them apart.
      {"colliding keys", "101 40 0200\n101 11 0200\n101 11 0200\n101 40 0200\n", 1, 0,
       "101 40 0200 x2, 101 11 0200 x2 | 2/4 | 4", 0},
      {"an ID field between the loci; a skipped record keeps no entry",
       "* characters\nLocA\nid\nLocB\nLocC\n* end\n101 F/1:a 11 0200\n"
       "000 F2 00 0200\n000 #3 02 1100\n101 F4 11 0200\n", 2, 1,
       "101 11 0200 x2, 000 02 1100 x1 | 1/2, 1/1 | 3", 2, "F/1:a:1@7 #3:2@9 F4:1@10"},
      {"an ID field last, after a skipped field; genotypes renumbered class by class",
       "* characters\nLocA\nLocB\nLocC\nNote\nID\n* end\n101 11 0200 x A-1\n"
       "000 02 1100 y B-2\n020 02 1100 z C-3\n101 11 0200 w D-4\n", 2, 1,
       "101 11 0200 x2, 020 02 1100 x1, 000 02 1100 x1 | 2/3, 1/1 | 4", 0,
       "A-1:1@8 B-2:3@9 C-3:2@10 D-4:1@11"},
      {"capacities left unset grow with the file",
       "101 11 0200\n000 02 1100\n020 02 1100\n100 20 0011\n101 11 0200\n", 1, 1,
       "101 11 0200 x2, 020 02 1100 x1, 100 20 0011 x1, 000 02 1100 x1 | 3/4, 1/1 | 5", 0, nullptr,
       true},
      {"no locus definition: no IDs", "101 11 0200\n000 02 1100\n", 2, 1,
       "101 11 0200 x1, 000 02 1100 x1 | 1/1, 1/1 | 2", 0, ":1@1 :2@2"},
  };
  // clang-format on
  for (const Case& c : cases) {
    for (GenotypeLookup lookup : {GenotypeLookup::kHash, GenotypeLookup::kLinear}) {
      SCOPED_TRACE(c.what);
      MixtureRun m;
      m.Setup(kThreeLoci, c.unset ? 2 : 100, c.classes, c.missing);
      m.run.par.genotypes_given = m.run.par.classes_given = !c.unset;
      m.Read(c.text, lookup);
      EXPECT_EQ(m.run.error.stop, 0);
      EXPECT_EQ(m.run.error.warnings, c.warnings);
      EXPECT_EQ(m.Mixture(), c.mixture);
      EXPECT_EQ(m.run.par.sample_size, m.run.input.sample_size);
      const Input& in = m.run.input;
      std::string ids;
      for (int r = 1; c.ids && r <= in.sample_size; ++r) {
        ids += (r > 1 ? " " : "") + in.record_id[static_cast<std::size_t>(r - 1)] + ":" +
               std::to_string(in.record_genotype(r)) + "@" + std::to_string(in.record_line(r));
      }
      EXPECT_EQ(ids, c.ids ? c.ids : "");
    }
  }
}

// Files the reader must refuse: the message, and the record and counts it
// names. (Bad fields and records are in the command's bad-input table.)
TEST(GetmixTest, FatalRecordsAndCapacities) {
  struct Case {
    const char* what;
    std::string text;
    int genotypes, classes, missing;
    int code;
    const char* shown;  // in the message's text
  };
  // clang-format off
  const Case cases[] = {
      {"the file ends before * end", "* characters\nLocA\nLocB\n", 100, 1, 0, 3017,
       "locus definition"},
      {"a definition of too few characters", "* characters\nLocA\nLocB\n* end\n", 100, 1, 0,
       3025, "Read  2 characters, but expected  3 on record    4."},
      // 3025 on the "* end" line: the definition never names LocB.
      {"an unknown name", "* characters\nLocA\nLocX\nLocC\n* end\n101 11 0200\n", 100, 1, 0,
       3025, "Read  2 characters, but expected  3 on record    5."},
      {"fewer fields than characters", "101 11 0200\n101 11\n", 100, 1, 0, 3025,
       "Read  2 characters, but expected  3 on record    2."},
      {"a record ending in a field no character reads",
       "* characters\nLocA\nNote\nLocB\nLocC\n* end\n101 x\n", 100, 1, 0, 3025,
       "Read  1 characters, but expected  3 on record    7."},
      {"too many classes", "101 11 0200\n000 11 0200\n", 100, 1, 1, 3023,
       "maximum number of classes =    1."},
      {"too many genotypes", "101 11 0200\n020 02 1100\n101 11 0200\n100 20 0011\n", 2, 1, 0,
       3023, "maximum number of geneotypes =    2."},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MixtureRun m;
    m.Setup(kThreeLoci, c.genotypes, c.classes, c.missing);
    m.Read(c.text);
    EXPECT_EQ(m.run.error.stop, 1);
    EXPECT_EQ(m.run.error.last_code, c.code);
    ASSERT_FALSE(m.run.messages.empty());
    EXPECT_NE(m.run.messages.back().text.find(c.shown), std::string::npos)
        << m.run.messages.back().text;
  }
}

// Every bad record is reported, then 3010; an extra digit 0, and four copies at
// an isolocus, are accepted; two extra digits, one of them nonzero, are one error.
TEST(GetmixLogTest, WarningsErrorsAndTheClosingFatal) {
  MixtureRun m;
  m.Setup({{"LocA", 3, 2}, {"Iso", 3, 4}, {"Mt", 2, 1}});
  m.Read(
      "1010 004 10\n000 004 10\n1011 022 01\n110 012 10\n11020 022 01\n300 022 01\n000\n"
      "110 022 01\n");
  EXPECT_EQ(m.run.error.last_code, 3010);
  EXPECT_EQ(m.run.error.errors, 4);
  EXPECT_EQ(m.Mixture(), "101 004 10 x1, 110 022 01 x1 | 2/2 | 2");
  std::vector<int> numbers;
  for (const RunMessage& message : m.run.messages) numbers.push_back(message.number);
  EXPECT_EQ(numbers, (std::vector<int>{1015, 2003, 2004, 2003, 2004, 1010, 1017, 3010}));
}

// The published counts, and the hash index and the linear search agree genotype
// by genotype on thousands of genotypes in hundreds of classes.
TEST(CountTest, ChinookMixtureCondensesToItsPublishedCounts) {
  const std::string path = (test::ChinookData() / "chinook_mix.mix").string();
  VELK_REQUIRE_SHARED_DATA(path);
  std::string mixture[2];
  for (GenotypeLookup lookup : {GenotypeLookup::kHash, GenotypeLookup::kLinear}) {
    MixtureRun m;
    m.Setup(std::vector<CharShape>(91, {"", 2, 2}), 2500, 2000, 90);
    m.run.files.mixture = path;
    Getmix(m.run, lookup);
    ASSERT_EQ(m.run.error.stop, 0);
    EXPECT_EQ(m.run.input.sample_size, 2256);
    EXPECT_EQ(m.run.input.ngenotypes, 2253);
    EXPECT_EQ(m.run.input.nclasses, 545);
    mixture[lookup == GenotypeLookup::kLinear] = m.Mixture();
  }
  EXPECT_EQ(mixture[0], mixture[1]);
}

}  // namespace
}  // namespace velk
