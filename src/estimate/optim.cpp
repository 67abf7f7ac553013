#include "estimate/optim.hpp"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>

#include "core/error.hpp"
#include "core/reports.hpp"
#include "core/run.hpp"
#include "estimate/conjas.hpp"
#include "estimate/em.hpp"
#include "estimate/irls.hpp"
#include "estimate/likelihood.hpp"
#include "numeric/kernels.hpp"

namespace velk {

namespace {

constexpr double kBaselineDone = 1.0e-8;
constexpr std::string_view kModeNames = "EM        CG        IRLS      ";

// Everything one call works with, so that the steps below read like the loop.
struct Optimiser {
  Run& run;
  const OptimData& data;
  const OptimSwitches& sw;
  Groups& groups;
  Vec<double>& theta;
  Vec<std::int32_t>& possible;
  OptimResult& res;
  OptimWork& work;

  int np = 0;
  int ngen = 0;
  int n0 = 0;
  OptimMode mode = OptimMode::kCg;
  bool update = false;  // baseline-update mode
  bool rescue = false;  // EM steps after a conjugate-gradient or IRLS stall
  double beta = 0.0;    // largest change of the last baseline update
  int last_line = -1;   // iteration of the last history line written

  double* q() { return work.qu.Data(); }
  double* u() { return work.qu.Data() + ngen; }

  bool History() { return sw.history != 0 && run.output.unit[Report::kIterations].IsOpen(); }

  void Header() {
    Unit& unit = run.output.unit[Report::kIterations];
    unit.Write("(/t20,a,t41,a,/3x,a,t18,a,t38,a,t51,a,t58,a,t68,a,t76,a)",
               {"Max", "Log", "Iteration", "Update  (Baseline)", "Likelihood", "% Max", "Algorithm",
                "Sum_Theta", "%Possible"});
    unit.Write("(t5,i4,t36,f12.3,t49,f6.1t68,f6.4,t76,f6.4)",
               {0, res.L, res.conv.pctmax, Dhsum(np, theta.Data(), 1), groups.total(1)});
    last_line = 0;
  }

  void Line(int it) {
    const auto m = static_cast<std::size_t>(static_cast<int>(mode) - 1);
    run.output.unit[Report::kIterations].Write(
        "(t5,i4,t16,g8.3,2x,a1,g8.3,a1,t36,f12.3,t49,f6.1,t60,a)",
        {it, res.conv.change, "(", beta, ")", res.L, res.conv.pctmax,
         std::string(kModeNames.substr(10 * m, 10))});
    last_line = it;
  }

  void Expect() {
    Genexp(np, data.nclasses, theta, data.count, q(), u(), data.P, work.S, data.class_genotypes,
           possible, work.possible_individuals, res.score);
    Pctmax(np, res.nposs, groups, theta, res.score, res.conv, work.best, work.best_score);
  }

  // Setfrq with the genotype tolerance; when genotypes were screened out the
  // possible sample size is lowered and theta and the group totals are scaled
  // to the possible fraction. False after message 3036.
  bool Screen() {
    int any = 0;
    Setfrq(np, data.nclasses, data.P, data.lscale, data.class_genotypes, data.class_individuals,
           work.S, possible, any, work.possible_individuals, data.count, run.par.geno_tol);
    if (any == 0) return true;
    const int n = Idot(ngen, possible.Data(), 1, data.count.Data(), 1);
    if (n < 1) {
      Error(run, 3036);
      return false;
    }
    res.nposs = n;
    const double rho = static_cast<double>(n) / static_cast<double>(n0);
    const double sum = Dhsum(np, theta.Data(), 1);
    // theta keeps summing to the group totals: a call whose totals were already
    // scaled to the possible fraction (a likelihood-profile trial) and that
    // finds the same genotypes impossible keeps them as they are.
    double total = 0.0;
    for (int k = 1; k <= groups.k; ++k) total += groups.total(k);
    if (sum > 0.0) {
      for (int i = 1; i <= np; ++i) theta(i) = theta(i) * (rho * total / sum);
    }
    for (int k = 1; k <= groups.k; ++k) groups.total(k) = groups.total(k) * rho;
    return true;
  }

  // The end of the baseline update: screening on the final frequencies.
  bool EndUpdate() {
    update = false;
    if (!Screen()) return false;
    work.baseline.W.Free();
    work.baseline.known.Free();
    // The other rules compare their trials with L: it must belong to the final
    // matrix and to theta as screening left it.
    res.L = Hood(np, ngen, data.P, data.lscale, theta, possible, data.count);
    return true;
  }

