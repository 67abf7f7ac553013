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
// From the first non-blank character up to the delimiter (at most 132
// characters); `pos` is the delimiter's column (one past the end when none).
std::string Gstrng(std::string_view text, char delimiter, int& pos);
// Gstrng of what follows the first `marker`; blank when there is none.
std::string Gafter(std::string_view text, char marker, char delimiter, int& pos);
// Reads a line of bracketed column headings and reorders `ids` (1-based,
// ids.Size() columns) by the 4-character `keys`. Fatal 3018, 3019, 3020.
void Gorder(Run& run, std::string_view line, Vec<int>& ids, std::span<const std::string_view> keys,
            int& nfound);

}  // namespace velk
