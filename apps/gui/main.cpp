// velk-gui: the window shell. Control files named on the command line are run
// at start, as if chosen with Run.
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
  QStringList files = QApplication::arguments().mid(1);
  if (!files.isEmpty()) frame->RunFiles(files, false);
  return QApplication::exec();
}
