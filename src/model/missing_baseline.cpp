#include "model/missing_baseline.hpp"

#include <algorithm>

namespace velk {

MissingBaseline NumberMissingBaseline(const Mat<std::int32_t>& base_totals, int nc, int np) {
  MissingBaseline m;
  m.entry.Resize(std::max(nc, 1), std::max(np, 1), 0);
  for (int i = 1; i <= np; ++i)
    for (int c = 1; c <= nc; ++c)
      if (base_totals(c, i) < 1) m.entry(c, i) = ++m.count;
  return m;
}

}  // namespace velk
