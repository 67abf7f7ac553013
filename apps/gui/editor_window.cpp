#include "editor_window.hpp"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QSaveFile>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>
#include <cstdio>
#include <filesystem>

#include "control_highlighter.hpp"

namespace velk::gui {

namespace {

const char* const kTemplate =
    "Lines before the analysis header are comments.\n"
    "\n"
    "* Estimation: A new analysis\n"
    "\n"
    "* Options\n"
    "Compute confidence intervals: yes\n"
    "\n"
    "* Parameters\n"
    "Number of characters in analysis: 1\n"
    "Number of stocks in analysis: 2\n"
    "Confidence level: 90\n"
    "\n"
    "* Files\n"
    "Baseline file: baseline.bse\n"
    "Mixture file: mixture.mix\n"
    "Output file: out\\analysis\n"
    "\n"
    "* Characters\n"
    "[ID #] [# Types] [Character] [Kind]\n"
    "1 2 Loc01 : locus\n"
    "\n"
    "* Populations\n"
    "[ID #] [Population]\n"
    "1 First stock\n"
    "2 Second stock\n"
    "\n"
    "* Run\n";

// The check's platform: the control file is served from the editor's text,
// nothing is written, and nothing is shown.
class CheckPlatform : public Platform {
 public:
  CheckPlatform(std::string name, QByteArray text) : name_(std::move(name)), text_(std::move(text)) {}
  void ShowStatus(const std::string&) override {}
  void Beep(int) override {}
  void ShowMessageBox(const std::string&, const std::string&) override {}
  bool MakeDirectory(const std::string&) override { return false; }
  std::FILE* OpenFile(const std::string& path, const char* mode) override {
    if (mode[0] != 'r') return nullptr;
    if (std::filesystem::path(path).filename() != name_) return Platform::OpenFile(path, mode);
    std::FILE* f = std::tmpfile();
    if (!f) return nullptr;
    if (std::fwrite(text_.constData(), 1, static_cast<std::size_t>(text_.size()), f) !=
        static_cast<std::size_t>(text_.size())) {
      std::fclose(f);
      return nullptr;
    }
    std::rewind(f);
    return f;
  }

 private:
  std::string name_;
  QByteArray text_;
};

}  // namespace

Outcome CheckControlText(const QString& path, const QString& text) {
  const std::string native = QFile::encodeName(path).toStdString();
  CheckPlatform platform(std::filesystem::path(native).filename().string(), text.toLocal8Bit());
  Process process;
  Request request;
  request.control_file = native;
  request.check_only = true;
  return Velk(process, platform, request);
}

EditorWindow::EditorWindow(QWidget* parent)
    : QMdiSubWindow(parent), text_(new QPlainTextEdit), check_(new QPlainTextEdit) {
  setObjectName(QStringLiteral("Editor"));
  setAttribute(Qt::WA_DeleteOnClose);
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  text_->setFont(fixed);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  new ControlHighlighter(text_->document());
  check_->setReadOnly(true);
  check_->setFont(fixed);
  check_->setPlaceholderText(QStringLiteral("Check shows here what the reader understood."));

  auto* bar = new QToolBar;
  auto add = [this, bar](const QString& name, const QKeySequence& key, auto slot) {
    QAction* a = bar->addAction(name);
    a->setObjectName(name);
    a->setShortcut(key);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(a, &QAction::triggered, this, slot);
    return a;
  };
  add(QStringLiteral("New"), QKeySequence::New, [this] { NewFile(); });
  add(QStringLiteral("Open"), QKeySequence::Open, [this] {
    const QString f = QFileDialog::getOpenFileName(this, QString(), QFileInfo(path_).path(),
                                                   QStringLiteral("Control Files (*.ctl *.CTL);;All Files (*)"));
    if (!f.isEmpty()) OpenFile(f);
  });
  add(QStringLiteral("Save"), QKeySequence::Save, [this] { Save(); });
  bar->addSeparator();
  add(QStringLiteral("Check"), QKeySequence(Qt::Key_F9), [this] { Check(); });
  add(QStringLiteral("Run"), QKeySequence(Qt::CTRL | Qt::Key_R), [this] {
    if (Save()) emit RunWanted(path_);
  });

  auto* split = new QSplitter(Qt::Vertical);
  split->addWidget(text_);
  split->addWidget(check_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);
  auto* body = new QWidget;
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(bar);
  layout->addWidget(split);
  setWidget(body);
  resize(860, 700);
  connect(text_->document(), &QTextDocument::modificationChanged, this, [this] { UpdateCaption(); });
  UpdateCaption();
}

QAction* EditorWindow::Action(const QString& name) const {
  return findChild<QAction*>(name);
}

void EditorWindow::UpdateCaption() {
  const QString name = path_.isEmpty() ? QStringLiteral("untitled.ctl") : QFileInfo(path_).fileName();
  setWindowTitle(QStringLiteral("Control file: ") + name +
                 (text_->document()->isModified() ? QStringLiteral(" *") : QString()));
}

void EditorWindow::NewFile() {
  path_.clear();
  text_->setPlainText(QString::fromLatin1(kTemplate));
  text_->document()->setModified(false);
  check_->clear();
  UpdateCaption();
}

bool EditorWindow::OpenFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    QMessageBox::warning(this, QStringLiteral("Error"),
                         QStringLiteral("Could not open %1: %2.").arg(path, file.errorString()));
    return false;
  }
  QString text = QString::fromLocal8Bit(file.readAll());
  text.remove(QLatin1Char('\r'));
  path_ = QFileInfo(path).absoluteFilePath();
  text_->setPlainText(text);
  text_->document()->setModified(false);
  check_->clear();
  UpdateCaption();
  emit FileUsed(path_);
  return true;
}

