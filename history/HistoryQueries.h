#pragma once

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/LessonMode.h"

namespace auralis {

enum class HistoryRange { Session, Today, Last7Days, Last30Days, All };

struct HistoryFilter {
  HistoryRange range = HistoryRange::All;
  std::optional<LessonMode> lesson;  // every lesson when empty
  std::int64_t sessionId = 0;        // the run that Session means
  QDateTime now = QDateTime::currentDateTime();
};

struct NoteCounts {
  int asked = 0;
  int correct = 0;
};

// For each question pitch class, how often each pitch class was answered, and how often right.
struct NoteAnswers {
  std::array<NoteCounts, 12> perNote{};
  std::array<std::array<int, 12>, 12> confusion{};  // [question][answered]
  int asked() const;
  int correct() const;
};

struct DayStats {
  QDate day;
  int asked = 0;
  int correct = 0;
  double medianResponseMs = 0;
};

// The highest level a lesson reached on a day.
struct LevelPoint {
  LessonMode lesson;
  QDate day;
  int level;
};

// What changed from day to day: one pass over the history serves both charts.
struct Progress {
  std::vector<DayStats> days;
  std::vector<LevelPoint> levels;  // by lesson, then day
};

// Cents off the true pitch of the notes sung, per sung pitch class; positive is sharp.
struct Intonation {
  int count = 0;
  double meanCents = 0;
  double spreadCents = 0;  // standard deviation
};

// One interval, degree or chord tone of an exercise, as its answers went: how often it was asked
// and answered right, and the intonation of the sung answers to it.
struct ItemStats {
  QString item;  // "M3", "5", "3rd", "minor"
  int asked = 0;
  int correct = 0;
  Intonation intonation;
};

// An exercise's answers per item, in the order of the items' names, and which item each answer
// amounted to: the confusion map.
struct ExerciseAnswers {
  std::vector<ItemStats> items;
  struct Cell {
    QString asked;
    QString answered;
    int count = 0;
  };
  std::vector<Cell> confusion;  // by asked, then answered
  int count(const QString& asked, const QString& answered) const;
};

// The rows of the exercises only; the filter's lesson chooses one of them, or all.
ExerciseAnswers exerciseAnswers(const QSqlDatabase& db, const HistoryFilter& filter);

// How many sung notes of a day lay within 10 and within 25 cents of their note's centre.
struct TuningDay {
  QDate day;
  int notes = 0;
  int within10 = 0;
  int within25 = 0;
};

// One long-tone take, as the statistics draw it.
struct LongToneTake {
  QDateTime at;
  int midiNote = 0;
  double within10 = 0;  // share 0..1
  double within25 = 0;
  double driftCents = 0;
  double wobbleCents = 0;
  bool completed = false;
};

// The takes of one note: how many, and the best of those held to their end (most time within
// 10 cents, then within 25).
struct LongToneBest {
  int takes = 0;
  bool held = false;  // some take was held to its end; the shares are its
  double within10 = 0;
  double within25 = 0;
};

// The questions of the singing charts, each a plain function over an open connection that
// returns a plain value. Every held sung note counts, accepted as an answer or not.
std::array<Intonation, 12> sungIntonation(const QSqlDatabase& db, const HistoryFilter& filter);
std::vector<TuningDay> tuningByDay(const QSqlDatabase& db, const HistoryFilter& filter);
// In the order they were sung. Long tones belong to Practice Singing: a filter for another
// lesson selects none.
std::vector<LongToneTake> longToneTakes(const QSqlDatabase& db, const HistoryFilter& filter);
// Over the whole history; nothing when the file cannot be read.
std::optional<LongToneBest> bestLongTone(const QSqlDatabase& db, int midiNote);

// A read-only connection to a history file, on the thread that makes it, for the queries below.
// A file that is missing or not a database leaves it closed, and every query then finds nothing.
class HistoryConnection {
 public:
  explicit HistoryConnection(const QString& databasePath);
  ~HistoryConnection();
  HistoryConnection(const HistoryConnection&) = delete;
  HistoryConnection& operator=(const HistoryConnection&) = delete;

  bool isOpen() const;
  QSqlDatabase database() const;

 private:
  QString name_;
};

// The questions behind the statistics window: each a plain function of a connection that returns
// a plain value, so that it can run on the history's thread (HistoryStore::ask) and its value be
// handed back. Every sum is taken in SQL on the indexes.
NoteAnswers noteAnswers(const QSqlDatabase& db, const HistoryFilter& filter);
Progress progress(const QSqlDatabase& db, const HistoryFilter& filter);
std::array<Intonation, 12> intonation(const QSqlDatabase& db, const HistoryFilter& filter);
// Every answer as comma-separated values with a header line; false when the file cannot be
// written.
bool exportCsv(const QSqlDatabase& db, const QString& fileName);

// The first instant a range covers: local midnight of its first day; invalid for Session and All.
QDateTime rangeStart(HistoryRange range, const QDateTime& now);

}  // namespace auralis
