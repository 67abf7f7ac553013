#include "report/prtest.hpp"

#include <algorithm>
#include <vector>

#include "core/fields.hpp"
#include "core/reports.hpp"
#include "report/estimate_table.hpp"

namespace velk {

namespace {

// `n` single underscores, the items of a rule.
std::vector<Item> Underscores(int n) {
  return std::vector<Item>(static_cast<std::size_t>(n), "_");
}

double Cv(double estimate, double sd) {
  return CoefficientOfVariation(estimate, sd);
}

const char* Kind(int ploidy) {
  if (ploidy == 2) return "locus";
  if (ploidy == 4) return "isolocus";
  return "phenotype/mtDNA";
}

}  // namespace

void Prtest(Run& run, const EstimatesReport& est) {
  Unit& out = run.output.unit[Report::kEstimates];
  const int np = run.par.npop;
  const int nc = run.par.nchar;
  const int nr = run.par.nregions;
  const std::vector<Item> rule = Underscores(kRuleLength);

  out.Write("(//2x,75a/)", rule);
  out.Write("(/2x,a,a)", {"* Estimation: ", Padded(run.title, kTitleWidth)});
  out.Write("(/2x,a,i4)", {"Iterations              ", est.iterations});
  out.Write("(2x,a,g12.6)", {"Log likelihood          ", est.log_likelihood});
  out.Write("(2x,a,f6.2)", {"Percent of maximum      ", est.record.pctmax});
  out.Write("(2x,a,g8.3)", {"Maximum estimate update ", est.record.change});
  if (run.opt.rannala_mountain)
    out.Write("(/2x,a,a)",
              {"Uses Rannala-Mountain model of baseline allele frequency ", "distributions"});
  if (run.opt.predictive)
    out.Write("(2x,a,a)", {"Genotype probabilities from the predictive model: copies drawn ",
                           "from the Dirichlet posterior"});
  if (run.opt.pella_masuda)
    out.Write("(/2x,a,a)",
              {"Uses Pella-Masuda model of baseline allele frequency ", "distributions"});

  int nobs = 0;
  for (int k = 1; k <= est.nclasses; ++k) nobs += est.class_individuals(k);
  out.Write("(/2x,a,i4)", {"Number of types ", est.ngenotypes});
  out.Write("(2x,a,i4)", {"Number of observations ", nobs});
  // Fish of known origin: one type per population stands for them, in the last class.
  if (run.input.geno_known.Size() > 0 && est.nclasses >= 1)
    out.Write("(2x,a,i4,a)", {"Known origin           ", est.class_individuals(est.nclasses),
                              " (their population's share alone)"});
  if (est.nclasses > 1) {
    out.Write("(2x,a,i4)", {"Classes   ", est.nclasses});
    std::vector<Item> types{"- Types per class"};
    std::vector<Item> individuals{"- Individuals per class"};
    for (int k = 1; k <= est.nclasses; ++k) {
      types.emplace_back(est.class_genotypes(k));
      individuals.emplace_back(est.class_individuals(k));
    }
    out.Write("(5x,a,10(/5x,10(1x,i4)))", types);
    out.Write("(5x,a,10(/5x,10(1x,i4)))", individuals);
  }

  out.Write("(//2x,a/)", {"Characters used in the analysis"});
  std::vector<Item> heading{"Character", "Type"};
  for (const Item& u : Underscores(33)) heading.push_back(u);
  out.Write("(8x,a,6x,a,/33a1/)", heading);
  for (int c = 1; c <= nc; ++c) {
    const Character& ch = run.chars(c);
    out.Write("(2x,i2,5x,a10,2x,a)",
              {c, Padded(ch.name, kCharNameWidth), Padded(Kind(ch.ploidy), 20)});
  }
  out.Write("(75a/)", rule);

  Vec<std::int32_t> index(std::max(np, nr));
  if (nr > 0) {
    int n = 0;
    for (int r = 1; r <= nr; ++r)
      if (est.regional(r, 1) > 0.0001) index(++n) = r;
    if (est.standard_errors)
      out.Write("(/7x,a,t40,a,t50,a,t61,a)", {"Area", "Estimate", "Std.Err.", "CV"});
    else
      out.Write("(/7x,a,t40,a)", {"Area", "Estimate"});
    int level = run.regions.level(1);
    for (int r = 1; r <= nr; ++r) {
      if (run.regions.level(r) != level) out.Write("()");
      level = run.regions.level(r);
      const std::string name = Padded(run.regions.name(r), kNameWidth);
      const double e = est.regional(r, 1);
      if (est.standard_errors) {
        const double sd = est.regional(r, 2);
        out.Write("(2x,i3,2x,a30,2(2x,f6.4,2x),1x,g8.2)", {r, name, e, sd, Cv(e, sd)});
      } else {
        out.Write("(2x,i3,2x,a30,2x,f6.4)", {r, name, e});
      }
    }
    out.Write("(75a1)", rule);
    if (est.standard_errors) {
      Vec<std::string> names(nr);
      for (int r = 1; r <= nr; ++r) names(r) = run.regions.name(r);
      Prcov(out, names, est.region_cov, n, index);
    }
  }

  // The population with the largest score is marked (the first on ties).
  int best = 1;
  for (int i = 2; i <= np; ++i)
    if (est.score(i) > est.score(best)) best = i;
  int n = 0;
  double sum = 0.0;
  for (int i = 1; i <= np; ++i) {
    if (est.theta(i) > 0.0001) index(++n) = i;
    sum += est.theta(i);
  }
  if (est.standard_errors)
    out.Write("(/7x,a,t39,a,t49,a,t60,a,t67,a)",
              {"Population", "Estimate", "Std.Err.", "CV", "Score"});
  else
    out.Write("(/7x,a,t39,a,t48,a)", {"Population", "Estimate", "Score"});
  for (int i = 1; i <= np; ++i) {
    const std::string name = Padded(run.pops(i).name, kNameWidth);
    const double t = est.theta(i);
    const double s = est.score(i) - nobs;
    const char* mark = i == best ? "*" : " ";
    if (est.standard_errors)
      out.Write("(1x,i3,2x,a30,2(2x,f6.4,2x),1x,g8.2,1x,                            f6.1,1x,a1)",
                {i, name, t, est.sd(i), Cv(t, est.sd(i)), s, mark});
    else
      out.Write("(2x,i3,2x,a30,1x,f6.4,3x,f6.1,1x,a1)", {i, name, t, s, mark});
  }
  if (est.possible_size < nobs) out.Write("(7x,a,t39,f6.4)", {"Unknown", 1.0 - sum});
  out.Write("(75a/)", rule);
  if (est.standard_errors) {
    Vec<std::string> names(np);
    for (int i = 1; i <= np; ++i) names(i) = run.pops(i).name;
    Prcov(out, names, est.cov, n, index);
  }
}

void Prcov(Unit& unit, const Vec<std::string>& names, const Mat<double>& m, int n,
           const Vec<std::int32_t>& index) {
  if (n <= 0) return;
  for (int lo = 1; lo <= n; lo += 5) {
    const int hi = std::min(lo + 4, n);
    if (lo == 1) unit.Write("(/2x,a/)", {"Correlation (below)/Covariances (above)"});
    std::vector<Item> columns;
    for (int j = lo; j <= hi; ++j) columns.emplace_back(j);
    unit.Write("(36x,100(4x,i3,3x))", columns);
    for (int i = 1; i <= n; ++i) {
      const int pi = index(i);
      std::vector<Item> row{i, Padded(names(pi), kNameWidth)};
      for (int j = lo; j <= std::min(i - 1, hi); ++j) row.emplace_back(m(pi, index(j)));
      for (int j = std::max(lo, i); j <= hi; ++j) row.emplace_back(m(pi, index(j)));
      if (i <= lo) {
        unit.Write("(2x,i3,2x,a30,100(1x,e9.3))", row);
      } else {
        // Correlations in ten columns each (a correlation of -1 prints in full),
        // then covariances.
        const std::string layout = Fmt("(a,i3,a,i3,a)", {"(2x,i3,2x,a30,", std::min(i - lo, hi),
                                                         "(1x,f6.3,3x),", n, "(1x,e9.3))"});
        unit.Write(layout, row);
      }
    }
    unit.Write("()");
  }
  unit.Write("(75a1)", Underscores(kRuleLength));
}

void Prtvec(Unit& unit, const Vec<double>& v, int n) {
  if (n <= 0) return;
  std::vector<Item> values;
  for (int i = 1; i <= n; ++i) values.emplace_back(v(i));
  unit.Write("(100(f8.4,1x))", values);
}

}  // namespace velk
