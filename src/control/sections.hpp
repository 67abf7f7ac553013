#pragma once
// Declarations of the control-file reader and its section readers, and the line
// reading they share. A section reader is called with its header line as the
// current line; it reads lines until it meets the next header line, which it
// leaves as the current line with parse.last_type 0 and parse.pos just after
// the "*" (or until its table has all its rows).
#include "core/run.hpp"

namespace velk {

// The most characters or populations an analysis may have: far beyond any
// panel, yet small enough that no product of the table sizes overflows an
// index. A table that fits here but not in memory is message 3000.
inline constexpr int kMostEntries = 1'000'000;

// Reads the next control-file line into run.parse.line (its first 132
// characters, where settings are read) and run.parse.whole (all of it, where
// file names are read) and counts it. A read error or the end of the file is message
// 3014 ("control file" and the line count); false then.
[[nodiscard]] bool ReadControlLine(Run& run);
// A line whose column 1 holds "\" or "/" is a comment inside a section.
[[nodiscard]] bool IsCommentLine(std::string_view line);

// The reader from the line after the analysis header to the "run" line. True
// when the analysis is to run: the run sequence follows, and pops the context
// that this call leaves pushed.
[[nodiscard]] bool Gparse(Run& run, int kind);

void Pparse(Run& run, int resampling_requested);  // parameters
void Oparse(Run& run);                            // options
void Fparse(Run& run);                            // files
void Setclv(Run& run);                            // regions from the level labels
void Cparse(Run& run);                            // characters table
void Sparse(Run& run);                            // populations table
void Rparse(Run& run);                            // regions table

}  // namespace velk
