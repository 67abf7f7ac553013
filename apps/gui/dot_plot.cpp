#include "dot_plot.hpp"

#include <QFileInfo>
#include <QHelpEvent>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace velk::gui {

namespace {

constexpr int kMargin = 10;
constexpr int kLegendSwatch = 24;
constexpr QColor kDotColour(20, 20, 20);
constexpr QColor kBandColour(236, 240, 246);
constexpr QColor kGridColour(215, 215, 215);

struct KindFields {
  IntervalKind kind;
  const char* label;
  double PlotRow::*lo;
  double PlotRow::*hi;
};
constexpr KindFields kKinds[kIntervalKinds] = {
    {IntervalKind::kNormal, "Normal interval", &PlotRow::normal_lo, &PlotRow::normal_hi},
    {IntervalKind::kLikelihood, "Likelihood interval", &PlotRow::likelihood_lo, &PlotRow::likelihood_hi},
};

QString Q(const std::string& s) {
  return QString::fromStdString(s);
}

QString Share(double v) {
  return std::isnan(v) ? QStringLiteral("-") : QString::number(v, 'f', 4);
}

}  // namespace

// Where everything goes at one size.
struct DotPlot::Frame {
  QFont font, bold;
  int row_h = 18;
  int title_y = 0, legend_y = 0, ticks_y = 0, rows_y = 0;
  int label_l = 0, label_w = 0, plot_l = 0, plot_r = 0;
  int region_l = 0;  // where the populations' region names begin, right of the axis
  double axis_max = 1, step = 0.1;
  double X(double v) const { return plot_l + (plot_r - plot_l) * std::clamp(v, 0.0, axis_max) / axis_max; }
  int RowCentre(int row) const { return rows_y + row * row_h + row_h / 2; }
};

DotPlot::DotPlot(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
}

void DotPlot::SetRows(std::vector<PlotRow> rows, const QString& title, bool grouped) {
  rows_ = std::move(rows);
  title_ = title;
  grouped_ = grouped;
  setMinimumHeight(HeightFor(std::max(width(), 400)));
  updateGeometry();
  update();
}

bool DotPlot::Shows(IntervalKind kind) const {
  const KindFields& k = kKinds[static_cast<int>(kind)];
  return std::any_of(rows_.begin(), rows_.end(), [&k](const PlotRow& r) { return !std::isnan(r.*k.lo); });
}

QColor DotPlot::Colour(IntervalKind kind) {
  return kind == IntervalKind::kNormal ? QColor(31, 110, 190) : QColor(225, 100, 15);
}

DotPlot::Frame DotPlot::Layout(QSize size) const {
  Frame f;
  f.font = font();
  f.bold = f.font;
  f.bold.setBold(true);
  const QFontMetrics fm(f.font), fb(f.bold);
  f.row_h = std::max(fm.height() + 4, 16);
  f.title_y = kMargin;
  f.legend_y = f.title_y + fb.height() + 6;
  f.ticks_y = f.legend_y + fm.height() + 8;
  f.rows_y = f.ticks_y + fm.height() + 6;
  int widest = 0;
  for (const PlotRow& r : rows_) widest = std::max(widest, fm.horizontalAdvance(Q(r.name)));
  f.label_l = kMargin;
  f.label_w = std::min(widest + 4, size.width() * 2 / 5);  // room for rounding in the advances
  f.plot_l = f.label_l + f.label_w + 12;
  int regions = 0;
  for (const PlotRow& r : rows_) regions = std::max(regions, fm.horizontalAdvance(Q(r.region)));
  // Right of the axis: half its last tick's number and, for populations, their regions.
  const int half_tick = fm.horizontalAdvance(QStringLiteral("0.00")) / 2;
  const int right = half_tick + (regions > 0 ? 10 + std::min(regions + 4, size.width() / 3) : 0);
  f.plot_r = std::max(f.plot_l + 50, size.width() - kMargin - right);
  f.region_l = f.plot_r + half_tick + 10;
  double top = 0.01;
  for (const PlotRow& r : rows_) {
    top = std::max(top, r.estimate);
    for (const KindFields& k : kKinds)
      if (!std::isnan(r.*k.hi)) top = std::max(top, r.*k.hi);
  }
  f.step = TickStep(std::min(top, 1.0), 8);
  f.axis_max = std::min(1.0, std::ceil(top / f.step - 1e-9) * f.step);
  if (f.axis_max < top) f.axis_max = top;
  return f;
}

int DotPlot::HeightFor(int width) const {
  const Frame f = Layout(QSize(width, 0));
  return f.rows_y + static_cast<int>(rows_.size()) * f.row_h + kMargin;
}

