#include <gtest/gtest.h>

#include "engine/Notes.h"
#include "engine/Question.h"
#include "output/MidiEvent.h"

namespace auralis {
namespace {

TEST(MidiEventList, PushNoteWritesANoteOnAndAZeroVelocityNoteOff) {
  MidiEventList list;
  EXPECT_EQ(list.count, 0);
  PushNote(list, 60, 3, 0, 80, 30);
  ASSERT_EQ(list.count, 2);
  EXPECT_EQ(list.events[0].delta, 0u);
  EXPECT_EQ(list.events[0].streamId, 0u);
  EXPECT_EQ(list.events[0].event, 0x00503C93u);
  EXPECT_EQ(list.events[1].delta, 30u);
  EXPECT_EQ(list.events[1].event, 0x00003C93u);
}

TEST(MidiEventList, APushOntoAFullListIsDroppedAndClearKeepsNothing) {
  MidiEventList list;
  for (int i = 0; i < kMaxPhraseEvents; ++i) PushNoteOn(list, i % 128, 0, i, 64);
  const MidiEvent last = list.events[kMaxPhraseEvents - 1];
  PushNoteOn(list, 1, 0, 0, 1);
  EXPECT_EQ(list.count, kMaxPhraseEvents);
  EXPECT_EQ(list.events[kMaxPhraseEvents - 1].event, last.event);
  ClearEvents(list);
  EXPECT_EQ(list.count, 0);
}

TEST(MidiEventList, BytesAreTheLowEightBitsOfEachValue) {
  MidiEventList list;
  PushNoteOn(list, 0x13C, 0x13, 5, 0x1FF);
  EXPECT_EQ(list.events[0].event, 0x00FF3CA3u);
}

// A level built by hand, for questions whose notes the test chooses.
LevelState levelWith(std::initializer_list<int> pitchClasses, std::initializer_list<int> octaves,
                     int noteCount, int type, int style, int sameOctave = 3, int pace = 1) {
  LevelState level;
  for (int pc : pitchClasses) level.ActivePitchClasses[pc] = 1;
  for (int octave : octaves) level.OctaveChoices[octave - 1] = 1;
  level.NoteCountChoices[noteCount - 1] = 1;
  level.QuestionType = type;
  level.PlayStyle = style;
  level.SameOctave = sameOctave;
  level.PaceCode = pace;
  return level;
}

struct Generated {
  QuestionState question;
  Phrases phrases;
};

Generated generate(const LevelState& level, std::uint64_t seed,
                   QuestionSettings settings = {LessonMode::Identify, 0, 80, 0}) {
  Generated g;
  Random random{seed};
  EXPECT_TRUE(GenerateQuestion(g.question, g.phrases, level, settings, random));
  return g;
}

TEST(GenerateQuestion, DrawsExactlyWhatTheGeneratorArithmeticGives) {
  // Identify level 5: C and E, octaves 4 to 6, two notes, harmonic.
  LevelState level;
  level.currentLevel = 4;
  LoadLevelRow(level, LessonMode::Identify);
  // Seed 1 draws 16807 (size, one choice), 282475249 (odd: E), 1622650073 (2 mod 3: octave 6),
  // 984943658 (even: C), 1144108930 (1 mod 3: octave 5): notes 76 and 60, sorted.
  const struct {
    std::uint64_t seed;
    int low, high;
  } cases[] = {{1, 60, 76}, {42, 72, 76}, {1000, 48, 52}};
  for (const auto& c : cases) {
    const Generated g = generate(level, c.seed);
    EXPECT_EQ(g.question.QuestionNoteCount, 2);
    EXPECT_EQ(g.question.QuestionNotes[0], c.low) << "seed " << c.seed;
    EXPECT_EQ(g.question.QuestionNotes[1], c.high) << "seed " << c.seed;
    EXPECT_TRUE(g.question.HarmonicPlay);
  }
}

TEST(GenerateQuestion, IdentifyLevelOneAsksSingleNotesCOrEInOctaveFive) {
  LevelState level;
  LoadLevelRow(level, LessonMode::Identify);
  Random random{12345};
  for (int i = 0; i < 200; ++i) {
    Generated g;
    ASSERT_TRUE(
        GenerateQuestion(g.question, g.phrases, level, {LessonMode::Identify, 0, 80, 0}, random));
    ASSERT_EQ(g.question.QuestionNoteCount, 1);
    const int note = g.question.QuestionNotes[0];
    EXPECT_TRUE(note == 60 || note == 64) << note;
    ASSERT_EQ(g.phrases.QuestionPhrase.count, 2);  // one note sounding alone
  }
}

TEST(GenerateQuestion, TwoNotesFromTwoPitchClassesInOneOctaveAreAlwaysCAndE) {
  const LevelState level = levelWith({0, 4}, {5}, 2, 2, 1);
  for (std::uint64_t seed = 1; seed < 40; ++seed) {
    const Generated g = generate(level, seed * 7919);
    EXPECT_EQ(g.question.QuestionNotes[0], 60);
    EXPECT_EQ(g.question.QuestionNotes[1], 64);
  }
}

TEST(GenerateQuestion, ThirdsAndSecondsAreTheWhiteKeysAbove) {
  const struct {
    int root, type, second;
  } cases[] = {{9, 6, 72}, {4, 6, 67}, {11, 6, 74}, {0, 5, 62}, {4, 5, 65}, {11, 5, 72}};
  for (const auto& c : cases) {
    const LevelState level = levelWith({c.root}, {5}, 2, c.type, 2, 1, 2);
    const Generated g = generate(level, 99);
    EXPECT_EQ(g.question.QuestionNotes[0], 60 + c.root);
    EXPECT_EQ(g.question.QuestionNotes[1], c.second) << "root " << c.root;
  }
}

TEST(GenerateQuestion, PlayStyleDecidesTheOrderAndTheExpectedLetter) {
  // Three notes from all twelve pitch classes in one octave, drawn order.
  const LevelState drawn = levelWith({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, {5}, 3, 3, 4, 1);
  const LevelState ascending = levelWith({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, {5}, 3, 3, 2, 1);
  const LevelState descending = levelWith({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, {5}, 3, 3, 3, 1);
  for (std::uint64_t seed = 3; seed < 60; seed += 7) {
    const Generated d = generate(drawn, seed);
    const Generated a = generate(ascending, seed);
    const Generated down = generate(descending, seed);
    const auto& dn = d.question.QuestionNotes;
    // The same draws, three orders.
    std::array<int, 3> sorted = {dn[0], dn[1], dn[2]};
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(a.question.QuestionNotes[0], sorted[0]);
    EXPECT_EQ(a.question.QuestionNotes[2], sorted[2]);
    EXPECT_EQ(down.question.QuestionNotes[0], sorted[2]);
    EXPECT_EQ(d.question.ExpectedLetter, NoteLetters[pitchClassOf(dn[0])]);
    EXPECT_EQ(a.question.ExpectedLetter, NoteLetters[pitchClassOf(sorted[0])]);
    EXPECT_TRUE(d.question.MelodicPlay);
    // Melodic: each note starts when the previous one stops.
    ASSERT_EQ(d.phrases.QuestionPhrase.count, 6);
    EXPECT_EQ(d.phrases.QuestionPhrase.events[2].delta, 0u);
    EXPECT_EQ(d.phrases.QuestionPhrase.events[3].delta, 30u);
    EXPECT_NE(dn[0], dn[1]);
    EXPECT_NE(dn[1], dn[2]);
    EXPECT_NE(dn[0], dn[2]);
  }
}

TEST(GenerateQuestion, ChordsStartTogetherAndStopTogether) {
  const LevelState level = levelWith({0, 4, 7}, {4, 5, 6}, 3, 3, 1);
  const Generated g = generate(level, 5, {LessonMode::Identify, 0, 100, 9});
  const MidiEventList& phrase = g.phrases.QuestionPhrase;
  ASSERT_EQ(phrase.count, 6);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(phrase.events[i].delta, 0u);
    EXPECT_EQ(statusOf(phrase.events[i].event), 0x99);
    EXPECT_EQ(velocityOf(phrase.events[i].event), 100);
    EXPECT_EQ(noteOf(phrase.events[i].event), g.question.QuestionNotes[i]);
    EXPECT_EQ(velocityOf(phrase.events[3 + i].event), 0);
  }
  EXPECT_EQ(phrase.events[3].delta, 30u);
  EXPECT_EQ(phrase.events[4].delta, 0u);
  EXPECT_LT(g.question.QuestionNotes[0], g.question.QuestionNotes[1]);
}

TEST(GenerateQuestion, MeditateWaitsForANoteThenUsesTheSungOctaveAndLongNotes) {
  LevelState level;
  LoadLevelRow(level, LessonMode::Meditate);
  Generated g;
  Random random{77};
  ASSERT_TRUE(
      GenerateQuestion(g.question, g.phrases, level, {LessonMode::Meditate, 0, 80, 0}, random));
  EXPECT_EQ(g.phrases.QuestionPhrase.count, 0);  // nothing sounds until a note is chosen
  g.question.MeditationNote = 7;
  ASSERT_TRUE(
      GenerateQuestion(g.question, g.phrases, level, {LessonMode::Meditate, 4, 80, 0}, random));
  EXPECT_EQ(g.question.QuestionNoteCount, 1);
  EXPECT_EQ(g.question.QuestionNotes[0], 55);
  EXPECT_EQ(g.question.NoteLength, 120);
  ASSERT_EQ(g.phrases.QuestionPhrase.count, 2);
  EXPECT_EQ(g.phrases.QuestionPhrase.events[1].delta, 120u);
}

TEST(GenerateQuestion, AGeneratorStuckOnOneValueStillGivesDistinctNotes) {
  // From state 0 every draw is 0, so redrawing alone would never find a second note.
  LevelState level;
  level.currentLevel = 66;
  LoadLevelRow(level, LessonMode::Identify);
  const Generated g = generate(level, 0);
  ASSERT_EQ(g.question.QuestionNoteCount, 3);
  const auto& n = g.question.QuestionNotes;
  EXPECT_NE(n[0], n[1]);
  EXPECT_NE(n[1], n[2]);
  EXPECT_NE(n[0], n[2]);
  // A level with fewer distinct notes than its size asks what it has.
  const LevelState tooSmall = levelWith({0}, {5}, 3, 3, 1, 1);
  const Generated small = generate(tooSmall, 0);
  EXPECT_EQ(small.question.QuestionNoteCount, 1);
  EXPECT_EQ(small.phrases.QuestionPhrase.count, 2);
}

TEST(GenerateQuestion, NothingToDrawFromChangesNothing) {
  Generated g;
  g.question.QuestionNoteCount = 2;
  Random random{5};
  LevelState practice;  // every choice set empty
  EXPECT_FALSE(GenerateQuestion(g.question, g.phrases, practice, {}, random));
  EXPECT_EQ(g.question.QuestionNoteCount, 2);
  EXPECT_EQ(random.RandomState, 5u);
}

TEST(BuildAnswerPhrases, CorrectionPlaysTheAnswerThenTheQuestionAfterAGap) {
  const struct {
    int style;
    int pace;
    int gap;
  } cases[] = {{4, 1, 10}, {1, 1, 10}, {1, 4, 40}};
  for (const auto& c : cases) {
    const LevelState level = levelWith({0, 4, 7}, {5}, 2, 2, c.style, 3, c.pace);
    Generated g = generate(level, 11);
    g.question.AnswerNotes[0] = 62;
    g.question.AnswerNotes[1] = 65;
    g.question.AnswerPosition = 2;
    BuildAnswerPhrases(g.question, level, g.phrases);
    const MidiEventList& answer = g.phrases.AnswerPhrase;
    const MidiEventList& correction = g.phrases.CorrectionPhrase;
    ASSERT_EQ(answer.count, 4);
    ASSERT_EQ(correction.count, 8);
    EXPECT_EQ(noteOf(correction.events[0].event), 62);
    EXPECT_EQ(noteOf(correction.events[4].event), g.question.QuestionNotes[0]);
    EXPECT_EQ(correction.events[4].delta, static_cast<std::uint32_t>(c.gap));
    if (c.style == 1) {
      EXPECT_EQ(noteOf(correction.events[1].event), 65);  // chord: both note-ons first
      EXPECT_EQ(correction.events[6].delta, static_cast<std::uint32_t>(g.question.NoteLength));
    } else {
      EXPECT_EQ(noteOf(correction.events[2].event), 65);
    }
  }
}

TEST(BuildAnswerPhrases, AnUnansweredIntervalIsHeardOnItsFirstNote) {
  const struct {
    int type, style, answer, expectedSecond;
  } cases[] = {
      {6, 2, 62, 65},  // a third above D
      {5, 1, 64, 65},  // a second above E
      {6, 3, 69, 65},  // a third below A
  };
  for (const auto& c : cases) {
    const LevelState level = levelWith({0}, {5}, 2, c.type, c.style, 1, 2);
    Generated g = generate(level, 3);
    g.question.AnswerNotes[0] = c.answer;
    g.question.AnswerPosition = 0;
    BuildAnswerPhrases(g.question, level, g.phrases);
    ASSERT_GE(g.phrases.AnswerPhrase.count, 4);
    const MidiEventList& answer = g.phrases.AnswerPhrase;
    const int second =
        c.style == 1 ? noteOf(answer.events[1].event) : noteOf(answer.events[2].event);
    EXPECT_EQ(noteOf(answer.events[0].event), c.answer);
    EXPECT_EQ(second, c.expectedSecond) << "type " << c.type << " style " << c.style;
  }
}

}  // namespace
}  // namespace auralis
