#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/AnswerRecord.h"
#include "engine/LessonHost.h"
#include "exercises/Exercise.h"
#include "exercises/ExerciseTables.h"
#include "output/MidiStreamPlayer.h"
#include "platform/FakeMidiOutStream.h"

namespace auralis {
namespace {

class Host : public LessonHost, public ExerciseHost, public AnswerRecorder {
 public:
  std::vector<std::string> sounds;
  std::vector<Verdict> verdicts;
  std::vector<AnswerRecord> answers;
  std::vector<LevelEvent> events;
  std::vector<std::pair<Exercise, int>> levels;
  std::string instruction;
  std::string panels[5];
  int questions = 0;

  void playFeedbackSound(FeedbackSound sound) override {
    static const char* names[] = {"CORRECT", "INCORRECT", "PROMOTE", "DEMOTE"};
    sounds.emplace_back(names[static_cast<int>(sound)]);
  }
  void pause(int) override {}
  void repaintNotePanel() override {}
  void repaintWindowNow() override {}
  void setInstructionText(std::string_view text) override { instruction = text; }
  void setStatusText(int panel, std::string_view text) override { panels[panel] = text; }
  void saveMastery(const Mastery&) override { ADD_FAILURE() << "an exercise keeps no mastery"; }
  void lessonItemChecked(LessonItem) override {}
  void showVerdict(const Verdict& verdict) override { verdicts.push_back(verdict); }
  void exerciseLevelChanged(Exercise exercise, int level) override {
    levels.emplace_back(exercise, level);
  }
  void exerciseQuestionReady(const ExerciseQuestion&) override { ++questions; }
  void recordAnswer(const AnswerRecord& answer) override { answers.push_back(answer); }
  void recordLevelEvent(const LevelEvent& event) override { events.push_back(event); }
};

class ExerciseLessonTest : public ::testing::Test {
 protected:
  ExerciseLessonTest() {
    player.midiOutPresent = true;
    player.OpenMidiOut(platform::kDefaultMidiDevice);
    lesson.setRecorder(&host);
  }

  // The stream reaches the end of the sounding phrase; the done notice is handled.
  void finishPhrase() {
    if (!stream.completePhrase()) return;
    while (posted > 0) {
      --posted;
      player.MidiStreamDone();
      lesson.playbackDone();
    }
  }

  // The notes of the phrase last handed to the stream, note-ons only, in order.
  std::vector<int> lastNotes() const {
    std::vector<int> notes;
    if (stream.phrases.empty()) return notes;
    for (const auto& e : stream.phrases.back())
      if (velocityOf(e.event) > 0) notes.push_back(noteOf(e.event));
    return notes;
  }

