#pragma once
// The one numbering of the missing-baseline entries: the (population,
// character) pairs without baseline data (a total below 1), numbered from 1
// population by population and, within a population, character by character.
// The baseline update stores its estimates under these numbers
// (run.input.missing_totals, missing_freqs) and the reports read them back.
#include <cstdint>

#include "core/array.hpp"

namespace velk {

struct MissingBaseline {
  int count = 0;   // entries
  Mat<int> entry;  // (character, population): the pair's entry, 0 when it has data

  // Whether population i lacks baseline data for some character.
  bool Lacks(int i) const {
    for (int c = 1; c <= entry.Rows(); ++c)
      if (entry(c, i) != 0) return true;
    return false;
  }
};

// The entries of nc characters and np populations from the baseline totals
// (character, population); `entry` is max(nc, 1) x max(np, 1).
MissingBaseline NumberMissingBaseline(const Mat<std::int32_t>& base_totals, int nc, int np);

}  // namespace velk
