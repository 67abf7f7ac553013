#pragma once
// Small 1-based, column-major array types, so that the engine reads like its
// formulas: P(i, g) is the probability of genotype g in population i, with the
// first index running fastest in memory.
#include <cassert>
#include <cstddef>
#include <vector>

namespace velk {

template <class T>
class Vec {
 public:
  Vec() = default;
  explicit Vec(int n, const T& value = T{}) { Resize(n, value); }

  void Resize(int n, const T& value = T{}) {
    n_ = n > 0 ? n : 0;
    data_.assign(static_cast<std::size_t>(n_), value);
  }
  void Fill(const T& value) { data_.assign(data_.size(), value); }
  // Grows to `n` elements, keeping the elements held; the new ones are T{}.
  void Extend(int n) {
    if (n <= n_) return;
    data_.resize(static_cast<std::size_t>(n));
    n_ = n;
  }
  void Free() {
    data_.clear();
    data_.shrink_to_fit();
    n_ = 0;
  }

  int Size() const { return n_; }
  bool Empty() const { return n_ == 0; }

  T& operator()(int i) {
    assert(i >= 1 && i <= n_);
    return data_[static_cast<std::size_t>(i - 1)];
  }
  const T& operator()(int i) const {
    assert(i >= 1 && i <= n_);
    return data_[static_cast<std::size_t>(i - 1)];
  }

  // Pointer to element 1 (the vector kernels take strided pointers).
  T* Data() { return data_.data(); }
  const T* Data() const { return data_.data(); }
  // Pointer to element i.
  T* Ptr(int i) { return data_.data() + (i - 1); }
  const T* Ptr(int i) const { return data_.data() + (i - 1); }

  auto begin() { return data_.begin(); }
  auto end() { return data_.end(); }
  auto begin() const { return data_.begin(); }
  auto end() const { return data_.end(); }

 private:
  std::vector<T> data_;
  int n_ = 0;
};

template <class T>
class Mat {
 public:
  Mat() = default;
  Mat(int rows, int cols, const T& value = T{}) { Resize(rows, cols, value); }

  void Resize(int rows, int cols, const T& value = T{}) {
    m_ = rows > 0 ? rows : 0;
    n_ = cols > 0 ? cols : 0;
    data_.assign(static_cast<std::size_t>(m_) * static_cast<std::size_t>(n_), value);
  }
  void Fill(const T& value) { data_.assign(data_.size(), value); }
  void Free() {
    data_.clear();
    data_.shrink_to_fit();
    m_ = n_ = 0;
  }

  int Rows() const { return m_; }
  int Cols() const { return n_; }

  T& operator()(int i, int j) {
    assert(i >= 1 && i <= m_ && j >= 1 && j <= n_);
    return data_[Offset(i, j)];
  }
  const T& operator()(int i, int j) const {
    assert(i >= 1 && i <= m_ && j >= 1 && j <= n_);
    return data_[Offset(i, j)];
  }

  T* Data() { return data_.data(); }
  const T* Data() const { return data_.data(); }
  // Pointer to element (i, j); the column has increment 1, the row increment Rows().
  T* Ptr(int i, int j) { return data_.data() + Offset(i, j); }
  const T* Ptr(int i, int j) const { return data_.data() + Offset(i, j); }

 private:
  std::size_t Offset(int i, int j) const {
    return static_cast<std::size_t>(i - 1) +
           static_cast<std::size_t>(j - 1) * static_cast<std::size_t>(m_);
  }
  std::vector<T> data_;
  int m_ = 0;
  int n_ = 0;
};

template <class T>
class Arr3 {
 public:
  Arr3() = default;
  Arr3(int n1, int n2, int n3, const T& value = T{}) { Resize(n1, n2, n3, value); }

  void Resize(int n1, int n2, int n3, const T& value = T{}) {
    n1_ = n1 > 0 ? n1 : 0;
    n2_ = n2 > 0 ? n2 : 0;
    n3_ = n3 > 0 ? n3 : 0;
    data_.assign(static_cast<std::size_t>(n1_) * static_cast<std::size_t>(n2_) *
                     static_cast<std::size_t>(n3_),
                 value);
  }
  void Fill(const T& value) { data_.assign(data_.size(), value); }
  // Grows the last extent to `n3`, keeping the elements held (the last index
  // runs slowest); the new ones are T{}.
  void Extend3(int n3) {
    if (n3 <= n3_) return;
    data_.resize(static_cast<std::size_t>(n1_) * static_cast<std::size_t>(n2_) *
                 static_cast<std::size_t>(n3));
    n3_ = n3;
  }
  void Free() {
    data_.clear();
    data_.shrink_to_fit();
    n1_ = n2_ = n3_ = 0;
  }

  int Size1() const { return n1_; }
  int Size2() const { return n2_; }
  int Size3() const { return n3_; }

  T& operator()(int i, int j, int k) {
    assert(i >= 1 && i <= n1_ && j >= 1 && j <= n2_ && k >= 1 && k <= n3_);
    return data_[Offset(i, j, k)];
  }
  const T& operator()(int i, int j, int k) const {
    assert(i >= 1 && i <= n1_ && j >= 1 && j <= n2_ && k >= 1 && k <= n3_);
    return data_[Offset(i, j, k)];
  }

  T* Data() { return data_.data(); }
  const T* Data() const { return data_.data(); }
  T* Ptr(int i, int j, int k) { return data_.data() + Offset(i, j, k); }
  const T* Ptr(int i, int j, int k) const { return data_.data() + Offset(i, j, k); }

 private:
  std::size_t Offset(int i, int j, int k) const {
    return static_cast<std::size_t>(i - 1) +
           static_cast<std::size_t>(n1_) *
               (static_cast<std::size_t>(j - 1) +
                static_cast<std::size_t>(n2_) * static_cast<std::size_t>(k - 1));
  }
  std::vector<T> data_;
  int n1_ = 0;
  int n2_ = 0;
  int n3_ = 0;
};

}  // namespace velk
