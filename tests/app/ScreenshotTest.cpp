#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QStatusBar>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/CoachingTexts.h"
#include "app/ExerciseView.h"
#include "app/NoticeLine.h"
#include "display/NotePanelLayout.h"
#include "tests/app/ScreenshotDisplay.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

const QColor kRed(255, 0, 0);
const QColor kDarkRed(128, 0, 0);
const QColor kBlue(0, 0, 255);
const QColor kGreen(0, 255, 0);
const QColor kWhite(255, 255, 255);
const QColor kBlack(0, 0, 0);

// A picture named "screenshot-..." is one that docs/ and the manual show: tools/render-pictures.sh
// copies it there, and the manual_pictures test fails when docs/ shows one that no test makes.
struct View {
  const char* name;
  QAction* MainMenu::*item;
  bool piano;
  const char* identifyPicture;
  const char* singPicture;
};
const std::array<View, 3> kViews = {{
    {"solfege", &MainMenu::Solfege1, false, "screenshot-solfege", "sing-solfege"},
    {"notes", &MainMenu::Notes1, false, "identify-notes", "screenshot-notes"},
    {"piano", &MainMenu::Piano1, true, "screenshot-piano", "sing-piano"},
}};

// A frame of the detector for a sung pitch given as a fractional MIDI note.
notice::MicFrame sungFrame(double pitch) {
  const int note = static_cast<int>(std::lround(pitch));
  const double cents = (pitch - note) * 100.0;
  FrameResult result;
  result.DetectedNote = note - 21;
  result.DetectedPitchClass = pitchClassOf(note);
  // Twelve sub-bands a semitone, the middle one in tune.
  result.DetectedOffsetStep =
      std::clamp(kNominalSubBand + static_cast<int>(std::lround(cents * 12 / 100)), 0, 11);
  result.DetectedOffset = static_cast<float>(result.DetectedOffsetStep) / 12.0f;
  return {result, SungPitch{pitch, cents}};
}

// The real window on the X display, grabbed from the screen as the user sees it.
class Screenshots : public WindowTest {
 protected:
  void SetUp() override {
    if (screenshotDisplayMissing) {
      if (std::getenv("CI") != nullptr) FAIL() << "no X display; the tests need DISPLAY";
      GTEST_SKIP() << "no X display: run under tools/with-services.sh or xvfb-run -a";
    }
  }

  void showWindow() {
    // The same questions at every run, so that a picture changes only when the window does.
    lesson().random.SeedRandom(0.25L);
    TForm1& window = *form;
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }

  // Paints everything, grabs the window and keeps the picture for a person to look at.
  void grab(const std::string& name) {
    form->repaint();
    QCoreApplication::processEvents();
    QTest::qWait(50);
    shot = form->screen()->grabWindow(form->winId()).toImage();
    origin = form->notePanel()->mapTo(form.get(), QPoint(0, 0));
    layout = form->notePanel()->panelLayout();
    QDir().mkpath(QStringLiteral(AURALIS_SCREENSHOT_DIR));
    shot.save(QStringLiteral(AURALIS_SCREENSHOT_DIR "/%1.png").arg(QString::fromStdString(name)));
  }

  // The clocks run as they do a few seconds after start.
  void runClock(int seconds) {
    for (int i = 0; i < seconds; ++i) lesson().Timer1Timer();
  }

  QColor at(int x, int y) const { return shot.pixelColor(origin + QPoint(x, y)); }
  // Inside the note cell, clear of the names.
  QColor cellColour(int column) const {
    return at(layout.columnLeft(column) + 4, layout.cellTop() + 3);
  }
  QColor dotColour(int column) const {
    return at(layout.columnLeft(column) + layout.columnWidth / 2, layout.height / 2);
  }
  // Between two ticks inside the in-tune band of the top and bottom scales.
  std::pair<QColor, QColor> bandColours(int column) const {
    const auto scale = display::tuningScaleOf(layout, column);
    const int x = (scale.ticks[5] + scale.ticks[6]) / 2;
    const int h = layout.stripHeight;
    return {at(x, layout.topScaleTop() + h / 2), at(x, layout.bottomScaleTop() + h / 2)};
  }
  int pixelsOf(const QColor& colour, int column) const {
    int count = 0;
    for (int x = layout.columnLeft(column) + 1; x < layout.columnLeft(column + 1); ++x)
      for (int y = layout.cellTop(); y < layout.cellBottom(); ++y) count += at(x, y) == colour;
    return count;
  }

