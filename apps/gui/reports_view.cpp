#include "reports_view.hpp"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QSplitter>
#include <QVBoxLayout>

#include "menus.hpp"

namespace velk::gui {

ReportsView::ReportsView(QWidget* parent)
    : QWidget(parent),
      list_(new QListWidget),
      viewer_(new TextViewer),
      open_(new QPushButton(QStringLiteral("Open in editor"))) {
  auto* left = new QWidget;
  auto* left_layout = new QVBoxLayout(left);
  left_layout->setContentsMargins(0, 0, 0, 0);
  left_layout->addWidget(list_);
  left_layout->addWidget(open_);
  auto* split = new QSplitter(Qt::Horizontal);
  split->addWidget(left);
  split->addWidget(viewer_);
  split->setStretchFactor(1, 3);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(split);
  open_->setEnabled(false);

  connect(list_, &QListWidget::currentItemChanged, this, [this](QListWidgetItem* item) {
    open_->setEnabled(item != nullptr);
    if (item) viewer_->Load(item->data(Qt::UserRole).toString());
  });
  connect(open_, &QPushButton::clicked, this, [this] {
    if (QListWidgetItem* item = list_->currentItem())
      emit OpenInEditorWanted(item->data(Qt::UserRole).toString());
  });
}

void ReportsView::SetReports(const std::string& control_file, const std::string& output_base,
                             const std::array<int, kResultSlots>& flags) {
  list_->clear();
  for (const MenuItem& item : kMenuItems) {
    if (item.slot == kNoSlot || !ResultsItemEnabled(item.slot, flags)) continue;
    const QString path =
        QFile::decodeName(QByteArray::fromStdString(ResultsItemFile(item.slot, control_file, output_base)));
    QString name = QString::fromUtf8(item.text.data(), static_cast<qsizetype>(item.text.size()));
    name = name.left(name.indexOf(QLatin1Char('\t'))).remove(QLatin1Char('&'));
    auto* row = new QListWidgetItem(name + QStringLiteral(" (") + QFileInfo(path).fileName() +
                                    QLatin1Char(')'));
    row->setData(Qt::UserRole, path);
    row->setToolTip(path);
    list_->addItem(row);
  }
}

}  // namespace velk::gui
