// velk-gui: the window shell. Control files named on the command line are run
// at start, as if chosen with Run.
//   velk-gui [--edit FILE.ctl] [--tab NAME] [--plot populations] [FILE.ctl...]
//   velk-gui --export-plot OUT.svg|OUT.png [--plot regions|populations] [--size WxH] FILE.ctl
// --edit opens a control file in the editor; --tab turns each result window to
// the tab NAME (Status, Estimates, Plot, Messages, Reports) when its run ends;
// --plot populations has their Plot tabs show the populations.
// --export-plot writes the estimates plot of a finished run and opens no window.
#include <QApplication>
#include <QMessageBox>
#include <exception>
#include <memory>

#include "frame.hpp"
#include "plot_export.hpp"

int main(int argc, char** argv) {
  const bool export_plot = velk::gui::WantsExport(argc, argv);
  if (export_plot && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("velk"));
  if (export_plot) return velk::gui::ExportPlot(QApplication::arguments().mid(1));
  std::unique_ptr<velk::gui::Frame> frame;
  try {
    frame = std::make_unique<velk::gui::Frame>();
  } catch (const std::exception&) {
    QMessageBox::critical(nullptr, QStringLiteral("Error"),
                          QStringLiteral("MDI: InitializeApp failure!"));
    return 1;
  }
  frame->show();
  QStringList files, edits;
  const QStringList args = QApplication::arguments().mid(1);
  for (qsizetype k = 0; k < args.size(); ++k) {
    if (args[k] == QLatin1String("--edit") && k + 1 < args.size())
      edits << args[++k];
    else if (args[k] == QLatin1String("--tab") && k + 1 < args.size())
      frame->SetEndTab(args[++k]);
    else if (args[k] == QLatin1String("--plot") && k + 1 < args.size())
      frame->SetEndPlotPopulations(args[++k] == QLatin1String("populations"));
    else
      files << args[k];
  }
  if (!files.isEmpty()) frame->RunFiles(files, false);
  for (const QString& f : edits) frame->OpenEditor(f);
  return QApplication::exec();
}
