#pragma once
// The import's files: its inputs read whole but within bounds, and its output
// set committed as one (the earlier set stays whole until the new one is).
#include <string>
#include <utility>
#include <vector>

#include "core/run.hpp"
#include "import/genotypes.hpp"

namespace velk {

// Reads the input `path` whole: a byte-order mark dropped, text that is not
// UTF-8 read as Latin-1 (note 532). Refused with a message naming the file and
// line: a NUL byte (2545), a line over 16 MB or a file over 1 GB (2543), a file
// that cannot be opened or read (2530).
[[nodiscard]] bool ReadInputText(const std::string& path, std::string& text,
                                 std::vector<ImportMessage>& messages);

// One file of the set: its name (DIR/NAME and the extension) and its text.
// Control files are put in place after every other file. A file without a
// text is one of an earlier import that the new set does not have: it is
// renamed aside with the earlier control files and removed at the end.
struct SetFile {
  std::string path;
  const std::string* text;
  bool control = false;
};

// Error 2542 for each file of the set that would overwrite one of `inputs`
// (under its own name, its working or earlier name, through a link or a hard
// link), that (or whose working name) exists as something other than a
// regular file, or that is
// write-protected. True when none does.
[[nodiscard]] bool SetFilesFree(const std::vector<SetFile>& files,
                                const std::vector<std::string>& inputs,
                                std::vector<ImportMessage>& messages);

// Writes the set: the missing folders, then every file whole under its working
// name ("NAME.bse.part"); only then the earlier files (of an earlier import)
// are renamed aside ("NAME.bse.earlier", the control files and the files the
// new set does not have first), each new file renamed into place (the control
// files last) and the earlier files removed.
// So a control file is never beside files of another set, and a kill leaves
// each set whole under its own names. A failure (2540) removes what was made,
// puts the earlier files back and says so.
[[nodiscard]] bool CommitFileSet(Platform& platform, const std::vector<SetFile>& files,
                                 std::vector<ImportMessage>& messages);

}  // namespace velk
