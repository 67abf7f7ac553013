// The files section: the baseline and mixture files, the folder of the
// per-population baseline files and the output base name of the reports.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>

#include "control/itoken.hpp"
#include "control/keyscan.hpp"
#include "control/sections.hpp"
#include "control/values.hpp"
#include "core/error.hpp"
#include "core/paths.hpp"

namespace velk {

namespace {

enum class FileName {
  kBaseline, kMixture, kPath, kOutput, kReference, kCollection, kNames, kScenarios
};

struct FileKey {
  std::string_view key;   // first four letters of the keyword
  std::string_view text;  // names the field in message 3026
  FileName name;
};

constexpr std::array<FileKey, 7> kFileKeys{{
    {"base", "baseline", FileName::kBaseline},
    {"mixt", "mixture", FileName::kMixture},
    {"path", "path", FileName::kPath},
    {"outp", "outp", FileName::kOutput},
    {"refe", "reference", FileName::kReference},
    {"name", "names", FileName::kNames},
    {"scen", "scenarios", FileName::kScenarios},
}};

constexpr FileKey kCollectionKey{"coll", "mixture collection", FileName::kCollection};

// True when the word after `pos` in the line begins with `prefix`.
bool NextWordBegins(Run& run, std::string_view line, int pos, std::string_view prefix) {
  if (pos >= static_cast<int>(line.size())) return false;
  int used = 0;
  std::string token;
  const int type = Itoken(run, line.substr(static_cast<std::size_t>(pos)), used, token);
  return (type == kTokWord || type == -kTokWord) && token.compare(0, prefix.size(), prefix) == 0;
}

// One line of the files section; `record` is its line number. Names are
// stored as paths: either separator, relative names taken from the folder of
// the control file, the output base name cut at the last "." of its own name.
// False when the line names none of them.
bool Fline(Run& run, std::string_view line, int record) {
  int pos = 0;  // characters of the line already scanned
  std::string token;
  while (pos < static_cast<int>(line.size())) {
    std::string_view rest = line.substr(static_cast<std::size_t>(pos));
    int used = 0;
    int type = Itoken(run, rest, used, token);
    pos += std::max(used, 1);  // a leading backslash uses no character
    if (type == -kTokNone || type == kTokNone) return false;
    if (type != kTokWord && type != -kTokWord) continue;
    const FileKey* found = nullptr;
    for (const FileKey& k : kFileKeys)
      if (token.compare(0, 4, k.key) == 0) {
        found = &k;
        break;
      }
    if (found == nullptr) continue;
    // "Mixture collection:" names the mixture's collection, not a file.
    if (found->name == FileName::kMixture && NextWordBegins(run, line, pos, "coll"))
      found = &kCollectionKey;

    std::string name;
    if (type == kTokWord) {
      int at = 0;
      name = Trim(Gafter(line.substr(static_cast<std::size_t>(pos)), ':', '\r', at,
                         std::string::npos));
    }
    if (name.empty()) {
      Error(run, 3026, {.a1 = std::string(found->text), .n1 = record});
      return true;
    }
    if (found->name == FileName::kOutput) {
      // A name that is all extension (".est") is left blank: not given.
      name = OutputBaseName(NativeName(name));
      if (name.empty()) {
        run.files.output.clear();
        return true;
      }
    }
    if (found->name == FileName::kCollection) {
      run.files.collection = name;
      return true;
    }
    std::string resolved = ResolveName(run.control_dir, name);
    switch (found->name) {
      case FileName::kBaseline:
        run.files.baseline = resolved;
        break;
      case FileName::kMixture:
        run.files.mixture = resolved;
        break;
      case FileName::kPath:
        run.files.path = resolved;
        break;
      case FileName::kOutput:
        run.files.output = resolved;
        break;
      case FileName::kReference:
        run.files.reference = resolved;
        break;
      case FileName::kNames:
        run.files.names = resolved;
        break;
      case FileName::kScenarios:
        run.files.scenarios = resolved;
        break;
      case FileName::kCollection:
        break;
    }
    return true;
  }
  return false;
}

}  // namespace

void Fparse(Run& run) {
  run.files.baseline.clear();
  run.files.mixture.clear();
  run.files.path.clear();
  run.files.output.clear();
  run.files.reference.clear();
  run.files.collection.clear();
  run.files.names.clear();
  run.files.scenarios.clear();

  std::string token;
  for (;;) {
    if (!ReadControlLine(run)) return;
    const std::string& line = run.parse.line;
    if (IsCommentLine(line)) continue;
    int used = 0;
    int type = Itoken(run, line, used, token);
    run.parse.last_type = type;
    if (type == kTokStar) {
      run.parse.pos = used + 1;
      run.parse.token = token;
      break;
    }
    if (type == kTokNone || type == -kTokNone) continue;
    const bool understood = Fline(run, run.parse.whole, run.parse.nline);
    if (run.error.stop) return;
    if (!understood) NotUnderstood(run);
  }

  if (!run.files.path.empty() && run.files.path.back() != '/') run.files.path += '/';
  if (run.files.output.empty()) run.files.output = "USER";
  if (run.opt.estimation == 1 && run.files.mixture.empty() && !LeaveOneOutAlone(run.opt)) {
    Error(run, 3027, {.a1 = "Mixture"});
  }
}

}  // namespace velk
