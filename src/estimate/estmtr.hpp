#pragma once
// The estimation run: from the data read to the estimate, its standard errors,
// regional sums and confidence intervals, and every report the options ask for.
namespace velk {

struct Run;

// One estimation on run.input: the genotype probability matrix, the
// maximisation from the initial estimates of the populations table (the
// estimate is left in run.pops(i).estimate), the regional sums, the
// infinitesimal jackknife, the normal and likelihood-profile intervals, and the
// iteration, estimates, condensed-mixture, conditional-probability, baseline
// and null-likelihood reports. Every way out closes its report files.
void Estmtr(Run& run);

}  // namespace velk
