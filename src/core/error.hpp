#pragma once
// The message catalogue: every note, warning and failure of a run goes through
// Error with a message number and the arguments that message shows.
#include <string>
#include <string_view>

#include "core/run.hpp"

namespace velk {

// The arguments of one message, named as the catalogue reads them: the texts a1
// and a2 (70 characters shown, a file name whole), the integers n1..n3, the reals
// x1..x3 and the status of the read or open the message reports. They travel
// with the call and are gone after it: a message never shows another's.
struct MessageArgs {
  std::string a1{}, a2{};  // {}: a designated initializer may leave them out warning-free
  int n1 = 0, n2 = 0, n3 = 0;
  double x1 = 0, x2 = 0, x3 = 0;
  int iostat = 0;
};

// Writes and counts message `number` with its arguments; a stopping message sets
// run.error.stop.
void Error(Run& run, int number, MessageArgs args = {});
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
  MessageArgs args;
  Errstk context;
};

// Writes a held message to the run as Error would have at the time: the
// arguments and the context are those kept with it; a stopping message stops
// the run. The run's context stack is left as it was.
void Replay(Run& run, const HeldMessage& message);

}  // namespace velk