QStringList DotPlot::Labels(int width) const {
  const Frame f = Layout(QSize(width, 0));
  const QFontMetrics fm(f.font);
  QStringList labels;
  for (const PlotRow& r : rows_) labels << fm.elidedText(Q(r.name), Qt::ElideRight, f.label_w);
  return labels;
}

QPoint DotPlot::LegendSwatch(QSize size, IntervalKind kind) const {
  const Frame f = Layout(size);
  const QFontMetrics fm(f.font);
  int x = f.plot_l;
  x += 10 + fm.horizontalAdvance(QStringLiteral("Estimate")) + 16;
  for (const KindFields& k : kKinds) {
    if (!Shows(k.kind)) continue;
    if (k.kind == kind) return {x + kLegendSwatch / 2, f.legend_y + fm.height() / 2};
    x += kLegendSwatch + 6 + fm.horizontalAdvance(QString::fromUtf8(k.label)) + 16;
  }
  return {-1, -1};
}

QPoint DotPlot::WhiskerArm(QSize size, int row, IntervalKind kind) const {
  const Frame f = Layout(size);
  const PlotRow& r = rows_[static_cast<std::size_t>(row)];
  const KindFields& k = kKinds[static_cast<int>(kind)];
  const bool both = Shows(IntervalKind::kNormal) && Shows(IntervalKind::kLikelihood);
  const int dy = both ? (kind == IntervalKind::kNormal ? -3 : 3) : 0;
  return {static_cast<int>((f.X(r.*k.lo) + f.X(r.estimate)) / 2), f.RowCentre(row) + dy};
}

