#pragma once
// The baseline reader: fills the baseline counts and totals of the input block
// from one baseline file with "#" population blocks, or from one file per
// population, and counts the (population, character) pairs without data.
#include "core/run.hpp"

namespace velk {

// Reads the baseline named by run.files (one file when the baseline name is
// given, otherwise one file per population, named by the path and each
// population's file name). run.input.base_counts (max_types x nchar x npop) and
// run.input.base_totals (nchar x npop) are filled, run.input.nmissing_base set.
// Every problem of the baseline is reported before fatal 3010; the caller tests
// run.error.stop afterwards.
void Base(Run& run);

}  // namespace velk
