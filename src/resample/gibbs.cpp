#include "resample/gibbs.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

#include "core/error.hpp"
#include "core/fields.hpp"
#include "core/layout/unit.hpp"
#include "core/reports.hpp"
#include "core/run.hpp"
#include "data/full_names.hpp"
#include "model/groups.hpp"
#include "report/csv.hpp"
#include "resample/workers.hpp"

namespace velk {

namespace {

// A chain's own generator (xoshiro256**, seeded through splitmix64), so that
// chains on any threads draw the same numbers.
class ChainRandom {
 public:
  explicit ChainRandom(std::uint64_t seed) {
    for (std::uint64_t& s : state_) s = SplitMix(seed);
  }
  // Uniform in (0, 1).
  double Uniform() { return (static_cast<double>(Next() >> 11) + 0.5) * 0x1.0p-53; }
  // Gamma(shape, 1) by Marsaglia and Tsang; a shape below 1 through
  // Gamma(shape + 1) U^(1/shape).
  double Gamma(double shape) {
    if (shape < 1.0) return Gamma(shape + 1.0) * std::pow(Uniform(), 1.0 / shape);
    const double d = shape - 1.0 / 3.0, c = 1.0 / std::sqrt(9.0 * d);
    for (;;) {
      double x, v;
      do {
        x = Normal();
        v = 1.0 + c * x;
      } while (v <= 0.0);
      v = v * v * v;
      const double u = Uniform();
      if (std::log(u) < 0.5 * x * x + d - d * v + d * std::log(v)) return d * v;
    }
  }

