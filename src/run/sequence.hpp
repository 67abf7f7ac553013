#pragma once
// The run sequence after the control file: directories, arrays, data readers,
// estimation and resampling.
#include "core/run.hpp"

namespace velk {

// Runs the analysis that Gparse has read; pops the context Gparse left pushed.
void RunSequence(Run& run);

}  // namespace velk
