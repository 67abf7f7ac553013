// The three table sections of the control file: characters (Cparse),
// populations (Sparse) and regions (Rparse). A table is a heading line of
// bracketed column names, in any order, followed by one row per item; a row is
// read column by column in the order of the heading.
#include <algorithm>
#include <array>
#include <cmath>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "control/itoken.hpp"
#include "control/sections.hpp"
#include "control/values.hpp"
#include "core/error.hpp"
#include "core/fields.hpp"
#include "core/paths.hpp"

namespace velk {

namespace {

enum class Read { kInteger, kReal, kText, kKind };

struct Column {
  std::string_view key;    // heading key: first four letters, blanks squeezed out
  std::string_view field;  // names the field in message 3016
  Read read;
  int width = 0;               // texts: characters kept; 0: a file name, kept whole
  bool required = false;       // texts: blank is a failing field
  bool ends_at_blank = false;  // texts: as last column, ends at the first blank
  double lowest = -HUGE_VAL;   // numbers: smaller values are a failing field
};

// Characters table, columns in default order.
constexpr int kCharId = 1, kCharTypes = 2, kCharName = 3, kCharKind = 4;
constexpr std::array<Column, 4> kCharColumns{{
    {"id# ", "id #", Read::kInteger},
    {"#typ", "# types", Read::kInteger, 0, false, false, 1.0},
    {"char", "character name", Read::kText, 10, true},
    {"kind", "character type", Read::kKind},
}};

// Populations table.
constexpr int kPopId = 1, kPopName = 2, kPopEstimate = 3, kPopLev1 = 4, kPopFile = 7;
constexpr std::array<Column, 7> kPopColumns{{
    {"id# ", "ID number", Read::kInteger},
    {"popu", "population name", Read::kText, 30},
    {"esti", "population contribution", Read::kReal, 0, false, false, 0.0},
    {"lev1", "level 1", Read::kInteger},
    {"lev2", "level 2", Read::kInteger},
    {"lev3", "level 3", Read::kInteger},
    {"file", "file name", Read::kText, 0, false, true},
}};

// Regions table.
constexpr int kRegLevel = 1, kRegLabel = 2, kRegName = 3, kRegEstimate = 4;
constexpr std::array<Column, 4> kRegColumns{{
    {"leve", "level ID", Read::kInteger},
    {"labe", "label ID", Read::kInteger},
    {"regi", "region name", Read::kText, 30, true},
    {"esti", "regional contribution", Read::kReal, 0, false, false, 0.0},
}};

// The column layout of one table: order and number of named columns. It
// starts in default order with no column named, in every run.
struct Layout {
  Vec<int> order;
  int nfound = 0;

