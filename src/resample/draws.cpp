#include "resample/draws.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <new>

#include "core/error.hpp"
#include "core/paths.hpp"
#include "core/run.hpp"
#include "estimate/optim.hpp"
#include "estimate/selfassign.hpp"
#include "numeric/random.hpp"

namespace velk {

namespace {

constexpr std::int32_t kCountMax = std::numeric_limits<std::int16_t>::max();

// The most distinct genotypes a simulated mixture may hold: the capacity the
// control file set or, when it set none, one per simulated individual.
int MostSimulated(const Run& run) {
  return run.par.genotypes_given ? run.par.max_genotypes : INT_MAX;
}

// Popfrq's draw switch.
int DrawSwitch(Frequencies frequencies) {
  return frequencies == Frequencies::kDirichlet ? 1 : 0;
}

// Sizes the simulated mixture's storage for `capacity` distinct genotypes.
void SizeSimulated(Run& run, DrawWork& work, int capacity) {
  const int np = run.par.npop;
  const int nc = run.par.nchar;
  const int maxtyp = run.par.max_types;
  DrawnMixture& mix = work.mix;
  mix.copies.Resize(maxtyp, nc, capacity);
  mix.count.Resize(capacity);
  mix.class_genotypes.Resize(1);
  mix.class_individuals.Resize(1);
  work.P.Resize(np, capacity);
  work.lscale.Resize(capacity);
  work.capacity = capacity;
  Vec<int> types(nc);
  std::vector<int> ploidies(static_cast<std::size_t>(std::max(nc, 0)));
  for (int c = 1; c <= nc; ++c) {
    types(c) = std::clamp(run.chars(c).ntypes, 0, std::max(maxtyp, 0));
    ploidies[static_cast<std::size_t>(c - 1)] = run.chars(c).ploidy;
  }
  work.condense = Condenser(types, maxtyp, ploidies);
}

}  // namespace

void AllocateDraws(Run& run, DrawWork& work) {
  const int np = run.par.npop;
  const int nc = run.par.nchar;
  const int maxtyp = run.par.max_types;
  const Input& in = run.input;
  try {
    work.composition.Resize(np);
    work.prob.Resize(std::max(maxtyp, 1));
    work.observed_type.Resize(std::max(maxtyp, 1));
    work.genotype.Resize(maxtyp, nc);
    work.draw_freq.assign(static_cast<std::size_t>(np) * static_cast<std::size_t>(nc),
                          Vec<double>(std::max(maxtyp, 1)));
    work.draw_types.Resize(np * nc);
    work.first_types.Resize(np * nc);
    work.no_sample.Resize(np * nc);
    int ndrawn = std::max(maxtyp, 1);
    if (run.opt.estimation == 0) {
      // At most one distinct genotype per simulated individual.
      const int capacity =
          std::max(1, std::min(MostSimulated(run), std::max(run.par.sample_size, 1)));
      SizeSimulated(run, work, capacity);
      work.proportions.Free();
      work.genotype_total.Free();
    } else {
      const int ng = in.ngenotypes;
      DrawnMixture& mix = work.mix;
      mix.copies.Resize(maxtyp, nc, std::max(ng, 1));
      mix.count.Resize(std::max(ng, 1));
      mix.origin.Resize(std::max(ng, 1));
      if (in.geno_known.Size() > 0)
        mix.known.Resize(std::max(ng, 1));
      else
        mix.known.Free();
      mix.class_genotypes.Resize(std::max(in.nclasses, 1));
      mix.class_individuals.Resize(std::max(in.nclasses, 1));
      work.P.Resize(np, std::max(ng, 1));
      work.lscale.Resize(std::max(ng, 1));
      work.proportions.Resize(std::max(ng, 1));
      work.genotype_total.Resize(std::max(ng, 1));
      const double n = in.sample_size;
      for (int g = 1; g <= ng; ++g) work.proportions(g) = static_cast<double>(in.geno_count(g)) / n;
      ndrawn = std::max(ndrawn, ng);
      work.capacity = 0;
    }
    work.drawn.Resize(ndrawn);
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    return;
  }
  work.genotype_total.Fill(0);
  work.mix.sample_size = work.mix.nclasses = work.mix.ngenotypes = 0;
}

void Basim(Run& run, const Arr3<std::int16_t>& observed, Arr3<std::int16_t>& working,
           std::int32_t& seed, DrawWork& work) {
  const int np = run.par.npop;
  const int nc = run.par.nchar;
  const int maxtyp = run.par.max_types;
  for (int i = 1; i <= np; ++i) {
    for (int c = 1; c <= nc; ++c) {
      const int t = run.chars(c).ntypes;
      std::int16_t* w = working.Ptr(1, c, i);
      const std::int16_t* o = observed.Ptr(1, c, i);
      for (int k = 0; k < maxtyp; ++k) w[k] = 0;
      // The observed types, in type order, and the sample size.
      int K = 0;
      std::int32_t N = 0;
      for (int k = 1; k <= t; ++k) {
        if (o[k - 1] <= 0) continue;
        work.observed_type(++K) = k;
        N += o[k - 1];
      }
      if (K == 0) continue;
      if (K == 1) {
        w[work.observed_type(1) - 1] = static_cast<std::int16_t>(N);
        continue;
      }
      const double total = N;
      for (int m = 1; m <= K; ++m) {
        work.prob(m) = static_cast<double>(o[work.observed_type(m) - 1]) / total;
      }
      Dmtnom(run.process, N, K, work.prob, work.drawn, seed);
      // A type's count is 16 bits wide; a sample larger than that keeps the
      // excess off the type rather than wrapping it round to a negative count.
      for (int m = 1; m <= K; ++m) {
        w[work.observed_type(m) - 1] =
            static_cast<std::int16_t>(std::min(work.drawn(m), kCountMax));
      }
    }
  }
}

void Distrb(Run& run, Frequencies frequencies, std::int32_t& seed, DrawWork& work) {
  const Input& in = run.input;
  const int ng = in.ngenotypes;
  const std::size_t len =
      static_cast<std::size_t>(run.par.max_types) * static_cast<std::size_t>(run.par.nchar);
  DrawnMixture& mix = work.mix;

  Dmtnom(run.process, in.sample_size, ng, work.proportions, work.drawn, seed);

  // Keep the genotypes drawn at least once, in order, packed to the front.
  int g = 0;
  int kept = 0;
  int classes = 0;
  int sample = 0;
  for (int k = 1; k <= in.nclasses; ++k) {
    int genotypes = 0;
    int individuals = 0;
    for (int m = 1; m <= in.class_genotypes(k); ++m) {
      ++g;
      const std::int32_t n = work.drawn(g);
      work.genotype_total(g) += n;
      if (n == 0) continue;
      ++kept;
      std::memcpy(mix.copies.Ptr(1, 1, kept), in.copies.Ptr(1, 1, g), len);
      mix.count(kept) = n;
      mix.origin(kept) = g;
      if (mix.known.Size() > 0) mix.known(kept) = g <= in.geno_known.Size() ? in.geno_known(g) : 0;
      ++genotypes;
      individuals += n;
    }
    if (individuals == 0) continue;  // every genotype of the class drew 0
    ++classes;
    mix.class_genotypes(classes) = genotypes;
    mix.class_individuals(classes) = individuals;
    sample += individuals;
  }
  mix.ngenotypes = kept;
  mix.nclasses = classes;
  mix.sample_size = sample;

  // Probabilities of the kept genotypes, the frequencies made once.
  work.nmissing = 0;
  work.deferred = 0;
  if (kept == 0) return;
  Popfrq(run, in.base_counts, in.base_totals, DrawSwitch(frequencies), work.tables, work.nmissing);
  if (run.error.stop != 0) return;
  if (work.defer_columns) {
    work.deferred = kept;
    work.deferred_copies = &mix.copies;
    work.deferred_known = &mix.known;
    return;
  }
  for (int j = 1; j <= kept; ++j) {
    Gpcol(run, work.tables, mix.copies.Ptr(1, 1, j), work.P.Ptr(1, j), work.lscale(j));
    if (run.error.stop != 0) return;
    KnownColumnOf(mix.known, j, work.P, work.lscale);
  }
}

void Clprob(Run& run, Frequencies frequencies, DrawWork& work) {
  const Input& in = run.input;
  const int np = run.par.npop;
  if (work.P.Rows() != np || work.P.Cols() < in.ngenotypes) {
    try {
      work.P.Resize(np, std::max(in.ngenotypes, 1));
      work.lscale.Resize(std::max(in.ngenotypes, 1));
    } catch (const std::bad_alloc&) {
      Error(run, 3000);
      return;
    }
  }
  work.deferred = 0;
  Popfrq(run, in.base_counts, in.base_totals, DrawSwitch(frequencies), work.tables, work.nmissing);
  if (run.error.stop != 0) return;
  if (work.defer_columns) {
    work.deferred = in.ngenotypes;
    work.deferred_copies = &in.copies;
    work.deferred_known = &in.geno_known;
    return;
  }
  for (int g = 1; g <= in.ngenotypes; ++g) {
    Gpcol(run, work.tables, in.copies.Ptr(1, 1, g), work.P.Ptr(1, g), work.lscale(g));
    if (run.error.stop != 0) return;
    KnownColumnOf(in.geno_known, g, work.P, work.lscale);
  }
}

namespace {

// The drawing frequencies of population i (index idx) at character c from its
// drawing counts x, and the first and last types that can be drawn.
void SetDrawingFrequencies(const Run& run, const std::int16_t* x, int c, int idx, DrawWork& work) {
  const bool rannala = run.opt.rannala_mountain != 0;
  const bool pella = run.opt.pella_masuda != 0;
  const int t = run.chars(c).ntypes;
  double* f = work.draw_freq[static_cast<std::size_t>(idx - 1)].Data();
  work.no_sample(idx) = 0;
  if (rannala || pella) {
    if (rannala) {
      const double prior = 1.0 / t;
      for (int k = 0; k < t; ++k) f[k] = static_cast<double>(x[k]) + prior;
    } else {
      const double w = run.input.pm_weight(c);
      const double* prior = run.input.pm_prior.Ptr(1, c);
      for (int k = 0; k < t; ++k) f[k] = static_cast<double>(x[k]) + w * prior[k];
    }
    double s = 0.0;
    for (int k = 0; k < t; ++k) s += f[k];
    for (int k = 0; k < t; ++k) f[k] = f[k] / s;
  } else {
    std::int32_t total = 0;
    for (int k = 0; k < t; ++k) total += x[k];
    if (total < 1) {
      work.no_sample(idx) = 1;
      for (int k = 0; k < t; ++k) f[k] = 0.0;
    } else {
      const double divisor = total;
      for (int k = 0; k < t; ++k) f[k] = static_cast<double>(x[k]) / divisor;
    }
  }
  // A uniform that rounding leaves above the running sum falls in the last
  // type that can occur, never in a trailing type of frequency 0; a uniform
  // of exactly 0 falls in the first type that can occur.
  int last = t;
  while (last > 1 && !(f[last - 1] > 0.0)) --last;
  int first = 1;
  while (first < last && !(f[first - 1] > 0.0)) ++first;
  work.draw_types(idx) = last;
  work.first_types(idx) = first;
}

// The population of the next simulated individual at the true proportions
// The first and last populations with a positive share (1 and 1 when none is).
std::pair<int, int> PositiveRange(const Vec<double>& theta) {
  int last = theta.Size();
  while (last > 1 && !(theta(last) > 0.0)) --last;
  int first = 1;
  while (first < last && !(theta(first) > 0.0)) ++first;
  return {first, last};
}

// theta, whose first and last positive shares are firstpop and lastpop.
int DrawPopulation(Run& run, const Vec<double>& theta, int firstpop, int lastpop,
                   std::int32_t& seed) {
  int j = lastpop;
  Mtnom1(run.process, lastpop, theta, j, seed);
  return theta(j) > 0.0 ? j : firstpop;
}

// Room for every distinct genotype a simulation of n individuals can make;
// false after 3000.
[[nodiscard]] bool MakeSimulatedRoom(Run& run, int n, DrawWork& work) {
  const int nc = run.par.nchar;
  const int maxtyp = run.par.max_types;
  const int needed = std::max(1, std::min(MostSimulated(run), std::max(n, 1)));
  if (needed > work.capacity || work.genotype.Rows() != maxtyp || work.genotype.Cols() != nc) {
    try {
      SizeSimulated(run, work, needed);
      work.genotype.Resize(maxtyp, nc);
    } catch (const std::bad_alloc&) {
      Error(run, 3000);
      return false;
    }
  }
  return true;
}

// One individual of population j into work.genotype, its gene copies
// character by character; false after 3032 (no sample to draw from).
[[nodiscard]] bool DrawIndividual(Run& run, int j, std::int32_t& seed, DrawWork& work) {
  const int nc = run.par.nchar;
  const int maxtyp = run.par.max_types;
  for (int c = 1; c <= nc; ++c) {
    std::int8_t* x = work.genotype.Ptr(1, c);
    for (int k = 0; k < maxtyp; ++k) x[k] = 0;
    const int idx = (j - 1) * nc + c;
    if (work.no_sample(idx) != 0) {
      Error(run, 3032,
            {.a1 = j <= run.pops.Size() ? Trim(run.pops(j).name) : std::to_string(j),
             .a2 = Trim(run.chars(c).name)});
      return false;
    }
    const Vec<double>& f = work.draw_freq[static_cast<std::size_t>(idx - 1)];
    const int last = work.draw_types(idx);
    const int copies = run.chars(c).ploidy;
    for (int copy = 1; copy <= copies; ++copy) {
      int k = last;
      Mtnom1(run.process, last, f, k, seed);
      if (!(f(k) > 0.0)) k = work.first_types(idx);
      ++x[k - 1];
    }
  }
  return true;
}

// Stores the new genotype g of work.genotype and its probability in every
// population (the frequencies made at the first); false when the run stopped.
[[nodiscard]] bool AddSimulatedGenotype(Run& run, int g, Frequencies frequencies,
                                        bool& frequencies_made, DrawWork& work) {
  DrawnMixture& mix = work.mix;
  const std::size_t len =
      static_cast<std::size_t>(run.par.max_types) * static_cast<std::size_t>(run.par.nchar);
  mix.ngenotypes = g;
  std::memcpy(mix.copies.Ptr(1, 1, g), work.genotype.Data(), len);
  if (!frequencies_made) {
    Popfrq(run, run.input.base_counts, run.input.base_totals, DrawSwitch(frequencies), work.tables,
           work.nmissing);
    if (run.error.stop != 0) return false;
    frequencies_made = true;
  }
  if (work.defer_columns) {
    work.deferred = g;
    return true;
  }
  Gpcol(run, work.tables, mix.copies.Ptr(1, 1, g), work.P.Ptr(1, g), work.lscale(g));
  return run.error.stop == 0;
}

}  // namespace

void MixsimJR(Run& run, const Arr3<std::int16_t>& drawing, const Vec<double>& theta, int n,
              Frequencies frequencies, std::int32_t& seed, DrawWork& work) {
  const int np = run.par.npop;
  const int nc = run.par.nchar;
  DrawnMixture& mix = work.mix;
  if (!MakeSimulatedRoom(run, n, work)) return;
  work.condense.Clear();

  // Every population's drawing frequencies, from the drawing counts.
  for (int i = 1; i <= np; ++i)
    for (int c = 1; c <= nc; ++c)
      SetDrawingFrequencies(run, drawing.Ptr(1, c, i), c, (i - 1) * nc + c, work);
  // Likewise the first and last populations with a positive proportion.
  const auto [firstpop, lastpop] = PositiveRange(theta);

  work.composition.Fill(0);
  mix.ngenotypes = 0;
  bool frequencies_made = false;
  work.nmissing = 0;
  work.deferred = 0;
  work.deferred_copies = &mix.copies;
  work.deferred_known = nullptr;
  mix.known.Free();
  CondenseLimits limits{.genotypes = MostSimulated(run), .classes = INT_MAX};

  for (int ind = 1; ind <= n; ++ind) {
    const int j = DrawPopulation(run, theta, firstpop, lastpop, seed);
    ++work.composition(j);
    if (!DrawIndividual(run, j, seed, work)) return;

    // Find the genotype among those simulated so far, or add it.
    const Placed placed = work.condense.Place(work.genotype, limits);
    if (placed == Placed::kKnown) {
      ++mix.count(work.condense.Last());
      continue;
    }
    if (placed == Placed::kInexactKey) {
      Error(run, 3029);
      return;
    }
    if (placed != Placed::kNewGenotype) {
      Error(run, 3023, {.a1 = "geneotypes", .n1 = limits.genotypes});
      return;
    }
    const int g = work.condense.Last();
    mix.count(g) = 1;
    if (!AddSimulatedGenotype(run, g, frequencies, frequencies_made, work)) return;
  }

  // Every simulated individual is scored at every character: one class.
  mix.sample_size = n;
  mix.nclasses = n > 0 ? 1 : 0;
  mix.class_genotypes(1) = mix.ngenotypes;
  mix.class_individuals(1) = n;
}

namespace {

// Entry j of column g, made by Gpcol, becomes exp(own), the column kept
// scaled as Gpcol keeps columns; tables.lp is the scratch.
void PutOwnTerm(int np, int j, double own, double* col, double& lscale,
                PopulationFrequencies& tables) {
  if (lscale == 0.0) {
    double top = std::exp(own);
    for (int i = 1; i <= np; ++i)
      if (i != j) top = std::max(top, col[i - 1]);
    if (top >= kScaleBound) {
      col[j - 1] = std::exp(own);
      return;
    }
  }
  for (int i = 1; i <= np; ++i)
    tables.lp(i) =
        col[i - 1] > 0.0 ? std::log(col[i - 1]) + lscale : -std::numeric_limits<double>::infinity();
  tables.lp(j) = own;
  ScaleColumn(np, tables.lp.Data(), col, lscale);
}

// Column g of P: Gpcol, and for a held-out individual its own population's term.
void MakeColumn(Run& run, const Arr3<std::int8_t>& copies, int g, DrawWork& work) {
  Gpcol(run, work.tables, copies.Ptr(1, 1, g), work.P.Ptr(1, g), work.lscale(g));
  if (run.error.stop != 0) return;
  if (work.deferred_known != nullptr) KnownColumnOf(*work.deferred_known, g, work.P, work.lscale);
  if (!work.held_columns) return;
  PutOwnTerm(run.par.npop, work.held_pop(g), work.held_log(g), work.P.Ptr(1, g), work.lscale(g),
             work.tables);
}

// Room for the held-out genotypes and the slots of the pool's individuals;
// false after 3000.
[[nodiscard]] bool MakeHeldRoom(Run& run, const HeldOutPool& pool, DrawWork& work) {
  try {
    if (work.held_fish.Size() < work.capacity) {
      work.held_fish.Resize(work.capacity);
      work.held_pop.Resize(work.capacity);
      work.held_log.Resize(work.capacity);
    }
    if (work.held_slot.Size() < pool.fish.count) {
      work.held_slot.Resize(pool.fish.count, 0);
      work.held_genotypes = 0;
    }
    if (work.left.Size() < run.par.max_types) work.left.Resize(std::max(run.par.max_types, 1));
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    return false;
  }
  return true;
}

// Message 3052 for the first population with a positive share and no
// reference individual; false then.
[[nodiscard]] bool EverySharedPopulationHeld(Run& run, const HeldOutPool& pool,
                                             const Vec<double>& theta) {
  for (int i = 1; i <= run.par.npop; ++i) {
    if (!(theta(i) > 0.0) || !pool.of_pop[static_cast<std::size_t>(i) - 1].empty()) continue;
    Error(run, 3052, {.a1 = i <= run.pops.Size() ? Trim(run.pops(i).name) : std::to_string(i)});
    return false;
  }
  return true;
}

// Reference individual f of population j as genotype g of the mixture.
void AddHeldGenotype(Run& run, const HeldOutPool& pool, int f, int j, int g, DrawWork& work) {
  const Input& in = run.input;
  const std::size_t len =
      static_cast<std::size_t>(run.par.max_types) * static_cast<std::size_t>(run.par.nchar);
  DrawnMixture& mix = work.mix;
  mix.ngenotypes = g;
  mix.count(g) = 1;
  std::memcpy(mix.copies.Ptr(1, 1, g), pool.fish.copies.Ptr(1, 1, f), len);
  work.held_slot(f) = g;
  work.held_fish(g) = f;
  work.held_genotypes = g;
  work.held_pop(g) = j;
  work.held_log(g) = OwnLogLikelihood(run, in.base_counts, in.base_totals, mix.copies.Ptr(1, 1, g),
                                      j, work.left.Data());
}

}  // namespace

void HeldOutMixture(Run& run, const HeldOutPool& pool, const Vec<double>& theta, int n,
                    Frequencies frequencies, std::int32_t& seed, DrawWork& work) {
  DrawnMixture& mix = work.mix;
  if (!MakeSimulatedRoom(run, n, work) || !MakeHeldRoom(run, pool, work)) return;
  if (!EverySharedPopulationHeld(run, pool, theta)) return;
  for (int g = 1; g <= work.held_genotypes; ++g) work.held_slot(work.held_fish(g)) = 0;
  work.held_genotypes = 0;
  work.held_columns = true;
  const auto [firstpop, lastpop] = PositiveRange(theta);

  work.composition.Fill(0);
  mix.ngenotypes = 0;
  work.deferred = 0;
  work.deferred_copies = &mix.copies;
  work.deferred_known = nullptr;
  mix.known.Free();
  Popfrq(run, run.input.base_counts, run.input.base_totals, DrawSwitch(frequencies), work.tables,
         work.nmissing);
  if (run.error.stop != 0) return;
  const int most = MostSimulated(run);
  for (int ind = 1; ind <= n; ++ind) {
    const int j = DrawPopulation(run, theta, firstpop, lastpop, seed);
    ++work.composition(j);
    const std::vector<int>& members = pool.of_pop[static_cast<std::size_t>(j) - 1];
    const int size = static_cast<int>(members.size());
    const int pick = std::min(static_cast<int>(Dran2(run.process, seed) * size), size - 1);
    const int f = members[static_cast<std::size_t>(pick)];
    if (work.held_slot(f) > 0) {
      ++mix.count(work.held_slot(f));
      continue;
    }
    if (mix.ngenotypes >= most) {
      Error(run, 3023, {.a1 = "geneotypes", .n1 = most});
      return;
    }
    const int g = mix.ngenotypes + 1;
    AddHeldGenotype(run, pool, f, j, g, work);
    if (work.defer_columns) {
      work.deferred = g;
      continue;
    }
    MakeColumn(run, mix.copies, g, work);
    if (run.error.stop != 0) return;
  }
  mix.sample_size = n;
  mix.nclasses = n > 0 ? 1 : 0;
  mix.class_genotypes(1) = mix.ngenotypes;
  mix.class_individuals(1) = n;
}

void FillColumns(Run& run, DrawWork& work) {
  for (int g = 1; g <= work.deferred; ++g) {
    MakeColumn(run, *work.deferred_copies, g, work);
    if (run.error.stop != 0) return;
  }
  work.deferred = 0;
}

OptimData DrawnOptimData(Run& run, DrawWork& work) {
  Input& in = run.input;
  return OptimData{.P = work.P,
                   .lscale = work.lscale,
                   .count = work.mix.count,
                   .class_genotypes = work.mix.class_genotypes,
                   .class_individuals = work.mix.class_individuals,
                   .nclasses = work.mix.nclasses,
                   .copies = work.mix.copies,
                   .base_totals = in.base_totals,
                   .base_counts = in.base_counts,
                   .nmissing = in.nmissing_base,
                   .missing_totals = in.missing_totals,
                   .missing_freqs = in.missing_freqs,
                   .known = &work.mix.known};
}

}  // namespace velk
