#pragma once
// A result window: one analysis, its status text in a text pane and the record
// of its run (control file, output base name, report flags, stop request).
#include <QMdiSubWindow>
#include <array>
#include <atomic>
#include <memory>
#include <string>

#include "core/run.hpp"
#include "text_pane.hpp"

namespace velk::gui {

class ResultWindow : public QMdiSubWindow {
  Q_OBJECT
 public:
  ResultWindow(int id, const QString& control_file, const std::string& title,
               QWidget* parent = nullptr);

  int Id() const { return id_; }
  const std::string& Title() const { return title_; }
  const QString& ControlFile() const { return control_file_; }
  const std::string& OutputBase() const { return output_base_; }
  const std::array<int, kReportSlots>& Flags() const { return flags_; }
  TextPane* Pane() const { return pane_; }
  bool Running() const { return running_; }
  const std::shared_ptr<std::atomic<bool>>& StopRequest() const { return stop_; }

  // Caption " - Running  " and a fresh stop request.
  void BeginRun();
  // Caption " - Finished " and the run's outcome kept in the record.
  void EndRun(const std::array<int, kReportSlots>& flags, const std::string& output_base);
  // Asks the run to stop at its next chance.
  void Stop();
  // The file that the Results item of `slot` opens.
  std::string ReportPath(int slot) const;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  int id_;
  std::string title_;
  QString control_file_;
  std::string output_base_;
  std::array<int, kReportSlots> flags_{};
  bool running_ = false;
  std::shared_ptr<std::atomic<bool>> stop_;
  TextPane* pane_;
};

}  // namespace velk::gui
