#include "data/reference.hpp"

#include <algorithm>
#include <cctype>
#include <new>
#include <string_view>

#include "core/error.hpp"
#include "core/lines.hpp"
#include "core/paths.hpp"
#include "core/run.hpp"

namespace velk {

namespace {

constexpr std::size_t kLineLength = 1 << 20;

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

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t k = 0; k < a.size(); ++k)
    if (std::tolower(static_cast<unsigned char>(a[k])) !=
        std::tolower(static_cast<unsigned char>(b[k])))
      return false;
  return true;
}

bool Comment(std::string_view line) {
  return !line.empty() && (line[0] == '\\' || line[0] == '/');
}

void BadRecord(Run& run, int line, const std::string& what, int& errors) {
  run.error.n1 = line;
  run.error.a1 = what;
  Error(run, 2050);
  ++errors;
}

}  // namespace

void ReadReference(Run& run, ReferenceFish& fish) {
  Errpush(run, "Reading reference individuals");
  const int nc = run.par.nchar;
  const int np = run.par.npop;
  const int maxtyp = run.par.max_types;
  const std::string name = Trim(run.files.reference);
  if (name.empty()) {
    run.error.a1 = "Reference individuals";
    Error(run, 3027);
    Errpop(run);
    return;
  }
  LineReader in;
  const std::string native = NativeName(name);
  if (!in.Open(run.platform.OpenFile(native, "rb"), native)) {
    run.error.a1 = "reference individuals";
    run.error.a2 = name;
    Error(run, 3006);
    Errpop(run);
    return;
  }

  // The locus definition: field -> character (>0), ID (-1), POP (-2), skipped (0).
  std::vector<int> field;
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
  std::vector<bool> placed(static_cast<std::size_t>(nc) + 1, false);
  while (defined && (status = in.Read(line, kLineLength)) == 0) {
    if (Comment(line)) continue;
    const std::vector<std::string_view> f = Fields(line);
    if (f.empty()) continue;
    if (f[0] == "*") break;
    const std::string word = Trim(line);
    int what = 0;
    if (SameNoCase(word, "ID")) {
      what = -1;
    } else if (SameNoCase(word, "POP")) {
      what = -2;
    } else {
      for (int c = 1; c <= nc; ++c)
        if (!placed[static_cast<std::size_t>(c)] && Trim(run.chars(c).name) == word) {
          placed[static_cast<std::size_t>(c)] = true;
          what = c;
          break;
        }
    }
    field.push_back(what);
  }
  const bool has_id = std::find(field.begin(), field.end(), -1) != field.end();
  const bool has_pop = std::find(field.begin(), field.end(), -2) != field.end();
  if (!defined || status > 0 || !has_pop) {
    run.error.a1 = "reference individuals";
    run.error.n1 = in.LineNumber();
    run.error.iostat = status;
    Error(run, status > 0 ? 3014 : 3051);
    Errpop(run);
    return;
  }

  // The records.
  int errors = 0;
  std::vector<std::int8_t> one(static_cast<std::size_t>(maxtyp) * nc);
  std::vector<std::int8_t> all;
  std::vector<int> pops, lines;
  try {
    while ((status = in.Read(line, kLineLength)) == 0) {
      if (Comment(line)) continue;
      const std::vector<std::string_view> f = Fields(line);
      if (f.empty()) continue;
      const int ln = in.LineNumber();
      if (f.size() < field.size()) {
        BadRecord(run, ln, "it has fewer fields than the locus definition", errors);
        continue;
      }
      std::fill(one.begin(), one.end(), 0);
      std::string id;
      int pop = 0;
      bool ok = true;
      for (std::size_t k = 0; k < field.size() && ok; ++k) {
        const std::string_view v = f[k];
        if (field[k] == -1) {
          id = std::string(v);
        } else if (field[k] == -2) {
          pop = 0;
          for (char ch : v) {
            if (!std::isdigit(static_cast<unsigned char>(ch)) || pop > np) {
              pop = 0;
              break;
            }
            pop = pop * 10 + (ch - '0');
          }
          if (pop < 1 || pop > np) {
            BadRecord(run, ln,
                      "its population number " + std::string(v.substr(0, 20)) +
                          " is not 1 to the number of populations",
                      errors);
            ok = false;
          }
        } else if (field[k] > 0) {
          const int c = field[k];
          const Character& ch = run.chars(c);
          int sum = 0;
          bool digits = v.size() <= static_cast<std::size_t>(ch.ntypes);
          for (std::size_t t = 0; t < v.size() && digits; ++t) {
            if (!std::isdigit(static_cast<unsigned char>(v[t]))) {
              digits = false;
              break;
            }
            one[static_cast<std::size_t>(c - 1) * maxtyp + t] =
                static_cast<std::int8_t>(v[t] - '0');
            sum += v[t] - '0';
          }
          if (!digits || sum > std::max(ch.ploidy, 1)) {
            BadRecord(run, ln, "its field for character " + Trim(ch.name) + " is not a genotype",
                      errors);
            ok = false;
          }
        }
      }
      if (!ok) continue;
      if (!has_id) id = std::to_string(ln);
      fish.id.push_back(id);
      pops.push_back(pop);
      lines.push_back(ln);
      all.insert(all.end(), one.begin(), one.end());
    }
    if (status > 0) {
      run.error.a1 = "reference individuals";
      run.error.n1 = in.LineNumber();
      run.error.iostat = status;
      Error(run, 3014);
      Errpop(run);
      return;
    }
    fish.count = static_cast<int>(pops.size());
    fish.pop = Vec<int>(fish.count);
    fish.line = Vec<int>(fish.count);
    fish.copies = Arr3<std::int8_t>(maxtyp, nc, std::max(fish.count, 1));
  } catch (const std::bad_alloc&) {
    Error(run, 3000);
    Errpop(run);
    return;
  }
  for (int n = 1; n <= fish.count; ++n) {
    fish.pop(n) = pops[static_cast<std::size_t>(n) - 1];
    fish.line(n) = lines[static_cast<std::size_t>(n) - 1];
  }
  std::copy(all.begin(), all.end(), fish.copies.Data());

  // Every individual's copies must be among its population's baseline counts.
  const Arr3<std::int16_t>& counts = run.input.base_counts;
  for (int n = 1; n <= fish.count; ++n) {
    for (int c = 1; c <= nc; ++c) {
      bool within = true;
      for (int k = 1; k <= run.chars(c).ntypes; ++k)
        within = within && fish.copies(k, c, n) <= counts(k, c, fish.pop(n));
      if (!within) {
        run.error.a1 = fish.id[static_cast<std::size_t>(n) - 1];
        run.error.a2 = Trim(run.chars(c).name);
        run.error.n1 = fish.line(n);
        Error(run, 2051);
        ++errors;
        break;
      }
    }
  }
  if (errors > 0) {
    run.error.a1 = "reference individuals";
    Error(run, 3010);
  }
  Errpop(run);
}

}  // namespace velk
