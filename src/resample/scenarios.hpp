#pragma once
// Scenario simulations: the simulation run once per scenario of the scenarios
// file (data/scenarios.hpp), each with the scenario's true shares, as the
// hundred percent simulations run once per unit (resample/hundred.hpp): the
// run's resamples, sample size and frequency model, scenario s with the seeds
// of hundred percent unit s, the lagged generator seeded afresh per scenario.
// So a scenario that gives one unit the share 1.0, as scenario u, repeats
// hundred percent unit u resample for resample.
//
// Scenarios by region divide a region's share among its populations equally,
// or ("Within-region shares: Dirichlet") in proportion to a Dirichlet draw
// made for every resample with every population's parameter the run's
// "Dirichlet concentration" (gamma variates of the lagged generator, drawn
// before the resample's mixture): the region's share stays as given, its
// populations' shares vary from resample to resample.
//
// The report (.sco) gives, per scenario, its seeds and for every unit its true
// share, the mean estimate over the resamples, its standard deviation, root
// mean square error against the true share and the share of resamples within
// 0.1 of it; with tables asked for, the long table .scenarios.csv.
#include <vector>

#include "core/array.hpp"
#include "data/scenarios.hpp"
#include "resample/hundred.hpp"

namespace velk {

struct Process;
struct Run;
struct Smstat;

// The populations' shares of one scenario by region with Dirichlet draws.
struct WithinRegionShares {
  double concentration = 1.5;
  std::vector<std::vector<int>> members;  // per region of the first level: its populations
  Vec<double> region_share;               // per region of the first level
};

// expected(i) of every population of a region: the region's share times its
// part of one Dirichlet draw over the region's populations (every parameter
// the concentration; a region of one population, or of share 0, without a draw).
void DrawWithinRegion(Process& process, const WithinRegionShares& w, Vec<double>& expected);

// A scenario run: its scenarios, the driver's units (per scenario its name,
// seeds and starting proportions of the populations) and, with Dirichlet
// draws, every scenario's draw.
struct ScenarioRun {
  ScenarioList scenarios;
  HundredUnits units;
  std::vector<WithinRegionShares> within;  // empty: shares within regions equal
};

// Reads the scenarios file and sets up the run. Scenarios by region without
// regions of the first level: message 3061; Dirichlet shares of scenarios by
// population: warning 1061. False when the run stopped.
[[nodiscard]] bool ScenarioSetUp(Run& run, ScenarioRun& sr);

// Per scenario and unit: the mean estimate, deviation and root MSE over the
// resamples and the share of resamples within 0.1 of the truth.
struct ScenarioSummary {
  int resamples = 0;
  Mat<double> mean, sd, rmse, within, high;  // (unit, scenario); high: at 0.9 or more
  bool unfinished = false;             // a resample ended at the iteration limit
};

void ScenarioBegin(const ScenarioRun& sr, int nresamples, ScenarioSummary& sum);

// Takes the resamples of scenario s from the accumulators of its simulation.
void ScenarioAdd(const ScenarioRun& sr, int s, const Smstat& acc, ScenarioSummary& sum);

// Writes the report (.sco) and, with tables asked for, .scenarios.csv.
void ScenarioReport(Run& run, const ScenarioRun& sr, const ScenarioSummary& sum);

}  // namespace velk