  void Allocate() {
    const int nclasses = data.nclasses;
    StepWorkInit(work.step, np, ngen);
    work.S.Resize(np, std::max(nclasses, 1), 0.0);
    work.possible_individuals.Resize(std::max(nclasses, run.par.max_types), 0);
    work.qu.Resize(ngen + nclasses, 0.0);
    work.trial.Resize(np, 0.0);
    work.best.Resize(std::max(groups.k, 1), 0);
    work.best_score.Resize(std::max(groups.k, 1), 0.0);
    res.score.Resize(np, 0.0);
    if (data.nmissing < 1) {
      mode = OptimMode::kCg;
      CgAlloc(work.step, np);
    } else {
      mode = OptimMode::kEm;
      update = true;
      BaselineWorkInit(run, np, ngen, work.baseline);
      const int entries = std::max(data.nmissing, 1);
      if (data.missing_totals.Size() < entries) data.missing_totals.Resize(entries);
      if (data.missing_freqs.Rows() != run.par.max_types || data.missing_freqs.Cols() < entries) {
        data.missing_freqs.Resize(run.par.max_types, entries);
      }
      data.missing_totals.Fill(0.0);
      data.missing_freqs.Fill(0.0);
    }
  }

  // One EM pass with the baseline update. False when the run stopped.
  bool EmStep() {
    Em(np, ngen, n0, q(), data.P, theta, work.trial, data.count, possible, groups, res.conv);
    const double trial = Hood(np, ngen, data.P, data.lscale, work.trial, possible, data.count);
    const double tau = run.par.ftol;
    if (std::fabs(res.L - trial) <= std::fabs(res.L) * tau) {
      Pctmax(np, res.nposs, groups, theta, res.score, res.conv, work.best, work.best_score);
      run.error.x1 = tau;
      run.error.x2 = res.conv.pctmax;
      Error(run, 1007);
      res.finished = 1;
      // EM can gain nothing more on these frequencies: the update ends here and
      // the other rules take over, rather than repeating the same test.
      return EndUpdate();
    }
    res.L = trial;
    Dcopy(np, work.trial.Data(), 1, theta.Data(), 1);
    beta =
        Upgmat(run, np, ngen, theta, data.P, data.lscale, data.count, data.copies, data.base_totals,
               data.base_counts, sw.draw, data.missing_totals, data.missing_freqs, work.baseline);
    if (run.error.stop) return false;
    Colmax(np, ngen, data.P, work.step.colmax);
    if (beta < kBaselineDone) return EndUpdate();
    return true;
  }

  // One EM step after a stall: taken when it gains more than the likelihood
  // tolerance, otherwise 1007 ends the search.
  void RescueStep() {
    Em(np, ngen, n0, q(), data.P, theta, work.trial, data.count, possible, groups, res.conv);
    const double trial = Hood(np, ngen, data.P, data.lscale, work.trial, possible, data.count);
    const double tau = run.par.ftol;
    if (std::fabs(res.L - trial) <= std::fabs(res.L) * tau || !(trial >= res.L)) {
      run.error.x1 = tau;
      run.error.x2 = res.conv.pctmax;
      Error(run, 1007);
      res.finished = 1;
      return;
    }
    res.L = trial;
    Dcopy(np, work.trial.Data(), 1, theta.Data(), 1);
  }

  // The end of a search must be a number: a log-likelihood that is not finite,
  // or no possible genotype with a positive mixture probability, is no estimate.
  void CheckFinite() {
    bool positive = false;
    for (int g = 1; g <= ngen && !positive; ++g) positive = possible(g) == 1 && q()[g - 1] > 0.0;
    if (std::isfinite(res.L) && (positive || ngen == 0)) return;
    run.error.n1 = std::isfinite(res.L) ? 2 : 1;
    Error(run, 3041);
  }

