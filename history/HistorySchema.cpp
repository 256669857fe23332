#include "history/HistorySchema.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTimeZone>
#include <algorithm>
#include <initializer_list>

namespace auralis {

namespace {

QString textOf(std::string_view text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

// Each step brings the schema from its index to the next version; only ever append.
// The pitch classes `expected` and `answered` and the local `day` are kept beside the other
// columns so that the statistics aggregate in SQL, on indexes.
constexpr std::initializer_list<const char*> kToVersion1 = {
    "CREATE TABLE sessions ("
    " id INTEGER PRIMARY KEY,"
    " started TEXT NOT NULL)",
    "CREATE TABLE answers ("
    " id INTEGER PRIMARY KEY,"
    " session INTEGER NOT NULL REFERENCES sessions(id),"
    " at TEXT NOT NULL,"
    " day TEXT NOT NULL,"
    " lesson TEXT NOT NULL,"
    " level INTEGER NOT NULL,"
    " question TEXT NOT NULL,"
    " position INTEGER NOT NULL,"
    " answer TEXT NOT NULL,"
    " source TEXT NOT NULL,"
    " correct INTEGER NOT NULL,"
    " response_ms INTEGER NOT NULL,"
    " cents REAL,"
    " octave INTEGER,"
    " detected_note INTEGER,"
    " offset_step INTEGER,"
    " expected INTEGER NOT NULL,"
    " answered INTEGER NOT NULL)",
    // Each chart reads one of these alone, grouping in the index's order, so that no query
    // sorts the whole history.
    "CREATE INDEX answers_by_note ON answers(lesson, expected, answered, correct, day)",
    "CREATE INDEX answers_by_lesson_day ON answers(lesson, day, response_ms, correct, level)",
    "CREATE INDEX answers_by_day ON answers(day, response_ms)",
    "CREATE INDEX answers_sung ON answers(lesson, answered, cents, day) WHERE cents IS NOT NULL",
    "CREATE INDEX answers_by_session ON answers(session)",
    "CREATE TABLE level_events ("
    " id INTEGER PRIMARY KEY,"
    " session INTEGER NOT NULL REFERENCES sessions(id),"
    " at TEXT NOT NULL,"
    " day TEXT NOT NULL,"
    " lesson TEXT NOT NULL,"
    " from_level INTEGER NOT NULL,"
    " to_level INTEGER NOT NULL,"
    " kind TEXT NOT NULL)",
    "CREATE INDEX level_events_by_lesson_day ON level_events(lesson, day, to_level)",
};

// Every held sung note, accepted or not, and every long-tone take. The rows of version 1 stay
// as they are.
constexpr std::initializer_list<const char*> kToVersion2 = {
    "CREATE TABLE sung_notes ("
    " id INTEGER PRIMARY KEY,"
    " session INTEGER NOT NULL REFERENCES sessions(id),"
    " at TEXT NOT NULL,"
    " day TEXT NOT NULL,"
    " lesson TEXT NOT NULL,"
    " level INTEGER NOT NULL,"
    " question TEXT NOT NULL,"
    " note INTEGER NOT NULL,"
    " pitch_class INTEGER NOT NULL,"
    " cents REAL NOT NULL,"
    " spread REAL NOT NULL,"
    " frames INTEGER NOT NULL,"
    " duration_ms INTEGER NOT NULL,"
    " accepted INTEGER NOT NULL,"
    " judged TEXT NOT NULL)",
    "CREATE INDEX sung_notes_by_note ON sung_notes(pitch_class, day, cents)",
    "CREATE INDEX sung_notes_by_day ON sung_notes(day, cents)",
    "CREATE INDEX sung_notes_by_session ON sung_notes(session)",
    "CREATE TABLE long_tones ("
    " id INTEGER PRIMARY KEY,"
    " session INTEGER NOT NULL REFERENCES sessions(id),"
    " at TEXT NOT NULL,"
    " day TEXT NOT NULL,"
    " note INTEGER NOT NULL,"
    " target_ms INTEGER NOT NULL,"
    " heard_ms INTEGER NOT NULL,"
    " within10 REAL NOT NULL,"
    " within25 REAL NOT NULL,"
    " drift REAL NOT NULL,"
    " wobble REAL NOT NULL,"
    " completed INTEGER NOT NULL)",
    "CREATE INDEX long_tones_by_note ON long_tones(note, within10, day)",
    "CREATE INDEX long_tones_by_day ON long_tones(day)",
    "CREATE INDEX long_tones_by_session ON long_tones(session)",
};

const std::array<std::initializer_list<const char*>, kHistorySchemaVersion> kMigrations = {
    kToVersion1, kToVersion2};

}  // namespace

QString lessonName(LessonMode lesson) {
  for (const LessonName& row : kLessonNames)
    if (row.lesson == lesson) return textOf(row.name);
  return QStringLiteral("practice");
}

std::optional<LessonMode> lessonNamed(const QString& name) {
  for (const LessonName& row : kLessonNames)
    if (name == textOf(row.name)) return row.lesson;
  return std::nullopt;
}

QString sourceName(AnswerSource source) {
  return textOf(kSourceNames[static_cast<std::size_t>(source)]);
}

QString levelEventName(LevelEventKind kind) {
  return textOf(kLevelEventNames[static_cast<std::size_t>(kind)]);
}

QString isoUtc(std::int64_t msSinceEpoch) {
  return QDateTime::fromMSecsSinceEpoch(msSinceEpoch, QTimeZone::utc())
      .toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}

QString localDay(std::int64_t msSinceEpoch) {
  return QDateTime::fromMSecsSinceEpoch(msSinceEpoch).date().toString(Qt::ISODate);
}

QString questionText(const std::array<int, 5>& questionNotes, int questionNoteCount) {
  QStringList notes;
  const int count = std::clamp(questionNoteCount, 0, static_cast<int>(questionNotes.size()));
  for (int i = 0; i < count; ++i) notes << QString::number(questionNotes[i]);
  // Empty but not null: the column takes no NULL.
  return count == 0 ? QStringLiteral("") : notes.join(QLatin1Char(' '));
}

QString questionText(const AnswerRecord& answer) {
  return questionText(answer.questionNotes, answer.questionNoteCount);
}

QString judgementName(HeldJudgement judged) {
  return textOf(kHeldJudgementNames[static_cast<std::size_t>(judged)]);
}

bool migrateHistory(QSqlDatabase& db, int from, QSqlError* error, int to) {
  if (!db.transaction()) {
    *error = db.lastError();
    return false;
  }
  QSqlQuery query(db);
  for (int version = from; version < std::min(to, kHistorySchemaVersion); ++version) {
    for (const char* statement : kMigrations[static_cast<std::size_t>(version)]) {
      if (!query.exec(QString::fromLatin1(statement))) {
        *error = query.lastError();
        db.rollback();
        return false;
      }
    }
  }
  if (!query.exec(
          QStringLiteral("PRAGMA user_version = %1").arg(std::min(to, kHistorySchemaVersion))) ||
      !db.commit()) {
    *error = query.lastError().isValid() ? query.lastError() : db.lastError();
    db.rollback();
    return false;
  }
  return true;
}

}  // namespace auralis
