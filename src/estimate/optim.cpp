#include "estimate/optim.hpp"

#include <algorithm>
#include <cmath>
#include <new>
#include <optional>
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
  Optimiser(Run& run_, const OptimData& data_, const OptimSwitches& sw_, Groups& groups_,
            Vec<double>& theta_, Vec<std::int32_t>& possible_, OptimResult& res_,
            OptimWork& work_)
      : run(run_), data(data_), sw(sw_), groups(groups_), theta(theta_), possible(possible_),
        res(res_), work(work_),
        at{.theta = theta_, .newtheta = work_.trial, .L = res_.L, .possible = possible_,
           .S = work_.S, .possible_individuals = work_.possible_individuals, .q = nullptr,
           .u = nullptr, .score = res_.score, .conv = res_.conv},
        np(theta_.Size()) {}

  Run& run;
  const OptimData& data;
  const OptimSwitches& sw;
  Groups& groups;
  Vec<double>& theta;
  Vec<std::int32_t>& possible;
  OptimResult& res;
  OptimWork& work;
  IterateState at;  // theta, L, score and conv are those of the call; q and u in work.qu
  Tolerances tol;

  int np = 0;
  int ngen = 0;
  int n0 = 0;
  OptimMode mode = OptimMode::kCg;
  bool update = false;  // baseline-update mode
  bool rescue = false;  // EM steps after a conjugate-gradient or IRLS stall
  bool irls_ready = false;  // the IRLS arrays are allocated
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
    Genexp(data, at);
    Pctmax(res.nposs, groups, at, work.best, work.best_score);
  }

  // Setfrq with the genotype tolerance; when genotypes were screened out the
  // possible sample size is lowered and theta and the group totals are scaled
  // to the possible fraction. False after message 3036.
  [[nodiscard]] bool Screen() {
    if (!Setfrq(data, run.par.geno_tol, at)) return true;
    const int n = Idot(ngen, possible.Data(), 1, data.count.Data(), 1);
    if (n < 1) {
      Error(run, 3036, {});
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
  [[nodiscard]] bool EndUpdate() {
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
    at.q = q();
    at.u = u();
    if (data.nmissing < 1) {
      mode = OptimMode::kCg;
      CgAlloc(work.step, np);
    } else {
      mode = OptimMode::kEm;
      update = true;
      BaselineWorkInit(run, data, np, work.baseline);
      const int entries = std::max(data.nmissing, 1);
      if (data.missing_totals.Size() < entries) data.missing_totals.Resize(entries);
      if (data.missing_freqs.Rows() != run.par.max_types || data.missing_freqs.Cols() < entries) {
        data.missing_freqs.Resize(run.par.max_types, entries);
      }
      data.missing_totals.Fill(0.0);
      data.missing_freqs.Fill(0.0);
    }
  }

  // The EM step from theta into the trial point and the trial's log-likelihood.
  double EmTrial() {
    Em(data, n0, groups, at);
    return Hood(np, ngen, data.P, data.lscale, work.trial, possible, data.count);
  }

  // One EM pass with the baseline update; nullopt when the run stopped.
  [[nodiscard]] std::optional<StepOutcome> EmStep() {
    const double trial = EmTrial();
    if (std::fabs(res.L - trial) <= std::fabs(res.L) * tol.tau) {
      Pctmax(res.nposs, groups, at, work.best, work.best_score);
      Error(run, 1007, {.x1 = tol.tau, .x2 = res.conv.pctmax});
      res.finished = 1;
      // EM can gain nothing more on these frequencies: the update ends here and
      // the other rules take over, rather than repeating the same test.
      if (!EndUpdate()) return std::nullopt;
      return StepOutcome::kNoGain;
    }
    res.L = trial;
    Dcopy(np, work.trial.Data(), 1, theta.Data(), 1);
    beta = Upgmat(run, data, theta, sw.draw != 0, work.baseline);
    if (run.error.stop) return std::nullopt;
    Colmax(np, ngen, data.P, work.step.colmax);
    if (beta < kBaselineDone && !EndUpdate()) return std::nullopt;
    return StepOutcome::kMoved;
  }

  // x back in the groups' simplex after a SQUAREM extrapolation: negative
  // entries set to 0, each group scaled to its total.
  void BackToTotals(Vec<double>& x) const {
    for (int i = 1; i <= np; ++i) x(i) = std::max(x(i), 0.0);
    ScaleToTotals(groups, x);
  }

  // The EM map of x into `into`; theta takes x for the expectations.
  void EmMap(const Vec<double>& x, Vec<double>& into) {
    Dcopy(np, x.Data(), 1, theta.Data(), 1);
    Genexp(data, at);
    Em(data, n0, groups, at);
    Dcopy(np, work.trial.Data(), 1, into.Data(), 1);
  }

  // One accelerated EM step after a stall (SQUAREM, scheme S3, with its
  // monotone safeguard): two EM steps give r and v, the extrapolation
  // t0 - 2 a r + a^2 v (a = -|r|/|v|, at most -1) is stabilised by one more
  // EM step and pulled back towards the plain double step (a = -1) until it
  // loses nothing. Taken when it gains more than the likelihood tolerance;
  // otherwise warning 1007 ends the search.
  StepOutcome RescueStep() {
    const Vec<double> t0 = theta;
    const double L0 = res.L;
    Vec<double> t1(np), t2(np), trial(np), next(np);
    Em(data, n0, groups, at);  // the expectations of t0 are the last pass's
    Dcopy(np, work.trial.Data(), 1, t1.Data(), 1);
    EmMap(t1, t2);
    double rr = 0.0, vv = 0.0;
    for (int i = 1; i <= np; ++i) {
      const double r = t1(i) - t0(i), v = t2(i) - 2.0 * t1(i) + t0(i);
      rr += r * r;
      vv += v * v;
    }
    double a = vv > 0.0 ? std::min(-std::sqrt(rr / vv), -1.0) : -1.0;
    double L = 0.0;
    for (;;) {
      for (int i = 1; i <= np; ++i) {
        const double r = t1(i) - t0(i), v = t2(i) - 2.0 * t1(i) + t0(i);
        trial(i) = a == -1.0 ? t2(i) : t0(i) - 2.0 * a * r + a * a * v;
      }
      if (a != -1.0) BackToTotals(trial);
      EmMap(trial, next);
      L = Hood(np, ngen, data.P, data.lscale, next, possible, data.count);
      if (L >= L0 || a == -1.0) break;
      a = (a - 1.0) / 2.0;
      if (a > -1.01) a = -1.0;
    }
    if (std::fabs(L0 - L) <= std::fabs(L0) * tol.tau || !(L >= L0)) {
      Dcopy(np, t0.Data(), 1, theta.Data(), 1);
      Genexp(data, at);
      res.conv.change = 0.0;
      Error(run, 1007, {.x1 = tol.tau, .x2 = res.conv.pctmax});
      res.finished = 1;
      return StepOutcome::kNoGain;
    }
    double change = 0.0;
    for (int i = 1; i <= np; ++i) change = std::max(change, std::fabs(next(i) - t0(i)));
    Dcopy(np, next.Data(), 1, theta.Data(), 1);
    res.L = L;
    res.conv.change = change;
    return StepOutcome::kMoved;
  }

  // The end of a search must be a number: a log-likelihood that is not finite,
  // or no possible genotype with a positive mixture probability, is no estimate.
  void CheckFinite() {
    bool positive = false;
    for (int g = 1; g <= ngen && !positive; ++g) positive = possible(g) == 1 && q()[g - 1] > 0.0;
    if (std::isfinite(res.L) && (positive || ngen == 0)) return;
    Error(run, 3041, {.n1 = std::isfinite(res.L) ? 2 : 1});
  }

  // How one pass of the loop ended.
  enum class Pass { kGoOn, kDone, kStopped };

  // Storage and the start: screening (or the class masses), L, the
  // expectations and the history's head. False when the run stopped.
  [[nodiscard]] bool Begin() {
    n0 = res.nposs;
    ngen = data.Genotypes();
    tol = RunTolerances(run);
    res.iterations = 0;
    res.finished = 0;
    res.stalled = 0;
    res.ended_by = SearchOutcome::kOther;
    rescue = false;
    beta = 0.0;
    try {
      Allocate();
    } catch (const std::bad_alloc&) {
      Error(run, 3000, {});
      return false;
    }

    if (!update && sw.screen != 0) {
      if (!Screen()) return false;
    } else {
      Genes(data, at);
    }
    Colmax(np, ngen, data.P, work.step.colmax);
    res.L = Hood(np, ngen, data.P, data.lscale, theta, possible, data.count);
    Expect();
    if (History()) Header();
    work.step.restart = np;
    return true;
  }

  // 1. The step of the current mode, its outcome into `outcome`. kDone when
  // Wolfe's method found no row to leave the basis (warning 1011).
  [[nodiscard]] Pass Step(StepOutcome& outcome) {
    if (mode == OptimMode::kEm && rescue) {
      outcome = RescueStep();
    } else if (mode == OptimMode::kEm) {
      const std::optional<StepOutcome> em = EmStep();
      if (!em) return Pass::kStopped;
      outcome = *em;
    } else if (mode == OptimMode::kCg) {
      Restart(np, groups, theta, work.best, tol.eps, work.step);
      outcome = Conjas(run, data, groups, tol, at, work.step);
    } else {
      Abmat(data, groups, at, work.step);
      const WolfeOutcome solved = Wolfe(run, np, work.step);
      if (run.error.stop) return Pass::kStopped;
      if (solved == WolfeOutcome::kNoLeavingRow) {
        res.ended_by = SearchOutcome::kNoLeavingRow;
        return Pass::kDone;
      }
      outcome = Newges(run, data, tol, at, work.step);
    }
    return run.error.stop ? Pass::kStopped : Pass::kGoOn;
  }

  // 2. A step without progress stalls; the history gets every fifth pass.
  void Record(int it, StepOutcome outcome) {
    if (outcome != StepOutcome::kMoved) {
      res.stalled = 1;
      if (outcome == StepOutcome::kNoGain) res.ended_by = SearchOutcome::kLikelihoodTolerance;
    } else if (History() && it % 5 == 0) {
      Line(it);
    }
  }

  // 3. The guaranteed percent of the maximum: true when reached (note 102).
  bool PercentReached() {
    if (!(res.conv.pctmax > run.par.gpa)) return false;
    Error(run, 102, {.x2 = res.conv.pctmax});
    res.ended_by = SearchOutcome::kPercentOfMaximum;
    return true;
  }

  // 4. Hand-over and convergence. A stall that is not the likelihood
  // tolerance's (1006) hands over to EM steps. kDone when the search ends,
  // kStopped when the IRLS arrays could not be had.
  [[nodiscard]] Pass HandOver(StepOutcome outcome) {
    const bool stuck = res.stalled != 0 && outcome == StepOutcome::kShrunk;
    if (mode == OptimMode::kEm && rescue) {
      if (res.stalled != 0) return Pass::kDone;
    } else if (mode == OptimMode::kEm) {
      if (!update) {
        res.stalled = 0;
        beta = 0.0;
        if (sw.irls == 0) {
          CgAlloc(work.step, np);
          mode = OptimMode::kCg;
        } else if (!EnterIrls()) {
          return Pass::kStopped;
        }
      }
    } else if (mode == OptimMode::kCg) {
      if (sw.irls != 0 && (res.conv.change < run.par.irls_switch || res.stalled != 0)) {
        res.stalled = 0;
        CgFree(work.step);
        if (!EnterIrls()) return Pass::kStopped;
      } else if (stuck) {
        CgFree(work.step);
        Rescue();
      } else {
        return Settled();
      }
    } else if (stuck) {
      Rescue();
    } else {
      return Settled();
    }
    return Pass::kGoOn;
  }

  // A conjugate-gradient or IRLS pass that neither hands over nor goes on with
  // EM: a stall ends the search, and so does a change below the estimate
  // tolerance (note 101).
  Pass Settled() {
    if (res.stalled != 0) return Pass::kDone;
    if (!(res.conv.change < tol.eps)) return Pass::kGoOn;
    Converged();
    return Pass::kDone;
  }

  // IRLS mode, its arrays allocated once. False after message 3000.
  [[nodiscard]] bool EnterIrls() {
    mode = OptimMode::kIrls;
    try {
      if (!irls_ready) IrlsAlloc(work.step, np);
    } catch (const std::bad_alloc&) {
      Error(run, 3000, {});
      return false;
    }
    irls_ready = true;
    work.step.active.Fill(1);
    return true;
  }

  // One pass of the loop: the steps 1 to 4 above.
  [[nodiscard]] Pass OnePass(int it) {
    StepOutcome outcome = StepOutcome::kMoved;
    const Pass step = Step(outcome);
    if (step != Pass::kGoOn) return step;
    Expect();
    Record(it, outcome);
    const bool reached = PercentReached();
    const Pass next = HandOver(outcome);
    if (next == Pass::kStopped) return next;
    return reached ? Pass::kDone : next;
  }

  // The iteration limit (warning 1008) when no test ended the search, then the
  // final state into the history exactly once, and the check that it is a number.
  void Finish(bool done) {
    const int limit = run.par.max_iterations;
    if (!done && res.iterations >= limit) {
      Error(run, 1008, {.n1 = limit, .x2 = res.conv.pctmax});
      res.finished = 1;
      res.ended_by = SearchOutcome::kIterationLimit;
    }
    Expect();
    if (History() && last_line != res.iterations) Line(res.iterations);
    CheckFinite();
  }

  void Maximise() {
    if (!Begin()) return;
    const int limit = run.par.max_iterations;
    bool done = false;  // the loop ended before its last pass
    for (int it = 1; it <= limit && !done; ++it) {
      res.iterations = it;
      const Pass pass = OnePass(it);
      if (pass == Pass::kStopped) return;
      done = pass == Pass::kDone;
    }
    Finish(done);
  }

  void Rescue() {
    res.stalled = 0;
    rescue = true;
    mode = OptimMode::kEm;
  }

  void Converged() {
    Error(run, 101, {.x1 = res.conv.change, .x2 = res.conv.pctmax});
    res.finished = 1;
    res.ended_by = SearchOutcome::kEstimateTolerance;
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
                   .missing_freqs = in.missing_freqs,
                   .known = &in.geno_known};
}

Tolerances RunTolerances(const Run& run) {
  return Tolerances{.eps = run.par.eps, .tau = run.par.ftol};
}

void Optim(Run& run, const OptimData& data, const OptimSwitches& sw, Groups& groups,
           Vec<double>& theta, Vec<std::int32_t>& possible, OptimResult& res, OptimWork& work) {
  Errpush(run, "Searching for the maximum likelihood estimates");
  Optimiser o(run, data, sw, groups, theta, possible, res, work);
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
