#include "tools/driver/EffectText.h"

#include <cstdio>

#include "engine/Notes.h"

namespace auralis::driver {

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
