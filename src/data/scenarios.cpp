#include "data/scenarios.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <new>
#include <string_view>

#include "core/error.hpp"
#include "core/lines.hpp"
#include "core/paths.hpp"
#include "core/run.hpp"
#include "data/full_names.hpp"

namespace velk {

namespace {

constexpr std::size_t kLineLength = 1 << 16;
constexpr const char* kKind = "scenarios";
constexpr double kSumTolerance = 1e-6;

// What the reader of one file holds: the file's name for the messages, its
// units' names and the number of faulty lines.
struct ScenarioReader {
  std::string file;
  std::vector<std::string> unit_names;  // trimmed, unit 1 first
  std::vector<std::string> full_names;  // the names file's, else the same
  bool by_region = false;
  int errors = 0;
};

// `text` without its leading and trailing blanks and tabs.
std::string Stripped(std::string_view text) {
  const std::size_t from = text.find_first_not_of(" \t");
  if (from == std::string_view::npos) return {};
  return std::string(text.substr(from, text.find_last_not_of(" \t") - from + 1));
}

bool Comment(std::string_view line) {
  return !line.empty() && (line[0] == '\\' || line[0] == '/');
}

std::vector<std::string> UnitNames(const Run& run, const ScenarioList& s) {
  std::vector<std::string> names;
  for (int u = 1; u <= s.nunits; ++u)
    names.push_back(Stripped(s.by_region ? run.regions.name(u) : run.pops(u).name));
  return names;
}

// The unit that `text` names (by number or by name), 0 when none.
int FindUnit(const ScenarioReader& r, const std::string& text) {
  const bool digits = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
  if (digits) {
    const long n = text.size() > 9 ? 0 : std::strtol(text.c_str(), nullptr, 10);
    return n >= 1 && n <= static_cast<long>(r.unit_names.size()) ? static_cast<int>(n) : 0;
  }
  for (const std::vector<std::string>* names : {&r.unit_names, &r.full_names})
    for (std::size_t u = 0; u < names->size(); ++u)
      if ((*names)[u] == text) return static_cast<int>(u) + 1;
  return 0;
}

// The share `text` as a number from 0 to 1; false when it is none.
bool ReadShare(const std::string& text, double& share) {
  if (text.empty()) return false;
  char* end = nullptr;
  share = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && share >= 0.0 && share <= 1.0;
}

// One pair "unit = share", field `field` of line `line`, into `s`; false when faulty.
bool ReadPair(Run& run, ScenarioReader& r, const std::string& pair, int line, int field,
              Scenario& s) {
  const MessageArgs at{.a1 = r.file, .a2 = pair, .n1 = line, .n2 = field};
  const std::size_t eq = pair.rfind('=');
  const std::string unit = eq == std::string::npos ? "" : Stripped(pair.substr(0, eq));
  if (eq == std::string::npos || unit.empty()) {
    Error(run, 2064, at);
    return false;
  }
  double share = 0.0;
  const std::string share_text = Stripped(pair.substr(eq + 1));
  if (!ReadShare(share_text, share)) {
    MessageArgs bad = at;
    bad.a2 = share_text;
    Error(run, 2065, bad);
    return false;
  }
  const int u = FindUnit(r, unit);
  MessageArgs named = at;
  named.a2 = unit;
  named.n3 = r.by_region ? 1 : 0;
  if (u == 0) {
    Error(run, 2066, named);
    return false;
  }
  if (s.share(u) >= 0.0) {
    Error(run, 2067, named);
    return false;
  }
  s.share(u) = share;
  return true;
}

// One scenario line into `s`; false (after its messages) when faulty.
bool ReadLine(Run& run, ScenarioReader& r, const std::vector<Scenario>& before,
              std::string_view text, int line, Scenario& s) {
  const std::size_t colon = text.find(':');
  s.name = colon == std::string_view::npos ? "" : Stripped(text.substr(0, colon));
  s.line = line;
  auto faulty = [&](const std::string& why) {
    Error(run, 2063, {.a1 = r.file, .a2 = why, .n1 = line});
    return false;
  };
  if (s.name.empty()) return faulty("no scenario name before a colon");
  for (const Scenario& b : before)
    if (b.name == s.name)
      return faulty("the name " + s.name + " is that of line " + std::to_string(b.line));
  const std::string_view rest = text.substr(colon + 1);
  if (Stripped(rest).empty()) return faulty("no unit and share after the colon");
  // Shares not yet given are negative until the line is read.
  s.share = Vec<double>(static_cast<int>(r.unit_names.size()), -1.0);
  bool sound = true;
  int field = 0;
  for (std::size_t from = 0; from <= rest.size();) {
    std::size_t comma = rest.find(',', from);
    if (comma == std::string_view::npos) comma = rest.size();
    ++field;
    sound = ReadPair(run, r, Stripped(rest.substr(from, comma - from)), line, field, s) && sound;
    from = comma + 1;
  }
  double sum = 0.0;
  for (int u = 1; u <= s.share.Size(); ++u) {
    s.share(u) = std::max(s.share(u), 0.0);
    sum += s.share(u);
  }
  if (sound && std::abs(sum - 1.0) > kSumTolerance) {
    Error(run, 2068, {.a1 = r.file, .n1 = line, .x1 = sum});
    sound = false;
  }
  return sound;
}

void ReadFile(Run& run, ScenarioList& scenarios) {
  ScenarioReader r;
  r.file = Trim(run.files.scenarios);
  LineReader in;
  const std::string native = NativeName(r.file);
  if (!in.Open(run.platform.OpenFile(native, "rb"), native)) {
    Error(run, 3006, {.a1 = kKind, .a2 = r.file});
    return;
  }
  try {
    r.unit_names = UnitNames(run, scenarios);
    for (int u = 1; u <= scenarios.nunits; ++u)
      r.full_names.push_back(scenarios.by_region ? RegionName(run, u) : PopulationName(run, u));
    r.by_region = scenarios.by_region;
    std::string line;
    int status = 0;
    while ((status = in.Read(line, kLineLength)) == 0) {
      if (Comment(line) || Stripped(line).empty()) continue;
      Scenario s;
      if (ReadLine(run, r, scenarios.list, line, in.LineNumber(), s))
        scenarios.list.push_back(std::move(s));
      else
        ++r.errors;
      if (run.error.stop) return;
    }
    if (status > 0) {
      Error(run, 3014, {.a1 = kKind, .n1 = in.LineNumber(), .iostat = status});
      return;
    }
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    return;
  }
  if (scenarios.list.empty() && r.errors == 0) {
    Error(run, 2069, {.a1 = r.file});
    ++r.errors;
  }
  if (r.errors > 0) Error(run, 3010, {.a1 = kKind});
}

}  // namespace

void ReadScenarios(Run& run, ScenarioList& scenarios) {
  Errpush(run, "Reading scenarios file");
  ReadFile(run, scenarios);
  Errpop(run);
}

}  // namespace velk
