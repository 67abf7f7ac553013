#include "text_viewer.hpp"

#include <QFile>
#include <QFontDatabase>

namespace velk::gui {

namespace {
constexpr qint64 kMostShown = 32 << 20;
}

TextViewer::TextViewer(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

bool TextViewer::Load(const QString& path) {
  path_ = path;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    setPlainText(QStringLiteral("Could not read %1: %2.").arg(path, file.errorString()));
    return false;
  }
  QByteArray bytes = file.read(kMostShown);
  QString text = QString::fromLocal8Bit(bytes);
  text.remove(QLatin1Char('\r'));
  if (!file.atEnd())
    text += QStringLiteral("\n[Only the first %1 MB are shown; open the file in the editor for the rest.]")
                .arg(kMostShown >> 20);
  setPlainText(text);
  return true;
}

}  // namespace velk::gui
