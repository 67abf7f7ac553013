#include "report/prtmix.hpp"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "core/error.hpp"
#include "core/fields.hpp"
#include "core/layout/edit.hpp"
#include "core/paths.hpp"
#include "core/report_file.hpp"
#include "core/reports.hpp"

namespace velk {

namespace {

// Width of a condensed-mixture line.
constexpr int kLine = 1024;

// One copy count as "(i1)" writes it.
char Digit(int v) {
  return v >= 0 && v <= 9 ? static_cast<char>('0' + v) : '*';
}

// Writes `text` into `line` from column `col` (1-based), cut at the line's end.
void Place(std::string& line, int col, std::string_view text) {
  if (col < 1 || col > static_cast<int>(line.size())) return;
  const std::size_t at = static_cast<std::size_t>(col - 1);
  line.replace(at, std::min(text.size(), line.size() - at), text.substr(0, line.size() - at));
}

}  // namespace

void Prtmix(Run& run, const MixtureCounts& mix, const Arr3<std::int8_t>& copies,
            const Vec<std::int32_t>& possible) {
  if (!OpenReport(run, Report::kMixture, "Compressed Mixture", "Condensed mixture to ")) return;
  Unit& out = run.output.unit[Report::kMixture];
  const int nc = run.par.nchar;

  // Field width of every character: its types or its trimmed name, the wider.
  Vec<int> width(nc);
  Vec<std::string> name(nc);
  for (int c = 1; c <= nc; ++c) {
    name(c) = Trim(Padded(run.chars(c).name, kCharNameWidth));
    width(c) = std::max(run.chars(c).ntypes, static_cast<int>(name(c).size()));
  }
  Vec<int> start(nc);

  out.Write("(/2x,a)", {Padded(run.title, kTitleWidth)});
  bool marked = false;
  int g = 0;  // the genotype before the class's first
  for (int k = 1; k <= mix.nclasses; ++k) {
    const int first_g = g + 1;
    const int last_g = g + mix.class_genotypes(k);
    out.Write("(/1x,a,i3/)", {"Class ", k});
    // The characters in groups that fit one line.
    for (int first = 1; first <= nc;) {
      std::string header(kLine, ' ');
      Place(header, 1, " Type  N");
      int col = 10;
      int last = first;
      for (int c = first; c <= nc; ++c) {
        if (c > first && col + width(c) + 1 > kLine) break;
        start(c) = col;
        Place(header, col, name(c));
        col += width(c) + 1;
        last = c;
      }
      // The underline in one text: at most 1025 underscores fill one record.
      out.Write("(1x,a,/1x,a)",
                {header, std::string(static_cast<std::size_t>(std::min(col, kLine + 1)), '_')});
      for (int gg = first_g; gg <= last_g; ++gg) {
        const bool impossible = possible(gg) == 0;
        marked = marked || impossible;
        std::string line(kLine, ' ');
        Place(line, 1, Fmt("(1x,a1,i3,1x,i3)", {impossible ? "*" : " ", gg, mix.geno_count(gg)}));
        for (int c = first; c <= last; ++c) {
          std::string digits;
          for (int t = 1; t <= run.chars(c).ntypes; ++t) digits += Digit(copies(t, c, gg));
          Place(line, start(c) + 1, digits);
        }
        out.Write("(a)", {line});
      }
      out.Write("()");
      first = last + 1;
    }
    g = last_g;
  }
  if (marked)
    out.Write("(//1x,a)", {"* Indicates types that are impossible using the given baseline."});
  CloseReport(run, Report::kMixture);
}

void Prtgen(Run& run, const MixtureCounts& mix, const Mat<double>& p, bool genotypes) {
  const int np = run.par.npop;
  const int nk = mix.nclasses;
  int ngeno = 0;
  for (int k = 1; k <= nk; ++k) ngeno += mix.class_genotypes(k);

  // Per population and class: the sum of the genotype probabilities and the
  // individuals whose genotype is most probable there.
  Mat<double> total;
  Mat<std::int32_t> most;
  if (genotypes) {
    try {
      total.Resize(np, nk);
      most.Resize(np, nk);
    } catch (const std::bad_alloc&) {
      Error(run, 3000);
      return;
    }
    int g = 0;
    for (int k = 1; k <= nk; ++k) {
      for (int j = 1; j <= mix.class_genotypes(k); ++j) {
        ++g;
        int m = 1;
        for (int i = 1; i <= np; ++i) {
          total(i, k) += p(i, g);
          if (p(i, g) > p(m, g)) m = i;
        }
        most(m, k) += mix.geno_count(g);
      }
    }
  }

  const int slot = genotypes ? Report::kGenotypes : Report::kPopulations;
  const char* report =
      genotypes ? "Conditional Genotype Probabilities" : "Conditional Population Probabilities";
  if (!OpenReport(run, slot, report,
                  genotypes ? "Conditional genotype probabilities to "
                            : "Conditional stock probabilities to "))
    return;
  Unit& out = run.output.unit[static_cast<std::size_t>(slot)];
  // A genotype's row is "(2(2x,i5),10(1x,g8.3))" or "(2(2x,i5),10(1x,f6.4,2x))".
  std::string row;

  int nind = 0;
  for (int g = 1; g <= ngeno; ++g) nind += mix.geno_count(g);
  out.Write("(2(/2x,a))", {Padded(run.title, kTitleWidth), report});
  out.Write("(/2x,a,/3(/2x,a,i6))",
            {"Mixture Sample Summary", "Number of types       : ", ngeno,
             "Number of classes     : ", nk, "Number of individuals : ", nind});
  if (nk > 1) {
    out.Write("(/5x,a,2x,a,2x,a)", {"Class", "Types", "Indviduals"});
    for (int k = 1; k <= nk; ++k)
      out.Write("(5x,i5,2x,i5,5x,i5)", {k, mix.class_genotypes(k), mix.class_individuals(k)});
  }

  int g0 = 0;  // the genotype before the class's first
  for (int k = 1; k <= nk; ++k) {
    if (nk > 1) out.Write("(/2x,a,i3)", {"Class ", k});
    for (int lo = 1; lo <= np; lo += 9) {
      const int hi = std::min(lo + 8, np);
      std::vector<Item> heading{"Population", "Type", "Size"};
      for (int i = lo; i <= hi; ++i) heading.emplace_back(i);
      out.Write("(/40x,a,/3x,a,2x,a,10(1x,i6,2x))", heading);
      // At most 93 underscores, one record as "(2x,100a)" would write them singly.
      const std::vector<Item> underline{
          std::string(static_cast<std::size_t>((hi - lo + 2) * 9 + 3), '_')};
      out.Write("(2x,a)", underline);
      for (int g = g0 + 1; g <= g0 + mix.class_genotypes(k); ++g) {
        // The record `values` writes, field by field (at most nine values, so
        // the layout never reverts; the blanks after a value appear only
        // before the next one).
        row.clear();
        row.append(2, ' ');
        EditI(g, 5, row);
        row.append(2, ' ');
        EditI(mix.geno_count(g), 5, row);
        for (int i = lo; i <= hi; ++i) {
          if (genotypes) {
            row += ' ';
            EditG(p(i, g), 8, 3, row);
          } else {
            if (i > lo) row.append(2, ' ');
            row += ' ';
            EditF(p(i, g), 6, 4, row);
          }
        }
        out.Record(row);
      }
      out.Write("(2x,a)", underline);
      if (genotypes) {
        std::vector<Item> sums{"total", mix.class_individuals(k)};
        std::vector<Item> counts{"max freqs"};
        for (int i = lo; i <= hi; ++i) {
          sums.emplace_back(total(i, k));
          counts.emplace_back(most(i, k));
        }
        out.Write("(2x,a,1x,i5,10(1x,f7.5,1x))", sums);
        out.Write("(2x,a,1x,10(1x,i7,1x))", counts);
      }
    }
    g0 += mix.class_genotypes(k);
  }
  CloseReport(run, slot);
}

}  // namespace velk
