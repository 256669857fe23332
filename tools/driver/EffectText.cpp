#include "tools/driver/EffectText.h"

#include <cstdio>

#include "engine/Notes.h"

namespace auralis::driver {

namespace {

constexpr std::array<std::string_view, 4> kSourceNames = {"typed", "click", "midi", "sung"};

// "-35.2", "+4.0": cents with their sign, as a singer reads them.
std::string centsText(double cents) {
  char text[32];
  std::snprintf(text, sizeof text, "%+.1f", cents);
  return text;
}

std::string twoPlaces(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", value);
  return text;
}

}  // namespace

std::string verdictText(const Verdict& verdict) {
  std::string text = verdict.correct ? "verdict right " : "verdict wrong ";
  text += verdict.answered;
  text += ' ';
  text += verdict.asked;
  text += ' ';
  text += kSourceNames[static_cast<std::size_t>(verdict.source)];
  if (verdict.source == AnswerSource::Sung)
    text +=
        " note " + std::to_string(verdict.sungMidiNote) + " cents " + centsText(verdict.sungCents);
  return text;
}

std::string offTuneText(const OffTuneNote& note) {
  return "offtune note " + std::to_string(note.midiNote) + " cents " + centsText(note.cents);
}

std::string heldNoteText(const HeldNote& note) {
  return "held note " + std::to_string(note.midiNote) + " cents " + centsText(note.meanCents) +
         " spread " + twoPlaces(note.spreadCents) + " frames " + std::to_string(note.frames) +
         " ms " + std::to_string(note.durationMs) + " accepted " + (note.accepted ? "yes" : "no") +
         " judged " + std::string(kHeldJudgementNames[static_cast<std::size_t>(note.judged)]);
}

std::string longToneText(const LongToneResult& result) {
  return "longtone note " + std::to_string(result.midiNote) + " ms " +
         std::to_string(result.targetMs) + " heard " + std::to_string(result.heardMs) +
         " within10 " + twoPlaces(result.within10) + " within25 " + twoPlaces(result.within25) +
         " drift " + centsText(result.driftCents) + " wobble " + twoPlaces(result.wobbleCents) +
         " completed " + (result.completed ? "yes" : "no");
}

std::string masteryText(const Mastery& mastery) {
  std::string text;
  for (const MasteryField& field : kMasteryFields) {
    if (!text.empty()) text += ' ';
    text += field.name;
    text += '=';
    text += std::to_string(mastery.*field.value);
  }
  return text;
}

std::string_view feedbackSoundName(FeedbackSound sound) {
  switch (sound) {
    case FeedbackSound::Correct:
      return "CORRECT";
    case FeedbackSound::Incorrect:
      return "INCORRECT";
    case FeedbackSound::Promote:
      return "PROMOTE";
    case FeedbackSound::Demote:
      return "DEMOTE";
  }
  return "?";
}

std::string_view lessonItemName(LessonItem item) {
  switch (item) {
    case LessonItem::Warmup1:
      return "Warmup1";
    case LessonItem::Identify1:
      return "Identify1";
    case LessonItem::Unlock1:
      return "Unlock1";
    case LessonItem::MimicSing1:
      return "MimicSing1";
    case LessonItem::Sing1:
      return "Sing1";
    case LessonItem::Meditate1:
      return "Meditate1";
  }
  return "?";
}

std::string_view lessonModeName(LessonMode mode) {
  switch (mode) {
    case LessonMode::Practice:
      return "Practice";
    case LessonMode::Identify:
      return "Identify";
    case LessonMode::Unlock:
      return "Unlock";
    case LessonMode::Sing:
      return "Sing";
    case LessonMode::Meditate:
      return "Meditate";
    case LessonMode::Mimic:
      return "Mimic";
  }
  return "?";
}

std::string keyName(char key) {
  if (key == kEscape) return "Escape";
  if (key == ' ') return "space";
  return std::string(1, key);
}

template <typename Event>
std::string eventsText(const Event* events, int count) {
  std::string text = std::to_string(count) + ":";
  for (int i = 0; i < count; ++i) {
    const Event& e = events[i];
    char bytes[16];
    std::snprintf(bytes, sizeof bytes, " %02X %02X %02X", statusOf(e.event), noteOf(e.event),
                  velocityOf(e.event));
    text += i == 0 ? " " : " | ";
    text += std::to_string(e.delta);
    text += bytes;
  }
  return text;
}

template std::string eventsText(const MidiEvent* events, int count);
template std::string eventsText(const platform::StreamEvent* events, int count);

}  // namespace auralis::driver
