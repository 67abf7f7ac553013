#pragma once
// Condensing individuals into distinct genotypes and classes (a class = one
// pattern of unscored characters): the genotype key (Cnvrt), the key table with
// its hash index (KeyTable) and the Condenser that the mixture reader, the
// simulated mixtures and the import count their individuals with.
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/array.hpp"
#include "core/run.hpp"

namespace velk {

// How a known genotype is found: through the hash index on the key words, or by
// the plain scan of the key table in genotype order. Both find the same one.
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

// Computes the key words of one genotype (key holds layout.words doubles);
// false when a word no longer holds integers exactly.
[[nodiscard]] bool PackKey(const KeyLayout& layout, const Vec<int>& types,
                           const Mat<std::int8_t>& work, double* key);

// PackKey, with fatal 3029 for a key that is not exact.
void Cnvrt(Run& run, const KeyLayout& layout, const Vec<int>& types, const Mat<std::int8_t>& work,
           double* key);

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
  // Forgets every genotype, keeping the storage.
  void Clear();

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

// The next capacity of a table that grows with the data.
int GrownCapacity(int capacity);

// Most genotypes and classes a Condenser may hold; classes grow (GrownCapacity)
// when `grow_classes` is set and the limit is reached.
struct CondenseLimits {
  int genotypes = 0;
  int classes = 0;
  bool grow_classes = false;
};

// What Place did with one individual.
enum class Placed { kKnown, kNewGenotype, kInexactKey, kTooManyGenotypes, kTooManyClasses };

// Counts individuals into distinct genotypes (equal copies; numbered in order of
// first occurrence) and their classes (numbered in order of first occurrence).
class Condenser {
 public:
  Condenser() = default;
  // Genotypes of `rows` type rows by types.Size() characters, types(c) <= rows of
  // them read for character c (the key's digits).
  Condenser(const Vec<int>& types, int rows, const std::vector<int>& ploidies,
            GenotypeLookup lookup = GenotypeLookup::kHash);

  // Counts one individual of genotype `copies` (rows x characters). After
  // kKnown and kNewGenotype, Last() is its genotype and LastClass() its class.
  [[nodiscard]] Placed Place(const Mat<std::int8_t>& copies, CondenseLimits& limits);
  // Forgets every individual, keeping the storage.
  void Clear();

  int Genotypes() const { return table_.Size(); }
  int Classes() const { return static_cast<int>(members_.size()); }
  int Individuals() const { return individuals_; }
  int Last() const { return last_; }
  int LastClass() const { return ClassOf(last_); }
  std::int32_t CountOf(int g) const { return counts_[static_cast<std::size_t>(g - 1)]; }
  int ClassOf(int g) const { return class_of_[static_cast<std::size_t>(g - 1)]; }
  const std::int8_t* Copies(int g) const {
    return copies_.data() + static_cast<std::size_t>(g - 1) * length_;
  }
  // Per class: its genotypes, in order of first occurrence.
  const std::vector<std::vector<int>>& Members() const { return members_; }
  // Per genotype g (1-based): its number when the genotypes stand class by class.
  std::vector<std::int32_t> ClassOrder() const;
  // Per class (1-based): its individuals.
  std::int32_t ClassIndividuals(int k) const {
    return class_individuals_[static_cast<std::size_t>(k - 1)];
  }

 private:
  // Finds or adds the genotype of `key` in the key table and counts the
  // individual (is_new: the genotype was added); 0 when a new one would pass `limit`.
  int Count(const double* key, const std::int8_t* copies, int limit, bool& is_new);
  int FindClass(const Mat<std::int8_t>& copies, CondenseLimits& limits);

  Vec<int> types_;
  int rows_ = 0;
  std::size_t length_ = 0;  // copies per genotype
  KeyLayout layout_;
  KeyTable table_{1, GenotypeLookup::kHash};
  std::vector<double> key_;
  std::vector<std::int8_t> copies_;  // genotype after genotype
  std::vector<std::int32_t> counts_;
  std::vector<int> class_of_;
  std::unordered_map<std::string, int> class_index_;  // pattern of missing characters -> class
  std::vector<std::vector<int>> members_;
  std::vector<std::int32_t> class_individuals_;
  std::string pattern_;
  int individuals_ = 0;
  int last_ = 0;
};

}  // namespace velk
