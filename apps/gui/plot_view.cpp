#include "plot_view.hpp"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileDialog>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "dot_plot.hpp"
#include "estimate_text.hpp"

namespace velk::gui {

namespace {

QString Name(const std::string& s) {
  return QString::fromStdString(s).trimmed();
}

// Lays the chart out at its new size before it is painted.
void Settle(QChart* chart) {
  if (chart->layout()) chart->layout()->activate();
  QCoreApplication::sendPostedEvents(chart);
}

}  // namespace

double DefaultMinShare(PlotLevel level) {
  return level == PlotLevel::kPopulations ? 0.01 : 0.0;
}

void FillDotPlot(DotPlot& plot, const std::vector<EstimateRow>& rows, PlotLevel level, PlotOrder order,
                 double min_share) {
  const bool populations = level == PlotLevel::kPopulations;
  QString title = populations ? QStringLiteral("Population estimates") : QStringLiteral("Regional estimates");
  if (min_share > 0) title += QStringLiteral(" (above %1 %)").arg(min_share * 100, 0, 'g', 3);
  plot.SetRows(PlotRows(rows, level, order, min_share), title,
               populations && order == PlotOrder::kTableOrder);
}

bool SaveEstimatesPlot(const std::vector<EstimateRow>& rows, PlotLevel level, const QString& path, int width,
                       int height) {
  DotPlot plot;
  FillDotPlot(plot, rows, level, PlotOrder::kByEstimate, DefaultMinShare(level));
  return plot.Save(path, QSize(width, height > 0 ? height : plot.HeightFor(width)));
}

namespace {

// The shares the tab offers as a floor, as its box lists them.
constexpr double kShares[] = {0.0, 0.005, 0.01, 0.05};

int ShareIndex(double share) {
  for (int k = 0; k < 4; ++k)
    if (kShares[k] == share) return k;
  return 0;
}

}  // namespace

PlotView::PlotView(QWidget* parent)
    : QWidget(parent),
      pages_(new QStackedWidget),
      scroll_(new QScrollArea),
      dots_(new DotPlot),
      view_(new QChartView(new QChart)),
      mode_(new QComboBox),
      level_(new QComboBox),
      order_(new QComboBox),
      share_(new QComboBox),
      units_(new QComboBox),
      png_(new QPushButton(QStringLiteral("Save PNG..."))),
      svg_(new QPushButton(QStringLiteral("Save SVG..."))) {
  view_->setRenderHint(QPainter::Antialiasing);
  mode_->addItem(QStringLiteral("Estimates and intervals"));
  level_->addItems({QStringLiteral("Regions"), QStringLiteral("Populations")});
  order_->addItems({QStringLiteral("Largest first"), QStringLiteral("Table order")});
  share_->addItems({QStringLiteral("All units"), QStringLiteral("Above 0.5 %"), QStringLiteral("Above 1 %"),
                    QStringLiteral("Above 5 %")});
  scroll_->setWidget(dots_);
  scroll_->setWidgetResizable(true);
  scroll_->setBackgroundRole(QPalette::Base);
  pages_->addWidget(scroll_);
  pages_->addWidget(view_);
  auto* controls = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{mode_, level_, order_, share_, units_}) controls->addWidget(w);
  controls->addStretch();
  controls->addWidget(png_);
  controls->addWidget(svg_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(controls);
  layout->addWidget(pages_);
  units_->hide();
  for (QComboBox* box : {mode_, order_, share_, units_})
    connect(box, &QComboBox::currentIndexChanged, this, [this] { Redraw(); });
  // A new level brings its own floor: every region, populations above 1 %.
  connect(level_, &QComboBox::currentIndexChanged, this, [this](int populations) {
    const QSignalBlocker block(share_);
    share_->setCurrentIndex(
        ShareIndex(DefaultMinShare(populations ? PlotLevel::kPopulations : PlotLevel::kRegions)));
    Redraw();
  });
  auto save = [this](const QString& filter, bool svg) {
    const QString f = QFileDialog::getSaveFileName(this, QString(), QString(), filter);
    if (f.isEmpty()) return;
    if (!(svg ? SaveSvg(f) : SavePng(f)))
      QMessageBox::warning(this, QStringLiteral("Write Failure"),
                           QStringLiteral("Could not write %1.").arg(f));
  };
  connect(png_, &QPushButton::clicked, this,
          [save] { save(QStringLiteral("PNG images (*.png)"), false); });
  connect(svg_, &QPushButton::clicked, this,
          [save] { save(QStringLiteral("SVG drawings (*.svg)"), true); });
}

QChart* PlotView::Chart() const {
  return view_->chart();
}

void PlotView::SetResults(const std::vector<EstimateRow>& rows,
                          const std::vector<std::string>& units,
                          const std::vector<std::vector<double>>& resamples) {
  rows_ = rows;
  unit_names_ = units;
  resamples_ = resamples;
  const QSignalBlocker b1(mode_), b2(level_), b3(units_), b4(share_);
  while (mode_->count() > 1) mode_->removeItem(1);
  if (!unit_names_.empty()) mode_->addItem(QStringLiteral("Resample distribution of"));
  units_->clear();
  for (const std::string& u : unit_names_) units_->addItem(Name(u));
  const bool regions =
      std::any_of(rows_.begin(), rows_.end(), [](const EstimateRow& r) { return r.level > 0; });
  level_->setCurrentIndex(regions ? 0 : 1);
  level_->setEnabled(regions);
  share_->setCurrentIndex(ShareIndex(DefaultMinShare(regions ? PlotLevel::kRegions : PlotLevel::kPopulations)));
  Redraw();
}

void PlotView::Show(int mode, bool populations, int unit) {
  const QSignalBlocker b1(mode_), b2(level_), b3(units_), b4(share_);
  mode_->setCurrentIndex(std::clamp(mode, 0, mode_->count() - 1));
  if (level_->currentIndex() != (populations ? 1 : 0)) {
    level_->setCurrentIndex(populations ? 1 : 0);
    share_->setCurrentIndex(ShareIndex(DefaultMinShare(populations ? PlotLevel::kPopulations : PlotLevel::kRegions)));
  }
  units_->setCurrentIndex(unit);
  Redraw();
}

void PlotView::Redraw() {
  const bool distribution = mode_->currentIndex() == 1;
  for (QWidget* w : std::initializer_list<QWidget*>{level_, order_, share_}) w->setVisible(!distribution);
  units_->setVisible(distribution);
  pages_->setCurrentIndex(distribution ? 1 : 0);
  bool drawn = false;
  if (distribution) {
    RedrawDistribution();
    drawn = !view_->chart()->series().isEmpty();
  } else {
    FillDotPlot(*dots_, rows_, level_->currentIndex() == 1 ? PlotLevel::kPopulations : PlotLevel::kRegions,
                order_->currentIndex() == 1 ? PlotOrder::kTableOrder : PlotOrder::kByEstimate,
                kShares[std::clamp(share_->currentIndex(), 0, 3)]);
    drawn = !dots_->Rows().empty();
  }
  png_->setEnabled(drawn);
  svg_->setEnabled(drawn);
}

void PlotView::RedrawDistribution() {
  auto* chart = new QChart;
  chart->setAnimationOptions(QChart::NoAnimation);
  const int u = units_->currentIndex();
  if (u >= 0 && u < static_cast<int>(resamples_.size())) {
    const std::vector<double>& values = resamples_[static_cast<std::size_t>(u)];
    const Histogram h = MakeHistogram(values, 30);
    chart->setTitle(QStringLiteral("%1: estimates in %2 resamples")
                        .arg(units_->currentText())
                        .arg(values.size()));
    auto* upper = new QLineSeries;
    int most = 1;
    for (std::size_t k = 0; k < h.counts.size(); ++k) {
      const double a = h.low + h.width * static_cast<double>(k), b = a + h.width;
      upper->append(a, h.counts[k]);
      upper->append(b, h.counts[k]);
      most = std::max(most, h.counts[k]);
    }
    auto* area = new QAreaSeries(upper);
    upper->setParent(area);  // an area series does not own its boundary series
    area->setName(QStringLiteral("Resamples"));
    area->setColor(QColor(70, 110, 190));
    area->setBorderColor(QColor(30, 60, 130));
    chart->addSeries(area);
    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("Estimate"));
    x->setLabelFormat(QStringLiteral("%.3f"));
    const double right = h.low + h.width * static_cast<double>(h.counts.size());
    x->setRange(h.low - h.width, right + h.width);
    auto* y = new QValueAxis;
    y->setTitleText(QStringLiteral("Resamples"));
    y->setLabelFormat(QStringLiteral("%d"));
    y->setRange(0, most * 1.1);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    area->attachAxis(x);
    area->attachAxis(y);
    // The estimate from the data itself, where the run made one.
    for (const EstimateRow& r : rows_)
      if (Name(r.name) == units_->currentText() && !std::isnan(r.estimate)) {
        auto* mark = new QLineSeries;
        mark->setName(QStringLiteral("Estimate"));
        mark->append(r.estimate, 0);
        mark->append(r.estimate, most * 1.1);
        mark->setPen(QPen(QColor(200, 30, 30), 2));
        chart->addSeries(mark);
        mark->attachAxis(x);
        mark->attachAxis(y);
        break;
      }
  }
  QChart* old = view_->chart();
  view_->setChart(chart);
  delete old;
}

