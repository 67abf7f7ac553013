#include "messages_view.hpp"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace velk::gui {

namespace {

QIcon LevelIcon(const QStyle* style, MessageLevel level) {
  switch (level) {
    case MessageLevel::kFatal:
    case MessageLevel::kError: return style->standardIcon(QStyle::SP_MessageBoxCritical);
    case MessageLevel::kWarning: return style->standardIcon(QStyle::SP_MessageBoxWarning);
    case MessageLevel::kNote: break;
  }
  return style->standardIcon(QStyle::SP_MessageBoxInformation);
}

// The heading names the level and the stage; the first body line says what happened.
QString Summary(const RunMessage& m) {
  const QStringList lines = QString::fromStdString(m.text).split(QLatin1Char('\n'));
  return lines.size() > 1 ? lines.mid(1).join(QLatin1Char(' ')) : lines.value(0);
}

constexpr const char* kFilterNames[kMessageLevels] = {"Fatal errors", "Errors", "Warnings", "Notes"};

}  // namespace

MessagesView::MessagesView(QWidget* parent) : QWidget(parent), list_(new QTreeWidget) {
  auto* filters = new QHBoxLayout;
  filters->addWidget(new QLabel(QStringLiteral("Show:")));
  for (int k = 0; k < kMessageLevels; ++k) {
    auto* box = new QCheckBox(QString::fromUtf8(kFilterNames[k]));
    box->setChecked(true);
    filters_[static_cast<std::size_t>(k)] = box;
    filters->addWidget(box);
    connect(box, &QCheckBox::toggled, this, [this] { Fill(); });
  }
  filters->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addLayout(filters);
  layout->addWidget(list_);
  list_->setColumnCount(4);
  list_->setHeaderLabels({QStringLiteral("Number"), QStringLiteral("Level"), QStringLiteral("Message"),
                          QStringLiteral("Count")});
  list_->setUniformRowHeights(true);
  list_->header()->setStretchLastSection(false);
  list_->header()->setSectionResizeMode(2, QHeaderView::Stretch);
  connect(list_, &QTreeWidget::itemDoubleClicked, this,
          [this](QTreeWidgetItem* item) { ShowFullText(item->data(0, Qt::UserRole).toInt()); });
}

void MessagesView::SetMessages(const std::vector<RunMessage>& messages) {
  messages_ = messages;
  const QSignalBlocker block(filters_[static_cast<std::size_t>(MessageLevel::kNote)]);
  filters_[static_cast<std::size_t>(MessageLevel::kNote)]->setChecked(NotesShownAtFirst(messages_));
  Fill();
}

void MessagesView::Fill() {
  list_->clear();
  QList<QTreeWidgetItem*> items;
  auto row = [this](const RunMessage& m, MessageLevel level, const QString& count) {
    auto* item = new QTreeWidgetItem(
        {QString::number(m.number), QString::fromUtf8(LevelText(level)), Summary(m), count});
    item->setIcon(1, LevelIcon(style(), level));
    item->setToolTip(2, QString::fromStdString(m.text));
    item->setTextAlignment(0, Qt::AlignRight | Qt::AlignVCenter);
    item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
    item->setData(0, Qt::UserRole, static_cast<int>(&m - messages_.data()));
    return item;
  };
  for (const MessageGroup& g : GroupMessages(messages_)) {
    if (!filters_[static_cast<std::size_t>(g.level)]->isChecked()) continue;
    const auto n = static_cast<int>(g.messages.size());
    QTreeWidgetItem* top = row(*g.messages.front(), g.level, QString::number(n));
    if (n > 1)
      for (const RunMessage* m : g.messages) top->addChild(row(*m, g.level, QString()));
    items.push_back(top);
  }
  list_->addTopLevelItems(items);
  list_->setRootIsDecorated(std::any_of(items.begin(), items.end(), [](auto* i) { return i->childCount() > 0; }));
  list_->resizeColumnToContents(0);
  list_->resizeColumnToContents(1);
  list_->resizeColumnToContents(3);
}

void MessagesView::ShowFullText(int index) {
  if (index < 0 || index >= static_cast<int>(messages_.size())) return;
  const RunMessage& m = messages_[static_cast<std::size_t>(index)];
  const MessageLevel level = LevelOf(m);
  auto* box = new QMessageBox(this);
  box->setObjectName(QStringLiteral("MessageText"));
  box->setWindowTitle(QStringLiteral("Message %1").arg(m.number));
  box->setIcon(level == MessageLevel::kFatal || level == MessageLevel::kError ? QMessageBox::Critical
               : level == MessageLevel::kWarning                               ? QMessageBox::Warning
                                                                               : QMessageBox::Information);
  box->setText(QString::fromStdString(m.text));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

}  // namespace velk::gui
