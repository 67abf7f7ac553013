#include "result_window.hpp"

#include <QCloseEvent>
#include <QFile>
#include <QProgressBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "estimates_view.hpp"
#include "menus.hpp"
#include "message_groups.hpp"
#include "messages_view.hpp"
#include "plot_view.hpp"
#include "reports_view.hpp"
#include "window_title.hpp"

namespace velk::gui {

ResultWindow::ResultWindow(int id, const QString& control_file, const std::string& title,
                           QWidget* parent)
    : QMdiSubWindow(parent),
      id_(id),
      title_(title),
      control_file_(control_file),
      stop_(std::make_shared<std::atomic<bool>>(false)),
      pane_(new TextPane),
      progress_(new QProgressBar),
      tabs_(new QTabWidget),
      estimates_(new EstimatesView),
      plot_(new PlotView),
      messages_(new MessagesView),
      reports_(new ReportsView) {
  setObjectName(QStringLiteral("MDIClass"));
  setAttribute(Qt::WA_DeleteOnClose);
  auto* body = new QWidget;
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(progress_);
  layout->addWidget(tabs_);
  progress_->setTextVisible(true);
  progress_->hide();
  tabs_->addTab(pane_, QStringLiteral("Status"));
  tabs_->addTab(estimates_, QStringLiteral("Estimates"));
  tabs_->addTab(plot_, QStringLiteral("Plot"));
  tabs_->addTab(messages_, QStringLiteral("Messages"));
  tabs_->addTab(reports_, QStringLiteral("Reports"));
  setWidget(body);
  setWindowTitle(QString::fromStdString(title_));
  resize(kResultWidth, kResultHeight);
  connect(reports_, &ReportsView::OpenInEditorWanted, this, &ResultWindow::OpenInEditorWanted);
}

void ResultWindow::BeginRun() {
  running_ = true;
  stop_ = std::make_shared<std::atomic<bool>>(false);
  setWindowTitle(QString::fromStdString(RunningCaption(title_)));
}

void ResultWindow::SetProgress(int done, int total) {
  if (done == 0 || !clock_.isValid()) clock_.start();
  progress_->setRange(0, std::max(total, 1));
  progress_->setValue(std::min(done, total));
  double left = -1;
  if (done > 0 && total > done)
    left = static_cast<double>(clock_.elapsed()) / 1000.0 / done * (total - done);
  progress_->setFormat(QString::fromStdString(ProgressText(done, total, left)));
  progress_->show();
}

void ResultWindow::EndRun(const Outcome& outcome) {
  running_ = false;
  // The reports' flags, then the tables'.
  for (int k = 0; k < kReportSlots; ++k) flags_[static_cast<std::size_t>(k)] = outcome.flags[static_cast<std::size_t>(k)];
  for (int k = 0; k < kTableCount; ++k)
    flags_[static_cast<std::size_t>(kReportSlots + k)] = outcome.table_flags[static_cast<std::size_t>(k)];
  unfinished_ = outcome.unfinished;
  output_base_ = outcome.output_base;
  const int warnings = WarningCount(outcome.messages);
  setWindowTitle(QString::fromStdString(EndCaption(title_, outcome.aborted, outcome.stopped, warnings)));
  // The status text says so too, below the engine's last line.
  if (warnings > 0 && !outcome.aborted && !outcome.stopped)
    pane_->SetStatus(pane_->Status() + FinishedText(warnings) + "\r");
  estimates_->SetRows(outcome.estimates);
  plot_->SetResults(outcome.estimates, outcome.resample_units, outcome.resample_estimates);
  messages_->SetMessages(outcome.messages);
  reports_->SetReports(QFile::encodeName(control_file_).toStdString(), output_base_, flags_);
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
