#include "resample/scenarios.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <string>

#include "core/error.hpp"
#include "core/fields.hpp"
#include "core/paths.hpp"
#include "core/report_file.hpp"
#include "core/reports.hpp"
#include "core/run.hpp"
#include "data/full_names.hpp"
#include "model/dirich.hpp"
#include "report/csv.hpp"
#include "report/prtfrq.hpp"
#include "resample/smstat.hpp"

namespace velk {

namespace {

constexpr double kNear = 0.1;
constexpr double kHigh = 0.9;  // as the hundred percent table counts its estimates

std::vector<Item> Underscores() {
  return std::vector<Item>(70, "_");
}

// The populations of every region of the first level (regions 1..n1).
std::vector<std::vector<int>> RegionMembers(const Regions& reg, int n1) {
  std::vector<std::vector<int>> members(static_cast<std::size_t>(n1));
  int m = 1;
  for (int r = 1; r <= n1; ++r)
    for (int k = 0; k < reg.size(r); ++k, ++m)
      members[static_cast<std::size_t>(r) - 1].push_back(reg.members(m));
  return members;
}

int FirstLevelRegions(const Run& run) {
  int n1 = 0;
  for (int r = 1; r <= std::min(run.par.nregions, run.regions.level.Size()); ++r)
    if (run.regions.level(r) == 1) ++n1;
  return n1;
}

// The driver's units: per scenario its name, seeds and the populations' true
// proportions (a region's share divided equally among its populations).
void MakeUnits(const Run& run, ScenarioRun& sr, const std::vector<std::vector<int>>& members) {
  HundredUnits& units = sr.units;
  const int np = run.par.npop;
  units.by_region = sr.scenarios.by_region;
  units.count = static_cast<int>(sr.scenarios.list.size());
  units.nregions1 = static_cast<int>(members.size());
  units.region_of = Vec<int>(np, 0);
  for (std::size_t r = 0; r < members.size(); ++r)
    for (int i : members[r]) units.region_of(i) = static_cast<int>(r) + 1;
  units.name = Vec<std::string>(units.count);
  units.truth.assign(static_cast<std::size_t>(units.count), Vec<double>(np, 0.0));
  units.seed = Vec<std::int32_t>(units.count);
  units.seco = Vec<std::int32_t>(units.count);
  for (int s = 1; s <= units.count; ++s) {
    const Scenario& sc = sr.scenarios.list[static_cast<std::size_t>(s) - 1];
    Vec<double>& t = units.truth[static_cast<std::size_t>(s) - 1];
    units.name(s) = sc.name;
    if (!units.by_region) {
      for (int i = 1; i <= np; ++i) t(i) = sc.share(i);
    } else {
      for (std::size_t r = 0; r < members.size(); ++r)
        for (int i : members[r])
          t(i) = sc.share(static_cast<int>(r) + 1) / static_cast<double>(members[r].size());
    }
    units.seed(s) = HundredSeed(run.par.seed, s);
    units.seco(s) = HundredSecondSeed(run.par.seco, s);
  }
}

}  // namespace

void DrawWithinRegion(Process& process, const WithinRegionShares& w, Vec<double>& expected) {
  std::vector<double> alpha, x;
  for (std::size_t r = 0; r < w.members.size(); ++r) {
    const std::vector<int>& m = w.members[r];
    const double share = w.region_share(static_cast<int>(r) + 1);
    if (m.size() < 2 || share <= 0.0) continue;
    alpha.assign(m.size(), w.concentration);
    x.assign(m.size(), 0.0);
    Dirich(process, static_cast<int>(m.size()), alpha.data(), x.data());
    for (std::size_t k = 0; k < m.size(); ++k) expected(m[k]) = share * x[k];
  }
}

bool ScenarioSetUp(Run& run, ScenarioRun& sr) {
  const int n1 = FirstLevelRegions(run);
  ScenarioList& list = sr.scenarios;
  list.by_region = run.opt.scenarios_by_region;
  if (list.by_region && n1 < 1) {
    Error(run, 3061);
    return false;
  }
  if (!list.by_region && run.opt.within_dirichlet) Error(run, 1061);
  list.nunits = list.by_region ? n1 : run.par.npop;
  ReadScenarios(run, list);
  if (run.error.stop) return false;
  try {
    const std::vector<std::vector<int>> members = RegionMembers(run.regions, n1);
    MakeUnits(run, sr, members);
    if (list.by_region && run.opt.within_dirichlet) {
      for (const Scenario& sc : list.list)
        sr.within.push_back(WithinRegionShares{.concentration = run.par.dirichlet_concentration,
                                               .members = members,
                                               .region_share = sc.share});
    }
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    return false;
  }
  return true;
}

void ScenarioBegin(const ScenarioRun& sr, int nresamples, ScenarioSummary& sum) {
  const int nu = std::max(sr.scenarios.nunits, 1);
  const int ns = std::max(sr.units.count, 1);
  sum.resamples = nresamples;
  sum.mean = Mat<double>(nu, ns, 0.0);
  sum.sd = Mat<double>(nu, ns, 0.0);
  sum.rmse = Mat<double>(nu, ns, 0.0);
  sum.within = Mat<double>(nu, ns, 0.0);
  sum.high = Mat<double>(nu, ns, 0.0);
}

void ScenarioAdd(const ScenarioRun& sr, int s, const Smstat& acc, ScenarioSummary& sum) {
  const int R = acc.count;
  if (R < 1) return;
  sum.unfinished = sum.unfinished || acc.unfinished > 0;
  const Scenario& sc = sr.scenarios.list[static_cast<std::size_t>(s) - 1];
  for (int v = 1; v <= sr.scenarios.nunits; ++v) {
    // The area of unit v: a region of the first level, or a population after the regions.
    const int a = sr.scenarios.by_region ? v : acc.nr + v;
    const double truth = sc.share(v);
    double mean = 0.0;
    double ss = 0.0, dev = 0.0;
    int near = 0, high = 0;
    ResampleMoments(acc, a, truth, mean, ss, dev);
    for (int r = 1; r <= R; ++r) {
      if (std::abs(acc.values(a, r) - truth) <= kNear) ++near;
      if (acc.values(a, r) >= kHigh) ++high;
    }
    sum.mean(v, s) = mean;
    sum.sd(v, s) = R > 1 ? std::sqrt(ss / (R - 1)) : 0.0;
    sum.rmse(v, s) = std::sqrt(dev / R);
    sum.within(v, s) = static_cast<double>(near) / R;
    sum.high(v, s) = static_cast<double>(high) / R;
  }
}

namespace {

void WriteHeading(Run& run, const ScenarioRun& sr, const ScenarioSummary& sum, Unit& out) {
  const bool by_region = sr.scenarios.by_region;
  out.Write("(/2x,70a)", Underscores());
  out.Write("(/2x,a,a,a)", {"Scenario Simulations", ": ", Padded(run.title, kTitleWidth)});
  out.Write("(/2x,a,1x,a)",
            {"Units                       :", by_region ? "regions of level 1" : "populations"});
  if (by_region) {
    if (sr.within.empty())
      out.Write("(2x,a,1x,a)", {"Within-region shares        :", "equal"});
    else
      out.Write("(2x,a,1x,a,f10.4)", {"Within-region shares        :", "Dirichlet, concentration",
                                      run.par.dirichlet_concentration});
  }
  WriteResampleSettings(run, sum.resamples, sum.unfinished, out);
}

// The name of unit v of the scenarios.
std::string UnitName(const Run& run, const ScenarioList& list, int v) {
  return list.by_region ? run.regions.name(v) : run.pops(v).name;
}

void WriteTable(Run& run, const ScenarioRun& sr, const ScenarioSummary& sum) {
  CsvTable table({"scenario", "unit", "true_share", "mean", "sd", "rmse", "share_within_0.1",
                  "share_0.9_or_more", "seed", "second_seed"});
  const ScenarioList& list = sr.scenarios;
  const auto& full = list.by_region ? run.full_names.region : run.full_names.population;
  for (int s = 1; s <= sr.units.count; ++s) {
    const Scenario& sc = list.list[static_cast<std::size_t>(s) - 1];
    for (int v = 1; v <= list.nunits; ++v)
      table.Text(sc.name)
          .Text(FullName(full, Trim(UnitName(run, list, v))))
          .Real(sc.share(v))
          .Real(sum.mean(v, s))
          .Real(sum.sd(v, s))
          .Real(sum.rmse(v, s))
          .Real(sum.within(v, s))
          .Real(sum.high(v, s))
          .Int(sr.units.seed(s))
          .Int(sr.units.seco(s))
          .EndRow();
  }
  WriteCsvTable(run, ".scenarios.csv", "Scenario simulations table", table);
}

}  // namespace

void ScenarioReport(Run& run, const ScenarioRun& sr, const ScenarioSummary& sum) {
  if (!OpenReport(run, Report::kScenarios, "Scenario Simulations",
                  "Scenario simulations output to "))
    return;
  Unit& out = run.output.unit[Report::kScenarios];
  WriteHeading(run, sr, sum, out);
  const ScenarioList& list = sr.scenarios;
  for (int s = 1; s <= sr.units.count; ++s) {
    const Scenario& sc = list.list[static_cast<std::size_t>(s) - 1];
    out.Write("(/70a)", Underscores());
    out.Write(
        "(/1x,a,i4,2x,a,/1x,a,i12,4x,a,i12)",
        {"Scenario", s, Trim(sc.name), "Seed", sr.units.seed(s), "Second seed", sr.units.seco(s)});
    out.Write("(/t43,a,t55,a,t83,a,/6x,a,t43,a,t53,a,t63,a,t73,a,t83,a)",
              {"True", "Mean", "Share", "Unit", "Share", "Estimate", "Std.Dev.", "Root MSE",
               "within 0.1"});
    for (int v = 1; v <= list.nunits; ++v)
      out.Write("(1x,i6,2x,a30,1x,5(2x,f6.4,2x))",
                {v, Padded(UnitName(run, list, v), kNameWidth), sc.share(v), sum.mean(v, s),
                 sum.sd(v, s), sum.rmse(v, s), sum.within(v, s)});
  }
  out.Write("(/70a)", Underscores());
  if (!CloseReport(run, Report::kScenarios)) return;
  if (run.opt.print_tables) WriteTable(run, sr, sum);
}

}  // namespace velk
