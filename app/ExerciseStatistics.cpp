#include "app/ExerciseStatistics.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace auralis {

namespace {

QTableWidget* table(QWidget* parent, const QString& name) {
  auto* widget = new QTableWidget(parent);
  widget->setObjectName(name);
  widget->setEditTriggers(QAbstractItemView::NoEditTriggers);
  widget->setSelectionMode(QAbstractItemView::NoSelection);
  widget->verticalHeader()->setDefaultSectionSize(20);
  return widget;
}

QWidget* titled(QWidget* parent, const QString& title, QTableWidget* table) {
  auto* box = new QWidget(parent);
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(0, 0, 0, 0);
  auto* label = new QLabel(title, box);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  column->addWidget(label);
  column->addWidget(table, 1);
  return box;
}

QTableWidgetItem* cell(const QString& text, Qt::Alignment alignment = Qt::AlignCenter) {
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment(alignment);
  return item;
}

}  // namespace

QStringList itemRowTexts(const ItemStats& item) {
  const QString right =
      item.asked == 0 ? QStringLiteral("-")
                      : QStringLiteral("%1%").arg(std::lround(100.0 * item.correct / item.asked));
  const Intonation& sung = item.intonation;
  const QString intonation = sung.count == 0
                                 ? QStringLiteral("not sung")
                                 : QStringLiteral("%1%2 \u00b1 %3 cents")
                                       .arg(sung.meanCents > 0.5 ? QStringLiteral("+") : QString())
                                       .arg(std::lround(sung.meanCents))
                                       .arg(std::lround(sung.spreadCents));
  return {item.item, QString::number(item.asked), right, intonation};
}

ExerciseStatistics::ExerciseStatistics(QWidget* parent)
    : QWidget(parent),
      items_(table(this, QStringLiteral("exerciseItems"))),
      confusion_(table(this, QStringLiteral("exerciseConfusion"))) {
  setObjectName(QStringLiteral("exerciseStatistics"));
  items_->setColumnCount(4);
  items_->setHorizontalHeaderLabels({QStringLiteral("Asked"), QStringLiteral("Times"),
                                     QStringLiteral("Right"), QStringLiteral("Intonation sung")});
  items_->verticalHeader()->hide();
  items_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(titled(this, QStringLiteral("Accuracy and intonation"), items_), 1);
  row->addWidget(titled(this, QStringLiteral("Asked (rows) and answered (columns)"), confusion_),
                 1);
}

void ExerciseStatistics::setData(const ExerciseAnswers& answers) {
  items_->setRowCount(static_cast<int>(answers.items.size()));
  for (int r = 0; r < items_->rowCount(); ++r) {
    const QStringList texts = itemRowTexts(answers.items[static_cast<std::size_t>(r)]);
    for (int c = 0; c < texts.size(); ++c) items_->setItem(r, c, cell(texts[c]));
  }
  // Every item asked or answered gets its row and its column, in one order.
  QStringList names;
  for (const ItemStats& item : answers.items) names << item.item;
  for (const ExerciseAnswers::Cell& c : answers.confusion)
    if (!names.contains(c.answered)) names << c.answered;
  std::sort(names.begin(), names.end());
  confusion_->clear();
  confusion_->setRowCount(static_cast<int>(names.size()));
  confusion_->setColumnCount(static_cast<int>(names.size()));
  confusion_->setHorizontalHeaderLabels(names);
  confusion_->setVerticalHeaderLabels(names);
  confusion_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  for (const ExerciseAnswers::Cell& c : answers.confusion) {
    const int r = static_cast<int>(names.indexOf(c.asked));
    const int column = static_cast<int>(names.indexOf(c.answered));
    if (r < 0 || column < 0) continue;
    QTableWidgetItem* item = cell(QString::number(c.count));
    // The diagonal is right; the rest is what the ear took the item for.
    item->setBackground(r == column ? QColor(200, 235, 200) : QColor(245, 205, 205));
    confusion_->setItem(r, column, item);
  }
}

}  // namespace auralis
