// Fortran editing of one value into one field. Decimal conversion is always
// the exactly rounded one (std::to_chars with a precision rounds the exact
// binary value, ties to even), which is what gfortran writes by default.
#include "core/layout/edit.hpp"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace velk {
namespace {

void Stars(int w, std::string& out) {
  out.append(static_cast<std::size_t>(w > 0 ? w : 1), '*');
}

// Infinity and NaN the way gfortran writes them.
void EditInfNan(double x, int w, std::string& out) {
  const bool neg = std::signbit(x);
  std::string_view text;
  if (std::isnan(x)) {
    text = "NaN";
  } else if (neg) {
    text = w > 8 || w == 0 ? "-Infinity" : "-Inf";
  } else {
    text = w > 7 || w == 0 ? "Infinity" : "Inf";
  }
  if (w == 0) w = static_cast<int>(text.size()) > 4 ? 4 : static_cast<int>(text.size());
  if (static_cast<int>(text.size()) > w) return Stars(w, out);
  out.append(static_cast<std::size_t>(w) - text.size(), ' ');
  out += text;
}

constexpr std::uint64_t kPowersOfTen[10] = {1,      10,      100,      1000,      10000,
                                            100000, 1000000, 10000000, 100000000, 1000000000};

// The fixed form of m (0 <= m < 2^31) with d <= 9 decimals, exactly rounded
// (ties to even) in integer arithmetic: m = mant 2^e, and mant 10^d (below
// 2^83) shifted right by -e, the remainder deciding the rounding. Writes the
// digits with at least one before the point, as to_chars does. Returns the
// length, or 0 when m or d is out of range.
std::size_t ShortFixed(double m, int d, char* out) {
  if (d < 0 || d > 9 || !(m >= 0.0) || !(m < 2147483648.0)) return 0;
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(m);
  const int biased = static_cast<int>(bits >> 52);
  std::uint64_t mant = bits & ((std::uint64_t{1} << 52) - 1);
  int shift = 1074;  // -e
  if (biased != 0) {
    mant |= std::uint64_t{1} << 52;
    shift = 1075 - biased;
  }
  std::uint64_t q = 0;
  if (shift < 120) {  // beyond, m 10^d is below one half
    const unsigned __int128 v = static_cast<unsigned __int128>(mant) * kPowersOfTen[d];
    q = static_cast<std::uint64_t>(v >> shift);
    const unsigned __int128 rest = v - (static_cast<unsigned __int128>(q) << shift);
    const unsigned __int128 half = static_cast<unsigned __int128>(1) << (shift - 1);
    if (rest > half || (rest == half && (q & 1) != 0)) ++q;
  }
  char digits[24];
  const auto res = std::to_chars(digits, digits + sizeof digits, q);
  const std::size_t len = static_cast<std::size_t>(res.ptr - digits);
  const std::size_t nd = static_cast<std::size_t>(d);
  std::size_t n = 0;
  if (len <= nd) {
    out[n++] = '0';
    if (nd) out[n++] = '.';
    for (std::size_t k = len; k < nd; ++k) out[n++] = '0';
    std::memcpy(out + n, digits, len);
    n += len;
  } else {
    std::memcpy(out, digits, len - nd);
    n = len - nd;
    if (nd) {
      out[n++] = '.';
      std::memcpy(out + n, digits + len - nd, nd);
      n += nd;
    }
  }
  return n;
}

// Fixed form of |x| with d decimals: the integer digits (no "0" when the
// integer part is zero) and the decimals.
bool FixedDigits(double m, int d, std::string_view& int_part, std::string_view& frac,
                 std::array<char, 512>& buf) {
  std::size_t n = ShortFixed(m, d, buf.data());
  if (n == 0) {
    auto res = std::to_chars(buf.data(), buf.data() + buf.size(), m, std::chars_format::fixed, d);
    if (res.ec != std::errc()) return false;
    n = static_cast<std::size_t>(res.ptr - buf.data());
  }
  std::string_view s(buf.data(), n);
  std::size_t dot = s.find('.');
  int_part = s.substr(0, dot);
  frac = dot == std::string_view::npos ? std::string_view() : s.substr(dot + 1);
  if (int_part == "0") int_part = {};
  return true;
}

// 10^d as gfortran computes it: repeated products, and the reciprocal for d < 0.
double PowerOfTen(int d) {
  double r = 1.0;
  for (int i = 0; i < std::abs(d); ++i) r *= 10;
  return d >= 0 ? r : 1.0 / r;
}

}  // namespace

void EditI(long long v, int w, std::string& out) {
  std::array<char, 24> buf;
  auto res = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  std::size_t len = static_cast<std::size_t>(res.ptr - buf.data());
  if (w == 0) {
    out.append(buf.data(), len);
    return;
  }
  if (len > static_cast<std::size_t>(w)) return Stars(w, out);
  out.append(static_cast<std::size_t>(w) - len, ' ');
  out.append(buf.data(), len);
}

