#include <cmath>

#include "engine/Coaching.h"
#include "history/HistoryQueries.h"
#include "tests/app/HistoryFixture.h"

namespace auralis::testing {
namespace {

class SingingQueriesTest : public HistoryTest {
 protected:
  static HeldNote held(std::int64_t atMs, int midiNote, double cents, bool accepted,
                       LessonMode lesson = LessonMode::Practice) {
    HeldNote n;
    n.startMs = atMs;
    n.durationMs = 800;
    n.lesson = lesson;
    n.level = lesson == LessonMode::Practice ? 0 : 1;
    n.midiNote = midiNote;
    n.meanCents = cents;
    n.spreadCents = 3;
    n.frames = 30;
    n.accepted = accepted;
    n.judged = accepted ? HeldJudgement::Right : HeldJudgement::None;
    return n;
  }
  static LongToneResult take(std::int64_t atMs, int midiNote, double within10, double within25,
                             bool completed) {
    LongToneResult t;
    t.atMs = atMs;
    t.midiNote = midiNote;
    t.targetMs = 5000;
    t.heardMs = completed ? 5000 : 2000;
    t.within10 = within10;
    t.within25 = within25;
    t.driftCents = -4;
    t.wobbleCents = 6;
    t.completed = completed;
    return t;
  }
  void record(const std::vector<HeldNote>& notes, const std::vector<LongToneResult>& takes = {}) {
    if (!store) openStore();
    for (const HeldNote& n : notes) store->recordHeldNote(n);
    for (const LongToneResult& t : takes) store->recordLongTone(t);
    settle();
  }
  QSqlDatabase open() {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(path());
    db.open();
    return db;
  }
  void TearDown() override {
    QSqlDatabase::database(connection_, false).close();
    QSqlDatabase::removeDatabase(connection_);
  }

 private:
  QString connection_ = QStringLiteral("singing-queries");
};

TEST_F(SingingQueriesTest, IntonationPerNoteCountsEverySungNoteAcceptedOrNot) {
  record({held(noon(0), 60, -35, false), held(noon(0), 72, 5, true), held(noon(0), 48, 15, true),
          held(noon(0), 64, 30, false, LessonMode::Mimic), held(noon(1), 64, -10, true)});
  const auto all = sungIntonation(open(), filter());
  struct Row {
    int pitchClass;
    int count;
    double mean;
    double spread;
  };
  for (const Row& row : std::vector<Row>{{0, 3, -5, std::sqrt((30.0 * 30 + 10 * 10 + 20 * 20) / 3)},
                                         {4, 2, 10, 20},
                                         {7, 0, 0, 0}}) {
    SCOPED_TRACE(row.pitchClass);
    EXPECT_EQ(all[row.pitchClass].count, row.count);
    EXPECT_NEAR(all[row.pitchClass].meanCents, row.mean, 1e-9);
    EXPECT_NEAR(all[row.pitchClass].spreadCents, row.spread, 1e-6);
  }
  const auto mimic = sungIntonation(open(), filter(HistoryRange::All, LessonMode::Mimic));
  EXPECT_EQ(mimic[0].count, 0);
  EXPECT_EQ(mimic[4].count, 1);
  EXPECT_NEAR(mimic[4].meanCents, 30, 1e-9);
  const auto today = sungIntonation(open(), filter(HistoryRange::Today));
  EXPECT_EQ(today[4].count, 1) << "yesterday's E is not today's";
}

TEST_F(SingingQueriesTest, EachDayCountsItsSungNotesWithin10AndWithin25Cents) {
  record({held(noon(2), 60, 10, false), held(noon(2), 60, -10.5, false),
          held(noon(2), 62, 25, true), held(noon(2), 62, -25.5, false), held(noon(0), 64, 0, true),
          held(noon(0), 64, 40, false)});
  const std::vector<TuningDay> days = tuningByDay(open(), filter());
  ASSERT_EQ(days.size(), 2u);
  EXPECT_EQ(days[0].day, now().date().addDays(-2));
  EXPECT_EQ(days[0].notes, 4);
  EXPECT_EQ(days[0].within10, 1) << "10 is within, 10.5 is not";
  EXPECT_EQ(days[0].within25, 3) << "25 is within, 25.5 is not";
  EXPECT_EQ(days[1].day, now().date());
  EXPECT_EQ(days[1].notes, 2);
  EXPECT_EQ(days[1].within10, 1);
  EXPECT_EQ(days[1].within25, 1);
}

TEST_F(SingingQueriesTest, LongToneTakesComeInOrderAndBelongToPracticeSinging) {
  record({}, {take(noon(0, 30), 64, 0.4, 0.9, true), take(noon(3), 60, 0.7, 1.0, true),
              take(noon(0, 10), 64, 0.2, 0.5, false)});
  const std::vector<LongToneTake> takes = longToneTakes(open(), filter());
  ASSERT_EQ(takes.size(), 3u);
  EXPECT_EQ(takes[0].midiNote, 60);
  EXPECT_EQ(takes[0].at.toMSecsSinceEpoch(), noon(3));
  EXPECT_DOUBLE_EQ(takes[1].within10, 0.2);
  EXPECT_FALSE(takes[1].completed);
  EXPECT_DOUBLE_EQ(takes[2].within25, 0.9);
  EXPECT_DOUBLE_EQ(takes[2].driftCents, -4);
  EXPECT_DOUBLE_EQ(takes[2].wobbleCents, 6);
  EXPECT_EQ(longToneTakes(open(), filter(HistoryRange::Today)).size(), 2u);
  EXPECT_EQ(longToneTakes(open(), filter(HistoryRange::All, LessonMode::Practice)).size(), 3u);
  EXPECT_TRUE(longToneTakes(open(), filter(HistoryRange::All, LessonMode::Sing)).empty());
}

TEST_F(SingingQueriesTest, TheBestTakeOfANoteIsTheMostTimeWithin10OfThoseHeldToTheEnd) {
  record({}, {take(noon(2), 64, 0.5, 0.8, true), take(noon(1), 64, 1.0, 1.0, false),
              take(noon(0), 64, 0.5, 0.95, true), take(noon(0), 64, 0.3, 1.0, true),
              take(noon(0), 67, 0.9, 0.9, true), take(noon(0), 69, 0.9, 0.9, false)});
  const auto e = bestLongTone(open(), 64);
  ASSERT_TRUE(e);
  EXPECT_EQ(e->takes, 4);
  EXPECT_TRUE(e->held);
  EXPECT_DOUBLE_EQ(e->within10, 0.5) << "a take stopped early is never the best";
  EXPECT_DOUBLE_EQ(e->within25, 0.95) << "of equal times within 10, more within 25";
  const auto a = bestLongTone(open(), 69);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->takes, 1);
  EXPECT_FALSE(a->held);
  const auto c = bestLongTone(open(), 60);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->takes, 0);
}

TEST_F(SingingQueriesTest, AFileThatCannotBeReadShowsNothing) {
  const HistoryConnection none(dir.path() + QStringLiteral("/none/history.sqlite"));
  const QSqlDatabase db = none.database();
  EXPECT_FALSE(bestLongTone(db, 64).has_value());
  EXPECT_TRUE(tuningByDay(db, filter()).empty());
  EXPECT_TRUE(longToneTakes(db, filter()).empty());
  EXPECT_EQ(sungIntonation(db, filter())[0].count, 0);
}

}  // namespace
}  // namespace auralis::testing
