#include "numeric/distributions.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string_view>

namespace velk {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kHuge = std::numeric_limits<double>::max();

// sqrt(1/2) as a double, and what that double lacks of the true value.
constexpr double kSqrtHalf = 0.70710678118654752440;
constexpr double kSqrtHalfLow = -4.8336466567264565186e-17;
constexpr double kTwoOverSqrtPi = 1.12837916709551257390;
constexpr double kSqrtTwoPi = 2.50662827463100050242;
constexpr double kLnSqrtTwoPi = 0.91893853320467274178;

// The gamma function's limits in double precision: below kGammaXmin it
// underflows, above kGammaXmax it overflows, and within kGammaXsml of zero 1/x
// overflows.
constexpr double kGammaXmin = -170.5674972726612;
constexpr double kGammaXmax = 171.61447887182298;
constexpr double kGammaXsml = 2.2474362225598545e-308;

std::string Number(double v) {
  std::array<char, 64> buf{};
  auto res = std::to_chars(buf.data(), buf.data() + buf.size(), v);
  return std::string(buf.data(), res.ptr);
}

void Substitute(std::string& text, std::string_view key, const std::string& value) {
  const auto pos = text.find(key);
  if (pos != std::string::npos) text.replace(pos, key.size(), value);
}

void Report(NumericReport* report, NumericErrorType type, int code, const char* routine,
            std::string text) {
  if (report == nullptr) return;
  report->messages.push_back(NumericMessage{type, code, routine, std::move(text)});
}

void Report(NumericReport* report, NumericErrorType type, int code, const char* routine,
            const char* text, double d1, double d2 = 0.0) {
  if (report == nullptr) return;
  std::string t(text);
  Substitute(t, "%(D1)", Number(d1));
  Substitute(t, "%(D2)", Number(d2));
  Report(report, type, code, routine, std::move(t));
}

// ln(1 + t) - t, accurate for small t as well.
double Log1pmx(double t) {
  if (std::fabs(t) < 0.5) {
    // With r = t / (2 + t): ln(1 + t) = 2 atanh(r) and t - 2r = r t.
    const double r = t / (2.0 + t);
    const double r2 = r * r;
    double term = r * r2;
    double sum = 0.0;
    for (int k = 3; k < 80; k += 2) {
      const double add = term / k;
      sum += add;
      if (std::fabs(add) <= 1e-18 * std::fabs(sum)) break;
      term *= r2;
    }
    return -r * t + 2.0 * sum;
  }
  return std::log1p(t) - t;
}

// lgamma(a) - ((a - 1/2) ln a - a + ln sqrt(2 pi)), the error of Stirling's formula.
double StirlingError(double a) {
  if (a >= 10.0) {
    const double r = 1.0 / a;
    const double r2 = r * r;
    return r * (1.0 / 12 -
                r2 * (1.0 / 360 -
                      r2 * (1.0 / 1260 -
                            r2 * (1.0 / 1680 -
                                  r2 * (1.0 / 1188 -
                                        r2 * (691.0 / 360360 -
                                              r2 * (1.0 / 156 - r2 * (3617.0 / 122400))))))));
  }
  return std::lgamma(a) - ((a - 0.5) * std::log(a) - a + kLnSqrtTwoPi);
}

// x^a e^(-x) / Gamma(a) for a > 0, x > 0, written around x = a so that large a
// keeps its accuracy.
double GammaPrefix(double a, double x) {
  const double t = (x - a) / a;
  const double lm = t < -0.5 ? (std::log(x) - std::log(a)) - t : Log1pmx(t);
  return std::sqrt(a / (2.0 * 3.14159265358979323846)) * std::exp(a * lm - StirlingError(a));
}

constexpr int kMaxTerms = 20000000;

// Regularized lower incomplete gamma function P(a, x) for a > 0, 0 < x < inf.
double GammaP(double a, double x) {
  const double prefix = GammaPrefix(a, x);
  if (prefix == 0.0) return x < a ? 0.0 : 1.0;
  constexpr double eps = std::numeric_limits<double>::epsilon() / 4;
  if (x < a + 1.0) {
    // P = prefix / a * sum over n of x^n / ((a + 1) ... (a + n)).
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n < kMaxTerms; ++n) {
      term *= x / (a + n);
      sum += term;
      if (term <= eps * sum) break;
    }
    return std::min(1.0, prefix / a * sum);
  }
  // Q = prefix times the continued fraction 1/(x+1-a- 1(1-a)/(x+3-a- 2(2-a)/...)),
  // evaluated by the modified Lentz method.
  constexpr double tiny = 1e-300;
  double b = x + 1.0 - a;
  double c = 1.0 / tiny;
  double d = 1.0 / b;
  double h = d;
  for (int i = 1; i < kMaxTerms; ++i) {
    const double an = -i * (i - a);
    b += 2.0;
    d = an * d + b;
    if (std::fabs(d) < tiny) d = tiny;
    c = b + an / c;
    if (std::fabs(c) < tiny) c = tiny;
    d = 1.0 / d;
    const double del = d * c;
    h *= del;
    if (std::fabs(del - 1.0) <= eps) break;
  }
  return std::max(0.0, 1.0 - prefix * h);
}

