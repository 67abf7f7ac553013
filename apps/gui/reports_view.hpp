#pragma once
// The Reports tab: the run's report files, each shown in the built-in viewer
// when chosen, and "Open in editor" for the outside text editor.
#include <QListWidget>
#include <QPushButton>
#include <QWidget>
#include <array>
#include <string>

#include "core/run.hpp"
#include "text_viewer.hpp"

namespace velk::gui {

class ReportsView : public QWidget {
  Q_OBJECT
 public:
  explicit ReportsView(QWidget* parent = nullptr);
  // Lists the control file and every report whose flag is 1.
  void SetReports(const std::string& control_file, const std::string& output_base,
                  const std::array<int, kResultSlots>& flags);
  QListWidget* List() const { return list_; }
  TextViewer* Viewer() const { return viewer_; }

 signals:
  void OpenInEditorWanted(const QString& path);

 private:
  QListWidget* list_;
  TextViewer* viewer_;
  QPushButton* open_;
};

}  // namespace velk::gui
