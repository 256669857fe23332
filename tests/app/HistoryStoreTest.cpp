#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <QTimeZone>
#include <cmath>
#include <optional>

#include "history/HistoryPaths.h"
#include "history/HistoryQueries.h"
#include "history/HistorySchema.h"
#include "tests/app/HistoryFixture.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

TEST_F(HistoryTest, EveryFieldOfEverySourceComesBackAsRecorded) {
  struct Case {
    AnswerSource source;
    const char* sourceName;
    LessonMode lesson;
    const char* lessonName;
  };
  const std::vector<Case> cases = {
      {AnswerSource::Typed, "typed", LessonMode::Identify, "identify"},
      {AnswerSource::Click, "click", LessonMode::Unlock, "unlock"},
      {AnswerSource::Midi, "midi", LessonMode::Meditate, "meditate"},
      {AnswerSource::Sung, "sung", LessonMode::Sing, "sing"},
  };
  HistoryStore& s = openStore();
  // 2024-06-15 09:15:02.123 UTC
  const std::int64_t at = 1718442902123;
  for (std::size_t i = 0; i < cases.size(); ++i) {
    AnswerRecord a;
    a.atMs = at + static_cast<std::int64_t>(i);
    a.lesson = cases[i].lesson;
    a.level = 12 + static_cast<int>(i);
    a.questionNotes = {60, 64, 67};
    a.questionNoteCount = 3;
    a.position = 1;
    a.letter = 'D';
    a.source = cases[i].source;
    a.correct = i % 2 == 0;
    a.responseMs = 1234;
    a.octave = 5;
    a.detectedNote = 42;
    a.offsetStep = -3;
    a.cents = -12.5;
    s.recordAnswer(a);
  }
  settle();

  const HistoryFile file(path());
  const auto rows = file.rows(QStringLiteral(
      "SELECT at, lesson, level, question, answer, source, correct, response_ms, cents, position,"
      " octave, detected_note, offset_step, expected, answered, session FROM answers ORDER BY id"));
  ASSERT_EQ(rows.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(cases[i].sourceName);
    const QVariantList& r = rows[i];
    const bool sung = cases[i].source == AnswerSource::Sung;
    EXPECT_EQ(r[0].toString(), QStringLiteral("2024-06-15T09:15:02.12%1Z").arg(3 + i));
    EXPECT_EQ(r[1].toString(), cases[i].lessonName);
    EXPECT_EQ(r[2].toInt(), 12 + static_cast<int>(i));
    EXPECT_EQ(r[3].toString(), "60 64 67");
    EXPECT_EQ(r[4].toString(), "D");
    EXPECT_EQ(r[5].toString(), cases[i].sourceName);
    EXPECT_EQ(r[6].toInt(), i % 2 == 0 ? 1 : 0);
    EXPECT_EQ(r[7].toInt(), 1234);
    EXPECT_EQ(r[8].isNull(), !sung) << "cents only for sung answers";
    if (sung) {
      EXPECT_DOUBLE_EQ(r[8].toDouble(), -12.5);
    }
    EXPECT_EQ(r[9].toInt(), 1);
    EXPECT_EQ(r[10].isNull(), !sung);
    EXPECT_EQ(r[11].isNull(), !sung);
    EXPECT_EQ(r[12].isNull(), !sung);
    if (sung) {
      EXPECT_EQ(r[10].toInt(), 5);
      EXPECT_EQ(r[11].toInt(), 42);
      EXPECT_EQ(r[12].toInt(), -3);
    }
    EXPECT_EQ(r[13].toInt(), 4) << "E, the question note at the answered position";
    EXPECT_EQ(r[14].toInt(), 3) << "D sharp, the letter answered";
    EXPECT_EQ(r[15].toLongLong(), s.sessionId());
  }
}

