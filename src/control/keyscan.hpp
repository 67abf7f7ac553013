#pragma once
// Keyword scanning shared by the parameters and options sections: a line is
// taken token by token, a token that ends the line is never examined, and a
// keyword is recognised by the first four letters of a token ("gpa" by three).
#include <array>
#include <string_view>

#include "core/run.hpp"

namespace velk {

// One to three spellings of a keyword, each of three or four letters.
struct KeySet {
  std::array<std::string_view, 3> keys;
  bool Matches(std::string_view token) const {
    for (std::string_view k : keys)
      if (!k.empty() && token.size() >= k.size() && token.substr(0, k.size()) == k) return true;
    return false;
  }
};

// The control line without its trailing blanks, tabs and carriage returns:
// the end of this text is the end of the line.
std::string_view ControlText(std::string_view line);

// Takes the token that starts at column `pos` (1-based) of `text` into
// run.parse.token and moves `pos` past it. False when there is no token that
// is followed by more text (the scan of the line is over).
[[nodiscard]] bool NextKeyToken(Run& run, std::string_view text, int& pos);

// Scans `text` from column `pos` for the first token that matches an entry of
// `table` (entries tried in their order); returns the entry's index with `pos`
// just after that token, or -1 when the line ends first.
template <class Table>
int FindKey(Run& run, std::string_view text, int& pos, const Table& table) {
  while (NextKeyToken(run, text, pos)) {
    for (int k = 0; k < static_cast<int>(std::size(table)); ++k)
      if (table[k].keys.Matches(run.parse.token)) return k;
  }
  return -1;
}

// The rest of `text` from column `pos`: where a keyword's value is read.
inline std::string_view RestOf(std::string_view text, int pos) {
  return pos > static_cast<int>(text.size()) ? std::string_view() : text.substr(pos - 1);
}

// Reads the next section line, passing over comment lines and blank lines.
// Returns 1 for a line to process, 0 for the next section header
// (run.parse.last_type 0, run.parse.pos just after its "*"), 2 for a line whose
// only token runs to its end (nothing on it can be a setting), -1 when the
// file ended or could not be read (message 3014 given).
int NextSectionLine(Run& run);

// Keeps the current line as one that set nothing and notes it in the log.
void NotUnderstood(Run& run);

// Reads a section line by line with `line` (true when the line set something)
// until the next header, the end of the file or a stop. A line that reported
// an error (severity 4 or more) is raised to fatal 3011 for `record`
// ("parameter", "options") and ends the section; a line that set nothing is
// noted. Returns the last NextSectionLine state (0: closed by a header).
int ReadSection(Run& run, std::string_view record, bool (*line)(Run&));

}  // namespace velk
