#pragma once
// The one place that turns a name from a control file into a path: "\" and "/"
// both separate directories, relative names are taken from the control file's
// folder, and the "." that cuts a name is the last one of the file's own name,
// never one in a directory name.
#include <string>
#include <string_view>

namespace velk {

// The name with every "\" turned into "/".
std::string NativeName(std::string_view name);
// The folder part of a path, with its trailing "/" ("" when there is none).
std::string FolderOf(std::string_view path);
// A name from a control file as a path: native separators, and a relative name
// taken from `control_dir` (the folder of the control file, "" for the current one).
std::string ResolveName(std::string_view control_dir, std::string_view name);
// The run log of a control file: its name up to the last "." of its own name,
// followed by "log" ("rec1.v2.ctl" gives "rec1.v2.log", "run" gives "run.log").
std::string LogName(std::string_view control_file);
// An output base name with everything from the last "." of its own name removed
// ("rec1.v2.final" gives "rec1.v2").
std::string OutputBaseName(std::string_view name);
// Trailing blanks removed.
std::string Trim(std::string_view text);

}  // namespace velk
