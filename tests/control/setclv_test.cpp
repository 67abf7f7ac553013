#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <vector>

#include "control/sections.hpp"
#include "support/control_run.hpp"

namespace velk {
namespace {

using test::ControlRun;

// Populations labelled level by level: labels[l][i] is population i+1's level-(l+1) label.
void Label(ControlRun& c, std::initializer_list<std::vector<int>> labels) {
  const int np = static_cast<int>(labels.begin()->size());
  c.Tables(np, 1);
  c.run.par.nlevels = static_cast<int>(labels.size());
  int l = 0;
  for (const std::vector<int>& level : labels) {
    for (int i = 1; i <= np; ++i) c.run.pops(i).level[static_cast<std::size_t>(l)] = level[i - 1];
    ++l;
  }
}

std::vector<int> Slice(const Vec<int>& v, int n) {
  return std::vector<int>(v.begin(), v.begin() + n);
}

TEST(Setclv, LabelsInIncreasingOrderMembersInPopulationOrder) {
  ControlRun c;
  Label(c, {{3, 1, 3, 2}});
  Setclv(c.run);
  ASSERT_EQ(c.run.error.stop, 0);
  EXPECT_EQ(c.run.par.nregions, 3);
  EXPECT_EQ(c.run.par.nlevels, 1);
  EXPECT_EQ(Slice(c.run.regions.label, 3), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(Slice(c.run.regions.size, 3), (std::vector<int>{1, 1, 2}));
  EXPECT_EQ(Slice(c.run.regions.members, 4), (std::vector<int>{2, 4, 1, 3}));
  EXPECT_EQ(Slice(c.run.regions.level, 3), (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(Slice(c.run.regions.parent, 3), (std::vector<int>{0, 0, 0}));
  // Sized np x levels + 1.
  EXPECT_EQ(c.run.regions.members.Size(), 5);
}

TEST(Setclv, TwoLevelsWithParents) {
  ControlRun c;
  Label(c, {{1, 1, 1, 2, 2, 2}, {1, 1, 2, 3, 3, 3}});
  Setclv(c.run);
  ASSERT_EQ(c.run.error.stop, 0);
  EXPECT_EQ(c.run.par.nregions, 5);
  EXPECT_EQ(c.run.par.nlevels, 2);
  EXPECT_EQ(Slice(c.run.regions.level, 5), (std::vector<int>{1, 1, 2, 2, 2}));
  EXPECT_EQ(Slice(c.run.regions.label, 5), (std::vector<int>{1, 2, 1, 2, 3}));
  EXPECT_EQ(Slice(c.run.regions.size, 5), (std::vector<int>{3, 3, 2, 1, 3}));
  EXPECT_EQ(Slice(c.run.regions.parent, 5), (std::vector<int>{0, 0, 1, 1, 2}));
  EXPECT_EQ(Slice(c.run.regions.members, 12),
            (std::vector<int>{1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 5, 6}));
}

TEST(Setclv, LabelZeroIsNoRegionAndParentsSkipUnlabelledMembers) {
  ControlRun c;
  // Population 3 is in no level-2 region; population 1 is in no level-1
  // region, so the parent of level-2 region "5" comes from population 2.
  Label(c, {{0, 2, 2, 1}, {5, 5, 0, 4}});
  Setclv(c.run);
  ASSERT_EQ(c.run.error.stop, 0);
  EXPECT_EQ(c.run.par.nregions, 4);
  EXPECT_EQ(Slice(c.run.regions.label, 4), (std::vector<int>{1, 2, 4, 5}));
  EXPECT_EQ(Slice(c.run.regions.size, 4), (std::vector<int>{1, 2, 1, 2}));
  EXPECT_EQ(Slice(c.run.regions.members, 6), (std::vector<int>{4, 2, 3, 4, 1, 2}));
  EXPECT_EQ(Slice(c.run.regions.parent, 4), (std::vector<int>{0, 0, 1, 2}));
}

TEST(Setclv, LevelsWithoutRegionsAreNotCounted) {
  ControlRun c;
  Label(c, {{1, 2, 2}, {0, 0, 0}});
  Setclv(c.run);
  EXPECT_EQ(c.run.par.nregions, 2);
  EXPECT_EQ(c.run.par.nlevels, 1);
}

TEST(Setclv, MoreRegionsThanPopulationsStop) {
  ControlRun c;
  Label(c, {{1, 1, 2, 2}, {1, 2, 3, 4}});
  Setclv(c.run);
  EXPECT_EQ(c.run.error.stop, 1);
  EXPECT_EQ(c.run.error.last_code, 3023);
  EXPECT_EQ(c.run.error.a1, "groups");
  EXPECT_EQ(c.run.error.n1, 4);
}

}  // namespace
}  // namespace velk
