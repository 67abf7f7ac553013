#pragma once
// The data sets of the resamples: the baseline bootstrap (Basim), the mixture
// bootstrap (Distrb), the genotype probabilities of the unchanged mixture after
// a baseline draw (Clprob) and the simulated mixture (MixsimJR, or
// HeldOutMixture of reference individuals scored without their own copies).
//
// Every random draw comes from the shuffled generator through Dmtnom and Mtnom1,
// with the driver's seed variable, in a fixed order, so that a seed repeats a
// resample bit for bit; the Dirichlet draws of the model frequencies come from
// the lagged generator (Relfrq with its draw switch).
//
// The driver owns one DrawWork for the whole resampling run: AllocateDraws sizes
// it once, and the draws reuse it without allocating.
#include <cstdint>
#include <vector>

#include "core/array.hpp"
#include "data/condense.hpp"
#include "data/reference.hpp"
#include "model/gmatrx.hpp"

namespace velk {

struct Run;
struct OptimData;

// The population frequencies a draw's genotype probabilities come from: the
// working baseline's, or a Dirichlet draw from their posterior.
enum class Frequencies { kBaseline, kDirichlet };

// The reference individuals that held-out simulated individuals are drawn
// from, and per population its own (indices into fish).
struct HeldOutPool {
  ReferenceFish fish;
  std::vector<std::vector<int>> of_pop;
};

// A redrawn or simulated mixture: distinct genotypes stored class by class.
struct DrawnMixture {
  int sample_size = 0;  // individuals
  int nclasses = 0;
  int ngenotypes = 0;
  Arr3<std::int8_t> copies;             // (type, character, genotype)
  Vec<std::int32_t> count;              // per genotype: individuals
  Vec<std::int32_t> class_genotypes;    // per class: genotypes
  Vec<std::int32_t> class_individuals;  // per class: individuals
  Vec<std::int32_t> origin;             // Distrb: per genotype, its observed genotype
  // Distrb: per genotype the population of the known fish it stands for (0
  // unknown); empty when the observed mixture has no known fish, and for a
  // simulated mixture.
  Vec<std::int32_t> known;
};

// The storage of every draw of one resampling run.
struct DrawWork {
  DrawnMixture mix;  // Distrb and MixsimJR: the mixture of the resample
  Mat<double> P;     // np x genotypes: probabilities of the resample's genotypes
  Vec<double> lscale;  // per genotype: log-scale of its column of P (model/gmatrx.hpp)
  int nmissing = 0;  // plain model: (population, character) pairs without baseline data in P

  // Distrb: the observed mixture's proportions (count / sample size) and every
  // observed genotype's resampled count, summed over the resamples.
  Vec<double> proportions;
  Vec<std::int32_t> genotype_total;

  // MixsimJR: individuals drawn from every population.
  Vec<std::int32_t> composition;

  // HeldOutMixture: per genotype its reference individual, its population and
  // the ln P of its copies there without them; per reference individual its
  // genotype in the resample (0 none); the genotypes made so far.
  bool held_columns = false;
  Vec<int> held_fish;
  Vec<int> held_pop;
  Vec<double> held_log;
  Vec<int> held_slot;
  int held_genotypes = 0;
  Vec<double> left;  // scratch: frequencies without the individual

  // Scratch.
  Vec<std::int32_t> drawn;  // Dmtnom counts
  Vec<double> prob;         // Basim: probabilities of the observed types
  Vec<int> observed_type;   // Basim: the observed types
  PopulationFrequencies tables;
  std::vector<Vec<double>> draw_freq;  // MixsimJR: (population, character) drawing frequencies
  Vec<int> draw_types;                 // per (population, character): last type that can be drawn
  Vec<int> first_types;                // per (population, character): first type that can be drawn
  Vec<int> no_sample;                  // per (population, character): 1 when the baseline has none
  Mat<std::int8_t> genotype;           // (type, character): one simulated individual
  Condenser condense;                  // MixsimJR: the distinct genotypes simulated
  int capacity = 0;                    // MixsimJR: largest number of distinct genotypes

