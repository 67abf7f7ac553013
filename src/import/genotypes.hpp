#pragma once
// Individual genotypes as the field records them (GENEPOP files, two-column
// tables): what the import's readers hand to it, before any allele is numbered.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace velk {

// A numbered message of the import: notes below 1000, warnings 1000-1999,
// errors 2000-2999 (an error stops the import before anything is written).
struct ImportMessage {
  int number = 0;
  std::string text;
};

// One individual: reference fish carry their population (and region, when the
// file gives one); mixture fish carry their mixture collection in `population`.
struct Individual {
  std::string id;
  std::string population;
  std::string region;
  bool mixture = false;
  std::string file;  // the file it was read from, for messages
  int line = 0;      // its line (row) in that file
  // Per locus, in the set's locus order: the allele codes scored (0, 1 or 2;
  // a missing copy is left out).
  std::vector<std::vector<std::string>> alleles;
};

struct GenotypeSet {
  std::vector<std::string> loci;  // names as the file gives them
  std::vector<int> ploidy;        // per locus: copies per individual (1 or 2)
  std::vector<Individual> individuals;
};

// Which rows a file may hold.
enum class SampleRole { kBoth, kReference, kMixture };

// Options of the two-column table reader.
struct TableOptions {
  std::string type_column = "sample_type";  // "reference" or "mixture" per row
  std::string missing_code;                 // another code for a missing allele
};

// Reads a two-column table (CSV, or TSV when the header has tabs and no commas).
// Problems are added to `messages`; returns false when the file cannot be used.
[[nodiscard]] bool ReadGenotypeTable(std::string_view text, const std::string& file,
                                     SampleRole role, const TableOptions& options, GenotypeSet& set,
                                     std::vector<ImportMessage>& messages);

// Reads a CSV (or TSV) of population,region pairs; a first row naming the
// columns ("population"/"collection"/"pop") is a header.
[[nodiscard]] bool ReadRegionTable(std::string_view text, const std::string& file,
                                   std::vector<std::pair<std::string, std::string>>& pairs,
                                   std::vector<ImportMessage>& messages);

// Reads a GENEPOP file; every individual becomes a mixture individual when
// `mixture` is set. Returns false when the file cannot be used.
[[nodiscard]] bool ReadGenepop(std::string_view text, const std::string& file, bool mixture,
                               GenotypeSet& set, std::vector<ImportMessage>& messages);

// True when the text looks like a GENEPOP file rather than a table: its first
// "Pop" line comes before any line with as many separators as a table header.
[[nodiscard]] bool LooksLikeGenepop(std::string_view text);

// Splits text into lines without their line ends ("\n", "\r\n").
std::vector<std::string_view> SplitLines(std::string_view text);

}  // namespace velk
