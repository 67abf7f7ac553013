#include "resample/hundred.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <vector>

#include "core/error.hpp"
#include "core/fields.hpp"
#include "core/paths.hpp"
#include "core/report_file.hpp"
#include "core/reports.hpp"
#include "core/run.hpp"
#include "data/full_names.hpp"
#include "report/csv.hpp"
#include "report/prtfrq.hpp"
#include "resample/smstat.hpp"

namespace velk {

namespace {

constexpr std::int64_t kSeedStep = 7654321;
constexpr std::int64_t kSeedRange = 10000000;
constexpr double kHigh = 0.9;

std::vector<Item> Underscores() {
  return std::vector<Item>(70, "_");
}

// First member (index into regions.members) of every region.
std::vector<int> FirstMembers(const Regions& reg, int nr) {
  std::vector<int> first(static_cast<std::size_t>(nr) + 2, 1);
  for (int r = 1; r <= nr; ++r)
    first[static_cast<std::size_t>(r) + 1] = first[static_cast<std::size_t>(r)] + reg.size(r);
  return first;
}

}  // namespace

std::int32_t HundredSeed(std::int32_t seed, int u) {
  const std::int64_t s = std::abs(static_cast<std::int64_t>(seed));
  const std::int64_t base = u == 1 && s < kSeedRange ? s : (s + kSeedStep * (u - 1)) % kSeedRange;
  return static_cast<std::int32_t>(-base);
}

std::int32_t HundredSecondSeed(std::int32_t seco, int u) {
  const std::int64_t s = std::abs(static_cast<std::int64_t>(seco));
  const std::int64_t base = u == 1 && s < kSeedRange ? s : (s + kSeedStep * (u - 1)) % kSeedRange;
  return static_cast<std::int32_t>(base);
}

bool HundredSetUp(Run& run, HundredUnits& units) {
  const int np = run.par.npop;
  const int nr = run.par.nregions;
  const Regions& reg = run.regions;
  int n1 = 0;
  for (int r = 1; r <= std::min(nr, reg.level.Size()); ++r)
    if (reg.level(r) == 1) ++n1;
  units.by_region = run.opt.hundred_by_region;
  if (units.by_region && n1 < 1) {
    Error(run, 3050);
    return false;
  }
  try {
    units.nregions1 = n1;
    units.region_of = Vec<int>(np, 0);
    const std::vector<int> first = FirstMembers(reg, n1);
    for (int r = 1; r <= n1; ++r)
      for (int m = first[static_cast<std::size_t>(r)]; m < first[static_cast<std::size_t>(r) + 1];
           ++m)
        units.region_of(reg.members(m)) = r;

    units.count = units.by_region ? n1 : np;
    units.name = Vec<std::string>(units.count);
    units.truth.assign(static_cast<std::size_t>(units.count), Vec<double>(np, 0.0));
    units.seed = Vec<std::int32_t>(units.count);
    units.seco = Vec<std::int32_t>(units.count);
    for (int u = 1; u <= units.count; ++u) {
      Vec<double>& t = units.truth[static_cast<std::size_t>(u) - 1];
      if (units.by_region) {
        units.name(u) = reg.name(u);
        // The region's share, divided equally among its populations.
        const int lo = first[static_cast<std::size_t>(u)];
        const int hi = first[static_cast<std::size_t>(u) + 1];
        for (int m = lo; m < hi; ++m) t(reg.members(m)) = 1.0 / (hi - lo);
      } else {
        units.name(u) = run.pops(u).name;
        t(u) = 1.0;
      }
      units.seed(u) = HundredSeed(run.par.seed, u);
      units.seco(u) = HundredSecondSeed(run.par.seco, u);
    }
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    return false;
  }
  return true;
}

void ResampleMoments(const Smstat& acc, int a, double truth, double& mean, double& ss,
                     double& dev) {
  const int R = acc.count;
  double s = 0.0;
  for (int r = 1; r <= R; ++r) s += acc.values(a, r);
  mean = s / R;
  ss = 0.0;
  dev = 0.0;
  for (int r = 1; r <= R; ++r) {
    const double x = acc.values(a, r);
    ss += (x - mean) * (x - mean);
    dev += (x - truth) * (x - truth);
  }
}

void HundredBegin(const HundredUnits& units, int nresamples, HundredSummary& sum) {
  const int n = units.count;
  sum.resamples = nresamples;
  sum.mean = Mat<double>(n, n, 0.0);
  sum.sd = Mat<double>(n, n, 0.0);
  sum.rmse = Mat<double>(n, n, 0.0);
  sum.high = Vec<double>(n, 0.0);
  sum.region_mean = Mat<double>(std::max(units.nregions1, 1), n, 0.0);
}

void HundredAdd(const HundredUnits& units, int u, const Smstat& acc, HundredSummary& sum) {
  const int R = acc.count;
  if (R < 1) return;
  sum.unfinished = sum.unfinished || acc.unfinished > 0;
  // The area of unit v: a region of the first level, or a population after the regions.
  auto area = [&](int v) { return units.by_region ? v : acc.nr + v; };
  auto stats = [&](int a, double truth, double& mean, double& sd, double& rmse) {
    double ss = 0.0, dev = 0.0;
    ResampleMoments(acc, a, truth, mean, ss, dev);
    sd = R > 1 ? std::sqrt(ss / (R - 1)) : 0.0;
    rmse = std::sqrt(dev / R);
  };
  for (int v = 1; v <= units.count; ++v)
    stats(area(v), v == u ? 1.0 : 0.0, sum.mean(v, u), sum.sd(v, u), sum.rmse(v, u));
  int high = 0;
  for (int r = 1; r <= R; ++r)
    if (acc.values(area(u), r) >= kHigh) ++high;
  sum.high(u) = static_cast<double>(high) / R;
  for (int g = 1; g <= units.nregions1; ++g) {
    double s = 0.0;
    for (int r = 1; r <= R; ++r) s += acc.values(g, r);
    sum.region_mean(g, u) = s / R;
  }
}

void WriteResampleSettings(const Run& run, int resamples, bool unfinished, Unit& out) {
  const bool model = run.opt.rannala_mountain != 0 || run.opt.pella_masuda != 0;
  out.Write("(2x,a,i12)", {"Simulated sample size       :", run.par.sample_size});
  out.Write("(2x,a,i12)", {"Number of resamplings       :", resamples});
  out.Write("(2x,a,i12)", {"Random seed                 :", run.par.seed});
  if (run.opt.resample_baseline != 0 && model)
    out.Write("(2x,a,i12)", {"Second random seed          :", std::abs(run.par.seco)});
  if (run.opt.held_out)
    out.Write("(2x,a,1x,a)", {"Simulated individuals       :", "held out (reference individuals)"});
  WriteFrequencyModel(run, out);
  if (unfinished) out.Write("(2x, a)", {"WARNING: Check *.log file for proper convergence."});
}

void HundredReport(Run& run, const HundredUnits& units, const HundredSummary& sum) {
  if (!OpenReport(run, Report::kHundredPercent, "Hundred Percent Simulations",
                  "Hundred percent simulations output to "))
    return;
  Unit& out = run.output.unit[Report::kHundredPercent];
  out.Write("(/2x,70a)", Underscores());
  out.Write("(/2x,a,a,a)", {"Hundred Percent Simulations", ": ", Padded(run.title, kTitleWidth)});
  out.Write("(/2x,a,1x,a)", {"Units                       :",
                             units.by_region ? "regions of level 1" : "populations"});
  WriteResampleSettings(run, sum.resamples, sum.unfinished, out);

  // Per unit: its own estimate when the whole mixture comes from it.
  out.Write("(/t45,a,t73,a,/6x,a,t43,a,t53,a,t63,a,t73,a,t87,a,t98,a)",
            {"Mean", "Share", "Unit", "Estimate", "Std.Dev.", "Root MSE", ">= 0.90", "Seed",
             "Second seed"});
  for (int u = 1; u <= units.count; ++u)
    out.Write("(1x,i6,2x,a30,1x,4(2x,f6.4,2x),2(1x,i10))",
              {u, Padded(units.name(u), kNameWidth), sum.mean(u, u), sum.sd(u, u), sum.rmse(u, u),
               sum.high(u), units.seed(u), units.seco(u)});

  // Per unit: where the rest of its estimate goes.
  if (units.nregions1 > 0) {
    out.Write("(/70a)", Underscores());
    out.Write("(/2x,a)", {"Mean share given to each other region of level 1"});
    out.Write("(/2x,a)", {"Regions of level 1:"});
    for (int g = 1; g <= units.nregions1; ++g)
      out.Write("(9x,i4,2x,a)", {g, Trim(run.regions.name(g))});
    for (int u = 1; u <= units.count; ++u) {
      out.Write("(/1x,i6,2x,a)", {u, Trim(units.name(u))});
      const int own = units.by_region ? u : units.region_of(u);
      std::vector<Item> items;
      for (int g = 1; g <= units.nregions1; ++g) {
        if (g == own) continue;
        items.emplace_back(g);
        items.emplace_back(sum.region_mean(g, u));
        if (items.size() == 10 || g == units.nregions1) {
          out.Write("(9x,5(i4,2x,f6.4,4x))", items);
          items.clear();
        }
      }
      if (!items.empty()) out.Write("(9x,5(i4,2x,f6.4,4x))", items);
    }
  }
  out.Write("(/70a)", Underscores());
  if (!CloseReport(run, Report::kHundredPercent)) return;

  if (!run.opt.print_tables) return;
  CsvTable table({"scenario", "estimated", "mean", "sd", "rmse", "share_0.9_or_more", "seed",
                  "second_seed"});
  const auto& full = run.opt.hundred_by_region ? run.full_names.region : run.full_names.population;
  constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
  for (int u = 1; u <= units.count; ++u)
    for (int v = 1; v <= units.count; ++v)
      table.Text(FullName(full, Trim(units.name(u))))
          .Text(FullName(full, Trim(units.name(v))))
          .Real(sum.mean(v, u))
          .Real(sum.sd(v, u))
          .Real(sum.rmse(v, u))
          .Real(v == u ? sum.high(u) : kNone)
          .Int(units.seed(u))
          .Int(units.seco(u))
          .EndRow();
  WriteCsvTable(run, ".hps.csv", "Hundred percent simulations table", table);
}

}  // namespace velk
