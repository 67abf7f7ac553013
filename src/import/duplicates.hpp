#pragma once
// Duplicate samples: pairs of individuals, reference and mixture alike, whose
// genotypes agree at nearly every locus scored in both (the same fish sampled
// twice, or a sample entered twice).
#include <cstddef>
#include <string>
#include <vector>

#include "import/built.hpp"

namespace velk {

// A pair agrees at this share of the loci scored in both or more...
inline constexpr double kDuplicateAgreement = 0.95;
// ...and both are scored at this share of the loci or more.
inline constexpr double kDuplicateOverlap = 0.5;

// One individual of the import: reference ones first (index into
// Built::reference), then mixture ones (index into Built::mixture).
struct SampleRef {
  bool mixture = false;
  std::size_t index = 0;
};

struct DuplicatePair {
  SampleRef first, second;
  int compared = 0;  // loci scored in both
  int differ = 0;    // of those, loci whose genotypes differ
};

// Every duplicate pair, in the order of the individuals (first < second).
// The genotypes are compared 64 loci a word, bit plane by bit plane.
std::vector<DuplicatePair> FindDuplicates(const Built& b);

// NAME.duplicates.csv: one row per pair, both individuals' sample type,
// collection (population or mixture collection) and ID, the loci compared and
// the loci that differ.
std::string DuplicateTableText(const Built& b, const std::vector<DuplicatePair>& pairs);

}  // namespace velk