void EditF(double x, int w, int d, std::string& out) {
  if (!std::isfinite(x)) return EditInfNan(x, w, out);
  const bool neg = std::signbit(x);
  std::array<char, 512> buf;
  std::string_view int_part, frac;
  if (d < 0 || !FixedDigits(std::fabs(x), d, int_part, frac, buf)) return Stars(w, out);
  int len = (neg ? 1 : 0) + static_cast<int>(int_part.size()) + 1 + d;
  // The zero before the point is written only when the field has room for it,
  // except that "0." cannot lose it.
  const bool lead = int_part.empty() && (d == 0 || w == 0 || len < w);
  if (lead) ++len;
  if (w > 0 && len > w) return Stars(w, out);
  if (w > len) out.append(static_cast<std::size_t>(w - len), ' ');
  if (neg) out += '-';
  if (lead) out += '0';
  out += int_part;
  out += '.';
  out += frac;
}

void EditE(double x, int w, int d, std::string& out) {
  if (!std::isfinite(x)) return EditInfNan(x, w, out);
  if (d <= 0) return Stars(w, out);
  const bool neg = std::signbit(x);
  const double m = std::fabs(x);
  std::array<char, 512> buf;
  auto res =
      std::to_chars(buf.data(), buf.data() + buf.size(), m, std::chars_format::scientific, d - 1);
  if (res.ec != std::errc()) return Stars(w, out);
  std::string_view s(buf.data(), static_cast<std::size_t>(res.ptr - buf.data()));
  std::size_t e_at = s.find('e');
  int exp10 = 0;
  std::from_chars(s.data() + e_at + (s[e_at + 1] == '+' ? 2 : 1), s.data() + s.size(), exp10);
  // 0.d1d2...: one more than the exponent of d1.d2...; zero has exponent 0.
  const int exponent = m == 0.0 ? 0 : exp10 + 1;
  const int ae = std::abs(exponent);
  if (ae > 999) return Stars(w, out);
  int len = (neg ? 1 : 0) + 1 + d + 4;
  const bool lead = w == 0 || len < w;
  if (lead) ++len;
  if (w > 0 && len > w) return Stars(w, out);
  if (w > len) out.append(static_cast<std::size_t>(w - len), ' ');
  if (neg) out += '-';
  if (lead) out += '0';
  out += '.';
  for (std::size_t k = 0; k < e_at; ++k)
    if (s[k] != '.') out += s[k];
  // E+dd while the exponent has two digits, +ddd without the E beyond.
  if (ae <= 99) out += 'E';
  out += exponent < 0 ? '-' : '+';
  if (ae > 99) out += static_cast<char>('0' + ae / 100);
  out += static_cast<char>('0' + ae / 10 % 10);
  out += static_cast<char>('0' + ae % 10);
}

// Gw.d follows gfortran's own test exactly, in double arithmetic: the
// exponent form when |x| < 0.1 (1 - 0.5 10^-d) or 10^d - |x| <= 0.5, else the
// fixed form in w - 4 columns with as many decimals as leave d significant
// digits, followed by four blanks; zero is written as fixed with d - 1 decimals.
void EditG(double x, int w, int d, std::string& out) {
  if (!std::isfinite(x)) return EditInfNan(x, w, out);
  const double m = std::fabs(x);
  const double r = 0.5;
  const double exp_d = PowerOfTen(d);
  const double r_sc = 1 - r / exp_d;
  volatile double temp = 0.1 * r_sc;
  if ((m > 0.0 && (m < temp || r >= exp_d - m)) || d <= 0) return EditE(x, w, d, out);

  // Find the decade of m (as rounded to d digits) by bisection, as gfortran does.
  int low = 0, high = d + 1, mid = 0, lbound = 0, ubound = d + 1;
  while (low <= high) {
    mid = (low + high) / 2;
    temp = PowerOfTen(mid - 1) * r_sc;
    if (m < temp) {
      ubound = mid;
      if (ubound == lbound + 1) break;
      high = mid - 1;
    } else if (m > temp) {
      lbound = mid;
      if (ubound == lbound + 1) {
        ++mid;
        break;
      }
      low = mid + 1;
    } else {
      ++mid;
      break;
    }
  }
  int npad = 4;
  if (npad >= w) npad = w - 1;
  if (w == 0) npad = 0;
  const int fd = m == 0.0 ? d - 1 : d + 1 - mid;
  std::size_t start = out.size();
  EditF(x, w - npad, fd, out);
  if (w > 0 && out[start] == '*') {
    out.resize(start);
    return Stars(w, out);
  }
  out.append(static_cast<std::size_t>(npad), ' ');
}

void EditA(std::string_view text, int w, std::string& out) {
  if (w < 0) {
    out += text;
  } else if (text.size() >= static_cast<std::size_t>(w)) {
    out += text.substr(0, static_cast<std::size_t>(w));
  } else {
    out.append(static_cast<std::size_t>(w) - text.size(), ' ');
    out += text;
  }
}

std::string NumberText(long long v) {
  return std::to_string(v);
}

std::string NumberText(double x) {
  std::array<char, 32> buf;
  auto res = std::to_chars(buf.data(), buf.data() + buf.size(), x);
  return std::string(buf.data(), res.ptr);
}

}  // namespace velk
