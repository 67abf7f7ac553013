// The layout writer against gfortran: the same layouts and values are written
// by a generated Fortran program and by the writer, and the outputs must agree
// byte for byte. Skipped when gfortran is not installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/layout/compile.hpp"
#include "core/layout/layout.hpp"
#include "support/files.hpp"

namespace velk {
namespace {

using Code = LayoutOp::Code;

struct SplitMix {
  std::uint64_t state;
  std::uint64_t Next() {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
  }
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
};

// A real as an exact Fortran expression: its bit pattern transferred.
std::string RealBits(double x) {
  std::int64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  std::string text = bits == INT64_MIN ? "(-9223372036854775807_8-1_8)" : std::to_string(bits);
  return bits == INT64_MIN ? text : text.append("_8");
}

// A quoted Fortran text; in a layout gfortran spells "\" as "$".
std::string Quoted(const std::string& text, bool layout) {
  std::string s = "'";
  for (char ch : text) s += ch == '\'' ? "''" : layout && ch == '\\' ? "$" : std::string(1, ch);
  return s + "'";
}

std::string FortranItem(const Item& item) {
  if (item.kind == Item::Kind::Int) return std::to_string(item.i).append("_8");
  if (item.kind == Item::Kind::Real) return "transfer(" + RealBits(item.r) + ",1d0)";
  return Quoted(item.t, false);
}

// The descriptor kinds that `count` items meet, reversion included; with
// `one_pass` only those met before the layout's end is first reached.
std::vector<Code> DataKinds(std::string_view layout, std::size_t count, bool one_pass) {
  CompiledLayout c = CompileLayout(layout);
  std::vector<Code> kinds;
  std::vector<std::pair<int, int>> stack;
  bool any = false;
  for (int pc = 0; kinds.size() < count; ++pc) {
    if (pc >= static_cast<int>(c.ops.size())) {
      if (one_pass || !any) break;
      pc = c.reversion - 1;
      any = false;
      continue;
    }
    const LayoutOp& op = c.ops[static_cast<std::size_t>(pc)];
    if (op.code == Code::Open && op.n == 0) {
      pc = op.d;
    } else if (op.code == Code::Open) {
      stack.emplace_back(pc, op.n);
    } else if (op.code == Code::Close && --stack.back().second > 0) {
      pc = stack.back().first;
    } else if (op.code == Code::Close) {
      stack.pop_back();
    } else if (op.code >= Code::A && op.code <= Code::G) {
      kinds.push_back(op.code);
      any = true;
    }
  }
  return kinds;
}

struct Write {
  std::string layout;
  std::vector<Item> items;
  std::string fortran_items;  // the Fortran output list; empty: the items as literals
};

// Writes to compare, with pools of values where the editing is easy to get wrong.
class Differential {
 public:
  Differential() {
    // Exact binary halves, quarters and eighths: ties for f.
    for (int k = -48; k <= 48; ++k) reals_.push_back(k / 8.0);
    for (int k = -12; k <= 12; ++k) reals_.push_back(k + 0.5);
    for (int k = 0; k <= 64; ++k) reals_.push_back(k / 64.0);
    for (int k = 1; k <= 40; ++k) reals_.push_back(k / 1024.0);
    // Decade boundaries of g: 9...95 times a power of ten, and their neighbours.
    for (int d = 1; d <= 8; ++d)
      for (int e = -4; e <= d + 1; ++e)
        for (double v : {std::stod(std::string(d, '9') + "5e" + std::to_string(e - d - 1)),
                         std::stod("1e" + std::to_string(e))})
          for (double w : {v, std::nextafter(v, 0.0), std::nextafter(v, 1e300), -v})
            reals_.push_back(w);
    // Magnitudes at the ends of the range, the exponent's change to three digits, decimal ties.
    // clang-format off
    for (double v : {0.0, -0.0, 1e-300, 5e-324, DBL_MIN, DBL_MAX, 1e100, 9.9999e99, 9.99999999e99,
                     9.9999999999999999e99, 1e-100, 0.99999e-99, 0.99995e-99, 1e-99, 1e99, 1e-101,
                     123456789012.0, 1e15, 1e16, 1e22, 9007199254740993.0, 0.1, 0.2, 0.3, 2.675,
                     1.005, 0.045, 1.45, 2.5e-5, 999999.5, 99999.95})
      // clang-format on
      reals_.insert(reals_.end(), {v, -v});
    // Random values over many decades, and short decimals near decimal ties.
    for (int k = 0; k < 500; ++k) {
      double v = (1 + 9 * rng_.Uniform()) * std::pow(10.0, rng_.Below(31) - 15);
      reals_.push_back(rng_.Below(2) ? -v : v);
    }
    for (int k = 0; k < 300; ++k)
      reals_.push_back((rng_.Below(200001) - 100000) / std::pow(10.0, 1 + rng_.Below(5)));

    ints_ = {0, 1, -1, 7, -7, 9223372036854775807LL, -9223372036854775807LL};
    for (long long p = 1, w = 1; w <= 13; ++w, p *= 10)
      for (long long v : {p - 1, p, 10 * p - 1, 10 * p}) ints_.insert(ints_.end(), {v, -v});
    for (int k = 0; k < 200; ++k) {
      long long v = static_cast<long long>(rng_.Next() % 2000000) - 1000000;
      ints_.push_back(k % 4 == 0 ? v * 1000003 : v);
    }
  }

