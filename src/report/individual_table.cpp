#include "report/individual_table.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "core/error.hpp"
#include "data/full_names.hpp"
#include "model/gmatrx.hpp"
#include "model/gprob.hpp"
#include "model/groups.hpp"
#include "model/missing_baseline.hpp"
#include "report/csv.hpp"

namespace velk {

namespace {

// log n! for small n.
double LogFactorial(int n) {
  return std::lgamma(static_cast<double>(n) + 1.0);
}

// One character's genotypes walked type by type: its frequencies, the copies
// chosen so far, and the predictive model's Dirichlet total (0: multinomial).
struct Walk {
  const double* f = nullptr;
  int t = 0;
  double lognfact = 0.0;
  double mass = 0.0;
  std::vector<std::int8_t> x;
};

// Adds p log p and p (log p)^2 over the genotypes of `left` copies of types
// k..t-1 (p the genotype's probability under the model).
void Enumerate(Walk& w, int k, int left, double logp, Moments& m) {
  const double* f = w.f;
  if (k == w.t - 1) {
    // The last type takes the copies left.
    double lp = logp;
    if (left > 0) {
      if (!(f[k] > 0.0)) return;
      lp += left * std::log(f[k]) - LogFactorial(left);
    }
    lp += w.lognfact;
    if (w.mass > 0.0) {
      w.x[static_cast<std::size_t>(k)] = static_cast<std::int8_t>(left);
      int n = 0;
      for (std::int8_t v : w.x) n += v;
      lp += std::log(PredictiveFactor(w.x.data(), w.t, n, f, 1, w.mass));
    }
    const double p = std::exp(lp);
    m.mean += p * lp;
    m.second += p * lp * lp;
    return;
  }
  for (int x = 0; x <= left; ++x) {
    if (x > 0 && !(f[k] > 0.0)) break;
    w.x[static_cast<std::size_t>(k)] = static_cast<std::int8_t>(x);
    const double step = x > 0 ? x * std::log(f[k]) - LogFactorial(x) : 0.0;
    Enumerate(w, k + 1, left - x, logp + step, m);
  }
}

}  // namespace

GenotypeFit FitGenotype(const Run& run, const Mat<double>& freq, const std::int8_t* copies,
                        FitCache* cache, const double* mass) {
  GenotypeFit fit;
  for (int c = 1; c <= run.par.nchar; ++c) {
    const Character& ch = run.chars(c);
    const int t = ch.ntypes;
    const std::int8_t* x = nullptr;
    const int n = CharacterCopies(run, copies, c, x);
    if (n == 0) continue;
    const double* f = freq.Ptr(1, c);
    const auto key = std::make_pair(c, n);
    Moments m;
    const auto known = cache != nullptr ? cache->find(key) : FitCache::iterator();
    const bool cached = cache != nullptr && known != cache->end();
    if (cached) m = known->second;
    if (ch.ploidy < 2) {
      // One type shows: its frequency is the probability.
      const int k = ShownType(x, t);
      fit.log_likelihood += std::log(f[k]);
      for (int j = 0; j < t && !cached; ++j) {
        if (!(f[j] > 0.0)) continue;
        const double lp = std::log(f[j]);
        m.mean += f[j] * lp;
        m.second += f[j] * lp * lp;
      }
    } else {
      const double dirichlet = mass != nullptr ? mass[c - 1] : 0.0;
      double lp = LogFactorial(n);
      for (int k = 0; k < t; ++k)
        if (x[k] > 0) lp += x[k] * std::log(f[k]) - LogFactorial(x[k]);
      if (dirichlet > 0.0) lp += std::log(PredictiveFactor(x, t, n, f, 1, dirichlet));
      fit.log_likelihood += lp;
      if (!cached) {
        Walk w{.f = f, .t = t, .lognfact = LogFactorial(n), .mass = dirichlet,
               .x = std::vector<std::int8_t>(static_cast<std::size_t>(t), 0)};
        Enumerate(w, 0, n, 0.0, m);
      }
    }
    if (cache != nullptr && !cached) cache->emplace(key, m);
    fit.mean += m.mean;
    fit.variance += std::max(m.second - m.mean * m.mean, 0.0);
  }
  return fit;
}

namespace {

// Every population's frequencies as the estimate saw them: the model's, and
// for characters without baseline data those the estimation inferred (the
// missing-baseline entries). False when the run stopped.
[[nodiscard]] bool EstimatedFrequencies(Run& run, std::vector<Mat<double>>& pop_freq) {
  const Input& in = run.input;
  const int np = run.par.npop;
  const int nc = run.par.nchar;
  const int maxtyp = run.par.max_types;
  PopulationFrequencies tables;
  int nmissing = 0;
  Popfrq(run, in.base_counts, in.base_totals, 0, tables, nmissing);
  if (run.error.stop) return false;
  try {
    const MissingBaseline missing = NumberMissingBaseline(in.base_totals, nc, np);
    pop_freq.resize(static_cast<std::size_t>(np));
    for (int i = 1; i <= np; ++i) {
      Mat<double>& fi = pop_freq[static_cast<std::size_t>(i - 1)];
      fi.Resize(maxtyp, nc, 0.0);
      for (int c = 1; c <= nc; ++c)
        for (int k = 1; k <= maxtyp; ++k) fi(k, c) = tables.f(i, k, c);
      for (int c = 1; c <= nc; ++c) {
        const int entry = missing.entry(c, i);
        if (entry == 0) continue;
        if (entry > in.missing_totals.Size() || entry > in.missing_freqs.Cols()) continue;
        const int t = run.chars(c).ntypes;
        for (int k = 1; k <= t; ++k)
          fi(k, c) = in.missing_totals(entry) >= 1.0e-10 ? in.missing_freqs(k, entry) : 1.0 / t;
      }
    }
  } catch (const std::bad_alloc&) {
    Error(run, 3000, {});
    return false;
  }
  return true;
}

// Under the predictive genotype model, per population and character the
// Dirichlet total of its frequencies (baseline copies plus the prior's one);
// empty under the multinomial model.
std::vector<std::vector<double>> PredictiveMasses(const Run& run) {
  std::vector<std::vector<double>> mass;
  if (run.opt.predictive == 0) return mass;
  for (int i = 1; i <= run.par.npop; ++i) {
    std::vector<double>& m = mass.emplace_back(static_cast<std::size_t>(run.par.nchar));
    for (int c = 1; c <= run.par.nchar; ++c)
      m[static_cast<std::size_t>(c - 1)] = run.input.base_totals(c, i) + 1.0;
  }
  return mass;
}

// The region of each level (1 to 3) that holds each population, 0 for none.
Mat<int> RegionOfLevels(const Run& run) {
  const Regions& reg = run.regions;
  Mat<int> region_of(std::max(run.par.npop, 1), 3, 0);
  ForEachList(run.par.nregions, reg.size, [&](int r, int first, int size) {
    for (int k = first; k < first + size; ++k)
      if (reg.level(r) >= 1 && reg.level(r) <= 3) region_of(reg.members(k), reg.level(r)) = r;
  });
  return region_of;
}

// The heads of the individuals table, with three columns per region level,
// and a last column "known" (1 for a fish of known origin) when the mixture
// file names known populations.
CsvTable IndividualsTable(int nlevels, bool known_field, bool bayes) {
  std::vector<std::string_view> head{"mixture_collection",
                                     "record",
                                     "line",
                                     "id",
                                     "characters_scored",
                                     "population",
                                     "population_name",
                                     "population_posterior"};
  std::vector<std::string> level_heads;
  for (int l = 1; l <= nlevels; ++l) {
    const std::string p = "level" + std::to_string(l) + "_";
    level_heads.push_back(p + "region");
    level_heads.push_back(p + "region_name");
    level_heads.push_back(p + "posterior");
  }
  for (const std::string& h : level_heads) head.push_back(h);
  head.push_back("log_likelihood");
  head.push_back("z_score");
  if (known_field) head.push_back("known");
  if (bayes) {
    for (std::string_view h : {"bayes_population", "bayes_population_name", "bayes_posterior"})
      head.push_back(h);
  }
  return CsvTable(head);
}

// The heads of the posteriors table, with a region column per level.
CsvTable PosteriorsTable(int nlevels, bool bayes) {
  std::vector<std::string_view> post_head{"mixture_collection", "record", "id", "population",
                                          "population_name"};
  std::vector<std::string> region_heads;
  for (int l = 1; l <= nlevels; ++l)
    region_heads.push_back("level" + std::to_string(l) + "_region");
  for (const std::string& h : region_heads) post_head.push_back(h);
  post_head.push_back("posterior");
  if (bayes) post_head.push_back("bayes_posterior");
  return CsvTable(post_head);
}

// What the rows of the two tables are made from.
struct TableRows {
  const Run& run;
  const Mat<double>& P;
  const Vec<double>& theta;
  const std::vector<Mat<double>>& pop_freq;
  const Mat<int>& region_of;
  int nlevels = 0;
  const Mat<double>* bayes = nullptr;  // the sampler's averaged membership
};

// The characters that a genotype (its copies, max_types per character) scores.
int CharactersScored(const Run& run, const std::int8_t* copies) {
  const int maxtyp = run.par.max_types;
  int scored = 0;
  for (int c = 1; c <= run.par.nchar; ++c) {
    int n = 0;
    for (int k = 0; k < run.chars(c).ntypes; ++k) n += copies[(c - 1) * maxtyp + k];
    if (n > 0) ++scored;
  }
  return scored;
}

// Posterior membership of genotype g into w(1..np); the most likely
// population, 0 when no population can give the genotype.
int Membership(const TableRows& t, int g, std::vector<double>& w) {
  const int np = t.run.par.npop;
  double sum = 0.0;
  for (int i = 1; i <= np; ++i) sum += w[static_cast<std::size_t>(i)] = t.theta(i) * t.P(i, g);
  int best = 0;
  if (sum > 0.0) {
    best = 1;
    for (int i = 1; i <= np; ++i) {
      w[static_cast<std::size_t>(i)] /= sum;
      if (w[static_cast<std::size_t>(i)] > w[static_cast<std::size_t>(best)]) best = i;
    }
  }
  return best;
}

// The individuals row's columns after the population: the likeliest region of
// each level with its posterior (region_w is scratch, one per region).
void RegionColumns(const TableRows& t, const std::vector<double>& w,
                   std::vector<double>& region_w, CsvTable& ind) {
  const Regions& reg = t.run.regions;
  const int nr = t.run.par.nregions;
  std::fill(region_w.begin(), region_w.end(), 0.0);
  for (int i = 1; i <= t.run.par.npop; ++i)
    for (int l = 1; l <= 3; ++l)
      if (t.region_of(i, l) > 0)
        region_w[static_cast<std::size_t>(t.region_of(i, l))] += w[static_cast<std::size_t>(i)];
  for (int l = 1; l <= t.nlevels; ++l) {
    int top = 0;
    for (int r = 1; r <= nr; ++r)
      if (reg.level(r) == l && (top == 0 || region_w[static_cast<std::size_t>(r)] >
                                                region_w[static_cast<std::size_t>(top)]))
        top = r;
    if (top == 0) {
      ind.Real(kNotComputed).Real(kNotComputed).Real(kNotComputed);
    } else {
      ind.Int(top).Text(RegionName(t.run, top)).Real(region_w[static_cast<std::size_t>(top)]);
    }
  }
}

// The posteriors rows of record `rec`: one per population with a posterior of
// at least kSmallestPosterior.
void PosteriorRows(const TableRows& t, int rec, int g, const std::string& collection,
                   const std::string& id, const std::vector<double>& w, CsvTable& post) {
  for (int i = 1; i <= t.run.par.npop; ++i) {
    const double wi = w[static_cast<std::size_t>(i)];
    const double bi = t.bayes != nullptr ? (*t.bayes)(i, g) : 0.0;
    if (!(wi >= kSmallestPosterior) && !(bi >= kSmallestPosterior)) continue;
    post.Text(collection).Int(rec).Text(id).Int(i).Text(PopulationName(t.run, i));
    for (int l = 1; l <= t.nlevels; ++l) {
      if (t.region_of(i, l) > 0)
        post.Int(t.region_of(i, l));
      else
        post.Real(kNotComputed);
    }
    post.Real(wi);
    if (t.bayes != nullptr) post.Real(bi);
    post.EndRow();
  }
}

// The individuals row's sampler columns: the population most likely under the
// averaged membership of genotype g, and that membership.
void BayesColumns(const TableRows& t, int g, CsvTable& ind) {
  int best = 1;
  for (int i = 2; i <= t.run.par.npop; ++i)
    if ((*t.bayes)(i, g) > (*t.bayes)(best, g)) best = i;
  if (!((*t.bayes)(best, g) > 0.0)) {
    ind.Real(kNotComputed).Real(kNotComputed).Real(kNotComputed);
    return;
  }
  ind.Int(best).Text(PopulationName(t.run, best)).Real((*t.bayes)(best, g));
}

// The mixture collection of record `rec`: its own COLLECTION field when the
// mixture file has one (a pooled import), else the run's.
std::string RecordCollection(const Run& run, int rec, const std::string& pooled) {
  const std::vector<std::string>& own = run.input.record_collection;
  const auto k = static_cast<std::size_t>(rec - 1);
  return k < own.size() && !own[k].empty() ? own[k] : pooled;
}

}  // namespace

void WriteIndividualTables(Run& run, const Mat<double>& P, const Vec<double>& theta,
                           const Mat<double>* bayes) {
  const Input& in = run.input;
  const int np = run.par.npop;
  const int nr = run.par.nregions;
  int nlevels = 0;
  for (int r = 1; r <= nr; ++r) nlevels = std::max(nlevels, run.regions.level(r));

  std::vector<Mat<double>> pop_freq;
  if (!EstimatedFrequencies(run, pop_freq)) return;
  const Mat<int> region_of = RegionOfLevels(run);
  CsvTable ind = IndividualsTable(nlevels, !in.record_known.empty(), bayes != nullptr);
  CsvTable post = PosteriorsTable(nlevels, bayes != nullptr);
  const TableRows rows{.run = run,
                       .P = P,
                       .theta = theta,
                       .pop_freq = pop_freq,
                       .region_of = region_of,
                       .nlevels = nlevels,
                       .bayes = bayes};

  const int nrec = in.record_genotype.Size();
  const std::string pooled = MixtureCollection(run);
  std::vector<FitCache> caches(static_cast<std::size_t>(np));
  const std::vector<std::vector<double>> masses = PredictiveMasses(run);
  std::vector<double> w(static_cast<std::size_t>(np) + 1);
  std::vector<double> region_w(static_cast<std::size_t>(nr) + 1);
  const bool known_field = !in.record_known.empty();
  const std::size_t geno_size =
      static_cast<std::size_t>(run.par.max_types) * static_cast<std::size_t>(run.par.nchar);
  std::size_t known_seen = 0;
  for (int rec = 1; rec <= nrec; ++rec) {
    const int g = in.record_genotype(rec);
    // A fish of known origin keeps its own genotype beside the one that stands for it.
    const bool known = known_field && in.record_known[static_cast<std::size_t>(rec - 1)] > 0;
    const std::int8_t* copies =
        known ? in.known_copies.data() + geno_size * known_seen++ : in.copies.Ptr(1, 1, g);
    const std::string id = static_cast<std::size_t>(rec) <= in.record_id.size()
                               ? in.record_id[rec - 1]
                               : std::string();
    const int line = rec <= in.record_line.Size() ? in.record_line(rec) : 0;
    const std::string collection = RecordCollection(run, rec, pooled);
    ind.Text(collection).Int(rec).Int(line).Text(id).Int(CharactersScored(run, copies));
    const int best = Membership(rows, g, w);
    if (best == 0) {
      for (int k = 0; k < 3 + 3 * nlevels + 2; ++k) ind.Real(kNotComputed);
      if (known_field) ind.Int(known ? 1 : 0);
      if (bayes != nullptr) BayesColumns(rows, g, ind);
      ind.EndRow();
      continue;
    }
    ind.Int(best).Text(PopulationName(run, best)).Real(w[static_cast<std::size_t>(best)]);
    RegionColumns(rows, w, region_w, ind);
    const GenotypeFit fit =
        FitGenotype(run, pop_freq[static_cast<std::size_t>(best - 1)], copies,
                    &caches[static_cast<std::size_t>(best - 1)],
                    masses.empty() ? nullptr : masses[static_cast<std::size_t>(best - 1)].data());
    ind.Real(fit.log_likelihood);
    ind.Real(fit.variance > 0.0 ? (fit.log_likelihood - fit.mean) / std::sqrt(fit.variance)
                                : kNotComputed);
    if (known_field) ind.Int(known ? 1 : 0);
    if (bayes != nullptr) BayesColumns(rows, g, ind);
    ind.EndRow();
    PosteriorRows(rows, rec, g, collection, id, w, post);
  }
  if (!WriteCsvTable(run, ".individuals.csv", "Individuals table", ind)) return;
  WriteCsvTable(run, ".posteriors.csv", "Posteriors table", post);
}

}  // namespace velk
