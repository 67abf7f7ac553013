#pragma once
// The control-file editor: New, Open and Save; the sections, keywords and
// comments in colour; "Check" reads the text as `velk --check` does and shows
// what was understood and what was not; "Run" saves and runs the file.
#include <QMdiSubWindow>
#include <QString>

#include "run/velk.hpp"

class QPlainTextEdit;
class QAction;

namespace velk::gui {

// Reads `text` as the control file `path` (which need not exist: the text is
// served in its place) with the --check reader; nothing is written.
Outcome CheckControlText(const QString& path, const QString& text);

class EditorWindow : public QMdiSubWindow {
  Q_OBJECT
 public:
  explicit EditorWindow(QWidget* parent = nullptr);

  // A new control file from the template; the text of `path`.
  void NewFile();
  bool OpenFile(const QString& path);
  // Saves to the file's own name (asking for one when it has none yet).
  bool Save();
  bool SaveAs(const QString& path);
  // Checks the text and shows the outcome below it.
  void Check();

  QPlainTextEdit* Text() const { return text_; }
  QPlainTextEdit* CheckPane() const { return check_; }
  const QString& Path() const { return path_; }
  QAction* Action(const QString& name) const;

 signals:
  // Save and Run: the saved file is to be run.
  void RunWanted(const QString& path);
  // A file was opened or saved (for the recent files).
  void FileUsed(const QString& path);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void UpdateCaption();
  QPlainTextEdit* text_;
  QPlainTextEdit* check_;
  QString path_;
};

}  // namespace velk::gui
