#include "run_worker.hpp"

#include <QFile>
#include <exception>


namespace velk::gui {

namespace {

// The engine's platform for one run: everything it shows goes out as a signal
// to the frame's thread.
class GuiPlatform : public Platform {
 public:
  GuiPlatform(RunWorker& worker, int window_id) : worker_(worker), window_id_(window_id) {}
  void ShowStatus(const std::string& text) override { worker_.PostStatus(window_id_, text); }
  void Beep(int type) override { emit worker_.BeepWanted(type); }
  void ShowMessageBox(const std::string& text, const std::string& title) override {
    QString t = QString::fromStdString(text);
    t.replace(QLatin1String("\r\n"), QLatin1String("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    emit worker_.MessageBoxWanted(t, QString::fromStdString(title));
  }
  void ShowProgress(int done, int total) override {
    worker_.PostProgress(window_id_, done, total);
  }

 private:
  RunWorker& worker_;
  int window_id_;
};

}  // namespace

void RunWorker::PostStatus(int window_id, const std::string& text) {
  {
    std::lock_guard<std::mutex> lock(status_mutex_);
    status_ = QString::fromStdString(text);
    status_window_ = window_id;
    if (status_waiting_) return;
    status_waiting_ = true;
  }
  emit StatusChanged();
}

QString RunWorker::TakeStatus(int& window_id) {
  std::lock_guard<std::mutex> lock(status_mutex_);
  status_waiting_ = false;
  window_id = status_window_;
  return status_;
}

void RunWorker::PostProgress(int window_id, int done, int total) {
  {
    std::lock_guard<std::mutex> lock(status_mutex_);
    progress_window_ = window_id;
    progress_done_ = done;
    progress_total_ = total;
    if (progress_waiting_) return;
    progress_waiting_ = true;
  }
  emit ProgressChanged();
}

void RunWorker::TakeProgress(int& window_id, int& done, int& total) {
  std::lock_guard<std::mutex> lock(status_mutex_);
  progress_waiting_ = false;
  window_id = progress_window_;
  done = progress_done_;
  total = progress_total_;
}

void RunWorker::Run(const RunJob& job) {
  GuiPlatform platform(*this, job.window_id);
  Request request;
  request.control_file = QFile::encodeName(job.control_file).toStdString();
  request.load_only = job.load_only;
  request.show_messages = job.show_messages;
  request.stop_request = job.stop.get();
  auto out = std::make_shared<Outcome>();
  try {
    *out = Velk(process_, platform, request);
  } catch (const std::exception&) {
    // Nothing the engine lets escape should reach here; if something does,
    // the window still ends, aborted, and the next run can go.
    *out = Outcome{};
    out->aborted = true;
    out->status = "200000000CONTROL FILE:  " + request.control_file + "\r\rAnalysis Aborted\r";
  }
  emit RunFinished(job.window_id, out);
}

}  // namespace velk::gui
