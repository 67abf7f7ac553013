#pragma once
// Individual genotypes as the field records them (GENEPOP files, two-column
// tables): what the import's readers hand to it, before any allele is numbered.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace velk {

// A numbered message of the import: notes below 1000, warnings 1000-1999,
// errors 2000-2999 (an error stops the import before anything is written).
struct ImportMessage {
  int number = 0;
  std::string text;
  int more = 0;  // messages of this number left out after it (the list keeps the first few)
};

// Adds a message; of one number only the first kListedMessages are kept, the
// others counted in the last one kept (a million bad columns give ten messages).
inline constexpr int kListedMessages = 10;
void AddImportMessage(std::vector<ImportMessage>& messages, int number, std::string text);

// A name or field of the input as a message quotes it: its first 60 bytes (cut
// before a UTF-8 character that would not fit whole) and "..." when longer.
std::string Cited(std::string_view text);

// The genotypes of one locus as a file writes them, each kept once: the allele
// codes scored (0, 1 or 2; a missing copy is left out).
using LocusGenotypes = std::vector<std::vector<std::string>>;

// Every locus's genotypes, shared by the individuals of one file.
using GenotypeTables = std::vector<LocusGenotypes>;

// An individual's genotypes: per locus an index into the locus's genotypes, so
// that a panel takes two bytes per locus and individual. row[l] is the allele
// codes scored at locus l.
class GenotypeRow {
 public:
  GenotypeRow() = default;
  GenotypeRow(std::shared_ptr<const GenotypeTables> tables, std::vector<std::uint16_t> index)
      : tables_(std::move(tables)), index_(std::move(index)) {}
  const std::vector<std::string>& operator[](std::size_t l) const {
    return (*tables_)[l][index_[l]];
  }
  std::size_t size() const { return index_.size(); }
  std::uint16_t Index(std::size_t l) const { return index_[l]; }
  const GenotypeTables& Tables() const { return *tables_; }
  // Keeps the loci `from` in that order (locus l becomes locus from[l]);
  // `tables` is the set's tables ordered so too.
  void Reorder(const std::vector<std::size_t>& from, std::shared_ptr<const GenotypeTables> tables);

 private:
  std::shared_ptr<const GenotypeTables> tables_;
  std::vector<std::uint16_t> index_;
};

// At most this many genotypes of one locus are kept (far more than the
// alleles a locus may have).
inline constexpr std::size_t kMostGenotypes = 65535;

// One individual: reference fish carry their population (and region, when the
// file gives one); mixture fish carry their mixture collection in `population`.
struct Individual {
  std::string id;
  std::string population;
  std::string region;
  std::string known;  // a mixture fish of known origin: its population (table "known_collection")
  bool mixture = false;
  std::string file;  // the file it was read from, for messages
  int line = 0;      // its line (row) in that file
  int block = 0;     // GENEPOP: its "Pop" block (1, 2, ...); 0 in a table
  // Per locus, in the set's locus order: the allele codes scored.
  GenotypeRow alleles;
};

struct GenotypeSet {
  std::vector<std::string> loci;  // names as the file gives them
  std::vector<int> ploidy;        // per locus: copies per individual (1 or 2)
  std::vector<Individual> individuals;
  int allele_digits = 0;  // GENEPOP: digits per allele copy (2 or 3); 0 for a table
  std::shared_ptr<GenotypeTables> tables = std::make_shared<GenotypeTables>();
};

// Keeps the loci `from` of the set, in that order (locus l becomes locus
// from[l]): names, ploidy, tables and every individual's genotypes.
void KeepLoci(GenotypeSet& set, const std::vector<std::size_t>& from);

// Numbers the genotypes of one locus as they are read: finds (or adds) a
// genotype among the locus's genotypes.
class GenotypeNumbering {
 public:
  // False when the locus already has kMostGenotypes others.
  [[nodiscard]] bool Index(LocusGenotypes& genotypes, std::vector<std::string>& codes,
                           std::uint16_t& index);

 private:
  std::unordered_map<std::string, std::uint16_t> known_;  // once the locus has many
};

// Which rows a file may hold.
enum class SampleRole { kBoth, kReference, kMixture };

// Options of the two-column table reader.
struct TableOptions {
  std::string type_column = "sample_type";  // "reference" or "mixture" per row
  // Further codes for a missing allele, comma-separated; NA, na, N/A, -, ?,
  // -9, an empty field and a code of zeros (0, 00, 000) always are missing.
  std::string missing_code;
};

// Reads a two-column table (CSV, or TSV when the header has tabs and no commas)
// a row at a time; the locus columns are paired as PairLoci says. Problems are added to `messages` (each naming the file line), with one note
// counting the missing codes read; returns false when the file cannot be used.
[[nodiscard]] bool ReadGenotypeTable(std::string_view text, const std::string& file,
                                     SampleRole role, const TableOptions& options, GenotypeSet& set,
                                     std::vector<ImportMessage>& messages);

// Reads a CSV (or TSV) of population,region pairs; a first row naming the
// columns ("population"/"collection"/"pop") is a header.
[[nodiscard]] bool ReadRegionTable(std::string_view text, const std::string& file,
                                   std::vector<std::pair<std::string, std::string>>& pairs,
                                   std::vector<ImportMessage>& messages);

// Reads a GENEPOP file; every individual becomes a mixture individual when
// `mixture` is set. Allele codes are kept by value, without leading zeros
// ("01" and "001" are allele 1). Each "Pop" block is a population (one named
// by its first individual gets its number after the name when an earlier
// block has that name); a locus of one allele and zeros in every genotype
// scored ("2300") is haploid (note 534). Returns false when the file cannot
// be used.
[[nodiscard]] bool ReadGenepop(std::string_view text, const std::string& file, bool mixture,
                               GenotypeSet& set, std::vector<ImportMessage>& messages);

// True when the text looks like a GENEPOP file rather than a table: it has a
// "Pop" line (the word alone, or followed by a name without a comma).
[[nodiscard]] bool LooksLikeGenepop(std::string_view text);

// The text in lower case; the text without blanks at either end.
std::string Lower(std::string_view s);
std::string Trimmed(std::string_view s);

// Splits text into lines without their line ends ("\n", "\r\n").
std::vector<std::string_view> SplitLines(std::string_view text);

}  // namespace velk
