#pragma once
// The data sets of the kernel benchmarks, built in memory by the tests'
// synthetic generator (support/synthetic.hpp): np populations related through a
// common ancestral frequency (so that they overlap as real stocks do), nc diploid
// loci, and a mixture drawn from uneven known proportions, each individual one
// genotype of one class. Everything comes from a fixed seed, so every run times
// the same data.
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>

#include "core/error.hpp"
#include "core/run.hpp"
#include "model/gmatrx.hpp"
#include "model/groups.hpp"
#include "estimate/likelihood.hpp"
#include "estimate/stepwork.hpp"
#include "support/synthetic.hpp"

namespace velk::bench {

// A platform that shows nothing.
class QuietPlatform : public Platform {
 public:
  void ShowStatus(const std::string&) override {}
  void Beep(int) override {}
  void ShowMessageBox(const std::string&, const std::string&) override {}
};

// A stream that swallows the generators' warnings.
class NullBuffer : public std::streambuf {
 protected:
  int overflow(int c) override { return c; }
};

// The shape of one data set.
struct Shape {
  const char* name;
  int np;         // populations
  int nc;         // loci
  int n;          // mixture individuals
  int min_types;  // loci cycle through min_types..max_types types
  int max_types;
  int copies;   // baseline gene copies per population and locus
  int rannala;  // Rannala-Mountain model
};

// The two sizes the benchmarks use: a SNP baseline of the size of the chinook
// data, and a larger multi-allelic one.
inline constexpr Shape kShapes[] = {
    {"69pop_91snp_2256ind", 69, 91, 2256, 2, 2, 900, 1},
    {"100pop_50loc_5000ind", 100, 50, 5000, 2, 8, 400, 1},
};

// One data set in a run of its own, with the genotype matrix and everything a
// maximisation step needs around it (as the maximisation driver keeps it).
struct Dataset {
  Dataset() : run(process, platform) {}
  Dataset(const Dataset&) = delete;
  Dataset& operator=(const Dataset&) = delete;

  QuietPlatform platform;
  NullBuffer null_buffer;
  std::ostream null_stream{&null_buffer};
  Process process;
  Run run;
  Shape shape{};
  Mat<double> P;
  Vec<double> lscale;
  Vec<std::int32_t> possible;
  Groups groups;
  Mat<double> S;
  Vec<std::int32_t> possible_individuals;
  Vec<double> qu;  // q (genotypes), then u (classes)
  Vec<double> score;
  Vec<int> best;
  Vec<double> best_score;
  Vec<double> theta;
  Vec<double> trial;
  Convergence conv;
  StepWork work;
  double L = 0.0;
  int nposs = 0;

  int np() const { return shape.np; }
  int ngen() const { return run.input.ngenotypes; }
  double* q() { return qu.Data(); }
  double* u() { return qu.Ptr(ngen() + 1); }

  // What the driver recomputes after every step: q, u, the score and the
  // percent of maximum for theta.
  void Expect() {
    Genexp(np(), run.input.nclasses, theta, run.input.geno_count, q(), u(), P, S,
           run.input.class_genotypes, possible, possible_individuals, score);
    Pctmax(np(), nposs, groups, theta, score, conv, best, best_score);
  }
  // L and the expectations for theta.
  void Refresh() {
    L = Hood(np(), ngen(), P, lscale, theta, possible, run.input.geno_count);
    Expect();
  }
};

inline void Build(Dataset& d, const Shape& s) {
  d.shape = s;
  Run& run = d.run;
  Error(run, 1);  // message state: counted only, no log is open
  d.process.random.console = &d.null_stream;
  d.process.Zbqlini(4242);
  run.par.npop = s.np;
  run.par.nchar = s.nc;
  run.par.max_types = s.max_types;
  run.par.max_iterations = 1000;
  run.par.geno_tol = 1e-300;
  run.opt.rannala_mountain = s.rannala;
  run.chars = Vec<Character>(s.nc);
  for (int c = 1; c <= s.nc; ++c) {
    const int span = s.max_types - s.min_types + 1;
    run.chars(c).ntypes = s.min_types + (c - 1) % span;
    run.chars(c).ploidy = 2;
  }

  test::Uniform u(20240611u + static_cast<std::uint64_t>(s.np) * 7919u +
                  static_cast<std::uint64_t>(s.nc));
  const Arr3<double> f = test::RelatedFrequencies(run, u, s.np, 30.0);  // Fst about 0.03
  // True proportions: geometric, so that a few populations dominate and many
  // contribute little or nothing, as in a real fishery sample.
  Vec<double> truth(s.np);
  double tsum = 0.0;
  for (int i = 1; i <= s.np; ++i) tsum += (truth(i) = std::pow(0.9, i - 1));
  for (int i = 1; i <= s.np; ++i) truth(i) /= tsum;
  const int n = s.n;
  test::DrawSynthetic(run, u, f, s.copies, truth.Data(), n);
  Input& in = run.input;
  run.par.max_genotypes = n;

  int nmissing = 0;
  Gmatrx(run, d.P, d.lscale, nmissing);
  d.possible = Vec<std::int32_t>(n, 1);
  d.groups = OneGroup(s.np);
  d.S = Mat<double>(s.np, 1);
  d.possible_individuals = Vec<std::int32_t>(std::max(1, s.max_types));
  d.qu = Vec<double>(n + 1);
  d.score = Vec<double>(s.np);
  d.best = Vec<int>(1);
  d.best_score = Vec<double>(1);
  d.theta = Vec<double>(s.np, 1.0 / s.np);
  d.trial = Vec<double>(s.np);
  d.nposs = n;
  Genes(s.np, 1, d.P, d.lscale, in.class_genotypes, in.class_individuals, d.S, d.possible,
        d.possible_individuals, in.geno_count);
  StepWorkInit(d.work, s.np, n);
  Colmax(s.np, n, d.P, d.work.colmax);
  d.Refresh();
}

// The data set of shape k, built on first use and kept for the whole program.
inline Dataset& Data(int k) {
  static std::map<int, std::unique_ptr<Dataset>> cache;
  auto& slot = cache[k];
  if (!slot) {
    slot = std::make_unique<Dataset>();
    Build(*slot, kShapes[k]);
  }
  return *slot;
}

}  // namespace velk::bench
