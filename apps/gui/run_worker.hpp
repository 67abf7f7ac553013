#pragma once
// The run driver's thread: runs one control file at a time, in the order the
// frame hands them over, and reports the status text and the outcome through
// queued signals.
#include <QList>
#include <QObject>
#include <QString>
#include <atomic>
#include <memory>

#include "core/run.hpp"

namespace velk::gui {

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

 signals:
  void StatusChanged(int window_id, const QString& text);
  void RunFinished(int window_id, const QList<int>& flags, const QString& output_base,
                   const QString& status, bool aborted);
  void MessageBoxWanted(const QString& text, const QString& title);
  void BeepWanted(int type);

 private:
  Process process_;  // what outlives a run: the random generators carry on
};

}  // namespace velk::gui
