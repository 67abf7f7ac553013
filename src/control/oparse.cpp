// The options section: the switches of the analysis, one logical per line in
// free English sentences.
#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>

#include "control/keyscan.hpp"
#include "control/sections.hpp"
#include "control/values.hpp"
#include "core/error.hpp"
#include "core/paths.hpp"

namespace velk {
namespace {

enum class Ohandler {
  kResa, kPrin, kComp, kSwitch, kPella, kHundred, kLeave, kPredictive, kPriorByRegion, kSimulated,
  kScenarioUnits, kWithinRegion
};

struct Primary {
  KeySet keys;
  Ohandler handler;
  int Opt::*field;  // switch of kSwitch and kPella
};

// Primary keywords, tried in this order on every token of the line.
constexpr Primary kPrimary[] = {
    {{{"resa"}}, Ohandler::kResa, nullptr},
    {{{"prin"}}, Ohandler::kPrin, nullptr},
    {{{"comp"}}, Ohandler::kComp, nullptr},
    {{{"irls"}}, Ohandler::kSwitch, &Opt::irls},
    {{{"rann"}}, Ohandler::kSwitch, &Opt::rannala_mountain},
    {{{"pred"}}, Ohandler::kPredictive, &Opt::predictive},
    {{{"baye"}}, Ohandler::kSwitch, &Opt::bayesian},
    {{{"bias"}}, Ohandler::kSwitch, &Opt::bias_corrected},
    {{{"prio"}}, Ohandler::kPriorByRegion, nullptr},
    {{{"pell"}}, Ohandler::kPella, &Opt::pella_masuda},
    {{{"hund"}}, Ohandler::kHundred, nullptr},
    {{{"leav"}}, Ohandler::kLeave, nullptr},
    {{{"simu"}}, Ohandler::kSimulated, nullptr},
    {{{"scen"}}, Ohandler::kScenarioUnits, nullptr},
    {{{"with"}}, Ohandler::kWithinRegion, nullptr},
};

struct Secondary {
  KeySet keys;
  int Opt::*field;
  bool Opt::*flag = nullptr;  // a switch beyond the record
};

// Secondary keywords after "resa".
constexpr Secondary kResa[] = {
    {{{"mixt"}}, &Opt::resample_mixture},
    {{{"base"}}, &Opt::resample_baseline},
};

// Secondary keywords after "prin".
constexpr Secondary kPrin[] = {
    {{{"base"}}, &Opt::print_baseline},
    {{{"mixt"}}, &Opt::print_mixture},
    {{{"stoc", "popu"}}, &Opt::print_populations},
    {{{"geno"}}, &Opt::print_genotypes},
    {{{"boot"}}, &Opt::print_resamples},
    {{{"iter"}}, &Opt::print_iterations},
    {{{"like"}}, &Opt::print_likelihoods},
    {{{"tabl"}}, nullptr, &Opt::print_tables},
};

// Secondary keywords after "comp".
constexpr Secondary kComp[] = {
    {{{"conf"}}, &Opt::compute_ci},
    {{{"jack"}}, &Opt::compute_jackknife},
    {{{"stud"}}, &Opt::studentized},
    {{{"exte"}}, &Opt::external_reference},
};

// Looks for one of `table`'s keywords after column `pos` and reads its switch
// from the rest of the line; false when none is on the line.
template <class Table>
bool SetSecondary(Run& run, std::string_view text, int pos, const Table& table) {
  int k = FindKey(run, text, pos, table);
  if (k < 0) return false;
  const int value = Glogic(run, RestOf(text, pos));
  if (table[k].flag != nullptr)
    run.opt.*table[k].flag = value != 0;
  else
    run.opt.*table[k].field = value;
  return true;
}

// "comp" followed by a word beginning "all" and, later, one beginning "like"
// (Compute all likelihood intervals: yes): profile intervals for every unit.
// Such a line names no other switch of "comp".
bool OcompAll(Run& run, std::string_view text, int pos) {
  static constexpr Secondary kAll[] = {{{{"all"}}, nullptr}};
  static constexpr Secondary kLike[] = {{{{"like"}}, nullptr}};
  if (FindKey(run, text, pos, kAll) < 0 || FindKey(run, text, pos, kLike) < 0) return false;
  run.opt.all_likelihood_intervals = Glogic(run, RestOf(text, pos)) != 0;
  return true;
}

bool Oresa(Run& run, std::string_view text, int pos) {
  return SetSecondary(run, text, pos, kResa);
}

bool Oprin(Run& run, std::string_view text, int pos) {
  return SetSecondary(run, text, pos, kPrin);
}

// A "comp" line is done whether or not a secondary keyword follows; true when
// one did.
bool Ocomp(Run& run, std::string_view text, int pos) {
  if (OcompAll(run, text, pos)) return true;
  return SetSecondary(run, text, pos, kComp);
}

// Whether a word of `text` (the last one included) begins with `key`.
bool HasWord(std::string_view text, std::string_view key) {
  std::size_t k = 0;
  while (k < text.size()) {
    while (k < text.size() && !std::isalpha(static_cast<unsigned char>(text[k]))) ++k;
    std::size_t end = k;
    while (end < text.size() && std::isalpha(static_cast<unsigned char>(text[end]))) ++end;
    if (end - k >= key.size()) {
      bool same = true;
      for (std::size_t j = 0; j < key.size(); ++j)
        same = same && std::tolower(static_cast<unsigned char>(text[k + j])) == key[j];
      if (same) return true;
    }
    k = end;
  }
  return false;
}

// "Hundred percent simulations: yes by region": the switch, and the units
// named anywhere after the keyword (populations unless regions are named).
void Ohundred(Run& run, std::string_view text, int pos) {
  const std::string_view rest = RestOf(text, pos);
  run.opt.hundred_percent = Glogic(run, rest) != 0;
  run.opt.hundred_by_region = HasWord(rest, "regi");
}

// The value after the colon of an option line, for the messages that quote it.
std::string ValueText(std::string_view rest) {
  std::string_view value = rest.substr(std::min(rest.find(':') + 1, rest.size()));
  value.remove_prefix(std::min(value.find_first_not_of(' '), value.size()));
  return Trim(value);
}

// "Simulated individuals: held out" (reference individuals, each scored
// without its own copies) or "in sample" (drawn from the baseline counts).
void Osimulated(Run& run, std::string_view text, int pos) {
  const std::string_view rest = RestOf(text, pos);
  if (HasWord(rest, "held")) {
    run.opt.held_out = true;
  } else if (HasWord(rest, "samp")) {
    run.opt.held_out = false;
  } else {
    Error(run, 2054, {.a1 = ValueText(rest), .n1 = run.parse.nline});
  }
}

// "Scenario units: regions" (the regions of the first level) or "populations".
void OscenarioUnits(Run& run, std::string_view text, int pos) {
  const std::string_view rest = RestOf(text, pos);
  if (HasWord(rest, "regi"))
    run.opt.scenarios_by_region = true;
  else if (HasWord(rest, "popu") || HasWord(rest, "stoc"))
    run.opt.scenarios_by_region = false;
  else
    Error(run, 2060, {.a1 = ValueText(rest), .n1 = run.parse.nline});
}

// "Within-region shares: Dirichlet" (drawn for every resample) or "equal".
void OwithinRegion(Run& run, std::string_view text, int pos) {
  const std::string_view rest = RestOf(text, pos);
  if (HasWord(rest, "diri"))
    run.opt.within_dirichlet = true;
  else if (HasWord(rest, "equa"))
    run.opt.within_dirichlet = false;
  else
    Error(run, 2061, {.a1 = ValueText(rest), .n1 = run.parse.nline});
}

// One options line; false when it set nothing.
bool Oline(Run& run) {
  const std::string_view text = ControlText(run.parse.line);
  int pos = 1;
  for (;;) {
    int k = FindKey(run, text, pos, kPrimary);
    if (k < 0) return false;
    const Primary& p = kPrimary[k];
    switch (p.handler) {
      case Ohandler::kResa:
        if (Oresa(run, text, pos)) return true;
        break;
      case Ohandler::kPrin:
        if (Oprin(run, text, pos)) return true;
        break;
      case Ohandler::kComp:
        return Ocomp(run, text, pos);
      case Ohandler::kSwitch:
        run.opt.*p.field = Glogic(run, RestOf(text, pos));
        return true;
      case Ohandler::kHundred:
        Ohundred(run, text, pos);
        return true;
      case Ohandler::kLeave:
        run.opt.leave_one_out = Glogic(run, RestOf(text, pos)) != 0;
        return true;
      case Ohandler::kPriorByRegion:
        run.opt.prior_by_region = Glogic(run, RestOf(text, pos)) != 0;
        return true;
      case Ohandler::kPredictive:
        // The predictive model's prior is the Rannala-Mountain model's.
        run.opt.predictive = Glogic(run, RestOf(text, pos));
        if (run.opt.predictive != 0) {
          run.opt.rannala_mountain = 1;
          run.opt.pella_masuda = 0;
        }
        return true;
      case Ohandler::kSimulated:
        Osimulated(run, text, pos);
        return true;
      case Ohandler::kScenarioUnits:
        OscenarioUnits(run, text, pos);
        return true;
      case Ohandler::kWithinRegion:
        OwithinRegion(run, text, pos);
        return true;
      case Ohandler::kPella: {
        // The Rannala-Mountain model, once chosen, keeps the Pella-Masuda model off.
        int value = Glogic(run, RestOf(text, pos));
        run.opt.*p.field = run.opt.rannala_mountain == 1 ? 0 : value;
        return true;
      }
    }
    // No secondary keyword: the primary scan goes on after the primary keyword.
  }
}

}  // namespace

void Oparse(Run& run) {
  Errpush(run, "Reading control file options");
  int state = ReadSection(run, "options", Oline);
  if (state == 0 && run.opt.estimation == 0) {
    // A simulation has no mixture of its own: no conditional probabilities,
    // condensed mixture, confidence intervals, jackknife or mixture resampling.
    Opt& opt = run.opt;
    opt.print_genotypes = 0;
    opt.print_populations = 0;
    opt.print_mixture = 0;
    opt.compute_ci = 0;
    opt.compute_jackknife = 0;
    opt.resample_mixture = 0;
    opt.all_likelihood_intervals = false;
  }
  Errpop(run);
}

}  // namespace velk
