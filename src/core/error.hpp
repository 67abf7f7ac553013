#pragma once
// The message catalogue: every note, warning and failure of a run goes through
// Error with a message number; the caller fills the arguments in run.error first.
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

}  // namespace velk
