#pragma once
// The run driver's thread: runs one control file at a time, in the order the
// frame hands them over, and reports the status text and the outcome through
// queued signals.
#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "core/run.hpp"
#include "run/velk.hpp"

namespace velk::gui {

// A run's outcome as it crosses from the run thread to the frame.
using OutcomePtr = std::shared_ptr<const Outcome>;

struct RunJob {
  int window_id = 0;
  QString control_file;
  bool load_only = false;
  bool show_messages = false;
  std::shared_ptr<std::atomic<bool>> stop;  // the window's stop request
};

class RunWorker : public QObject {
  Q_OBJECT
 public:
  // Runs the job on the calling thread (the worker's).
  void Run(const RunJob& job);
  // Keeps the newest status text of a run and signals it, once, until the
  // frame takes it: a run that changes its status faster than the frame paints
  // cannot flood the frame's queue.
  void PostStatus(int window_id, const std::string& text);
  // The newest status text and its window (called on the frame's thread).
  QString TakeStatus(int& window_id);
  // The same for the resampling loop's progress.
  void PostProgress(int window_id, int done, int total);
  void TakeProgress(int& window_id, int& done, int& total);

 signals:
  // A new status text waits to be taken.
  void StatusChanged();
  void ProgressChanged();
  void RunFinished(int window_id, velk::gui::OutcomePtr outcome);
  void MessageBoxWanted(const QString& text, const QString& title);
  void BeepWanted(int type);

 private:
  Process process_;  // what outlives a run: the random generators carry on
  std::mutex status_mutex_;
  QString status_;
  int status_window_ = 0;
  bool status_waiting_ = false;
  int progress_window_ = 0, progress_done_ = 0, progress_total_ = 0;
  bool progress_waiting_ = false;
};

}  // namespace velk::gui

Q_DECLARE_METATYPE(velk::gui::OutcomePtr)