TEST_F(HistoryTest, ASungAnswerWithoutAPitchKeepsNoCents) {
  HistoryStore& s = openStore();
  AnswerRecord a = sung(noon(0), 60, 'c', std::nan(""));
  s.recordAnswer(a);
  settle();
  EXPECT_TRUE(HistoryFile(path()).value(QStringLiteral("SELECT cents FROM answers")).isNull());
}

TEST_F(HistoryTest, LevelChangesAreKeptWithTheirKind) {
  const std::vector<std::pair<LevelEventKind, const char*>> kinds = {
      {LevelEventKind::Promotion, "promotion"},
      {LevelEventKind::LevelUp, "level-up"},
      {LevelEventKind::LevelDown, "level-down"},
      {LevelEventKind::Reset, "reset"}};
  HistoryStore& s = openStore();
  for (std::size_t i = 0; i < kinds.size(); ++i)
    s.recordLevelEvent({noon(0, static_cast<int>(i)), LessonMode::Mimic, static_cast<int>(i) + 1,
                        static_cast<int>(i) + 2, kinds[i].first});
  settle();
  const auto rows = HistoryFile(path()).rows(
      QStringLiteral("SELECT lesson, from_level, to_level, kind, session FROM level_events"
                     " ORDER BY id"));
  ASSERT_EQ(rows.size(), kinds.size());
  for (std::size_t i = 0; i < kinds.size(); ++i) {
    EXPECT_EQ(rows[i][0].toString(), "mimic");
    EXPECT_EQ(rows[i][1].toInt(), static_cast<int>(i) + 1);
    EXPECT_EQ(rows[i][2].toInt(), static_cast<int>(i) + 2);
    EXPECT_EQ(rows[i][3].toString(), kinds[i].second);
    EXPECT_EQ(rows[i][4].toLongLong(), s.sessionId());
  }
}

TEST_F(HistoryTest, ANewFileGetsTheCurrentSchemaAndEachRunASession) {
  openStore().recordAnswer(answer(noon(1), 60, 'c', true));
  settle();
  const std::int64_t first = store->sessionId();
  closeStore();
  openStore().recordAnswer(answer(noon(0), 62, 'd', true));
  settle();
  EXPECT_GT(store->sessionId(), first);
  const HistoryFile file(path());
  EXPECT_EQ(file.value(QStringLiteral("PRAGMA user_version")).toInt(), kHistorySchemaVersion);
  EXPECT_EQ(file.value(QStringLiteral("PRAGMA journal_mode")).toString(), "wal");
  EXPECT_EQ(file.value(QStringLiteral("SELECT COUNT(*) FROM sessions")).toInt(), 2);
  EXPECT_EQ(file.value(QStringLiteral("SELECT COUNT(*) FROM answers")).toInt(), 2);
  EXPECT_TRUE(notices.empty());
}

