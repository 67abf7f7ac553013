#pragma once
// The run's status text: the colour prefix and the lines shown as a run goes.
#include <string_view>

#include "core/run.hpp"

namespace velk {

// Appends `text` and a carriage return to the status text and shows it.
void AppendStatus(Run& run, std::string_view text);
// Replaces the colour prefix of the status text.
void SetStatusColour(Run& run, std::string_view colour);

}  // namespace velk
