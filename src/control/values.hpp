#pragma once
// Typed value readers built on the tokenizer.
#include <span>
#include <string>
#include <string_view>

#include "core/run.hpp"

namespace velk {

// The first number in `text`; `pos` is the column of its last character.
// No number: error 2001 ("numeric") and 0.0.
double Greal(Run& run, std::string_view text, int& pos);
// The integer part of the first number in `text`. No number: error 2001 and 0.
int Igint(Run& run, std::string_view text, int& pos);
// The first logical word in `text`: 1 or 0 (1 after error 2001).
int Glogic(Run& run, std::string_view text);
// From the first non-blank character up to the delimiter (at most `most`
// characters); `pos` is the delimiter's column (one past the end when none).
// File names are taken whole (std::string::npos).
std::string Gstrng(std::string_view text, char delimiter, int& pos, std::size_t most = 132);
// Gstrng of what follows the first `marker`; blank when there is none.
std::string Gafter(std::string_view text, char marker, char delimiter, int& pos,
                   std::size_t most = 132);
// The first number in `text` written with a decimal comma (a digit, ",", a
// digit: "0,271"), with the digits and points around the comma; "" when there
// is none. Numbers are written with a decimal point: such a number would be
// read as two.
std::string CommaNumber(std::string_view text);
// Error 2006 naming `file`, the line `line` and the number `number`.
void DecimalComma(Run& run, std::string_view file, int line, std::string_view number);

// Reads a line of bracketed column headings and reorders `ids` (1-based,
// ids.Size() columns) by the 4-character `keys`. Fatal 3018, 3019, 3020.
void Gorder(Run& run, std::string_view line, Vec<int>& ids, std::span<const std::string_view> keys,
            int& nfound);

}  // namespace velk
