#pragma once
// The Plot tab: the estimates with their intervals per region (per population
// on a toggle) and, for a simulation or bootstrap, the distribution of a
// chosen unit's resample estimates; saved as PNG or SVG.
#include <QWidget>
#include <string>
#include <vector>

#include "core/results.hpp"

class QChart;
class QChartView;
class QComboBox;
class QPushButton;

namespace velk::gui {

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
  QChart* Chart() const;

 private:
  void Redraw();
  QSize ImageSize() const;
  std::vector<EstimateRow> rows_;
  std::vector<std::string> unit_names_;
  std::vector<std::vector<double>> resamples_;
  QChartView* view_;
  QComboBox* mode_;
  QComboBox* level_;
  QComboBox* units_;
  QPushButton* png_;
  QPushButton* svg_;
};

}  // namespace velk::gui