// c[0] + c[1] r + ... + c[7] r^7.
double Poly7(const std::array<double, 8>& c, double r) {
  double v = c[7];
  for (int k = 6; k >= 0; --k) v = v * r + c[k];
  return v;
}

// Wichura's algorithm PPND16 (about 1e-16 relative): coefficients of the
// central region and of the two tail regions, numerators and denominators.
constexpr std::array<double, 8> kCentralNum = {3.3871328727963666080e0, 1.3314166789178437745e2,
                                               1.9715909503065514427e3, 1.3731693765509461125e4,
                                               4.5921953931549871457e4, 6.7265770927008700853e4,
                                               3.3430575583588128105e4, 2.5090809287301226727e3};
constexpr std::array<double, 8> kCentralDen = {1.0,
                                               4.2313330701600911252e1,
                                               6.8718700749205790830e2,
                                               5.3941960214247511077e3,
                                               2.1213794301586595867e4,
                                               3.9307895800092710610e4,
                                               2.8729085735721942674e4,
                                               5.2264952788528545610e3};
constexpr std::array<double, 8> kNearNum = {1.42343711074968357734e0,  4.63033784615654529590e0,
                                            5.76949722146069140550e0,  3.64784832476320460504e0,
                                            1.27045825245236838258e0,  2.41780725177450611770e-1,
                                            2.27238449892691845833e-2, 7.74545014278341407640e-4};
constexpr std::array<double, 8> kNearDen = {1.0,
                                            2.05319162663775882187e0,
                                            1.67638483018380384940e0,
                                            6.89767334985100004550e-1,
                                            1.48103976427480074590e-1,
                                            1.51986665636164571966e-2,
                                            5.47593808499534494600e-4,
                                            1.05075007164441684324e-9};
constexpr std::array<double, 8> kFarNum = {6.65790464350110377720e0,  5.46378491116411436990e0,
                                           1.78482653991729133580e0,  2.96560571828504891230e-1,
                                           2.65321895265761230930e-2, 1.24266094738807843860e-3,
                                           2.71155556874348757815e-5, 2.01033439929228813265e-7};
constexpr std::array<double, 8> kFarDen = {1.0,
                                           5.99832206555887937690e-1,
                                           1.36929880922735805310e-1,
                                           1.48753612908506148525e-2,
                                           7.86869131145613259100e-4,
                                           1.84631831751005468180e-5,
                                           1.42151175831644588870e-7,
                                           2.04426310338993978564e-15};

// Lower-tail normal quantile for 0 < p <= 0.5, before refinement.
double NormalQuantileStart(double p) {
  const double q = p - 0.5;
  if (std::fabs(q) <= 0.425) {
    const double r = 0.180625 - q * q;
    return q * Poly7(kCentralNum, r) / Poly7(kCentralDen, r);
  }
  const double r = std::sqrt(-std::log(p));
  if (r <= 5.0) return -Poly7(kNearNum, r - 1.6) / Poly7(kNearDen, r - 1.6);
  return -Poly7(kFarNum, r - 5.0) / Poly7(kFarDen, r - 5.0);
}

}  // namespace

// ------------------------------------------------------------------ reports

const char* NumericErrorName(NumericErrorType type) {
  switch (type) {
    case NumericErrorType::kNote:
      return "NOTE";
    case NumericErrorType::kAlert:
      return "ALERT";
    case NumericErrorType::kWarning:
      return "WARNING";
    case NumericErrorType::kFatal:
      return "FATAL";
    case NumericErrorType::kTerminal:
      return "TERMINAL";
  }
  return "NOTE";
}

NumericErrorType NumericReport::Worst() const {
  NumericErrorType worst = NumericErrorType::kNote;
  for (const auto& m : messages) worst = std::max(worst, m.type);
  return worst;
}

std::vector<std::string> NumericReport::Lines() const {
  std::vector<std::string> lines;
  for (const auto& m : messages) {
    lines.push_back(" *** " + std::string(NumericErrorName(m.type)) + " ERROR " +
                    std::to_string(m.code) + " from " + m.routine + ".  " + m.text);
    if (m.type >= NumericErrorType::kFatal) {
      std::array<char, 96> row{};
      lines.emplace_back("     Here is a traceback of subprogram calls in reverse order:");
      lines.emplace_back("     Routine name                    Error type  Error code");
      lines.emplace_back("     ------------                    ----------  ----------");
      std::snprintf(row.data(), row.size(), "     %-32s%6d%12d", m.routine.c_str(),
                    static_cast<int>(m.type), m.code);
      lines.emplace_back(row.data());
      std::snprintf(row.data(), row.size(), "     %-32s%6d%12d", "USER", 0, 0);
      lines.emplace_back(row.data());
    }
  }
  return lines;
}

// ------------------------------------------------------------ distributions