TEST_F(HistoryTest, AVersion1FileKeepsEveryRowAndGainsTheSungNoteTables) {
  QDir().mkpath(QFileInfo(path()).absolutePath());
  const QString everything = QStringLiteral(
      "SELECT id, session, at, day, lesson, level, question, position, answer, source, correct,"
      " response_ms, cents, octave, detected_note, offset_step, expected, answered FROM answers"
      " UNION ALL SELECT id, session, at, day, lesson, from_level, to_level, kind, NULL, NULL,"
      " NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL FROM level_events"
      " UNION ALL SELECT id, NULL, started, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,"
      " NULL, NULL, NULL, NULL, NULL, NULL FROM sessions ORDER BY 3, 2");
  std::vector<QVariantList> before;
  {
    // The first step is what the first version wrote; steps are never edited.
    QSqlDatabase db =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("version1"));
    db.setDatabaseName(path());
    QSqlError error;
    ASSERT_TRUE(db.open() && migrateHistory(db, 0, &error, 1)) << error.text().toStdString();
    db.close();
    const HistoryFile file(path());
    for (const char* rows :
         {"INSERT INTO sessions(started) VALUES ('2024-06-01T08:00:00.000Z')",
          "INSERT INTO answers(session, at, day, lesson, level, question, position, answer,"
          " source, correct, response_ms, cents, octave, detected_note, offset_step, expected,"
          " answered) VALUES (1, '2024-06-01T08:01:00.000Z', '2024-06-01', 'identify', 3,"
          " '60 64', 1, 'e', 'typed', 1, 800, NULL, NULL, NULL, NULL, 4, 4), (1,"
          " '2024-06-01T08:02:00.000Z', '2024-06-01', 'mimic', 1, '62', 0, 'd', 'sung', 1, 1500,"
          " -14.9, 5, 41, 5, 2, 2)",
          "INSERT INTO level_events(session, at, day, lesson, from_level, to_level, kind) VALUES"
          " (1, '2024-06-01T08:05:00.000Z', '2024-06-01', 'identify', 3, 4, 'promotion')"})
      ASSERT_TRUE(file.exec(QString::fromLatin1(rows))) << rows;
    ASSERT_EQ(file.value(QStringLiteral("PRAGMA user_version")).toInt(), 1);
    before = file.rows(everything);
  }
  QSqlDatabase::removeDatabase(QStringLiteral("version1"));
  ASSERT_EQ(before.size(), 4u);

  HeldNote note;
  note.startMs = noon(0);
  openStore().recordHeldNote(note);
  settle();
  const HistoryFile file(path());
  EXPECT_EQ(file.value(QStringLiteral("PRAGMA user_version")).toInt(), kHistorySchemaVersion);
  std::vector<QVariantList> after = file.rows(everything);
  ASSERT_EQ(after.size(), before.size() + 1) << "this run's session is added";
  after.pop_back();
  EXPECT_EQ(after, before);
  EXPECT_EQ(file.value(QStringLiteral("SELECT COUNT(*) FROM sung_notes")).toInt(), 1);
  EXPECT_TRUE(notices.empty());
}

// A file as the second schema left it, written by its own steps: a session, three answers and
// a sung note.
void writeVersion2File(const QString& path) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  {
    QSqlDatabase db =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("version2"));
    db.setDatabaseName(path);
    QSqlError error;
    ASSERT_TRUE(db.open() && migrateHistory(db, 0, &error, 2)) << error.text().toStdString();
    db.close();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("version2"));
  const HistoryFile file(path);
  const char* statements[] = {
      "INSERT INTO sessions(started) VALUES ('2024-06-01T08:00:00.000Z')",
      "INSERT INTO answers(session, at, day, lesson, level, question, position, answer, source,"
      " correct, response_ms, cents, octave, detected_note, offset_step, expected, answered)"
      " VALUES (1, '2024-06-01T08:01:00.000Z', '2024-06-01', 'identify', 3, '60 64', 1, 'e',"
      " 'typed', 1, 800, NULL, NULL, NULL, NULL, 4, 4), (1, '2024-06-01T08:02:00.000Z',"
      " '2024-06-01', 'mimic', 1, '62', 0, 'd', 'sung', 1, 1500, -14.9, 5, 41, 5, 2, 2), (1,"
      " '2024-06-01T08:03:00.000Z', '2024-06-01', 'sing', 2, '67', 0, 'g', 'sung', 0, 2100,"
      " 8.5, 5, 46, 6, 7, 7)",
      "INSERT INTO sung_notes(session, at, day, lesson, level, question, note, pitch_class, cents,"
      " spread, frames, duration_ms, accepted, judged) VALUES (1, '2024-06-01T08:02:00.000Z',"
      " '2024-06-01', 'mimic', 1, '62', 62, 2, -14.9, 3.2, 40, 900, 1, 'right')",
  };
  for (const char* statement : statements)
    ASSERT_TRUE(file.exec(QString::fromLatin1(statement))) << statement;
  ASSERT_EQ(file.value(QStringLiteral("PRAGMA user_version")).toInt(), 2);
}

