#pragma once
// Files that grow under a working name beside their place ("NAME.part") and are
// renamed into place only when complete, so that a file cut short by a full
// disk, a stop or a killed program never looks finished.
#include <string>
#include <string_view>

#include "core/run.hpp"

namespace velk {

// Where the file `native` grows until it is complete, with `target` set to the
// file it then becomes: "NAME.part" beside the file (beside the file a link
// names, so that the link stays). A name that exists as something other than a
// regular file (a device, a pipe) is written in place and never renamed over:
// then the working name is `target` itself.
[[nodiscard]] std::string WorkingName(const std::string& native, std::string& target);

// Two names of one existing file (a link, a hard link, another spelling), or
// one name twice for a file not made yet.
[[nodiscard]] bool SameFile(const std::string& a, const std::string& b);

// True when `working` names something other than a regular file (a pipe, a
// device, a folder): a working file is never written there (a pipe would hold
// the write until someone reads it).
[[nodiscard]] bool TakenByOther(const std::string& working);

// True when `target` exists as a regular file that its owner protected from
// writing: the user may not write it, or nobody may (mode 444, which root too
// is refused here). Such a file is never replaced by a rename: a plain write
// would have been refused.
[[nodiscard]] bool WriteProtected(const std::string& target);

enum class WholeWrite { kWritten, kNotMade, kCut };

// Writes `data` to `working` through the platform, every write and the close
// checked: kNotMade when the file cannot be created, kCut when a write or the
// close failed (the file is then left for the caller to remove).
[[nodiscard]] WholeWrite WriteWhole(Platform& platform, const std::string& working,
                                    std::string_view data);

// Removes the working file `working` of `target` unless it is the file itself
// (written in place).
void DropWorking(Platform& platform, const std::string& working, const std::string& target);

}  // namespace velk
