#include "core/array.hpp"

#include <gtest/gtest.h>

namespace velk {

TEST(Arrays, OneBasedColumnMajor) {
  Mat<int> m(2, 3);
  m(2, 1) = 5;
  m(1, 2) = 7;
  EXPECT_EQ(m.Data()[1], 5);  // first index fastest
  EXPECT_EQ(m.Data()[2], 7);
  Arr3<short> a(2, 3, 4);
  a(2, 3, 4) = 9;
  a(1, 2, 1) = 4;
  EXPECT_EQ(a.Data()[2 * 3 * 4 - 1], 9);
  EXPECT_EQ(*a.Ptr(1, 2, 1), 4);
  EXPECT_EQ(a.Data()[2], 4);
}

}  // namespace velk