TEST_F(HistoryTest, AVersion2FileKeepsEveryRowAndGainsTheExerciseColumns) {
  writeVersion2File(path());
  const QString answers = QStringLiteral(
      "SELECT id, session, at, lesson, level, question, answer, cents, expected, answered"
      " FROM answers ORDER BY id");
  const QString notes = QStringLiteral("SELECT * FROM sung_notes ORDER BY id");
  std::vector<QVariantList> answersBefore;
  std::vector<QVariantList> notesBefore;
  {
    const HistoryFile file(path());
    answersBefore = file.rows(answers);
    notesBefore = file.rows(notes);
  }
  ASSERT_EQ(answersBefore.size(), 3u);
  ASSERT_EQ(notesBefore.size(), 1u);

  openStore();
  settle();
  const HistoryFile file(path());
  EXPECT_EQ(file.value(QStringLiteral("PRAGMA user_version")).toInt(), kHistorySchemaVersion);
  EXPECT_EQ(file.rows(answers), answersBefore);
  EXPECT_EQ(file.rows(notes), notesBefore);
  EXPECT_EQ(file.value(QStringLiteral("SELECT COUNT(*) FROM answers WHERE item IS NULL AND"
                                      " answered_item IS NULL AND direction IS NULL"))
                .toInt(),
            3)
      << "the rows kept are no exercise's";
  EXPECT_TRUE(notices.empty()) << notices.front().toStdString();
}

TEST_F(HistoryTest, ExerciseAnswersKeepTheirTaskItemsDirectionAndCents) {
  HistoryStore& s = openStore();
  const struct {
    LessonMode lesson;
    const char* name;
    AnswerSource source;
    const char* task;
    const char* item;
    const char* answered;
    const char* direction;
  } cases[] = {
      {LessonMode::Intervals, "intervals", AnswerSource::Sung, "M3 up from C4", "M3", "m3", "sing"},
      {LessonMode::ScaleDegrees, "scale-degrees", AnswerSource::Typed, "deg 5 in G from G3", "5",
       "5", "name"},
      {LessonMode::ChordTones, "chord-tones", AnswerSource::Click, "A3 minor", "minor", "major",
       "name"},
  };
  for (const auto& c : cases) {
    AnswerRecord a;
    a.atMs = noon(0);
    a.lesson = c.lesson;
    a.level = 3;
    a.questionNotes = {64, 60};
    a.questionNoteCount = 2;
    a.letter = 'D';
    a.source = c.source;
    a.cents = 21.5;
    a.task = c.task;
    a.item = c.item;
    a.answeredItem = c.answered;
    a.direction = c.direction;
    s.recordAnswer(a);
  }
  settle();
  const HistoryFile file(path());
  const auto rows = file.rows(QStringLiteral(
      "SELECT lesson, question, item, answered_item, direction, cents, expected, answered"
      " FROM answers ORDER BY id"));
  ASSERT_EQ(rows.size(), std::size(cases));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.name);
    EXPECT_EQ(rows[i][0].toString(), c.name);
    EXPECT_EQ(rows[i][1].toString(), c.task);
    EXPECT_EQ(rows[i][2].toString(), c.item);
    EXPECT_EQ(rows[i][3].toString(), c.answered);
    EXPECT_EQ(rows[i][4].toString(), c.direction);
    EXPECT_EQ(rows[i][5].isNull(), c.source != AnswerSource::Sung);
    if (c.source == AnswerSource::Sung) {
      EXPECT_DOUBLE_EQ(rows[i][5].toDouble(), 21.5);
    }
    EXPECT_EQ(rows[i][6].toInt(), 4);
    EXPECT_EQ(rows[i][7].toInt(), 3);
    EXPECT_EQ(lessonNamed(rows[i][0].toString()), c.lesson);
  }
}