QSize PlotView::ImageSize() const {
  const QSize s = view_->size();
  if (pages_->currentIndex() == 0) {
    // Every row, at the width shown.
    const int w = scroll_->isVisible() ? std::max(scroll_->viewport()->width(), 600) : 1000;
    return {w, dots_->HeightFor(w)};
  }
  return s.width() >= 400 && s.height() >= 300 && view_->isVisible() ? s : QSize(1000, 600);
}

namespace {

// Draws the chart at `size` (an image's, not the window's), then gives it back
// the size it had.
void RenderAt(QChart* chart, QPainter& painter, QSize size) {
  const QSizeF was = chart->size();
  chart->resize(size);
  Settle(chart);
  chart->scene()->render(&painter, QRectF(QPointF(0, 0), size), QRectF(QPointF(0, 0), size));
  chart->resize(was);
}

}  // namespace

bool PlotView::SavePng(const QString& path) {
  const QSize size = ImageSize();
  if (pages_->currentIndex() == 0) return dots_->Save(path, size);
  QImage image(size, QImage::Format_ARGB32);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    RenderAt(view_->chart(), painter, size);
  }
  return image.save(path, "PNG");
}

bool PlotView::SaveSvg(const QString& path) {
  const QSize size = ImageSize();
  if (pages_->currentIndex() == 0) return dots_->Save(path, size);
  QSvgGenerator svg;
  svg.setFileName(path);
  svg.setSize(size);
  svg.setViewBox(QRect(QPoint(0, 0), size));
  svg.setTitle(view_->chart()->title());
  QPainter painter;
  if (!painter.begin(&svg)) return false;
  RenderAt(view_->chart(), painter, size);
  return painter.end();
}

}  // namespace velk::gui
