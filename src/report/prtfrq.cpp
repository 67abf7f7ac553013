#include "report/prtfrq.hpp"

#include <algorithm>
#include <cstdio>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "core/error.hpp"
#include "core/fields.hpp"
#include "core/layout/layout.hpp"
#include "core/paths.hpp"
#include "core/report_file.hpp"
#include "core/reports.hpp"

#include "model/missing_baseline.hpp"

namespace velk {

namespace {

// Types of character c (never below 0, so that no width goes negative).
int Types(const Run& run, int c) {
  return std::max(0, run.chars(c).ntypes);
}

// The t-dependent layouts, with t written as two digits as the report has them.
std::string WithTypes(const char* pattern, int t) {
  char buf[64];
  std::snprintf(buf, sizeof buf, pattern, t);
  return buf;
}

// One report line built column by column; it is written up to the last column
// that received text. It grows as needed, so no page width can overrun it.
class LineBuffer {
 public:
  void Clear() { text_.clear(); }
  // Places `s` so that its first character is in column `col` (1-based).
  void Put(int col, std::string_view s) {
    const std::size_t start = static_cast<std::size_t>(col - 1);
    if (text_.size() < start + s.size()) text_.resize(start + s.size(), ' ');
    text_.replace(start, s.size(), s);
  }
  const std::string& Text() const { return text_; }
  bool Empty() const { return text_.empty(); }

 private:
  std::string text_;
};

// The first record of a layout written on its own (the report places it in a line).
std::string Piece(std::string_view layout, std::span<const Item> items) {
  std::string text = Fmt(layout, items);
  std::size_t end = text.find('\n');
  return end == std::string::npos ? text : text.substr(0, end);
}

// A run of characters printed side by side, with the running column at which
// each starts.
struct Block {
  int first = 0;
  int last = 0;
  std::vector<int> start;  // running column of first + k
  int end = 0;             // running column after the last character
};

// The blocks of characters that fit the page width `width`.
std::vector<Block> Blocks(const Run& run, int width) {
  std::vector<Block> blocks;
  const int nc = run.par.nchar;
  int f = 1;
  while (f <= nc) {
    Block b;
    b.first = f;
    int col = 37;
    int c = f;
    do {
      b.start.push_back(col);
      col += 6 * Types(run, c) + 7;
      ++c;
    } while (c <= nc && col + 6 * Types(run, c) + 2 <= width);
    b.last = c - 1;
    b.end = col;
    blocks.push_back(std::move(b));
    f = c;
  }
  return blocks;
}

// Which frequencies a table shows.
enum class Table { kSample, kRannala, kPella };

class Writer {
 public:
  Writer(Run& run, Unit& unit) : run_(run), unit_(unit) {
    width_ = std::max(100, 6 * run.par.max_types + 44);
    blocks_ = Blocks(run, width_);
    entry_ = NumberMissingBaseline(run.input.base_totals, run.par.nchar, run.par.npop).entry;
  }

  void Header(const Block& b) {
    // Names line.
    LineBuffer line;
    line.Put(11, "locus");
    for (int c = b.first; c <= b.last; ++c) {
      const std::string name = Trim(Padded(run_.chars(c).name, kCharNameWidth));
      const int len = static_cast<int>(name.size());
      const int t = Types(run_, c);
      if (!name.empty()) line.Put(Start(b, c) + std::max(0, 4 * t - len / 2), name);
    }
    unit_.Write("(/a)", {line.Text()});

    // Type numbers.
    line.Clear();
    int col = 41;
    for (int c = b.first; c <= b.last; ++c) {
      const int t = Types(run_, c);
      std::vector<Item> k;
      for (int j = 1; j <= t; ++j) k.emplace_back(j);
      line.Put(col, Piece(WithTypes("('(N)',%02d(3x,i2,1x)/)", t), k));
      col += 6 * t + 7;
    }
    unit_.Write("(a)", {line.Text()});

    // Underlines.
    line.Clear();
    line.Put(1, " population");
    col = 40;
    for (int c = b.first; c <= b.last; ++c) {
      const int t = Types(run_, c);
      line.Put(col, std::string(static_cast<std::size_t>(6 * t + 4), '_'));
      col += 6 * t + 8;
    }
    unit_.Write("(a)", {line.Text()});
    Rule(b);
  }

