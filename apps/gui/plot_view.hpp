#pragma once
// The Plot tab: the estimates with their intervals per region (per population
// on a toggle) as dot-and-whisker rows, largest first or in table order, and,
// for a simulation or bootstrap, the distribution of a chosen unit's resample
// estimates; saved as PNG or SVG.
#include <QWidget>
#include <string>
#include <vector>

#include "core/results.hpp"
#include "plot_rows.hpp"

class QChart;
class QChartView;
class QComboBox;
class QPushButton;
class QScrollArea;
class QStackedWidget;

namespace velk::gui {

class DotPlot;

// The share below which units are left out at first: none for regions, 1 % for
// populations.
double DefaultMinShare(PlotLevel level);

// Fills `plot` with the estimates of `level` as the tab shows them.
void FillDotPlot(DotPlot& plot, const std::vector<EstimateRow>& rows, PlotLevel level, PlotOrder order,
                 double min_share);

// The estimates plot of a finished run as the tab first shows it, written to
// `path` (PNG, or SVG by its suffix) at `width` and, when `height` is 0, the
// height that holds every row; false when it could not be written.
bool SaveEstimatesPlot(const std::vector<EstimateRow>& rows, PlotLevel level, const QString& path, int width,
                       int height);

class PlotView : public QWidget {
  Q_OBJECT
 public:
  explicit PlotView(QWidget* parent = nullptr);
  void SetResults(const std::vector<EstimateRow>& rows, const std::vector<std::string>& units,
                  const std::vector<std::vector<double>>& resamples);
  // What the plot shows: 0 estimates, 1 a unit's resample distribution; the
  // estimates of regions (false) or populations (true); the unit's index.
  void Show(int mode, bool populations, int unit);
  // The plot as it stands, written as a PNG or an SVG file; false when it
  // could not be written.
  bool SavePng(const QString& path);
  bool SaveSvg(const QString& path);
  QComboBox* Mode() const { return mode_; }
  QComboBox* Units() const { return units_; }
  QComboBox* Level() const { return level_; }
  QComboBox* Order() const { return order_; }
  QComboBox* MinShare() const { return share_; }
  QChart* Chart() const;
  DotPlot* Dots() const { return dots_; }

 private:
  void Redraw();
  void RedrawDistribution();
  QSize ImageSize() const;
  std::vector<EstimateRow> rows_;
  std::vector<std::string> unit_names_;
  std::vector<std::vector<double>> resamples_;
  QStackedWidget* pages_;
  QScrollArea* scroll_;
  DotPlot* dots_;
  QChartView* view_;
  QComboBox* mode_;
  QComboBox* level_;
  QComboBox* order_;
  QComboBox* share_;
  QComboBox* units_;
  QPushButton* png_;
  QPushButton* svg_;
};

}  // namespace velk::gui
