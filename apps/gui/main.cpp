// velk-gui: the window shell. Control files named on the command line are run
// at start, as if chosen with Run.
//   velk-gui [--edit FILE.ctl] [--tab NAME] [FILE.ctl...]
// --edit opens a control file in the editor; --tab turns each result window to
// the tab NAME (Status, Estimates, Plot, Messages, Reports) when its run ends.
#include <QApplication>
#include <QMessageBox>
#include <exception>
#include <memory>

#include "frame.hpp"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("velk"));
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
    else
      files << args[k];
  }
  if (!files.isEmpty()) frame->RunFiles(files, false);
  for (const QString& f : edits) frame->OpenEditor(f);
  return QApplication::exec();
}