TEST_F(HistoryTest, HeldNotesAndLongTonesComeBackAsRecordedAndAreCleared) {
  HistoryStore& s = openStore();
  HeldNote n{1718442902123,      812, LessonMode::Practice, 0, {}, 0, 63, -35.25, 7.5, 31, false,
             HeldJudgement::None};
  s.recordHeldNote(n);
  n.lesson = LessonMode::Sing;
  n.level = 2;
  n.questionNotes = {60, 64};
  n.questionNoteCount = 2;
  n.accepted = true;
  n.judged = HeldJudgement::Wrong;
  s.recordHeldNote(n);
  s.recordLongTone({1718442902123, 67, 6000, 5830, 0.625, 0.875, -8.5, 6.25, true});
  settle();

  const HistoryFile file(path());
  const auto text = [&](const char* sql) {
    QStringList rows;
    for (const QVariantList& row : file.rows(QString::fromLatin1(sql))) {
      QStringList values;
      for (const QVariant& value : row) values << value.toString();
      rows << values.join(QLatin1Char('|'));
    }
    return rows.join(QLatin1Char('\n'));
  };
  EXPECT_EQ(text("SELECT session = (SELECT MAX(id) FROM sessions), at, lesson, level, question, "
                 "note, pitch_class, cents, spread,"
                 " frames, duration_ms, accepted, judged FROM sung_notes ORDER BY id"),
            "1|2024-06-15T09:15:02.123Z|practice|0||63|3|-35.25|7.5|31|812|0|none\n"
            "1|2024-06-15T09:15:02.123Z|sing|2|60 64|63|3|-35.25|7.5|31|812|1|wrong");
  EXPECT_EQ(text("SELECT session = (SELECT MAX(id) FROM sessions), at, note, target_ms, heard_ms, "
                 "within10, within25, drift,"
                 " wobble, completed FROM long_tones"),
            "1|2024-06-15T09:15:02.123Z|67|6000|5830|0.625|0.875|-8.5|6.25|1");

  s.clearHistory();
  settle();
  EXPECT_EQ(file.value(QStringLiteral("SELECT COUNT(*) FROM sung_notes")).toInt(), 0);
  EXPECT_EQ(file.value(QStringLiteral("SELECT COUNT(*) FROM long_tones")).toInt(), 0);
}

TEST_F(HistoryTest, AnswersQueuedAtExitAreWritten) {
  HistoryStore& s = openStore();
  for (int i = 0; i < 500; ++i) s.recordAnswer(answer(noon(0) + i, 60 + i % 12, 'c', i % 3 == 0));
  closeStore();
  EXPECT_EQ(HistoryFile(path()).value(QStringLiteral("SELECT COUNT(*) FROM answers")).toInt(), 500);
}

TEST_F(HistoryTest, ClearingRemovesEveryAnswerEventAndEarlierSession) {
  openStore().recordAnswer(answer(noon(3), 60, 'c', true));
  closeStore();
  HistoryStore& s = openStore();
  s.recordAnswer(answer(noon(0), 60, 'c', true));
  s.recordLevelEvent({noon(0), LessonMode::Identify, 1, 2, LevelEventKind::Promotion});
  s.clearHistory();
  s.recordAnswer(answer(noon(0, 5), 62, 'd', true));
  settle();
  const HistoryFile file(path());
  EXPECT_EQ(file.value(QStringLiteral("SELECT COUNT(*) FROM answers")).toInt(), 1);
  EXPECT_EQ(file.value(QStringLiteral("SELECT answer FROM answers")).toString(), "d");
  EXPECT_EQ(file.value(QStringLiteral("SELECT COUNT(*) FROM level_events")).toInt(), 0);
  EXPECT_EQ(file.value(QStringLiteral("SELECT id FROM sessions")).toLongLong(), s.sessionId());
}

