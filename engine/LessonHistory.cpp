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

void Lesson::timeSungAnswer() {
  const std::int64_t now = steadyMilliseconds ? steadyMilliseconds() : steadyClockMilliseconds();
  sungResponseMs_ = static_cast<int>(std::max<std::int64_t>(0, now - questionReadyMs_));
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
    // A replay that ended between the acceptance and the judging does not make it at once.
    answer.responseMs = sungResponseMs_;
    answer.octave = SungOctave;
    answer.detectedNote = sung_.detectedNote;
    answer.offsetStep = sung_.offsetStep;
    answer.cents = sung_.cents;
    if (sungAnswersWait_) {
      if (waitingCount_ == kMostWaitingAnswers) {
        writeAnswer(waiting_[0].answer);
        std::move(waiting_.begin() + 1, waiting_.end(), waiting_.begin());
        --waitingCount_;
      }
      waiting_[static_cast<std::size_t>(waitingCount_++)] = {answer, sung_.frame};
      return;
    }
  }
  writeAnswer(answer);
}

void Lesson::writeAnswer(const AnswerRecord& answer) {
  if (recorder != nullptr) recorder->recordAnswer(answer);
}

void Lesson::heldNoteEnded(HeldNote note, std::int64_t firstBuffer, std::int64_t lastBuffer) {
  int kept = 0;
  for (int i = 0; i < waitingCount_; ++i) {
    WaitingAnswer& waiting = waiting_[static_cast<std::size_t>(i)];
    if (waiting.buffer > lastBuffer) {
      waiting_[static_cast<std::size_t>(kept++)] = waiting;  // a later note's
      continue;
    }
    if (waiting.buffer >= firstBuffer) {
      // From the note the answer was detected as, which the note's mean may round away from.
      const int detectedMidi = waiting.answer.detectedNote + kMidiOfDetectorNote;
      waiting.answer.cents = note.meanCents + (note.midiNote - detectedMidi) * 100.0;
      // One wrong answer makes the note wrong.
      if (!waiting.answer.correct)
        note.judged = HeldJudgement::Wrong;
      else if (note.judged == HeldJudgement::None)
        note.judged = HeldJudgement::Right;
    }
    writeAnswer(waiting.answer);
  }
  waitingCount_ = kept;
  if (recorder != nullptr) recorder->recordHeldNote(note);
}

void Lesson::writeWaitingAnswers() {
  for (int i = 0; i < waitingCount_; ++i) writeAnswer(waiting_[static_cast<std::size_t>(i)].answer);
  waitingCount_ = 0;
}

void Lesson::showVerdict(char ch, int asked, bool correct) {
  Verdict verdict;
  verdict.lesson = lessonMode;
  verdict.correct = correct;
  verdict.answered = ch;
  verdict.asked = NoteLetters[pitchClassOf(asked)];
  verdict.source = answerSource_;
  if (answerSource_ == AnswerSource::Sung) {
    verdict.sungMidiNote = SungOctave * 12 + SungPitchClass;
    verdict.sungCents = sung_.cents;
  }
  host_.showVerdict(verdict);
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
