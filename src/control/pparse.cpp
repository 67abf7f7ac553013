// The parameters section: sizes, iteration limits, tolerances and seeds, one
// setting per line in free English sentences.
#include <algorithm>
#include <climits>
#include <cmath>

#include "control/keyscan.hpp"
#include "control/sections.hpp"
#include "control/values.hpp"
#include "core/error.hpp"

namespace velk {
namespace {

enum class Phandler { kMaxi, kTole, kNumb, kInteger, kReal, kConcentration };

struct Primary {
  KeySet keys;
  Phandler handler;
  int Par::*integer;  // field of kInteger
  double Par::*real;  // field of kTole and kReal
};

// Primary keywords, tried in this order on every token of the line.
constexpr Primary kPrimary[] = {
    {{{"maxi"}}, Phandler::kMaxi, nullptr, nullptr},
    {{{"esti"}}, Phandler::kTole, nullptr, &Par::eps},
    {{{"geno"}}, Phandler::kTole, nullptr, &Par::geno_tol},
    {{{"swit", "algo"}}, Phandler::kTole, nullptr, &Par::irls_switch},
    {{{"like", "func"}}, Phandler::kTole, nullptr, &Par::ftol},
    {{{"numb"}}, Phandler::kNumb, nullptr, nullptr},
    {{{"size"}}, Phandler::kInteger, &Par::sample_size, nullptr},
    {{{"seed"}}, Phandler::kInteger, &Par::seed, nullptr},
    {{{"seco"}}, Phandler::kInteger, &Par::seco, nullptr},
    {{{"guar", "perc", "gpa"}}, Phandler::kReal, nullptr, &Par::gpa},
    {{{"conf"}}, Phandler::kInteger, &Par::confidence, nullptr},
    {{{"burn"}}, Phandler::kInteger, &Par::burn_in, nullptr},
    {{{"thin"}}, Phandler::kInteger, &Par::thinning, nullptr},
    {{{"diri"}}, Phandler::kConcentration, nullptr, &Par::dirichlet_concentration},
};

struct Secondary {
  KeySet keys;
  int Par::*field;            // nullptr: read, but kept nowhere
  bool Par::*given;           // capacities: set once a line gives one
};

// Secondary keywords after "maxi".
constexpr Secondary kMaxi[] = {
    {{{"geno"}}, &Par::max_genotypes, &Par::genotypes_given},
    {{{"clas"}}, &Par::max_classes, &Par::classes_given},
    {{{"iter"}}, &Par::max_iterations, nullptr},
    {{{"miss"}}, &Par::max_missing, &Par::missing_given},
};

// Secondary keywords after "numb".
constexpr Secondary kNumb[] = {
    {{{"stoc", "popu"}}, &Par::npop, nullptr},
    {{{"char"}}, &Par::nchar, nullptr},
    {{{"resa"}}, &Par::nresamples, nullptr},
    {{{"swee"}}, &Par::sweeps, nullptr},
    {{{"chai"}}, &Par::chains, nullptr},
    {{{"befo", "afte"}}, nullptr, nullptr},
};

// The one secondary keyword of the tolerances (the field comes with the primary).
constexpr Secondary kTole[] = {
    {{{"tole"}}, nullptr, nullptr},
};

// Each handler works on the text after its primary keyword, from column `pos`;
// it returns true when the line is done, false when the primary scan goes on.

bool Pmaxi(Run& run, std::string_view text, int pos) {
  int k = FindKey(run, text, pos, kMaxi);
  if (k < 0) return false;
  int at = 0;
  run.par.*kMaxi[k].field = Igint(run, RestOf(text, pos), at);
  if (kMaxi[k].given != nullptr) run.par.*kMaxi[k].given = true;
  return true;
}

bool Ptole(Run& run, std::string_view text, int pos, double Par::*field) {
  if (FindKey(run, text, pos, kTole) < 0) return false;
  int at = 0;
  run.par.*field = Greal(run, RestOf(text, pos), at);
  return true;
}

bool Pnumb(Run& run, std::string_view text, int pos) {
  int k = FindKey(run, text, pos, kNumb);
  if (k < 0) return false;
  int at = 0;
  int value = Igint(run, RestOf(text, pos), at);
  if (kNumb[k].field != nullptr) run.par.*kNumb[k].field = value;
  return true;
}

// One parameters line; false when it set nothing.
bool Pline(Run& run) {
  const std::string_view text = ControlText(run.parse.line);
  int pos = 1;
  for (;;) {
    int k = FindKey(run, text, pos, kPrimary);
    if (k < 0) return false;
    const Primary& p = kPrimary[k];
    int at = 0;
    switch (p.handler) {
      case Phandler::kMaxi:
        if (Pmaxi(run, text, pos)) return true;
        break;
      case Phandler::kTole:
        if (Ptole(run, text, pos, p.real)) return true;
        break;
      case Phandler::kNumb:
        if (Pnumb(run, text, pos)) return true;
        break;
      case Phandler::kInteger:
        run.par.*p.integer = Igint(run, RestOf(text, pos), at);
        return true;
      case Phandler::kReal:
        run.par.*p.real = Greal(run, RestOf(text, pos), at);
        if (p.real == &Par::gpa) run.par.gpa_set = true;
        return true;
      case Phandler::kConcentration: {
        // A Dirichlet parameter is a positive number (no number at all is error 2001).
        const int errors = run.error.errors;
        const double c = Greal(run, RestOf(text, pos), at);
        if (run.error.errors > errors) return true;
        if (!(c > 0.0 && std::isfinite(c)))
          Error(run, 2062, {.n1 = run.parse.nline, .x1 = c});
        else
          run.par.*p.real = c;
        return true;
      }
    }
    // No secondary keyword: the primary scan goes on after the primary keyword.
  }
}

}  // namespace

void Pparse(Run& run, int /*resampling_requested*/) {
  Errpush(run, "Reading control file parameters");
  int state = ReadSection(run, "parameter", Pline);
  if (state == 0) {
    // Closed by the next header: the random seed is negative, the second seed
    // positive and seeds the lagged generator, and no individual may miss
    // every character (nor, unless the section says otherwise, fewer).
    Par& par = run.par;
    if (par.seed > 0) par.seed = -par.seed;  // -|seed|, safe for the most negative value
    if (par.seco < 0) par.seco = par.seco == INT_MIN ? INT_MAX : -par.seco;
    run.process.Zbqlini(par.seco);
    if (!par.missing_given) par.max_missing = par.nchar - 1;
    par.max_missing = std::max(0, std::min(par.max_missing, par.nchar - 1));
  }
  Errpop(run);
}

}  // namespace velk
