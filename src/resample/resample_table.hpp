#pragma once
// The tables of a simulation or bootstrap: every resample's estimate of every
// region and population (.resamples.csv, long form), the summary of every
// area as the summary report prints it (.summary.csv) and the run table with
// the resampling's facts.
#include "core/run.hpp"
#include "resample/smstat.hpp"

namespace velk {

void WriteResampleTables(Run& run, Smstat& acc);

}  // namespace velk
