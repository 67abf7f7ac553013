#pragma once
// The tokenizer of the control-file language.
#include <string>
#include <string_view>

#include "core/run.hpp"

namespace velk {

// Token types returned by Itoken (negated when the scan reached the end of the text).
inline constexpr int kTokStar = 0;
inline constexpr int kTokColon = 1;
inline constexpr int kTokNumber = 2;
inline constexpr int kTokWord = 3;
inline constexpr int kTokBracket = 4;
inline constexpr int kTokNone = 99;

// Takes the first token of `text` (its whole length is scanned). `used` is the
// 1-based position of the token's last character; `token` holds at most
// `maxlen` characters. `used` is at least 1 for any non-empty text and never
// more than its length, so `pos += used` always moves a scan forward.
int Itoken(Run& run, std::string_view text, int& used, std::string& token, int maxlen = 132);

char Tolow(char c);

// The token character class: digits, letters of either case, "+", "-", ".",
// "[", "\\", ":" and "*" may start a token; Itoken passes over every other
// character before a token, and the data readers find their tokens with it.
bool StartsToken(char c);

// Checks and normalises the number that begins at the first character of
// `text`; `length` is the number of characters of the text that belong to it.
// A bad number is warning 1014 and a blank result.
void Agval(Run& run, std::string& result, std::string_view text, int& length);

}  // namespace velk
