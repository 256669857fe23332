#include <algorithm>
#include <cmath>

#include "tests/engine/LessonFixture.h"

namespace auralis::testing {
namespace {

class RecordingRecorder : public AnswerRecorder {
 public:
  std::vector<AnswerRecord> answers;
  std::vector<LevelEvent> events;
  std::vector<HeldNote> heldNotes;
  void recordAnswer(const AnswerRecord& answer) override { answers.push_back(answer); }
  void recordHeldNote(const HeldNote& note) override { heldNotes.push_back(note); }
  void recordLevelEvent(const LevelEvent& event) override { events.push_back(event); }
};

class HistoryRecordTest : public LessonFixture {
 protected:
  HistoryRecordTest() {
    lesson.recorder = &recorder;
    lesson.utcMilliseconds = [] { return std::int64_t{1700000000000}; };
    lesson.steadyMilliseconds = [this] { return now; };
  }
  // Identify at a 0-based level, with the question still sounding.
  void startIdentifyAt(int levelIndex) {
    lesson.random.RandomState = 77;
    lesson.mastery.IdentifyMastery95Percent = levelIndex;
    lesson.Identify1Click();
  }

  // Mimic from its first level, the question heard; its first note sung in octave 5, 9.5 cents
  // sharp, on capture buffer 40.
  SungNote startMimicWithTheRightNote() {
    lesson.random.RandomState = 77;
    lesson.mastery.MimicMastery95Percent = 0;
    lesson.MimicSing1Click();
    finishAllPhrases();
    return SungNote{3 + 12 * 3 + LetterToPitchClass(rightAnswer()[0]), 7, 9.5, 40};
  }

