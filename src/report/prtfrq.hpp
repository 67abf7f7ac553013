#pragma once
// The baseline summary (.bsl): every population's sample sizes and type
// frequencies character by character, the frequencies estimated for missing
// baseline, and the posterior means under the Rannala-Mountain and Pella-Masuda
// models; and the table of Pella-Masuda weights in the estimates or simulation
// report.
#include "core/array.hpp"
#include "core/run.hpp"

namespace velk {

// Missing-baseline entries as a label row shows them: per entry one total and
// one column of type frequencies (largest number of types long). Entries are
// numbered population by population and, within a population, character by
// character.
struct MissingEntries {
  const Vec<double>& totals;
  const Mat<double>& freqs;
};

// Writes the baseline summary on report slot 1, with "Estimate" rows from
// `estimate` when baseline is missing. The simulation driver also gives `mean`
// and `sd` (both or neither), which add the "Mean" and "Std.Dev." rows. With the
// output base name "USER" nothing is written. A failed open stops the run (3030).
void Prtfrq(Run& run, const MissingEntries& estimate, const MissingEntries* mean = nullptr,
            const MissingEntries* sd = nullptr);
// The estimation run's summary: Estimate rows from run.input's missing-baseline arrays.
void Prtfrq(Run& run);

// Writes the weight of the prior means of every character for every population
// (Pella-Masuda model) on the estimates unit (slot 5) of an estimation run, or
// the simulation unit (slot 6) otherwise. Nothing is written when the unit is
// not open.
void prweight(Run& run);
// The line naming the baseline frequency model, when it is not the plain one,
// in the resampling and evaluation reports.
void WriteFrequencyModel(const Run& run, Unit& out);

}  // namespace velk
