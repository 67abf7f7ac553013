#include "frame.hpp"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
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
  QSize screen(1024, 768);
  if (QScreen* s = QGuiApplication::primaryScreen()) screen = s->size();
  FramePlacement place = PlaceFrame(screen.width(), screen.height());
  move(place.x, place.y);
  resize(place.width, place.height);

  area_ = new QMdiArea(this);
  setCentralWidget(area_);

  ini_path_ = IniFilePath();
  settings_ = LoadSettings(QFile::encodeName(ini_path_).toStdString());

  BuildMenus();
  connect(area_, &QMdiArea::subWindowActivated, this, [this] { UpdateMenus(); });

  worker_ = new RunWorker;
  worker_->moveToThread(&worker_thread_);
  connect(&worker_thread_, &QThread::finished, worker_, &QObject::deleteLater);
  connect(worker_, &RunWorker::StatusChanged, this, &Frame::OnStatus);
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
}

void Frame::closeEvent(QCloseEvent* event) {
  // Runs still waiting are dropped and the one going is asked to stop.
  pending_.clear();
  for (ResultWindow* w : Results()) w->Stop();
  QMainWindow::closeEvent(event);
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
  for (const QString& f : files) pending_.push_back({f, load_only});
  StartNext();
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

void Frame::OnFinished(int window_id, const QList<int>& flags, const QString& output_base,
                       const QString& status, bool) {
  busy_ = false;
  load_only_ = false;
  if (ResultWindow* w = FindResult(window_id)) {
    std::array<int, kReportSlots> f{};
    for (int k = 0; k < kReportSlots && k < flags.size(); ++k)
      f[static_cast<std::size_t>(k)] = flags[k];
    w->Pane()->SetStatus(status.toStdString());
    w->EndRun(f, output_base.toStdString());
  }
  UpdateMenus();
  StartNext();
  if (!Busy()) emit RunsIdle();
}

void Frame::OnMessageBox(const QString& text, const QString& title) {
  // Modal to the frame, but the run goes on to its end meanwhile.
  auto* box = new QMessageBox(QMessageBox::Warning, title, text, QMessageBox::Ok, this);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

bool Frame::OpenInEditor(const QString& path) {
  const QString editor = Q(settings_.editor);
  if (QProcess::startDetached(editor, {path})) return true;
  FailureBox(QStringLiteral("Could not start the text editor ") + editor + QStringLiteral("."));
  return false;
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
