#include "history/HistoryQueries.h"

#include <QSaveFile>
#include <QSqlQuery>
#include <QStringList>
#include <QTextStream>
#include <QVariantList>
#include <atomic>
#include <cmath>
#include <map>
#include <utility>

#include "history/HistorySchema.h"

namespace auralis {

namespace {

QString connectionName() {
  static std::atomic<int> count{0};
  return QStringLiteral("auralis-history-reader-%1").arg(++count);
}

struct Where {
  QString sql;
  QVariantList values;
};

// The rows a filter selects, of a table with the columns session, day and lesson, and any
// further terms.
Where whereOf(const HistoryFilter& filter, QStringList terms = {}, QVariantList values = {}) {
  if (filter.range == HistoryRange::Session) {
    terms.prepend(QStringLiteral("session = ?"));
    values.prepend(qlonglong(filter.sessionId));
  } else if (const QDateTime start = rangeStart(filter.range, filter.now); start.isValid()) {
    terms.prepend(QStringLiteral("day >= ?"));
    values.prepend(start.date().toString(Qt::ISODate));
  }
  if (filter.lesson) {
    terms.prepend(QStringLiteral("lesson = ?"));
    values.prepend(lessonName(*filter.lesson));
  }
  if (terms.isEmpty()) return {};
  return {QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND ")), values};
}

// Prepares a SELECT whose text holds `%1` for the WHERE clause; false when the file is missing
// or not one of ours.
bool prepare(QSqlQuery& query, const QString& sql, const Where& where) {
  query.setForwardOnly(true);
  return query.prepare(sql.arg(where.sql));
}

bool run(QSqlQuery& query, const QVariantList& values) {
  for (int i = 0; i < values.size(); ++i) query.bindValue(i, values[i]);
  return query.exec();
}

QSqlQuery select(const QSqlDatabase& db, const QString& sql, const Where& where) {
  QSqlQuery query(db);
  if (db.isOpen() && prepare(query, sql, where)) run(query, where.values);
  return query;
}

struct CentsSums {
  int count = 0;
  double cents = 0;
  double squares = 0;
};

Intonation intonationOf(const CentsSums& s) {
  if (s.count == 0) return {};
  const double mean = s.cents / s.count;
  return {s.count, mean, std::sqrt(std::max(0.0, s.squares / s.count - mean * mean))};
}

bool isPitchClass(int value) {
  return value >= 0 && value < 12;
}

}  // namespace

int NoteAnswers::asked() const {
  int sum = 0;
  for (const NoteCounts& note : perNote) sum += note.asked;
  return sum;
}

int NoteAnswers::correct() const {
  int sum = 0;
  for (const NoteCounts& note : perNote) sum += note.correct;
  return sum;
}

QDateTime rangeStart(HistoryRange range, const QDateTime& now) {
  const QDate today = now.toLocalTime().date();
  switch (range) {
    case HistoryRange::Today:
      return today.startOfDay();
    case HistoryRange::Last7Days:
      return today.addDays(-6).startOfDay();
    case HistoryRange::Last30Days:
      return today.addDays(-29).startOfDay();
    case HistoryRange::Session:
    case HistoryRange::All:
      break;
  }
  return {};
}

HistoryConnection::HistoryConnection(const QString& databasePath) : name_(connectionName()) {
  QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
  db.setDatabaseName(databasePath);
  db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=1000"));
  db.open();
}

HistoryConnection::~HistoryConnection() {
  QSqlDatabase::database(name_, false).close();
  QSqlDatabase::removeDatabase(name_);
}

QSqlDatabase HistoryConnection::database() const {
  return QSqlDatabase::database(name_, false);
}

bool HistoryConnection::isOpen() const {
  return database().isOpen();
}

namespace {

// The median is the middle answer of the day in response-time order, or the mean of the middle
// two: an index holds each day's answers in that order, so it is found by counting along it.
void addMedians(const QSqlDatabase& db, const HistoryFilter& filter, std::vector<DayStats>& days) {
  QSqlQuery middle(db);
  const Where ofDay = whereOf(filter, {QStringLiteral("day = ?")});
  if (!prepare(middle,
               QStringLiteral("SELECT response_ms FROM answers%1"
                              " ORDER BY response_ms LIMIT ? OFFSET ?"),
               ofDay))
    return;
  for (DayStats& day : days) {
    QVariantList values = ofDay.values;
    values << day.day.toString(Qt::ISODate) << 2 - day.asked % 2 << (day.asked - 1) / 2;
    if (!run(middle, values)) continue;
    double sum = 0;
    int count = 0;
    for (; middle.next(); ++count) sum += middle.value(0).toDouble();
    if (count > 0) day.medianResponseMs = sum / count;
  }
}

}  // namespace

// Every query groups by lesson first, the order of its index, and adds the lessons up here.

NoteAnswers noteAnswers(const QSqlDatabase& db, const HistoryFilter& filter) {
  NoteAnswers result;
  QSqlQuery q = select(db,
                       QStringLiteral("SELECT expected, answered, COUNT(*), SUM(correct)"
                                      " FROM answers%1 GROUP BY lesson, expected, answered"),
                       whereOf(filter));
  while (q.next()) {
    const int expected = q.value(0).toInt();
    const int answered = q.value(1).toInt();
    if (!isPitchClass(expected) || !isPitchClass(answered)) continue;
    const int count = q.value(2).toInt();
    result.confusion[expected][answered] += count;
    result.perNote[expected].asked += count;
    result.perNote[expected].correct += q.value(3).toInt();
  }
  return result;
}

Progress progress(const QSqlDatabase& db, const HistoryFilter& filter) {
  std::map<QString, DayStats> byDay;
  std::map<std::pair<QString, QString>, int> highest;  // lesson and day: level
  QSqlQuery totals = select(db,
                            QStringLiteral("SELECT lesson, day, COUNT(*), SUM(correct), MAX(level)"
                                           " FROM answers%1 GROUP BY lesson, day"),
                            whereOf(filter));
  while (totals.next()) {
    const QString day = totals.value(1).toString();
    DayStats& stats = byDay[day];
    stats.asked += totals.value(2).toInt();
    stats.correct += totals.value(3).toInt();
    highest[{totals.value(0).toString(), day}] = totals.value(4).toInt();
  }
  QSqlQuery events = select(db,
                            QStringLiteral("SELECT lesson, day, MAX(to_level) FROM level_events%1"
                                           " GROUP BY lesson, day"),
                            whereOf(filter));
  while (events.next()) {
    int& level = highest[{events.value(0).toString(), events.value(1).toString()}];
    level = std::max(level, events.value(2).toInt());
  }

  Progress result;
  for (auto& [text, stats] : byDay) {
    stats.day = QDate::fromString(text, Qt::ISODate);
    result.days.push_back(stats);
  }
  addMedians(db, filter, result.days);
  for (const auto& [key, level] : highest) {
    const auto lesson = lessonNamed(key.first);
    if (lesson)
      result.levels.push_back({*lesson, QDate::fromString(key.second, Qt::ISODate), level});
  }
  return result;
}

std::array<Intonation, 12> intonation(const QSqlDatabase& db, const HistoryFilter& filter) {
  std::array<CentsSums, 12> sums{};
  QSqlQuery q = select(db,
                       QStringLiteral("SELECT answered, COUNT(*), SUM(cents), SUM(cents * cents)"
                                      " FROM answers%1 GROUP BY lesson, answered"),
                       whereOf(filter, {QStringLiteral("cents IS NOT NULL")}));
  while (q.next()) {
    const int note = q.value(0).toInt();
    if (!isPitchClass(note)) continue;
    sums[note].count += q.value(1).toInt();
    sums[note].cents += q.value(2).toDouble();
    sums[note].squares += q.value(3).toDouble();
  }
  std::array<Intonation, 12> result{};
  for (std::size_t note = 0; note < result.size(); ++note) result[note] = intonationOf(sums[note]);
  return result;
}

std::array<Intonation, 12> sungIntonation(const QSqlDatabase& db, const HistoryFilter& filter) {
  std::array<CentsSums, 12> sums{};
  QSqlQuery q = select(db,
                       QStringLiteral("SELECT pitch_class, COUNT(*), SUM(cents), SUM(cents * cents)"
                                      " FROM sung_notes%1 GROUP BY pitch_class"),
                       whereOf(filter));
  while (q.next()) {
    const int pitchClass = q.value(0).toInt();
    if (!isPitchClass(pitchClass)) continue;
    CentsSums& note = sums[static_cast<std::size_t>(pitchClass)];
    note.count += q.value(1).toInt();
    note.cents += q.value(2).toDouble();
    note.squares += q.value(3).toDouble();
  }
  std::array<Intonation, 12> result{};
  for (std::size_t note = 0; note < result.size(); ++note) result[note] = intonationOf(sums[note]);
  return result;
}

std::vector<TuningDay> tuningByDay(const QSqlDatabase& db, const HistoryFilter& filter) {
  std::map<QString, TuningDay> byDay;
  QSqlQuery q = select(db,
                       QStringLiteral("SELECT day, COUNT(*), SUM(ABS(cents) <= 10),"
                                      " SUM(ABS(cents) <= 25) FROM sung_notes%1 GROUP BY day"),
                       whereOf(filter));
  while (q.next()) {
    TuningDay& day = byDay[q.value(0).toString()];
    day.notes += q.value(1).toInt();
    day.within10 += q.value(2).toInt();
    day.within25 += q.value(3).toInt();
  }
  std::vector<TuningDay> result;
  for (auto& [text, day] : byDay) {
    day.day = QDate::fromString(text, Qt::ISODate);
    result.push_back(day);
  }
  return result;
}

int ExerciseAnswers::count(const QString& asked, const QString& answered) const {
  for (const Cell& cell : confusion)
    if (cell.asked == asked && cell.answered == answered) return cell.count;
  return 0;
}

ExerciseAnswers exerciseAnswers(const QSqlDatabase& db, const HistoryFilter& filter) {
  ExerciseAnswers result;
  const QStringList exercisesOnly = {QStringLiteral("item IS NOT NULL")};
  QSqlQuery items = select(db,
                           QStringLiteral("SELECT item, COUNT(*), SUM(correct), COUNT(cents),"
                                          " SUM(cents), SUM(cents * cents)"
                                          " FROM answers%1 GROUP BY item ORDER BY item"),
                           whereOf(filter, exercisesOnly));
  while (items.next()) {
    ItemStats stats{items.value(0).toString(), items.value(1).toInt(), items.value(2).toInt(), {}};
    if (const int sung = items.value(3).toInt(); sung > 0) {
      const double mean = items.value(4).toDouble() / sung;
      const double squares = items.value(5).toDouble() / sung;
      stats.intonation = {sung, mean, std::sqrt(std::max(0.0, squares - mean * mean))};
    }
    result.items.push_back(stats);
  }
  QSqlQuery cells = select(
      db,
      QStringLiteral("SELECT item, answered_item, COUNT(*) FROM answers%1"
                     " GROUP BY item, answered_item ORDER BY item,"
                     " answered_item"),
      whereOf(filter, exercisesOnly + QStringList{QStringLiteral("answered_item IS NOT NULL")}));
  while (cells.next())
    result.confusion.push_back(
        {cells.value(0).toString(), cells.value(1).toString(), cells.value(2).toInt()});
  return result;
}

std::vector<LongToneTake> longToneTakes(const QSqlDatabase& db, const HistoryFilter& filter) {
  std::vector<LongToneTake> result;
  if (filter.lesson && *filter.lesson != LessonMode::Practice) return result;
  HistoryFilter ofEveryLesson = filter;
  ofEveryLesson.lesson.reset();
  QSqlQuery q = select(db,
                       QStringLiteral("SELECT at, note, within10, within25, drift, wobble,"
                                      " completed FROM long_tones%1 ORDER BY at"),
                       whereOf(ofEveryLesson));
  while (q.next()) {
    LongToneTake take;
    take.at = QDateTime::fromString(q.value(0).toString(), Qt::ISODateWithMs);
    take.midiNote = q.value(1).toInt();
    take.within10 = q.value(2).toDouble();
    take.within25 = q.value(3).toDouble();
    take.driftCents = q.value(4).toDouble();
    take.wobbleCents = q.value(5).toDouble();
    take.completed = q.value(6).toInt() != 0;
    result.push_back(take);
  }
  return result;
}

std::optional<LongToneBest> bestLongTone(const QSqlDatabase& db, int midiNote) {
  const Where ofNote{QStringLiteral(" WHERE note = ?"), {midiNote}};
  QSqlQuery count = select(db, QStringLiteral("SELECT COUNT(*) FROM long_tones%1"), ofNote);
  if (!count.next()) return std::nullopt;
  LongToneBest best;
  best.takes = count.value(0).toInt();
  QSqlQuery top = select(db,
                         QStringLiteral("SELECT within10, within25 FROM long_tones%1"
                                        " AND completed ORDER BY within10 DESC, within25 DESC"
                                        " LIMIT 1"),
                         ofNote);
  if (top.next()) {
    best.held = true;
    best.within10 = top.value(0).toDouble();
    best.within25 = top.value(1).toDouble();
  }
  return best;
}

bool exportCsv(const QSqlDatabase& db, const QString& fileName) {
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  QTextStream out(&file);
  // No value holds a comma, a quote or a line break, so none needs quoting.
  const QString columns = QStringLiteral(
      "at,lesson,level,question,answer,source,correct,response_ms,cents,session,position,octave,"
      "detected_note,offset_step");
  out << columns << '\n';
  // select() puts the (empty) WHERE clause in place of %1.
  QSqlQuery q = select(
      db, QStringLiteral("SELECT ") + columns + QStringLiteral(" FROM answers%1 ORDER BY id"), {});
  const int count = static_cast<int>(columns.count(QLatin1Char(',')) + 1);
  while (q.next()) {
    for (int i = 0; i < count; ++i) {
      if (i > 0) out << ',';
      if (!q.isNull(i)) out << q.value(i).toString();
    }
    out << '\n';
  }
  out.flush();
  return out.status() == QTextStream::Ok && file.commit();
}

}  // namespace auralis
