#pragma once
// A read-only view of a text file in a fixed-width font: the reports as their
// columns were laid out.
#include <QPlainTextEdit>
#include <QString>

namespace velk::gui {

class TextViewer : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit TextViewer(QWidget* parent = nullptr);
  // Shows the file (its first 32 MB; a note says when more was left out). False,
  // with a line saying so in the view, when it cannot be read.
  bool Load(const QString& path);
  const QString& Path() const { return path_; }

 private:
  QString path_;
};

}  // namespace velk::gui
