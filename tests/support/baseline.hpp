#pragma once
// A baseline written out population by population: per character the counts of
// its types (an empty list: no data).
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "core/run.hpp"

namespace velk::test {

using PopulationCounts = std::vector<std::vector<int>>;  // [character][type]

// One population's counts of one character, and their total.
inline void SetCounts(Run& run, int pop, int c, const std::vector<int>& counts) {
  int total = 0;
  for (std::size_t k = 0; k < counts.size(); ++k) {
    run.input.base_counts(static_cast<int>(k) + 1, c, pop) = static_cast<std::int16_t>(counts[k]);
    total += counts[k];
  }
  run.input.base_totals(c, pop) = total;
}

// Characters "Loc1", ... of `ntypes` types and `ploidy` (2 when not given).
inline void SetBaseline(Run& run, const std::vector<int>& ntypes,
                        const std::vector<PopulationCounts>& pops, std::vector<int> ploidy = {}) {
  const int nc = static_cast<int>(ntypes.size()), np = static_cast<int>(pops.size());
  ploidy.resize(ntypes.size(), 2);
  run.par.npop = np;
  run.par.nchar = nc;
  run.par.max_types = std::max(1, *std::max_element(ntypes.begin(), ntypes.end()));
  run.chars.Resize(nc);
  for (int c = 1; c <= nc; ++c) {
    run.chars(c).name = "Loc" + std::to_string(c);
    run.chars(c).ntypes = ntypes[static_cast<std::size_t>(c - 1)];
    run.chars(c).ploidy = ploidy[static_cast<std::size_t>(c - 1)];
  }
  run.input.base_counts.Resize(run.par.max_types, nc, np);
  run.input.base_totals.Resize(nc, np);
  for (int i = 1; i <= np; ++i)
    for (int c = 1; c <= nc; ++c) SetCounts(run, i, c, pops[i - 1][c - 1]);
}

}  // namespace velk::test
