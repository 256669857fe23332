#pragma once

#include <QStringList>
#include <QTableWidget>
#include <QWidget>

#include "history/HistoryQueries.h"

namespace auralis {

// The cells of an item's row: its name, how often asked, the share right, and the intonation of
// the sung answers ("-5 ± 15 cents"), or "not sung".
QStringList itemRowTexts(const ItemStats& item);

// An exercise's answers in the statistics window: accuracy and intonation per interval, degree
// or chord tone, and the confusion map of what was asked against what the answer amounted to.
class ExerciseStatistics : public QWidget {
 public:
  explicit ExerciseStatistics(QWidget* parent = nullptr);

  void setData(const ExerciseAnswers& answers);
  QTableWidget* items() const { return items_; }
  QTableWidget* confusion() const { return confusion_; }

 private:
  QTableWidget* items_;
  QTableWidget* confusion_;
};

}  // namespace auralis
