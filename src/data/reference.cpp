#include "data/reference.hpp"

#include <algorithm>
#include <cctype>
#include <new>
#include <string_view>

#include "core/error.hpp"
#include "core/lines.hpp"
#include "core/paths.hpp"
#include "core/run.hpp"
#include "data/locus_definition.hpp"
#include "data/record_text.hpp"

namespace velk {

namespace {

constexpr std::size_t kLineLength = 1 << 20;
constexpr const char* kKind = "reference individuals";

// The blank-separated fields of a line.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t k = 0;
  while (k < line.size()) {
    while (k < line.size() && (line[k] == ' ' || line[k] == '\t')) ++k;
    std::size_t end = k;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
    if (end > k) out.push_back(line.substr(k, end - k));
    k = end;
  }
  return out;
}

bool Comment(std::string_view line) {
  return !line.empty() && (line[0] == '\\' || line[0] == '/');
}

void BadRecord(Run& run, int line, const std::string& what, int& errors) {
  Error(run, 2050, {.a1 = what, .n1 = line});
  ++errors;
}

// Opens the file named in the control file; false after 3027 or 3006.
[[nodiscard]] bool OpenReference(Run& run, LineReader& in) {
  const std::string name = Trim(run.files.reference);
  if (name.empty()) {
    Error(run, 3027, {.a1 = "Reference individuals"});
    return false;
  }
  const std::string native = NativeName(name);
  if (!in.Open(run.platform.OpenFile(native, "rb"), native)) {
    Error(run, 3006, {.a1 = kKind, .a2 = name});
    return false;
  }
  return true;
}

// Error 2052 for the fields of the definition that are no character of the
// control file, nor ID or POP: a reference of another panel.
void CheckFieldNames(Run& run, const std::vector<int>& field, const std::vector<std::string>& names,
                     int& errors) {
  constexpr int kNamed = 5;
  int strangers = 0;
  std::string list;
  for (std::size_t k = 0; k < field.size(); ++k) {
    if (field[k] != kSkippedField) continue;
    if (++strangers <= kNamed) list += (list.empty() ? "" : ", ") + names[k];
  }
  if (strangers == 0) return;
  if (strangers > kNamed) list += ", ...";
  Error(run, 2052, {.a1 = list, .n1 = strangers});
  ++errors;
}

// The locus definition: per field, a character (>0), kIdField, kPopField or
// kSkippedField (error 2052). False after 3051 (none, or no "POP") or 3014.
[[nodiscard]] bool ReadDefinition(Run& run, LineReader& in, std::vector<int>& field, int& errors) {
  std::string line;
  bool defined = false;
  int status = 0;
  while ((status = in.Read(line, kLineLength)) == 0) {
    const std::vector<std::string_view> f = Fields(line);
    if (f.size() >= 2 && f[0] == "*" && SameNoCase(f[1].substr(0, 4), "char")) {
      defined = true;
      break;
    }
  }
  std::vector<std::string> names;
  if (defined)
    status = ReadLocusDefinition(run, in, kLineLength, DefinitionRule::kReference, field, &names);
  const bool has_pop = std::find(field.begin(), field.end(), kPopField) != field.end();
  if (!defined || status > 0 || !has_pop) {
    Error(run, status > 0 ? 3014 : 3051, {.a1 = kKind, .n1 = in.LineNumber(), .iostat = status});
    return false;
  }
  CheckFieldNames(run, field, names, errors);
  return true;
}

// The population number of a POP field, 0 when it is not 1..np.
int PopulationNumber(std::string_view v, int np) {
  int pop = 0;
  for (char ch : v) {
    if (!std::isdigit(static_cast<unsigned char>(ch)) || pop > np) return 0;
    pop = pop * 10 + (ch - '0');
  }
  return pop;
}

// The copies of character c from its field into `one`; false when the field is
// not a genotype: more digits than types, or more copies than the ploidy.
[[nodiscard]] bool ReadCopies(const Character& ch, int c, int maxtyp, std::string_view v,
                              std::vector<std::int8_t>& one) {
  int sum = 0;
  if (v.size() > static_cast<std::size_t>(ch.ntypes)) return false;
  for (std::size_t t = 0; t < v.size(); ++t) {
    if (!std::isdigit(static_cast<unsigned char>(v[t]))) return false;
    one[static_cast<std::size_t>(c - 1) * maxtyp + t] = static_cast<std::int8_t>(v[t] - '0');
    sum += v[t] - '0';
  }
  return sum <= std::max(ch.ploidy, 1);
}

// The records read so far, in file order.
struct ReadFish {
  std::vector<std::int8_t> copies;
  std::vector<int> pops, lines;
  int errors = 0;
};

// One record (its fields f, line ln): the individual, or error 2050.
void ReadRecord(Run& run, const std::vector<int>& field, bool has_id,
                const std::vector<std::string_view>& f, int ln, std::vector<std::int8_t>& one,
                ReferenceFish& fish, ReadFish& read) {
  if (f.size() < field.size()) {
    BadRecord(run, ln, "it has fewer fields than the locus definition", read.errors);
    return;
  }
  std::fill(one.begin(), one.end(), 0);
  std::string id;
  int pop = 0;
  for (std::size_t k = 0; k < field.size(); ++k) {
    const std::string_view v = f[k];
    if (field[k] == kIdField) {
      id = std::string(v);
    } else if (field[k] == kPopField) {
      pop = PopulationNumber(v, run.par.npop);
      if (pop < 1 || pop > run.par.npop) {
        BadRecord(run, ln,
                  "its population number " + std::string(v.substr(0, 20)) +
                      " is not 1 to the number of populations",
                  read.errors);
        return;
      }
    } else if (field[k] > 0) {
      const Character& ch = run.chars(field[k]);
      if (!ReadCopies(ch, field[k], run.par.max_types, v, one)) {
        BadRecord(run, ln, "its field for character " + Trim(ch.name) + " is not a genotype",
                  read.errors);
        return;
      }
    }
  }
  if (!has_id) id = std::to_string(ln);
  fish.id.push_back(id);
  read.pops.push_back(pop);
  read.lines.push_back(ln);
  read.copies.insert(read.copies.end(), one.begin(), one.end());
}

// The records after the definition; false after 3014.
[[nodiscard]] bool ReadRecords(Run& run, LineReader& in, const std::vector<int>& field,
                               ReferenceFish& fish, ReadFish& read) {
  const bool has_id = std::find(field.begin(), field.end(), kIdField) != field.end();
  std::vector<std::int8_t> one(static_cast<std::size_t>(run.par.max_types) * run.par.nchar);
  std::string line;
  int status = 0;
  while ((status = in.Read(line, kLineLength)) == 0) {
    if (Comment(line)) continue;
    const std::vector<std::string_view> f = Fields(line);
    if (f.empty()) continue;
    ReadRecord(run, field, has_id, f, in.LineNumber(), one, fish, read);
  }
  if (status > 0) {
    Error(run, 3014, {.a1 = kKind, .n1 = in.LineNumber(), .iostat = status});
    return false;
  }
  return true;
}

// Every individual's copies must be among its population's baseline counts
// (2051).
void CheckAgainstBaseline(Run& run, const ReferenceFish& fish, int& errors) {
  const Arr3<std::int16_t>& counts = run.input.base_counts;
  for (int n = 1; n <= fish.count; ++n) {
    for (int c = 1; c <= run.par.nchar; ++c) {
      bool within = true;
      for (int k = 1; k <= run.chars(c).ntypes; ++k)
        within = within && fish.copies(k, c, n) <= counts(k, c, fish.pop(n));
      if (!within) {
        Error(run, 2051,
              {.a1 = fish.id[static_cast<std::size_t>(n) - 1],
               .a2 = Trim(run.chars(c).name),
               .n1 = fish.line(n)});
        ++errors;
        break;
      }
    }
  }
}

void ReadFile(Run& run, ReferenceFish& fish) {
  const int nc = run.par.nchar;
  const int maxtyp = run.par.max_types;
  LineReader in;
  if (!OpenReference(run, in)) return;
  std::vector<int> field;
  ReadFish read;
  if (!ReadDefinition(run, in, field, read.errors)) return;
  try {
    if (!ReadRecords(run, in, field, fish, read)) return;
    fish.count = static_cast<int>(read.pops.size());
    fish.pop = Vec<int>(fish.count);
    fish.line = Vec<int>(fish.count);
    fish.copies = Arr3<std::int8_t>(maxtyp, nc, std::max(fish.count, 1));
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    return;
  }
  for (int n = 1; n <= fish.count; ++n) {
    fish.pop(n) = read.pops[static_cast<std::size_t>(n) - 1];
    fish.line(n) = read.lines[static_cast<std::size_t>(n) - 1];
  }
  std::copy(read.copies.begin(), read.copies.end(), fish.copies.Data());
  CheckAgainstBaseline(run, fish, read.errors);
  if (fish.count == 0) {
    Error(run, 2053, {.a1 = Trim(run.files.reference)});
    ++read.errors;
  }
  if (read.errors > 0) Error(run, 3010, {.a1 = kKind});
}

}  // namespace

void ReadReference(Run& run, ReferenceFish& fish) {
  Errpush(run, "Reading reference individuals");
  ReadFile(run, fish);
  Errpop(run);
}

}  // namespace velk
