#include "resample/resample_table.hpp"

#include <cstdlib>

#include "core/paths.hpp"
#include "report/csv.hpp"
#include "report/estimate_table.hpp"

namespace velk {

namespace {

// Level of an area as the tables give it: 0 for a population, the region's
// level otherwise.
int AreaLevel(const Smstat& acc, int a) {
  return a > acc.nr ? 0 : acc.group(a);
}

}  // namespace

void WriteResampleTables(Run& run, Smstat& acc) {
  CsvTable rs({"resample", "level", "id", "name", "estimate"});
  std::vector<std::string> names;
  for (int a = 1; a <= acc.narea; ++a) names.push_back(Trim(acc.name(a)));
  for (int r = 1; r <= acc.count; ++r) {
    for (int a = 1; a <= acc.narea; ++a) {
      rs.Int(r).Int(AreaLevel(acc, a)).Int(acc.number(a)).Text(names[static_cast<std::size_t>(a - 1)]);
      rs.Real(acc.values(a, r)).EndRow();
    }
  }
  if (!WriteCsvTable(run, ".resamples.csv", "Resamples table", rs)) return;

  const SmstatSummary sum = SmstatSummarize(run, acc);
  CsvTable st({"level", "id", "name", "expected", "mean", "std_dev", "root_mse",
               "symmetric_lower", "symmetric_upper", "nonsymmetric_lower", "nonsymmetric_upper",
               "studentized_lower", "studentized_upper", "level_angle_mean", "level_angle_sd",
               "level_distance_mean", "level_distance_sd"});
  for (int a = 1; a <= acc.narea; ++a) {
    const AreaSummary& s = sum.areas[static_cast<std::size_t>(a - 1)];
    st.Int(AreaLevel(acc, a)).Int(acc.number(a)).Text(names[static_cast<std::size_t>(a - 1)]);
    st.Real(s.expected).Real(s.mean).Real(s.sd).Real(s.rmse);
    st.Real(s.symmetric_lo).Real(s.symmetric_hi).Real(s.nonsymmetric_lo).Real(s.nonsymmetric_hi);
    st.Real(s.studentized_lo).Real(s.studentized_hi);
    const LevelSummary* level = nullptr;
    for (const LevelSummary& l : sum.levels)
      if (l.level == acc.group(a)) level = &l;
    if (level != nullptr)
      st.Real(level->angle_mean).Real(level->angle_sd).Real(level->distance_mean).Real(level->distance_sd);
    else
      st.Real(kNotComputed).Real(kNotComputed).Real(kNotComputed).Real(kNotComputed);
    st.EndRow();
  }
  if (!WriteCsvTable(run, ".summary.csv", "Summary table", st)) return;

  const bool model = run.opt.rannala_mountain != 0 || run.opt.pella_masuda != 0;
  ResampleFacts f;
  f.resamples = acc.count;
  f.average_genotypes = acc.genotype_sum / (acc.count > 0 ? acc.count : 1.0);
  f.simulated_sample_size = run.par.sample_size;
  f.seed = run.par.seed;
  f.second_seed = run.opt.resample_baseline != 0 && model ? std::abs(run.par.seco) : 0;
  if (run.opt.estimation != 0 && run.opt.resample_mixture != 0 && acc.has_fit) {
    f.chi_square = acc.chi_square;
    f.fit_df = acc.fit_df;
    f.fit_p = acc.p_value;
  }
  f.unfinished = acc.unfinished;
  WriteRunTable(run, run.results.estimated ? &run.results.facts : nullptr, &f);
}

}  // namespace velk
