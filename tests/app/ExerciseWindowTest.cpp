// The relative-pitch exercises as the window offers them: their menu items and keys, the
// direction, the answer buttons of the naming direction, the marks of the note panel and the
// pitch graph, and what the settings keep of them.

#include <QMenu>
#include <QToolButton>
#include <algorithm>
#include <set>

#include "app/ExerciseView.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

class ExerciseWindow : public WindowTest {
 protected:
  TForm1& openActive() {
    TForm1& window = open();
    window.FormActivate();
    return window;
  }
  ExerciseFeature& feature() { return form->exercises(); }
  ExerciseLesson& exercise() { return form->core().exercise(); }
  void startNaming(Exercise which) {
    feature().nameItem()->trigger();
    feature().item(which)->trigger();
    finishPhrases();
  }
  // The asked choice's key, as a user types it.
  char rightKey() { return exercise().choices()[exercise().question().answerChoice].key; }
};

TEST_F(ExerciseWindow, TheItemsFollowThePartsItemsBehindASeparatorEachWithItsKey) {
  openActive();
  const QList<QAction*> items = menus().mnuLesson->actions();
  const std::array<QAction*, 6> parts = {menus().Warmup1,    menus().Identify1, menus().Unlock1,
                                         menus().MimicSing1, menus().Sing1,     menus().Meditate1};
  for (std::size_t i = 0; i < parts.size(); ++i) EXPECT_EQ(items[i], parts[i]) << i;
  EXPECT_TRUE(items[6]->isSeparator());
  const char* keys[] = {"Ctrl+1", "Ctrl+2", "Ctrl+3"};
  for (int i = 0; i < kExerciseCount; ++i) {
    QAction* item = feature().item(static_cast<Exercise>(i));
    EXPECT_EQ(items[7 + i], item);
    EXPECT_EQ(item->shortcut().toString(), QString::fromLatin1(keys[i]));
    EXPECT_FALSE(item->statusTip().isEmpty());
  }
  // The Parts' own items follow as they were.
  EXPECT_TRUE(items.indexOf(menus().Levelup1) > items.indexOf(feature().octaveFreeItem()));
  EXPECT_EQ(menus().Levelup1->shortcut().toString(), "Ctrl+U");
}

TEST_F(ExerciseWindow, ChoosingAnExerciseAndThenALessonMovesTheCheckMarkAndTheAnswers) {
  openActive();
  feature().item(Exercise::Intervals)->trigger();
  EXPECT_TRUE(exercise().active());
  EXPECT_TRUE(feature().item(Exercise::Intervals)->isChecked());
  EXPECT_FALSE(menus().Warmup1->isChecked());
  EXPECT_TRUE(instruction().startsWith("Sing a")) << instruction().toStdString();
  const QString task = instruction();
  menus().Notes1->trigger();
  EXPECT_EQ(instruction(), task) << "another view keeps the task on the instruction line";

  // The lesson keys switch lessons from an exercise as from any lesson.
  type("i");
  EXPECT_FALSE(exercise().active());
  EXPECT_TRUE(menus().Identify1->isChecked());
  EXPECT_FALSE(feature().item(Exercise::Intervals)->isChecked());
  EXPECT_FALSE(feature().choiceRow()->isVisibleTo(form.get()));
  // The Identify lesson's letters answer it again.
  finishPhrases();
  const int asked = lesson().scores.TotalAsked;
  type(rightAnswer());
  EXPECT_EQ(lesson().scores.TotalAsked, asked + 1);
}

TEST_F(ExerciseWindow, NamingShowsAButtonPerAnswerWhoseKeyAndClickAnswer) {
  openActive();
  const std::set<char> partsKeys = {'c', 'C', 'd', 'D', 'e', 'f', 'F',
                                    'g', 'G', 'a', 'A', 'b', 'r', 'w'};
  for (int i = 0; i < kExerciseCount; ++i) {
    const auto which = static_cast<Exercise>(i);
    for (int level = 1; level <= exercise().levelCount(which); ++level) {
      exercise().setLevel(which, level);
      startNaming(which);
      const auto choices = exercise().choices();
      const auto& buttons = feature().choiceButtons();
      ASSERT_EQ(buttons.size(), choices.size()) << i << " level " << level;
      ASSERT_TRUE(feature().choiceRow()->isVisibleTo(form.get()));
      std::set<char> keys;
      for (std::size_t c = 0; c < choices.size(); ++c) {
        EXPECT_FALSE(partsKeys.contains(choices[c].key)) << choices[c].key;
        EXPECT_TRUE(keys.insert(choices[c].key).second) << "one key, one answer";
        EXPECT_TRUE(buttons[c]->toolTip().endsWith(QStringLiteral("(key %1)").arg(choices[c].key)))
            << buttons[c]->toolTip().toStdString();
      }
    }
  }

  exercise().setLevel(Exercise::Intervals, 1);
  startNaming(Exercise::Intervals);
  const QString scoreBefore = panel(4);
  type(std::string(1, rightKey()));
  EXPECT_NE(panel(4), scoreBefore) << "the answer was judged";
  finishPhrases();
  // A click on the right button answers as its key does.
  const QString scoreAfterKey = panel(4);
  feature().choiceButtons()[exercise().question().answerChoice]->click();
  EXPECT_NE(panel(4), scoreAfterKey);
}