  void Rule(const Block& b) {
    std::vector<Item> bar(static_cast<std::size_t>(b.end), Item("_"));
    unit_.Write(WithTypes("(%03da1/)", width_), bar);
  }

  // Population i's row of one block.
  void PopulationRow(const Block& b, int i, Table table) {
    LineBuffer line;
    line.Put(1,
             Piece("(1x,i3,1x,a30)", std::vector<Item>{i, Padded(run_.pops(i).name, kNameWidth)}));
    for (int c = b.first; c <= b.last; ++c) {
      const int t = Types(run_, c);
      const int total = Total(c, i);
      std::vector<Item> items;
      std::string layout;
      if (table == Table::kSample && total < 1 && plain_) {
        items.emplace_back(total);
        for (int k = 1; k <= t; ++k) items.emplace_back("-----");
        layout = WithTypes("(2x,i4,%02d(1x,a5))", t);
      } else {
        items.emplace_back(total / Copies(c));
        for (int k = 1; k <= t; ++k) items.emplace_back(Frequency(table, k, c, i));
        layout = WithTypes("(2x,i4,%02d(1x,f5.3)\\)", t);
      }
      line.Put(Start(b, c) + 1, Piece(layout, items));
    }
    unit_.Write("(a)", {line.Text()});
  }

  // A label row for population i: under each character without data for it, the
  // entry's total and frequencies. False when no field was filled (nothing written).
  bool LabelRow(const Block& b, int i, std::string_view label, const MissingEntries& m) {
    LineBuffer line;
    line.Put(1, Piece("(15x,a)", std::vector<Item>{Padded(label, kNameWidth)}));
    bool filled = false;
    for (int c = b.first; c <= b.last; ++c) {
      if (Total(c, i) >= 1) continue;
      const int e = entry_(c, i);
      const int t = Types(run_, c);
      if (e > m.totals.Size() || e > m.freqs.Cols() || t > m.freqs.Rows()) continue;
      std::vector<Item> items;
      items.emplace_back(m.totals(e) / Copies(c));
      for (int k = 1; k <= t; ++k) items.emplace_back(m.freqs(k, e));
      line.Put(Start(b, c) + 1, Piece(WithTypes("(f6.1,%02d(1x,f5.3)\\)", t), items));
      filled = true;
    }
    if (!filled) return false;
    unit_.Write("(a)", {line.Text()});
    return true;
  }

  // The table of sample frequencies; with `plain` the characters without data
  // show dashes and the label rows follow each population.
  void SampleTable(bool plain, const MissingEntries& estimate, const MissingEntries* mean,
                   const MissingEntries* sd) {
    plain_ = plain;
    for (const Block& b : blocks_) {
      Header(b);
      for (int i = 1; i <= run_.par.npop; ++i) {
        PopulationRow(b, i, Table::kSample);
        if (!plain || run_.input.nmissing_base <= 0) continue;
        bool last = LabelRow(b, i, "Estimate", estimate);
        if (mean && sd) {
          LabelRow(b, i, "Mean", *mean);
          last = LabelRow(b, i, "Std.Dev.", *sd);
        }
        if (last) unit_.Write("()");
      }
      Rule(b);
    }
  }

  void ModelTable(Table table) {
    plain_ = false;
    for (const Block& b : blocks_) {
      Header(b);
      for (int i = 1; i <= run_.par.npop; ++i) PopulationRow(b, i, table);
      Rule(b);
    }
  }

 private:
  int Total(int c, int i) const { return run_.input.base_totals(c, i); }
  // Gene copies per individual as the report counts them.
  int Copies(int c) const { return run_.chars(c).ploidy < 2 ? 1 : 2; }
  int Start(const Block& b, int c) const { return b.start[static_cast<std::size_t>(c - b.first)]; }
  double Count(int k, int c, int i) const { return run_.input.base_counts(k, c, i); }

  double Frequency(Table table, int k, int c, int i) const {
    const int t = Types(run_, c);
    switch (table) {
      case Table::kSample: {
        const int total = Total(c, i);
        return total < 1 ? 0.0 : Count(k, c, i) / total;
      }
      case Table::kRannala: {
        const double prior = 1.0 / t;
        double sum = 0.0;
        for (int j = 1; j <= t; ++j) sum += Count(j, c, i) + prior;
        return sum > 0.0 ? (Count(k, c, i) + prior) / sum : 0.0;
      }
      case Table::kPella: {
        const double w = run_.input.pm_weight(c);
        double sum = 0.0;
        for (int j = 1; j <= t; ++j) sum += Count(j, c, i) + w * run_.input.pm_prior(j, c);
        return sum > 0.0 ? (Count(k, c, i) + w * run_.input.pm_prior(k, c)) / sum : 0.0;
      }
    }
    return 0.0;
  }

