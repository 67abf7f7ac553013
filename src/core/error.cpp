// Placeholder until the catalogue lands.
#include "core/error.hpp"

namespace velk {

void Error(Run& run, int number) {
  if (number == 1 || run.error.warnings < 0) {
    run.error.warnings = 0;
    run.error.errors = 0;
    run.error.fatals = 0;
    run.errstk.depth = 0;
    run.errstk.entry[0] = "VELK program";
    if (number == 1) return;
  }
  int severity = number == 0 ? 0 : number < 6 ? 0 : number < 1000 ? 2 : number < 2000 ? 3 : number < 3000 ? 4 : 5;
  Setlst(run, number, severity);
  if (run.output.unit[0].IsOpen()) run.output.unit[0].Line(" *** message " + std::to_string(number));
  if (number == 0 || severity == 5) run.error.stop = 1;
}

void Errpush(Run& run, std::string_view context) {
  if (run.errstk.depth < 10) run.errstk.entry[++run.errstk.depth] = std::string(context);
  run.error.last_code = 0;
  run.error.last_severity = 0;
}

void Errpop(Run& run) {
  if (run.errstk.depth > 0) --run.errstk.depth;
}

int Lastcd(Run& run) {
  int c = run.error.last_code;
  run.error.last_code = 0;
  return c;
}

int Lastsv(Run& run) {
  int s = run.error.last_severity;
  run.error.last_severity = 0;
  return s;
}

void Setlst(Run& run, int number, int severity) {
  run.error.last_code = number;
  run.error.last_severity = severity;
}

}  // namespace velk
