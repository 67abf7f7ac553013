#pragma once
// The bodies of the numbered messages: what Error writes under a message's
// heading, and the message-box text of the messages that compose one.
#include "core/error.hpp"
#include "core/run.hpp"

namespace velk {

// Writes the body of message `number` to the log (slot 0) from its arguments;
// sets run.error.box_text when the message composes a box text. Numbers without
// a catalogue entry write nothing.
void WriteBody(Run& run, int number, const MessageArgs& args);

}  // namespace velk
