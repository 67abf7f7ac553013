#pragma once
// The text pane of a result window: paints the run's status text in the colour
// of its nine-digit prefix, tabs expanded, inside the window's margins.
#include <QWidget>
#include <string>

namespace velk::gui {

class TextPane : public QWidget {
  Q_OBJECT
 public:
  explicit TextPane(QWidget* parent = nullptr);
  // Takes a new status text and repaints.
  void SetStatus(const std::string& text);
  const std::string& Status() const { return status_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::string status_;
};

}  // namespace velk::gui
