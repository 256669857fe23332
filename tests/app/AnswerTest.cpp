#include <QMouseEvent>
#include <cstring>

#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

using Answers = WindowTest;

// Whether a played sound was the given one of the program's four.
bool playedWas(const platform::FakeFeedbackSoundPlayer::Played& played, FeedbackSound sound) {
  platform::FakeFeedbackSoundPlayer unused;
  const FeedbackSounds loaded(unused);
  const QByteArray& wave = loaded.wave(sound);
  return !wave.isEmpty() && played.bytes == static_cast<std::size_t>(wave.size()) &&
         std::memcmp(wave.constData(), played.wave, played.bytes) == 0;
}

// The centre of a column of the note panel as it was last painted.
QPoint columnCentre(const NotePanel& panel, int column) {
  const auto& layout = panel.panelLayout();
  return {layout.columnLeft(column) + layout.columnWidth / 2, layout.height / 2};
}

TEST_F(Answers, TypedLettersAreJudgedWithTheirSoundAndPause) {
  open();
  type("i");
  finishPhrases();
  const auto wanted = rightAnswer();
  sounds.played.clear();
  pauses.clear();
  type(wanted);
  EXPECT_EQ(panel(4).left(16), "1/1 this level (");
  ASSERT_FALSE(sounds.played.empty());
  EXPECT_TRUE(playedWas(sounds.played.back(), FeedbackSound::Correct));
  EXPECT_EQ(pauses.back(), 150);

  finishPhrases();
  const char wrong = NoteLetters[(pitchClassOf(lesson().question.QuestionNotes[0]) + 1) % 12];
  type(std::string(1, wrong));
  EXPECT_TRUE(playedWas(sounds.played.back(), FeedbackSound::Incorrect));
}

TEST_F(Answers, KeysReachTheLessonBeforeAnyChildControl) {
  TForm1& window = open();
  window.show();
  // The Help button would open the help page if it took the key for itself.
  type("i", window.toolBar().toolButtonHelp);
  EXPECT_EQ(lesson().lessonMode, LessonMode::Identify);
  type("0", window.instructionLine());
  EXPECT_EQ(lesson().lessonMode, LessonMode::Practice);
  EXPECT_TRUE(documents.opened.empty());
}

TEST_F(Answers, EscapeRestartsTheAnswer) {
  storeValue("IdentifyMastery95Percent", 40);  // questions of two or more notes
  open();
  type("i");
  finishPhrases();
  ASSERT_GT(lesson().question.QuestionNoteCount, 1);
  type(rightAnswer().substr(0, 1));
  EXPECT_EQ(lesson().question.AnswerPosition, 1);
  QTest::keyClick(form->notePanel(), Qt::Key_Escape);
  EXPECT_EQ(lesson().question.AnswerPosition, 0);
}

TEST_F(Answers, ClicksOnTheNotePanelAnswerOnlyWhereTypedAnswersCount) {
  TForm1& window = open();
  window.show();
  QCoreApplication::processEvents();
  type("i");
  finishPhrases();
  window.notePanel()->repaintNow();
  const auto wanted = lesson().question.QuestionNotes;
  const int notes = lesson().question.QuestionNoteCount;
  for (int i = 0; i < notes; ++i)
    QTest::mouseClick(window.notePanel(), Qt::LeftButton, {},
                      columnCentre(*window.notePanel(), pitchClassOf(wanted[i])));
  EXPECT_EQ(panel(4).left(16), "1/1 this level (");

  type("m");
  finishPhrases();
  const int asked = lesson().scores.LevelAsked;
  QTest::mouseClick(window.notePanel(), Qt::LeftButton, {}, columnCentre(*window.notePanel(), 0));
  EXPECT_EQ(lesson().question.AnswerPosition, 0);
  EXPECT_EQ(lesson().scores.LevelAsked, asked);
}