  Host host;
  platform::FakeMidiOutStream stream;
  int posted = 0;
  MidiStreamPlayer player{stream, [this] { ++posted; }};
  Random random{424242};
  ExerciseLesson lesson{host, host, player, random};
};

TEST_F(ExerciseLessonTest, AWrongSungNotePlaysTheAskedIntervalAndKeepsTheQuestion) {
  lesson.start(Exercise::Intervals, ExerciseDirection::Sing);
  const ExerciseQuestion asked = lesson.question();
  EXPECT_EQ(lastNotes(), std::vector<int>{asked.referenceNote}) << "the reference sounds";
  finishPhrase();
  const int window = lesson.answerWindow();
  EXPECT_FALSE(lesson.sung(asked.targetNote + 1, 0.0));
  EXPECT_EQ(host.sounds, std::vector<std::string>{"INCORRECT"});
  EXPECT_EQ(lastNotes(), (std::vector<int>{asked.referenceNote, asked.targetNote}));
  EXPECT_EQ(lesson.question().task, asked.task);
  EXPECT_GT(lesson.answerWindow(), window) << "a note already sounding answers no retry";
  ASSERT_EQ(host.verdicts.size(), 1u);
  EXPECT_FALSE(host.verdicts[0].correct);
  EXPECT_EQ(host.verdicts[0].sungMidiNote, asked.targetNote + 1);
}

TEST_F(ExerciseLessonTest, AnswersAreKeptWithTheirTaskItemCentsAndDirection) {
  lesson.start(Exercise::Intervals, ExerciseDirection::Sing);
  const ExerciseQuestion asked = lesson.question();
  finishPhrase();
  EXPECT_TRUE(lesson.sung(asked.targetNote, -12.5));
  ASSERT_EQ(host.answers.size(), 1u);
  const AnswerRecord& a = host.answers[0];
  EXPECT_EQ(a.lesson, LessonMode::Intervals);
  EXPECT_EQ(a.level, 1);
  EXPECT_EQ(a.task, asked.task);
  EXPECT_EQ(a.item, a.answeredItem);
  EXPECT_TRUE(a.item == "P5" || a.item == "P8") << a.item;
  EXPECT_EQ(a.direction, "sing");
  EXPECT_EQ(a.source, AnswerSource::Sung);
  EXPECT_DOUBLE_EQ(a.cents, -12.5);
  EXPECT_TRUE(a.correct);
  EXPECT_EQ(a.questionNotes[0], asked.targetNote);
  EXPECT_EQ(host.sounds, std::vector<std::string>{"CORRECT"});
  EXPECT_NE(lesson.question().task.size(), 0u);
  EXPECT_EQ(host.questions, 2);
}

TEST_F(ExerciseLessonTest, TenRightInARowPromoteAndTellTheLevel) {
  lesson.start(Exercise::ChordTones, ExerciseDirection::Sing);
  for (int i = 0; i < 9; ++i) {
    finishPhrase();
    ASSERT_TRUE(lesson.sung(lesson.question().targetNote, 0.0));
  }
  EXPECT_EQ(lesson.level(Exercise::ChordTones), 1);
  EXPECT_TRUE(host.levels.empty());
  ASSERT_TRUE(lesson.sung(lesson.question().targetNote, 0.0));
  EXPECT_EQ(lesson.level(Exercise::ChordTones), 2);
  EXPECT_EQ(host.levels, (std::vector<std::pair<Exercise, int>>{{Exercise::ChordTones, 2}}));
  ASSERT_EQ(host.events.size(), 1u);
  EXPECT_EQ(host.events[0].kind, LevelEventKind::Promotion);
  EXPECT_EQ(host.events[0].lesson, LessonMode::ChordTones);
  EXPECT_EQ(host.sounds.back(), "PROMOTE");
  EXPECT_EQ(lesson.question().level, 2);
  EXPECT_EQ(lesson.streak(), 0) << "the new level counts afresh";
  EXPECT_EQ(host.panels[2], "2 of 6");
}

TEST_F(ExerciseLessonTest, AWrongAnswerBreaksTheRun) {
  lesson.start(Exercise::Intervals, ExerciseDirection::Sing);
  for (int i = 0; i < 9; ++i) ASSERT_TRUE(lesson.sung(lesson.question().targetNote, 0.0));
  EXPECT_FALSE(lesson.sung(lesson.question().targetNote + 1, 0.0));
  for (int i = 0; i < 9; ++i) ASSERT_TRUE(lesson.sung(lesson.question().targetNote, 0.0));
  EXPECT_EQ(lesson.level(Exercise::Intervals), 1);
}

TEST_F(ExerciseLessonTest, NamingTakesTheLevelsKeysClicksAndTheExactMidiKey) {
  lesson.start(Exercise::Intervals, ExerciseDirection::Name);
  const ExerciseQuestion first = lesson.question();
  EXPECT_EQ(first.played.size(), 2u) << "the reference, then the note asked";
  ASSERT_EQ(lesson.choices().size(), 2u);  // a fifth and an octave
  EXPECT_FALSE(lesson.typed('4')) << "a major third is no choice of the first level";
  EXPECT_TRUE(host.answers.empty());
  const char right = lesson.choices()[static_cast<std::size_t>(first.answerChoice)].key;
  EXPECT_TRUE(lesson.typed(right));
  ASSERT_EQ(host.answers.size(), 1u);
  EXPECT_TRUE(host.answers[0].correct);
  EXPECT_EQ(host.answers[0].source, AnswerSource::Typed);
  EXPECT_EQ(host.answers[0].direction, "name");

  const ExerciseQuestion second = lesson.question();
  lesson.clicked(1 - second.answerChoice);
  ASSERT_EQ(host.answers.size(), 2u);
  EXPECT_FALSE(host.answers[1].correct);
  EXPECT_EQ(host.answers[1].source, AnswerSource::Click);

  const int heard = second.played.back();
  lesson.midiKey(heard + 12);
  EXPECT_FALSE(host.answers.back().correct) << "a key an octave away is another note";
  lesson.midiKey(heard);
  EXPECT_TRUE(host.answers.back().correct);
  EXPECT_EQ(host.answers.back().source, AnswerSource::Midi);
  EXPECT_FALSE(lesson.sung(lesson.question().played.back(), 0.0)) << "naming takes no voice";
  EXPECT_EQ(host.answers.size(), 4u);
}

TEST_F(ExerciseLessonTest, OctaveFreeTakesASungNoteInAnyOctaveButAKeyOnlyExactly) {
  ExerciseSettings settings;
  settings.octaveFree = true;
  lesson.setSettings(settings);
  lesson.start(Exercise::ScaleDegrees, ExerciseDirection::Sing);
  EXPECT_TRUE(lesson.sung(lesson.question().targetNote - 12, 10.0));
  lesson.midiKey(lesson.question().targetNote + 12);
  EXPECT_FALSE(host.answers.back().correct);
}

TEST_F(ExerciseLessonTest, AStoppedExerciseTakesNoAnswer) {
  lesson.start(Exercise::Intervals, ExerciseDirection::Name);
  lesson.stop();
  EXPECT_FALSE(lesson.active());
  EXPECT_FALSE(lesson.typed(lesson.choices()[0].key));
  lesson.clicked(0);
  lesson.midiKey(60);
  EXPECT_FALSE(lesson.sung(60, 0.0));
  EXPECT_TRUE(host.answers.empty());
  EXPECT_TRUE(host.verdicts.empty());
}

TEST_F(ExerciseLessonTest, AQuestionDrawnWhileAPhraseSoundsWaitsForItsEnd) {
  lesson.start(Exercise::Intervals, ExerciseDirection::Sing);
  const std::size_t before = stream.phrases.size();
  ASSERT_TRUE(lesson.sung(lesson.question().targetNote, 0.0));  // the reference still sounds
  EXPECT_EQ(stream.phrases.size(), before);
  finishPhrase();
  ASSERT_EQ(stream.phrases.size(), before + 1);
  EXPECT_EQ(lastNotes(), std::vector<int>{lesson.question().referenceNote});
}

TEST_F(ExerciseLessonTest, LevelsAreKeptPerExerciseAndClampedToTheTable) {
  lesson.setLevel(Exercise::Intervals, 40);
  lesson.setLevel(Exercise::ScaleDegrees, -3);
  EXPECT_EQ(lesson.level(Exercise::Intervals), 18);
  EXPECT_EQ(lesson.level(Exercise::ScaleDegrees), 1);
  EXPECT_EQ(lesson.level(Exercise::ChordTones), 1);
  lesson.start(Exercise::Intervals, ExerciseDirection::Sing);
  lesson.levelUp();
  EXPECT_EQ(lesson.level(Exercise::Intervals), 18) << "no level past the last";
  EXPECT_TRUE(host.levels.empty());
  lesson.levelDown();
  EXPECT_EQ(lesson.level(Exercise::Intervals), 17);
  ASSERT_EQ(host.events.size(), 1u);
  EXPECT_EQ(host.events[0].kind, LevelEventKind::LevelDown);
  EXPECT_EQ(lesson.question().toleranceCents, 25.0);
}

}  // namespace
}  // namespace auralis
