#pragma once
// The state of the process's two random generators, kept in the Process; the
// generators themselves are in numeric/random.hpp.
#include <array>
#include <cstdint>
#include <iosfwd>

namespace velk {

// State of the lagged subtract-with-borrow generator.
struct LaggedGenerator {
  static constexpr int B = 424967291;  // the modulus
  // The lags of a process whose generator was never seeded, positions 1 to 43.
  static constexpr std::array<std::int32_t, 43> kStartLags = {
      8001441,   55321801,  169570999, 288589940, 291581871, 103842493, 79952507,  381202335,
      311575334, 402878631, 249757109, 115192595, 210629619, 399952890, 412280521, 133873288,
      71345525,  223467704, 282934796, 99756750,  168564303, 286817366, 114310713, 347045253,
      93762426,  109670477, 320029657, 326369301, 9441177,   353244738, 244771580, 159804337,
      207319904, 337342907, 375423178, 70893571,  426059785, 395854390, 20081010,  59250059,
      162176640, 320429173, 263576576};
  enum class Seeding { kNotSeeded, kSeeded, kWarned };

  std::array<std::int32_t, 43> lags = kStartLags;  // ZBQLIX(1..43) is lags[0..42]
  std::int32_t C = 0;                              // the borrow, 0 or 1
  int curpos = 1;  // current position; stepped like the lags, selects nothing
  int ID22 = 22;   // short-lag position
  int ID43 = 43;   // long-lag position
  Seeding seeding = Seeding::kNotSeeded;

  // ZBQLIX(i), i in 1..43.
  std::int32_t& ZBQLIX(int i) { return lags[static_cast<std::size_t>(i - 1)]; }
  std::int32_t ZBQLIX(int i) const { return lags[static_cast<std::size_t>(i - 1)]; }
};

// State of the shuffled congruential generator (its running seed is the caller's).
struct ShuffledGenerator {
  static constexpr std::int32_t M = 714025;   // modulus
  static constexpr std::int32_t IA = 1366;    // multiplier
  static constexpr std::int32_t IC = 150889;  // increment
  static constexpr double RM = 1.4005112e-6;  // scale of the output

  std::array<std::int32_t, 97> table{};  // positions 1 to 97 are table[0..96]
  std::int32_t IY = 0;                   // last output integer
  bool started = false;                  // first-use flag
};

// Everything of the generators that outlives a run.
struct RandomState {
  LaggedGenerator lagged;
  ShuffledGenerator shuffled;
  // Where the generators' warnings go: the standard output unless a test or a
  // front end redirects them. Never the log.
  std::ostream* console = nullptr;  // nullptr: std::cout
};

}  // namespace velk