TEST_F(Answers, ALetterTypedDuringPlaybackIsJudgedWhenThePhraseEnds) {
  open();
  type("i");
  ASSERT_TRUE(midiOut.playing());
  const auto wanted = rightAnswer();
  ASSERT_EQ(wanted.size(), 1u) << "the first level asks single notes";
  type(wanted);
  EXPECT_EQ(lesson().scores.LevelAsked, 0) << "nothing is judged while the question sounds";
  midiOut.completePhrase();
  EXPECT_EQ(lesson().scores.LevelAsked, 0) << "the notice waits for the interface thread";
  deliverNotices();
  EXPECT_EQ(lesson().scores.LevelCorrect, 1);
  EXPECT_FALSE(lesson().DeferredAnswer);
}

TEST_F(Answers, TheMidiKeyboardAnswersThroughTheMessageObject) {
  midiInput.devices = {"Keys"};
  open();
  type("i");
  finishPhrases();
  const int note = lesson().question.QuestionNotes[0];
  ASSERT_TRUE(midiInput.noteOn(60 + pitchClassOf(note), 100, 9));
  EXPECT_EQ(lesson().question.AnswerPosition + lesson().scores.LevelAsked, 0)
      << "the device thread only posts";
  deliverNotices();
  EXPECT_GT(lesson().question.AnswerPosition + lesson().scores.LevelAsked, 0);

  finishPhrases();
  const int played = phrasesPlayed();
  ASSERT_TRUE(midiInput.noteOn(40, 90));  // E2: a new question
  deliverNotices();
  EXPECT_EQ(phrasesPlayed(), played + 1);
}

TEST_F(Answers, TheMidiKeyboardIsIgnoredInTheSungLessons) {
  midiInput.devices = {"Keys"};
  open();
  type("m");
  finishPhrases();
  const int played = phrasesPlayed();
  for (int note : {36, 38, 40, 60, 61}) ASSERT_TRUE(midiInput.noteOn(note, 100));
  deliverNotices();
  EXPECT_EQ(phrasesPlayed(), played) << "not even the command keys count";
  EXPECT_EQ(lesson().question.AnswerPosition, 0);
}

TEST_F(Answers, ALetterFromThePitchReadoutIsJudgedLikeATypedOne) {
  open();
  type("m");
  finishPhrases();
  const char letter = rightAnswer()[0];
  form->messageWindow().post(notice::Character{SungNote::centred(letter, 5)});
  deliverNotices();
  EXPECT_GT(lesson().question.AnswerPosition + lesson().scores.LevelAsked, 0);
}

TEST_F(Answers, NoticesAreHandledInTheOrderTheyWerePosted) {
  midiInput.devices = {"Keys"};
  open();
  type("i");
  // Done, then a key: the phrase ends before the key is judged, so it is not deferred.
  ASSERT_TRUE(midiOut.completePhrase());
  ASSERT_TRUE(midiInput.noteOn(60 + pitchClassOf(lesson().question.QuestionNotes[0]), 100));
  deliverNotices();
  EXPECT_FALSE(lesson().DeferredAnswer);
  EXPECT_GT(lesson().question.AnswerPosition + lesson().scores.LevelAsked, 0);
}

// Counts the paints a widget has been through.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int paints = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) ++paints;
    return false;
  }
};

TEST_F(Answers, APartialAnswerIsOnScreenBeforeThePauseThatFollowsIt) {
  open();
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  type("i");
  finishPhrases();
  QuestionState& q = lesson().question;
  q.QuestionNoteCount = 2;
  q.QuestionNotes = {60, 64, 0, 0, 0};
  q.AnswerPosition = 0;
  QCoreApplication::processEvents();

  PaintCounter counter(form->notePanel());
  std::vector<int> paintsAtPause;
  onPause = [&] { paintsAtPause.push_back(counter.paints); };
  type("c");
  ASSERT_EQ(pauses.size(), 1u);
  ASSERT_EQ(paintsAtPause.size(), 1u);
  EXPECT_GT(paintsAtPause[0], 0) << "the blue mark waited for the pause to end";
}

}  // namespace
}  // namespace auralis::testing