  void Maximise() {
    n0 = res.nposs;
    ngen = Isum(data.nclasses, data.class_genotypes.Data(), 1);
    res.iterations = 0;
    res.finished = 0;
    res.stalled = 0;
    res.ended_by = 0;
    rescue = false;
    beta = 0.0;
    try {
      Allocate();
    } catch (const std::bad_alloc&) {
      Error(run, 3000);
      return;
    }

    if (!update && sw.screen != 0) {
      if (!Screen()) return;
    } else {
      Genes(np, data.nclasses, data.P, data.lscale, data.class_genotypes, data.class_individuals,
            work.S, possible, work.possible_individuals, data.count);
    }
    Colmax(np, ngen, data.P, work.step.colmax);
    res.L = Hood(np, ngen, data.P, data.lscale, theta, possible, data.count);
    Expect();
    if (History()) Header();

    const double eps = run.par.eps;
    const double tau = run.par.ftol;
    const int limit = run.par.max_iterations;
    work.step.restart = np;
    bool done = false;  // the loop ended before its last pass
    bool irls_request = false;
    bool irls_ready = false;
    for (int it = 1; it <= limit; ++it) {
      res.iterations = it;

      // 1. The step of the current mode.
      if (mode == OptimMode::kEm && rescue) {
        RescueStep();
      } else if (mode == OptimMode::kEm) {
        if (!EmStep()) return;
      } else if (mode == OptimMode::kCg) {
        Restart(np, groups, theta, work.best, eps, work.step);
        Conjas(run, np, data.nclasses, data.class_genotypes, theta, work.trial, data.P, data.lscale,
               data.count, res.score, q(), possible, res.L, groups, eps, tau, res.conv, work.step);
      } else {
        Abmat(np, data.nclasses, data.count, q(), u(), data.P, data.lscale, work.S,
              data.class_genotypes, work.possible_individuals, possible, groups, work.step);
        const int code = Wolfe(run, np, work.step);
        if (run.error.stop) return;
        if (code == 1011) {
          res.ended_by = 1011;
          done = true;
          break;
        }
        Newges(run, np, ngen, possible, theta, work.trial, data.P, data.lscale, data.count, q(),
               res.L, eps, tau, res.conv, work.step);
      }
      if (run.error.stop) return;

      // 2. Expectations and the percent of maximum; a step without progress stalls.
      Expect();
      const int last = Lastcd(run);
      if (last == 1007 || last == 1006) {
        res.stalled = 1;
        if (last == 1007) res.ended_by = 1007;
      } else if (History() && it % 5 == 0) {
        Line(it);
      }

      // 3. The guaranteed percent of the maximum.
      if (res.conv.pctmax > run.par.gpa) {
        run.error.x2 = res.conv.pctmax;
        Error(run, 102);
        res.ended_by = 102;
        done = true;
      }

      // 4. Hand-over and convergence. A stall that is not the likelihood
      // tolerance's (1006) hands over to EM steps.
      const bool stuck = res.stalled != 0 && last == 1006;
      if (mode == OptimMode::kEm && rescue) {
        if (res.stalled != 0) done = true;
      } else if (mode == OptimMode::kEm) {
        if (!update) {
          res.stalled = 0;
          beta = 0.0;
          if (sw.irls == 0) {
            CgAlloc(work.step, np);
            mode = OptimMode::kCg;
          } else {
            mode = OptimMode::kIrls;
            irls_request = true;
          }
        }
      } else if (mode == OptimMode::kCg) {
        if (sw.irls != 0 && (res.conv.change < run.par.irls_switch || res.stalled != 0)) {
          res.stalled = 0;
          CgFree(work.step);
          mode = OptimMode::kIrls;
          irls_request = true;
        } else if (stuck) {
          CgFree(work.step);
          Rescue();
        } else if (res.stalled != 0) {
          done = true;
        } else if (res.conv.change < eps) {
          Converged();
          done = true;
        }
      } else {
        if (stuck) {
          Rescue();
        } else if (res.stalled != 0) {
          done = true;
        } else if (res.conv.change < eps) {
          Converged();
          done = true;
        }
      }

      // 5. IRLS storage, once.
      if (irls_request) {
        irls_request = false;
        try {
          if (!irls_ready) IrlsAlloc(work.step, np);
        } catch (const std::bad_alloc&) {
          Error(run, 3000);
          return;
        }
        irls_ready = true;
        work.step.active.Fill(1);
      }
      if (done) break;
    }

    if (!done && res.iterations >= limit) {
      run.error.n1 = limit;
      run.error.x2 = res.conv.pctmax;
      Error(run, 1008);
      res.finished = 1;
      res.ended_by = 1008;
    }

    // Final tail: the final state goes into the history exactly once.
    Expect();
    if (History() && last_line != res.iterations) Line(res.iterations);
    CheckFinite();
  }

  void Rescue() {
    res.stalled = 0;
    rescue = true;
    mode = OptimMode::kEm;
  }

  void Converged() {
    run.error.x1 = res.conv.change;
    run.error.x2 = res.conv.pctmax;
    Error(run, 101);
    res.finished = 1;
    res.ended_by = 101;
  }
};

}  // namespace

OptimData RunOptimData(Run& run, Mat<double>& P, Vec<double>& lscale) {
  Input& in = run.input;
  return OptimData{.P = P,
                   .lscale = lscale,
                   .count = in.geno_count,
                   .class_genotypes = in.class_genotypes,
                   .class_individuals = in.class_individuals,
                   .nclasses = in.nclasses,
                   .copies = in.copies,
                   .base_totals = in.base_totals,
                   .base_counts = in.base_counts,
                   .nmissing = in.nmissing_base,
                   .missing_totals = in.missing_totals,
                   .missing_freqs = in.missing_freqs};
}

void Optim(Run& run, const OptimData& data, const OptimSwitches& sw, Groups& groups,
           Vec<double>& theta, Vec<std::int32_t>& possible, OptimResult& res, OptimWork& work) {
  Errpush(run, "Searching for the maximum likelihood estimates");
  Optimiser o{run, data, sw, groups, theta, possible, res, work};
  o.np = theta.Size();
  o.Maximise();
  // The conjugate direction and the baseline work live for one call only.
  CgFree(work.step);
  work.baseline.W.Free();
  work.baseline.known.Free();
  work.baseline.ready.Free();
  Errpop(run);
}

void Optim(Run& run, const OptimData& data, const OptimSwitches& sw, Groups& groups,
           Vec<double>& theta, Vec<std::int32_t>& possible, OptimResult& res) {
  OptimWork work;
  Optim(run, data, sw, groups, theta, possible, res, work);
}

}  // namespace velk
