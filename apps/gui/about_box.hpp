#pragma once
// The About box: the program title and an OK button.
#include <QDialog>

namespace velk::gui {

class AboutBox : public QDialog {
  Q_OBJECT
 public:
  explicit AboutBox(QWidget* parent = nullptr);
};

}  // namespace velk::gui
