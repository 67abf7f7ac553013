#include "frame.hpp"

#include "message_groups.hpp"
#include "plot_view.hpp"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBrowser>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <new>

#include "about_box.hpp"
#include "editor_window.hpp"
#include "import_dialog.hpp"
#include "text_viewer.hpp"
#include "menus.hpp"
#include "window_title.hpp"

namespace velk::gui {

namespace {

#ifdef _WIN32
const char* const kRunFilter = "Control Files (*.ctl);;All Files (*.*)";
const char* const kOpenFilter =
    "Control Files (*.ctl);;"
    "All VELK Files (*.CTL *.EST *.SIM *.LOG *.ITR *.BOT *.RSM *.BSL *.CMX *.GEN *.POP *.RLK);;"
    "All Files (*.*)";
const char* const kEditorFilter = "Executable Files (*.exe);;All Files (*.*)";
#else
// File names are case-sensitive here: both cases of each extension match.
const char* const kRunFilter = "Control Files (*.ctl *.CTL);;All Files (*)";
const char* const kOpenFilter =
    "Control Files (*.ctl *.CTL);;"
    "All VELK Files (*.ctl *.est *.sim *.log *.itr *.bot *.rsm *.bsl *.cmx *.gen *.pop *.rlk "
    "*.CTL *.EST *.SIM *.LOG *.ITR *.BOT *.RSM *.BSL *.CMX *.GEN *.POP *.RLK);;"
    "All Files (*)";
const char* const kEditorFilter = "All Files (*)";
#endif

QString Q(std::string_view s) {
  return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// The program's icon: a "V" on the colour of a running analysis.
QIcon VelkIcon() {
  QPixmap pix(32, 32);
  pix.fill(QColor(0, 0, 200));
  QPainter p(&pix);
  p.setPen(Qt::white);
  QFont f = p.font();
  f.setBold(true);
  f.setPixelSize(24);
  p.setFont(f);
  p.drawText(pix.rect(), Qt::AlignCenter, QStringLiteral("V"));
  return QIcon(pix);
}

}  // namespace

QString IniFilePath() {
  QString dir = qEnvironmentVariable("VELK_INI_DIR");
  if (dir.isEmpty()) dir = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  return QDir(dir).filePath(Q(kIniName));
}

Frame::Frame(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("MDIDemoClass"));
  setWindowTitle(QStringLiteral("VELK"));
  setWindowIcon(VelkIcon());
  ini_path_ = IniFilePath();
  settings_ = LoadSettings(QFile::encodeName(ini_path_).toStdString());

  QSize screen(1920, 1080);
  if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->availableSize();
  FramePlacement place =
      PlaceFrame(screen.width(), screen.height(), settings_.width, settings_.height);
  move(place.x, place.y);
  resize(place.width, place.height);

  area_ = new QMdiArea(this);
  area_->setViewMode(QMdiArea::SubWindowView);
  setCentralWidget(area_);
  setAcceptDrops(true);
  queue_ = new QLabel;
  ended_ = new QLabel;
  statusBar()->addWidget(ended_);
  statusBar()->addPermanentWidget(queue_);

  BuildFileAndHelpMenus();
  BuildMenus();
  menuBar()->addMenu(Menu(QStringLiteral("&Help")));
  connect(area_, &QMdiArea::subWindowActivated, this, [this] { UpdateMenus(); });

