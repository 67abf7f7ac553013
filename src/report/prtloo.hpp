#pragma once
// The leave-one-out report (.loo): per population and per region of the first
// level, the reference individuals, the shares assigned back to their own
// population and to their own region, and the most common wrong destination;
// with tables, the long table (.loo.csv) of every individual.
#include "data/reference.hpp"
#include "estimate/selfassign.hpp"

namespace velk {

struct Run;

void Prtloo(Run& run, const ReferenceFish& fish, const SelfAssignment& a);

}  // namespace velk
