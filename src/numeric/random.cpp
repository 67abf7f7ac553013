// The lagged subtract-with-borrow generator with its gamma draw, and the shuffled
// congruential generator with the multinomial draws.
#include "numeric/random.hpp"

#include <cmath>
#include <iostream>
#include <numbers>

#include "core/layout/layout.hpp"
#include "core/run.hpp"

namespace velk {

namespace {

std::ostream& Console(Process& process) {
  return process.random.console ? *process.random.console : std::cout;
}

void WriteConsole(Process& process, const char* layout) {
  Console(process) << Fmt(layout) << '\n';
}

}  // namespace

// Each control file's parameters hand their seed over. Only the first seeds
// the generator here: every resampling run reseeds it from its own seed
// (SeedLagged), so a later control file's seed is not ignored, and the
// generator's warning of a second seeding would be untrue (and would stand in
// every command that runs several control files).
void Process::Zbqlini(int seed) {
  lagged_seed = seed;
  if (random.lagged.seeding == LaggedGenerator::Seeding::kNotSeeded) ZBQLINI(*this, seed);
}

// ------------------------------------------------------------ lagged generator

void ZBQLINI(Process& process, int seed) {
  LaggedGenerator& s = process.random.lagged;
  switch (s.seeding) {
    case LaggedGenerator::Seeding::kNotSeeded:
      break;
    case LaggedGenerator::Seeding::kSeeded:
      WriteConsole(process,
                   "(/,/,5X,'****WARNING**** You have called routine ZBQLINI ','more than',/,5X,"
                   "'once. I''m ignoring any subsequent calls.',/,/)");
      s.seeding = LaggedGenerator::Seeding::kWarned;
      return;
    case LaggedGenerator::Seeding::kWarned:
      return;
  }
  s.seeding = LaggedGenerator::Seeding::kSeeded;

  // The seed arrives as an absolute value; taking it here again keeps the lags in
  // [0, B-1] for any caller (the most negative integer included). The products
  // below stay under 2^44, so the 64-bit remainders equal the exact double ones.
  const std::int64_t first =
      (seed < 0 ? -static_cast<std::int64_t>(seed) : seed) % LaggedGenerator::B;
  if (first == 0) {
    // A seed that is a multiple of B (0 above all) would fill every lag with 0,
    // and the generator would then give 0.0 for ever. Such a seed starts instead
    // from the lags of a never-seeded process, which is just as repeatable.
    s.lags = LaggedGenerator::kStartLags;
    return;
  }
  s.ZBQLIX(1) = static_cast<std::int32_t>(first);
  for (int i = 2; i <= 43; ++i) {
    s.ZBQLIX(i) = static_cast<std::int32_t>(static_cast<std::int64_t>(s.ZBQLIX(i - 1)) * 30269 %
                                            LaggedGenerator::B);
  }
  // The borrow and the positions are left as they are.
}

double ZBQLU01(Process& process) {
  LaggedGenerator& s = process.random.lagged;
  std::int32_t x = s.ZBQLIX(s.ID22) - s.ZBQLIX(s.ID43) - s.C;
  if (x < 0) {
    x += LaggedGenerator::B;
    s.C = 1;
  } else {
    s.C = 0;
  }
  const double u = static_cast<double>(x) / static_cast<double>(LaggedGenerator::B);
  s.ZBQLIX(s.ID43) = x;
  // Decrement and reset at most one position: the three never reach 0 together.
  --s.curpos;
  --s.ID22;
  --s.ID43;
  if (s.curpos == 0) {
    s.curpos = 43;
  } else if (s.ID22 == 0) {
    s.ID22 = 43;
  } else if (s.ID43 == 0) {
    s.ID43 = 43;
  }
  return u;
}

double ZBQLGAM(Process& process, double g, double h) {
  constexpr double e = std::numbers::e;
  // Besides g <= 0 and h < 0, a zero rate (an infinite variate) and a shape that is
  // not a finite number (the draws below would never accept) are refused too.
  if (!(g > 0.0) || !std::isfinite(g) || !(h > 0.0)) {
    WriteConsole(process,
                 "(/,5X,'****ERROR**** Illegal parameter value in ',' ZBQLGAM',/,5X,"
                 "'(both parameters must be positive)',/)");
    return 0.0;
  }

  if (g < 1.0) {
    // Rejection from a mixture of a power and an exponential envelope.
    for (;;) {
      const double u = ZBQLU01(process);
      const double v = ZBQLU01(process);
      if (u <= e / (g + e)) {
        const double x = std::pow((g + e) * u / e, 1.0 / g);
        if (v <= std::exp(-x)) return x / h;
      } else {
        const double x = -std::log((g + e) * (1.0 - u) / (g * e));
        if (v <= std::pow(x, g - 1.0)) return x / h;
      }
    }
  }

  if (g > 10.0) {
    // Ratio of uniforms with a squeeze, for large shapes.
    const double c1 = g - 1.0;
    const double c2 = (g - 1.0 / (6.0 * g)) / c1;
    const double c3 = 2.0 / c1;
    const double c4 = c3 + 2.0;
    const double c5 = 1.0 / std::sqrt(g);
    for (;;) {
      double u1 = ZBQLU01(process);
      const double u2 = ZBQLU01(process);
      if (g > 2.5) u1 = (1.0 - 1.86 * u1) * c5 + u2;
      if (u1 <= 0.0 || u1 >= 1.0) continue;
      const double w = c2 * u2 / u1;
      if (c3 * u1 + 1.0 / w + w <= c4) return c1 * w / h;
      if (c3 * std::log(u1) - std::log(w) + w < 1.0) return c1 * w / h;
    }
  }

  // 1 <= g <= 10: ratio of uniforms with power a = 1/2, shifted by m for g >= 2.
  const double m = g < 2.0 ? 0.0 : 2.0 - g;
  const double a = 0.5;
  const double d = std::pow((g - 1.0) / e, (g - 1.0) / (a + 1.0));
  const double bq = ((g + m) * a + 1.0) / (2.0 * a);
  const double cq = (a + 1.0) * m / a;
  const double p1 = bq - std::sqrt(bq * bq - cq);
  const double p2 = bq + std::sqrt(bq * bq - cq);
  const auto r = [&](double p) {
    return p * std::pow(p - m, (g - 1.0) * a / (a + 1.0)) * std::exp(-(p - m) * a / (a + 1.0));
  };
  const double r1 = r(p1);
  const double r2 = r(p2);
  for (;;) {
    const double u = ZBQLU01(process);
    const double v = ZBQLU01(process);
    const double x = u * d;
    const double y = (r2 - r1) * v + r1;
    // A uniform of exactly 0 gives x = 0 and an infinite z, which for g = 1 would
    // be accepted as an infinite variate; such a pair is drawn again (for every
    // other shape it is rejected anyway).
    if (x <= 0.0) continue;
    const double z = y / std::pow(x, a);
    if (z <= m) continue;
    if (std::pow(z - m, (g - 1.0) / (a + 1.0)) * std::exp(-(z - m) / (a + 1.0)) >= x) {
      return (z - m) / h;
    }
  }
}

// ---------------------------------------------------------- shuffled generator

double Dran2(Process& process, std::int32_t& idum) {
  using G = ShuffledGenerator;
  G& s = process.random.shuffled;
  // Remainders take the sign of the dividend, as in 32-bit integer arithmetic. The
  // 64-bit intermediates give the same values wherever 32 bits do not overflow and
  // a sound value for the few seeds where they would.
  if (idum < 0 || !s.started) {
    s.started = true;
    std::int64_t start = (static_cast<std::int64_t>(G::IC) - idum) % G::M;
    // Only a positive seed on the very first call can leave a negative start; it
    // would give negative table entries and uniforms below 0, so it is taken
    // modulo M into [0, M).
    if (start < 0) start += G::M;
    idum = static_cast<std::int32_t>(start);
    for (int k = 1; k <= 97; ++k) {
      idum = (G::IA * idum + G::IC) % G::M;
      s.table[static_cast<std::size_t>(k - 1)] = idum;
    }
    idum = (G::IA * idum + G::IC) % G::M;
    s.IY = idum;
  }
  int j = 1 + (97 * s.IY) / G::M;
  if (j > 97) j = 97;
  if (j < 1) j = 1;
  s.IY = s.table[static_cast<std::size_t>(j - 1)];
  const double u = static_cast<double>(s.IY) * G::RM;
  idum = static_cast<std::int32_t>((static_cast<std::int64_t>(G::IA) * idum + G::IC) % G::M);
  s.table[static_cast<std::size_t>(j - 1)] = idum;
  return u;
}

void Dmtnom(Process& process, int n, int k, const Vec<double>& p, Vec<std::int32_t>& counts,
            std::int32_t& idum) {
  for (int i = 1; i <= k; ++i) counts(i) = 0;
  if (k < 1) return;
  for (int trial = 1; trial <= n; ++trial) {
    const double u = Dran2(process, idum);
    double sum = 0.0;
    int category = k;  // a uniform above the whole sum falls in the last category
    for (int i = 1; i <= k; ++i) {
      sum += p(i);
      if (sum >= u) {
        category = i;
        break;
      }
    }
    ++counts(category);
  }
}

void Mtnom1(Process& process, int k, const Vec<double>& p, int& j, std::int32_t& idum) {
  const double u = Dran2(process, idum);
  double sum = 0.0;
  // When rounding leaves the running sum below the uniform through p(k), the draw
  // falls in the last category, as in the multinomial draw.
  j = k;
  for (int i = 1; i <= k; ++i) {
    sum += p(i);
    if (sum >= u) {
      j = i;
      return;
    }
  }
}

}  // namespace velk
