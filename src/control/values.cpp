// Typed value readers built on the tokenizer: Greal, Igint, Glogic, Gstrng,
// Gafter and Gorder. Every reader returns a defined value after reporting.
#include "control/values.hpp"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "control/itoken.hpp"
#include "core/error.hpp"
#include "core/fields.hpp"

namespace velk {

namespace {

constexpr int kField = 132;       // token field of the value readers
constexpr int kLongNumber = 100;  // number texts this long are refused
constexpr std::size_t kArg = 70;  // message text arguments

std::string_view TrimRight(std::string_view s) {
  std::size_t e = s.find_last_not_of(' ');
  return e == std::string_view::npos ? std::string_view() : s.substr(0, e + 1);
}

std::string Arg(std::string_view s) {
  return std::string(Cut(TrimRight(s), kArg));
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The first number of `text` (scanned over its trimmed length). `begin` is the
// number of characters before the call that returned it, `end` the column of
// its last character; `last` is the last token taken, the number included.
bool FirstNumber(Run& run, std::string_view text, std::string& number, std::string& last,
                 int& begin, int& end) {
  const std::string_view t = TrimRight(text);
  const int len = static_cast<int>(t.size());
  int pos = 0;
  std::string token;
  last.clear();
  while (pos < len) {
    int used = 0;
    const int type = Itoken(run, t.substr(static_cast<std::size_t>(pos)), used, token, kField);
    if (used <= 0) break;
    begin = pos;
    pos += used;
    last = token;
    if (type == kTokNumber) {
      number = token;
      end = pos;
      return true;
    }
    if (type < 0) break;
  }
  end = pos;
  return false;
}

// Digits of a normalised number text; false when there are none.
std::size_t Digits(std::string_view s, std::size_t k) {
  while (k < s.size() && IsDigit(s[k])) ++k;
  return k;
}

// Converts a normalised number: sign, mantissa digits with an optional point,
// and an exponent introduced by "e" or "E" or, without a letter, by the sign
// after the integer digits (1-10 is 1e-10). Too large: false; too small: 0.
bool ToReal(std::string_view s, double& value) {
  std::size_t k = 0;
  bool negative = false;
  if (k < s.size() && (s[k] == '+' || s[k] == '-')) negative = s[k++] == '-';
  const std::size_t i0 = k;
  k = Digits(s, k);
  std::string_view whole = s.substr(i0, k - i0), fraction;
  bool point = false;
  if (k < s.size() && s[k] == '.') {
    point = true;
    const std::size_t f0 = ++k;
    k = Digits(s, k);
    fraction = s.substr(f0, k - f0);
  }
  if (whole.empty() && fraction.empty()) return false;
  std::string_view exponent;
  bool exp_negative = false;
  if (k < s.size()) {
    if (s[k] == 'e' || s[k] == 'E') {
      ++k;
    } else if (point || whole.empty() || (s[k] != '+' && s[k] != '-')) {
      return false;
    }
    if (k < s.size() && (s[k] == '+' || s[k] == '-')) exp_negative = s[k++] == '-';
    const std::size_t e0 = k;
    k = Digits(s, k);
    exponent = s.substr(e0, k - e0);
    if (exponent.empty() || k != s.size()) return false;
  }
  std::string canonical;
  if (negative) canonical += '-';
  canonical += whole.empty() ? std::string_view("0") : whole;
  canonical += '.';
  canonical += fraction.empty() ? std::string_view("0") : fraction;
  if (!exponent.empty()) {
    canonical += exp_negative ? "e-" : "e+";
    canonical += exponent;
  }
  double v = 0.0;
  const auto [ptr, ec] = std::from_chars(canonical.data(), canonical.data() + canonical.size(), v);
  if (ec == std::errc::result_out_of_range) {
    // A number text holds at most 99 characters, so only the exponent can
    // take it out of range: a negative one towards zero, a positive one beyond.
    if (!exp_negative) return false;
    value = negative ? -0.0 : 0.0;
    return true;
  }
  if (ec != std::errc() || ptr != canonical.data() + canonical.size()) return false;
  value = v;
  return true;
}

// A signed decimal integer that fits 32 bits; leading zeros are allowed.
bool ToInt(std::string_view s, int& value) {
  std::size_t k = 0;
  bool negative = false;
  if (k < s.size() && (s[k] == '+' || s[k] == '-')) negative = s[k++] == '-';
  if (k >= s.size()) return false;
  std::int64_t v = 0;
  for (; k < s.size(); ++k) {
    if (!IsDigit(s[k])) return false;
    v = v * 10 + (s[k] - '0');
    if (v > std::int64_t{2147483648}) return false;
  }
  if (negative) v = -v;
  if (v > std::int64_t{2147483647}) return false;
  value = static_cast<int>(v);
  return true;
}

void NumericError(Run& run, const std::string& last) {
  Error(run, 2001, {.a1 = "numeric", .a2 = Arg(last)});
}

bool IsTrue(std::string_view w) {
  return w == "t" || w == "true" || w == "yes" || w == "y" || w == ".true." || w == "on";
}
bool IsFalse(std::string_view w) {
  return w == "f" || w == "false" || w == "no" || w == "n" || w == ".false." || w == "off";
}

void LogicalError(Run& run, std::string_view text) {
  Error(run, 2001, {.a1 = "logical", .a2 = Arg(text)});
}

// The heading key: blanks squeezed out of the first 10 characters, then the
// first 4 characters, blank-padded.
std::string HeadingKey(std::string_view heading) {
  std::string key;
  for (char c : heading.substr(0, 10))
    if (c != ' ') key += c;
  key.resize(4, ' ');
  return key.substr(0, 4);
}

std::string Key4(std::string_view key) {
  std::string k(key.substr(0, 4));
  k.resize(4, ' ');
  return k;
}

}  // namespace

double Greal(Run& run, std::string_view text, int& pos) {
  std::string number, last;
  int begin = 0;
  double value = 0.0;
  if (!FirstNumber(run, text, number, last, begin, pos) ||
      static_cast<int>(number.size()) >= kLongNumber || !ToReal(number, value)) {
    NumericError(run, last);
    return 0.0;
  }
  return value;
}

// When the number has a point, `pos` is the column before the point in the
// text (at least 1), so that a caller scanning on meets the fraction next.
// Integers outside the 32-bit range are error 2001 like any bad number.
int Igint(Run& run, std::string_view text, int& pos) {
  std::string number, last;
  int begin = 0;
  if (!FirstNumber(run, text, number, last, begin, pos) ||
      static_cast<int>(number.size()) >= kLongNumber) {
    NumericError(run, last);
    return 0;
  }
  const std::size_t point = number.find('.');
  int value = 0;
  if (!ToInt(std::string_view(number).substr(0, point), value)) {
    NumericError(run, last);
    return 0;
  }
  if (point != std::string::npos) {
    // Only separators come before the number in the span of its token, and
    // the number's point is the first point of the span.
    const std::size_t p =
        text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(pos - begin))
            .find('.');
    if (p != std::string_view::npos) pos = std::max(1, begin + static_cast<int>(p));
  }
  return value;
}

// The dotted forms come out of the tokenizer as ".true" or ".false" with the
// closing point left over; they count when that point follows directly.
int Glogic(Run& run, std::string_view text) {
  const std::string_view t = TrimRight(text);
  const int len = static_cast<int>(t.size());
  int pos = 0;
  bool after_colon = false;
  std::string token;
  while (pos < len) {
    int used = 0;
    const int type = Itoken(run, t.substr(static_cast<std::size_t>(pos)), used, token, kField);
    if (used <= 0) break;
    pos += used;
    if (type == -kTokNone && token.empty()) break;
    if ((token == ".true" || token == ".false") && pos < len &&
        t[static_cast<std::size_t>(pos)] == '.') {
      token += '.';
      ++pos;
    }
    if (IsTrue(token)) return 1;
    if (IsFalse(token)) return 0;
    if (after_colon) break;
    after_colon = std::abs(type) == kTokColon;
    if (type < 0) break;
  }
  LogicalError(run, t);
  return 1;
}

// The delimiter is looked for from the first non-blank character, so that a
// blank delimiter ends the text at its first inner blank. Trailing blanks of
// the result are dropped (texts are blank-padded fields).
std::string Gstrng(std::string_view text, char delimiter, int& pos, std::size_t most) {
  const std::size_t b = text.find_first_not_of(' ');
  if (b == std::string_view::npos) {
    pos = static_cast<int>(text.size()) + 1;
    return {};
  }
  const std::size_t d = text.find(delimiter, b);
  const std::size_t e = d == std::string_view::npos ? text.size() : d;
  pos = static_cast<int>(e) + 1;
  return std::string(TrimRight(text.substr(b, e - b).substr(0, most)));
}

std::string Gafter(std::string_view text, char marker, char delimiter, int& pos,
                   std::size_t most) {
  const std::size_t m = text.find(marker);
  if (m == std::string_view::npos) {
    pos = static_cast<int>(text.size()) + 1;
    return {};
  }
  std::string r = Gstrng(text.substr(m + 1), delimiter, pos, most);
  pos += static_cast<int>(m) + 1;
  return r;
}

// Key j (0-based) names the column ids(j + 1) of the default order. On a fatal
// message the order is left as it was and nothing is counted as found.
void Gorder(Run& run, std::string_view line, Vec<int>& ids, std::span<const std::string_view> keys,
            int& nfound) {
  nfound = 0;
  const int n = ids.Size();
  const int nkeys = std::min(n, static_cast<int>(keys.size()));
  const std::string_view t = TrimRight(line);
  const int len = static_cast<int>(t.size());
  std::vector<int> order;
  std::vector<bool> taken(static_cast<std::size_t>(std::max(n, 0)), false);
  std::string token;
  int pos = 0;
  while (pos < len && static_cast<int>(order.size()) < n) {
    int used = 0;
    const int type = Itoken(run, t.substr(static_cast<std::size_t>(pos)), used, token, kField);
    if (used <= 0) break;
    pos += used;
    if (std::abs(type) == kTokBracket) {
      const std::string key = HeadingKey(token);
      int j = 0;
      while (j < nkeys && Key4(keys[static_cast<std::size_t>(j)]) != key) ++j;
      if (j == nkeys) {
        Error(run, 3019, {.a1 = Arg(token)});
        return;
      }
      if (taken[static_cast<std::size_t>(j)]) {
        Error(run, 3018, {.a1 = Arg(key)});
        return;
      }
      taken[static_cast<std::size_t>(j)] = true;
      order.push_back(ids(j + 1));
    }
    if (type < 0) break;
  }
  if (order.empty()) {
    Error(run, 3020);
    return;
  }
  nfound = static_cast<int>(order.size());
  for (int j = 0; j < n; ++j)
    if (!taken[static_cast<std::size_t>(j)]) order.push_back(ids(j + 1));
  for (int k = 1; k <= n; ++k) ids(k) = order[static_cast<std::size_t>(k - 1)];
}

std::string CommaNumber(std::string_view text) {
  auto digit = [&](std::size_t k) { return k < text.size() && text[k] >= '0' && text[k] <= '9'; };
  auto part = [&](std::size_t k) { return digit(k) || (k < text.size() && text[k] == '.'); };
  for (std::size_t c = 1; c + 1 < text.size(); ++c) {
    if (text[c] != ',' || !digit(c - 1) || !digit(c + 1)) continue;
    std::size_t b = c - 1, e = c + 1;
    while (b > 0 && part(b - 1)) --b;
    while (part(e + 1)) ++e;
    return std::string(text.substr(b, e - b + 1));
  }
  return {};
}

void DecimalComma(Run& run, std::string_view file, int line, std::string_view number) {
  Error(run, 2006, {.a1 = std::string(file), .a2 = std::string(number), .n1 = line});
}

}  // namespace velk
