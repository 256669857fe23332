#include <algorithm>
#include <chrono>

#include "engine/Lesson.h"
#include "engine/Notes.h"

namespace auralis {

namespace {

std::int64_t systemMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::int64_t steadyClockMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

}  // namespace

// Response times run from the end of the question's playback, or from the question's start
// where nothing plays.
void Lesson::questionReady() {
  questionReadyMs_ = steadyMilliseconds ? steadyMilliseconds() : steadyClockMilliseconds();
}

void Lesson::recordAnswer(char ch, int position, bool correct) {
  if (recorder == nullptr || lessonMode == LessonMode::Practice) return;
  AnswerRecord answer;
  answer.atMs = utcMilliseconds ? utcMilliseconds() : systemMilliseconds();
  answer.lesson = lessonMode;
  answer.level = level.currentLevel + 1;
  answer.questionNotes = question.QuestionNotes;
  answer.questionNoteCount = question.QuestionNoteCount;
  answer.position = position;
  answer.letter = ch;
  answer.source = answerSource_;
  answer.correct = correct;
  const std::int64_t now = steadyMilliseconds ? steadyMilliseconds() : steadyClockMilliseconds();
  // A letter typed while the question still sounds answers at once.
  answer.responseMs = static_cast<int>(std::max<std::int64_t>(0, now - questionReadyMs_));
  if (answer.source == AnswerSource::Sung) {
    answer.octave = SungOctave;
    answer.detectedNote = sung_.detectedNote;
    answer.offsetStep = sung_.offsetStep;
    answer.cents = sung_.cents;
  }
  recorder->recordAnswer(answer);
}

void Lesson::recordLevelChange(LevelEventKind kind, int fromLevel) {
  if (recorder == nullptr || lessonMode == LessonMode::Practice) return;
  LevelEvent event;
  event.atMs = utcMilliseconds ? utcMilliseconds() : systemMilliseconds();
  event.lesson = lessonMode;
  event.fromLevel = fromLevel + 1;
  event.toLevel = level.currentLevel + 1;
  event.kind = kind;
  recorder->recordLevelEvent(event);
}

}  // namespace auralis
