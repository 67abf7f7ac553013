// The tokenizer of the control-file language (Itoken), its lower-casing
// (Tolow) and its numeric scanner (Agval).
//
// Decisions that keep every caller's scan moving forward and in bounds:
// - `used` never exceeds the length of the text, and it is at least 1 for any
//   text that is not empty; only an empty text gives 0 (with type -99).
// - A backslash met before a token has started is the token: type 1, blank
//   token, the backslash consumed. A backslash after a started token ends that
//   token and is left for the next call, which then passes over it.
// - A character that may not follow ends the token without changing its type:
//   a word stopped by "[" or "\" stays a word (3), signs and points alone stay
//   99. Only a character that is taken into the token sets the type.
// - A token longer than the token field keeps its first characters; the rest
//   of it is still consumed, so an overlong word is one token, not two.
// - A bracketed text without its closing "]" runs to the end of the text and is
//   reported as reaching it (type -4).
#include "control/itoken.hpp"

#include <algorithm>
#include <cstddef>

#include "control/values.hpp"
#include "core/error.hpp"

namespace velk {

namespace {

// Character classes of the tokenizer; kStart is the state before any character.
enum Class {
  kStart,
  kSeparator,
  kSign,
  kPoint,
  kDigit,
  kLetter,
  kBracket,
  kBackslash,
  kColon,
  kStar
};

// `c` is lower-cased already.
Class Classify(char c) {
  if (!StartsToken(c)) return kSeparator;
  if (c == '+' || c == '-') return kSign;
  if (c == '.') return kPoint;
  if (c >= '0' && c <= '9') return kDigit;
  if (c >= 'a' && c <= 'z') return kLetter;
  if (c == '[') return kBracket;
  if (c == '\\') return kBackslash;
  if (c == ':') return kColon;
  return kStar;
}

// Which class may follow the class of the previous character of the token.
bool Follows(Class state, Class next) {
  switch (state) {
    case kStart:
      return next == kSeparator || next == kSign || next == kDigit || next == kLetter ||
             next == kPoint || next == kBracket;
    case kSign:
      return next == kDigit || next == kLetter || next == kPoint;
    case kPoint:
      return next == kDigit || next == kLetter;
    case kLetter:
      return next == kLetter;
    default:
      return false;
  }
}

// Agval's character classes and actions.
enum NumClass { kNBlank, kNDigit, kNPoint, kNExponent, kNSign, kNOther };
enum Action { kAppend, kInsert, kSkip, kAccept, kReject };

struct Step {
  Action action;
  int next;
  char fill;  // the character an insert puts in front
};

NumClass NumClassify(char c) {
  if (c == ' ') return kNBlank;
  if (c >= '0' && c <= '9') return kNDigit;
  if (c == '.') return kNPoint;
  if (c == 'e' || c == 'E') return kNExponent;
  if (c == '+' || c == '-') return kNSign;
  return kNOther;
}

// States: 0 start, 1 after the sign, 2 integer digits, 3 fraction digits,
// 4 after an exponent letter, 5 after the exponent sign or first digit,
// 6 exponent digits. Columns: blank, digit, point, exponent letter, sign, other.
constexpr Step kTable[7][6] = {
    {{kSkip, 0, 0},
     {kAppend, 2, 0},
     {kInsert, 3, '0'},
     {kReject, 0, 0},
     {kAppend, 1, 0},
     {kSkip, 0, 0}},
    {{kAccept, 0, 0},
     {kAppend, 2, 0},
     {kInsert, 3, '0'},
     {kReject, 0, 0},
     {kReject, 0, 0},
     {kReject, 0, 0}},
    {{kAccept, 0, 0},
     {kAppend, 2, 0},
     {kAppend, 3, 0},
     {kSkip, 4, 0},
     {kAccept, 0, 0},
     {kAccept, 0, 0}},
    {{kAccept, 0, 0},
     {kAppend, 3, 0},
     {kAccept, 0, 0},
     {kAppend, 4, 0},
     {kAccept, 0, 0},
     {kAccept, 0, 0}},
    {{kAccept, 0, 0},
     {kInsert, 5, '+'},
     {kAccept, 0, 0},
     {kAccept, 0, 0},
     {kAppend, 5, 0},
     {kAccept, 0, 0}},
    {{kAccept, 0, 0},
     {kAppend, 6, 0},
     {kAccept, 0, 0},
     {kAccept, 0, 0},
     {kAccept, 0, 0},
     {kAccept, 0, 0}},
    {{kAccept, 0, 0},
     {kAppend, 6, 0},
     {kAccept, 0, 0},
     {kAccept, 0, 0},
     {kAccept, 0, 0},
     {kAccept, 0, 0}},
};

std::string_view TrimRight(std::string_view s) {
  std::size_t e = s.find_last_not_of(' ');
  return e == std::string_view::npos ? std::string_view() : s.substr(0, e + 1);
}

}  // namespace

char Tolow(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsToken(char c) {
  const char l = Tolow(c);
  return (l >= '0' && l <= '9') || (l >= 'a' && l <= 'z') || l == '+' || l == '-' || l == '.' ||
         l == '[' || l == '\\' || l == ':' || l == '*';
}

// The end of the text counts as a blank. A text that holds no number at all
// (only blanks and other characters, which state 0 skips) gives a blank result
// and its whole length, without a warning. On reject the length runs to the
// rejected character, so that a caller passes over it.
//
// Accept in state 4 gives the exponent letter back. When the letter followed
// integer digits it was skipped, not appended, so nothing is dropped from the
// normalised text: 2e followed by a blank gives 2, as 1.5e gives 1.5.
void Agval(Run& run, std::string& result, std::string_view text, int& length) {
  result.clear();
  const std::size_t n = text.size();
  int state = 0;
  for (std::size_t k = 0;; ++k) {
    if (k >= n && state == 0) {
      length = static_cast<int>(n);
      return;
    }
    const char c = k < n ? text[k] : ' ';
    const Step& step = kTable[state][NumClassify(c)];
    switch (step.action) {
      case kAppend:
        result += c;
        break;
      case kInsert:
        result += step.fill;
        result += c;
        break;
      case kSkip:
        break;
      case kAccept:
        length = static_cast<int>(k);
        if (state == 4) {
          if (!result.empty() && (result.back() == 'e' || result.back() == 'E')) result.pop_back();
          --length;
        }
        return;
      case kReject:
        result.clear();
        length = static_cast<int>(k + 1);
        Error(run, 1014, {.a1 = std::string(TrimRight(text).substr(0, 70))});
        return;
    }
    state = step.next;
  }
}

int Itoken(Run& run, std::string_view text, int& used, std::string& token, int maxlen) {
  token.clear();
  const std::size_t cap = maxlen > 0 ? static_cast<std::size_t>(maxlen) : 0;
  const int n = static_cast<int>(text.size());
  int type = kTokNone;
  Class state = kStart;
  int counter = 0;  // signs and points of the token so far

  for (int i = 0; i < n; ++i) {
    const char c = Tolow(text[static_cast<std::size_t>(i)]);
    const Class cls = Classify(c);

    if (cls == kColon || cls == kStar) {
      if (state != kStart) {
        used = i;
        return type;
      }
      if (cap > 0) token = std::string(1, c);
      used = i + 1;
      return cls == kColon ? kTokColon : kTokStar;
    }
    if (cls == kBackslash && state == kStart) {
      used = i + 1;
      return kTokColon;
    }
    if (!Follows(state, cls)) {
      used = i;
      return type;
    }

    switch (cls) {
      case kSeparator:
        break;  // only before the token: skipped
      case kDigit: {
        // The number starts at the first sign or point of the token.
        const int first = i - counter;
        std::string number;
        int length = 0;
        Agval(run, number, text.substr(static_cast<std::size_t>(first)), length);
        token = number.substr(0, std::min(cap, number.size()));
        used = std::clamp(first + length, i + 1, n);
        return kTokNumber;
      }
      case kBracket: {
        int pos = 0;
        const std::string_view rest = text.substr(static_cast<std::size_t>(i) + 1);
        std::string inside = Gstrng(rest, ']', pos);
        for (char& ch : inside) ch = Tolow(ch);
        token = inside.substr(0, std::min(cap, inside.size()));
        if (pos > static_cast<int>(rest.size())) {
          used = n;
          return -kTokBracket;
        }
        used = i + 1 + pos;
        return kTokBracket;
      }
      case kSign:
      case kPoint:
      case kLetter:
        if (cls == kLetter)
          type = kTokWord;
        else
          ++counter;
        if (token.size() < cap) token += c;
        state = cls;
        break;
      default:
        break;
    }
  }
  used = n;
  return -type;
}

}  // namespace velk
