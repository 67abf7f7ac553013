#pragma once
// The mixture file reader: reads one record per individual, condenses the
// individuals into distinct genotypes with their counts and groups the
// genotypes into classes of missing characters, stored class by class.
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "core/array.hpp"
#include "core/run.hpp"

namespace velk {

// Longest mixture line of an analysis whose fields fit in it: 400 loci of up to
// 162 types, every field written at its full width with a blank after it. A
// record longer than the limit is refused (3011), never read cut.
inline constexpr std::size_t kMixtureLineLength = 65536;

// The longest mixture line read for characters of these types: the fixed
// length, or every field at its full width with a blank when that is longer.
std::size_t MixtureLineLength(const Vec<int>& types);

// How Count finds a known genotype: through the hash index on the key words, or
// by the plain scan of the key table in genotype order. Both find the same one.
enum class GenotypeLookup { kHash, kLinear };

// Packing of a genotype into key words: base b, digits per word d, total
// digits D and number of words w.
struct KeyLayout {
  int base = 2;
  int digits = 1;
  int total = 0;
  int words = 1;
};

// b = largest ploidy + 1 (at least 2); d = max(1, nint(ln 10^14 / ln b) - 1);
// D = sum of the types; w = max(1, nint(D / d)), plus 1 when w * d < D.
KeyLayout MakeKeyLayout(const std::vector<int>& ploidies, const std::vector<int>& types);

// The key table of the distinct genotypes found so far (w doubles each, in
// genotype order), with a hash index on the words' bit patterns.
class KeyTable {
 public:
  KeyTable(int words, GenotypeLookup lookup);

  int Size() const { return size_; }
  int Words() const { return words_; }
  const double* Key(int g) const { return keys_.data() + static_cast<std::size_t>(g - 1) * words_; }

  // The first genotype whose key equals `key` and that `same` accepts; 0 when none.
  int Find(const double* key, const std::function<bool(int)>& same) const;
  // Stores `key` as genotype Size() + 1.
  void Add(const double* key);

 private:
  std::size_t Hash(const double* key) const;
  bool Equal(const double* key, int g) const;
  void Rehash(std::size_t slots);

  int words_;
  int size_ = 0;
  GenotypeLookup lookup_;
  std::vector<double> keys_;
  std::vector<std::int32_t> slots_;  // genotype numbers, 0 for an empty slot
};

// Outcome of parsing one record.
enum class Parsed { kOk, kIgnored, kBad, kFatal };

// Fills the genotype work array (type, character) from one record. `field_char`
// names, for field f, the character read from it (0: a field that is skipped),
// for every field of a record; `types` holds the types of every character.
// Messages 1010, 2003, 2004, 2006, 2008 and 3025 carry `record` as the record
// number. `fields`, when given, gets the number of fields of the record.
Parsed Parsmix(Run& run, std::string_view record, int record_number,
               const std::vector<int>& field_char, const Vec<int>& types, Mat<std::int8_t>& work,
               int* fields = nullptr);

// Computes the key words of one genotype (key holds layout.words doubles).
// A word that no longer holds integers exactly is fatal 3029.
void Cnvrt(Run& run, const KeyLayout& layout, const Vec<int>& types, const Mat<std::int8_t>& work,
           double* key);

// Counts one individual with genotype `key`: a known genotype (equal key and
// accepted by `same`) gets one more individual; otherwise a new genotype is
// added with count 1, unless that exceeds the maximum (fatal 3023). Returns the
// genotype's number (0 after 3023).
int Count(Run& run, int& ngenotypes, int max_genotypes, const double* key, KeyTable& table,
          Vec<std::int32_t>& counts, const std::function<bool(int)>& same, bool& is_new);

// Allocates the mixture arrays of the input block with the capacities of the
// parameters, and the missing-baseline arrays. Sizes that overflow or that the
// machine cannot hold are message 3000; returns false then. Getmix calls it when
// the run sequence has not left the arrays at those capacities.
bool AllocateMixtureArrays(Run& run);

// Reads the mixture file of run.files.mixture into run.input.
void Getmix(Run& run, GenotypeLookup lookup = GenotypeLookup::kHash);

}  // namespace velk