TEST_F(ExerciseWindow, SingingHidesTheButtonsMarksTheReferenceAndDrawsTheTargetBand) {
  openActive();
  feature().singItem()->trigger();
  for (int i = 0; i < kExerciseCount; ++i) {
    feature().item(static_cast<Exercise>(i))->trigger();
    finishPhrases();
    const ExerciseQuestion& question = exercise().question();
    EXPECT_FALSE(feature().choiceRow()->isVisibleTo(form.get()));
    ASSERT_TRUE(form->pitchGraph()->targetBand().has_value()) << i;
    EXPECT_EQ(form->pitchGraph()->targetBand()->note, question.targetNote);
    EXPECT_EQ(form->pitchGraph()->targetBand()->cents, question.toleranceCents);
    EXPECT_EQ(form->notePanel()->framedColumns(), shownPitchClassesOf(question));
  }
  menus().Warmup1->trigger();
  EXPECT_FALSE(form->pitchGraph()->targetBand().has_value());
  EXPECT_EQ(form->notePanel()->framedColumns(), (std::array<bool, 12>{}));
}

TEST(ExerciseMarks, TheNotePanelNeverMarksTheNoteToSing) {
  struct Case {
    ExerciseDirection direction;
    int reference, target;
    int marked;  // pitch class, -1 for none
  };
  const Case cases[] = {
      {ExerciseDirection::Sing, 60, 64, 0},   // M3 up from C4: C is marked
      {ExerciseDirection::Sing, 60, 72, -1},  // the octave: C would give it away
      {ExerciseDirection::Sing, 67, 55, -1},  // the octave below
      {ExerciseDirection::Sing, 62, 57, 2},   // P4 below D
      {ExerciseDirection::Name, 60, -1, 0},
      {ExerciseDirection::Sing, -1, 60, -1},  // nothing to be sung from
  };
  for (const Case& c : cases) {
    ExerciseQuestion question;
    question.direction = c.direction;
    question.referenceNote = c.reference;
    question.targetNote = c.target;
    std::array<bool, 12> expected{};
    if (c.marked >= 0) expected[c.marked] = true;
    EXPECT_EQ(shownPitchClassesOf(question), expected) << c.reference << " " << c.target;
    const auto band = targetBandOf(question, true);
    EXPECT_EQ(band.has_value(), c.direction == ExerciseDirection::Sing && c.target >= 0);
    if (band) {
      EXPECT_TRUE(band->everyOctave);
    }
  }
}

TEST_F(ExerciseWindow, TheDirectionLevelsRangeAndOctaveOptionAreKeptBetweenRuns) {
  openActive();
  feature().nameItem()->trigger();
  feature().octaveFreeItem()->trigger();
  feature().setVoiceRange(50, 69);
  feature().item(Exercise::ChordTones)->trigger();
  menus().Levelup1->trigger();
  const int level = exercise().level(Exercise::ChordTones);
  ASSERT_EQ(level, 2) << "Level up moved the exercise on, not the lesson";
  closeWindow();

  openActive();
  EXPECT_TRUE(feature().nameItem()->isChecked());
  EXPECT_TRUE(feature().octaveFreeItem()->isChecked());
  EXPECT_EQ(exercise().level(Exercise::ChordTones), 2);
  EXPECT_EQ(exercise().level(Exercise::Intervals), 1);
  EXPECT_EQ(exercise().settings().lowNote, 50);
  EXPECT_EQ(exercise().settings().highNote, 69);
  EXPECT_TRUE(exercise().settings().octaveFree);
}

TEST_F(ExerciseWindow, StoredOptionsThatDoNotFitLeaveTheDefaults) {
  struct Case {
    const char* low;
    const char* high;
    const char* level;
    const char* direction;
    int expectedLow, expectedHigh, expectedLevel;
    ExerciseDirection expectedDirection;
  };
  const Case cases[] = {
      {"50", "70", "3", "1", 50, 70, 3, ExerciseDirection::Name},
      {"60", "65", "0", "0", 48, 72, 1, ExerciseDirection::Sing},     // less than an octave
      {"70", "50", "-2", "2", 48, 72, 1, ExerciseDirection::Sing},    // upside down
      {"10", "40", "x", "name", 48, 72, 1, ExerciseDirection::Sing},  // below the keyboard
      {"100", "120", "2", "1", 48, 72, 2, ExerciseDirection::Name},   // above it
      {"50", "", "2", "1", 48, 72, 2, ExerciseDirection::Name},       // only one end
  };
  for (const Case& c : cases) {
    storeValue("VoiceLow", c.low);
    storeValue("VoiceHigh", c.high);
    storeValue("IntervalsLevel", c.level);
    storeValue("ExerciseDirection", c.direction);
    const ExerciseOptions options = SettingsStore().loadExerciseOptions();
    EXPECT_EQ(options.settings.lowNote, c.expectedLow) << c.low << "-" << c.high;
    EXPECT_EQ(options.settings.highNote, c.expectedHigh) << c.low << "-" << c.high;
    EXPECT_EQ(options.levels[0], c.expectedLevel) << c.level;
    EXPECT_EQ(options.direction, c.expectedDirection) << c.direction;
  }
}

TEST_F(ExerciseWindow, TheCommandLinesLessonStartsAtTheFirstActivation) {
  TForm1& window = open();
  window.setFirstLesson(Exercise::ScaleDegrees);
  window.FormActivate();
  EXPECT_TRUE(exercise().active());
  EXPECT_EQ(exercise().exercise(), Exercise::ScaleDegrees);
  EXPECT_TRUE(feature().item(Exercise::ScaleDegrees)->isChecked());
  closeWindow();

  TForm1& again = open();
  again.setFirstLesson(LessonItem::Sing1);
  again.FormActivate();
  EXPECT_FALSE(exercise().active());
  EXPECT_EQ(lesson().lessonMode, LessonMode::Sing);
}

}  // namespace
}  // namespace auralis::testing
