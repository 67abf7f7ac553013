#pragma once
// The message catalogue: every note, warning and failure of a run goes through
// Error with a message number; the caller fills the arguments in run.error first.
#include <string>
#include <string_view>

#include "core/run.hpp"

namespace velk {

// Writes and counts message `number`; a stopping message sets run.error.stop.
void Error(Run& run, int number);
// Pushes a context for the headings of later messages (at most 10 above the base).
void Errpush(Run& run, std::string_view context);
// Pops a context (never below the base entry).
void Errpop(Run& run);
// The last message number and severity, each cleared when read.
int Lastcd(Run& run);
int Lastsv(Run& run);
void Setlst(Run& run, int number, int severity);

// What a held message needs to be written later exactly as it would have been
// written when it was issued: its number, the arguments, the input/output
// status and the context stack at that moment.
struct HeldMessage {
  int number = 0;
  std::string a1, a2;
  int n1 = 0, n2 = 0, n3 = 0;
  double x1 = 0, x2 = 0, x3 = 0;
  int iostat = 0;
  Errstk context;
};

// Writes a held message to the run as Error would have at the time: the
// arguments and the context are those kept with it; a stopping message stops
// the run. The run's context stack is left as it was.
void Replay(Run& run, const HeldMessage& message);

}  // namespace velk
