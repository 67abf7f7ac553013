#pragma once
// The Messages tab: a run's numbered messages with the icon of their level,
// the fatal ones first, those of one number grouped with their count (the
// group opens to each one); a filter by level, notes hidden at first when the
// run gave warnings; a double-click shows a message's full text.
#include <QWidget>
#include <array>
#include <vector>

#include "core/run.hpp"
#include "message_groups.hpp"

class QCheckBox;
class QTreeWidget;

namespace velk::gui {

class MessagesView : public QWidget {
  Q_OBJECT
 public:
  explicit MessagesView(QWidget* parent = nullptr);
  void SetMessages(const std::vector<RunMessage>& messages);
  QTreeWidget* List() const { return list_; }
  // The filter's box for one level.
  QCheckBox* Filter(MessageLevel level) const { return filters_[static_cast<std::size_t>(level)]; }
  // Shows the full text of message `index` (in the order the run gave them) in
  // a box of its own.
  void ShowFullText(int index);

 private:
  void Fill();
  std::vector<RunMessage> messages_;  // in the order issued
  std::array<QCheckBox*, kMessageLevels> filters_{};
  QTreeWidget* list_;
};

}  // namespace velk::gui