  void expectBands(const char* view) {
    for (int column = 0; column < 12; ++column) {
      const auto [top, bottom] = bandColours(column);
      EXPECT_EQ(top, kGreen) << view << " column " << column;
      EXPECT_EQ(bottom, kGreen) << view << " column " << column;
    }
  }

  QImage shot;
  QPoint origin;
  display::NotePanelLayout layout;
};

std::string nameOf(QColor colour) {
  return colour.name().toStdString();
}

TEST_F(Screenshots, IdentifyShowsTheLevelRedAndTheAnsweredNoteBlue) {
  storeValue("IdentifyMastery95Percent", 1);  // C and E, two notes a question
  open();
  showWindow();
  runClock(9);
  type("i");
  finishPhrases();
  ASSERT_EQ(lesson().question.QuestionNoteCount, 2);
  const int answered = pitchClassOf(lesson().question.QuestionNotes[0]);
  const int other = answered == 0 ? 4 : 0;
  type(std::string(1, NoteLetters[answered]));
  ASSERT_EQ(lesson().question.AnswerPosition, 1);

  for (const View& view : kViews) {
    (menus().*view.item)->trigger();
    grab(view.identifyPicture);
    expectBands(view.name);
    if (view.piano) {
      EXPECT_EQ(nameOf(dotColour(answered)), nameOf(kBlue)) << "the answered note's dot";
      EXPECT_EQ(nameOf(dotColour(other)), nameOf(kRed));
      EXPECT_EQ(nameOf(dotColour(2)), nameOf(kWhite)) << "D is a plain white key";
      EXPECT_EQ(nameOf(dotColour(1)), nameOf(kBlack)) << "C# is a plain black key";
      continue;
    }
    EXPECT_EQ(nameOf(cellColour(0)), nameOf(kRed)) << view.name;
    EXPECT_EQ(nameOf(cellColour(4)), nameOf(kRed)) << view.name;
    for (int plain : {1, 2, 3, 5, 7, 11})
      EXPECT_EQ(nameOf(cellColour(plain)), nameOf(kWhite)) << view.name << " " << plain;
    EXPECT_GT(pixelsOf(kBlue, answered), 20) << view.name << ": the answered note's name";
    EXPECT_EQ(pixelsOf(kBlue, other), 0) << view.name;
  }
}

TEST_F(Screenshots, SingShowsTheNoteToSingRedAndTheRestOfTheLevelDarkRed) {
  storeValue("SingingMastery95Percent", 4);  // C, D, E and G
  open();
  showWindow();
  runClock(9);
  type("s");
  const int first = lesson().question.FirstNotePitchClass;
  for (const View& view : kViews) {
    (menus().*view.item)->trigger();
    grab(view.singPicture);
    expectBands(view.name);
    for (int column : {0, 2, 4, 7}) {
      const QColor wanted = column == first ? kRed : kDarkRed;
      const QColor seen = view.piano ? dotColour(column) : cellColour(column);
      EXPECT_EQ(nameOf(seen), nameOf(wanted)) << view.name << " column " << column;
    }
    if (view.piano) continue;
    // Notes outside the level show no name at all.
    EXPECT_EQ(pixelsOf(kBlack, 1), 0) << view.name;
    EXPECT_EQ(pixelsOf(kBlack, 9), 0) << view.name;
    EXPECT_GT(pixelsOf(kBlack, first), 20) << view.name << ": the name of the note to sing";
  }
}

// Counts the pixels of a colour inside a widget of the grabbed window.
int pixelsIn(const QImage& shot, const QWidget* widget, const QWidget* window,
             const QColor& colour) {
  const QRect area(widget->mapTo(window, QPoint(0, 0)), widget->size());
  int count = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) count += shot.pixelColor(x, y) == colour;
  return count;
}

