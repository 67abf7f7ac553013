#include "data/condense.hpp"

#include <algorithm>
#include <bit>
#include <climits>
#include <cmath>
#include <cstring>

#include "core/error.hpp"
#include "numeric/kernels.hpp"

namespace velk {

namespace {

// ln 10^14 as the single-precision constant the key layout is built on.
constexpr float kKeyLog = 32.236191f;

std::uint64_t Mix(std::uint64_t x) {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9ULL;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebULL;
  x ^= x >> 31;
  return x;
}

}  // namespace

// ------------------------------------------------------------------ layout

KeyLayout MakeKeyLayout(const std::vector<int>& ploidies, const std::vector<int>& types) {
  KeyLayout layout;
  long long largest = 0;
  for (int p : ploidies) largest = std::max<long long>(largest, p);
  layout.base = static_cast<int>(std::clamp<long long>(largest + 1, 2, INT_MAX));
  float ratio = kKeyLog / std::log(static_cast<float>(layout.base));
  layout.digits = std::max(1, static_cast<int>(std::lround(ratio)) - 1);
  long long total = 0;
  for (int t : types) total += std::max(t, 0);
  layout.total = static_cast<int>(std::min<long long>(total, INT_MAX));
  long long words =
      std::max<long long>(1, std::llround(static_cast<double>(total) / layout.digits));
  if (words * layout.digits < total) ++words;
  layout.words = static_cast<int>(words);
  return layout;
}

// ------------------------------------------------------------------- Cnvrt

bool PackKey(const KeyLayout& layout, const Vec<int>& types, const Mat<std::int8_t>& work,
             double* key) {
  const int w = layout.words;
  const int d = layout.digits;
  std::fill(key, key + w, 0.0);
  // Digit j goes to word min(w, ceil(j / d)); the words before the last hold d
  // digits each, lowest digit first.
  int word = 0;    // 0-based
  int filled = 0;  // digits already in the word
  double power = 1.0;
  for (int c = 1; c <= types.Size(); ++c) {
    for (int k = 1; k <= types(c); ++k) {
      if (filled == d && word < w - 1) {
        ++word;
        filled = 0;
        power = 1.0;
      }
      key[word] += work(k, c) * power;
      ++filled;
      power *= layout.base;
    }
  }
  for (int m = 0; m < w; ++m) {
    if ((key[m] + 1.0) - key[m] != 1.0) return false;
  }
  return true;
}

void Cnvrt(Run& run, const KeyLayout& layout, const Vec<int>& types, const Mat<std::int8_t>& work,
           double* key) {
  if (!PackKey(layout, types, work, key)) Error(run, 3029);
}

// --------------------------------------------------------------- key table

KeyTable::KeyTable(int words, GenotypeLookup lookup)
    : words_(std::max(words, 1)), lookup_(lookup) {}

bool KeyTable::Equal(const double* key, int g) const {
  const double* stored = Key(g);
  if (lookup_ == GenotypeLookup::kLinear) {
    // The reference comparison: the sum of the words' absolute differences.
    double difference = 0.0;
    for (int m = 0; m < words_; ++m) difference += std::fabs(key[m] - stored[m]);
    return difference < 1.0e-9;
  }
  // Key words are exact integers, so equal sums of differences mean equal bits.
  for (int m = 0; m < words_; ++m) {
    if (std::bit_cast<std::uint64_t>(key[m] + 0.0) != std::bit_cast<std::uint64_t>(stored[m]))
      return false;
  }
  return true;
}

std::size_t KeyTable::Hash(const double* key) const {
  std::uint64_t h = 0x9e3779b97f4a7c15ULL;
  for (int m = 0; m < words_; ++m) h = Mix(h ^ std::bit_cast<std::uint64_t>(key[m] + 0.0));
  return static_cast<std::size_t>(h);
}

int KeyTable::Find(const double* key, const std::function<bool(int)>& same) const {
  if (lookup_ == GenotypeLookup::kLinear) {
    for (int g = 1; g <= size_; ++g) {
      if (Equal(key, g) && same(g)) return g;
    }
    return 0;
  }
  if (slots_.empty()) return 0;
  // Linear probing without deletions keeps genotypes of one key in the order
  // they were added, so the first accepted one is the linear scan's.
  std::size_t mask = slots_.size() - 1;
  for (std::size_t i = Hash(key) & mask; slots_[i] != 0; i = (i + 1) & mask) {
    int g = slots_[i];
    if (Equal(key, g) && same(g)) return g;
  }
  return 0;
}

void KeyTable::Rehash(std::size_t slots) {
  slots_.assign(slots, 0);
  std::size_t mask = slots - 1;
  for (int g = 1; g <= size_; ++g) {
    std::size_t i = Hash(Key(g)) & mask;
    while (slots_[i] != 0) i = (i + 1) & mask;
    slots_[i] = g;
  }
}

void KeyTable::Add(const double* key) {
  for (int m = 0; m < words_; ++m) keys_.push_back(key[m] + 0.0);
  ++size_;
  if (lookup_ == GenotypeLookup::kLinear) return;
  if (2 * static_cast<std::size_t>(size_) > slots_.size()) {
    Rehash(std::max<std::size_t>(16, 2 * slots_.size()));
    return;
  }
  std::size_t mask = slots_.size() - 1;
  std::size_t i = Hash(Key(size_)) & mask;
  while (slots_[i] != 0) i = (i + 1) & mask;
  slots_[i] = size_;
}

void KeyTable::Clear() {
  keys_.clear();
  std::fill(slots_.begin(), slots_.end(), 0);
  size_ = 0;
}

// --------------------------------------------------------------- Condenser

int GrownCapacity(int capacity) {
  return capacity >= INT_MAX / 2 ? INT_MAX : std::max(16, 2 * capacity);
}

Condenser::Condenser(const Vec<int>& types, int rows, const std::vector<int>& ploidies,
                     GenotypeLookup lookup)
    : types_(types),
      rows_(std::max(rows, 0)),
      length_(static_cast<std::size_t>(rows_) * static_cast<std::size_t>(types.Size())),
      table_(1, lookup),
      pattern_(static_cast<std::size_t>(types.Size()), '0') {
  std::vector<int> type_list(static_cast<std::size_t>(types.Size()));
  for (int c = 1; c <= types.Size(); ++c) type_list[static_cast<std::size_t>(c - 1)] = types(c);
  layout_ = MakeKeyLayout(ploidies, type_list);
  table_ = KeyTable(layout_.words, lookup);
  key_.assign(static_cast<std::size_t>(layout_.words), 0.0);
}

void Condenser::Clear() {
  table_.Clear();
  copies_.clear();
  counts_.clear();
  class_of_.clear();
  class_index_.clear();
  members_.clear();
  class_individuals_.clear();
  individuals_ = 0;
  last_ = 0;
}

int Condenser::Count(const double* key, const std::int8_t* copies, int limit, bool& is_new) {
  is_new = false;
  // A stored genotype is this one when their copies agree.
  auto same = [&](int g) { return length_ == 0 || std::memcmp(copies, Copies(g), length_) == 0; };
  const int g = table_.Find(key, same);
  if (g > 0) {
    ++counts_[static_cast<std::size_t>(g - 1)];
    return g;
  }
  if (table_.Size() >= limit) return 0;
  table_.Add(key);
  copies_.insert(copies_.end(), copies, copies + length_);
  counts_.push_back(1);
  is_new = true;
  return table_.Size();
}

int Condenser::FindClass(const Mat<std::int8_t>& copies, CondenseLimits& limits) {
  for (int c = 1; c <= types_.Size(); ++c) {
    const bool missing = rows_ == 0 || I1sum(rows_, copies.Ptr(1, c), 1) == 0;
    pattern_[static_cast<std::size_t>(c - 1)] = missing ? '1' : '0';
  }
  auto found = class_index_.find(pattern_);
  if (found != class_index_.end()) return found->second;
  const int classes = Classes();
  if (limits.grow_classes && classes >= limits.classes)
    limits.classes = GrownCapacity(limits.classes);
  if (classes >= limits.classes) return 0;
  class_index_.emplace(pattern_, classes + 1);
  members_.emplace_back();
  class_individuals_.push_back(0);
  return classes + 1;
}

Placed Condenser::Place(const Mat<std::int8_t>& copies, CondenseLimits& limits) {
  if (!PackKey(layout_, types_, copies, key_.data())) return Placed::kInexactKey;
  bool is_new = false;
  const int g = Count(key_.data(), copies.Data(), limits.genotypes, is_new);
  if (g == 0) return Placed::kTooManyGenotypes;
  ++individuals_;
  last_ = g;
  if (!is_new) {
    ++class_individuals_[static_cast<std::size_t>(ClassOf(g) - 1)];
    return Placed::kKnown;
  }
  const int k = FindClass(copies, limits);
  class_of_.push_back(k);
  if (k == 0) return Placed::kTooManyClasses;
  ++class_individuals_[static_cast<std::size_t>(k - 1)];
  members_[static_cast<std::size_t>(k - 1)].push_back(g);
  return Placed::kNewGenotype;
}

std::vector<std::int32_t> Condenser::ClassOrder() const {
  std::vector<std::int32_t> order(static_cast<std::size_t>(Genotypes()) + 1, 0);
  int walk = 0;
  for (const std::vector<int>& list : members_)
    for (int g : list) order[static_cast<std::size_t>(g)] = ++walk;
  return order;
}

}  // namespace velk