  // When set, Distrb, Clprob and MixsimJR make the population frequencies (with
  // their random draws) but leave the columns of P to FillColumns, which can
  // then run on another thread: `deferred` columns from `deferred_copies`.
  bool defer_columns = false;
  int deferred = 0;
  const Arr3<std::int8_t>* deferred_copies = nullptr;
  const Vec<std::int32_t>* deferred_known = nullptr;  // their known fish (nullptr: none)
};

// Sizes `work` for the resampling run described by run.par and run.opt: a
// simulation keeps up to run.par.max_genotypes distinct simulated genotypes
// (when the control file sets it; one per individual otherwise); a
// bootstrap keeps the observed mixture's genotypes (run.input) and their
// proportions. Clears the running genotype totals. Message 3000 when the
// storage cannot be had.
void AllocateDraws(Run& run, DrawWork& work);

// Baseline bootstrap: for every population and character in order, the working
// counts become a multinomial sample of the observed sample's size from the
// observed type frequencies. A character with one observed type keeps all its
// copies there and draws nothing; one without sample stays empty.
void Basim(Run& run, const Arr3<std::int16_t>& observed, Arr3<std::int16_t>& working,
           std::int32_t& seed, DrawWork& work);

// Mixture bootstrap: redraws the observed mixture (run.input) as a multinomial
// sample of its genotypes into work.mix, drops genotypes and classes left
// empty, adds the drawn counts to work.genotype_total, and fills work.P from
// the working baseline (run.input.base_counts), each population's frequencies a
// Dirichlet draw under kDirichlet.
void Distrb(Run& run, Frequencies frequencies, std::int32_t& seed, DrawWork& work);

// Genotype probabilities of the observed mixture's genotypes (run.input) under
// the working baseline into work.P, Dirichlet-drawn frequencies under
// kDirichlet.
void Clprob(Run& run, Frequencies frequencies, DrawWork& work);

// Simulated mixture of n individuals at the true proportions `theta`: each
// individual's population, then its gene copies character by character, from
// the `drawing` counts (type, character, population); genotype probabilities
// from the working baseline (run.input.base_counts), Dirichlet-drawn under
// kDirichlet. Fills work.mix (one class), work.P and work.composition.
// Message 3032 for an individual of a population without sample for a
// character under the plain model; 3023 when the distinct genotypes exceed
// run.par.max_genotypes (a capacity the control file set).
void MixsimJR(Run& run, const Arr3<std::int16_t>& drawing, const Vec<double>& theta, int n,
              Frequencies frequencies, std::int32_t& seed, DrawWork& work);

// Simulated mixture of n held-out individuals at the true proportions
// `theta`: each individual's population, then one of that population's
// reference individuals (pool), drawn with replacement, its missing characters
// kept. Its genotype probabilities come from the working baseline
// (run.input.base_counts; Dirichlet-drawn under kDirichlet), in its own
// population from that population's counts without its copies (the model's
// frequencies, not drawn). A reference individual drawn again in the same
// mixture adds to its genotype. Fills work.mix (one class), work.P and
// work.composition. Message 3052 for a population with a positive share and
// no reference individual; 3023 as MixsimJR.
void HeldOutMixture(Run& run, const HeldOutPool& pool, const Vec<double>& theta, int n,
                    Frequencies frequencies, std::int32_t& seed, DrawWork& work);

// The columns of P that a draw left (work.defer_columns): exactly the values
// the draw would have made. Clears work.deferred.
void FillColumns(Run& run, DrawWork& work);

// What a maximisation needs for the resample's own mixture (work.mix, work.P)
// and the run's working baseline.
OptimData DrawnOptimData(Run& run, DrawWork& work);

}  // namespace velk
