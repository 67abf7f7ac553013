#pragma once
// The Messages tab: a run's numbered messages with the icon of their level,
// the fatal ones first; a double-click shows a message's full text.
#include <QTreeWidget>
#include <vector>

#include "core/run.hpp"

namespace velk::gui {

class MessagesView : public QTreeWidget {
  Q_OBJECT
 public:
  explicit MessagesView(QWidget* parent = nullptr);
  void SetMessages(const std::vector<RunMessage>& messages);
  // Shows the full text of the message in row `row` in a box of its own.
  void ShowFullText(int row);

 private:
  std::vector<RunMessage> messages_;  // in the order shown
};

}  // namespace velk::gui