TEST_F(Screenshots, ThePitchGraphShowsASungGlideAndVibratoInPracticeAndMimic) {
  storeValue("PitchGraph1", "1");
  open();
  showWindow();
  ASSERT_TRUE(form->pitchGraph()->isVisible());
  const QColor sung(0, 0, 255);
  const QColor questionLine(220, 0, 0);
  const struct {
    const char* name;
    char key;  // the lesson chosen before singing
  } lessons[] = {{"screenshot-pitch-graph-practice", 'p'}, {"screenshot-pitch-graph-mimic", 'm'}};
  runClock(9);
  for (const auto& lesson : lessons) {
    type(std::string(1, lesson.key));
    finishPhrases();
    const int asked = lesson.key == 'm' ? this->lesson().question.QuestionNotes[0] : 64;
    // Three seconds: a glide up to the note, then the note held with a vibrato of 30 cents.
    for (int frame = 0; frame < 130; ++frame) {
      const double t = frame / 43.0;
      const double glide = asked - 3.0 + std::min(t, 1.0) * 3.0;
      const double pitch = glide + (t > 1.2 ? 0.3 * std::sin(2 * M_PI * 5.5 * t) : 0.0);
      form->messageWindow().post(sungFrame(pitch));
    }
    deliverNotices();
    grab(lesson.name);
    EXPECT_GT(pixelsIn(shot, form->pitchGraph(), form.get(), sung), 200) << lesson.name;
  }
  // Mimic's question is not shown before it is answered; Practice has none.
  EXPECT_EQ(pixelsIn(shot, form->pitchGraph(), form.get(), questionLine), 0);
}

// The first steps of the manual: sing a note in Practice Singing and watch the status bar and the
// triangles. The panel shows the frequency of the note heard, not the one sung.
TEST_F(Screenshots, PracticeSingingShowsTheNoteHeardAtItsInTuneFrequency) {
  open();
  showWindow();
  runClock(9);
  // DO, C4, sung 10 cents sharp (263.1 Hz).
  for (int frame = 0; frame < 20; ++frame) form->messageWindow().post(sungFrame(60.1));
  deliverNotices();
  grab("screenshot-first-screen");

  EXPECT_EQ(panel(0), QStringLiteral("0:00 / 0:00 / 0:09"));
  EXPECT_EQ(panel(1), QStringLiteral("261.6 Hz"));
  // Both triangles over DO, right of its middle; none anywhere else.
  // The triangles' wide ends, at the panel's top and bottom edges.
  const int top = 2;
  const int bottom = layout.height - 3;
  for (int column = 0; column < 12; ++column) {
    int topRed = 0;
    int bottomRed = 0;
    int leftHalfRed = 0;
    for (int x = layout.columnLeft(column); x < layout.columnLeft(column + 1); ++x) {
      topRed += at(x, top) == kRed;
      bottomRed += at(x, bottom) == kRed;
      leftHalfRed += x < layout.columnLeft(column) + layout.columnWidth / 2 && at(x, top) == kRed;
    }
    EXPECT_EQ(topRed > 0, column == 0) << "column " << column;
    EXPECT_EQ(bottomRed > 0, column == 0) << "column " << column;
    EXPECT_EQ(leftHalfRed, 0) << "column " << column << ": sung sharp, not flat";
  }
}

// The troubleshooting page's notice: a strip above the status bar that shows the whole text and
// leaves every status panel in view.
TEST_F(Screenshots, ANoticeShowsWholeAboveTheStatusBar) {
  open();
  showWindow();
  runClock(9);
  const QString text = QStringLiteral(
      "The answer history cannot be opened now: the disk is full. The answers of this run are "
      "kept in memory and written to it once it opens.");
  form->showNotice(text);
  QCoreApplication::processEvents();
  const NoticeLine* line = form->noticeLine();
  ASSERT_TRUE(line->isVisible());
  grab("screenshot-notice-line");

  EXPECT_EQ(line->textLabel()->text(), text) << "shown whole, nothing elided";
  EXPECT_EQ(line->textLabel()->toolTip(), text);
  EXPECT_TRUE(line->dismissButton()->isVisible());
  const QStatusBar* bar = form->statusPanels().bar();
  const int lineBottom = line->mapTo(form.get(), QPoint(0, line->height())).y();
  const int barTop = bar->mapTo(form.get(), QPoint(0, 0)).y();
  EXPECT_LE(lineBottom, barTop) << "the notice sits above the status bar";
  EXPECT_GT(lineBottom, barTop - 20) << "and just above it";
  for (int i = 0; i < 5; ++i) {
    EXPECT_TRUE(form->statusPanels().panel(i)->isVisible()) << "panel " << i;
    EXPECT_FALSE(form->statusPanels().panel(i)->text().contains(QStringLiteral("history")))
        << "panel " << i << " keeps its own text";
  }
  EXPECT_EQ(panel(0), QStringLiteral("0:00 / 0:00 / 0:09"));
  // In the tool tip's colours, whatever the theme.
  const QPoint inside = line->mapTo(form.get(), QPoint(3, line->height() / 2));
  EXPECT_EQ(nameOf(shot.pixelColor(inside)), nameOf(line->palette().color(QPalette::ToolTipBase)));
}

