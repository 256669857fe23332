#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/AnswerRecord.h"
#include "engine/LessonMode.h"
#include "engine/Random.h"
#include "exercises/Exercise.h"

namespace auralis {

// What sounds before the task: the note sung from, a cadence that sets the key, or a chord.
enum class Prelude { ReferenceNote, Cadence, Chord };

// One thing asked: an interval, a degree of the key, a tone of the chord. `step` is the
// interval's semitones, the degree's semitones above the tonic, or the tone's index in its
// context's chord.
struct ExerciseItem {
  std::string_view label;       // "M3", "5", "3rd"
  std::string_view name;        // "major third", "SO", "third"
  std::string_view numberName;  // the name when the view names degrees by number; else = name
  int step;
  char key;
};

// What the item is asked within: a direction, a key, the chord's quality.
struct ExerciseContext {
  std::string_view label;    // "up", "G", "minor"
  std::string_view name;     // "above", "G major", "minor"
  int sign;                  // +1 up, -1 down
  int tonic;                 // the reference note's pitch class, -1 for any
  std::array<int, 3> chord;  // the chord's tones above its root; all 0 without a chord
  char key;                  // the typed key when the context is what is named
};

// One graded level: which items and contexts it draws from and how close a sung note must be.
struct ExerciseLevel {
  std::uint32_t items;     // bit i: items[i]
  std::uint32_t contexts;  // bit i: contexts[i]
  double toleranceCents;
};

// Everything that makes one exercise: a new exercise is a new table, never new code.
struct ExerciseTable {
  Exercise exercise;
  LessonMode lessonMode;
  std::string_view name;     // the history's and the scripts' name: "intervals"
  std::string_view caption;  // "Intervals"
  Prelude prelude;
  bool namesContext;  // the naming direction names the context (the chord's quality)
  std::span<const ExerciseItem> items;
  std::span<const ExerciseContext> contexts;
  std::span<const ExerciseLevel> levels;
};

const ExerciseTable& exerciseTable(Exercise exercise);
std::span<const ExerciseTable> exerciseTables();
std::optional<Exercise> exerciseNamed(std::string_view name);

// The semitones of `item` above (or below) the reference within `context`.
int itemOffset(const ExerciseItem& item, const ExerciseContext& context);

// The voice range as the lessons use it: within MIDI 24..108 and at least an octave wide, so that
// every item of every level fits.
ExerciseSettings saneSettings(ExerciseSettings settings);

// A drawn question, with what the lesson needs beyond the shown values.
struct DrawnQuestion {
  ExerciseQuestion question;
  int item = 0;              // index into the table's items
  int context = 0;           // index into the table's contexts
  int askedNote = 0;         // the note that answers: sung in Sing, heard last in Name
  std::vector<int> prelude;  // the notes of the prelude (chords as blocks of three)
};

// The naming choices of a level, in table order.
std::vector<ExerciseChoice> levelChoices(const ExerciseTable& table, int level, bool solfegeNames);

// Draws a question of `level` (1-based, clamped) inside the settings' voice range.
DrawnQuestion drawQuestion(const ExerciseTable& table, ExerciseDirection direction, int level,
                           const ExerciseSettings& settings, Random& random);

// A sung pitch (its nearest note and cents from it) judged against the asked note.
bool sungNoteMatches(int askedNote, int sungNote, double cents, double toleranceCents,
                     bool octaveFree);

// A run of this many right answers in a row promotes, as in the lessons that promote on a run.
inline constexpr int kPromotionRun = 10;
bool promotionDue(int streak, int level, int levelCount);

// One answer as judged.
struct ExerciseAnswer {
  AnswerSource source = AnswerSource::Typed;
  bool correct = false;
  int note = -1;  // the note sung or played, or the note a named choice stands for; -1 for none
  double cents = 0.0;        // sung answers: the held note's mean so far
  std::string answeredItem;  // the item the answer amounts to: "M3", "5", "3rd", or "+13"
};

// The item that `note` amounts to over the question's reference and context: its label, or the
// signed semitones from the reference when no item of the table is that far.
std::string itemOfNote(const ExerciseTable& table, const DrawnQuestion& drawn, int note,
                       bool octaveFree);
// The note a naming choice stands for over the question's reference; -1 for a chord's quality.
int noteOfChoice(const ExerciseTable& table, const DrawnQuestion& drawn,
                 const ExerciseChoice& choice);

// "C4": scientific octave numbers, middle C = C4.
std::string noteName(int midiNote);

}  // namespace auralis
