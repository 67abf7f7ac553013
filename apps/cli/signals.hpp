#pragma once
// The command's dealings with the process around it: standard descriptors that
// were closed at start, and the signals that ask a run to stop.
#include <atomic>

namespace velk {

// Descriptors 0 to 2 that are closed at start are opened on /dev/null, so that
// no file a run opens (its log) takes the place of standard output or error.
void OpenStandardDescriptors();

// SIGINT and SIGTERM set `stop` (the run ends after its current resample, as at
// the user's Stop) and are kept for the exit status; a second one ends the
// program at once with status 128 + its number. SIGPIPE is ignored: a closed
// standard output fails its writes, which end the status text, not the run.
// `stop` must outlive the program's use of it.
void InstallStopSignals(std::atomic<bool>& stop);

// The signal that asked for the stop (0 when none came).
int StopSignal();

}  // namespace velk
