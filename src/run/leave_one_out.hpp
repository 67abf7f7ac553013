#pragma once
// Leave-one-out self-assignment of the reference individuals ("Leave-one-out:
// yes" with "Reference individuals file: NAME.ref"): reads them, assigns each
// with its own copies taken out of its population's baseline, writes .loo.
namespace velk {

struct Run;

void LeaveOneOut(Run& run);

}  // namespace velk