  Run& run_;
  Unit& unit_;
  int width_ = 100;
  std::vector<Block> blocks_;
  Mat<int> entry_;
  bool plain_ = true;
};

// True when the Pella-Masuda prior has been computed for every character.
bool HasPellaPrior(const Run& run) {
  return run.input.pm_weight.Size() >= run.par.nchar &&
         run.input.pm_prior.Cols() >= run.par.nchar &&
         run.input.pm_prior.Rows() >= run.par.max_types;
}

}  // namespace

void Prtfrq(Run& run, const MissingEntries& estimate, const MissingEntries* mean,
            const MissingEntries* sd) {
  if (!OpenReport(run, Report::kBaseline, "Frequencies", "Baseline frequencies to ")) return;
  Unit& unit = run.output.unit[Report::kBaseline];
  try {
    unit.Write("(/2x,a)", {Padded(run.title, kTitleWidth)});
    Writer writer(run, unit);
    const bool rannala = run.opt.rannala_mountain != 0;
    const bool pella = run.opt.pella_masuda != 0 && HasPellaPrior(run);
    if (!rannala && run.opt.pella_masuda == 0) {
      writer.SampleTable(true, estimate, mean, sd);
    } else {
      writer.SampleTable(false, estimate, nullptr, nullptr);
      if (rannala) {
        unit.Write("(/a//2a)",
                   {"Rannala-Mountain model", "  Expected values of posterior distributions of",
                    " baseline allele frequencies:"});
        writer.ModelTable(Table::kRannala);
      }
      if (pella) {
        unit.Write("(/a//2a)",
                   {"Pella-Masuda model", "  Expected values of posterior distributions of",
                    " baseline allele frequencies:"});
        writer.ModelTable(Table::kPella);
      }
    }
  } catch (const std::bad_alloc&) {
    // The stop drops the report, unfinished.
    Error(run, 3000);
    return;
  }
  CloseReport(run, Report::kBaseline);
}

void Prtfrq(Run& run) {
  Prtfrq(run, MissingEntries{run.input.missing_totals, run.input.missing_freqs});
}

void prweight(Run& run) {
  Unit& unit = run.output.unit[run.opt.estimation != 0 ? Report::kEstimates : Report::kSimulation];
  if (!unit.IsOpen() || !HasPellaPrior(run)) return;
  const int nc = run.par.nchar;
  unit.Write("(/A)", {"Pella-Masuda model of baseline allele frequencies"});
  unit.Write("(2A)",
             {"  Weights (p) for prior means ", "(weights for observed means are simply 1 - p)"});
  std::vector<Item> items;
  items.emplace_back("Population");
  for (int c = 1; c <= nc; ++c) items.emplace_back(Padded(run.chars(c).name, kCharNameWidth));
  unit.Write("(4X,A,21X,3000(1X,A10))", items);
  for (int i = 1; i <= run.par.npop; ++i) {
    items.clear();
    items.emplace_back(i);
    items.emplace_back(Padded(run.pops(i).name, kNameWidth));
    for (int c = 1; c <= nc; ++c) {
      const double w = run.input.pm_weight(c);
      items.emplace_back(w / (w + run.input.base_totals(c, i)));
    }
    unit.Write("(I3,1X,A30,1X,3000(1X,F10.2))", items);
  }
  unit.Write("(/2A/2A/A/)",
             {"(Large weights for the ", "prior means may indicate that there is little variation",
              "in the character among the stocks.  Such a character's ",
              "value in discriminating stocks", "should be examined.)"});
}

void WriteFrequencyModel(const Run& run, Unit& out) {
  if (run.opt.rannala_mountain != 0)
    out.Write("(/2x,a,a/)",
              {"Uses Rannala-Mountain model of baseline allele frequency ", "distributions"});
  if (run.opt.pella_masuda != 0)
    out.Write("(/2x,a,a/)",
              {"Uses Pella-Masuda model of baseline allele frequency ", "distributions"});
}

}  // namespace velk