 private:
  static std::uint64_t SplitMix(std::uint64_t& x) {
    std::uint64_t z = (x += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  static std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  std::uint64_t Next() {
    const std::uint64_t result = Rotl(state_[1] * 5, 7) * 9;
    const std::uint64_t t = state_[1] << 17;
    state_[2] ^= state_[0];
    state_[3] ^= state_[1];
    state_[1] ^= state_[2];
    state_[0] ^= state_[3];
    state_[2] ^= t;
    state_[3] = Rotl(state_[3], 45);
    return result;
  }
  double Normal() {
    const double u1 = Uniform(), u2 = Uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
  }
  std::uint64_t state_[4] = {};
};

// theta from the Dirichlet with parameters alpha.
void DrawDirichlet(ChainRandom& rng, const std::vector<double>& alpha, std::vector<double>& theta) {
  double sum = 0.0;
  for (std::size_t i = 0; i < alpha.size(); ++i) sum += theta[i] = rng.Gamma(alpha[i]);
  for (double& t : theta) t = sum > 0.0 ? t / sum : 1.0 / static_cast<double>(theta.size());
}

// One chain: a dispersed start (a draw from the flat Dirichlet), then the
// sweeps, keeping every thinning-th after the burn-in.
void RunChain(const GibbsData& data, const GibbsSettings& s, const std::vector<double>& prior,
              std::uint64_t seed, int kept, std::vector<double>& out,
              std::vector<double>& membership) {
  const int np = static_cast<int>(prior.size());
  const auto unp = static_cast<std::size_t>(np);
  ChainRandom rng(seed);
  std::vector<double> theta(unp), alpha(unp), cumulative(unp);
  DrawDirichlet(rng, std::vector<double>(unp, 1.0), theta);
  out.assign(static_cast<std::size_t>(kept) * unp, 0.0);
  if (data.membership)
    membership.assign(static_cast<std::size_t>(std::max(data.ngenotypes, 0)) * unp, 0.0);
  int k = 0;
  for (int sweep = 1; sweep <= s.sweeps && k < kept; ++sweep) {
    alpha = prior;
    const bool keep = sweep > s.burn_in && (sweep - s.burn_in) % s.thinning == 0;
    for (int g = 1; g <= data.ngenotypes; ++g) {
      if (data.possible(g) != 1 || data.count(g) < 1) continue;
      const double* pg = data.P.Ptr(1, g);
      double total = 0.0;
      for (std::size_t i = 0; i < unp; ++i) cumulative[i] = total += theta[i] * pg[i];
      if (!(total > 0.0)) continue;
      if (keep && data.membership) {
        double* w = membership.data() + static_cast<std::size_t>(g - 1) * unp;
        for (std::size_t i = 0; i < unp; ++i) w[i] += theta[i] * pg[i] / total;
      }
      for (int n = 0; n < data.count(g); ++n) {
        const double u = rng.Uniform() * total;
        const auto at = std::upper_bound(cumulative.begin(), cumulative.end(), u);
        alpha[std::min(static_cast<std::size_t>(at - cumulative.begin()), unp - 1)] += 1.0;
      }
    }
    DrawDirichlet(rng, alpha, theta);
    if (keep)
      std::copy(theta.begin(), theta.end(), out.begin() + static_cast<std::ptrdiff_t>(k++ * unp));
  }
}

// The q-quantile of sorted values (linear between order statistics).
double Quantile(const std::vector<double>& sorted, double q) {
  const double at = q * static_cast<double>(sorted.size() - 1);
  const auto lo = static_cast<std::size_t>(std::floor(at));
  const std::size_t hi = std::min(lo + 1, sorted.size() - 1);
  return sorted[lo] + (at - static_cast<double>(lo)) * (sorted[hi] - sorted[lo]);
}

// Effective sample size of m chains of n draws each (x[chain][draw]): m n over
// 1 + 2 times the sum of the chains' mean autocorrelations, summed in pairs of
// lags while a pair is positive (Geyer's initial positive sequence).
double EffectiveSize(const std::vector<std::vector<double>>& x) {
  const std::size_t m = x.size(), n = x[0].size();
  std::vector<double> mean(m, 0.0), var(m, 0.0);
  for (std::size_t c = 0; c < m; ++c) {
    for (double v : x[c]) mean[c] += v;
    mean[c] /= static_cast<double>(n);
    for (double v : x[c]) var[c] += (v - mean[c]) * (v - mean[c]);
  }
  auto rho = [&](std::size_t lag) {
    double r = 0.0;
    for (std::size_t c = 0; c < m; ++c) {
      if (!(var[c] > 0.0)) continue;
      double s = 0.0;
      for (std::size_t t = 0; t + lag < n; ++t) s += (x[c][t] - mean[c]) * (x[c][t + lag] - mean[c]);
      r += s / var[c];
    }
    return r / static_cast<double>(m);
  };
  double sum = 0.0;
  for (std::size_t lag = 1; lag + 1 < n; lag += 2) {
    const double pair = rho(lag) + rho(lag + 1);
    if (!(pair > 0.0)) break;
    sum += pair;
  }
  return static_cast<double>(m * n) / (1.0 + 2.0 * sum);
}

// Gelman and Rubin's potential scale reduction of m chains of n draws.
double ScaleReduction(const std::vector<std::vector<double>>& x) {
  const std::size_t m = x.size(), n = x[0].size();
  if (m < 2 || n < 2) return std::numeric_limits<double>::quiet_NaN();
  std::vector<double> mean(m, 0.0);
  double grand = 0.0, within = 0.0;
  for (std::size_t c = 0; c < m; ++c) {
    for (double v : x[c]) mean[c] += v;
    mean[c] /= static_cast<double>(n);
    grand += mean[c] / static_cast<double>(m);
    double s = 0.0;
    for (double v : x[c]) s += (v - mean[c]) * (v - mean[c]);
    within += s / static_cast<double>(n - 1) / static_cast<double>(m);
  }
  double between = 0.0;
  for (double mc : mean) between += (mc - grand) * (mc - grand);
  between *= static_cast<double>(n) / static_cast<double>(m - 1);
  if (!(within > 0.0)) return 1.0;
  const double nn = static_cast<double>(n);
  return std::sqrt(((nn - 1.0) / nn * within + between / nn) / within);
}

PosteriorSummary Summarise(const std::vector<std::vector<double>>& x, int confidence) {
  PosteriorSummary s;
  std::vector<double> all;
  for (const std::vector<double>& c : x) all.insert(all.end(), c.begin(), c.end());
  const double n = static_cast<double>(all.size());
  for (double v : all) {
    s.mean += v / n;
    if (v < kAbsentShare) s.below += 1.0 / n;
  }
  for (double v : all) s.sd += (v - s.mean) * (v - s.mean);
  s.sd = all.size() > 1 ? std::sqrt(s.sd / (n - 1.0)) : 0.0;
  std::sort(all.begin(), all.end());
  const double tail = (1.0 - confidence / 100.0) / 2.0;
  s.median = Quantile(all, 0.5);
  s.lo = Quantile(all, tail);
  s.hi = Quantile(all, 1.0 - tail);
  s.rhat = ScaleReduction(x);
  s.ess = EffectiveSize(x);
  return s;
}

// Message 3053 for a setting the sampler cannot take; true when all are fine.
bool SettingsUsable(Run& run, const GibbsSettings& s) {
  const struct {
    const char* name;
    int value;
    bool ok;
  } checks[] = {
      {"Number of sweeps", s.sweeps, s.sweeps >= 2},
      {"Burn-in sweeps", s.burn_in, s.burn_in >= 0 && s.burn_in < s.sweeps},
      {"Thinning interval", s.thinning, s.thinning >= 1 && s.thinning <= s.sweeps},
      {"Number of chains", s.chains, s.chains >= 1 && s.chains <= 64},
  };
  for (const auto& c : checks) {
    if (c.ok) continue;
    Error(run, 3053, {.a1 = c.name, .n1 = c.value});
    return false;
  }
  if ((s.sweeps - s.burn_in) / s.thinning < 2) {
    Error(run, 3053, {.a1 = "Thinning interval", .n1 = s.thinning});
    return false;
  }
  return true;
}

GibbsSettings RunSettings(const Run& run) {
  return GibbsSettings{.sweeps = run.par.sweeps,
                       .burn_in = run.par.burn_in,
                       .thinning = run.par.thinning,
                       .chains = run.par.chains,
                       .prior_by_region = run.opt.prior_by_region};
}

// The draws of unit u (a population, or region u - np as the sum of its
// members), chain by chain.
std::vector<std::vector<double>> UnitDraws(const GibbsChains& ch, const std::vector<int>& members) {
  std::vector<std::vector<double>> x(ch.draws.size(), std::vector<double>(static_cast<std::size_t>(ch.kept)));
  for (std::size_t c = 0; c < ch.draws.size(); ++c)
    for (int k = 0; k < ch.kept; ++k)
      for (int i : members)
        x[c][static_cast<std::size_t>(k)] +=
            ch.draws[c][static_cast<std::size_t>(k) * static_cast<std::size_t>(ch.np) +
                        static_cast<std::size_t>(i - 1)];
  return x;
}

// The report's section and the table of the summaries.
void WriteBayesReport(Run& run, const GibbsSettings& s, const GibbsChains& ch,
                      const std::vector<PosteriorSummary>& sums) {
  const int np = run.par.npop, nr = run.par.nregions;
  auto name = [&](int u) { return u <= np ? run.pops(u).name : run.regions.name(u - np); };
  Unit& out = run.output.unit[Report::kEstimates];
  out.Write("(/2x,a,i6,a,i3,a,i5,a,i3)",
            {"Bayesian estimates: Gibbs sampler of", s.sweeps, " sweeps,", s.chains,
             " chains, burn-in", s.burn_in, ", thinning", s.thinning});
  out.Write("(2x,a,a)", {s.prior_by_region ? "Prior: Dirichlet split evenly over the regions"
                                           : "Prior: Dirichlet(1/P) for each population",
                         ", given the baseline of the estimate"});
  for (std::size_t k = 0; k < ch.seeds.size(); ++k)
    out.Write("(2x,a,i3,a,a)", {"Seed of chain", static_cast<int>(k + 1), ": ",
                                std::to_string(ch.seeds[k])});
  out.Write("(/t35,a,t59,a,i3,a,t77,a/2x,a,t35,a,t45,a,t51,a,t60,a,t68,a,t77,a,t86,a,t96,a)",
            {"Posterior", "Credible", run.par.confidence, " %", "P(share", "Unit", "mean", "sd",
             "median", "lower", "upper", "< 0.001)", "R-hat", "ESS"});
  for (int u = 1; u <= np + nr; ++u) {
    const PosteriorSummary& p = sums[static_cast<std::size_t>(u - 1)];
    out.Write("(2x,a30,t34,f7.4,t42,f7.4,t51,f7.4,t59,f7.4,t67,f7.4,t77,f6.4,t85,f6.3,1x,i8)",
              {Padded(name(u), kNameWidth), p.mean, p.sd, p.median, p.lo, p.hi, p.below, p.rhat,
               static_cast<int>(std::lround(p.ess))});
  }
  out.Write("(70a/)", std::vector<Item>(kRuleLength, "_"));
  if (!run.opt.print_tables) return;
  CsvTable t({"mixture_collection", "level", "id", "name", "mean", "sd", "median",
              "credible_lower", "credible_upper", "p_below_0.001", "rhat", "ess"});
  const std::string collection = MixtureCollection(run);
  for (int u = 1; u <= np + nr; ++u) {
    const PosteriorSummary& p = sums[static_cast<std::size_t>(u - 1)];
    t.Text(collection).Int(u <= np ? 0 : run.regions.level(u - np)).Int(u <= np ? u : u - np);
    t.Text(u <= np ? PopulationName(run, u) : RegionName(run, u - np));
    t.Real(p.mean).Real(p.sd).Real(p.median).Real(p.lo).Real(p.hi).Real(p.below).Real(p.rhat)
        .Real(p.ess);
    t.EndRow();
  }
  if (!WriteCsvTable(run, ".bayes.csv", "Bayes table", t) || !run.opt.print_resamples) return;
  CsvTable traces({"mixture_collection", "chain", "sweep", "population", "share"});
  for (std::size_t c = 0; c < ch.draws.size(); ++c)
    for (int k = 0; k < ch.kept; ++k)
      for (int i = 1; i <= np; ++i) {
        traces.Text(collection).Int(static_cast<long long>(c + 1))
            .Int(s.burn_in + (k + 1) * s.thinning).Text(PopulationName(run, i));
        traces.Real(ch.draws[c][static_cast<std::size_t>(k * np + i - 1)]).EndRow();
      }
  WriteCsvTable(run, ".traces.csv", "Traces table", traces);
}

}  // namespace

std::vector<double> GibbsPrior(const Run& run, bool by_region) {
  const int np = run.par.npop;
  std::vector<double> prior(static_cast<std::size_t>(np), 1.0 / np);
  if (!by_region) return prior;
  std::vector<int> first(static_cast<std::size_t>(np), 0);
  int nfirst = 0;
  ForEachList(run.par.nregions, run.regions.size, [&](int r, int at, int size) {
    if (run.regions.level(r) != 1) return;
    ++nfirst;
    for (int k = at; k < at + size; ++k) first[static_cast<std::size_t>(run.regions.members(k) - 1)] = r;
  });
  int outside = 0;
  for (int r : first) outside += r == 0 ? 1 : 0;
  const int shares = nfirst + (outside > 0 ? 1 : 0);
  if (shares == 0) return prior;
  std::vector<int> in_region(static_cast<std::size_t>(run.par.nregions) + 1, 0);
  for (int r : first) ++in_region[static_cast<std::size_t>(r)];
  for (int i = 0; i < np; ++i) {
    const int r = first[static_cast<std::size_t>(i)];
    prior[static_cast<std::size_t>(i)] =
        1.0 / shares / (r == 0 ? outside : in_region[static_cast<std::size_t>(r)]);
  }
  return prior;
}

std::uint64_t ChainSeed(const Run& run, int k) {
  // From "Seed" alone: the second seed, drawn afresh when not given, would
  // make a run with its seed set differ from the next.
  const auto a = static_cast<std::uint64_t>(static_cast<std::uint32_t>(run.par.seed));
  return a * 0x9e3779b97f4a7c15ULL + static_cast<std::uint64_t>(k + 1) * 0xd1b54a32d192ed03ULL;
}

GibbsChains RunGibbs(const Run& run, const GibbsData& data, const GibbsSettings& s, int threads) {
  GibbsChains ch;
  ch.np = run.par.npop;
  ch.kept = (s.sweeps - s.burn_in) / s.thinning;
  ch.draws.resize(static_cast<std::size_t>(s.chains));
  ch.membership.resize(static_cast<std::size_t>(s.chains));
  for (int k = 0; k < s.chains; ++k) ch.seeds.push_back(ChainSeed(run, k));
  const std::vector<double> prior = GibbsPrior(run, s.prior_by_region);
  auto chain = [&](int k) {
    RunChain(data, s, prior, ch.seeds[static_cast<std::size_t>(k)], ch.kept,
             ch.draws[static_cast<std::size_t>(k)], ch.membership[static_cast<std::size_t>(k)]);
  };
  const int n = std::min(threads, s.chains);
  if (n <= 1) {
    for (int k = 0; k < s.chains; ++k) chain(k);
    return ch;
  }
  try {
    Workers workers(n, s.chains, chain);
    for (int k = 0; k < s.chains; ++k) workers.Post(k);
    for (int k = 0; k < s.chains; ++k) workers.Wait(k);
  } catch (const std::system_error&) {
    for (int k = 0; k < s.chains; ++k) chain(k);  // no thread could be started
  }
  return ch;
}

std::vector<PosteriorSummary> SummariseGibbs(const GibbsChains& chains,
                                             const RegionMembers& regions, int confidence) {
  std::vector<PosteriorSummary> sums;
  for (int i = 1; i <= chains.np; ++i) sums.push_back(Summarise(UnitDraws(chains, {i}), confidence));
  ForEachList(regions.nr, regions.size, [&](int, int first, int size) {
    std::vector<int> members;
    for (int k = first; k < first + size; ++k) members.push_back(regions.members(k));
    sums.push_back(Summarise(UnitDraws(chains, members), confidence));
  });
  return sums;
}

Mat<double> AveragedMembership(const GibbsChains& chains, int ngenotypes) {
  Mat<double> w;
  const std::size_t cells =
      static_cast<std::size_t>(std::max(ngenotypes, 0)) * static_cast<std::size_t>(chains.np);
  if (chains.membership.empty() || chains.membership.front().size() != cells) return w;
  w.Resize(chains.np, std::max(ngenotypes, 1), 0.0);
  // Chain by chain in order, so that the sums do not depend on the threads.
  for (const std::vector<double>& sums : chains.membership)
    for (int g = 1; g <= ngenotypes; ++g)
      for (int i = 1; i <= chains.np; ++i)
        w(i, g) += sums[static_cast<std::size_t>(g - 1) * static_cast<std::size_t>(chains.np) +
                        static_cast<std::size_t>(i - 1)];
  const double draws =
      static_cast<double>(chains.kept) * static_cast<double>(chains.membership.size());
  for (int g = 1; g <= ngenotypes; ++g)
    for (int i = 1; i <= chains.np; ++i) w(i, g) /= draws;
  return w;
}

bool BayesianEstimate(Run& run, const GibbsData& data, Mat<double>* membership) {
  const GibbsSettings s = RunSettings(run);
  if (!SettingsUsable(run, s)) return false;
  GibbsChains ch;
  try {
    ch = RunGibbs(run, data, s, ResampleThreads(run.threads));
  } catch (const std::bad_alloc&) {
    Error(run, 3000, {});
    return false;
  }
  const std::vector<PosteriorSummary> sums =
      SummariseGibbs(ch, RunRegions(run), run.par.confidence);
  WriteBayesReport(run, s, ch, sums);
  if (membership != nullptr && data.membership) {
    try {
      *membership = AveragedMembership(ch, data.ngenotypes);
    } catch (const std::bad_alloc&) {
      Error(run, 3000, {});
    }
  }
  return !run.error.stop;
}

}  // namespace velk
