#pragma once
// The locus definition of the mixture-format files: after a line "* characters",
// one line per record field naming what the field holds, up to a "* end" line.
// The mixture file and the reference individuals file read it with the one
// reader below; the files' rules for a field's name differ, so the reader
// takes the rule of the file it reads.
#include <cstddef>
#include <string>
#include <vector>

#include "core/lines.hpp"
#include "core/run.hpp"

namespace velk {

// What a field holds besides a character (1..nchar).
inline constexpr int kSkippedField = 0;
inline constexpr int kIdField = -1;
inline constexpr int kPopField = -2;
inline constexpr int kCollectionField = -3;  // a mixture record's collection
inline constexpr int kKnownField = -4;       // a mixture record's population when known

enum class DefinitionRule {
  // Mixture file: comment lines may begin with blanks; a field's name runs from
  // its line's first word to the end of the line; a star token ends the
  // definition; a name is a character's first, else the first "ID",
  // "COLLECTION" or "KNOWN" (any case).
  kMixture,
  // Reference individuals file: comments begin in column 1; a field's name is
  // its whole line; a line whose first field is "*" ends the definition; "ID"
  // and "POP" (any case) come before the characters' names.
  kReference,
};

// Reads the definition's lines up to its end. `fields` gets, per field in
// order, the character it holds (each character at most once), kIdField,
// kPopField or kSkippedField; `names`, when given, each field's name. Returns
// 0 at the end line, else the status of the line read that failed (-1: the
// file ended).
[[nodiscard]] int ReadLocusDefinition(Run& run, LineReader& in, std::size_t maxlen,
                                      DefinitionRule rule, std::vector<int>& fields,
                                      std::vector<std::string>* names = nullptr);

}  // namespace velk
