#include <QFile>
#include <cmath>

#include "history/HistoryQueries.h"
#include "tests/app/HistoryFixture.h"

namespace auralis::testing {
namespace {

class HistoryQueriesTest : public HistoryTest {
 protected:
  void record(const std::vector<AnswerRecord>& answers) {
    if (!store) openStore();
    for (const AnswerRecord& a : answers) store->recordAnswer(a);
    settle();
  }
};

TEST_F(HistoryQueriesTest, EachQuestionNoteCountsItsAnswersAndWhatWasAnswered) {
  record({answer(noon(0), 60, 'c', true), answer(noon(0), 72, 'c', true),
          answer(noon(0), 48, 'c', true), answer(noon(0), 60, 'd', false),
          answer(noon(0), 61, 'C', true), answer(noon(0), 61, 'D', false),
          answer(noon(0), 61, 'D', false), answer(noon(0), 71, 'b', true),
          answer(noon(0), 59, 'b', true)});
  const NoteAnswers result = noteAnswers(HistoryConnection(path()).database(), filter());

  struct Row {
    int note;
    int asked;
    int correct;
    std::vector<std::pair<int, int>> answered;  // pitch class, count
  };
  const std::vector<Row> expected = {
      {0, 4, 3, {{0, 3}, {2, 1}}},
      {1, 3, 1, {{1, 1}, {3, 2}}},
      {11, 2, 2, {{11, 2}}},
  };
  int rowsWithAnswers = 0;
  for (int note = 0; note < 12; ++note) rowsWithAnswers += result.perNote[note].asked > 0;
  EXPECT_EQ(rowsWithAnswers, 3);
  for (const Row& row : expected) {
    SCOPED_TRACE(row.note);
    EXPECT_EQ(result.perNote[row.note].asked, row.asked);
    EXPECT_EQ(result.perNote[row.note].correct, row.correct);
    std::array<int, 12> wanted{};
    for (const auto& [answered, count] : row.answered) wanted[answered] = count;
    EXPECT_EQ(result.confusion[row.note], wanted);
  }
  EXPECT_EQ(result.asked(), 9);
  EXPECT_EQ(result.correct(), 6);
}

TEST_F(HistoryQueriesTest, RangeAndLessonChooseTheAnswersCounted) {
  record({answer(noon(40), 60, 'c', true, LessonMode::Identify),
          answer(noon(10), 60, 'c', true, LessonMode::Mimic)});
  const std::int64_t earlier = store->sessionId();
  closeStore();
  record({answer(noon(6), 60, 'c', true, LessonMode::Identify),
          answer(noon(1), 60, 'c', true, LessonMode::Sing),
          answer(noon(0), 60, 'c', true, LessonMode::Identify),
          answer(noon(0, 1), 60, 'c', true, LessonMode::Mimic)});

  struct Case {
    const char* name;
    HistoryRange range;
    std::optional<LessonMode> lesson;
    int asked;
  };
  const std::vector<Case> cases = {
      {"all", HistoryRange::All, std::nullopt, 6},
      {"last 30 days", HistoryRange::Last30Days, std::nullopt, 5},
      {"last 7 days", HistoryRange::Last7Days, std::nullopt, 4},
      {"today", HistoryRange::Today, std::nullopt, 2},
      {"this session", HistoryRange::Session, std::nullopt, 4},
      {"all of Identify", HistoryRange::All, LessonMode::Identify, 3},
      {"Mimic today", HistoryRange::Today, LessonMode::Mimic, 1},
      {"Sing in the last 7 days", HistoryRange::Last7Days, LessonMode::Sing, 1},
      {"Unlock", HistoryRange::All, LessonMode::Unlock, 0},
  };
  const HistoryConnection connection(path());
  for (const Case& c : cases)
    EXPECT_EQ(noteAnswers(connection.database(), filter(c.range, c.lesson)).asked(), c.asked)
        << c.name;
  HistoryFilter first = filter(HistoryRange::Session);
  first.sessionId = earlier;
  EXPECT_EQ(noteAnswers(connection.database(), first).asked(), 2) << "the earlier session";
}

TEST_F(HistoryQueriesTest, ARangeStartsAtLocalMidnightOfItsFirstDay) {
  struct Case {
    HistoryRange range;
    int firstDayBack;
  };
  const std::vector<Case> cases = {
      {HistoryRange::Today, 0}, {HistoryRange::Last7Days, 6}, {HistoryRange::Last30Days, 29}};
  const QDate today = now().date();
  std::vector<AnswerRecord> answers;
  for (const Case& c : cases) {
    const QDateTime first = today.addDays(-c.firstDayBack).startOfDay();
    answers.push_back(answer(first.toMSecsSinceEpoch(), 60, 'c', true));
    answers.push_back(answer(first.toMSecsSinceEpoch() - 1, 60, 'c', true));
  }
  record(answers);
  const HistoryConnection connection(path());
  for (std::size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(noteAnswers(connection.database(), filter(cases[i].range)).asked(),
              static_cast<int>(2 * i + 1))
        << "range " << i;
}

TEST_F(HistoryQueriesTest, EachDayHasItsAccuracyAndMedianResponseTime) {
  const auto at = [](int daysAgo, int responseMs, bool correct) {
    return answer(noon(daysAgo, responseMs % 60), 60, 'c', correct, LessonMode::Identify, 1,
                  responseMs);
  };
  record({at(2, 900, true), at(2, 500, false), at(2, 700, true), at(0, 10000, false),
          at(0, 100, true), at(0, 500, true), at(0, 300, true)});
  const std::vector<DayStats> days = progress(HistoryConnection(path()).database(), filter()).days;
  struct Row {
    int daysAgo;
    int asked;
    int correct;
    double median;
  };
  const std::vector<Row> expected = {{2, 3, 2, 700}, {0, 4, 3, 400}};
  ASSERT_EQ(days.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(days[i].day, now().date().addDays(-expected[i].daysAgo));
    EXPECT_EQ(days[i].asked, expected[i].asked);
    EXPECT_EQ(days[i].correct, expected[i].correct);
    EXPECT_DOUBLE_EQ(days[i].medianResponseMs, expected[i].median);
  }
}

TEST_F(HistoryQueriesTest, TheLevelReachedIsTheHighestOfEachLessonAndDay) {
  record({answer(noon(2), 60, 'c', true, LessonMode::Identify, 3),
          answer(noon(2, 5), 60, 'c', true, LessonMode::Identify, 5),
          answer(noon(0), 60, 'c', true, LessonMode::Identify, 4),
          answer(noon(0), 60, 'c', true, LessonMode::Mimic, 2)});
  store->recordLevelEvent({noon(0, 9), LessonMode::Identify, 4, 6, LevelEventKind::Promotion});
  settle();
  const std::vector<LevelPoint> points =
      progress(HistoryConnection(path()).database(), filter()).levels;
  struct Row {
    LessonMode lesson;
    int daysAgo;
    int level;
  };
  const std::vector<Row> expected = {
      {LessonMode::Identify, 2, 5}, {LessonMode::Identify, 0, 6}, {LessonMode::Mimic, 0, 2}};
  ASSERT_EQ(points.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(points[i].lesson, expected[i].lesson) << i;
    EXPECT_EQ(points[i].day, now().date().addDays(-expected[i].daysAgo)) << i;
    EXPECT_EQ(points[i].level, expected[i].level) << i;
  }
}

TEST_F(HistoryQueriesTest, IntonationIsTheMeanAndSpreadOfEachSungNote) {
  AnswerRecord typed = answer(noon(0), 60, 'c', true);
  typed.cents = 40;  // not sung: never counted
  record({sung(noon(0), 60, 'c', 10), sung(noon(0), 60, 'c', 20), sung(noon(0), 48, 'c', 30),
          sung(noon(0), 64, 'e', -15), sung(noon(0), 67, 'g', std::nan("")), typed});
  const auto notes = intonation(HistoryConnection(path()).database(), filter());
  struct Row {
    int note;
    int count;
    double mean;
    double spread;
  };
  const std::vector<Row> expected = {
      {0, 3, 20, std::sqrt(200.0 / 3)}, {4, 1, -15, 0}, {7, 0, 0, 0}};
  for (const Row& row : expected) {
    SCOPED_TRACE(row.note);
    EXPECT_EQ(notes[row.note].count, row.count);
    EXPECT_NEAR(notes[row.note].meanCents, row.mean, 1e-9);
    EXPECT_NEAR(notes[row.note].spreadCents, row.spread, 1e-6);
  }
}

TEST_F(HistoryQueriesTest, ExportWritesEveryAnswerAsCommaSeparatedValues) {
  AnswerRecord two = sung(1718442902123, 67, 'G', -7.5);
  two.questionNotes = {64, 67};
  two.questionNoteCount = 2;
  two.position = 1;
  two.correct = false;
  two.responseMs = 640;
  record({answer(1718442900000, 60, 'c', true, LessonMode::Identify, 3, 812), two});
  const QString csv = dir.path() + QStringLiteral("/out.csv");
  ASSERT_TRUE(exportCsv(HistoryConnection(path()).database(), csv));
  QFile file(csv);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
  const QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
  const QString session = QString::number(store->sessionId());
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0],
            "at,lesson,level,question,answer,source,correct,response_ms,cents,session,position,"
            "octave,detected_note,offset_step");
  EXPECT_EQ(lines[1], "2024-06-15T09:15:00.000Z,identify,3,60,c,typed,1,812,," + session + ",0,,,");
  EXPECT_EQ(lines[2],
            "2024-06-15T09:15:02.123Z,mimic,1,64 67,G,sung,0,640,-7.5," + session + ",1,5,46,0");
}

// Qt's warnings, such as a text's missing argument, collected while it lives.
class QtWarnings {
 public:
  QtWarnings() { previous_ = qInstallMessageHandler(&QtWarnings::collect); }
  ~QtWarnings() { qInstallMessageHandler(previous_); }
  QtWarnings(const QtWarnings&) = delete;
  QtWarnings& operator=(const QtWarnings&) = delete;
  static QStringList& seen() {
    static QStringList messages;
    return messages;
  }

