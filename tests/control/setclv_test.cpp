#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "control/sections.hpp"
#include "support/control_run.hpp"

namespace velk {
namespace {

using test::ControlRun;
using Ints = std::vector<int>;

Ints Slice(const Vec<int>& v, std::size_t n) {
  return Ints(v.begin(), v.begin() + std::min(static_cast<int>(n), v.Size()));
}

// Regions from the populations' labels, level by level: labels[l][i] is
// population i+1's level-(l+1) label, 0 for none.
TEST(Setclv, RegionsFromLabels) {
  struct Case {
    std::vector<Ints> labels;
    int nregions, nlevels;
    Ints label, size, members, parent;
  };
  const Case cases[] = {
      // Labels in increasing order, members in population order.
      {{{3, 1, 3, 2}}, 3, 1, {1, 2, 3}, {1, 1, 2}, {2, 4, 1, 3}, {0, 0, 0}},
      {{{1, 1, 1, 2, 2, 2}, {1, 1, 2, 3, 3, 3}},
       5,
       2,
       {1, 2, 1, 2, 3},
       {3, 3, 2, 1, 3},
       {1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 5, 6},
       {0, 0, 1, 1, 2}},
      // Population 3 is in no level-2 region; population 1 in no level-1 region,
      // so the parent of level-2 region "5" comes from population 2.
      {{{0, 2, 2, 1}, {5, 5, 0, 4}},
       4,
       2,
       {1, 2, 4, 5},
       {1, 2, 1, 2},
       {4, 2, 3, 4, 1, 2},
       {0, 0, 1, 2}},
      // A level without regions is not counted.
      {{{1, 2, 2}, {0, 0, 0}}, 2, 1, {1, 2}, {1, 2}, {1, 2, 3}, {0, 0}},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.nregions);
    ControlRun c;
    const int np = static_cast<int>(k.labels[0].size());
    c.Tables(np, 1);
    c.run.par.nlevels = static_cast<int>(k.labels.size());
    for (std::size_t l = 0; l < k.labels.size(); ++l)
      for (int i = 1; i <= np; ++i) c.run.pops(i).level[l] = k.labels[l][i - 1];
    Setclv(c.run);
    ASSERT_EQ(c.run.error.stop, 0);
    EXPECT_EQ(c.run.par.nregions, k.nregions);
    EXPECT_EQ(c.run.par.nlevels, k.nlevels);
    const Regions& g = c.run.regions;
    EXPECT_EQ(Slice(g.label, k.label.size()), k.label);
    EXPECT_EQ(Slice(g.size, k.size.size()), k.size);
    EXPECT_EQ(Slice(g.members, k.members.size()), k.members);
    EXPECT_EQ(Slice(g.parent, k.parent.size()), k.parent);
    EXPECT_EQ(g.members.Size(), np * static_cast<int>(k.labels.size()) + 1);  // np x levels + 1
  }
  ControlRun c;  // more regions than populations
  c.Tables(4, 1);
  c.run.par.nlevels = 2;
  for (int i = 1; i <= 4; ++i) c.run.pops(i).level = {(i + 1) / 2, i, 0};
  Setclv(c.run);
  EXPECT_EQ(c.run.error.stop, 1);
  EXPECT_EQ(c.run.error.last_code, 3023);
  EXPECT_EQ(c.run.error.a1, "groups");
  EXPECT_EQ(c.run.error.n1, 4);
}

}  // namespace
}  // namespace velk
