#pragma once
// The Estimates tab: the regions, the populations or both, each with its
// estimate, standard error, CV and the intervals the run computed; sortable by
// any column, copied as tab-separated text, exported as CSV.
#include <QWidget>
#include <vector>

#include "core/results.hpp"

class QComboBox;
class QTableWidget;
class QPushButton;

namespace velk::gui {

class EstimatesView : public QWidget {
  Q_OBJECT
 public:
  explicit EstimatesView(QWidget* parent = nullptr);
  void SetRows(const std::vector<EstimateRow>& rows);
  QTableWidget* Table() const { return table_; }
  // Regions, Populations or Both (regions at first when the run has any).
  QComboBox* Scope() const { return scope_; }
  // The whole table to the clipboard as tab-separated text.
  void Copy() const;
  // The table as a CSV file; false when it could not be written.
  bool ExportCsv(const QString& path) const;

 private:
  void Fill();
  std::vector<EstimateRow> rows_;
  QComboBox* scope_;
  QTableWidget* table_;
  QPushButton* copy_;
  QPushButton* export_;
};

}  // namespace velk::gui