 private:
  static void collect(QtMsgType, const QMessageLogContext&, const QString& message) {
    seen().append(message);
  }
  QtMessageHandler previous_ = nullptr;
};

TEST_F(HistoryQueriesTest, ExportAndEveryQueryRunWithoutAWarning) {
  record({answer(noon(0), 60, 'c', true), sung(noon(0), 67, 'G', 3.0)});
  QtWarnings::seen().clear();
  {
    const QtWarnings warnings;
    const HistoryConnection connection(path());
    EXPECT_TRUE(exportCsv(connection.database(), dir.path() + QStringLiteral("/out.csv")));
    EXPECT_EQ(noteAnswers(connection.database(), filter()).asked(), 2);
    progress(connection.database(), filter(HistoryRange::Today, LessonMode::Identify));
    intonation(connection.database(), filter(HistoryRange::Session));
  }
  EXPECT_TRUE(QtWarnings::seen().isEmpty()) << QtWarnings::seen().join('\n').toStdString();
}

TEST_F(HistoryQueriesTest, AMissingFileShowsNothing) {
  const HistoryConnection connection(dir.path() + QStringLiteral("/none/history.sqlite"));
  EXPECT_FALSE(connection.isOpen());
  EXPECT_EQ(noteAnswers(connection.database(), filter()).asked(), 0);
  EXPECT_TRUE(progress(connection.database(), filter()).days.empty());
  EXPECT_FALSE(QFile::exists(dir.path() + QStringLiteral("/none/history.sqlite")));
}

// An exercise's answer: the item asked, what the answer amounted to, and the sung cents.
AnswerRecord exerciseAnswer(LessonMode lesson, const char* item, const char* answered,
                            std::optional<double> cents = std::nullopt) {
  AnswerRecord a = HistoryTest::answer(HistoryTest::noon(0), 64, 'e',
                                       std::string_view(item) == answered, lesson);
  a.task = std::string(item) + " up from C4";
  a.item = item;
  a.answeredItem = answered;
  a.direction = cents ? "sing" : "name";
  if (cents) {
    a.source = AnswerSource::Sung;
    a.cents = *cents;
  }
  return a;
}

TEST_F(HistoryQueriesTest, EachExerciseItemCountsItsAnswersIntonationAndConfusions) {
  record({exerciseAnswer(LessonMode::Intervals, "M3", "M3", 10.0),
          exerciseAnswer(LessonMode::Intervals, "M3", "M3", -20.0),
          exerciseAnswer(LessonMode::Intervals, "M3", "m3"),
          exerciseAnswer(LessonMode::Intervals, "P5", "P4"),
          exerciseAnswer(LessonMode::Intervals, "P5", "P4"),
          exerciseAnswer(LessonMode::ScaleDegrees, "5", "5", 4.0),
          answer(noon(0), 60, 'c', true, LessonMode::Identify)});

  const ExerciseAnswers intervals = exerciseAnswers(
      HistoryConnection(path()).database(), filter(HistoryRange::All, LessonMode::Intervals));
  ASSERT_EQ(intervals.items.size(), 2u);
  const ItemStats& third = intervals.items[0];
  EXPECT_EQ(third.item, "M3");
  EXPECT_EQ(third.asked, 3);
  EXPECT_EQ(third.correct, 2);
  EXPECT_EQ(third.intonation.count, 2) << "only the sung answers";
  EXPECT_DOUBLE_EQ(third.intonation.meanCents, -5.0);
  EXPECT_DOUBLE_EQ(third.intonation.spreadCents, 15.0);
  EXPECT_EQ(intervals.items[1].item, "P5");
  EXPECT_EQ(intervals.items[1].correct, 0);
  EXPECT_EQ(intervals.items[1].intonation.count, 0);
  struct Cell {
    const char* asked;
    const char* answered;
    int count;
  };
  for (const Cell& cell : {Cell{"M3", "M3", 2}, Cell{"M3", "m3", 1}, Cell{"P5", "P4", 2},
                           Cell{"P5", "P5", 0}, Cell{"5", "5", 0}})
    EXPECT_EQ(intervals.count(cell.asked, cell.answered), cell.count)
        << cell.asked << " as " << cell.answered;

  // Without a lesson: every exercise, and none of the six lessons' answers.
  const ExerciseAnswers all = exerciseAnswers(HistoryConnection(path()).database(), filter());
  ASSERT_EQ(all.items.size(), 3u);
  EXPECT_EQ(all.items[0].item, "5");
  EXPECT_EQ(all.count("5", "5"), 1);
}

}  // namespace
}  // namespace auralis::testing
