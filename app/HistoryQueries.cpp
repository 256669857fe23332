#include "app/HistoryQueries.h"

#include <QSaveFile>
#include <QSqlQuery>
#include <QStringList>
#include <QTextStream>
#include <QVariantList>
#include <atomic>
#include <cmath>

#include "app/HistorySchema.h"

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

// The rows a filter selects, of a table with the columns session, at and lesson.
Where whereOf(const HistoryFilter& filter, const QString& extra = {}) {
  QStringList terms;
  QVariantList values;
  if (filter.range == HistoryRange::Session) {
    terms << QStringLiteral("session = ?");
    values << qlonglong(filter.sessionId);
  } else if (const QDateTime start = rangeStart(filter.range, filter.now); start.isValid()) {
    terms << QStringLiteral("at >= ?");
    values << isoUtc(start.toMSecsSinceEpoch());
  }
  if (filter.lesson) {
    terms << QStringLiteral("lesson = ?");
    values << lessonName(*filter.lesson);
  }
  if (!extra.isEmpty()) terms << extra;
  if (terms.isEmpty()) return {};
  return {QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND ")), values};
}

// Runs a SELECT whose text holds `%1` for each WHERE clause, in order; an inactive query when
// the file is missing or not ours.
QSqlQuery select(const QSqlDatabase& db, QString sql, const std::vector<Where>& clauses) {
  QSqlQuery query(db);
  query.setForwardOnly(true);
  QVariantList values;
  for (const Where& clause : clauses) {
    sql = sql.arg(clause.sql);
    values << clause.values;
  }
  if (!db.isOpen() || !query.prepare(sql)) return query;
  for (int i = 0; i < values.size(); ++i) query.bindValue(i, values[i]);
  query.exec();
  return query;
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

HistoryQueries::HistoryQueries(const QString& databasePath) : name_(connectionName()) {
  QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
  db.setDatabaseName(databasePath);
  db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=1000"));
  db.open();
}

HistoryQueries::~HistoryQueries() {
  QSqlDatabase::database(name_, false).close();
  QSqlDatabase::removeDatabase(name_);
}

QSqlDatabase HistoryQueries::db() const {
  return QSqlDatabase::database(name_, false);
}

bool HistoryQueries::isOpen() const {
  return db().isOpen();
}

NoteAnswers HistoryQueries::noteAnswers(const HistoryFilter& filter) const {
  NoteAnswers result;
  QSqlQuery q = select(db(),
                       QStringLiteral("SELECT expected, answered, COUNT(*), SUM(correct)"
                                      " FROM answers%1 GROUP BY expected, answered"),
                       {whereOf(filter)});
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

std::vector<DayStats> HistoryQueries::days(const HistoryFilter& filter) const {
  // The median is the middle row of each day in response-time order, or the mean of the middle
  // two.
  QSqlQuery q =
      select(db(),
             QStringLiteral("SELECT day, n, c, AVG(response_ms) FROM ("
                            " SELECT day, response_ms,"
                            "  ROW_NUMBER() OVER (PARTITION BY day ORDER BY response_ms) AS rank,"
                            "  COUNT(*) OVER (PARTITION BY day) AS n,"
                            "  SUM(correct) OVER (PARTITION BY day) AS c"
                            " FROM answers%1)"
                            " WHERE rank IN ((n + 1) / 2, (n + 2) / 2) GROUP BY day ORDER BY day"),
             {whereOf(filter)});
  std::vector<DayStats> result;
  while (q.next())
    result.push_back({QDate::fromString(q.value(0).toString(), Qt::ISODate), q.value(1).toInt(),
                      q.value(2).toInt(), q.value(3).toDouble()});
  return result;
}

std::vector<LevelPoint> HistoryQueries::levels(const HistoryFilter& filter) const {
  QSqlQuery q = select(db(),
                       QStringLiteral("SELECT lesson, d, MAX(l) FROM ("
                                      " SELECT lesson, day AS d, level AS l FROM answers%1"
                                      " UNION ALL"
                                      " SELECT lesson, date(at, 'localtime'), to_level"
                                      " FROM level_events%2)"
                                      " GROUP BY lesson, d ORDER BY lesson, d"),
                       {whereOf(filter), whereOf(filter)});
  std::vector<LevelPoint> result;
  while (q.next()) {
    const auto lesson = lessonNamed(q.value(0).toString());
    if (!lesson) continue;
    result.push_back(
        {*lesson, QDate::fromString(q.value(1).toString(), Qt::ISODate), q.value(2).toInt()});
  }
  return result;
}

std::array<Intonation, 12> HistoryQueries::intonation(const HistoryFilter& filter) const {
  std::array<Intonation, 12> result{};
  QSqlQuery q = select(db(),
                       QStringLiteral("SELECT answered, COUNT(*), AVG(cents), AVG(cents * cents)"
                                      " FROM answers%1 GROUP BY answered"),
                       {whereOf(filter, QStringLiteral("cents IS NOT NULL"))});
  while (q.next()) {
    const int note = q.value(0).toInt();
    if (!isPitchClass(note)) continue;
    const double mean = q.value(2).toDouble();
    const double variance = q.value(3).toDouble() - mean * mean;
    result[note] = {q.value(1).toInt(), mean, std::sqrt(std::max(0.0, variance))};
  }
  return result;
}

bool HistoryQueries::exportCsv(const QString& fileName) const {
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
  QTextStream out(&file);
  // No value holds a comma, a quote or a line break, so none needs quoting.
  const QString columns = QStringLiteral(
      "at,lesson,level,question,answer,source,correct,response_ms,cents,session,position,octave,"
      "detected_note,offset_step");
  out << columns << '\n';
  QSqlQuery q = select(db(), QStringLiteral("SELECT %1 FROM answers ORDER BY id").arg(columns), {});
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
