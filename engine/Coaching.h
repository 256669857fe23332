#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <string_view>

#include "engine/AnswerRecord.h"
#include "engine/LessonMode.h"

namespace auralis {

// A judged answer, shown to the user for about a second.
struct Verdict {
  LessonMode lesson = LessonMode::Identify;
  bool correct = false;
  char answered = 'c';  // one of NoteLetters
  char asked = 'c';     // the letter that was asked at that position
  AnswerSource source = AnswerSource::Typed;
  int sungMidiNote = 0;  // sung answers: the note heard, with its octave; else 0
  double sungCents = std::numeric_limits<double>::quiet_NaN();  // sung: the held note's mean
};

// A steadily held note outside the accepted band for about half a second. Not an answer.
struct OffTuneNote {
  int midiNote = 0;
  double cents = 0.0;  // below 0 flat, above 0 sharp
};

enum class HeldJudgement { None, Right, Wrong };
// As the history and the tools name them.
inline constexpr std::array<std::string_view, 3> kHeldJudgementNames = {"none", "right", "wrong"};

// Every held sung note, kept when it ends (or when listening stops).
struct HeldNote {
  std::int64_t startMs = 0;  // UTC ms
  int durationMs = 0;
  LessonMode lesson = LessonMode::Practice;  // Practice in Practice Singing
  int level = 0;                             // 1-based, 0 in Practice Singing
  std::array<int, 5> questionNotes{};        // none in Practice Singing
  int questionNoteCount = 0;
  int midiNote = 0;          // the detected note with its octave
  double meanCents = 0.0;    // over its steady part, from the pitch between sub-bands
  double spreadCents = 0.0;  // standard deviation over the same frames
  int frames = 0;            // frames of the steady part
  bool accepted = false;     // the readout accepted it as an answer
  HeldJudgement judged = HeldJudgement::None;
};

// One long-tone take in Practice Singing.
struct LongToneResult {
  std::int64_t atMs = 0;  // UTC ms, the take's start
  int midiNote = 0;
  int targetMs = 0;
  int heardMs = 0;
  double within10 = 0.0;  // share 0..1 of the heard time within 10 cents of the target's centre
  double within25 = 0.0;
  double driftCents = 0.0;   // mean of the last second minus mean of the first second
  double wobbleCents = 0.0;  // standard deviation
  bool completed = false;    // held to the end (false: stopped early or the voice fell away)
};

// A long-tone take as it runs; midiNote is 0 while the first steady note is awaited.
struct LongToneProgress {
  int midiNote = 0;
  int elapsedMs = 0;
  int targetMs = 0;
  double cents = 0.0;
  bool voiced = false;
};

}  // namespace auralis
