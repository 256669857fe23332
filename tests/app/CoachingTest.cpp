#include <QProgressBar>
#include <QSpinBox>
#include <cmath>

#include "app/CoachingTexts.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

using display::NoteView;

Verdict typedVerdict(bool correct, char answered, char asked) {
  Verdict v;
  v.lesson = LessonMode::Identify;
  v.correct = correct;
  v.answered = answered;
  v.asked = asked;
  return v;
}

Verdict sungVerdict(bool correct, char answered, char asked, int midiNote, double cents) {
  Verdict v = typedVerdict(correct, answered, asked);
  v.lesson = LessonMode::Mimic;
  v.source = AnswerSource::Sung;
  v.sungMidiNote = midiNote;
  v.sungCents = cents;
  return v;
}

TEST(CoachingTexts, VerdictsNameTheAnswerAgainstTheQuestionInTheViewsNames) {
  struct Row {
    Verdict verdict;
    NoteView view;
    const char* text;
  };
  const std::vector<Row> rows = {
      {typedVerdict(true, 'e', 'e'), NoteView::Solfege, "Right: MI"},
      {typedVerdict(false, 'g', 'e'), NoteView::Solfege, "SO, not MI"},
      {typedVerdict(false, 'g', 'e'), NoteView::NoteNames, "G, not E"},
      {typedVerdict(false, 'F', 'c'), NoteView::Piano, "F#, not C"},
      {sungVerdict(true, 'e', 'e', 64, 12.4), NoteView::Solfege, "Right: MI"},
      {sungVerdict(false, 'D', 'e', 63, -8.6), NoteView::NoteNames, "D#, not E"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(verdictText(row.verdict, row.view), QString::fromLatin1(row.text)) << row.text;
}

TEST(CoachingTexts, AnOffTuneNoteSaysHowFarAndWhichWay) {
  struct Row {
    OffTuneNote note;
    NoteView view;
    const char* text;
  };
  const std::vector<Row> rows = {
      {{64, -35.2}, NoteView::Solfege, "MI, 35 cents flat"},
      {{67, 30.0}, NoteView::Solfege, "SO, 30 cents sharp"},
      {{55, 19.6}, NoteView::NoteNames, "G, 20 cents sharp"},
      {{61, -1.0}, NoteView::Piano, "C#, 1 cent flat"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(offTuneText(row.note, row.view), QString::fromLatin1(row.text)) << row.text;
}

TEST(CoachingTexts, NotesCarryTheirOctaveWithMiddleCAsFour) {
  EXPECT_EQ(noteWithOctave(60, NoteView::NoteNames), "C4");
  EXPECT_EQ(noteWithOctave(59, NoteView::NoteNames), "B3");
  EXPECT_EQ(noteWithOctave(69, NoteView::Solfege), "LA4");
  EXPECT_EQ(noteWithOctave(36, NoteView::Solfege), "DO2");
  EXPECT_EQ(noteWithOctave(84, NoteView::Piano), "C6");
}

TEST(CoachingTexts, ALongToneScoreGivesTheSharesTheDriftAndTheWobble) {
  LongToneResult take;
  take.midiNote = 64;
  take.within10 = 0.724;
  take.within25 = 0.951;
  take.driftCents = 4.4;
  take.wobbleCents = 6.2;
  take.completed = true;
  EXPECT_EQ(longToneScoreText(take),
            "Within 10 cents 72 %, within 25 cents 95 %, drift +4 cents, wobble 6 cents");
  take.driftCents = -7.6;
  take.completed = false;
  EXPECT_EQ(longToneScoreText(take),
            "Within 10 cents 72 %, within 25 cents 95 %, drift -8 "
            "cents, wobble 6 cents (stopped early)");
}

class Coaching : public WindowTest {
 protected:
  CoachingRow& coaching() { return form->coaching(); }
  QWidget* line() { return form->findChild<QWidget*>(QStringLiteral("coachingLine")); }
  QString lineText() { return coaching().lineLabel()->text(); }
  QString graphText() { return form->pitchGraph()->caption(); }
};

TEST_F(Coaching, TheLineIsOffAtFirstAndTheWindowKeepsItsSize) {
  TForm1& window = open();
  ASSERT_NE(line(), nullptr);
  EXPECT_FALSE(menus().item(QStringLiteral("CoachingLine1"))->isChecked());
  EXPECT_FALSE(line()->isVisibleTo(&window));
  EXPECT_EQ(window.minimumSize(), QSize(kFormWidth, kFormHeight));
  EXPECT_EQ(window.size(), QSize(kFormWidth, kFormHeight));
}

TEST_F(Coaching, TheLineGrowsTheWindowByItsHeightAndIsRememberedWithTheGraph) {
  TForm1& first = open();
  coaching().CoachingLine1()->trigger();
  EXPECT_TRUE(line()->isVisibleTo(&first));
  EXPECT_EQ(first.height(), kFormHeight + kCoachingLineHeight);
  EXPECT_EQ(first.minimumHeight(), kFormHeight + kCoachingLineHeight);
  first.pitchGraphItem()->trigger();
  EXPECT_EQ(first.minimumHeight(), kFormHeight + kCoachingLineHeight + kPitchGraphHeight);
  EXPECT_EQ(first.height(), kFormHeight + kCoachingLineHeight + kPitchGraphHeight);
  closeWindow();
  EXPECT_EQ(store()->value(QStringLiteral("CoachingLine1")).toString(), "1");

  TForm1& second = open();
  EXPECT_TRUE(coaching().CoachingLine1()->isChecked());
  EXPECT_TRUE(line()->isVisibleTo(&second));
  EXPECT_EQ(second.height(), kFormHeight + kCoachingLineHeight + kPitchGraphHeight)
      << "the stored height holds both rows already";
  coaching().CoachingLine1()->trigger();
  EXPECT_FALSE(line()->isVisibleTo(&second));
  EXPECT_EQ(second.minimumHeight(), kFormHeight + kPitchGraphHeight);
  EXPECT_EQ(second.height(), kFormHeight + kPitchGraphHeight);
}

TEST_F(Coaching, AVerdictStaysAboutASecondThenTheHeldOffTuneNoteIsToldAgain) {
  open();
  coaching().CoachingLine1()->trigger();
  coaching().offTuneHeld({64, -35});
  EXPECT_EQ(lineText(), "MI, 35 cents flat");
  EXPECT_EQ(coaching().message().tone, CoachingTone::Flat);
  coaching().showVerdict(typedVerdict(false, 'g', 'e'));
  EXPECT_EQ(lineText(), "SO, not MI");
  EXPECT_EQ(coaching().message().tone, CoachingTone::Wrong);
  QTest::qWait(kVerdictMs / 2);
  EXPECT_EQ(lineText(), "SO, not MI") << "still within its second";
  QTest::qWait(kVerdictMs);
  EXPECT_EQ(lineText(), "MI, 35 cents flat") << "the note is still held";
  coaching().offTuneOver();
  EXPECT_EQ(lineText(), "");
}

TEST_F(Coaching, ALaterVerdictGetsItsOwnSecond) {
  open();
  coaching().showVerdict(typedVerdict(true, 'c', 'c'));
  QTest::qWait(kVerdictMs * 3 / 4);
  coaching().showVerdict(typedVerdict(true, 'e', 'e'));
  QTest::qWait(kVerdictMs / 2);
  EXPECT_EQ(coaching().message().text, "Right: MI");
}

TEST_F(Coaching, TheGraphTellsWhileTheLineIsHiddenAndTheViewNamesTheNotes) {
  TForm1& window = open();
  window.pitchGraphItem()->trigger();
  coaching().offTuneHeld({67, 30});
  EXPECT_EQ(graphText(), "SO, 30 cents sharp");
  window.Notes1Click();
  EXPECT_EQ(graphText(), "G, 30 cents sharp");
  coaching().CoachingLine1()->trigger();
  EXPECT_EQ(graphText(), "") << "told once, in the line";
  EXPECT_EQ(lineText(), "G, 30 cents sharp");
  coaching().offTuneOver();
  coaching().CoachingLine1()->trigger();
  EXPECT_EQ(graphText(), "");
}

TEST_F(Coaching, AJudgedAnswerReachesTheVerdict) {
  open();
  coaching().CoachingLine1()->trigger();
  type("i");
  finishPhrases();
  const std::string right = rightAnswer();
  const char asked = right[0];
  const char wrong = asked == 'c' ? 'e' : 'c';
  type(std::string(1, wrong));
  const QString askedName = QString::fromLatin1(SolfegeSharpNames[LetterToPitchClass(asked)]);
  const QString wrongName = QString::fromLatin1(SolfegeSharpNames[LetterToPitchClass(wrong)]);
  EXPECT_EQ(lineText(), wrongName + QStringLiteral(", not ") + askedName);
}

class LongTones : public WindowTest {
 protected:
  LongToneDialog& dialog() {
    if (!form->longTones()) menus().LongTones1->trigger();
    return *form->longTones();
  }
};

TEST_F(LongTones, TheItemOpensAWindowOfItsOwnWithTheFirstSungNoteChosen) {
  TForm1& window = open();
  EXPECT_EQ(menus().LongTones1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
  const QSize before = window.size();
  LongToneDialog& d = dialog();
  EXPECT_TRUE(d.isVisible());
  EXPECT_TRUE(d.isWindow());
  EXPECT_EQ(window.size(), before) << "the main window stays as it was";
  EXPECT_EQ(d.chosenNote(), -1);
  EXPECT_EQ(d.noteBox()->currentText(), "The note I sing first");
  EXPECT_EQ(d.secondsBox()->minimum(), 2);
  EXPECT_EQ(d.secondsBox()->maximum(), 10);
  d.chooseNote(64);
  EXPECT_EQ(d.noteBox()->currentText(), "MI4");
  window.Notes1Click();
  EXPECT_EQ(d.noteBox()->currentText(), "E4") << "the names follow the view, the choice stays";
  // The best take is read on the history's thread.
  EXPECT_TRUE(QTest::qWaitFor([&] { return d.bestText() == "No take of E4 kept yet"; }, 5000))
      << d.bestText().toStdString();
}

TEST_F(LongTones, StartSwitchesToPracticeSingingAndATakeEndsWithItsScore) {
  open();
  type("i");
  ASSERT_EQ(lesson().lessonMode, LessonMode::Identify);
  LongToneDialog& d = dialog();
  d.secondsBox()->setValue(4);
  d.startButton()->click();
  EXPECT_EQ(lesson().lessonMode, LessonMode::Practice);
  EXPECT_TRUE(d.running());
  EXPECT_EQ(d.startButton()->text(), "&Stop");
  EXPECT_FALSE(d.noteBox()->isEnabled());
  EXPECT_EQ(d.liveText(), "Sing a note and hold it");

  d.showProgress({0, 300, 4000, 0, false});
  EXPECT_EQ(d.liveText(), "Sing a note and hold it") << "no note taken yet";
  d.showProgress({64, 1500, 4000, -12.3, true});
  EXPECT_EQ(d.liveText(), "MI4, 12 cents flat");
  EXPECT_EQ(d.progressBar()->value(), 1500);
  EXPECT_EQ(d.progressBar()->maximum(), 4000);
  d.showProgress({64, 1600, 4000, 0, false});
  EXPECT_EQ(d.liveText(), "MI4: no voice");

  LongToneResult take;
  take.midiNote = 64;
  take.targetMs = 4000;
  take.heardMs = 4000;
  take.within10 = 0.5;
  take.within25 = 0.9;
  take.driftCents = -3;
  take.wobbleCents = 7;
  take.completed = true;
  d.showResult(take);
  EXPECT_FALSE(d.running());
  EXPECT_EQ(d.startButton()->text(), "&Start");
  EXPECT_EQ(d.scoreText(), longToneScoreText(take));
  EXPECT_TRUE(QTest::qWaitFor([&] { return d.bestText() == "No take of MI4 kept yet"; }, 5000))
      << "the take's own note, not the choice: " << d.bestText().toStdString();
}

TEST_F(LongTones, StopAndClosingEndTheTake) {
  open();
  lesson().Warmup1Click();
  LongToneDialog& d = dialog();
  d.startButton()->click();
  ASSERT_TRUE(form->core().longToneRunning());
  ASSERT_TRUE(d.running());
  d.startButton()->click();
  EXPECT_FALSE(d.running());
  EXPECT_FALSE(form->core().longToneRunning());
  d.startButton()->click();
  ASSERT_TRUE(form->core().longToneRunning());
  d.close();
  EXPECT_FALSE(form->core().longToneRunning()) << "no take outlives its window";
}

TEST_F(LongTones, AStartThatCannotBeginSaysSoAndLeavesStartReady) {
  open();
  lesson().Warmup1Click();
  lesson().micWanted = false;  // as when listening has been turned off
  LongToneDialog& d = dialog();
  d.startButton()->click();
  EXPECT_FALSE(d.running());
  EXPECT_EQ(d.startButton()->text(), "&Start");
  EXPECT_EQ(d.liveText(), "Long tones need the microphone");
}

}  // namespace
}  // namespace auralis::testing
