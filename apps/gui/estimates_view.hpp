#pragma once
// The Estimates tab: every population and region of the run with its estimate,
// standard error, CV and the intervals the run computed; sortable by any
// column, copied as tab-separated text, exported as CSV.
#include <QWidget>
#include <vector>

#include "core/results.hpp"

class QTableWidget;
class QPushButton;

namespace velk::gui {

class EstimatesView : public QWidget {
  Q_OBJECT
 public:
  explicit EstimatesView(QWidget* parent = nullptr);
  void SetRows(const std::vector<EstimateRow>& rows);
  QTableWidget* Table() const { return table_; }
  // The whole table to the clipboard as tab-separated text.
  void Copy() const;
  // The table as a CSV file; false when it could not be written.
  bool ExportCsv(const QString& path) const;

 private:
  std::vector<EstimateRow> rows_;
  QTableWidget* table_;
  QPushButton* copy_;
  QPushButton* export_;
};

}  // namespace velk::gui
