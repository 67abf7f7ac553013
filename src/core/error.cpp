// The message routine and the context stack that heads every message.
#include "core/error.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "core/messages.hpp"
#include "core/report_file.hpp"

namespace velk {

namespace {

constexpr int kMaxDepth = 10;
constexpr std::size_t kContextWidth = 80;
constexpr const char* kBaseContext = "VELK program";
constexpr const char* kControlContext = "Reading control file";

// Whether a message of each severity 0 to 5 stops the run.
constexpr int kStops[6] = {0, 1, 0, 0, 0, 1};

// Level of a message number: 0 none (0 to 5), 2 note, 3 warning, 4 error, 5 fatal.
int Severity(int number) {
  if (number < 6) return 0;
  if (number < 1000) return 2;
  if (number < 2000) return 3;
  if (number < 3000) return 4;
  return 5;
}

const char* HeadingWord(int severity) {
  switch (severity) {
    case 2:
      return "*** Note: ";
    case 3:
      return "*** Warning: ";
    case 4:
      return "*** Error: ";
    default:
      return "*** Fatal Error: ";
  }
}

std::string TrimRight(std::string text) {
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

// A fresh message state: units in place, report flags and counters 0, the
// context stack holding only its base entry.
void Initialise(Run& run) {
  run.output.written.fill(0);
  run.error.warnings = 0;
  run.error.errors = 0;
  run.error.fatals = 0;
  run.errstk.depth = 0;
  run.errstk.entry[0] = kBaseContext;
}

void Count(Run& run, int severity) {
  if (severity == 3)
    ++run.error.warnings;
  else if (severity == 4)
    ++run.error.errors;
  else if (severity == 5)
    ++run.error.fatals;
}

void WriteHeading(Run& run, int severity) {
  std::string context = TrimRight(run.errstk.entry[run.errstk.depth]);
  // While the driver scans the control file for its analysis header no stage has
  // named itself yet; a fatal message then says that the control file was being read.
  if (severity == 5 && run.errstk.depth == 0 && run.inputs.Control().IsOpen())
    context = kControlContext;
  run.output.unit[0].Write("(/1x,a)", {HeadingWord(severity) + context + "."});
}

// Ends the run: the log gets a closing blank line, the input files are closed,
// the reports still open are put in place as far as they go after the user's
// stop (3037) and dropped, unfinished, after any other stopping message, and the
// box shows the message when the user asked for it, or whenever there is no log
// to hold it (the log itself could not be made).
void Stop(Run& run, int number) {
  const bool logged = run.output.unit[0].IsOpen();
  if (logged) run.output.unit[0].Write("(a)", {" "});
  for (LineReader& input : run.inputs.unit) {
    if (input.IsOpen()) input.Close();
  }
  run.error.stop = 1;
  if (run.error.show_messages || !logged) run.platform.ShowMessageBox(run.error.box_text, "Error");
  // What becomes of the open reports follows this message in the log.
  EndReports(run, number == 3037);
}

// The most messages a run lists for a front end; stopping messages are always kept.
constexpr std::size_t kMostListed = 10000;

// Lists a message for the front end from the lines the log got: blank lines
// dropped, each line without its indentation (at most five blanks).
void List(Run& run, int number, int severity, const std::string& logged) {
  if (run.messages.size() >= kMostListed && severity < 5) return;
  RunMessage m;
  m.number = number;
  m.severity = severity == 5 ? 2 : (severity == 2 ? 0 : 1);
  std::size_t start = 0;
  while (start < logged.size()) {
    std::size_t end = logged.find('\n', start);
    if (end == std::string::npos) end = logged.size();
    std::string_view line(logged.data() + start, end - start);
    start = end + 1;
    std::size_t lead = line.find_first_not_of(' ');
    if (lead == std::string_view::npos) continue;
    if (!m.text.empty()) m.text += '\n';
    m.text += line.substr(std::min<std::size_t>(lead, 5));
  }
  run.messages.push_back(std::move(m));
}

bool Stops(int number, int severity, int iostat) {
  // Message 3014 after a successful read only says so and lets the run go on.
  return number == 0 || (kStops[severity] && !(number == 3014 && iostat == 0));
}

// Keeps the message for a later Replay: nothing is written or counted, but the
// last code is set and a stopping message sets the stop flag, so that the
// caller returns as it would after the message.
void Hold(Run& run, int number, MessageArgs args) {
  const int severity = Severity(number);
  Setlst(run, number, severity);
  if (Stops(number, severity, args.iostat)) run.error.stop = 1;
  run.held->push_back(
      HeldMessage{.number = number, .args = std::move(args), .context = run.errstk});
}

}  // namespace

void Error(Run& run, int number, MessageArgs args) {
  if (number == 1) {
    Initialise(run);
    return;
  }
  // While folding, the routine ends of a maximisation (1006, 1007) are only
  // counted: the caller says once how many there were.
  if (run.error.fold_stalls && (number == 1006 || number == 1007)) {
    ++run.error.folded_stalls;
    Setlst(run, number, Severity(number));
    return;
  }
  if (run.held != nullptr) {
    Hold(run, number, std::move(args));
    return;
  }
  // A message issued before the state was ever initialised is not lost: the
  // state is set up and the message goes on as usual.
  if (run.error.warnings < 0) Initialise(run);

  int severity = Severity(number);
  // What the log gets is listed too, also when there is no log to get it.
  std::string logged;
  if (severity >= 2) run.output.unit[0].Tap(&logged);
  if (severity >= 2) {
    Count(run, severity);
    WriteHeading(run, severity);
  }
  Setlst(run, number, severity);
  WriteBody(run, number, args);
  run.output.unit[0].Tap(nullptr);
  if (severity >= 2) List(run, number, severity, logged);

  if (Stops(number, severity, args.iostat)) Stop(run, number);
  // Each message reaches the log file at once: a run killed from outside still
  // shows how far it came.
  run.output.unit[0].Sync();
}

void Errpush(Run& run, std::string_view context) {
  if (run.errstk.depth < kMaxDepth) {
    ++run.errstk.depth;
    run.errstk.entry[run.errstk.depth] = std::string(context.substr(0, kContextWidth));
  }
  run.error.last_code = 0;
  run.error.last_severity = 0;
}

void Errpop(Run& run) {
  if (run.errstk.depth > 0) --run.errstk.depth;
}

void Replay(Run& run, const HeldMessage& message) {
  Errstk saved = run.errstk;
  run.errstk = message.context;
  Error(run, message.number, message.args);
  run.errstk = std::move(saved);
}

int Lastcd(Run& run) {
  int code = run.error.last_code;
  run.error.last_code = 0;
  return code;
}

int Lastsv(Run& run) {
  int severity = run.error.last_severity;
  run.error.last_severity = 0;
  return severity;
}

void Setlst(Run& run, int number, int severity) {
  run.error.last_code = number;
  run.error.last_severity = severity;
}

}  // namespace velk
