#pragma once
// The estimates as horizontal dot-and-whisker rows: a unit's name on the left,
// its estimate as a dot and each interval the run computed as a whisker in the
// colour its legend shows, on a proportion axis with round ticks. Populations
// of one region share a band with the region's name. The same drawing serves
// the window, PNG and SVG files.
#include <QColor>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <vector>

#include "plot_rows.hpp"

class QPainter;

namespace velk::gui {

enum class IntervalKind { kNormal, kLikelihood };
inline constexpr int kIntervalKinds = 2;

class DotPlot : public QWidget {
  Q_OBJECT
 public:
  explicit DotPlot(QWidget* parent = nullptr);
  void SetRows(std::vector<PlotRow> rows, const QString& title, bool grouped);
  const std::vector<PlotRow>& Rows() const { return rows_; }
  const QString& Title() const { return title_; }
  // Whether any row has an interval of this kind (its legend entry shows then).
  bool Shows(IntervalKind kind) const;

  // The height that holds every row at `width`, and the names as drawn there.
  int HeightFor(int width) const;
  QStringList Labels(int width) const;
  // Where the drawing at `size` puts a legend swatch and the middle of the left
  // arm of a row's whisker (for a look at the colours there).
  QPoint LegendSwatch(QSize size, IntervalKind kind) const;
  QPoint WhiskerArm(QSize size, int row, IntervalKind kind) const;

  void Paint(QPainter& painter, QSize size) const;
  // The whole plot at `size` as a PNG or (by its suffix) an SVG file.
  bool Save(const QString& path, QSize size) const;
  static QColor Colour(IntervalKind kind);

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool event(QEvent* event) override;

 private:
  struct Frame;
  Frame Layout(QSize size) const;
  void PaintLegend(QPainter& p, const Frame& f, QSize size) const;
  void PaintBands(QPainter& p, const Frame& f, QSize size) const;
  QString ToolTip(int row) const;
  std::vector<PlotRow> rows_;
  QString title_;
  bool grouped_ = false;
};

}  // namespace velk::gui