  void Add(std::string layout, std::vector<Item> items, std::string fortran_items = {}) {
    writes_.push_back(Write{std::move(layout), std::move(items), std::move(fortran_items)});
  }
  // Every real (or integer) of the pool through one layout.
  void AddPool(const std::string& layout, bool ints) {
    std::vector<Item> items;
    for (std::size_t k = 0; k < (ints ? ints_.size() : reals_.size()); ++k)
      items.push_back(ints ? Item(ints_[k]) : Item(reals_[k]));
    std::string n = std::to_string(items.size());
    Add(layout, std::move(items), ints ? "(n(k),k=1," + n + ")" : "(r(k),k=1," + n + ")");
  }
  // Writes with items of the right kinds drawn from the pools: exactly one
  // pass, one item short, and enough to revert.
  void AddLayout(const std::string& layout) {
    static const char* const kTexts[] = {
        "Population", "x", "", "-----", "Estimate", "A much longer name of a stock, 36 ch",
        "it's",       "ab"};
    auto items_for = [&](std::size_t count) {
      std::vector<Item> items;
      for (Code k : DataKinds(layout, count, false)) {
        if (k == Code::A)
          items.emplace_back(kTexts[rng_.Below(8)]);
        else if (k == Code::I)
          items.emplace_back(ints_[static_cast<std::size_t>(rng_.Below(ints_.size()))]);
        else
          items.emplace_back(reals_[static_cast<std::size_t>(rng_.Below(reals_.size()))]);
      }
      return items;
    };
    std::size_t pass = DataKinds(layout, 80, true).size();
    Add(layout, items_for(pass));
    if (pass > 0) Add(layout, items_for(pass - 1));
    Add(layout, items_for(pass + pass / 2 + 1));
  }

  std::string FortranSource() const {
    std::string src = "program layouts\n  implicit none\n  integer :: k\n  integer(8) :: rb(" +
                      std::to_string(reals_.size()) + "), n(" + std::to_string(ints_.size()) +
                      ")\n  real(8) :: r(" + std::to_string(reals_.size()) + ")\n";
    auto chunks = [&src](const char* name, std::size_t size, auto text_of) {
      for (std::size_t a = 0; a < size; a += 40) {
        std::size_t b = std::min(size, a + 40);
        src += std::string("  ") + name + "(" + std::to_string(a + 1) + ":" + std::to_string(b) +
               ") = [";
        for (std::size_t k = a; k < b; ++k) (src += k > a ? "," : "") += text_of(k);
        src += "]\n";
      }
    };
    chunks("rb", reals_.size(), [this](std::size_t k) { return RealBits(reals_[k]); });
    chunks("n", ints_.size(), [this](std::size_t k) { return FortranItem(Item(ints_[k])); });
    src += "  r = transfer(rb, r)\n";
    for (const Write& w : writes_) {
      src += "  write(6," + Quoted(w.layout, true) + ")";
      if (!w.fortran_items.empty()) src += " " + w.fortran_items;
      for (std::size_t k = 0; w.fortran_items.empty() && k < w.items.size(); ++k)
        (src += k ? "," : " ") += FortranItem(w.items[k]);
      src += "\n";
    }
    return src + "end program layouts\n";
  }

  // The writer's output lines, each with the write that produced it.
  std::vector<std::pair<std::string, const Write*>> Render() const {
    std::vector<std::pair<std::string, const Write*>> lines;
    Records records;
    for (const Write& w : writes_) {
      velk::Render(w.layout, w.items, records);
      for (const std::string& rec : records.done) lines.emplace_back(rec, &w);
      records.done.clear();
    }
    return lines;
  }

