#pragma once

#include <array>
#include <cstdint>
#include <limits>

#include "engine/LessonMode.h"

namespace auralis {

struct HeldNote;
struct LongToneResult;

enum class AnswerSource { Typed, Click, Midi, Sung };

// One judged answer letter, as the history keeps it.
struct AnswerRecord {
  std::int64_t atMs = 0;                     // UTC, milliseconds since the epoch
  LessonMode lesson = LessonMode::Identify;  // never Practice
  int level = 1;                             // 1-based, as shown
  std::array<int, 5> questionNotes{};        // MIDI note numbers
  int questionNoteCount = 0;
  int position = 0;   // the question note this letter answered, 0-based
  char letter = 'c';  // one of NoteLetters
  AnswerSource source = AnswerSource::Typed;
  bool correct = false;
  int responseMs = 0;
  // Sung answers only.
  int octave = 0;
  int detectedNote = 0;
  int offsetStep = 0;
  double cents = std::numeric_limits<double>::quiet_NaN();
};

enum class LevelEventKind { Promotion, LevelUp, LevelDown, Reset };

struct LevelEvent {
  std::int64_t atMs = 0;
  LessonMode lesson = LessonMode::Identify;
  int fromLevel = 1;  // 1-based
  int toLevel = 1;
  LevelEventKind kind = LevelEventKind::Promotion;
};

// Whatever keeps the answers. Called on the interface thread after each judged answer; it must
// return at once, and nothing a lesson does may depend on it.
class AnswerRecorder {
 public:
  virtual ~AnswerRecorder() = default;
  virtual void recordAnswer(const AnswerRecord& answer) = 0;
  virtual void recordLevelEvent(const LevelEvent& event) = 0;
  // Every held sung note when it ends, and every long-tone take; a recorder that keeps only the
  // answers ignores them.
  virtual void recordHeldNote(const HeldNote& note) { static_cast<void>(note); }
  virtual void recordLongTone(const LongToneResult& take) { static_cast<void>(take); }
};

}  // namespace auralis
