#include "messages_view.hpp"

#include <QHeaderView>
#include <QMessageBox>
#include <QStyle>
#include <algorithm>

namespace velk::gui {

namespace {

QIcon LevelIcon(const QStyle* style, const RunMessage& m) {
  if (m.severity == 2 || m.number >= 2000)
    return style->standardIcon(QStyle::SP_MessageBoxCritical);
  if (m.severity == 1) return style->standardIcon(QStyle::SP_MessageBoxWarning);
  return style->standardIcon(QStyle::SP_MessageBoxInformation);
}

QString LevelName(const RunMessage& m) {
  if (m.severity == 2) return QStringLiteral("Fatal error");
  if (m.number >= 2000) return QStringLiteral("Error");
  if (m.severity == 1) return QStringLiteral("Warning");
  return QStringLiteral("Note");
}

}  // namespace

MessagesView::MessagesView(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(3);
  setHeaderLabels({QStringLiteral("Number"), QStringLiteral("Level"), QStringLiteral("Message")});
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  header()->setStretchLastSection(true);
  connect(this, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { ShowFullText(indexOfTopLevelItem(item)); });
}

void MessagesView::SetMessages(const std::vector<RunMessage>& messages) {
  messages_ = messages;
  // The fatal message that ended the run first, then the rest as they came.
  std::stable_partition(messages_.begin(), messages_.end(),
                        [](const RunMessage& m) { return m.severity == 2; });
  clear();
  QList<QTreeWidgetItem*> items;
  for (const RunMessage& m : messages_) {
    const QString text = QString::fromStdString(m.text);
    // The heading names the level and the stage; the first body line says what happened.
    const QStringList lines = text.split(QLatin1Char('\n'));
    QString summary = lines.size() > 1 ? lines.mid(1).join(QLatin1Char(' ')) : lines.value(0);
    auto* item = new QTreeWidgetItem({QString::number(m.number), LevelName(m), summary});
    item->setIcon(1, LevelIcon(style(), m));
    item->setToolTip(2, text);
    item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    items.push_back(item);
  }
  addTopLevelItems(items);
  resizeColumnToContents(0);
  resizeColumnToContents(1);
}

void MessagesView::ShowFullText(int row) {
  if (row < 0 || row >= static_cast<int>(messages_.size())) return;
  const RunMessage& m = messages_[static_cast<std::size_t>(row)];
  auto* box = new QMessageBox(this);
  box->setObjectName(QStringLiteral("MessageText"));
  box->setWindowTitle(QStringLiteral("Message %1").arg(m.number));
  box->setIcon(m.severity == 2 || m.number >= 2000 ? QMessageBox::Critical
               : m.severity == 1                   ? QMessageBox::Warning
                                                   : QMessageBox::Information);
  box->setText(QString::fromStdString(m.text));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

}  // namespace velk::gui
