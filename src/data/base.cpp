// The baseline reader (Base): population blocks, character lines with counts
// or frequencies, and the end-of-reading checks.
//
// Decisions beyond the file format:
// - The counts are 16-bit: a count, read or computed from frequencies, must lie
//   in 0 to 32767, a sample size must not be negative and a total must fit in
//   32 bits. A record that breaks this is refused: note 105 names the file being
//   read ("Reading baseline file = ..."), then fatal 3011 names the record. Nothing
//   is ever stored wrapped.
// - A character line read again for the same population replaces everything the
//   earlier line gave for that character.
// - Blanks and tabs both end a character name.
// - A baseline file name that is given names one file, whatever its length.
// - A population file that is a folder, or a blank file name, cannot be opened
//   (warning 1012) rather than failing at its first read.
#include "data/base.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>

#include "control/itoken.hpp"
#include "control/values.hpp"
#include "core/error.hpp"
#include "core/fields.hpp"
#include "core/paths.hpp"

namespace velk {

namespace {

constexpr std::size_t kLineMax = 512;     // a longer line is cut here
constexpr std::size_t kLabelWindow = 30;  // columns of a header that hold its label
constexpr std::size_t kArg = 70;          // message text arguments
constexpr long long kCountMax = 32767;    // largest 16-bit count
constexpr long long kTotalMax = std::numeric_limits<std::int32_t>::max();
constexpr const char* kContext = "Reading baseline frequencies";

std::string Arg(std::string_view text) {
  return std::string(Cut(Trim(text), kArg));
}

std::string Name(std::string_view text) {
  std::string t = Trim(text);
  std::size_t b = t.find_first_not_of(' ');
  return b == std::string::npos ? std::string() : t.substr(b);
}

bool IsLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsComment(std::string_view line) {
  return !line.empty() && line[0] == '\\';
}
bool IsBlockStart(std::string_view line) {
  return !line.empty() && line[0] == '#';
}

// Whether the value reader called since construction reported a bad number.
class ErrorWatch {
 public:
  explicit ErrorWatch(const Run& run) : run_(run), errors_(run.error.errors) {}
  bool Failed() const { return run_.error.errors != errors_; }

