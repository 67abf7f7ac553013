#include "menus.hpp"

#include <algorithm>

#include "core/paths.hpp"
#include "core/reports.hpp"

namespace velk::gui {

const MenuItem* FindMenuItem(int command) {
  for (const MenuItem& item : kMenuItems)
    if (item.command == command) return &item;
  return nullptr;
}

bool ResultsItemEnabled(int slot, std::span<const int> flags) {
  if (slot == kControlFileSlot) return true;
  if (slot < 0 || static_cast<std::size_t>(slot) >= flags.size()) return false;
  return flags[static_cast<std::size_t>(slot)] == 1;
}

std::string ResultsItemText(const MenuItem& item, bool unfinished) {
  std::string text(item.text);
  if (unfinished) text.insert(std::min(text.find('\t'), text.size()), " (unfinished)");
  return text;
}

std::string ResultsItemFile(int slot, const std::string& control_file,
                            const std::string& output_base) {
  if (slot == kControlFileSlot) return control_file;
  if (slot < 0 || slot >= kResultSlots) return {};
  return ReportFile(slot, LogName(NativeName(control_file)), NativeName(Trim(output_base)));
}

}  // namespace velk::gui
