#pragma once
// The analysis description a control file was read into, as plain text: what
// `velk --check` prints so that a user can see how VELK understood the file.
#include <string>

#include "core/run.hpp"

namespace velk {

// Kind, title, every parameter and option, the four file names as resolved,
// the lines not understood, and the character, population and region tables.
std::string Describe(const Run& run);

}  // namespace velk