  explicit Layout(int ncolumns) : order(ncolumns) { Reset(); }
  void Reset() {
    for (int c = 1; c <= order.Size(); ++c) order(c) = c;
    nfound = 0;
  }
  bool Named(int id) const {
    for (int c = 1; c <= nfound; ++c)
      if (order(c) == id) return true;
    return false;
  }
};

// One value of a row, by column identifier.
struct Value {
  int i = 0;
  double x = 0.0;
  std::string s;
  std::string written;  // texts: as written, before the cut to the column's width
};

enum class LineKind { kHeader, kHeading, kRow, kSkip };

// Reads the next line of a table and says what it is. A header line is left
// as the current line with its "*" taken. False on a read failure (3014).
bool NextTableLine(Run& run, LineKind& kind) {
  if (!ReadControlLine(run)) return false;
  const std::string& line = run.parse.line;
  kind = LineKind::kSkip;
  if (IsCommentLine(line)) return true;
  int used = 0;
  int type = Itoken(run, line, used, run.parse.token);
  run.parse.last_type = type;
  if (type == kTokStar) {
    run.parse.pos = used + 1;
    kind = LineKind::kHeader;
  } else if (std::abs(type) == kTokBracket) {
    kind = LineKind::kHeading;
  } else if (std::abs(type) == kTokNumber || std::abs(type) == kTokWord) {
    // A row whose only word runs to the end of the line is a row too.
    kind = LineKind::kRow;
  }
  return true;
}

// Reads a heading line into the layout (Gorder always starts from the default
// order). Fatal 3018, 3019, 3020 stop the run.
void ReadHeading(Run& run, std::span<const Column> columns, Layout& layout) {
  std::vector<std::string_view> keys;
  for (const Column& c : columns) keys.push_back(c.key);
  layout.Reset();
  Gorder(run, run.parse.line, layout.order, keys, layout.nfound);
}

int KindPloidy(std::string_view word) {
  if (word == "locus") return 2;
  if (word == "isolocus") return 4;
  if (word == "nongenetic" || word == "phenotype" || word == "mtdna") return 1;
  return 0;
}

// Whether the number that ends at column `used` of `rest` goes on with a
// decimal comma (error 2006).
bool Comma(Run& run, std::string_view rest, int used) {
  const std::size_t end = static_cast<std::size_t>(std::max(used, 0));
  if (end + 1 >= rest.size() || rest[end] != ',') return false;
  std::size_t b = end;
  while (b > 0 && rest[b - 1] != ' ') --b;
  const std::string comma = CommaNumber(rest.substr(b));
  if (comma.empty()) return false;
  DecimalComma(run, run.control_file, run.parse.nline, comma);
  return true;
}

// Reads the named columns of the current line, each from where the previous
// one ended. Returns the identifier of the failing column, 0 when none.
int ReadRow(Run& run, std::span<const Column> columns, const Layout& layout,
            std::vector<Value>& values) {
  const std::string& line = run.parse.line;
  const int length = static_cast<int>(line.size());
  Lastsv(run);  // only what this row's fields report counts
  int p = 1;    // column at which the next field starts
  for (int c = 1; c <= layout.nfound; ++c) {
    const int id = layout.order(c);
    const Column& col = columns[static_cast<std::size_t>(id - 1)];
    Value& v = values[static_cast<std::size_t>(id)];
    std::string_view rest =
        p <= length ? std::string_view(line).substr(static_cast<std::size_t>(p - 1)) : "";
    if (Trim(rest).empty()) return id;  // the line ended before this column
    bool failing = false;
    int used = 0;
    switch (col.read) {
      case Read::kInteger:
        v.i = Igint(run, rest, used);
        p += used;
        failing = v.i < col.lowest || Comma(run, rest, used);
        break;
      case Read::kReal:
        v.x = Greal(run, rest, used);
        p += used;
        failing = v.x < col.lowest || Comma(run, rest, used);
        break;
      case Read::kText: {
        // A file name is read from the whole line, however long.
        const bool whole = col.width == 0;
        if (whole) {
          const std::string& all = run.parse.whole;
          rest = p <= static_cast<int>(all.size())
                     ? std::string_view(all).substr(static_cast<std::size_t>(p - 1))
                     : "";
        }
        std::string text;
        if (c == layout.nfound) {
          std::size_t b = rest.find_first_not_of(' ');
          text = std::string(rest.substr(b));
          if (col.ends_at_blank) text = text.substr(0, text.find(' '));
          p = length + 1;
        } else {
          text = Gstrng(rest, ':', used, std::string::npos);
          p += used;
        }
        v.written = Trim(text);
        v.s = whole ? v.written : Trim(Cut(text, static_cast<std::size_t>(col.width)));
        failing = col.required && v.s.empty();
        break;
      }
      case Read::kKind: {
        std::string word;
        int type = Itoken(run, rest, used, word, 10);
        p += std::max(used, 1);
        v.i = std::abs(type) == kTokWord ? KindPloidy(word) : 0;
        failing = v.i == 0;
        break;
      }
    }
    if (Lastsv(run) >= 4) failing = true;
    if (failing) return id;
  }
  return 0;
}

// Fatal 3016 for the failing field of a row.
void FieldError(Run& run, std::string_view table, const Column& column) {
  Error(run, 3016, {.a1 = std::string(table), .a2 = std::string(column.field), .n1 = run.parse.nline});
}

void RowCountError(Run& run, std::string_view table, int nrows, int expected) {
  Error(run, 3015, {.a1 = std::string(table), .n1 = nrows, .n2 = expected});
}

// The names the characters table gave, as written, by the name they are kept
// as: the baseline and mixture files tell characters apart by that name alone.
using NamesGiven = std::unordered_map<std::string, std::string>;

// One row of the characters table fills character k. A name whose kept part is
// that of an earlier row's name is fatal 3039, naming both.
void Cline(Run& run, int k, const Layout& layout, NamesGiven& given) {
  std::vector<Value> v(kCharColumns.size() + 1);
  int failing = ReadRow(run, kCharColumns, layout, v);
  if (failing != 0) {
    FieldError(run, "character", kCharColumns[static_cast<std::size_t>(failing - 1)]);
    return;
  }
  Character& ch = run.chars(k);
  if (layout.Named(kCharId)) ch.id = v[kCharId].i;
  if (layout.Named(kCharTypes)) ch.ntypes = v[kCharTypes].i;
  if (layout.Named(kCharKind)) ch.ploidy = v[kCharKind].i;
  if (!layout.Named(kCharName)) return;
  ch.name = v[kCharName].s;
  auto [earlier, added] = given.emplace(ch.name, v[kCharName].written);
  if (added) return;
  Error(run, 3039, {.a1 = earlier->second, .a2 = v[kCharName].written, .n1 = run.parse.nline});
}

void Cread(Run& run) {
  const int nc = run.par.nchar;
  Layout layout(static_cast<int>(kCharColumns.size()));
  NamesGiven given;
  int nrows = 0;
  LineKind kind;
  for (;;) {
    if (!NextTableLine(run, kind)) return;
    if (kind == LineKind::kHeader) {
      if (nrows >= 1 && nrows < nc) RowCountError(run, "characters", nrows, nc);
      return;
    }
    if (kind == LineKind::kHeading) {
      ReadHeading(run, kCharColumns, layout);
    } else if (kind == LineKind::kRow) {
      if (++nrows > nc) {
        RowCountError(run, "characters", nrows, nc);
        return;
      }
      Cline(run, nrows, layout, given);
    }
    if (run.error.stop) return;
  }
}

// One row of the populations table fills population k. A file name is stored
// as written; whoever opens it resolves it against the files section's path
// (or, when that is blank, the folder of the control file).
void Sline(Run& run, int k, const Layout& layout) {
  std::vector<Value> v(kPopColumns.size() + 1);
  int failing = ReadRow(run, kPopColumns, layout, v);
  if (failing != 0) {
    FieldError(run, "population", kPopColumns[static_cast<std::size_t>(failing - 1)]);
    return;
  }
  Population& pop = run.pops(k);
  if (layout.Named(kPopId)) pop.id = v[kPopId].i;
  if (layout.Named(kPopName)) pop.name = v[kPopName].s;
  if (layout.Named(kPopEstimate)) pop.estimate = v[kPopEstimate].x;
  for (int l = 0; l < 3; ++l)
    if (layout.Named(kPopLev1 + l)) pop.level[static_cast<std::size_t>(l)] = v[kPopLev1 + l].i;
  if (layout.Named(kPopFile)) pop.file = v[kPopFile].s;
}

void Sread(Run& run, Layout& layout) {
  const int np = run.par.npop;
  int nrows = 0;
  LineKind kind;
  while (nrows < np) {
    if (!NextTableLine(run, kind)) return;
    if (kind == LineKind::kHeader) {
      if (nrows >= 1) RowCountError(run, "populations", nrows, np);
      return;
    }
    if (kind == LineKind::kHeading) {
      ReadHeading(run, kPopColumns, layout);
      run.par.nlevels = 0;
      for (int l = 0; l < 3; ++l)
        if (layout.Named(kPopLev1 + l)) ++run.par.nlevels;
    } else if (kind == LineKind::kRow) {
      ++nrows;
      run.pops(nrows).level = {0, 0, 0};
      Sline(run, nrows, layout);
    }
    if (run.error.stop) return;
  }
}

// One row of the regions table names the region of its level and label that
// has not been given yet.
void Rline(Run& run, const Layout& layout, Vec<int>& given, bool& accepted) {
  std::vector<Value> v(kRegColumns.size() + 1);
  int failing = ReadRow(run, kRegColumns, layout, v);
  if (failing != 0) {
    FieldError(run, "region", kRegColumns[static_cast<std::size_t>(failing - 1)]);
    return;
  }
  const int level = layout.Named(kRegLevel) ? v[kRegLevel].i : 0;
  const int label = layout.Named(kRegLabel) ? v[kRegLabel].i : 0;
  Regions& reg = run.regions;
  for (int r = 1; r <= run.par.nregions; ++r) {
    if (given(r) || reg.level(r) != level || reg.label(r) != label) continue;
    if (layout.Named(kRegName) && !v[kRegName].s.empty()) reg.name(r) = v[kRegName].s;
    reg.estimate(r) = layout.Named(kRegEstimate) ? v[kRegEstimate].x : 0.0;
    given(r) = 1;
    accepted = true;
    return;
  }
  Error(run, 1009, {.n1 = label, .n2 = level});
}

void Rread(Run& run, Layout& layout) {
  const int nreg = run.par.nregions;
  Vec<int> given(nreg, 0);
  int ngiven = 0;
  bool accepted = false;
  LineKind kind;
  while (ngiven < nreg) {
    if (!NextTableLine(run, kind)) return;
    if (kind == LineKind::kHeader) return;
    if (kind == LineKind::kHeading) {
      if (accepted) {
        Error(run, 3021);
        return;
      }
      ReadHeading(run, kRegColumns, layout);
      if (run.error.stop) return;
      if (!layout.Named(kRegLevel) || !layout.Named(kRegLabel)) {
        Error(run, 3022);
        return;
      }
    } else if (kind == LineKind::kRow) {
      Rline(run, layout, given, accepted);
      if (run.error.stop) return;
      ngiven = 0;
      for (int r = 1; r <= nreg; ++r) ngiven += given(r);
    }
    if (run.error.stop) return;
  }
}

// Divides every population estimate by their sum; fatal 3024 when the sum is
// not positive.
void NormalisePopulations(Run& run) {
  double sum = 0.0;
  for (const Population& p : run.pops) sum += p.estimate;
  if (!(sum > 0.0)) {
    Error(run, 3024);
    return;
  }
  for (Population& p : run.pops) p.estimate /= sum;
}

}  // namespace

void Cparse(Run& run) {
  Errpush(run, "Reading control file character definition");
  Cread(run);
  Errpop(run);
}

void Sparse(Run& run) {
  for (Population& p : run.pops) p.estimate = 0.0;
  run.par.nlevels = 0;
  Layout layout(static_cast<int>(kPopColumns.size()));
  Sread(run, layout);
  if (run.error.stop) return;
  if (!layout.Named(kPopEstimate)) {
    for (Population& p : run.pops) p.estimate = 1.0 / run.par.npop;
    return;
  }
  NormalisePopulations(run);
}

void Rparse(Run& run) {
  Errpush(run, "Reading control file region labels");
  const int nreg = run.par.nregions;
  Regions& reg = run.regions;
  reg.estimate.Resize(nreg, 1.0);
  if (reg.name.Size() < nreg) reg.name.Resize(nreg);
  Layout layout(static_cast<int>(kRegColumns.size()));
  Rread(run, layout);
  if (run.error.stop || !layout.Named(kRegEstimate)) {
    Errpop(run);
    return;
  }

  // Regional estimates: each level's sum made 1.
  for (int l = 1; l <= run.par.nlevels; ++l) {
    double sum = 0.0;
    for (int r = 1; r <= nreg; ++r)
      if (reg.level(r) == l) sum += reg.estimate(r);
    for (int r = 1; r <= nreg; ++r)
      if (reg.level(r) == l) reg.estimate(r) = sum > 0.0 ? reg.estimate(r) / sum : 0.0;
  }
  // The members of every level-1 region share the region's estimate in the
  // proportions of their own estimates.
  int start = 0;  // members of regions before r
  for (int r = 1; r <= nreg; ++r) {
    if (reg.level(r) == 1) {
      double sum = 0.0;
      for (int m = start + 1; m <= start + reg.size(r); ++m)
        sum += run.pops(reg.members(m)).estimate;
      for (int m = start + 1; m <= start + reg.size(r); ++m) {
        Population& p = run.pops(reg.members(m));
        p.estimate = sum > 0.0 ? p.estimate * reg.estimate(r) / sum : 0.0;
      }
    }
    start += reg.size(r);
  }
  NormalisePopulations(run);
  Errpop(run);
}

}  // namespace velk
