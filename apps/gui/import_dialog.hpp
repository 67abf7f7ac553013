#pragma once
// "New analysis from genotypes...": the import over a dialog. The genotypes (a
// GENEPOP file or a two-column table), optionally a mixture file of its own and
// a file of regions, become a baseline, a mixture and a control file that runs
// them; "Check" counts and checks without writing.
#include <QDialog>

#include "import/import.hpp"

class QLineEdit;
class QComboBox;
class QPlainTextEdit;
class QPushButton;

namespace velk::gui {

class ImportDialog : public QDialog {
  Q_OBJECT
 public:
  explicit ImportDialog(QWidget* parent = nullptr);

  // The request the fields describe.
  ImportRequest Request(bool check_only) const;
  // Runs the import (or its check) and shows what it found; on a written
  // import the control file it wrote is offered through ControlFileWritten.
  ImportOutcome Go(bool check_only);

  QLineEdit* Input() const { return input_; }
  QLineEdit* Mixture() const { return mixture_; }
  QLineEdit* Regions() const { return regions_; }
  QLineEdit* Out() const { return out_; }
  QPlainTextEdit* Result() const { return result_; }

 signals:
  void ControlFileWritten(const QString& path);

 private:
  QLineEdit* input_;
  QLineEdit* mixture_;
  QLineEdit* regions_;
  QLineEdit* collections_;
  QComboBox* format_;
  QLineEdit* type_column_;
  QLineEdit* missing_;
  QLineEdit* out_;
  QPlainTextEdit* result_;
};

}  // namespace velk::gui
