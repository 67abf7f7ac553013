#pragma once
// Distribution functions and the ascending sort used by the statistics.
//
// Arguments a routine cannot use are reported to an optional sink (no global
// state): pass a NumericReport to collect the messages, and write its Lines() to
// the run log if wanted; with no sink the report is dropped. Results in those
// cases (always defined, never a crash):
//   DCHIDF  CHSQ < 0                  -> 0.0 (note 1)
//           DF < 0.5 or DF not a number -> NaN (terminal 2)
//   DNORIN  P == 0 / P == 1           -> -infinity / +infinity (terminal 1)
//           P < 0, P > 1 or NaN       -> NaN (terminal 1)
//   DGAMMA  X == 0                    -> NaN (terminal 1)
//           X a negative integer      -> NaN (terminal 2)
//           X too close to zero       -> +/- largest double (fatal 3)
//           X below the underflow limit -> 0.0 (alert 4)
//           X above the overflow limit  -> +largest double (fatal 5)
//   DSVRGN  N < 1                     -> nothing sorted (terminal 1)
// A NaN argument of DCHIDF's CHSQ or DNORDF's X gives NaN without a report.
#include <string>
#include <vector>

namespace velk {

enum class NumericErrorType { kNote = 1, kAlert = 2, kWarning = 3, kFatal = 4, kTerminal = 5 };

// "NOTE", "ALERT", "WARNING", "FATAL" or "TERMINAL".
const char* NumericErrorName(NumericErrorType type);

struct NumericMessage {
  NumericErrorType type = NumericErrorType::kNote;
  int code = 0;
  std::string routine;  // e.g. "DCHIDF"
  std::string text;     // with %(D1), %(D2), %(I1) replaced by the values
};

// Collects the messages of the numeric library.
struct NumericReport {
  std::vector<NumericMessage> messages;

  bool Empty() const { return messages.empty(); }
  void Clear() { messages.clear(); }
  // The most severe type reported so far (kNote when empty).
  NumericErrorType Worst() const;
  // Log lines: per message a heading " *** TYPE ERROR code from ROUTINE.  text";
  // for the fatal and terminal types a traceback of the routine follows.
  std::vector<std::string> Lines() const;
};

// Probability that a chi-square variable with `df` degrees of freedom is at most
// `chsq` (the regularized lower incomplete gamma function at chsq/2, df/2).
double DCHIDF(double chsq, double df, NumericReport* report = nullptr);

// The z with standard normal distribution function equal to p.
double DNORIN(double p, NumericReport* report = nullptr);

// Standard normal distribution function at x.
double DNORDF(double x);

// The gamma function at x.
double DGAMMA(double x, NumericReport* report = nullptr);

// rb(1..n) receives ra(1..n) sorted ascending (NaNs last); ra and rb may be the
// same array.
void DSVRGN(int n, const double* ra, double* rb, NumericReport* report = nullptr);

}  // namespace velk