TEST_F(HistoryTest, TheChangedNoticeFollowsWrittenAnswers) {
  HistoryStore& s = openStore();
  int changes = 0;
  QObject::connect(&s, &HistoryStore::changed, [&] { ++changes; });
  s.recordAnswer(answer(noon(0), 60, 'c', true));
  settle();
  EXPECT_GE(changes, 1);
}

// A question asked of the store is answered on its own thread, after everything handed to the
// writer before it, without a flush; an answer for a receiver that has gone is dropped.
TEST_F(HistoryTest, AQuestionSeesEveryAnswerRecordedBeforeIt) {
  struct Case {
    const char* name;
    int before;  // answers recorded before the question
    bool clear;  // and the history cleared after them
    int after;   // answers recorded after the clear
    int counted;
  };
  const std::vector<Case> cases = {
      {"none", 0, false, 0, 0},
      {"a few", 3, false, 0, 3},
      {"a batch being written", 400, false, 0, 400},
      {"cleared", 5, true, 0, 0},
      {"cleared and answered again", 5, true, 2, 2},
  };
  HistoryStore& s = openStore();
  HistoryFilter all;
  all.now = now();
  for (const Case& c : cases) {
    for (int i = 0; i < c.before; ++i) s.recordAnswer(answer(noon(0) + i, 60, 'c', true));
    if (c.clear) s.clearHistory();
    for (int i = 0; i < c.after; ++i) s.recordAnswer(answer(noon(0) + i, 62, 'd', true));
    std::optional<int> counted;
    s.ask(
        &s, [&](const QSqlDatabase& db) { return noteAnswers(db, all).asked(); },
        [&](int asked) { counted = asked; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return counted.has_value(); }, 5000)) << c.name;
    EXPECT_EQ(counted.value_or(-1), c.counted) << c.name;
    s.clearHistory();
  }

  auto receiver = std::make_unique<QObject>();
  bool told = false;
  s.ask(
      receiver.get(), [](const QSqlDatabase&) { return 1; }, [&](int) { told = true; });
  s.flush();  // answered, the answer posted
  receiver.reset();
  QCoreApplication::processEvents();
  EXPECT_FALSE(told) << "the receiver had gone";
}

TEST(HistoryPaths, TheFileLivesUnderAnAbsoluteDataHomeOrHomeOnly) {
  struct Case {
    const char* dataHome;  // null: unset
    const char* home;      // null: unset
    QString expected;
  };
  const QString underHome = QStringLiteral("/home/singer/.local/share/Auralis/history.sqlite");
  const std::vector<Case> cases = {
      {"/srv/data", "/home/singer", QStringLiteral("/srv/data/Auralis/history.sqlite")},
      {"/srv/data/", nullptr, QStringLiteral("/srv/data/Auralis/history.sqlite")},
      {nullptr, "/home/singer", underHome},
      {"", "/home/singer", underHome},
      {"relative/data", "/home/singer", underHome},
      {nullptr, nullptr, QString()},
      {"relative/data", "relative/home", QString()},
  };
  auto valueOf = [](const char* text) {
    return text ? std::optional(QByteArray(text)) : std::nullopt;
  };
  for (const Case& c : cases) {
    const ScopedVariable dataHome("XDG_DATA_HOME", valueOf(c.dataHome));
    const ScopedVariable home("HOME", valueOf(c.home));
    EXPECT_EQ(historyDatabasePath(), c.expected)
        << (c.dataHome ? c.dataHome : "(unset)") << ", " << (c.home ? c.home : "(unset)");
  }
}

TEST(HistoryPaths, ADamagedFileIsSetAsideUnderItsLocalTime) {
  EXPECT_EQ(corruptCopyPath(QStringLiteral("/d/history.sqlite"),
                            QDateTime(QDate(2024, 6, 5), QTime(7, 8, 9))),
            "/d/history.sqlite.corrupt-20240605-070809");
}

}  // namespace
}  // namespace auralis::testing