 private:
  const Run& run_;
  int errors_;
};

enum class Got { kLine, kEnd, kStop };

// The working state of one call.
struct Reader {
  Run& run;
  LineReader& in;
  std::string file;  // full name of the file being read
  std::string line;  // current line
  Vec<int> found;    // per population: 1 once read with some data
  Vec<int> missing;  // per population: characters without data
  Vec<double> freq;  // frequencies of one line
  int nerrors = 0;
  // The first character of each name (its first 10 characters) and of each ID.
  std::unordered_map<std::string, int> by_name;
  std::unordered_map<int, int> by_id;
};

// The next line into r.line; a read error is fatal 3014.
Got Next(Reader& r) {
  const int status = r.in.Read(r.line, kLineMax);
  if (status == 0) return Got::kLine;
  if (status < 0) return Got::kEnd;
  Error(r.run, 3014, {.a1 = "baseline", .n1 = r.in.LineNumber() + 1, .iostat = status});
  return Got::kStop;
}

// The next line that is not a comment.
Got NextHeader(Reader& r) {
  for (;;) {
    const Got got = Next(r);
    if (got != Got::kLine || !IsComment(r.line)) return got;
  }
}

// From the 30 columns of `line` that begin at `start`: leading blanks skipped,
// the text up to the first ":" or the end of the window.
std::string Label(std::string_view line, std::size_t start) {
  if (start >= line.size()) return {};
  std::string_view w = Cut(line.substr(start), kLabelWindow);
  const std::size_t b = w.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  w = w.substr(b);
  return Trim(w.substr(0, w.find(':')));
}

// Fatal 3011 for the current record.
void BadRecord(Reader& r) {
  Error(r.run, 3011, {.a1 = "baseline", .n1 = r.in.LineNumber()});
}

// A value the 16-bit counts or the 32-bit totals cannot hold: the file is named
// first, since the record number alone does not say which file it is in.
void ValueOutOfRange(Reader& r) {
  Error(r.run, 105, {.a1 = "baseline file", .a2 = Arg(r.file)});
  BadRecord(r);
}

// A count of a count line: a normalised number text holding a sign and digits
// only, 0 to 32767.
bool CountValue(std::string_view s, int& value) {
  std::size_t k = 0;
  bool negative = false;
  if (k < s.size() && (s[k] == '+' || s[k] == '-')) negative = s[k++] == '-';
  if (k >= s.size()) return false;
  long long v = 0;
  for (; k < s.size(); ++k) {
    if (!IsDigit(s[k])) return false;
    v = v * 10 + (s[k] - '0');
    if (v > kCountMax) return false;
  }
  if (negative && v != 0) return false;
  value = static_cast<int>(v);
  return true;
}

// The next value of a character line from position `p` (0-based): a number
// token, `p` moved past it. A number immediately followed by "." loses its last
// character and the reading goes on from that character. False at a token that
// is not a number or at the end of the line.
bool NextNumber(Reader& r, std::size_t& p, std::string& token) {
  const std::string_view line = r.line;
  if (p >= line.size()) return false;
  int used = 0;
  const int type = Itoken(r.run, line.substr(p), used, token);
  if (std::abs(type) != kTokNumber || token.empty()) return false;
  std::size_t end = p + static_cast<std::size_t>(used);
  if (end < line.size() && line[end] == '.') {
    if (token.size() > 1) token.pop_back();
    --end;
  }
  p = std::max(end, p + 1);
  return true;
}

// The character a line is for, by name or ID number; 0 when it names none of
// the analysis (or is not a character line), -1 after a fatal message. `p`
// moves past the name or number.
int FindCharacter(Reader& r, std::size_t& p) {
  Run& run = r.run;
  const std::string_view line = r.line;
  std::size_t s = 0;
  while (s < line.size() && !StartsToken(line[s])) ++s;
  if (s >= line.size()) return 0;
  if (IsLetter(line[s])) {
    std::size_t e = line.find_first_of(" \t", s);
    if (e == std::string_view::npos) e = line.size();
    const std::string name = Trim(Cut(line.substr(s, e - s), kCharNameWidth));
    p = e;
    const auto found = r.by_name.find(name);
    return found == r.by_name.end() ? 0 : found->second;
  }
  if (IsDigit(line[s])) {
    const ErrorWatch watch(run);
    int pos = 0;
    const int id = Igint(run, line.substr(s), pos);
    if (watch.Failed()) {
      BadRecord(r);
      return -1;
    }
    p = s + static_cast<std::size_t>(pos);
    const auto found = r.by_id.find(id);
    return found == r.by_id.end() ? 0 : found->second;
  }
  return 0;
}

// Warning 1003 when a line gave fewer than t values.
void FewValues(Reader& r, int nread, int t, int c, int pop) {
  if (nread >= t) return;
  Error(r.run, 1003,
        {.a1 = Arg(r.run.chars(c).name), .a2 = Arg(r.run.pops(pop).name), .n1 = nread, .n2 = t});
}

void CountLine(Reader& r, std::size_t p, int c, int pop, int t) {
  Run& run = r.run;
  const int maxtyp = run.par.max_types;
  int nread = 0;
  long long total = 0;
  std::string token;
  while (nread < maxtyp && NextNumber(r, p, token)) {
    int v = 0;
    if (!CountValue(token, v)) {
      ValueOutOfRange(r);
      return;
    }
    ++nread;
    run.input.base_counts(nread, c, pop) = static_cast<std::int16_t>(v);
    if (nread <= t) total += v;
  }
  if (total > kTotalMax) {
    ValueOutOfRange(r);
    return;
  }
  run.input.base_totals(c, pop) = static_cast<std::int32_t>(total);
  FewValues(r, nread, t, c, pop);
}

void FrequencyLine(Reader& r, std::size_t p, int c, int pop, int t) {
  Run& run = r.run;
  const std::string_view line = r.line;
  const int maxtyp = run.par.max_types;

  // The sample size N; when a "." follows it, it was the integer part of the
  // first frequency, whose reading then starts at its last digit.
  const ErrorWatch watch(run);
  int pos = 0;
  int n = Igint(run, line.substr(p), pos);
  if (watch.Failed()) {
    BadRecord(r);
    return;
  }
  const std::size_t after = p + static_cast<std::size_t>(pos);
  if (after < line.size() && line[after] == '.') {
    n /= 10;
    p = after - 1;
  } else {
    p = after;
  }
  if (n < 0) {
    ValueOutOfRange(r);
    return;
  }

  r.freq.Fill(0.0);
  int nread = 0;
  std::string token;
  while (nread < maxtyp && NextNumber(r, p, token)) {
    const ErrorWatch value_watch(run);
    int q = 0;
    const double v = Greal(run, token, q);
    if (value_watch.Failed()) {
      BadRecord(r);
      return;
    }
    r.freq(++nread) = v;
  }

  double s = 0.0;
  for (int k = 1; k <= t; ++k) s += r.freq(k);
  const double off = std::fabs(s - 1.0);
  if (off > 0.0015) {
    const MessageArgs args{.a1 = Arg(run.pops(pop).name), .a2 = Arg(run.chars(c).name), .x1 = s};
    if (off <= 5.0) {
      Error(run, 1001, args);
    } else {
      Error(run, 2000, args);
      ++r.nerrors;
    }
  }
  if (s > 0.0)
    for (int k = 1; k <= t; ++k) r.freq(k) /= s;

  const long long total = static_cast<long long>(run.chars(c).ploidy) * n;
  if (total > kTotalMax || total < 0) {
    ValueOutOfRange(r);
    return;
  }
  long long sum = 0;
  for (int k = 1; k <= t; ++k) {
    // Nearest integer, halves away from zero.
    const double x = std::round(static_cast<double>(total) * r.freq(k));
    if (!(x >= 0.0 && x <= static_cast<double>(kCountMax))) {
      ValueOutOfRange(r);
      return;
    }
    run.input.base_counts(k, c, pop) = static_cast<std::int16_t>(x);
    sum += static_cast<long long>(x);
  }
  run.input.base_totals(c, pop) = static_cast<std::int32_t>(total);
  if (sum != total) {
    Error(run, 1000,
          {.a1 = Arg(run.pops(pop).name),
           .a2 = Arg(run.chars(c).name),
           .n1 = static_cast<int>(total),
           .n2 = static_cast<int>(std::min(sum, kTotalMax))});
  }
  FewValues(r, nread, t, c, pop);
}

// One line inside the block of population `pop`.
void CharacterLine(Reader& r, int pop) {
  if (IsComment(r.line)) return;
  std::size_t p = 0;
  const int c = FindCharacter(r, p);
  if (c <= 0) return;
  Run& run = r.run;
  const int maxtyp = run.par.max_types;
  const int t = std::clamp(run.chars(c).ntypes, 0, maxtyp);
  for (int k = 1; k <= maxtyp; ++k) run.input.base_counts(k, c, pop) = 0;
  run.input.base_totals(c, pop) = 0;
  // "0,271" would be read as the two counts 0 and 271.
  const std::string comma = CommaNumber(std::string_view(r.line).substr(p));
  if (!comma.empty()) {
    DecimalComma(run, r.file, r.in.LineNumber(), comma);
    BadRecord(r);
    return;
  }
  if (r.line.find('.') == std::string::npos)
    CountLine(r, p, c, pop, t);
  else
    FrequencyLine(r, p, c, pop, t);
}

// Character lines up to the next line that begins with "#" (left in r.line,
// with kLine) or the end of the file.
Got ReadBlock(Reader& r, int pop) {
  for (;;) {
    const Got got = Next(r);
    if (got != Got::kLine) return got;
    if (IsBlockStart(r.line)) return Got::kLine;
    CharacterLine(r, pop);
    if (r.run.error.stop) return Got::kStop;
  }
}

// The population found, unless it has no data for any character.
void Finish(Reader& r, int pop) {
  Run& run = r.run;
  const int nc = run.par.nchar;
  r.found(pop) = 1;
  r.missing(pop) = 0;
  for (int c = 1; c <= nc; ++c) {
    if (run.input.base_totals(c, pop) >= 1) continue;
    ++r.missing(pop);
    Error(run, 1002, {.a1 = Arg(run.chars(c).name), .a2 = Arg(run.pops(pop).name)});
  }
  if (nc > 0 && r.missing(pop) == nc) r.found(pop) = 0;
}

void Note105(Run& run, int pop, const std::string& label) {
  Error(run, 105, {.a1 = Arg(run.pops(pop).name), .a2 = Arg(label)});
}

bool Opens(Reader& r) {
  std::error_code ec;
  const bool usable = !Name(r.file).empty() && !std::filesystem::is_directory(r.file, ec);
  if (usable && r.in.Open(r.run.platform.OpenFile(r.file, "rb"), r.file)) return true;
  Error(r.run, 1012, {.a1 = Arg(r.file)});
  ++r.nerrors;
  return false;
}

// The population's ID number at the start of `rest`: false when the first token
// is not a number that reads as an integer. `after` is the column of its last
// character.
bool HeaderId(Reader& r, std::string_view rest, int& id, std::size_t& after) {
  std::string token;
  int used = 0;
  if (std::abs(Itoken(r.run, rest, used, token)) != kTokNumber) return false;
  const ErrorWatch watch(r.run);
  int pos = 0;
  id = Igint(r.run, rest, pos);
  if (watch.Failed()) return false;
  after = static_cast<std::size_t>(pos);
  return true;
}

// One file of "#" population blocks, each headed by the population's ID number.
void ReadOneFile(Reader& r) {
  Run& run = r.run;
  r.file = NativeName(Name(run.files.baseline));
  if (!Opens(r)) {
    Error(run, 0);  // the box repeats warning 1012, which names the file
    return;
  }
  Got got = NextHeader(r);
  while (got == Got::kLine) {
    const std::size_t start = IsBlockStart(r.line) ? 1 : 0;
    const std::string_view rest = std::string_view(r.line).substr(start);
    int id = 0;
    std::size_t after = 0;
    if (!HeaderId(r, rest, id, after)) {
      Error(run, 3009, {.n1 = r.in.LineNumber()});
      return;
    }
    int pop = 0;
    for (int i = 1; i <= run.par.npop && pop == 0; ++i)
      if (run.pops(i).id == id) pop = i;
    if (pop == 0) {
      // A block of a population not in the analysis is passed over.
      do got = Next(r);
      while (got == Got::kLine && !IsBlockStart(r.line));
      continue;
    }
    Note105(run, pop, Label(r.line, start + after));
    got = ReadBlock(r, pop);
    if (got == Got::kStop) return;
    Finish(r, pop);
    bool all = true;
    for (int i = 1; i <= run.par.npop; ++i) all = all && r.found(i) == 1;
    if (all) break;
  }
  if (got == Got::kStop) return;
  r.in.Close();
}

// The per-population file: the folder path immediately followed by the file
// name, or the file name alone taken from the control file's folder.
std::string FullName(const Run& run, const Population& pop) {
  const std::string path = Name(run.files.path);
  const std::string file = Name(pop.file);
  if (file.empty()) return path;
  if (!path.empty()) return NativeName(path + file);
  return ResolveName(run.control_dir, file);
}

// One file per population, in the order of the populations.
void ReadPerPopulation(Reader& r) {
  Run& run = r.run;
  for (int pop = 1; pop <= run.par.npop; ++pop) {
    r.file = FullName(run, run.pops(pop));
    if (!Opens(r)) {
      if (run.error.stop) return;
      continue;  // left absent
    }
    Got got = NextHeader(r);
    if (got == Got::kStop) return;
    if (got == Got::kLine) {
      Note105(run, pop, Label(r.line, IsBlockStart(r.line) ? 1 : 0));
      got = ReadBlock(r, pop);
      if (got == Got::kStop) return;
    }
    r.in.Close();
    Finish(r, pop);
  }
}

void Read(Run& run, LineReader& in) {
  const int np = run.par.npop;
  const int nc = run.par.nchar;
  const int maxtyp = run.par.max_types;
  Input& input = run.input;
  Reader r{run, in, {}, {}, {}, {}, {}, 0, {}, {}};
  try {
    for (int c = 1; c <= nc; ++c) {
      const std::string_view own = run.chars(c).name;
      r.by_name.emplace(Trim(Cut(own, kCharNameWidth)), c);
      r.by_id.emplace(run.chars(c).id, c);
    }
    r.line.reserve(kLineMax + 1);
    r.found.Resize(np, 0);
    r.missing.Resize(np, nc);
    r.freq.Resize(maxtyp, 0.0);
    if (input.base_counts.Size1() != maxtyp || input.base_counts.Size2() != nc ||
        input.base_counts.Size3() != np)
      input.base_counts.Resize(maxtyp, nc, np);
    if (input.base_totals.Rows() != nc || input.base_totals.Cols() != np)
      input.base_totals.Resize(nc, np);
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    return;
  } catch (const std::length_error&) {
    Error(run, 3000);
    return;
  }
  input.base_counts.Fill(0);
  input.base_totals.Fill(0);
  input.nmissing_base = 0;

  if (!Name(run.files.baseline).empty())
    ReadOneFile(r);
  else
    ReadPerPopulation(r);
  if (run.error.stop) return;

  int absent = 0;
  long long nmissing = 0;
  for (int pop = 1; pop <= np; ++pop) {
    nmissing += r.missing(pop);
    if (r.found(pop) != 0) continue;
    ++absent;
    Error(run, 2002, {.a1 = Arg(run.pops(pop).name)});
  }
  input.nmissing_base = static_cast<int>(std::min(nmissing, kTotalMax));
  if (absent + r.nerrors > 0) {
    Error(run, 3010, {.a1 = "baseline(s)"});
  }
}

}  // namespace

void Base(Run& run) {
  Errpush(run, kContext);
  LineReader& in = run.inputs.Baseline();
  Read(run, in);
  in.Close();
  Errpop(run);
}

}  // namespace velk
