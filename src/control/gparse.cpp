// The control-file reader: from the line after the analysis header to the
// "run" line. It resets the analysis description, finds the section headers,
// hands every section to its reader, keeps the order the sections must come
// in, fills the default names and allocates the tables the sections fill.
#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <string_view>

#include "control/itoken.hpp"
#include "control/sections.hpp"
#include "control/values.hpp"
#include "core/error.hpp"
#include "core/layout/layout.hpp"
#include "core/paths.hpp"

namespace velk {

namespace {

enum class Section { None, Options, Parameters, Characters, Populations, Files, Regions, Run };

// What has been read so far.
struct Done {
  bool parameters = false;
  bool populations = false;
  bool characters = false;
  bool files = false;
  bool hierarchy = false;
  bool run = false;
};

// A header line's first token, taken from its first 5 columns only, is "*".
// Returns the column just after the "*", or 0 when the line is no header.
int HeaderStart(Run& run, std::string_view line) {
  std::string_view head = line.substr(0, std::min<std::size_t>(5, line.size()));
  int used = 0;
  std::string token;
  int type = Itoken(run, head, used, token);
  if (type != kTokStar) return 0;
  return used + 1;
}

// The header a section reader stopped at: the column after its first "*",
// or 0 when the line holds none.
int PendingHeaderStart(std::string_view line) {
  std::size_t star = line.find('*');
  return star == std::string_view::npos ? 0 : static_cast<int>(star) + 2;
}

// The first word of the header, from column `start` on, that names a section:
// its first four letters, or the word "run" exactly. Other tokens are passed over.
Section FindSection(Run& run, std::string_view line, int start) {
  int pos = start;
  std::string token;
  while (pos >= 1 && pos <= static_cast<int>(line.size())) {
    int used = 0;
    int type = Itoken(run, line.substr(static_cast<std::size_t>(pos - 1)), used, token);
    pos += std::max(used, 1);
    if (type == kTokWord || type == -kTokWord) {
      if (token == "run") return Section::Run;
      if (token.size() >= 4) {
        std::string_view key(token.data(), 4);
        if (key == "opti") return Section::Options;
        if (key == "para") return Section::Parameters;
        if (key == "char") return Section::Characters;
        if (key == "popu") return Section::Populations;
        if (key == "file") return Section::Files;
        if (key == "regi") return Section::Regions;
      }
    }
    if (type < 0) break;  // the scan reached the end of the line
  }
  return Section::None;
}

void OutOfMemory(Run& run) {
  Error(run, 3000);
}

// Character tables with their defaults: "CHAR-" and the number, ID i, 9 types,
// ploidy 2 (locus).
bool AllocateCharacters(Run& run) {
  try {
    int nc = run.par.nchar;
    run.chars.Resize(nc);
    for (int i = 1; i <= nc; ++i) {
      Character& c = run.chars(i);
      c.name = Fmt("(a5,i2)", {"CHAR-", i});
      c.id = i;
      c.ntypes = 9;
      c.ploidy = 2;
    }
    // The largest number of types is that of the defaults until a characters
    // section says otherwise, so that the baseline arrays are never sized 0.
    run.par.max_types = nc > 0 ? 9 : 0;
  } catch (const std::bad_alloc&) {
    OutOfMemory(run);
    return false;
  }
  return true;
}

// Population tables with their defaults: "Population " and the number, ID i,
// blank file name. Without a populations section nothing else sets the
// initial estimates: every population starts with 1/np.
bool AllocatePopulations(Run& run) {
  try {
    int np = run.par.npop;
    run.pops.Resize(np);
    for (int i = 1; i <= np; ++i) {
      Population& p = run.pops(i);
      p.name = Fmt("(a11,i3)", {"Population ", i});
      p.id = i;
      p.estimate = 1.0 / np;
      p.estimate_copy = p.estimate;
      p.level = {0, 0, 0};
      p.file.clear();
    }
  } catch (const std::bad_alloc&) {
    OutOfMemory(run);
    return false;
  }
  return true;
}

// Region tables of one empty entry, for an analysis without a hierarchy.
bool AllocateEmptyRegions(Run& run) {
  try {
    Regions& g = run.regions;
    g.level.Resize(1);
    g.label.Resize(1);
    g.size.Resize(1);
    g.parent.Resize(1);
    g.members.Resize(1);
    g.name.Resize(1);
    g.name(1) = Fmt("(a7,i2)", {"Region ", 1});
    g.estimate.Resize(1, 1.0);
  } catch (const std::bad_alloc&) {
    OutOfMemory(run);
    return false;
  }
  return true;
}

// Region names ("Region " and the number) and regional estimates for the
// regions the group builder made.
bool AllocateRegionNames(Run& run) {
  try {
    // As many as the region tables hold, so that every region has a name.
    int nr = std::max({run.par.nregions, run.regions.level.Size(), 1});
    Regions& g = run.regions;
    g.name.Resize(nr);
    for (int r = 1; r <= nr; ++r) g.name(r) = Fmt("(a7,i2)", {"Region ", r});
    g.estimate.Resize(nr, 1.0);
  } catch (const std::bad_alloc&) {
    OutOfMemory(run);
    return false;
  }
  return true;
}

void NoHierarchy(Run& run) {
  run.par.nlevels = 0;
  run.par.nregions = 0;
  AllocateEmptyRegions(run);
}

// Tables larger than kMostEntries are refused before anything is allocated
// for them.

bool TooMany(Run& run, int count, const char* what) {
  if (count <= kMostEntries) return false;
  Error(run, 3023, {.a1 = what, .n1 = kMostEntries});
  return true;
}

void ReadParameters(Run& run, Done& done) {
  int resampling = (run.opt.resample_mixture != 0 || run.opt.resample_baseline != 0) ? 1 : 0;
  Pparse(run, resampling);
  if (run.error.stop) return;
  if (run.par.nchar < 1) {
    Error(run, 3002);
    return;
  }
  if (TooMany(run, run.par.nchar, "characters") || !AllocateCharacters(run)) return;
  if (run.par.npop < 1) {
    Error(run, 3003);
    return;
  }
  if (TooMany(run, run.par.npop, "populations")) return;
  if (run.par.kind == 2 || resampling || run.opt.bias_corrected != 0) {
    if (run.par.nresamples < 1) {
      Error(run, 3033);
      return;
    }
    if (run.par.confidence < 1 || run.par.confidence > 99) {
      Error(run, 3034);
      return;
    }
  }
  if (run.opt.compute_ci && (run.par.confidence < 1 || run.par.confidence > 99)) {
    Error(run, 3034);
    return;
  }
  if (!AllocatePopulations(run)) return;
  done.parameters = true;
}

void ReadCharacters(Run& run, Done& done) {
  if (!done.parameters) {
    Error(run, 3031, {.a1 = "characters"});
    return;
  }
  Cparse(run);
  if (run.error.stop) return;
  int most = 0;
  for (const Character& c : run.chars) most = std::max(most, c.ntypes);
  run.par.max_types = most;
  done.characters = true;
}

void ReadPopulations(Run& run, Done& done) {
  if (!done.parameters) {
    Error(run, 3031, {.a1 = "populations"});
    return;
  }
  Sparse(run);
  if (run.error.stop) return;
  for (Population& p : run.pops) p.estimate_copy = p.estimate;
  if (run.par.nlevels > 0) {
    Setclv(run);
    if (run.error.stop) return;
    done.hierarchy = true;
    if (!AllocateRegionNames(run)) return;
  } else {
    NoHierarchy(run);
    if (run.error.stop) return;
  }
  done.populations = true;
}

void ReadRunLine(Run& run, Done& done) {
  if (!done.parameters) {
    Error(run, 3031, {.a1 = "populations & characters"});
    return;
  }
  const char* kind = run.par.kind == 1 ? "Estimation" : "Simulation";
  bool baseline = !Trim(run.files.baseline).empty() ||
                  (run.pops.Size() >= 1 && !Trim(run.pops(1).file).empty());
  if (!baseline) {
    Error(run, 3005, {.a1 = kind, .a2 = "baseline file"});
    return;
  }
  if (run.par.kind == 1 && Trim(run.files.mixture).empty() && !LeaveOneOutAlone(run.opt)) {
    Error(run, 3005, {.a1 = kind, .a2 = "mixture file"});
    return;
  }
  if (!done.populations) {
    NoHierarchy(run);
    if (run.error.stop) return;
  }
  done.run = true;
}

}  // namespace

bool Gparse(Run& run, int kind) {
  run.date = run.platform.Now();
  Errpush(run, "Reading control file");

  // A fresh analysis description: defaults, default seeds, no tables yet.
  run.par = Par{};
  run.opt = Opt{};
  run.files = Files{};
  run.chars.Free();
  run.pops.Free();
  run.regions = Regions{};
  run.par.kind = kind;
  run.opt.estimation = kind == 1 ? 1 : 0;
  double u = run.process.default_seed.Next(run.platform);
  double u2 = run.process.default_seed.Next(run.platform);
  run.par.seed = static_cast<int>(std::trunc(-10000000.0 * u));
  run.par.seco = static_cast<int>(std::trunc(10000000.0 * u2));
  run.files.output = "USER";

  int pos = 0;
  run.title = Trim(Gafter(run.parse.line, ':', '\r', pos));

  Done done;
  bool need_line = true;  // the analysis header has been acted on
  while (!done.run && !run.error.stop) {
    int start = 0;
    if (need_line) {
      if (!ReadControlLine(run)) break;
      if (IsCommentLine(run.parse.line)) continue;
      start = HeaderStart(run, run.parse.line);
    } else {
      // A section reader stopped at the next header and left it unhandled.
      start = PendingHeaderStart(run.parse.line);
      need_line = true;
    }
    if (start == 0) continue;  // not a header: a comment
    run.parse.last_type = kTokStar;
    run.parse.pos = start;

    Section section = FindSection(run, run.parse.line, start);
    bool reader_called = true;
    int lines_before = run.parse.nline;
    switch (section) {
      case Section::None:
        reader_called = false;  // a header without a section keyword
        break;
      case Section::Options:
        Oparse(run);
        break;
      case Section::Parameters:
        ReadParameters(run, done);
        break;
      case Section::Characters:
        ReadCharacters(run, done);
        break;
      case Section::Populations:
        ReadPopulations(run, done);
        break;
      case Section::Files:
        Fparse(run);
        done.files = true;
        break;
      case Section::Regions:
        if (!done.populations) {
          Error(run, 3004);
        } else if (run.par.nlevels > 0) {
          Rparse(run);
        } else {
          reader_called = false;  // no hierarchy: the section is read as comments
        }
        break;
      case Section::Run:
        reader_called = false;
        ReadRunLine(run, done);
        break;
    }
    if (run.error.stop) break;
    // Continue at the header the section reader stopped at, if it did (a reader
    // that read nothing leaves its own header, which must not be read again).
    need_line =
        !(reader_called && run.parse.last_type == kTokStar && run.parse.nline > lines_before);
  }

  run.inputs.Control().Close();
  if (run.error.stop || !done.run || run.check_only) {
    Errpop(run);
    return false;
  }
  return true;  // the run sequence follows and pops the context
}

}  // namespace velk
