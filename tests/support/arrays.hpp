#pragma once
// Arrays written out in tests: VecOf({1, 2}) and MatOf({{row 1}, {row 2}}).
#include <initializer_list>

#include "core/array.hpp"

namespace velk::test {

template <class T>
Vec<T> VecOf(std::initializer_list<T> values) {
  Vec<T> v(static_cast<int>(values.size()));
  int i = 0;
  for (const T& x : values) v(++i) = x;
  return v;
}

template <class T>
Mat<T> MatOf(std::initializer_list<std::initializer_list<T>> rows) {
  Mat<T> m(static_cast<int>(rows.size()), static_cast<int>(rows.begin()->size()));
  int i = 0;
  for (const auto& row : rows) {
    int j = 0;
    ++i;
    for (const T& x : row) m(i, ++j) = x;
  }
  return m;
}

}  // namespace velk::test