  RecordingRecorder recorder;
  std::int64_t now = 10000;
};

TEST_F(HistoryRecordTest, EachLetterIsKeptWithItsPositionSourceAndVerdict) {
  startIdentifyAt(6);  // two notes
  finishAllPhrases();
  ASSERT_EQ(lesson.question.QuestionNoteCount, 2);
  const std::string right = rightAnswer();

  lesson.NoteColumnClicked(LetterToPitchClass(right[0]));
  lesson.FormKeyPress(wrongLetterFor(1));
  finishAllPhrases();  // the correction phrase
  lesson.MidiKeyboardKey(right[0]);

  ASSERT_EQ(recorder.answers.size(), 3u);
  const struct {
    AnswerSource source;
    int position;
    bool correct;
  } expected[] = {
      {AnswerSource::Click, 0, true},
      {AnswerSource::Typed, 1, false},
      {AnswerSource::Midi, 0, true},
  };
  for (std::size_t i = 0; i < 3; ++i) {
    const AnswerRecord& a = recorder.answers[i];
    EXPECT_EQ(a.source, expected[i].source) << i;
    EXPECT_EQ(a.position, expected[i].position) << i;
    EXPECT_EQ(a.correct, expected[i].correct) << i;
    EXPECT_EQ(a.lesson, LessonMode::Identify);
    EXPECT_EQ(a.level, 7) << "levels are kept as shown, from 1";
    EXPECT_EQ(a.questionNoteCount, 2);
    EXPECT_EQ(a.questionNotes, lesson.question.QuestionNotes);
    EXPECT_EQ(a.atMs, 1700000000000);
    EXPECT_TRUE(std::isnan(a.cents)) << "only sung answers have cents";
  }
  EXPECT_EQ(recorder.answers[1].letter, wrongLetterFor(1));
}

TEST_F(HistoryRecordTest, ResponseTimeRunsFromTheEndOfTheQuestionsPlayback) {
  startIdentifyAt(0);
  now += 400;  // the question sounds
  finishAllPhrases();
  now += 1250;
  lesson.FormKeyPress(rightAnswer()[0]);
  ASSERT_EQ(recorder.answers.size(), 1u);
  EXPECT_EQ(recorder.answers[0].responseMs, 1250);
}

TEST_F(HistoryRecordTest, ALetterTypedDuringPlaybackKeepsItsSourceAndAnswersAtOnce) {
  startIdentifyAt(0);
  lesson.MidiKeyboardKey(rightAnswer()[0]);
  EXPECT_TRUE(recorder.answers.empty()) << "judged when the phrase ends";
  now += 900;
  finishPhrase();
  ASSERT_EQ(recorder.answers.size(), 1u);
  EXPECT_EQ(recorder.answers[0].source, AnswerSource::Midi);
  EXPECT_EQ(recorder.answers[0].responseMs, 0);
}

TEST_F(HistoryRecordTest, ASungAnswerCarriesWhatTheReadoutHeard) {
  const SungNote sung = startMimicWithTheRightNote();
  lesson.SungKeyPress(sung);
  ASSERT_EQ(recorder.answers.size(), 1u);
  const AnswerRecord& a = recorder.answers[0];
  EXPECT_EQ(a.source, AnswerSource::Sung);
  EXPECT_EQ(a.lesson, LessonMode::Mimic);
  EXPECT_EQ(a.octave, 5);
  EXPECT_EQ(a.detectedNote, sung.detectedNote);
  EXPECT_EQ(a.offsetStep, 7);
  EXPECT_DOUBLE_EQ(a.cents, 9.5);
  EXPECT_TRUE(a.correct);
}

TEST_F(HistoryRecordTest, ASungAnswerWaitsForItsHeldNoteAndTakesItsMean) {
  lesson.setSungAnswersWaitForTheirNote(true);
  const SungNote sung = startMimicWithTheRightNote();
  lesson.SungKeyPress(sung);
  EXPECT_TRUE(recorder.answers.empty()) << "its note still sounds";

  HeldNote note;
  note.midiNote = sung.midiNote();
  note.meanCents = -21.5;
  lesson.heldNoteEnded(note, 10, 30);  // an earlier note: the answer still waits
  EXPECT_TRUE(recorder.answers.empty());
  lesson.heldNoteEnded(note, 35, 60);
  ASSERT_EQ(recorder.answers.size(), 1u);
  EXPECT_DOUBLE_EQ(recorder.answers[0].cents, -21.5);
  ASSERT_EQ(recorder.heldNotes.size(), 2u);
  EXPECT_EQ(recorder.heldNotes[0].judged, HeldJudgement::None);
  EXPECT_EQ(recorder.heldNotes[1].judged, HeldJudgement::Right);

  // A note measured a semitone lower still gives the cents from the note detected.
  finishAllPhrases();
  lesson.SungKeyPress(SungNote{sung.detectedNote, 6, 0.0, 120});
  note.midiNote = sung.midiNote() - 1;
  note.meanCents = 45.0;
  lesson.heldNoteEnded(note, 100, 130);
  ASSERT_EQ(recorder.answers.size(), 2u);
  EXPECT_DOUBLE_EQ(recorder.answers[1].cents, -55.0);

  // Listening stops with an answer still waiting: it is written as it stands.
  finishAllPhrases();
  lesson.SungKeyPress(SungNote{sung.detectedNote, 6, 3.5, 200});
  lesson.writeWaitingAnswers();
  ASSERT_EQ(recorder.answers.size(), 3u);
  EXPECT_DOUBLE_EQ(recorder.answers[2].cents, 3.5);
}

TEST_F(HistoryRecordTest, ASungAnswerJudgedWhenAHintEndsIsTimedAtItsAcceptance) {
  lesson.random.RandomState = 77;
  lesson.Sing1Click();
  finishAllPhrases();
  now += 6000;
  for (int i = 0; i < 6; ++i) lesson.Timer1Timer();  // the hint sounds
  ASSERT_FALSE(player.PlaybackIdle());
  const char letter = rightAnswer()[0];
  lesson.SungKeyPress(SungNote{3 + 12 * 3 + LetterToPitchClass(letter), 6, 0.0, 40});
  EXPECT_TRUE(recorder.answers.empty()) << "judged when the hint ends";
  now += 300;
  finishAllPhrases();
  ASSERT_EQ(recorder.answers.size(), 1u);
  EXPECT_EQ(recorder.answers[0].responseMs, 6000);
}

TEST_F(HistoryRecordTest, EveryJudgedAnswerShowsAVerdictOfWhatWasAnsweredAgainstWhatWasAsked) {
  startIdentifyAt(6);  // two notes
  finishAllPhrases();
  const std::string right = rightAnswer();
  lesson.NoteColumnClicked(LetterToPitchClass(right[0]));
  lesson.FormKeyPress(wrongLetterFor(1));
  finishAllPhrases();
  lesson.MidiKeyboardKey(right[0]);
  const struct {
    AnswerSource source;
    bool correct;
    char answered;
    char asked;
  } expected[] = {
      {AnswerSource::Click, true, right[0], right[0]},
      {AnswerSource::Typed, false, wrongLetterFor(1), right[1]},
      {AnswerSource::Midi, true, right[0], right[0]},
  };
  ASSERT_EQ(host.verdicts.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    const Verdict& v = host.verdicts[i];
    EXPECT_EQ(v.source, expected[i].source) << i;
    EXPECT_EQ(v.correct, expected[i].correct) << i;
    EXPECT_EQ(v.answered, expected[i].answered) << i;
    EXPECT_EQ(v.asked, expected[i].asked) << i;
    EXPECT_EQ(v.lesson, LessonMode::Identify);
    EXPECT_EQ(v.sungMidiNote, 0);
    EXPECT_TRUE(std::isnan(v.sungCents));
  }
  // Each shown just before the sound that goes with it.
  ASSERT_EQ(host.sounds.size(), 3u);
  EXPECT_EQ(host.soundsBeforeVerdict, (std::vector<std::size_t>{0, 1, 2}));
  EXPECT_EQ(host.sounds[1], "INCORRECT");
}

TEST_F(HistoryRecordTest, LevelChangesAreEventsAndPracticeKeepsNothing) {
  startIdentifyAt(3);
  lesson.Levelup1Click();
  lesson.Leveldown1Click();
  lesson.Leveldown1Click();
  lesson.ResetCorvinmasterylevel1Click();
  lesson.scores = {};
  lesson.scores.LevelCorrect = lesson.scores.LevelAsked = 20;
  lesson.Promote();
  const struct {
    LevelEventKind kind;
    int from, to;
  } expected[] = {
      {LevelEventKind::LevelUp, 4, 5},   {LevelEventKind::LevelDown, 5, 4},
      {LevelEventKind::LevelDown, 4, 3}, {LevelEventKind::Reset, 3, 3},
      {LevelEventKind::Promotion, 3, 4},
  };
  ASSERT_EQ(recorder.events.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(recorder.events[i].kind, expected[i].kind) << i;
    EXPECT_EQ(recorder.events[i].fromLevel, expected[i].from) << i;
    EXPECT_EQ(recorder.events[i].toLevel, expected[i].to) << i;
  }

  lesson.Warmup1Click();
  const std::size_t kept = recorder.answers.size();
  lesson.FormKeyPress('c');
  lesson.Levelup1Click();
  EXPECT_EQ(recorder.answers.size(), kept);
  EXPECT_EQ(recorder.events.size(), std::size(expected));
}

}  // namespace
}  // namespace auralis::testing
