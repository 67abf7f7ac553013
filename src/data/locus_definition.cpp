#include "data/locus_definition.hpp"

#include <algorithm>
#include <string>
#include <string_view>

#include "control/itoken.hpp"
#include "core/paths.hpp"
#include "data/record_text.hpp"

namespace velk {

namespace {

// Longest field name of a mixture file's locus definition.
constexpr std::size_t kNameLength = 132;

bool IsComment(DefinitionRule rule, std::string_view line) {
  if (rule == DefinitionRule::kMixture) return IsRecordComment(line);
  return !line.empty() && (line[0] == '\\' || line[0] == '/');
}

// What one line of the definition is.
enum class LineKind { kNone, kField, kEnd };

LineKind MixtureLine(Run& run, std::string_view line, std::string& name) {
  LineKind kind = LineKind::kNone;
  ScanTokens(run, line, [&](const Token& token) {
    if (token.type == kTokStar) {
      kind = LineKind::kEnd;
      return false;
    }
    const char first = Tolow(line[token.start]);
    if (first < 'a' || first > 'z') return true;
    name = TrimRight(line.substr(token.start, kNameLength));
    kind = LineKind::kField;
    return false;
  });
  return kind;
}

LineKind ReferenceLine(std::string_view line, std::string& name) {
  std::size_t k = 0;
  while (k < line.size() && IsBlank(line[k])) ++k;
  if (k >= line.size()) return LineKind::kNone;
  std::size_t end = k;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  if (line.substr(k, end - k) == "*") return LineKind::kEnd;
  name = Trim(line);
  return LineKind::kField;
}

// The character named `name` that no earlier field holds; 0 when none.
int NamedCharacter(const Run& run, DefinitionRule rule, const std::string& name,
                   std::vector<bool>& placed) {
  for (int c = 1; c <= run.par.nchar && c <= run.chars.Size(); ++c) {
    const std::string own =
        rule == DefinitionRule::kMixture ? TrimRight(run.chars(c).name) : Trim(run.chars(c).name);
    if (!placed[static_cast<std::size_t>(c)] && own == name) {
      placed[static_cast<std::size_t>(c)] = true;
      return c;
    }
  }
  return 0;
}

int FieldOf(const Run& run, DefinitionRule rule, const std::string& name,
            const std::vector<int>& fields, std::vector<bool>& placed) {
  if (rule == DefinitionRule::kReference) {
    if (SameNoCase(name, "ID")) return kIdField;
    if (SameNoCase(name, "POP")) return kPopField;
    return NamedCharacter(run, rule, name, placed);
  }
  const int c = NamedCharacter(run, rule, name, placed);
  if (c > 0) return c;
  const bool has_id = std::find(fields.begin(), fields.end(), kIdField) != fields.end();
  if (!has_id && SameNoCase(name, "ID")) return kIdField;
  auto first = [&](int kind, const char* word) {
    return SameNoCase(name, word) && std::find(fields.begin(), fields.end(), kind) == fields.end();
  };
  if (first(kCollectionField, "COLLECTION")) return kCollectionField;
  return first(kKnownField, "KNOWN") ? kKnownField : kSkippedField;
}

}  // namespace

int ReadLocusDefinition(Run& run, LineReader& in, std::size_t maxlen, DefinitionRule rule,
                        std::vector<int>& fields, std::vector<std::string>* names) {
  fields.clear();
  if (names != nullptr) names->clear();
  const int nc = std::max(run.par.nchar, 0);
  std::vector<bool> placed(static_cast<std::size_t>(nc) + 1, false);
  std::string line;
  for (;;) {
    const int status = in.Read(line, maxlen);
    if (status != 0) return status;
    if (IsComment(rule, line)) continue;
    std::string name;
    const LineKind kind =
        rule == DefinitionRule::kMixture ? MixtureLine(run, line, name) : ReferenceLine(line, name);
    if (kind == LineKind::kEnd) return 0;
    if (kind != LineKind::kField) continue;
    fields.push_back(FieldOf(run, rule, name, fields, placed));
    if (names != nullptr) names->push_back(name);
  }
}

}  // namespace velk
