#include "report/estimate_table.hpp"

#include <algorithm>

#include "core/paths.hpp"
#include "data/full_names.hpp"
#include "estimate/likelihood.hpp"
#include "numeric/distributions.hpp"
#include "report/csv.hpp"

namespace velk {

double CoefficientOfVariation(double estimate, double sd) {
  return estimate > 0.00001 ? sd / estimate : 0.0;
}

std::vector<EstimateRow> EstimateRows(const Run& run, const EstimatesReport& est) {
  int nobs = 0;
  for (int k = 1; k <= est.nclasses; ++k) nobs += est.class_individuals(k);
  const int np = run.par.npop;
  const int nr = run.par.nregions;
  const Regions& g = run.regions;
  const double z = DNORIN((1.0 + run.par.confidence / 100.0) / 2.0);
  auto spread = [&](EstimateRow& row, double sd) {
    row.se = sd;
    row.cv = CoefficientOfVariation(row.estimate, sd);
    row.normal_lo = std::max(row.estimate - z * sd, 0.0);
    row.normal_hi = std::min(row.estimate + z * sd, 1.0);
  };

  std::vector<EstimateRow> rows(static_cast<std::size_t>(np + nr));
  for (int i = 1; i <= np; ++i) {
    EstimateRow& row = rows[static_cast<std::size_t>(i - 1)];
    row.level = 0;
    row.id = i;
    row.name = PopulationName(run, i);
    row.estimate = est.theta(i);
    row.score = est.score(i) - nobs;
    if (est.standard_errors) spread(row, est.sd(i));
  }
  int first = 1;
  for (int r = 1; r <= nr; ++r) {
    EstimateRow& row = rows[static_cast<std::size_t>(np + r - 1)];
    row.level = g.level(r);
    row.id = r;
    row.name = RegionName(run, r);
    row.estimate = est.regional(r, 1);
    if (est.standard_errors) spread(row, est.regional(r, 2));
    // Every member population lies in this region at its level.
    const int lv = g.level(r);
    for (int k = first; k < first + g.size(r); ++k)
      if (lv >= 1 && lv <= 3) rows[static_cast<std::size_t>(g.members(k) - 1)].parents[lv - 1] = r;
    first += g.size(r);
    // The region's own ancestors, up the levels (a region table built by hand
    // may hold no parents).
    auto parent = [&g](int q) { return q <= g.parent.Size() ? g.parent(q) : 0; };
    for (int p = parent(r), steps = 0; p >= 1 && p <= nr && steps < 3; p = parent(p), ++steps)
      if (g.level(p) >= 1 && g.level(p) <= 3) row.parents[g.level(p) - 1] = p;
  }
  return rows;
}

RunFacts EstimateFacts(const EstimatesReport& est) {
  RunFacts f;
  f.log_likelihood = est.log_likelihood;
  f.iterations = est.iterations;
  f.percent_of_maximum = est.record.pctmax;
  f.gap_to_maximum = GapToMaximum(est.record.pctmax, est.possible_size);
  f.maximum_update = est.record.change;
  for (int k = 1; k <= est.nclasses; ++k) f.observations += est.class_individuals(k);
  f.possible_size = est.possible_size;
  f.ngenotypes = est.ngenotypes;
  f.nclasses = est.nclasses;
  return f;
}

namespace {

const char* ModelName(const Opt& opt) {
  if (opt.predictive) return "predictive";
  if (opt.rannala_mountain) return "Rannala-Mountain";
  if (opt.pella_masuda) return "Pella-Masuda";
  return "observed frequencies";
}

}  // namespace

void WriteEstimateTable(Run& run, const std::vector<EstimateRow>& rows) {
  std::vector<std::string_view> head{"mixture_collection",
                                     "level",
                                     "id",
                                     "name",
                                     "level1_region",
                                     "level2_region",
                                     "level3_region",
                                     "estimate",
                                     "std_error",
                                     "cv",
                                     "normal_lower",
                                     "normal_upper",
                                     "likelihood_lower",
                                     "likelihood_upper",
                                     "likelihood_lower_p",
                                     "likelihood_upper_p",
                                     "score"};
  const bool bias = run.opt.bias_corrected != 0;
  if (bias) {
    for (std::string_view h : {"bias_corrected", "bias_corrected_lower", "bias_corrected_upper"})
      head.push_back(h);
  }
  CsvTable est(head);
  const std::string collection = MixtureCollection(run);
  for (const EstimateRow& r : rows) {
    est.Text(collection).Int(r.level).Int(r.id).Text(r.name);
    for (int p : r.parents) {
      if (p > 0)
        est.Int(p);
      else
        est.Real(kNotComputed);
    }
    est.Real(r.estimate).Real(r.se).Real(r.cv).Real(r.normal_lo).Real(r.normal_hi);
    est.Real(r.likelihood_lo).Real(r.likelihood_hi).Real(r.p_lo).Real(r.p_hi).Real(r.score);
    if (bias) est.Real(r.bias_corrected).Real(r.bias_lo).Real(r.bias_hi);
    est.EndRow();
  }
  WriteCsvTable(run, ".estimates.csv", "Estimates table", est);
}

void WriteRunTable(Run& run, const RunFacts* e, const ResampleFacts* r) {
  CsvTable t({"mixture_collection", "title", "populations", "regions", "confidence_level", "model", "log_likelihood",
              "iterations", "percent_of_maximum", "gap_to_maximum", "maximum_estimate_update", "observations",
              "possible_sample_size", "genotypes", "classes", "resamples",
              "average_genotypes", "simulated_sample_size", "random_seed", "second_random_seed",
              "fit_chi_square", "fit_df", "fit_p_value", "unfinished_resamples"});
  t.Text(MixtureCollection(run)).Text(Trim(run.title)).Int(run.par.npop).Int(run.par.nregions).Int(run.par.confidence);
  t.Text(ModelName(run.opt));
  auto integer = [&t](bool shown, long long v) {
    if (shown)
      t.Int(v);
    else
      t.Real(kNotComputed);
  };
  const bool est = e != nullptr;
  t.Real(est ? e->log_likelihood : kNotComputed);
  integer(est, est ? e->iterations : 0);
  t.Real(est ? e->percent_of_maximum : kNotComputed);
  t.Real(est ? e->gap_to_maximum : kNotComputed);
  t.Real(est ? e->maximum_update : kNotComputed);
  integer(est, est ? e->observations : 0);
  integer(est, est ? e->possible_size : 0);
  integer(est, est ? e->ngenotypes : 0);
  integer(est, est ? e->nclasses : 0);
  const bool res = r != nullptr;
  integer(res, res ? r->resamples : 0);
  t.Real(res ? r->average_genotypes : kNotComputed);
  integer(res && run.opt.estimation == 0, res ? r->simulated_sample_size : 0);
  integer(res, res ? r->seed : 0);
  integer(res && r->second_seed != 0, res ? r->second_seed : 0);
  t.Real(res ? r->chi_square : kNotComputed);
  t.Real(res ? r->fit_df : kNotComputed);
  t.Real(res ? r->fit_p : kNotComputed);
  integer(res, res ? r->unfinished : 0);
  t.EndRow();
  WriteCsvTable(run, ".run.csv", "Run table", t);
}

}  // namespace velk
