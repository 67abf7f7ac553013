#include "estimates_view.hpp"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "estimate_text.hpp"

namespace velk::gui {

namespace {

// A cell that sorts by its value: numbers as numbers, not computed last.
class Cell : public QTableWidgetItem {
 public:
  Cell(const QString& text, double key) : QTableWidgetItem(text), key_(key) {
    setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  }
  bool operator<(const QTableWidgetItem& other) const override {
    const auto* o = dynamic_cast<const Cell*>(&other);
    if (!o) return QTableWidgetItem::operator<(other);
    if (std::isnan(key_) || std::isnan(o->key_)) {
      if (std::isnan(key_) && std::isnan(o->key_)) return text() < o->text();
      return !std::isnan(key_);
    }
    return key_ < o->key_;
  }

 private:
  double key_;
};

}  // namespace

EstimatesView::EstimatesView(QWidget* parent)
    : QWidget(parent),
      scope_(new QComboBox),
      table_(new QTableWidget),
      copy_(new QPushButton(QStringLiteral("Copy as text"))),
      export_(new QPushButton(QStringLiteral("Export CSV..."))) {
  table_->setSortingEnabled(true);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  scope_->addItems({QStringLiteral("Regions"), QStringLiteral("Populations"), QStringLiteral("Both")});
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(scope_);
  buttons->addWidget(copy_);
  buttons->addWidget(export_);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(table_);
  layout->addLayout(buttons);
  copy_->setEnabled(false);
  export_->setEnabled(false);
  connect(scope_, &QComboBox::currentIndexChanged, this, [this] { Fill(); });
  connect(copy_, &QPushButton::clicked, this, [this] { Copy(); });
  connect(export_, &QPushButton::clicked, this, [this] {
    const QString f = QFileDialog::getSaveFileName(this, QString(), QStringLiteral("estimates.csv"),
                                                   QStringLiteral("CSV files (*.csv)"));
    if (!f.isEmpty() && !ExportCsv(f))
      QMessageBox::warning(this, QStringLiteral("Write Failure"),
                           QStringLiteral("Could not write %1.").arg(f));
  });
}

void EstimatesView::SetRows(const std::vector<EstimateRow>& rows) {
  rows_ = rows;
  const bool regions = std::any_of(rows_.begin(), rows_.end(), [](const EstimateRow& r) { return r.level > 0; });
  const QSignalBlocker block(scope_);
  scope_->setCurrentIndex(static_cast<int>(regions ? EstimateScope::kRegions : EstimateScope::kPopulations));
  scope_->setEnabled(regions);
  Fill();
}

void EstimatesView::Fill() {
  const std::vector<EstimateRow> shown = ShownRows(rows_, static_cast<EstimateScope>(scope_->currentIndex()));
  const std::vector<EstimateColumn> cols = ShownColumns(shown);
  table_->setSortingEnabled(false);
  table_->clear();
  table_->setColumnCount(static_cast<int>(cols.size()));
  table_->setRowCount(static_cast<int>(shown.size()));
  QStringList headings;
  for (const EstimateColumn& c : cols) headings << QString::fromUtf8(c.heading);
  table_->setHorizontalHeaderLabels(headings);
  for (int r = 0; r < static_cast<int>(shown.size()); ++r) {
    const EstimateRow& row = shown[static_cast<std::size_t>(r)];
    for (int c = 0; c < static_cast<int>(cols.size()); ++c) {
      const EstimateColumn& col = cols[static_cast<std::size_t>(c)];
      const char head = col.heading[0];
      // The level column sorts populations before the regions, level by level.
      const double key = col.field ? row.*col.field : head == 'L' ? row.level : head == 'I' ? row.id : NAN;
      const std::string text = head == 'R' && !col.field ? RegionOf(rows_, row) : CellText(row, col);
      auto* cell = new Cell(QString::fromStdString(text), key);
      if (col.field) cell->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      table_->setItem(r, c, cell);
    }
  }
  table_->setSortingEnabled(true);
  table_->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
  copy_->setEnabled(!shown.empty());
  export_->setEnabled(!rows_.empty());
}

void EstimatesView::Copy() const {
  // As shown: the rows in their current order.
  QString text;
  for (int c = 0; c < table_->columnCount(); ++c)
    text += (c ? QStringLiteral("\t") : QString()) + table_->horizontalHeaderItem(c)->text();
  text += QLatin1Char('\n');
  for (int r = 0; r < table_->rowCount(); ++r) {
    for (int c = 0; c < table_->columnCount(); ++c)
      text += (c ? QStringLiteral("\t") : QString()) + table_->item(r, c)->text();
    text += QLatin1Char('\n');
  }
  QApplication::clipboard()->setText(text);
}

bool EstimatesView::ExportCsv(const QString& path) const {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  const std::string csv = CsvText(rows_);
  return file.write(csv.data(), static_cast<qint64>(csv.size())) == static_cast<qint64>(csv.size()) &&
         file.commit();
}

}  // namespace velk::gui
