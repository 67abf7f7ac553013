#pragma once
// A result window: one analysis, its status text in a text pane and the record
// of its run (control file, output base name, report flags, stop request),
// with tabs for its estimates, plots, messages and report files.
#include <QElapsedTimer>
#include <QMdiSubWindow>
#include <array>
#include <atomic>
#include <memory>
#include <string>

#include "core/run.hpp"
#include "run/velk.hpp"
#include "text_pane.hpp"

class QProgressBar;
class QTabWidget;

namespace velk::gui {

class EstimatesView;
class MessagesView;
class PlotView;
class ReportsView;

class ResultWindow : public QMdiSubWindow {
  Q_OBJECT
 public:
  ResultWindow(int id, const QString& control_file, const std::string& title,
               QWidget* parent = nullptr);

  int Id() const { return id_; }
  const std::string& Title() const { return title_; }
  const QString& ControlFile() const { return control_file_; }
  const std::string& OutputBase() const { return output_base_; }
  const std::array<int, kResultSlots>& Flags() const { return flags_; }
  // Per slot, 1 when the report or table exists but the run that wrote it did not finish.
  const std::array<int, kResultSlots>& Unfinished() const { return unfinished_; }
  TextPane* Pane() const { return pane_; }
  QTabWidget* Tabs() const { return tabs_; }
  QProgressBar* Progress() const { return progress_; }
  EstimatesView* Estimates() const { return estimates_; }
  PlotView* Plot() const { return plot_; }
  MessagesView* Messages() const { return messages_; }
  ReportsView* Reports() const { return reports_; }
  bool Running() const { return running_; }
  const std::shared_ptr<std::atomic<bool>>& StopRequest() const { return stop_; }

  // Caption " - Running  " and a fresh stop request.
  void BeginRun();
  // The resampling loop's progress: the bar shows the count and the time left.
  void SetProgress(int done, int total);
  // The caption that tells how the run ended, and the run's outcome kept in the
  // record and shown in the tabs.
  void EndRun(const Outcome& outcome);
  // Asks the run to stop at its next chance.
  void Stop();
  // The file that the Results item of `slot` opens.
  std::string ReportPath(int slot) const;

 signals:
  void OpenInEditorWanted(const QString& path);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  int id_;
  std::string title_;
  QString control_file_;
  std::string output_base_;
  std::array<int, kResultSlots> flags_{};
  std::array<int, kResultSlots> unfinished_{};
  bool running_ = false;
  std::shared_ptr<std::atomic<bool>> stop_;
  QElapsedTimer clock_;  // since the resampling began
  TextPane* pane_;
  QProgressBar* progress_;
  QTabWidget* tabs_;
  EstimatesView* estimates_;
  PlotView* plot_;
  MessagesView* messages_;
  ReportsView* reports_;
};

}  // namespace velk::gui
