#include "result_window.hpp"

#include <QCloseEvent>
#include <QFile>

#include "menus.hpp"
#include "window_title.hpp"

namespace velk::gui {

ResultWindow::ResultWindow(int id, const QString& control_file, const std::string& title,
                           QWidget* parent)
    : QMdiSubWindow(parent),
      id_(id),
      title_(title),
      control_file_(control_file),
      stop_(std::make_shared<std::atomic<bool>>(false)),
      pane_(new TextPane(this)) {
  setObjectName(QStringLiteral("MDIClass"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWidget(pane_);
  setWindowTitle(QString::fromStdString(title_));
  resize(kResultWidth, kResultHeight);
}

void ResultWindow::BeginRun() {
  running_ = true;
  stop_ = std::make_shared<std::atomic<bool>>(false);
  setWindowTitle(QString::fromStdString(RunningCaption(title_)));
}

void ResultWindow::EndRun(const std::array<int, kReportSlots>& flags,
                          const std::string& output_base) {
  running_ = false;
  flags_ = flags;
  output_base_ = output_base;
  setWindowTitle(QString::fromStdString(FinishedCaption(title_)));
}

void ResultWindow::Stop() {
  if (running_) stop_->store(true);
}

std::string ResultWindow::ReportPath(int slot) const {
  return ResultsItemFile(slot, QFile::encodeName(control_file_).toStdString(), output_base_);
}

void ResultWindow::closeEvent(QCloseEvent* event) {
  // A run still going is asked to stop; its outcome finds no window and is dropped.
  Stop();
  QMdiSubWindow::closeEvent(event);
}

}  // namespace velk::gui
