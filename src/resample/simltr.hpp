#pragma once
// The simulation and bootstrap driver: R resamples, each a fresh data set
// (simulated mixture, redrawn mixture and/or redrawn baseline) and a fresh
// maximum-likelihood estimate, with the per-resample files (.itr, .rsm, .rlk,
// .rst), the counter in the status text, and the summary report after the loop.
//
// The run's seed is copied into the driver's seed variable, which every draw
// rewrites. A seed of 0 restarts the shuffled generator as the first draw of a
// process does, so that every seed, 0 included, repeats its run.
//
// The front end may ask the run to stop (run.stop_request); the driver looks
// between resamples and ends the loop as after a fatal message (3037), every
// file closed and kept.
namespace velk {

struct Run;

// Runs the simulation (run.opt.estimation == 0) or the bootstrap of the
// estimate left in the populations table by the estimation.
void Simltr(Run& run);

}  // namespace velk