  worker_ = new RunWorker;
  worker_->moveToThread(&worker_thread_);
  connect(&worker_thread_, &QThread::finished, worker_, &QObject::deleteLater);
  connect(worker_, &RunWorker::StatusChanged, this, &Frame::OnStatus);
  connect(worker_, &RunWorker::ProgressChanged, this, &Frame::OnProgress);
  connect(worker_, &RunWorker::RunFinished, this, &Frame::OnFinished);
  connect(worker_, &RunWorker::MessageBoxWanted, this, &Frame::OnMessageBox);
  connect(worker_, &RunWorker::BeepWanted, this, [] { QApplication::beep(); });
  worker_thread_.start();
  UpdateMenus();
}

Frame::~Frame() {
  pending_.clear();
  // The windows go with the frame: nothing they signal reaches it any more.
  disconnect(area_, nullptr, this, nullptr);
  for (ResultWindow* w : Results()) {
    disconnect(w, nullptr, this, nullptr);
    w->Stop();
  }
  worker_thread_.quit();
  worker_thread_.wait();
  // Editors still open outlive the frame.
  for (QProcess* p : findChildren<QProcess*>()) {
    disconnect(p, nullptr, this, nullptr);
    if (p->state() != QProcess::NotRunning) p->setParent(nullptr);
  }
}

void Frame::closeEvent(QCloseEvent* event) {
  // A control file with unsaved changes is saved or dropped as its editor asks.
  for (QMdiSubWindow* sw : area_->subWindowList())
    if (auto* e = qobject_cast<EditorWindow*>(sw); e && !e->close()) {
      event->ignore();
      return;
    }
  if (!isMaximized() && !isMinimized())
    SaveSize(QFile::encodeName(ini_path_).toStdString(), width(), height());
  // Runs still waiting are dropped and the one going is asked to stop.
  pending_.clear();
  UpdateQueue();
  for (ResultWindow* w : Results()) w->Stop();
  QMainWindow::closeEvent(event);
}

void Frame::BuildFileAndHelpMenus() {
  file_menu_ = menuBar()->addMenu(QStringLiteral("&File"));
  QAction* fresh = file_menu_->addAction(QStringLiteral("&New Control File"));
  fresh->setShortcut(QKeySequence::New);
  connect(fresh, &QAction::triggered, this, [this] { NewEditor(); });
  QAction* edit = file_menu_->addAction(QStringLiteral("&Edit Control File..."));
  edit->setShortcut(QKeySequence::Open);
  connect(edit, &QAction::triggered, this, [this] {
    const QString f = QFileDialog::getOpenFileName(this, QString(), QString(), Q(kRunFilter));
    if (!f.isEmpty()) OpenEditor(f);
  });
  QAction* genotypes = file_menu_->addAction(QStringLiteral("New Analysis from &Genotypes..."));
  connect(genotypes, &QAction::triggered, this, [this] { ShowImport(); });
  file_menu_->addSeparator();
  connect(file_menu_, &QMenu::aboutToShow, this, &Frame::FillRecentMenu);
  FillRecentMenu();

  QMenu* help = new QMenu(QStringLiteral("&Help"), this);
  menus_[QStringLiteral("&Help")] = help;
  QAction* readme = help->addAction(QStringLiteral("&README"));
  readme->setShortcut(QKeySequence::HelpContents);
  connect(readme, &QAction::triggered, this, [this] {
    if (!ShowReadme())
      FailureBox(QStringLiteral("The README could not be found beside the program."));
  });
}

void Frame::FillRecentMenu() {
  // The control files used last, newest first: each opens in the editor.
  for (QAction* a : recent_list_) {
    file_menu_->removeAction(a);
    a->deleteLater();
  }
  recent_list_.clear();
  int n = 1;
  for (const std::string& f : settings_.recent) {
    const QString file = QFile::decodeName(QByteArray::fromStdString(f));
    QAction* a = file_menu_->addAction(QStringLiteral("&%1 %2").arg(n++).arg(file));
    a->setData(file);
    connect(a, &QAction::triggered, this, [this, file] { OpenEditor(file); });
    recent_list_.push_back(a);
  }
}

void Frame::UseRecent(const QString& file) {
  SaveRecent(QFile::encodeName(ini_path_).toStdString(), settings_.recent,
             QFile::encodeName(QFileInfo(file).absoluteFilePath()).toStdString());
  FillRecentMenu();
}

void Frame::UpdateQueue() {
  queue_->setText(Q(QueueText(pending_.size())));
}

void Frame::BuildMenus() {
  for (std::string_view title : kMenuTitles) menus_[Q(title)] = menuBar()->addMenu(Q(title));
  for (const MenuItem& item : kMenuItems) {
    QMenu* menu = menus_[Q(item.menu)];
    QAction* action = menu->addAction(Q(item.text));
    action->setData(item.command);
    if (!item.accelerator.empty()) action->setShortcut(QKeySequence(Q(item.accelerator)));
    const int command = item.command;
    connect(action, &QAction::triggered, this, [this, command] { OnCommand(command); });
    actions_[item.command] = action;
    if (item.separator_after) menu->addSeparator();
  }
  QAction* show = actions_[kCmdShowMessages];
  show->setCheckable(true);
  show->setChecked(settings_.show_messages);
  connect(show, &QAction::toggled, this, &Frame::ToggleShowMessages);
  QMenu* window = menus_[Q(kMenuTitles[3])];
  connect(window, &QMenu::aboutToShow, this, &Frame::FillWindowMenu);
}

QAction* Frame::Action(int command) const {
  auto it = actions_.find(command);
  return it == actions_.end() ? nullptr : it->second;
}

QMenu* Frame::Menu(const QString& title) const {
  auto it = menus_.find(title);
  return it == menus_.end() ? nullptr : it->second;
}

QList<ResultWindow*> Frame::Results() const {
  QList<ResultWindow*> out;
  for (QMdiSubWindow* sw : area_->subWindowList())
    if (auto* w = qobject_cast<ResultWindow*>(sw)) out.push_back(w);
  return out;
}

ResultWindow* Frame::CurrentResult() const {
  return qobject_cast<ResultWindow*>(area_->currentSubWindow());
}

ResultWindow* Frame::FindResult(int window_id) const {
  for (ResultWindow* w : Results())
    if (w->Id() == window_id) return w;
  return nullptr;
}

void Frame::UpdateMenus() {
  // The child menu while a result window is open, the main menu otherwise.
  const bool child = !Results().isEmpty();
  for (const MenuItem& item : kMenuItems)
    if (item.child_only) actions_[item.command]->setVisible(child);
  menus_[Q(kMenuTitles[1])]->menuAction()->setVisible(child);
  menus_[Q(kMenuTitles[3])]->menuAction()->setVisible(child);

  ResultWindow* current = CurrentResult();
  actions_[kCmdStop]->setEnabled(current && current->Running());
  for (const MenuItem& item : kMenuItems) {
    if (item.slot == kNoSlot) continue;
    bool enabled = current && ResultsItemEnabled(item.slot, current->Flags());
    actions_[item.command]->setEnabled(enabled);
    const bool unfinished = enabled && item.slot >= 0 &&
                            current->Unfinished()[static_cast<std::size_t>(item.slot)] != 0;
    actions_[item.command]->setText(Q(ResultsItemText(item, unfinished)));
  }
}

void Frame::OnCommand(int command) {
  switch (command) {
    case kCmdRun:
      RunDialog(false);
      return;
    case kCmdLoadResults:
      RunDialog(true);
      return;
    case kCmdOpenFile:
      OpenFileDialog();
      return;
    case kCmdStop:
      if (ResultWindow* w = CurrentResult()) w->Stop();
      return;
    case kCmdAbout:
      ShowAbout();
      return;
    case kCmdExit:
      close();
      return;
    case kCmdShowMessages:
      return;  // handled by the check mark's toggle
    case kCmdSelectEditor:
      SelectEditorDialog();
      return;
    case kCmdCascade:
      area_->cascadeSubWindows();
      return;
    case kCmdTile:
      area_->tileSubWindows();
      return;
    case kCmdArrangeIcons:
      ArrangeIcons();
      return;
    default:
      break;
  }
  const MenuItem* item = FindMenuItem(command);
  if (!item || item->slot == kNoSlot) return;
  ResultWindow* w = CurrentResult();
  if (!w || !ResultsItemEnabled(item->slot, w->Flags())) return;
  OpenInEditor(QFile::decodeName(QByteArray::fromStdString(w->ReportPath(item->slot))));
}

void Frame::RunDialog(bool load_only) {
  QStringList files = QFileDialog::getOpenFileNames(this, QString(), QString(), Q(kRunFilter));
  if (!files.isEmpty()) RunFiles(files, load_only);
}

void Frame::RunFiles(const QStringList& files, bool load_only) {
  for (const QString& f : files) {
    pending_.push_back({f, load_only});
    UseRecent(f);
  }
  StartNext();
  UpdateQueue();
}

void Frame::StartNext() {
  while (!busy_ && !pending_.empty()) {
    Pending next = pending_.front();
    pending_.pop_front();
    const int id = counter_;
    ResultWindow* w = nullptr;
    try {
      w = new ResultWindow(id, next.file,
                           WindowTitle(counter_, QFile::encodeName(next.file).toStdString()));
    } catch (const std::bad_alloc&) {
      FailureBox(QStringLiteral("Failed to Allocate INFO data!"));
      continue;
    }
    ++counter_;
    if (!area_->addSubWindow(w)) {
      delete w;
      FailureBox(QStringLiteral("Failed in Creating Child Window"));
      continue;
    }
    connect(w, &QObject::destroyed, this,
            [this] { QTimer::singleShot(0, this, [this] { UpdateMenus(); }); });
    w->setWindowIcon(windowIcon());
    connect(w, &ResultWindow::OpenInEditorWanted, this, &Frame::OpenInEditor);
    // Each new window a step down and right of the last, as the desktop places them.
    const int step = 28 * ((id - 1) % 8);
    w->move(step, step);
    w->show();
    area_->setActiveSubWindow(w);
    w->BeginRun();
    busy_ = true;
    load_only_ = next.load_only;
    RunJob job{id, next.file, next.load_only, settings_.show_messages, w->StopRequest()};
    QMetaObject::invokeMethod(
        worker_, [worker = worker_, job] { worker->Run(job); }, Qt::QueuedConnection);
    UpdateMenus();
  }
}

void Frame::OnStatus() {
  int window_id = 0;
  const QString text = worker_->TakeStatus(window_id);
  if (ResultWindow* w = FindResult(window_id)) w->Pane()->SetStatus(text.toStdString());
}

void Frame::OnProgress() {
  int window_id = 0, done = 0, total = 0;
  worker_->TakeProgress(window_id, done, total);
  if (ResultWindow* w = FindResult(window_id)) w->SetProgress(done, total);
}

void Frame::OnFinished(int window_id, velk::gui::OutcomePtr outcome) {
  busy_ = false;
  load_only_ = false;
  if (ResultWindow* w = FindResult(window_id)) {
    w->Pane()->SetStatus(outcome->status);
    w->EndRun(*outcome);
    const int warnings = WarningCount(outcome->messages);
    const bool warned = warnings > 0 && !outcome->aborted && !outcome->stopped;
    ended_->setText(warned ? QFileInfo(w->ControlFile()).fileName() + QStringLiteral(": ") +
                                 QString::fromStdString(FinishedText(warnings))
                           : QString());
    if (end_populations_) w->Plot()->Show(0, true, 0);
    for (int k = 0; k < w->Tabs()->count(); ++k)
      if (w->Tabs()->tabText(k).compare(end_tab_, Qt::CaseInsensitive) == 0) w->Tabs()->setCurrentIndex(k);
  }
  UpdateMenus();
  StartNext();
  UpdateQueue();
  if (!Busy()) emit RunsIdle();
}

void Frame::OnMessageBox(const QString& text, const QString& title) {
  // Modal to the frame, but the run goes on to its end meanwhile.
  auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void Frame::OpenInEditor(const QString& path) {
  const QString editor = Q(settings_.editor);
  auto* process = new QProcess(this);
  process->setProgram(editor);
  process->setArguments({path});
  process->setStandardOutputFile(QProcess::nullDevice());
  process->setStandardErrorFile(QProcess::nullDevice());
  connect(process, &QProcess::errorOccurred, this,
          [this, process, editor, path](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart) return;
            EditorFailed(editor, path, QStringLiteral("could not be started"));
            process->deleteLater();
          });
  connect(process, &QProcess::finished, this,
          [this, process, editor, path](int code, QProcess::ExitStatus status) {
            if (status == QProcess::NormalExit && code != 0)
              EditorFailed(editor, path,
                           QStringLiteral("could not open the file (exit status %1)").arg(code));
            process->deleteLater();
          });
  process->start();
}

void Frame::EditorFailed(const QString& editor, const QString& path, const QString& why) {
  auto* box = new QMessageBox(
      QMessageBox::Warning, QStringLiteral("Error"),
      QStringLiteral("The text editor \"%1\" %2.\nThe file %3 is shown in the built-in viewer; "
                     "choose another editor with Select Text Editor.")
          .arg(editor, why, path),
      QMessageBox::Ok, this);
  box->setObjectName(QStringLiteral("EditorFailure"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
  ShowInViewer(path);
}

void Frame::ShowInViewer(const QString& path) {
  auto* viewer = new TextViewer;
  viewer->Load(path);
  auto* sw = area_->addSubWindow(viewer);
  sw->setObjectName(QStringLiteral("Viewer"));
  sw->setAttribute(Qt::WA_DeleteOnClose);
  sw->setWindowTitle(QFileInfo(path).fileName() + QStringLiteral(" (read only)"));
  sw->resize(kResultWidth, kResultHeight);
  sw->show();
  area_->setActiveSubWindow(sw);
}

EditorWindow* Frame::NewEditor() {
  auto* editor = new EditorWindow;
  area_->addSubWindow(editor);
  editor->setWindowIcon(windowIcon());
  connect(editor, &EditorWindow::RunWanted, this, [this](const QString& f) { RunFiles({f}, false); });
  connect(editor, &EditorWindow::FileUsed, this, &Frame::UseRecent);
  editor->NewFile();
  editor->show();
  area_->setActiveSubWindow(editor);
  return editor;
}

EditorWindow* Frame::OpenEditor(const QString& path) {
  EditorWindow* editor = NewEditor();
  if (!editor->OpenFile(path)) {
    editor->close();
    return nullptr;
  }
  return editor;
}

ImportDialog* Frame::ShowImport() {
  auto* dialog = new ImportDialog(this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &ImportDialog::ControlFileWritten, this, [this](const QString& f) { OpenEditor(f); });
  dialog->open();
  return dialog;
}

bool Frame::ShowReadme() {
  const QString here = QCoreApplication::applicationDirPath();
  const QStringList places{here + QStringLiteral("/README.md"), here + QStringLiteral("/../README.md"),
                           here + QStringLiteral("/../share/doc/velk/README.md"),
                           QStringLiteral(VELK_README_PATH)};
  for (const QString& place : places) {
    QFile file(place);
    if (!file.open(QIODevice::ReadOnly)) continue;
    auto* browser = new QTextBrowser;
    browser->setOpenExternalLinks(true);
    browser->setSearchPaths({QFileInfo(place).absolutePath()});
    browser->setMarkdown(QString::fromUtf8(file.readAll()));
    auto* sw = area_->addSubWindow(browser);
    sw->setObjectName(QStringLiteral("Readme"));
    sw->setAttribute(Qt::WA_DeleteOnClose);
    sw->setWindowTitle(QStringLiteral("README"));
    sw->resize(kResultWidth, kResultHeight + 100);
    sw->show();
    area_->setActiveSubWindow(sw);
    return true;
  }
  return false;
}

void Frame::dragEnterEvent(QDragEnterEvent* event) {
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile() && url.toLocalFile().endsWith(QStringLiteral(".ctl"), Qt::CaseInsensitive)) {
      event->acceptProposedAction();
      return;
    }
}

void Frame::dropEvent(QDropEvent* event) {
  QStringList files;
  for (const QUrl& url : event->mimeData()->urls())
    if (url.isLocalFile() && url.toLocalFile().endsWith(QStringLiteral(".ctl"), Qt::CaseInsensitive))
      files << url.toLocalFile();
  if (files.isEmpty()) return;
  event->acceptProposedAction();
  RunFiles(files, false);
}

void Frame::OpenFileDialog() {
  QString file = QFileDialog::getOpenFileName(this, QString(), QString(), Q(kOpenFilter));
  if (!file.isEmpty()) OpenInEditor(file);
}

void Frame::SelectEditorDialog() {
  QString file = QFileDialog::getOpenFileName(this, QString(), QString(), Q(kEditorFilter));
  if (!file.isEmpty()) ChooseEditor(file);
}

void Frame::ChooseEditor(const QString& editor) {
  if (SaveEditor(QFile::encodeName(ini_path_).toStdString(), editor.toStdString()))
    settings_.editor = editor.toStdString();
  else
    FailureBox(QStringLiteral("Did not write information to velk.ini."),
               QStringLiteral("Write Failure"));
}

void Frame::ToggleShowMessages(bool checked) {
  settings_.show_messages = checked;
  if (!SaveShowMessages(QFile::encodeName(ini_path_).toStdString(), checked))
    FailureBox(QStringLiteral("Did not write information to velk.ini."),
               QStringLiteral("Write Failure"));
}

void Frame::ShowAbout() {
  AboutBox* box = nullptr;
  try {
    box = new AboutBox(this);
  } catch (const std::exception&) {
    FailureBox(QStringLiteral("DEMO: About Dialog Creation Error!"));
    return;
  }
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->exec();
}

void Frame::ArrangeIcons() {
  // Minimised windows in rows along the bottom of the area, left to right.
  const QSize room = area_->viewport()->size();
  int x = 0, y = room.height();
  for (QMdiSubWindow* sw : area_->subWindowList()) {
    if (!sw->isMinimized()) continue;
    const QSize s = sw->size();
    if (x > 0 && x + s.width() > room.width()) {
      x = 0;
      y -= s.height();
    }
    sw->move(x, y - s.height());
    x += s.width();
  }
}

void Frame::FillWindowMenu() {
  QMenu* menu = menus_[Q(kMenuTitles[3])];
  for (QAction* a : window_list_) {
    menu->removeAction(a);
    a->deleteLater();
  }
  window_list_.clear();
  const QList<ResultWindow*> list = Results();
  if (list.isEmpty()) return;
  window_list_.push_back(menu->addSeparator());
  ResultWindow* current = CurrentResult();
  int n = 1;
  for (ResultWindow* w : list) {
    QString text =
        (n < 10 ? QStringLiteral("&%1 ") : QStringLiteral("%1 ")).arg(n) + w->windowTitle();
    QAction* a = menu->addAction(text);
    a->setCheckable(true);
    a->setChecked(w == current);
    QPointer<ResultWindow> target(w);
    connect(a, &QAction::triggered, this, [this, target] {
      if (target) area_->setActiveSubWindow(target);
    });
    window_list_.push_back(a);
    ++n;
  }
}

void Frame::FailureBox(const QString& text, const QString& title) {
  QMessageBox::warning(this, title, text);
}

}  // namespace velk::gui
