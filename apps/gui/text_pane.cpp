#include "text_pane.hpp"

#include <QFontDatabase>
#include <QPainter>

#include "status_paint.hpp"

namespace velk::gui {

namespace {
// Margins in border widths (one pixel): 9 left and right, 3 top and bottom.
constexpr int kBorder = 1;
constexpr int kMarginX = 9 * kBorder;
constexpr int kMarginY = 3 * kBorder;
}  // namespace

TextPane::TextPane(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(false);
  setFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
}

void TextPane::SetStatus(const std::string& text) {
  status_ = text;
  update();
}

void TextPane::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Base));
  StatusColour c = ParseStatusColour(status_);
  painter.setPen(QColor(c.red, c.green, c.blue));
  painter.setFont(font());

  QRect area = rect().adjusted(kMarginX, kMarginY, -kMarginX, -kMarginY);
  if (area.isEmpty()) return;
  painter.setClipRect(area);

  const QFontMetrics fm(font());
  const int step = fm.lineSpacing();
  const int tab_stop = 8 * fm.averageCharWidth();
  auto width = [&fm](std::string_view piece) {
    return fm.horizontalAdvance(
        QString::fromUtf8(piece.data(), static_cast<qsizetype>(piece.size())));
  };

  // When the text is longer than the pane, its last lines show: the run's
  // latest progress and its final status are always in view.
  std::vector<std::string> lines = StatusLines(status_);
  std::size_t fit = static_cast<std::size_t>(std::max(1, area.height() / std::max(1, step)));
  std::size_t first = lines.size() > fit ? lines.size() - fit : 0;
  int y = area.top() + fm.ascent();
  for (std::size_t n = first; n < lines.size(); ++n, y += step)
    for (const TabSegment& seg : LayOutTabs(lines[n], width, tab_stop))
      painter.drawText(area.left() + seg.x, y, QString::fromUtf8(seg.text));
}

}  // namespace velk::gui
