#include "control_highlighter.hpp"

#include <QRegularExpression>

namespace velk::gui {

namespace {

// The first word after the "*" of a header line, in lower case ("" when none).
QString HeaderWord(const QString& text) {
  static const QRegularExpression word(QStringLiteral("[A-Za-z]+"));
  QRegularExpressionMatchIterator it = word.globalMatch(text);
  while (it.hasNext()) {
    const QString w = it.next().captured().toLower();
    for (const char* key : {"esti", "simu", "opti", "para", "file", "char", "popu", "regi", "run", "end"})
      if (w.startsWith(QLatin1String(key))) return w;
  }
  return {};
}

}  // namespace

ControlHighlighter::ControlHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
  comment_.setForeground(QColor(110, 110, 110));
  comment_.setFontItalic(true);
  section_.setForeground(QColor(0, 0, 170));
  section_.setFontWeight(QFont::Bold);
  heading_.setForeground(QColor(0, 120, 120));
  keyword_.setForeground(QColor(140, 0, 140));
  number_.setForeground(QColor(170, 80, 0));
}

void ControlHighlighter::highlightBlock(const QString& text) {
  int state = previousBlockState() < 0 ? kBeforeHeader : previousBlockState();
  const QString trimmed = text.trimmed();
  if (trimmed.startsWith(QLatin1Char('*'))) {
    const QString word = HeaderWord(trimmed.mid(1));
    if (state == kBeforeHeader) {
      if (word.startsWith(QLatin1String("esti")) || word.startsWith(QLatin1String("simu"))) {
        setFormat(0, static_cast<int>(text.size()), section_);
        state = kSentences;
      } else {
        setFormat(0, static_cast<int>(text.size()), comment_);
      }
    } else {
      setFormat(0, static_cast<int>(text.size()), section_);
      if (word.startsWith(QLatin1String("opti")) || word.startsWith(QLatin1String("para")) ||
          word.startsWith(QLatin1String("file")))
        state = kSentences;
      else if (word.startsWith(QLatin1String("char")) || word.startsWith(QLatin1String("popu")) ||
               word.startsWith(QLatin1String("regi")))
        state = kTables;
      else if (word == QLatin1String("end"))
        state = kIgnored;
    }
    setCurrentBlockState(state);
    return;
  }
  setCurrentBlockState(state);
  if (state == kBeforeHeader || state == kIgnored || text.startsWith(QLatin1Char('\\')) ||
      text.startsWith(QLatin1Char('/'))) {
    setFormat(0, static_cast<int>(text.size()), comment_);
    return;
  }
  static const QRegularExpression number(QStringLiteral("[-+]?\\d+(\\.\\d*)?([eE][-+]?\\d+)?"));
  for (auto it = number.globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    setFormat(static_cast<int>(m.capturedStart()), static_cast<int>(m.capturedLength()), number_);
  }
  if (state == kSentences) {
    const qsizetype colon = text.indexOf(QLatin1Char(':'));
    if (colon > 0) setFormat(0, static_cast<int>(colon), keyword_);
  } else {
    static const QRegularExpression bracket(QStringLiteral("\\[[^\\]]*\\]"));
    for (auto it = bracket.globalMatch(text); it.hasNext();) {
      const QRegularExpressionMatch m = it.next();
      setFormat(static_cast<int>(m.capturedStart()), static_cast<int>(m.capturedLength()), heading_);
    }
  }
}

}  // namespace velk::gui
