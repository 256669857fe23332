#pragma once

#include <array>

#include "engine/LessonMode.h"
#include "engine/LevelState.h"
#include "engine/Random.h"
#include "output/MidiEvent.h"

namespace auralis {

inline constexpr int kNoteLength = 30;           // ticks, 156.25 ms
inline constexpr int kMeditateNoteLength = 120;  // ticks, 625 ms

// The question being asked and the answer being given.
struct QuestionState {
  std::array<int, 5> QuestionNotes{};  // MIDI notes, in the order they must be answered
  std::array<int, 5> AnswerNotes{};
  int QuestionNoteCount = 0;  // 0: no question
  int AnswerPosition = 0;     // the question note the next answer letter refers to
  int FirstNotePitchClass = 0;
  char ExpectedLetter = 'c';
  int NoteLength = kNoteLength;
  int NoteVelocity = 80;
  int NoteChannel = 0;
  bool HarmonicPlay = false;
  bool MelodicPlay = false;
  int MeditationNote = -1;  // pitch class chosen in Meditate, -1 while none
};

// The three phrases a question needs.
struct Phrases {
  MidiEventList QuestionPhrase;
  MidiEventList AnswerPhrase;
  MidiEventList CorrectionPhrase;
};

// What a question is drawn from besides the level.
struct QuestionSettings {
  LessonMode lessonMode = LessonMode::Practice;
  int SungOctave = 0;  // octave number of the last sung note, 0 while none
  int velocity = 80;
  int channel = 0;
};

// One draw from a choice set; -1 when no flag is set.
int PickFrom(const std::uint8_t* flags, int size, Random& random);
int PickPitchClass(const LevelState& level, Random& random);
int PickNoteCount(const LevelState& level, Random& random);
int PickOctave(const LevelState& level, Random& random);

// Draws a new question for the level and builds QuestionPhrase; empties AnswerPhrase. Returns
// false, changing nothing, when the level offers no pitch class, octave or size to draw from.
bool GenerateQuestion(QuestionState& question, Phrases& phrases, const LevelState& level,
                      const QuestionSettings& settings, Random& random);

// Fills AnswerPhrase and CorrectionPhrase from the answer given and the question.
void BuildAnswerPhrases(const QuestionState& question, const LevelState& level, Phrases& phrases);

// The notes together (first note-on after delay) or one after another (first after delay).
void PushChord(MidiEventList& list, const int* notes, int count, int channel, int delay,
               int velocity, int length);
void PushMelody(MidiEventList& list, const int* notes, int count, int channel, int delay,
                int velocity, int length);

}  // namespace auralis
