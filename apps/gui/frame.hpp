#pragma once
// The frame window: the multiple-document area, the menus and accelerators, the
// run queue that feeds the run driver's thread, the settings and the editor.
#include <QList>
#include <QMainWindow>
#include <QStringList>
#include <QThread>
#include <deque>
#include <map>

#include "result_window.hpp"
#include "run_worker.hpp"
#include "settings.hpp"

class QMdiArea;
class QMenu;
class QAction;
class QLabel;

namespace velk::gui {

// The settings file: $VELK_INI_DIR/velk.ini when that variable is set,
// otherwise velk.ini in the user's configuration folder for the program.
QString IniFilePath();

class Frame : public QMainWindow {
  Q_OBJECT
 public:
  explicit Frame(QWidget* parent = nullptr);
  ~Frame() override;

  // Runs (or, load-only, loads) the control files one after another, each in a
  // result window of its own; files handed over while runs go wait their turn.
  void RunFiles(const QStringList& files, bool load_only);
  // Starts the text editor on `path` without waiting for it. An editor that
  // cannot be started, or that ends at once with a failure (a desktop opener
  // that finds no program, say), is reported in a message box and the file is
  // shown in the built-in viewer instead.
  void OpenInEditor(const QString& path);
  // Shows `path` read-only in a window of the frame.
  void ShowInViewer(const QString& path);
  // The control-file editor: a new file, or the file `path`.
  class EditorWindow* NewEditor();
  class EditorWindow* OpenEditor(const QString& path);
  // "New analysis from genotypes...": the import dialog, open without waiting;
  // the control file it writes opens in the editor.
  class ImportDialog* ShowImport();
  // Shows the README in a window of the frame (false when it cannot be found).
  bool ShowReadme();
  // The tab ("Estimates", "Plot", ...) a result window turns to when its run ends.
  void SetEndTab(const QString& tab) { end_tab_ = tab; }
  // The Plot tab of each run that ends shows its populations (true) or regions.
  void SetEndPlotPopulations(bool populations) { end_populations_ = populations; }
  // Makes `editor` the text editor and writes it to the settings file.
  void ChooseEditor(const QString& editor);

  QMdiArea* Area() const { return area_; }
  QAction* Action(int command) const;
  QMenu* Menu(const QString& title) const;
  QList<ResultWindow*> Results() const;
  ResultWindow* CurrentResult() const;
  QMenu* FileMenu() const { return file_menu_; }
  QLabel* QueueLabel() const { return queue_; }
  // The status bar's word on the run that ended last, when it gave warnings.
  QLabel* EndedLabel() const { return ended_; }
  bool Busy() const { return busy_ || !pending_.empty(); }
  const Settings& CurrentSettings() const { return settings_; }

 signals:
  // Every run handed over has ended.
  void RunsIdle();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildMenus();
  void UpdateMenus();
  void OnCommand(int command);
  void StartNext();
  void OnStatus();
  void OnProgress();
  void OnFinished(int window_id, velk::gui::OutcomePtr outcome);
  void EditorFailed(const QString& editor, const QString& path, const QString& why);
  void UseRecent(const QString& file);
  void FillRecentMenu();
  void UpdateQueue();
  void BuildFileAndHelpMenus();
  void OnMessageBox(const QString& text, const QString& title);
  void RunDialog(bool load_only);
  void OpenFileDialog();
  void SelectEditorDialog();
  void ToggleShowMessages(bool checked);
  void ShowAbout();
  void ArrangeIcons();
  void FillWindowMenu();
  ResultWindow* FindResult(int window_id) const;
  void FailureBox(const QString& text, const QString& title = QStringLiteral("Error"));

  struct Pending {
    QString file;
    bool load_only = false;
  };

  QMdiArea* area_ = nullptr;
  std::map<int, QAction*> actions_;
  std::map<QString, QMenu*> menus_;
  QList<QAction*> window_list_;
  QMenu* file_menu_ = nullptr;
  QList<QAction*> recent_list_;
  QLabel* queue_ = nullptr;
  QLabel* ended_ = nullptr;
  QString end_tab_;
  bool end_populations_ = false;
  QString ini_path_;
  Settings settings_;
  int counter_ = 1;  // result windows created so far, plus one
  std::deque<Pending> pending_;
  bool busy_ = false;
  bool load_only_ = false;  // set only while a Load Results List run goes
  QThread worker_thread_;
  RunWorker* worker_ = nullptr;
};

}  // namespace velk::gui
