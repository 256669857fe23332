#pragma once

#include <QLabel>
#include <QMainWindow>
#include <QStringList>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

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
//
// The window never reads the file itself: each chart's query runs on the history's thread
// (HistoryStore::ask), and the chart draws when its value arrives. A chart waits, and says so,
// while the range or lesson it shows is being counted; values for an earlier choice are dropped.
class StatisticsWindow : public QMainWindow {
 public:
  explicit StatisticsWindow(HistoryStore& store, QWidget* parent = nullptr);
  // Queries that have not started yet are skipped; one that runs finishes unheard.
  ~StatisticsWindow() override;

  // Names the notes as solfege (DO, DI, ...) or as letters (C, C#, ...).
  void setSolfegeNames(bool solfege);
  void setRange(HistoryRange range);
  void setLesson(std::optional<LessonMode> lesson);
  HistoryFilter filter() const;
  // Counts again, once the count that runs has ended; each chart keeps what it shows until its
  // new value arrives.
  void refresh();
  // True while some chart's value is still to come.
  bool waiting() const { return outstanding_ > 0; }
  // Asks for a file name and writes the history there as CSV.
  void exportHistory();
  // Asks first; Cancel is the default.
  void clearHistory();

  QComboBox* rangeBox() const { return range_; }
  QComboBox* lessonBox() const { return lesson_; }
  QString summary() const { return summary_->text(); }
  QStringList noteNames() const { return accuracy_->noteNames(); }
  ExerciseStatistics* exerciseStatistics() const { return exercises_; }
  std::array<ChartView*, 7> charts() const {
    return {accuracy_, confusion_, intonation_, daily_, levels_, tuning_, longTones_};
  }
  const IntonationChart& intonationChart() const { return *intonation_; }
  const TuningChart& tuningChart() const { return *tuning_; }
  const LongToneChart& longToneChart() const { return *longTones_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void buildMenus();
  QWidget* buildFilters();
  // A new range or lesson: every chart waits for its values.
  void choose();
  void showSummary(const NoteAnswers& answers);
  // Runs `query` on the history's thread for the present choice and gives its value to `apply`,
  // unless the choice has changed by then.
  template <typename Query, typename Apply>
  void fetch(Query query, Apply apply);

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
  // Which choice the charts show; read by the queries on the history's thread.
  std::shared_ptr<std::atomic<int>> choice_ = std::make_shared<std::atomic<int>>(0);
  int outstanding_ = 0;        // values of the present choice still to come
  bool refreshAgain_ = false;  // new answers came while they were being counted
};

// The twelve pitch classes named as the note panel's view names them.
QStringList noteNamesFor(bool solfege);

// Asks for a file name and has the history written there on its own thread, after every answer
// recorded so far; tells the user when it cannot be written.
void exportHistoryDialog(QWidget* parent, HistoryStore& store);
// The same without the dialog; `done` is told on the interface thread whether it was written.
void exportHistoryTo(HistoryStore& store, const QString& fileName, QObject* receiver,
                     std::function<void(bool written)> done);

}  // namespace auralis