// The exercises: the instruction line says the task, the note panel frames the note it is sung
// from, the pitch graph draws the band of the note to sing, and the naming direction shows its
// row of answer buttons.
TEST_F(Screenshots, EachExerciseShowsItsTaskItsMarksAndItsAnswers) {
  storeValue("PitchGraph1", "1");
  storeValue("ExerciseDirection", "0");
  storeValue("IntervalsLevel", "4");  // thirds and fourths, upwards
  storeValue("ChordTonesLevel", "2");
  open();
  showWindow();
  runClock(9);
  ExerciseFeature& exercises = form->exercises();
  const ExerciseLesson& exercise = form->core().exercise();
  const QColor frame(0, 128, 0);
  const QColor band(120, 170, 235);
  const struct {
    const char* picture;
    Exercise which;
    bool naming;
  } shots[] = {{"screenshot-intervals", Exercise::Intervals, false},
               {"screenshot-scale-degrees", Exercise::ScaleDegrees, true},
               {"screenshot-chord-tones", Exercise::ChordTones, false}};
  for (const auto& shotOf : shots) {
    SCOPED_TRACE(shotOf.picture);
    (shotOf.naming ? exercises.nameItem() : exercises.singItem())->trigger();
    exercises.item(shotOf.which)->trigger();
    finishPhrases();
    if (!shotOf.naming) {
      // Questions sung right, a little sharp and held, until one is sung from a note the panel
      // may show: the line shows the last answer, and the band where the next one lies.
      for (int sung = 1; sung <= 6 && (sung == 1 || shownPitchClassesOf(exercise.question()) ==
                                                        std::array<bool, 12>{});
           ++sung) {
        const int target = exercise.question().targetNote;
        for (int frameIndex = 0; frameIndex < 50; ++frameIndex)
          form->messageWindow().post(sungFrame(target + 0.04 + 0.03 * std::sin(frameIndex / 4.0)));
        for (int silent = 0; silent < 3; ++silent) form->messageWindow().post(notice::MicFrame{});
        deliverNotices();
        finishPhrases();
        EXPECT_TRUE(panel(4).startsWith(QStringLiteral("%1/%1 this level").arg(sung)))
            << panel(4).toStdString();
      }
      // A moment of silence, as the microphone goes on hearing: the view glides to the band.
      for (int silent = 0; silent < 30; ++silent) form->messageWindow().post(notice::MicFrame{});
      deliverNotices();
    }
    const ExerciseQuestion question = exercise.question();
    grab(shotOf.picture);
    ASSERT_EQ(exercise.question().task, question.task) << "the question stands";
    EXPECT_EQ(instruction().toStdString(), question.instruction);
    const int framed = pixelsIn(shot, form->notePanel(), form.get(), frame);
    const bool referenceShown = shownPitchClassesOf(question) != std::array<bool, 12>{};
    EXPECT_EQ(framed > 100, referenceShown) << framed;
    const int banded = pixelsIn(shot, form->pitchGraph(), form.get(), band);
    EXPECT_EQ(banded > 100, !shotOf.naming) << banded;
    EXPECT_EQ(exercises.choiceRow()->isVisible(), shotOf.naming);
    if (shotOf.naming) {
      ASSERT_FALSE(exercises.choiceButtons().empty());
      EXPECT_TRUE(exercises.choiceButtons().front()->isVisible());
    }
  }
}