 private:
  SplitMix rng_{20240611};
  std::vector<double> reals_;
  std::vector<long long> ints_;
  std::vector<Write> writes_;
};

// The program's own layouts, with the counts that are put into some of them at run time.
// clang-format off
const char* const kProgramLayouts[] = {
    "()", "(//1x,a)", "(//21x,a,10x,a,/10x,a,2(5x,a,6x,a))", "(//2x,75a/)", "(//2x,a/)", "(/1x,a)",
    "(/1x,a,i3,a)", "(/1x,a,i3/)", "(/2A/2A/A/)", "(/2A/3A/A/)", "(/2x,70a)",
    "(/2x,a,/3(/2x,a,i6))", "(/2x,a,f12.2)", "(/2x,i2,a)", "(/40x,a,/3x,a,2x,a,10(1x,i6,2x))",
    "(/5x,a,2x,a,2x,a)", "(/7x,a,t39,a,t49,a,t60,a,t67,a)", "(/7x,a,t40,a,t50,a,t61,a)",
    "(/A/3A/A/)", "(/a//2a)", "(/t20,a,t41,a,/3x,a,t18,a,t38,a,t51,a,t58,a,t68,a,t76,a)",
    "(/t36,a/2x,a,t35,a,t43,a,t53,a,t61,a)", "(/t45,a,/6x,a,t43,a,t53,a,t63,a,t73,a)",
    "(100(f6.4,1x))", "(100(f8.4,1x))", "(11x,i2,2x,2(3x,2(f6.3,4x)))", "(1x,a,/1x,1025a1)",
    "(1x,a1,i3,1x,i3)",
    "(1x,i3,2x,a30,2(2x,f6.4,2x),1x,g8.2,1x,                            f6.1,1x,a1)",
    "(1x,i6,2x,a30,1x,4(2x,f6.4,2x))", "(2(/2x,a))", "(2(2x,i5),10(1x,f6.4,2x))",
    "(2(2x,i5),10(1x,g8.3))", "(2x, a)", "(2x,a,/5x,a,3x,a,3x,a,/5x,f10.1,2x,f6.0,2x,f6.4)",
    "(2x,a,1x,i5,10(1x,f7.5,1x))", "(2x,a,g12.6)", "(2x,a,g8.3)", "(2x,a30,t34,f5.3,t42,f5.3)",
    "(2x,i2,5x,a10,2x,a)", "(2x,i3,2x,a30,100(1x,e9.3))",
    "(2x,i3,2x,a30,003(2x,f5.3,3x),004(1x,e9.3))", "(2x,i3,2x,a30,1x,f6.4,3x,f6.1,1x,a1)",
    "(2x,i4,003(1x,f5.3)\\)", "(f6.1,002(1x,f5.3)\\)", "(2x,i4,002(1x,a5))",
    "('(N)',05(3x,i2,1x)/)", "(040a1/)", "(36x,100(4x,i3,3x))", "(4X,A,21X,3000(1X,A10))",
    "(5x,a,/5x,a,f6.4,/5x,a,f6.2,/5x,a,f6.4)", "(5x,a,10(/5x,10(1x,i4)))", "(5x,a,e12.4,a)",
    "(5x,a,e8.2,a/5x,a,i4,a)", "(5x,a,f5.1,a)", "(5x,a,f6.4,a,2(/5x,a))", "(5x,a,i2,a,i2,a,i4,a)",
    "(5x,i5,2x,i5,5x,i5)", "(6x,a,t39,f6.4)", "(75a1)", "(I3,1X,A30,1X,3000(1X,F10.2))",
    "(a i3 a a)", "(a11,i3)", "(g12.6,2x, g12.6)", "(g13.7,2x,g13.7,1x,i10,1x,i10,1x,i10)",
    "(t5,i4,t16,g8.3,2x,a1,g8.3,a1,t36,f12.3,t49,f6.1,t60,a)",
    "(t5,i4,t36,f12.3,t49,f6.1t68,f6.4,t76,f6.4)"};
// clang-format on

TEST(LayoutGfortran, SameOutputAsGfortran) {
  if (std::system("command -v gfortran >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "gfortran is not installed";
  Differential diff;
  for (const char* f : {"(f5.2)", "(f3.0)", "(f4.0)", "(f4.3)",  "(f5.3)",   "(f6.4)",  "(f6.1)",
                        "(f6.2)", "(f7.5)", "(f8.4)", "(f10.2)", "(f12.3)",  "(F12.2)", "(f10.1)",
                        "(f6.0)", "(f1.0)", "(f2.1)", "(f4.1)",  "(f20.10)", "(f30.15)"})
    diff.AddPool(f, false);
  for (const char* f : {"(e9.3)", "(e12.4)", "(e8.2)", "(e10.3)", "(e7.2)", "(e6.1)", "(E15.8)",
                        "(e24.17)", "(e11.5)", "(e9.4)"})
    diff.AddPool(f, false);
  for (const char* f : {"(g8.2)", "(g8.3)", "(g12.6)", "(g13.7)", "(g10.3)", "(g9.2)", "(g6.1)",
                        "(g15.8)", "(g5.1)", "(g11.4)", "(G20.12)", "(g24.17)", "(g7.3)"})
    diff.AddPool(f, false);
  for (const char* f : {"(4(1x,f6.3),2x,2(e10.3,g10.3))", "(1x,2(f5.2,2(1x,e9.2)),'|')", "(3f7.2)"})
    diff.AddPool(f, false);
  for (const char* f : {"(i1)", "(i2)", "(i3)", "(i4)", "(i5)", "(i6)", "(I7)", "(i10)", "(i12)",
                        "(i20)", "(3(1x,i4))"})
    diff.AddPool(f, true);
  // Texts, quotes and positions.
  diff.Add("(a3,'|',a,'|',a6,'|',a1)", {"abcdef", "xy", "ab", ""});
  diff.Add("(a,t2,a,tl3,a,tr2,a)", {"abcdefgh", "XY", "Z", "W"});
  diff.Add("(a,t20,a,t3,a)", {"left", "far", "near"});
  diff.Add("('It''s',\"x\"\"y\",i2,' done')", {5});
  diff.Add("(a,3x,'y',3x)", {"a"});
  diff.Add("(a,i3,5x)", {"z", 1});
  // Records: slashes, early ends, reversion.
  diff.Add("(a,3x/)", {"a"});
  diff.Add("(2/,a)", {"q"});
  diff.Add("(i3)", {});
  diff.Add("(5x,'before',i4,'after')", {});
  diff.Add("(2(a,1x),a)", {"a", "b"});
  diff.Add("(1x,a,2(i2,i3),i4)", {"x", 1, 2, 3, 4, 5, 6, 7, 8, 9});
  diff.Add("(1x,a,(i2,i3),i4)", {"x", 1, 2, 3, 4, 5, 6, 7, 8, 9});
  diff.Add("(1x,a,2(1x,3(i2)),'|')", {"x", 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13});
  diff.Add("(2(/2x,a),'end')", {"p", "q", "r"});
  // Held records continued by the next writes.
  diff.Add("(2x,i4,002(1x,f5.3)\\)", {3, 0.1, 0.2});
  diff.Add("(1x,a5\\)", {"held"});
  diff.Add("(t3,a,2x)", {"tab"});
  diff.Add("(2x,i4,005(1x,f5.3)\\)", {3, 0.1, 0.2});
  diff.Add("(a,5x\\)", {"abc"});
  diff.Add("(a)", {"f"});
  for (const char* layout : kProgramLayouts) diff.AddLayout(layout);
  diff.AddLayout(
      "(/,/,5X,'****WARNING**** You have called routine ZBQLINI ','more than',/,5X,"
      "'once. I''m ignoring any subsequent calls.',/,/)");
  diff.AddLayout(
      "(/,5X,'****ERROR**** Illegal parameter value in ',' ZBQLGAM',/,5X,"
      "'(both parameters must be positive)',/)");
  diff.Add("(a)", {"end"});

  test::TempDir dir;
  test::WriteFile(dir / "layouts.f90", diff.FortranSource());
  std::string compile = "cd '" + dir.Path().string() +
                        "' && gfortran -O0 -ffree-line-length-none -o layouts layouts.f90 "
                        "> compile.txt 2>&1 && ./layouts > out.txt 2> err.txt";
  ASSERT_EQ(std::system(compile.c_str()), 0)
      << test::ReadFile(dir / "compile.txt") << test::ReadFile(dir / "err.txt");
  std::vector<std::string> want = test::ReadLines(dir / "out.txt");
  auto got = diff.Render();
  EXPECT_EQ(want.size(), got.size());
  // The first differing lines, with the layout that wrote them.
  for (std::size_t k = 0, shown = 0; k < std::min(want.size(), got.size()) && shown < 12; ++k)
    if (want[k] != got[k].first && ++shown)
      ADD_FAILURE() << "line " << k + 1 << ", layout " << got[k].second->layout << "\n gfortran: ["
                    << want[k] << "]\n writer:   [" << got[k].first << "]";
}

}  // namespace
}  // namespace velk
