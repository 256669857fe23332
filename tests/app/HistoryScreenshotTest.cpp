#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QImage>
#include <QLocale>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <random>

#include "app/StatisticsWindow.h"
#include "engine/Coaching.h"
#include "engine/Notes.h"
#include "tests/app/ScreenshotDisplay.h"

namespace auralis::testing {
namespace {

constexpr std::int64_t kDayMs = 24 * 3600 * 1000;

HeldNote heldNote(std::int64_t atMs, int midiNote, double cents, bool accepted) {
  HeldNote n;
  n.startMs = atMs;
  n.durationMs = 700;
  n.lesson = LessonMode::Mimic;
  n.level = 2;
  n.midiNote = midiNote;
  n.meanCents = cents;
  n.spreadCents = 6;
  n.frames = 25;
  n.accepted = accepted;
  n.judged = accepted ? HeldJudgement::Right : HeldJudgement::None;
  return n;
}

// Two weeks of practice that gets better: Identify climbing, Mimic sung a little sharp on the
// sharps and flat on F and B, neighbours confused more than far notes, some notes held too far
// off to be taken, and two long tones a day held steadier each day.
int recordTwoWeeks(HistoryStore& store, int* correctCount) {
  std::mt19937 random(611);
  std::uniform_real_distribution<double> unit(0, 1);
  std::normal_distribution<double> wobble(0, 8);
  // A fixed fortnight, so that the picture is the same whichever day it is drawn on.
  const std::int64_t now = QDateTime(QDate(2026, 12, 9), QTime(18, 0)).toMSecsSinceEpoch();
  int count = 0;
  *correctCount = 0;
  for (int day = 13; day >= 0; --day) {
    const double skill = 0.55 + 0.03 * (13 - day);
    for (int i = 0; i < 60; ++i) {
      const bool mimic = i % 3 == 0;
      const int note = 60 + static_cast<int>(unit(random) * 12);
      const bool correct = unit(random) < skill - (isBlackKey(pitchClassOf(note)) ? 0.15 : 0);
      const int miss = unit(random) < 0.7 ? (unit(random) < 0.5 ? 1 : -1) : 5;
      AnswerRecord a;
      a.atMs = now - day * kDayMs - (60 - i) * 20000;
      a.lesson = mimic ? LessonMode::Mimic : LessonMode::Identify;
      a.level = mimic ? 2 + (13 - day) / 4 : 3 + (13 - day) / 2;
      a.questionNotes = {note};
      a.questionNoteCount = 1;
      a.letter = NoteLetters[pitchClassOf(correct ? note : note + miss)];
      a.correct = correct;
      a.responseMs = static_cast<int>(2200 - 90 * (13 - day) + 600 * unit(random));
      if (mimic) {
        const int sungClass = LetterToPitchClass(a.letter);
        a.source = AnswerSource::Sung;
        a.cents = (isBlackKey(sungClass) ? 14 : 0) - (sungClass == 5 || sungClass == 11 ? 17 : 0) +
                  wobble(random);
        a.octave = 5;
        a.detectedNote = 60 + sungClass - 21;
        store.recordHeldNote(heldNote(a.atMs - 400, 60 + sungClass, a.cents, true));
        if (i % 9 == 0)
          store.recordHeldNote(heldNote(a.atMs - 2000, 60 + sungClass,
                                        (i % 2 == 0 ? 1 : -1) * (30 + 2 * day), false));
      }
      store.recordAnswer(a);
      ++count;
      *correctCount += correct;
    }
    for (int take = 0; take < 2; ++take) {
      LongToneResult t;
      t.atMs = now - day * kDayMs - (3 - take) * 3600000;
      t.midiNote = take == 0 ? 64 : 57;
      t.targetMs = 6000;
      t.heardMs = 6000;
      t.within25 = std::min(1.0, 0.6 + 0.03 * (13 - day) + 0.05 * unit(random));
      t.within10 = t.within25 * (0.4 + 0.035 * (13 - day));
      t.driftCents = -8 + 0.5 * (13 - day);
      t.wobbleCents = 14 - 0.6 * (13 - day);
      t.completed = true;
      store.recordLongTone(t);
    }
  }
  store.flush();
  return count;
}

int pixelsOf(const QImage& image, const QColor& colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == colour;
  return count;
}

TEST(HistoryScreenshots, TheStatisticsWindowShowsTwoWeeksOfPractice) {
  if (screenshotDisplayMissing) {
    if (std::getenv("CI") != nullptr) FAIL() << "no X display; the tests need DISPLAY";
    GTEST_SKIP() << "no X display: run under tools/with-services.sh or xvfb-run -a";
  }
  QTemporaryDir dir;
  HistoryStore store(dir.path() + QStringLiteral("/history.sqlite"));
  int correct = 0;
  const int asked = recordTwoWeeks(store, &correct);

  StatisticsWindow window(store);
  window.setSolfegeNames(true);
  window.show();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !window.waiting(); }, 5000));
  window.repaint();
  QCoreApplication::processEvents();
  QTest::qWait(50);
  const QImage shot = window.screen()->grabWindow(window.winId()).toImage();
  QDir().mkpath(QStringLiteral(AURALIS_SCREENSHOT_DIR));
  shot.save(QStringLiteral(AURALIS_SCREENSHOT_DIR "/screenshot-statistics.png"));

  EXPECT_EQ(window.summary(), QStringLiteral("%1 answers, %2% correct")
                                  .arg(QLocale().toString(asked))
                                  .arg(std::lround(100.0 * correct / asked)));
  EXPECT_GT(pixelsOf(shot, intonationColour(30)), 20) << "sharp notes";
  EXPECT_GT(pixelsOf(shot, intonationColour(-30)), 20) << "flat notes";
  EXPECT_GT(pixelsOf(shot, intonationColour(0)), 20) << "notes in tune";
  // 20 sung answers a day, and 7 notes a day held too far off to be taken.
  EXPECT_EQ(window.intonationChart().basis(), "378 sung notes");
  EXPECT_EQ(window.tuningChart().basis(), "378 sung notes");
  EXPECT_EQ(window.longToneChart().basis(), "28 takes");
}

}  // namespace
}  // namespace auralis::testing
