#pragma once
// The Messages tab without Qt: each message's level, the messages of one number
// grouped with their count, which levels the filter shows at first, and the
// words that tell how many warnings a finished run gave.
#include <string>
#include <vector>

#include "core/run.hpp"

namespace velk::gui {

enum class MessageLevel { kFatal, kError, kWarning, kNote };
inline constexpr int kMessageLevels = 4;

MessageLevel LevelOf(const RunMessage& m);
const char* LevelText(MessageLevel level);  // "Fatal error", "Error", "Warning", "Note"

// The messages of one number, in the order they came; the groups ordered by
// level (fatal first) and, within a level, by their first message.
struct MessageGroup {
  int number = 0;
  MessageLevel level = MessageLevel::kNote;
  std::vector<const RunMessage*> messages;
};
std::vector<MessageGroup> GroupMessages(const std::vector<RunMessage>& messages);

// Notes are hidden at first when the run gave a fatal error, error or warning.
bool NotesShownAtFirst(const std::vector<RunMessage>& messages);

// The warnings of a run (errors that did not stop it count too).
int WarningCount(const std::vector<RunMessage>& messages);

// "Finished", or "Finished with 1 warning" / "Finished with N warnings".
std::string FinishedText(int warnings);

}  // namespace velk::gui
