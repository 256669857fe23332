#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QStringList>

#include "app/ExerciseStatistics.h"
#include "app/HistoryCharts.h"
#include "history/HistoryQueries.h"
#include "history/HistoryStore.h"

class QComboBox;

namespace auralis {

inline constexpr int kStatisticsWidth = 1100;
inline constexpr int kStatisticsHeight = 700;

// "Statistics": what the history holds for a range of time and a lesson, as seven charts: five of
// the answers, two more of the singing.
class StatisticsWindow : public QMainWindow {
 public:
  explicit StatisticsWindow(HistoryStore& store, QWidget* parent = nullptr);

  // Names the notes as solfege (DO, DI, ...) or as letters (C, C#, ...).
  void setSolfegeNames(bool solfege);
  void setRange(HistoryRange range);
  void setLesson(std::optional<LessonMode> lesson);
  HistoryFilter filter() const;
  // Reads the file again and redraws.
  void refresh();
  // Asks for a file name and writes the history there as CSV.
  void exportHistory();
  // Asks first; Cancel is the default.
  void clearHistory();

  QComboBox* rangeBox() const { return range_; }
  QComboBox* lessonBox() const { return lesson_; }
  QString summary() const { return summary_->text(); }
  QStringList noteNames() const { return accuracy_->noteNames(); }
  ExerciseStatistics* exerciseStatistics() const { return exercises_; }
  const IntonationChart& intonationChart() const { return *intonation_; }
  const TuningChart& tuningChart() const { return *tuning_; }
  const LongToneChart& longToneChart() const { return *longTones_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void buildMenus();
  QWidget* buildFilters();

  HistoryStore& store_;
  QComboBox* range_ = nullptr;
  QComboBox* lesson_ = nullptr;
  QLabel* summary_ = nullptr;
  AccuracyChart* accuracy_ = nullptr;
  ConfusionChart* confusion_ = nullptr;
  DailyChart* daily_ = nullptr;
  LevelChart* levels_ = nullptr;
  IntonationChart* intonation_ = nullptr;
  ExerciseStatistics* exercises_ = nullptr;  // in the place of the note charts for an exercise
  TuningChart* tuning_ = nullptr;
  LongToneChart* longTones_ = nullptr;
  bool firstShow_ = true;
};

// The twelve pitch classes named as the note panel's view names them.
QStringList noteNamesFor(bool solfege);

// Asks for a file name and writes the history there; tells the user when it cannot.
void exportHistoryDialog(QWidget* parent, const QString& databasePath);

}  // namespace auralis
