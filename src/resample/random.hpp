#pragma once
// The two pseudo-random generators of the process and the draws built on them.
//
// - The lagged subtract-with-borrow generator (ZBQLINI, ZBQLU01) feeds only the
//   gamma generator ZBQLGAM, which the Dirichlet draw of baseline frequencies uses.
//   It is seeded once per process from the second seed.
// - The shuffled linear congruential generator Dran2 feeds every draw of
//   populations, types, genotypes and counts (Dmtnom, Mtnom1). Its running state
//   is the caller's seed variable, restarted whenever that variable is negative.
//
// Both work in fixed 32-bit integer arithmetic, so that a pair of seeds repeats a
// run bit for bit. Their state lives in the Process; the routines take it by
// reference.
#include <array>
#include <cstdint>
#include <iosfwd>

#include "core/array.hpp"

namespace velk {

struct Process;

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

// Seeds the lagged generator with |seed|; only the first call of a process takes
// effect, the second prints a warning and later ones do nothing.
void ZBQLINI(Process& process, int seed);

// Next uniform of the lagged generator, in [0, 1) (0.0 is possible, 1.0 is not).
double ZBQLU01(Process& process);

// Gamma variate with density proportional to x^(g-1) exp(-h x): shape g, rate h.
// Illegal parameters print an error and give 0.0.
double ZBQLGAM(Process& process, double g, double h);

// Next uniform of the shuffled generator, in [0, 1). idum is the caller's seed
// variable: a negative value (or the first call of the process) restarts the
// generator from it; it is rewritten on every call.
double Dran2(Process& process, std::int32_t& idum);

// Multinomial draw of n trials over categories 1..k with probabilities p(1..k),
// used as given (not normalised): counts(1..k) are cleared and receive the draw.
void Dmtnom(Process& process, int n, int k, const Vec<double>& p, Vec<std::int32_t>& counts,
            std::int32_t& idum);

// One category j in 1..k drawn with probabilities p(1..k).
void Mtnom1(Process& process, int k, const Vec<double>& p, int& j, std::int32_t& idum);

}  // namespace velk