double DNORDF(double x) {
  if (std::isnan(x)) return x;
  // erfc at -x / sqrt(2), with the rounding of that argument put back by one
  // step of its derivative, so that the far lower tail keeps full precision.
  const double u = -x;
  const double t = u * kSqrtHalf;
  const double err = std::fma(u, kSqrtHalf, -t) + u * kSqrtHalfLow;
  double r = std::erfc(t);
  if (std::isfinite(t) && t * t < 745.0) r -= kTwoOverSqrtPi * std::exp(-t * t) * err;
  return 0.5 * r;
}

double DNORIN(double p, NumericReport* report) {
  if (!(p > 0.0 && p < 1.0)) {
    Report(report, NumericErrorType::kTerminal, 1, "DNORIN",
           "The argument to the function must be greater than 0.0 and less than 1.0.  "
           "P = %(D1).",
           p);
    if (p == 0.0) return -kInf;
    if (p == 1.0) return kInf;
    return kNaN;
  }
  // Work in the lower tail, where 1 - p is exact for p >= 0.5.
  const bool upper = p > 0.5;
  const double q = upper ? 1.0 - p : p;
  double z = NormalQuantileStart(q);
  // One Halley step on DNORDF(z) = q.
  if (z != 0.0 && z * z < 1400.0) {
    const double e = DNORDF(z) - q;
    const double v = e * kSqrtTwoPi * std::exp(0.5 * z * z);
    z -= v / (1.0 + 0.5 * z * v);
  }
  return upper ? -z : z;
}

double DGAMMA(double x, NumericReport* report) {
  if (std::isnan(x)) return x;
  if (x == 0.0) {
    Report(report, NumericErrorType::kTerminal, 1, "DGAMMA",
           std::string("The argument for the function can not be zero."));
    return kNaN;
  }
  if (x < 0.0 && x == std::floor(x)) {
    Report(report, NumericErrorType::kTerminal, 2, "DGAMMA",
           "The argument for the function can not be a negative integer. Argument X = %(D1).", x);
    return kNaN;
  }
  if (std::fabs(x) < kGammaXsml) {
    Report(report, NumericErrorType::kFatal, 3, "DGAMMA",
           "The function overflows because X = %(D1) is too close to zero.", x);
    return std::copysign(kHuge, x);
  }
  if (x < kGammaXmin) {
    Report(report, NumericErrorType::kAlert, 4, "DGAMMA",
           "The function underflows because X = %(D1) is less than %(D2). The result is set to "
           "zero.",
           x, kGammaXmin);
    return 0.0;
  }
  if (x > kGammaXmax) {
    Report(report, NumericErrorType::kFatal, 5, "DGAMMA",
           "The function overflows because X = %(D1) is greater than %(D2).", x, kGammaXmax);
    return kHuge;
  }
  return std::tgamma(x);
}

double DCHIDF(double chsq, double df, NumericReport* report) {
  if (!(df >= 0.5)) {
    Report(report, NumericErrorType::kTerminal, 2, "DCHIDF",
           "The number of degrees of freedom of the distribution, DF = %(D1), must be at least "
           "equal to 0.5.",
           df);
    return kNaN;
  }
  if (std::isnan(chsq)) return chsq;
  if (chsq < 0.0) {
    Report(report, NumericErrorType::kNote, 1, "DCHIDF",
           "Since CHSQ = %(D1) is less than zero, the distribution function is zero at CHSQ.",
           chsq);
    return 0.0;
  }
  if (chsq == 0.0) return 0.0;
  if (chsq == kInf) return 1.0;

  if (df > 2.0e8) {
    // Very many degrees of freedom: the Wilson-Hilferty normal approximation.
    const double v = 2.0 / (9.0 * df);
    const double z = (std::cbrt(chsq / df) - (1.0 - v)) / std::sqrt(v);
    const double p = std::isfinite(df) ? DNORDF(z) : 0.0;
    if (p == 0.0) {
      Report(report, NumericErrorType::kWarning, 3, "DCHIDF",
             std::string("The normal distribution is used for large degrees of freedom.  However, "
                         "it has produced underflow.  Therefore, the probability is set to 0."));
    }
    return p;
  }
  return GammaP(0.5 * df, 0.5 * chsq);
}

// -------------------------------------------------------------------- sort

void DSVRGN(int n, const double* ra, double* rb, NumericReport* report) {
  if (n < 1) {
    std::string text =
        "N = %(I1).  The length of RA and RB, N, must be greater than or equal to one.";
    Substitute(text, "%(I1)", std::to_string(n));
    Report(report, NumericErrorType::kTerminal, 1, "DSVRGN", std::move(text));
    return;
  }
  const auto count = static_cast<std::size_t>(n);
  if (ra != rb) std::memmove(rb, ra, count * sizeof(double));
  // NaNs go last, so that the comparison stays a strict weak order.
  double* const end = rb + count;
  double* const mid = std::partition(rb, end, [](double v) { return !std::isnan(v); });
  std::sort(rb, mid);
}

}  // namespace velk
