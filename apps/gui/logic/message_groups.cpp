#include "message_groups.hpp"

#include <algorithm>
#include <map>

namespace velk::gui {

MessageLevel LevelOf(const RunMessage& m) {
  if (m.severity == 2) return MessageLevel::kFatal;
  if (m.number >= 2000) return MessageLevel::kError;
  if (m.severity == 1) return MessageLevel::kWarning;
  return MessageLevel::kNote;
}

const char* LevelText(MessageLevel level) {
  switch (level) {
    case MessageLevel::kFatal: return "Fatal error";
    case MessageLevel::kError: return "Error";
    case MessageLevel::kWarning: return "Warning";
    case MessageLevel::kNote: break;
  }
  return "Note";
}

std::vector<MessageGroup> GroupMessages(const std::vector<RunMessage>& messages) {
  std::vector<MessageGroup> groups;
  std::map<std::pair<int, MessageLevel>, std::size_t> index;
  for (const RunMessage& m : messages) {
    const auto key = std::make_pair(m.number, LevelOf(m));
    auto [it, fresh] = index.try_emplace(key, groups.size());
    if (fresh) groups.push_back({m.number, key.second, {}});
    groups[it->second].messages.push_back(&m);
  }
  std::stable_sort(groups.begin(), groups.end(),
                   [](const MessageGroup& a, const MessageGroup& b) { return a.level < b.level; });
  return groups;
}

bool NotesShownAtFirst(const std::vector<RunMessage>& messages) {
  return std::all_of(messages.begin(), messages.end(),
                     [](const RunMessage& m) { return LevelOf(m) == MessageLevel::kNote; });
}

int WarningCount(const std::vector<RunMessage>& messages) {
  return static_cast<int>(std::count_if(messages.begin(), messages.end(), [](const RunMessage& m) {
    const MessageLevel l = LevelOf(m);
    return l == MessageLevel::kWarning || l == MessageLevel::kError;
  }));
}

std::string FinishedText(int warnings) {
  if (warnings <= 0) return "Finished";
  return "Finished with " + std::to_string(warnings) + (warnings == 1 ? " warning" : " warnings");
}

}  // namespace velk::gui
