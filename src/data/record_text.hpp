#pragma once
// The text of mixture-format records (the mixture file and the reference
// individuals file): blanks, comment lines and the tokens of a line.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>

#include "control/itoken.hpp"
#include "core/run.hpp"

namespace velk {

// Equal but for the case of their letters.
inline bool SameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Tolow(x) == Tolow(y); });
}

inline bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Length of `text` without trailing blanks.
inline std::size_t TrimmedLength(std::string_view text) {
  std::size_t n = text.size();
  while (n > 0 && IsBlank(text[n - 1])) --n;
  return n;
}

inline std::string TrimRight(std::string_view text) {
  return std::string(text.substr(0, TrimmedLength(text)));
}

// A comment line of the mixture file begins, after blanks, with "\" or "/".
inline bool IsRecordComment(std::string_view line) {
  std::size_t p = 0;
  while (p < line.size() && IsBlank(line[p])) ++p;
  return p < line.size() && (line[p] == '\\' || line[p] == '/');
}

struct Token {
  int type = 0;
  std::string text;
  std::size_t start = 0;  // 0-based column of its first character
};

// Takes the tokens of `line` one by one and hands them to `take` until it
// returns false or the line is used up.
template <class Take>
void ScanTokens(Run& run, std::string_view line, Take take) {
  std::size_t pos = 0;
  std::size_t n = TrimmedLength(line);
  while (pos < n) {
    std::size_t start = pos;
    while (start < n && !StartsToken(line[start])) ++start;
    if (start >= n) return;
    Token token;
    int used = 0;
    token.type = Itoken(run, line.substr(pos, n - pos), used, token.text);
    token.start = start;
    if (std::abs(token.type) == kTokNone) return;
    if (!take(token)) return;
    // Every scan moves on by at least one character past the token's start.
    pos = std::max(pos + static_cast<std::size_t>(std::max(used, 0)), start + 1);
  }
}

}  // namespace velk
