// Parsing of layouts. Blanks outside quoted texts carry no meaning; commas
// between descriptors may be left out where the next descriptor is clear
// ("f6.1t68"); descriptors are read in either case.
#include "core/layout/compile.hpp"

#include <cctype>
#include <functional>
#include <unordered_map>

namespace velk {
namespace {

constexpr int kMaxCount = 1000000;  // repeat counts, widths and columns
constexpr int kMaxDepth = 32;       // nesting of groups

using Code = LayoutOp::Code;

class Parser {
 public:
  Parser(std::string_view layout, CompiledLayout& out) : out_(out) {
    // Drop blanks outside quoted texts.
    char quote = 0;
    for (char ch : layout) {
      if (quote) {
        if (ch == quote) quote = 0;
      } else if (ch == '\'' || ch == '"') {
        quote = ch;
      } else if (ch == ' ' || ch == '\t') {
        continue;
      }
      s_ += ch;
    }
  }

  bool Parse() {
    if (s_.empty() || s_[0] != '(') return false;
    p_ = 1;
    out_.reversion = 0;
    return List(1);  // characters after the closing parenthesis are ignored
  }

 private:
  char Peek() const { return p_ < s_.size() ? s_[p_] : '\0'; }
  char Lower() const { return static_cast<char>(std::tolower(static_cast<unsigned char>(Peek()))); }
  bool IsDigit() const { return std::isdigit(static_cast<unsigned char>(Peek())) != 0; }

  // Reads an unsigned number; false when there is none or it is too large.
  bool Number(int& v) {
    if (!IsDigit()) return false;
    long long n = 0;
    while (IsDigit()) {
      n = n * 10 + (Peek() - '0');
      if (n > kMaxCount) return false;
      ++p_;
    }
    v = static_cast<int>(n);
    return true;
  }

  int Emit(Code code, int n = 0, int d = 0) {
    out_.ops.push_back(LayoutOp{code, n, d});
    return static_cast<int>(out_.ops.size()) - 1;
  }

  // Wraps the step(s) emitted from `first` on in a group repeated `count` times.
  void Repeat(std::size_t first, int count) {
    if (count == 1) return;
    out_.ops.insert(out_.ops.begin() + static_cast<std::ptrdiff_t>(first),
                    LayoutOp{Code::Open, count, 0});
    int close = Emit(Code::Close, 0, static_cast<int>(first));
    out_.ops[first].d = close;
  }

  // Parses descriptors up to and including the ")" that closes the group.
  bool List(int depth) {
    if (depth > kMaxDepth) return false;
    for (;;) {
      while (Peek() == ',') ++p_;
      char c = Peek();
      if (c == '\0') return false;
      if (c == ')') {
        ++p_;
        return true;
      }
      int count = 1;
      bool has_count = IsDigit();
      if (has_count && !Number(count)) return false;
      std::size_t first = out_.ops.size();
      c = Lower();
      if (c == '(') {
        ++p_;
        int open = Emit(Code::Open, count);
        if (depth == 1) out_.reversion = open;
        if (!List(depth + 1)) return false;
        int close = Emit(Code::Close, 0, open);
        out_.ops[static_cast<std::size_t>(open)].d = close;
        continue;
      }
      ++p_;
      int w = 0, d = 0;
      switch (c) {
        case '\'':
        case '"': {
          std::size_t start = out_.texts.size();
          for (;;) {
            if (p_ >= s_.size()) return false;
            char ch = s_[p_++];
            if (ch == c) {
              if (Peek() != c) break;
              ++p_;  // a doubled quote stands for one
            }
            out_.texts += ch;
          }
          Emit(Code::Text, static_cast<int>(start), static_cast<int>(out_.texts.size() - start));
          break;
        }
        case 'x':
          if (!has_count) count = 1;
          Emit(Code::X, count);
          continue;  // the number is the count of blanks, not a repeat
        case '/':
          for (int k = 0; k < count; ++k) Emit(Code::Slash);
          continue;
        case '\\':
        case '$':
          Emit(Code::Hold);
          break;
        case 't': {
          Code code = Code::T;
          if (Lower() == 'l' || Lower() == 'r') {
            code = Lower() == 'l' ? Code::TL : Code::TR;
            ++p_;
          }
          if (!Number(w)) return false;
          Emit(code, w);
          break;
        }
        case 'a':
          if (IsDigit()) {
            if (!Number(w) || w == 0) return false;
          } else {
            w = -1;
          }
          Emit(Code::A, w);
          break;
        case 'i':
          if (!Number(w)) return false;
          if (Peek() == '.') return false;  // iw.m is not supported
          Emit(Code::I, w);
          break;
        case 'f':
        case 'e':
        case 'g':
          if (!Number(w) || Peek() != '.') return false;
          ++p_;
          if (!Number(d) || d > 300) return false;
          Emit(c == 'f' ? Code::F : c == 'e' ? Code::E : Code::G, w, d);
          break;
        default:
          return false;
      }
      Repeat(first, count);
    }
  }

  std::string s_;
  std::size_t p_ = 0;
  CompiledLayout& out_;
};

struct Hash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
};

}  // namespace

CompiledLayout CompileLayout(std::string_view layout) {
  CompiledLayout out;
  Parser parser(layout, out);
  out.valid = parser.Parse();
  if (!out.valid) out.ops.clear();
  return out;
}

// The cache is per thread: runs on different threads never share it, and a
// thread needs no lock. Layouts built at run time (with counts in them) are
// few per run, so the cache is simply emptied when it grows large.
const CompiledLayout& CachedLayout(std::string_view layout) {
  thread_local std::unordered_map<std::string, CompiledLayout, Hash, std::equal_to<>> cache;
  auto it = cache.find(layout);
  if (it != cache.end()) return it->second;
  if (cache.size() >= 2048) cache.clear();
  return cache.emplace(std::string(layout), CompileLayout(layout)).first->second;
}

}  // namespace velk
