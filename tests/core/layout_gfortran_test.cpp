// The layout writer against gfortran: a generated Fortran program writes the
// same layouts and values as the writer, and the outputs must agree byte for
// byte. Skipped when gfortran is not installed.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/layout/compile.hpp"
#include "core/layout/layout.hpp"
#include "support/files.hpp"

namespace velk {
namespace {

using Code = LayoutOp::Code;

// A real as an exact Fortran expression: its bit pattern transferred.
std::string RealBits(double x) {
  std::int64_t bits;
  std::memcpy(&bits, &x, sizeof bits);
  return bits == INT64_MIN ? "(-9223372036854775807_8-1_8)" : std::to_string(bits) + "_8";
}

// A quoted Fortran text; in a layout gfortran spells "\" as "$".
std::string Quoted(const std::string& text, bool layout) {
  std::string s = "'";
  for (char ch : text) s += ch == '\'' ? "''" : layout && ch == '\\' ? "$" : std::string(1, ch);
  return s + "'";
}

std::string FortranItem(const Item& item) {
  if (item.kind == Item::Kind::Int) return std::to_string(item.i) + "_8";
  if (item.kind == Item::Kind::Real) return "transfer(" + RealBits(item.r) + ",1d0)";
  return Quoted(item.t, false);
}

// The data descriptors that `count` items meet, reversion included; with
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

// Descriptors that get every real (or, for i, every integer) of the pools.
const char kPoolLayouts[] =
    "(f5.2) (f3.0) (f4.0) (f4.3) (f5.3) (f6.4) (f6.1) (f6.2) (f7.5) (f8.4) (f10.2) (f12.3) (F12.2) "
    "(f6.0) (f1.0) (f2.1) (f4.1) (f20.10) (f30.15) (e9.3) (e12.4) (e8.2) (e10.3) (e7.2) (e6.1) "
    "(E15.8) (e24.17) (e11.5) (g8.2) (g8.3) (g12.6) (g13.7) (g10.3) (g9.2) (g6.1) (g15.8) (g5.1) "
    "(g11.4) (G20.12) (g24.17) (g7.3) (3f7.2) (4(1x,f6.3),2x,2(e10.3,g10.3)) "
    "(1x,2(f5.2,2(1x,e9.2)),'|') (i1) (i2) (i4) (i6) (I7) (i12) (i20) (3(1x,i4))";

// Layouts written with items drawn from the pools: one pass, one item short,
// and enough to revert (the program's own and some of their shapes).
// clang-format off
const char* const kDrawnLayouts[] = {
    "()", "(//2x,75a/)", "(/2A/3A/A/)", "(/2x,a,/3(/2x,a,i6))", "(/7x,a,t39,a,t49,a,t60,a,t67,a)",
    "(/t20,a,t41,a,/3x,a,t18,a,t38,a,t51,a,t58,a,t68,a,t76,a)", "(100(f6.4,1x))",
    "(11x,i2,2x,2(3x,2(f6.3,4x)))", "(1x,a,/1x,1025a1)",
    "(1x,i3,2x,a30,2(2x,f6.4,2x),1x,g8.2,1x,                            f6.1,1x,a1)", "(2x, a)",
    "(2x,i4,003(1x,f5.3)\\)", "('(N)',05(3x,i2,1x)/)", "(040a1/)", "(4X,A,21X,3000(1X,A10))",
    "(5x,a,e8.2,a/5x,a,i4,a)", "(5x,a,10(/5x,10(1x,i4)))", "(a i3 a a)",
    "(g13.7,2x,g13.7,1x,i10,1x,i10,1x,i10)", "(t5,i4,t36,f12.3,t49,f6.1t68,f6.4,t76,f6.4)",
    "(/,/,5X,'****WARNING**** You have called routine ','more than',/,5X,"
    "'once. I''m ignoring any subsequent calls.',/,/)"};
// clang-format on

TEST(LayoutGfortran, SameOutputAsGfortran) {
  if (std::system("command -v gfortran >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "gfortran is not installed";
  std::mt19937_64 rng(20240611);
  auto below = [&rng](std::size_t n) { return static_cast<int>(rng() % n); };
  // Binary halves to 64ths (ties for f), decade boundaries of g and their
  // neighbours, the ends of the range, decimal ties, random values.
  std::vector<double> reals;
  for (int k = -48; k <= 48; ++k) reals.insert(reals.end(), {k / 8.0, k / 64.0 + 0.5});
  for (int d = 1; d <= 8; ++d)
    for (int e = -4; e <= d + 1; ++e)
      for (double v : {std::stod(std::string(d, '9') + "5e" + std::to_string(e - d - 1)),
                       std::stod("1e" + std::to_string(e))})
        reals.insert(reals.end(), {v, std::nextafter(v, 0.0), std::nextafter(v, 1e300), -v});
  // clang-format off
  const double edges[] = {0.0, 1e-300, 5e-324, DBL_MIN, DBL_MAX, 1e100, 9.9999e99, 9.99999999e99,
      9.9999999999999999e99, 1e-100, 0.99999e-99, 0.99995e-99, 1e-99, 1e99, 1e-101,
      123456789012.0, 1e16, 1e22, 9007199254740993.0, 0.1, 0.3, 2.675, 1.005, 0.045,
      1.45, 2.5e-5, 999999.5, 99999.95};
  // clang-format on
  for (double v : edges) reals.insert(reals.end(), {v, -v});
  for (int k = 0; k < 500; ++k)
    reals.push_back((k % 2 ? -1 : 1) * (1 + 9 * (rng() >> 11) * 0x1.0p-53) *
                    std::pow(10.0, below(31) - 15));
  for (int k = 0; k < 300; ++k)
    reals.push_back((below(200001) - 100000) / std::pow(10.0, 1 + below(5)));
  std::vector<long long> ints = {0, 7, -7, 9223372036854775807LL, -9223372036854775807LL};
  for (long long p = 1, w = 1; w <= 13; ++w, p *= 10)
    for (long long v : {p - 1, p, 10 * p - 1, 10 * p}) ints.insert(ints.end(), {v, -v});
  for (int k = 0; k < 200; ++k)
    ints.push_back((below(2000000) - 1000000) * (k % 4 ? 1LL : 1000003LL));

  struct Write {
    std::string layout;
    std::vector<Item> items;
    std::string list = "";  // the Fortran output list; empty: the items as literals
  };
  // Texts, quotes, positions, early ends, reversion, text after the layout,
  // and held records continued by the next writes (positions counted from
  // where the write began).
  // clang-format off
  std::vector<Write> writes = {
      {"(a3,'|',a,'|',a6,'|',a1)", {"abcdef", "xy", "ab", ""}},
      {"(a,t2,a,tl3,a,tr2,a)", {"abcdefgh", "XY", "Z", "W"}},
      {"(a,t20,a,t3,a)", {"left", "far", "near"}}, {"('It''s',\"x\"\"y\",i2,' done')", {5}},
      {"(a,3x,'y',3x)", {"a"}}, {"(a,i3,5x)", {"z", 1}}, {"(a,3x/)", {"a"}}, {"(2/,a)", {"q"}},
      {"(i3)", {}}, {"(5x,'before',i4,'after')", {}}, {"(2(a,1x),a)", {"a", "b"}},
      {"(1x,a,2(i2,i3),i4)", {"x", 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"(1x,a,(i2,i3),i4)", {"x", 1, 2, 3, 4, 5, 6, 7, 8, 9}},
      {"(1x,a,2(1x,3(i2)),'|')", {"x", 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}},
      {"(2(/2x,a),'end')", {"p", "q", "r"}}, {"(2x,i4,002(1x,f5.3)\\)", {3, 0.1, 0.2}},
      {"(1x,a5\\)", {"held"}}, {"(t3,a,2x)", {"tab"}}, {"(2x,i4,005(1x,f5.3)\\)", {3, 0.1, 0.2}},
      {"(a,5x\\)", {"abc"}}, {"(t2,a)", {"X"}}, {"(a,\\,/,a)", {"a", "b"}}, {"(a,/,a,\\)", {"f", "g", "h"}},
      {"(2(a,\\),a)", {"i", "j", "k", "l"}}, {"(1x,f5.3)\\)", {0.5}}, {"(a)", {"f"}}};
  // clang-format on
  std::istringstream pool_layouts(kPoolLayouts);
  for (std::string layout; pool_layouts >> layout;) {
    const bool i = layout.find_first_of("iI") != std::string::npos;
    std::vector<Item> items;
    for (std::size_t k = 0; k < (i ? ints.size() : reals.size()); ++k)
      items.push_back(i ? Item(ints[k]) : Item(reals[k]));
    const std::string n = std::to_string(items.size());
    writes.push_back({layout, std::move(items), (i ? "(n(k),k=1," : "(r(k),k=1,") + n + ")"});
  }
  const char* const kTexts[] = {
      "Population", "x", "", "-----", "A much longer name of a stock, 36 ch", "it's"};
  for (const char* layout : kDrawnLayouts) {
    const std::size_t pass = DataKinds(layout, 80, true).size();
    for (std::size_t count : {pass, pass - (pass > 0), pass + pass / 2 + 1}) {
      std::vector<Item> items;
      for (Code k : DataKinds(layout, count, false))
        items.push_back(k == Code::A ? Item(kTexts[below(6)])
                        : k == Code::I
                            ? Item(ints[static_cast<std::size_t>(below(ints.size()))])
                            : Item(reals[static_cast<std::size_t>(below(reals.size()))]));
      writes.push_back({layout, std::move(items), {}});
    }
  }
  writes.push_back({"(a)", {"end"}, {}});

  std::string src = "program layouts\n  implicit none\n  integer :: k\n  integer(8) :: rb(" +
                    std::to_string(reals.size()) + "), n(" + std::to_string(ints.size()) +
                    ")\n  real(8) :: r(" + std::to_string(reals.size()) + ")\n";
  for (std::size_t a = 0; a < reals.size() || a < ints.size(); a += 40) {
    for (bool real : {true, false}) {
      const std::size_t size = real ? reals.size() : ints.size(), b = std::min(size, a + 40);
      if (a >= size) continue;
      src += std::string(real ? "  rb(" : "  n(") + std::to_string(a + 1) + ":" +
             std::to_string(b) + ") = [";
      for (std::size_t k = a; k < b; ++k)
        (src += k > a ? "," : "") += real ? RealBits(reals[k]) : FortranItem(Item(ints[k]));
      src += "]\n";
    }
  }
  src += "  r = transfer(rb, r)\n";
  for (const Write& w : writes) {
    src += "  write(6," + Quoted(w.layout, true) + ")" + (w.list.empty() ? "" : " " + w.list);
    for (std::size_t k = 0; w.list.empty() && k < w.items.size(); ++k)
      (src += k ? "," : " ") += FortranItem(w.items[k]);
    src += "\n";
  }
  test::TempDir dir;
  test::WriteFile(dir / "layouts.f90", src + "end program layouts\n");
  std::string compile = "cd '" + dir.Path().string() +
                        "' && gfortran -O0 -ffree-line-length-none -o layouts layouts.f90 "
                        "> compile.txt 2>&1 && ./layouts > out.txt 2> err.txt";
  ASSERT_EQ(std::system(compile.c_str()), 0)
      << test::ReadFile(dir / "compile.txt") << test::ReadFile(dir / "err.txt");
  const std::vector<std::string> want = test::ReadLines(dir / "out.txt");
  // The writer's lines, each with its layout; the first differing lines are shown.
  std::vector<std::pair<std::string, std::string>> got;
  Records records;
  for (const Write& w : writes) {
    Render(w.layout, w.items, records);
    for (const std::string& rec : records.done) got.emplace_back(rec, w.layout);
    records.done.clear();
  }
  EXPECT_EQ(want.size(), got.size());
  for (std::size_t k = 0, shown = 0; k < std::min(want.size(), got.size()) && shown < 12; ++k)
    if (want[k] != got[k].first && ++shown)
      ADD_FAILURE() << "line " << k + 1 << ", layout " << got[k].second << "\n gfortran: ["
                    << want[k] << "]\n writer:   [" << got[k].first << "]";
}

}  // namespace
}  // namespace velk