void DotPlot::PaintLegend(QPainter& p, const Frame& f, QSize size) const {
  const QFontMetrics fm(f.font);
  // The dot, then each interval kind the rows hold.
  const int ly = f.legend_y + fm.height() / 2;
  int x = f.plot_l;
  p.setPen(Qt::NoPen);
  p.setBrush(kDotColour);
  p.drawEllipse(QPointF(x + 4, ly), 4, 4);
  p.setPen(Qt::black);
  p.drawText(x + 10, f.legend_y + fm.ascent(), QStringLiteral("Estimate"));
  for (const KindFields& k : kKinds) {
    if (!Shows(k.kind)) continue;
    const QPoint s = LegendSwatch(size, k.kind);
    p.setPen(QPen(Colour(k.kind), 3, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(s.x() - kLegendSwatch / 2, s.y() + 0.5), QPointF(s.x() + kLegendSwatch / 2, s.y() + 0.5));
    p.setPen(Qt::black);
    p.drawText(s.x() + kLegendSwatch / 2 + 6, f.legend_y + fm.ascent(), QString::fromUtf8(k.label));
  }
}

void DotPlot::PaintBands(QPainter& p, const Frame& f, QSize size) const {
  const QFontMetrics fm(f.font);
  // A band for the populations of one region, with the region's name.
  const int n = static_cast<int>(rows_.size());
  bool shade = false;
  for (int a = 0; a < n;) {
    int b = a;
    while (b < n && rows_[static_cast<std::size_t>(b)].group == rows_[static_cast<std::size_t>(a)].group) ++b;
    const QRect band(f.label_l - 4, f.rows_y + a * f.row_h, size.width() - f.label_l - kMargin + 8,
                     (b - a) * f.row_h);
    if (shade) p.fillRect(band, kBandColour);
    p.setPen(QColor(110, 110, 110));
    p.drawText(QRect(f.region_l, band.top(), size.width() - f.region_l - kMargin, f.row_h),
               Qt::AlignLeft | Qt::AlignVCenter,
               fm.elidedText(Q(rows_[static_cast<std::size_t>(a)].region), Qt::ElideRight,
                             size.width() - f.region_l - kMargin));
    shade = !shade;
    a = b;
  }
}

void DotPlot::Paint(QPainter& p, QSize size) const {
  const Frame f = Layout(size);
  const QFontMetrics fm(f.font);
  p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
  p.setRenderHint(QPainter::Antialiasing);
  p.setFont(f.bold);
  p.setPen(Qt::black);
  p.drawText(QRect(kMargin, f.title_y, size.width() - 2 * kMargin, f.row_h), Qt::AlignLeft | Qt::AlignVCenter,
             title_);
  p.setFont(f.font);

  PaintLegend(p, f, size);
  const int n = static_cast<int>(rows_.size());
  const int bottom = f.rows_y + n * f.row_h;
  if (grouped_) PaintBands(p, f, size);

  // The axis: round ticks at the top, grid lines down through the rows.
  for (int t = 0; t * f.step <= f.axis_max + 1e-9; ++t) {
    const double v = t * f.step, tx = f.X(v);
    p.setPen(QPen(kGridColour, 1));
    p.drawLine(QPointF(tx, f.rows_y - 2), QPointF(tx, bottom));
    p.setPen(Qt::black);
    const QString label = QString::number(v, 'g', 4);
    p.drawText(QPointF(tx - fm.horizontalAdvance(label) / 2.0, f.ticks_y + fm.ascent()), label);
  }
  p.drawText(QRect(kMargin, f.ticks_y, f.label_w, fm.height()), Qt::AlignLeft,
             QStringLiteral("Proportion"));
  if (f.region_l + 20 < size.width() && std::any_of(rows_.begin(), rows_.end(), [](const PlotRow& r) {
        return !r.region.empty();
      }))
    p.drawText(QPointF(f.region_l, f.ticks_y + fm.ascent()), QStringLiteral("Region"));

  const bool both = Shows(IntervalKind::kNormal) && Shows(IntervalKind::kLikelihood);
  const QStringList labels = Labels(size.width());
  for (int i = 0; i < n; ++i) {
    const PlotRow& r = rows_[static_cast<std::size_t>(i)];
    const int cy = f.RowCentre(i);
    // Out of the bands, each population names its region at the row's end.
    if (!grouped_ && !r.region.empty()) {
      p.setPen(QColor(110, 110, 110));
      p.drawText(QRect(f.region_l, cy - f.row_h / 2, size.width() - f.region_l - kMargin, f.row_h),
                 Qt::AlignLeft | Qt::AlignVCenter,
                 fm.elidedText(Q(r.region), Qt::ElideRight, size.width() - f.region_l - kMargin));
    }
    p.setPen(Qt::black);
    p.drawText(QRect(f.label_l, cy - f.row_h / 2, f.label_w, f.row_h), Qt::AlignRight | Qt::AlignVCenter,
               labels[i]);
    for (const KindFields& k : kKinds) {
      if (std::isnan(r.*k.lo)) continue;
      const double y = cy + (both ? (k.kind == IntervalKind::kNormal ? -3 : 3) : 0) + 0.5;
      p.setPen(QPen(Colour(k.kind), 3, Qt::SolidLine, Qt::FlatCap));
      p.drawLine(QPointF(f.X(r.*k.lo), y), QPointF(f.X(r.*k.hi), y));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(kDotColour);
    p.drawEllipse(QPointF(f.X(r.estimate), cy + 0.5), 3.5, 3.5);
  }
}

bool DotPlot::Save(const QString& path, QSize size) const {
  if (QFileInfo(path).suffix().compare(QLatin1String("svg"), Qt::CaseInsensitive) == 0) {
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(title_);
    QPainter painter;
    if (!painter.begin(&svg)) return false;
    Paint(painter, size);
    return painter.end();
  }
  QImage image(size, QImage::Format_ARGB32);
  {
    QPainter painter(&image);
    Paint(painter, size);
  }
  return image.save(path, "PNG");
}

QString DotPlot::ToolTip(int row) const {
  const PlotRow& r = rows_[static_cast<std::size_t>(row)];
  QString text = Q(r.name);
  if (!r.region.empty()) text += QStringLiteral(" (%1)").arg(Q(r.region));
  text += QStringLiteral("\nEstimate %1").arg(Share(r.estimate));
  for (const KindFields& k : kKinds)
    if (!std::isnan(r.*k.lo))
      text += QStringLiteral("\n%1 %2 to %3").arg(QString::fromUtf8(k.label), Share(r.*k.lo), Share(r.*k.hi));
  return text;
}

QSize DotPlot::sizeHint() const {
  return {800, HeightFor(800)};
}

QSize DotPlot::minimumSizeHint() const {
  return {300, HeightFor(300)};
}

void DotPlot::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  Paint(painter, size());
}

bool DotPlot::event(QEvent* e) {
  if (e->type() == QEvent::ToolTip) {
    const auto* help = static_cast<QHelpEvent*>(e);
    const Frame f = Layout(size());
    const int row = (help->pos().y() - f.rows_y) / f.row_h;
    if (help->pos().y() >= f.rows_y && row < static_cast<int>(rows_.size()))
      QToolTip::showText(help->globalPos(), ToolTip(row), this);
    else
      QToolTip::hideText();
    return true;
  }
  if (e->type() == QEvent::Resize) setMinimumHeight(HeightFor(width()));
  return QWidget::event(e);
}

}  // namespace velk::gui
