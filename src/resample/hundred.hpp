#pragma once
// Hundred percent simulations: the simulation run once per unit (every
// population, or every region of the first level), each time with the unit's
// true share 1.0. A region's share is divided equally among its populations.
//
// Unit u has seeds of its own, made from the run's: the random seed
// -((|seed| + 7654321 (u - 1)) mod 10000000) and the second random seed
// (|second seed| + 7654321 (u - 1)) mod 10000000 (unit 1 keeps seeds below ten
// million as they are). A unit's resamples are those of a simulation control
// file with the unit's true proportions and these seeds, run in a process of
// its own: the lagged generator is seeded afresh for every unit.
//
// The report (.hps) gives, per unit, the mean estimate of the unit over its
// resamples, its standard deviation, root mean square error against 1.0, the
// share of resamples that estimate it at 0.9 or more, its seeds, and the mean
// share the resamples give to every other region of the first level.
#include <cstdint>
#include <string>
#include <vector>

#include "core/array.hpp"
#include "core/layout/unit.hpp"

namespace velk {

struct Run;
struct Smstat;

struct HundredUnits {
  bool by_region = false;
  int count = 0;                   // units
  Vec<std::string> name;           // per unit, 30 characters
  std::vector<Vec<double>> truth;  // per unit: true proportion of every population
  Vec<std::int32_t> seed;          // per unit: random seed (0 or negative)
  Vec<std::int32_t> seco;          // per unit: second random seed
  int nregions1 = 0;               // regions of the first level
  Vec<int> region_of;              // per population: its region of the first level (0 none)
};

// The units of the run and their true proportions and seeds. By region without
// regions of the first level: message 3050. Out of memory: message 3000. False
// when the run stopped.
[[nodiscard]] bool HundredSetUp(Run& run, HundredUnits& units);

// The seeds of unit u from the run's seeds.
std::int32_t HundredSeed(std::int32_t seed, int u);
std::int32_t HundredSecondSeed(std::int32_t seco, int u);

// Per scenario unit: every unit's mean, deviation and root MSE over the
// resamples, the share of resamples at 0.9 or more for the unit itself, and
// every first-level region's mean share.
struct HundredSummary {
  int resamples = 0;
  Mat<double> mean, sd, rmse;  // (estimated unit, scenario unit)
  Vec<double> high;            // per scenario unit: share of resamples >= 0.9
  Mat<double> region_mean;     // (region of level 1, scenario unit)
  bool unfinished = false;     // a resample ended at the iteration limit
};

// Over the acc.count resamples of `acc` (at least one): the mean estimate of
// area a, the sum of squared deviations from that mean and the sum of squared
// deviations from `truth`.
void ResampleMoments(const Smstat& acc, int a, double truth, double& mean, double& ss, double& dev);

// Sizes the summary for the units.
void HundredBegin(const HundredUnits& units, int nresamples, HundredSummary& sum);

// Takes the resamples of scenario unit u from the accumulators of its simulation.
void HundredAdd(const HundredUnits& units, int u, const Smstat& acc, HundredSummary& sum);

// Writes the report (.hps) and, with tables asked for, the long table (.hps.csv).
void HundredReport(Run& run, const HundredUnits& units, const HundredSummary& sum);
// The settings lines that the hundred percent and scenario reports share: the
// sample size, resamples, seeds, kind of simulated individuals, frequency
// model and, when a resample did not converge, the warning.
void WriteResampleSettings(const Run& run, int resamples, bool unfinished, Unit& out);

}  // namespace velk
