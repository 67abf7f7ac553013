#include "plot_view.hpp"

#include <QAreaSeries>
#include <QBarCategoryAxis>
#include <QBoxPlotSeries>
#include <QBoxSet>
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
#include <QScatterSeries>
#include <QSvgGenerator>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

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

double Or(double v, double fallback) {
  return std::isnan(v) ? fallback : v;
}

}  // namespace

PlotView::PlotView(QWidget* parent)
    : QWidget(parent),
      view_(new QChartView(new QChart)),
      mode_(new QComboBox),
      level_(new QComboBox),
      units_(new QComboBox),
      png_(new QPushButton(QStringLiteral("Save PNG..."))),
      svg_(new QPushButton(QStringLiteral("Save SVG..."))) {
  view_->setRenderHint(QPainter::Antialiasing);
  mode_->addItem(QStringLiteral("Estimates and intervals"));
  level_->addItems({QStringLiteral("Regions"), QStringLiteral("Populations")});
  auto* controls = new QHBoxLayout;
  controls->addWidget(mode_);
  controls->addWidget(level_);
  controls->addWidget(units_);
  controls->addStretch();
  controls->addWidget(png_);
  controls->addWidget(svg_);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(controls);
  layout->addWidget(view_);
  units_->hide();
  for (QComboBox* box : {mode_, level_, units_})
    connect(box, &QComboBox::currentIndexChanged, this, [this] { Redraw(); });
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
  const QSignalBlocker b1(mode_), b2(level_), b3(units_);
  while (mode_->count() > 1) mode_->removeItem(1);
  if (!unit_names_.empty()) mode_->addItem(QStringLiteral("Resample distribution of"));
  units_->clear();
  for (const std::string& u : unit_names_) units_->addItem(Name(u));
  const bool regions =
      std::any_of(rows_.begin(), rows_.end(), [](const EstimateRow& r) { return r.level > 0; });
  level_->setCurrentIndex(regions ? 0 : 1);
  level_->setEnabled(regions);
  Redraw();
}

void PlotView::Show(int mode, bool populations, int unit) {
  const QSignalBlocker b1(mode_), b2(level_), b3(units_);
  mode_->setCurrentIndex(std::clamp(mode, 0, mode_->count() - 1));
  level_->setCurrentIndex(populations ? 1 : 0);
  units_->setCurrentIndex(unit);
  Redraw();
}

void PlotView::Redraw() {
  auto* chart = new QChart;
  chart->setAnimationOptions(QChart::NoAnimation);
  const bool distribution = mode_->currentIndex() == 1;
  level_->setVisible(!distribution);
  units_->setVisible(distribution);

  if (!distribution) {
    const bool populations = level_->currentIndex() == 1;
    std::vector<const EstimateRow*> shown;
    for (const EstimateRow& r : rows_)
      if ((r.level == 0) == populations && !std::isnan(r.estimate)) shown.push_back(&r);
    chart->setTitle(populations ? QStringLiteral("Population estimates")
                                : QStringLiteral("Regional estimates"));
    QStringList names;
    for (const EstimateRow* r : shown) names << Name(r->name);
    // One box a unit: its estimate as the line across, the interval as the whiskers.
    struct Kind {
      const char* label;
      double EstimateRow::*lo;
      double EstimateRow::*hi;
    };
    const Kind kinds[] = {
        {"Normal interval", &EstimateRow::normal_lo, &EstimateRow::normal_hi},
        {"Likelihood interval", &EstimateRow::likelihood_lo, &EstimateRow::likelihood_hi}};
    double top = 0.05;
    int series = 0;
    for (const Kind& k : kinds) {
      if (std::none_of(shown.begin(), shown.end(),
                       [&k](const EstimateRow* r) { return !std::isnan(r->*k.lo); }))
        continue;
      auto* box = new QBoxPlotSeries;
      box->setName(QString::fromUtf8(k.label));
      for (const EstimateRow* r : shown) {
        const double e = r->estimate, lo = Or(r->*k.lo, e), hi = Or(r->*k.hi, e);
        box->append(new QBoxSet(lo, e, e, e, hi, Name(r->name)));
        top = std::max(top, hi);
      }
      chart->addSeries(box);
      ++series;
    }
    if (series == 0) {
      auto* box = new QBoxPlotSeries;
      box->setName(QStringLiteral("Estimate"));
      for (const EstimateRow* r : shown) {
        box->append(new QBoxSet(r->estimate, r->estimate, r->estimate, r->estimate, r->estimate,
                                Name(r->name)));
        top = std::max(top, r->estimate);
      }
      chart->addSeries(box);
    }
    auto* x = new QBarCategoryAxis;
    x->append(names);
    auto* y = new QValueAxis;
    y->setRange(0, std::min(1.0, top * 1.1));
    y->setTitleText(QStringLiteral("Proportion of the mixture"));
    y->setLabelFormat(QStringLiteral("%.2f"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QAbstractSeries* s : chart->series()) {
      s->attachAxis(x);
      s->attachAxis(y);
    }
    if (names.size() > 8) x->setLabelsAngle(-60);
  } else {
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
  }
  QChart* old = view_->chart();
  view_->setChart(chart);
  delete old;
  png_->setEnabled(!chart->series().isEmpty());
  svg_->setEnabled(!chart->series().isEmpty());
}

QSize PlotView::ImageSize() const {
  const QSize s = view_->size();
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