// The singing page: a note held 35 cents flat is told in the coaching line, which the window
// adds below the note panel without taking anything from the panels above it or the status bar.
TEST_F(Screenshots, TheCoachingLineTellsAnOffTuneNoteBelowThePanels) {
  storeValue("CoachingLine1", "1");
  open();
  showWindow();
  runClock(9);
  const int notePanelHeight = form->notePanel()->height();
  // MI held 35 cents flat: outside the band, never an answer.
  for (int frame = 0; frame < 60; ++frame) form->messageWindow().post(sungFrame(63.65));
  deliverNotices();
  grab("screenshot-coaching-line");

  EXPECT_EQ(form->coaching().lineLabel()->text(), "MI, 35 cents flat");
  EXPECT_EQ(form->height(), kFormHeight + kCoachingLineHeight);
  EXPECT_EQ(form->notePanel()->height(), notePanelHeight) << "the panel keeps its room";
  const QWidget* line = form->coaching().lineLabel()->parentWidget();
  const int lineBottom = line->mapTo(form.get(), QPoint(0, line->height())).y();
  const int barTop = form->statusPanels().bar()->mapTo(form.get(), QPoint(0, 0)).y();
  const int panelBottom =
      form->notePanel()->mapTo(form.get(), QPoint(0, form->notePanel()->height())).y();
  EXPECT_LE(lineBottom, barTop);
  EXPECT_GE(line->mapTo(form.get(), QPoint(0, 0)).y(), panelBottom);
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(form->statusPanels().panel(i)->isVisible()) << i;
  EXPECT_GT(
      pixelsIn(shot, form->coaching().lineLabel(), form.get(), coachingColour(CoachingTone::Flat)),
      20)
      << "told in the colour of a flat note";
}

// With the pitch graph shown and no coaching line, the verdict goes in the graph's top left
// corner.
TEST_F(Screenshots, ThePitchGraphTellsTheVerdictInItsCorner) {
  storeValue("PitchGraph1", "1");
  storeValue("MimicMastery95Percent", "0");
  open();
  showWindow();
  runClock(9);
  type("m");
  finishPhrases();
  const int asked = lesson().question.QuestionNotes[0];
  const int sungNote = pitchClassOf(asked) == 0 ? 67 : 60;  // a wrong note, a little sharp
  // About a second: long enough to be taken once, too short to answer again.
  for (int frame = 0; frame < 45; ++frame) {
    const double t = frame / 43.0;
    form->messageWindow().post(sungFrame(sungNote - 1.0 + std::min(t, 0.6) / 0.6 + 0.08 +
                                         0.1 * std::sin(2 * M_PI * 5 * t)));
  }
  deliverNotices();
  grab("screenshot-coaching-graph");

  EXPECT_TRUE(form->coaching().message().text.contains(QStringLiteral(", not ")))
      << form->coaching().message().text.toStdString();
  EXPECT_EQ(form->pitchGraph()->caption(), form->coaching().message().text);
  EXPECT_GT(pixelsIn(shot, form->pitchGraph(), form.get(), coachingColour(CoachingTone::Wrong)),
            20);
}

// The long-tone window after a take of MI, with the best take kept before.
TEST_F(Screenshots, TheLongToneWindowShowsTheScoreAndTheBest) {
  open();
  showWindow();
  runClock(9);
  LongToneResult best;
  best.atMs = QDateTime::currentMSecsSinceEpoch() - 24 * 3600 * 1000;
  best.midiNote = 64;
  best.targetMs = 6000;
  best.heardMs = 6000;
  best.within10 = 0.74;
  best.within25 = 1.0;
  best.completed = true;
  form->history().recorder().recordLongTone(best);
  form->history().store().flush();
  menus().LongTones1->trigger();
  LongToneDialog& dialog = *form->longTones();
  dialog.chooseNote(64);
  dialog.secondsBox()->setValue(6);
  dialog.startButton()->click();
  ASSERT_TRUE(dialog.running());
  dialog.showProgress({64, 6000, 6000, -4, true});
  LongToneResult take;
  take.midiNote = 64;
  take.targetMs = 6000;
  take.heardMs = 6000;
  take.within10 = 0.68;
  take.within25 = 0.97;
  take.driftCents = -6;
  take.wobbleCents = 7;
  take.completed = true;
  dialog.showResult(take);
  dialog.adjustSize();
  QTest::qWait(50);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  dialog.repaint();
  QCoreApplication::processEvents();
  const QImage picture = dialog.screen()->grabWindow(dialog.winId()).toImage();
  QDir().mkpath(QStringLiteral(AURALIS_SCREENSHOT_DIR));
  picture.save(QStringLiteral(AURALIS_SCREENSHOT_DIR "/screenshot-long-tones.png"));
  EXPECT_EQ(dialog.scoreText(), longToneScoreText(take));
  EXPECT_FALSE(dialog.running());
  form->core().stopLongTone();
}

}  // namespace
}  // namespace auralis::testing