bool EditorWindow::Save() {
  if (path_.isEmpty()) {
    const QString f = QFileDialog::getSaveFileName(this, QString(), QStringLiteral("untitled.ctl"),
                                                   QStringLiteral("Control Files (*.ctl)"));
    return !f.isEmpty() && SaveAs(f);
  }
  return SaveAs(path_);
}

bool EditorWindow::SaveAs(const QString& path) {
  // Written whole to a new file and put in place: a failed save leaves the old file.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(text_->toPlainText().toLocal8Bit()) < 0 ||
      !file.commit()) {
    QMessageBox::warning(this, QStringLiteral("Write Failure"),
                         QStringLiteral("Could not save %1: %2.").arg(path, file.errorString()));
    return false;
  }
  path_ = QFileInfo(path).absoluteFilePath();
  text_->document()->setModified(false);
  UpdateCaption();
  emit FileUsed(path_);
  return true;
}

void EditorWindow::Check() {
  const QString path = path_.isEmpty() ? QDir::current().filePath(QStringLiteral("untitled.ctl")) : path_;
  const Outcome out = CheckControlText(path, text_->toPlainText());
  QString report;
  if (!out.description.empty()) report = QString::fromStdString(out.description);
  QString problems;
  for (const RunMessage& m : out.messages)
    if (m.severity > 0) problems += QString::fromStdString(m.text) + QStringLiteral("\n\n");
  if (!problems.isEmpty()) report += QStringLiteral("\nMessages:\n\n") + problems;
  if (report.isEmpty()) report = out.aborted ? QStringLiteral("The control file could not be read.")
                                             : QStringLiteral("Nothing to describe.");
  check_->setPlainText((out.aborted ? QStringLiteral("Check failed.\n\n")
                                    : QStringLiteral("Check passed.\n\n")) +
                       report);
}

void EditorWindow::closeEvent(QCloseEvent* event) {
  if (text_->document()->isModified()) {
    const auto answer = QMessageBox::question(
        this, QStringLiteral("VELK"), QStringLiteral("Save the changes to the control file?"),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel || (answer == QMessageBox::Save && !Save())) {
      event->ignore();
      return;
    }
  }
  QMdiSubWindow::closeEvent(event);
}

}  // namespace velk::gui
