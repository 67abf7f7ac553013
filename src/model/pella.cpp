#include "model/pella.hpp"

#include <cmath>
#include <cstdint>
#include <string>

#include "core/error.hpp"
#include "core/run.hpp"

namespace velk {

namespace {

// A character name as its fixed field of 10 characters.
std::string Name10(const std::string& name) {
  std::string field = name.substr(0, 10);
  field.resize(10, ' ');
  return field;
}

// The prior of character c cannot be computed: its lines go to the log and the
// run stops (the program itself goes on with the next control file).
void GiveUp(Run& run, int c, const char* what) {
  run.output.unit[0].Write(
      "(/2A/3A/A/)", {"*** Fatal Error: Computing the Pella-Masuda model of",
                      " baseline allele frequency distributions.", "    ",
                      Name10(run.chars(c).name), what, "    You should exclude this character."});
  Error(run, 0);
}

}  // namespace

void Pella(Run& run) {
  const int nc = run.par.nchar;
  Input& in = run.input;
  if (in.pm_prior.Rows() != run.par.max_types || in.pm_prior.Cols() != nc)
    in.pm_prior.Resize(run.par.max_types, nc);
  if (in.pm_weight.Size() != nc) in.pm_weight.Resize(nc);

  Pmean(run, in.pm_prior);
  if (run.error.stop) return;
  for (int c = 1; c <= nc; ++c) {
    double w = 1.0;
    Pwght(run, w, in.pm_prior, c);
    if (run.error.stop) return;
    in.pm_weight(c) = w < 1.0 ? 1.0 : w;
  }
}

void Pmean(Run& run, Mat<double>& prior) {
  const int nc = run.par.nchar;
  const int np = run.par.npop;
  const Arr3<std::int16_t>& count = run.input.base_counts;
  const Mat<std::int32_t>& total = run.input.base_totals;

  for (int c = 1; c <= nc; ++c) {
    int m = 0;
    for (int i = 1; i <= np; ++i)
      if (total(c, i) > 0) ++m;
    if (m == 0) {
      run.output.unit[0].Write(
          "(/A/3A/A/)",
          {" *** Fatal Error: Reading baseline frequencies.", "     ", Name10(run.chars(c).name),
           " is not observed in any of the stocks.", "     You should exclude this character."});
      Error(run, 0);
      return;
    }
    const int t = run.chars(c).ntypes;
    for (int k = 1; k <= t; ++k) {
      double sum = 0.0;
      for (int i = 1; i <= np; ++i) {
        if (total(c, i) > 0)
          sum += static_cast<double>(count(k, c, i)) / static_cast<double>(total(c, i));
      }
      prior(k, c) = sum / m;
    }
  }
}

void Pwght(Run& run, double& w, const Mat<double>& prior, int c) {
  const int np = run.par.npop;
  const int t = run.chars(c).ntypes;
  const Arr3<std::int16_t>& count = run.input.base_counts;
  const Mat<std::int32_t>& total = run.input.base_totals;

  // The sums of squares do not depend on w: per population with data, n, n²
  // (exact in 64 bits, so large samples do not wrap), (1 - S1) n² and S2 n².
  Vec<double> n(np), a(np), b(np);
  int used = 0;
  for (int i = 1; i <= np; ++i) {
    const std::int32_t ni = total(c, i);
    if (ni < 1) continue;  // no data: adds nothing to either sum
    double s1 = 0.0, s2 = 0.0;
    for (int k = 1; k <= t; ++k) {
      const double x = static_cast<double>(count(k, c, i)) / static_cast<double>(ni);
      s1 += x * x;
      s2 += (x - prior(k, c)) * (x - prior(k, c));
    }
    const double n2 = static_cast<double>(static_cast<std::int64_t>(ni) * ni);
    ++used;
    n(used) = ni;
    a(used) = (1.0 - s1) * n2;
    b(used) = s2 * n2;
  }

  double before = w;  // the value w had one step ago, to recognise a cycle
  for (int step = 1;; ++step) {
    double sum_a = 0.0, sum_b = 0.0;
    for (int j = 1; j <= used; ++j) {
      const double d = n(j) + w;
      const double d3 = d * d * d;
      sum_a += a(j) / d3;
      sum_b += b(j) / d3;
    }
    if (sum_b == 0.0) {
      GiveUp(run, c, " may be invariant.");
      return;
    }
    const double next = sum_a / sum_b;
    const bool converged = std::fabs(next - w) < 1.0e-6;
    // Not converging: no finite value, a value the step came back to (from
    // there the same values repeat for ever) or too many steps.
    const bool lost = !converged && (!std::isfinite(next) || (step > 1 && next == before) ||
                                     step >= kPwghtMaxSteps);
    before = w;
    w = next;
    if (converged) return;
    if (lost) {
      GiveUp(run, c, " has no converging weight.");
      return;
    }
  }
}

}  // namespace velk
