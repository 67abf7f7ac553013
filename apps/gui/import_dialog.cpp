#include "import_dialog.hpp"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <vector>

namespace velk::gui {

namespace {

std::string Native(const QString& s) {
  return QFile::encodeName(s.trimmed()).toStdString();
}

// A line for a file name with a "..." button that picks one.
QWidget* FileRow(QLineEdit* edit, bool save, QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* pick = new QPushButton(QStringLiteral("..."));
  pick->setFixedWidth(32);
  layout->addWidget(edit);
  layout->addWidget(pick);
  QObject::connect(pick, &QPushButton::clicked, parent, [edit, save, parent] {
    const QString f = save ? QFileDialog::getSaveFileName(parent, QString(), edit->text())
                           : QFileDialog::getOpenFileName(parent, QString(), edit->text());
    if (!f.isEmpty()) edit->setText(f);
  });
  return row;
}

// The output field: while it holds the proposal that follows the genotypes
// file, taking the focus selects it, so that typing replaces it.
class ProposalEdit : public QLineEdit {
 protected:
  void focusInEvent(QFocusEvent* event) override {
    QLineEdit::focusInEvent(event);
    if (!isModified() && !text().isEmpty()) QTimer::singleShot(0, this, &QLineEdit::selectAll);
  }
};

}  // namespace

ImportDialog::ImportDialog(QWidget* parent)
    : QDialog(parent),
      input_(new QLineEdit),
      mixture_(new QLineEdit),
      regions_(new QLineEdit),
      collections_(new QLineEdit),
      format_(new QComboBox),
      type_column_(new QLineEdit(QStringLiteral("sample_type"))),
      missing_(new QLineEdit),
      out_(new ProposalEdit),
      result_(new QPlainTextEdit) {
  setObjectName(QStringLiteral("ImportDialog"));
  setWindowTitle(QStringLiteral("New Analysis from Genotypes"));
  format_->addItems({QStringLiteral("From the content"), QStringLiteral("table"), QStringLiteral("genepop")});
  input_->setPlaceholderText(QStringLiteral("GENEPOP file or two-column table (CSV or TSV)"));
  mixture_->setPlaceholderText(QStringLiteral("optional: the mixture in a file of its own"));
  regions_->setPlaceholderText(QStringLiteral("optional: CSV of population,region"));
  collections_->setPlaceholderText(QStringLiteral("optional: mixture collections to keep, A,B"));
  missing_->setPlaceholderText(QStringLiteral("optional: more codes for a missing allele (A,B)"));
  out_->setPlaceholderText(QStringLiteral("DIR/NAME of the files to write"));
  result_->setReadOnly(true);
  result_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Genotypes:"), FileRow(input_, false, this));
  form->addRow(QStringLiteral("Mixture file:"), FileRow(mixture_, false, this));
  form->addRow(QStringLiteral("Regions file:"), FileRow(regions_, false, this));
  form->addRow(QStringLiteral("Collections:"), collections_);
  form->addRow(QStringLiteral("Format:"), format_);
  form->addRow(QStringLiteral("Sample type column:"), type_column_);
  form->addRow(QStringLiteral("Missing code:"), missing_);
  form->addRow(QStringLiteral("Write to:"), FileRow(out_, true, this));

  auto* buttons = new QDialogButtonBox;
  QPushButton* check = buttons->addButton(QStringLiteral("Check"), QDialogButtonBox::ActionRole);
  QPushButton* write = buttons->addButton(QStringLiteral("Import"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QDialogButtonBox::Close);
  connect(check, &QPushButton::clicked, this, [this] { Go(true); });
  connect(write, &QPushButton::clicked, this, [this] {
    if (Go(false).status == 0) accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  // The output name follows the genotypes file until it is chosen.
  connect(input_, &QLineEdit::textEdited, this, [this](const QString& text) {
    if (out_->isModified()) return;
    const QFileInfo f(text.trimmed());
    out_->setText(f.dir().filePath(QStringLiteral("run/") + f.completeBaseName()));
  });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(result_);
  layout->addWidget(buttons);
  resize(720, 560);
}

ImportRequest ImportDialog::Request(bool check_only) const {
  ImportRequest r;
  r.input = Native(input_->text());
  r.mixture = Native(mixture_->text());
  r.regions = Native(regions_->text());
  for (const QString& c : collections_->text().split(QLatin1Char(','), Qt::SkipEmptyParts))
    if (!c.trimmed().isEmpty()) r.collections.push_back(c.trimmed().toStdString());
  r.format = format_->currentIndex() == 0 ? std::string() : format_->currentText().toStdString();
  r.out = Native(out_->text());
  r.check_only = check_only;
  if (!type_column_->text().trimmed().isEmpty()) r.table.type_column = type_column_->text().trimmed().toStdString();
  r.table.missing_code = missing_->text().trimmed().toStdString();
  return r;
}

ImportOutcome ImportDialog::Go(bool check_only) {
  ImportOutcome out;
  if (input_->text().trimmed().isEmpty() || (!check_only && out_->text().trimmed().isEmpty())) {
    out.status = 2;
    result_->setPlainText(QStringLiteral("Name the genotypes file and where to write the analysis."));
    return out;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  out = Import(Request(check_only));
  QApplication::restoreOverrideCursor();
  QString text = QString::fromStdString(out.summary);
  for (const ImportMessage& m : out.messages)
    text += QString::fromStdString(FormatImportMessage(m)) + QLatin1Char('\n');
  for (const std::string& f : out.written) text += QStringLiteral("Wrote ") + QString::fromStdString(f) + QLatin1Char('\n');
  if (out.status == 1) text += QStringLiteral("\nNothing was written (see the error above).");
  result_->setPlainText(text);
  // Each mixture collection's estimation opens in the editor; a baseline alone
  // opens its leave-one-out.
  if (!check_only && out.status == 0) {
    std::vector<std::string> open = out.analyses;
    if (open.empty())
      for (const std::string& f : out.written)
        if (QString::fromStdString(f).endsWith(QStringLiteral("_loo.ctl"))) open.push_back(f);
    for (const std::string& f : open)
      emit ControlFileWritten(QFile::decodeName(QByteArray::fromStdString(f)));
  }
  return out;
}

}  // namespace velk::gui
