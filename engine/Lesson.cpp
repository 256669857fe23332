#include "engine/Lesson.h"

#include "engine/Notes.h"

namespace auralis {

Lesson::Lesson(LessonHost& host, MidiStreamPlayer& player, MicrophoneSwitch& microphone)
    : host_(host), player_(player), microphone_(microphone) {}

void Lesson::FormKeyPress(char ch) {
  switch (ch) {
    case '0':
      lessonMode = LessonMode::Practice;
      UpdateTexts();
      return;
    case 'i':
      Identify1Click();
      return;
    case 'u':
      Unlock1Click();
      return;
    case 'm':
      MimicSing1Click();
      return;
    case 's':
      Sing1Click();
      return;
    case 't':
      Meditate1Click();
      return;
    case 'p':
      Warmup1Click();
      return;
    default:
      break;
  }
  if (!acceptKeyAnswers && MicLetter == kNoMicLetter && ch != 'r' && ch != 'w') return;
  judgeFrom(ch == MicLetter ? AnswerSource::Sung : AnswerSource::Typed, ch);
}

void Lesson::judgeFrom(AnswerSource source, char ch) {
  answerSource_ = source;
  Judge(ch);
}

void Lesson::MidiKeyboardKey(char key) {
  if (!acceptMidiAnswers) return;
  if (key == ' ') {
    NextQuestion();
  } else {
    judgeFrom(AnswerSource::Midi, key);
  }
}

void Lesson::SungKeyPress(const SungNote& note) {
  MicLetter = note.letter();
  SungPitchClass = note.pitchClass();
  SungOctave = note.octave();
  sung_ = note;
  timeSungAnswer();
  FormKeyPress(MicLetter);
}

void Lesson::NoteColumnClicked(int column) {
  if (!acceptKeyAnswers || column < 0 || column > 11) return;
  judgeFrom(AnswerSource::Click, NoteLetters[column]);
}

void Lesson::Judge(char ch) {
  if (question.QuestionNoteCount == 0) return;
  if (!player_.PlaybackIdle()) {
    // Only the latest letter typed during playback is judged, when the phrase ends.
    DeferredAnswer = true;
    DeferredLetter = ch;
    deferredSource_ = answerSource_;
    return;
  }
  DeferredAnswer = false;
  if (ch == kEscape) {
    question.AnswerPosition = 0;
    playFeedback(FeedbackSound::Correct);
    host_.repaintNotePanel();
    return;
  }
  if (isAnswerLetter(ch)) {
    if (lessonMode == LessonMode::Meditate) {
      ChooseMeditationNote(LetterToPitchClass(ch));
    } else {
      judgeAnswerLetter(ch);
    }
    return;
  }
  if (ch == 'r') {
    PlayQuestion();
  } else if (ch == 'w') {
    PlayAnswerPhrase();
  }
}

void Lesson::pauseUnlessSung(char ch) {
  if (ch != MicLetter) host_.pause(kAnswerPauseMs);
}

void Lesson::judgeAnswerLetter(char ch) {
  QuestionState& q = question;
  const int asked = q.QuestionNotes[q.AnswerPosition];
  const int given = LetterToPitchClass(ch);
  // Placed in the question note's octave, or an octave higher when that is nearer.
  q.AnswerNotes[q.AnswerPosition] =
      12 * (asked / 12) + given + ((asked % 12) - given >= 7 ? 12 : 0);
  recordAnswer(ch, q.AnswerPosition, given == pitchClassOf(asked));
  showVerdict(ch, asked, given == pitchClassOf(asked));
  ++q.AnswerPosition;
  if (q.AnswerPosition < q.QuestionNoteCount) {
    playFeedback(FeedbackSound::Correct);  // an acknowledgment, whatever the letter
    host_.repaintNotePanel();
    pauseUnlessSung(ch);
    return;
  }
  for (int i = 0; i < q.QuestionNoteCount; ++i) {
    if (pitchClassOf(q.AnswerNotes[i]) != pitchClassOf(q.QuestionNotes[i])) {
      answeredWrongly(ch);
      return;
    }
  }
  answeredCorrectly(ch);
}

void Lesson::answeredCorrectly(char ch) {
  Scores& s = scores;
  ++s.LevelAsked;
  ++s.TotalAsked;
  ++s.LevelCorrect;
  ++s.TotalCorrect;
  ++s.LevelStreak;
  if (s.LevelStreak > s.LevelBestStreak) s.LevelBestStreak = s.LevelStreak;
  UpdateTexts();
  host_.repaintNotePanel();
  host_.repaintWindowNow();

  if (level.EchoCode == 2) {
    // The user hears the note they sang.
    ClearEvents(phrases.QuestionPhrase);
    PushNote(phrases.QuestionPhrase, SungOctave * 12 + SungPitchClass, question.NoteChannel, 0,
             question.NoteVelocity, question.NoteLength);
    PlayQuestion();
  } else {
    playFeedback(FeedbackSound::Correct);
  }
  pauseUnlessSung(ch);

  if (QuestionAge >= 6) {
    s.FastRunSeconds = 0;
  } else if (!menus.PracticeMode1) {
    const bool promote = lessonMode == LessonMode::Unlock ? s.FastRunSeconds >= 60
                                                          : (lessonMode == LessonMode::Identify ||
                                                             lessonMode == LessonMode::Sing ||
                                                             lessonMode == LessonMode::Mimic) &&
                                                                s.LevelStreak == 20;
    if (promote) {
      playFeedback(FeedbackSound::Promote);
      Promote();
    }
  }

  QuestionAge = 0;
  host_.repaintNotePanel();
  question.AnswerPosition = 0;
  NextQuestion();
}

void Lesson::answeredWrongly(char ch) {
  ++answerWindow_;  // the retry: a note already sounding does not answer it
  scores.FastRunSeconds = 0;
  ++scores.LevelAsked;
  ++scores.TotalAsked;
  scores.LevelStreak = 0;
  UpdateTexts();
  host_.repaintWindowNow();
  playFeedback(FeedbackSound::Incorrect);
  BuildAnswerPhrases(question, level, phrases);
  // The same question stays, answered again from its first note.
  question.AnswerPosition = 0;
  if (ch != MicLetter) PlayCorrectionPhrase();
  host_.repaintNotePanel();
}

void Lesson::playIfNotSing() {
  if (level.PaceCode != kPaceSing) PlayQuestion();
}

void Lesson::NextQuestion() {
  GenerateQuestion();
  UpdateTexts();
  host_.repaintNotePanel();
  playIfNotSing();
}

void Lesson::Playnewquestion1Click() {
  // With nothing to draw from (Practice Singing) the command does nothing.
  if (!GenerateQuestion()) return;
  UpdateTexts();
  playIfNotSing();
}

void Lesson::Levelup1Click() {
  if (lessonMode == LessonMode::Practice) return;
  const int from = level.currentLevel;
  // Capped at the Identify table; LoadLevel limits it to the mode's own table.
  if (level.currentLevel < identifyLevelCount - 1) ++level.currentLevel;
  enterChangedLevel();
  recordLevelChange(LevelEventKind::LevelUp, from);
}

void Lesson::Leveldown1Click() {
  if (lessonMode == LessonMode::Practice) return;
  const int from = level.currentLevel;
  if (level.currentLevel > 0) --level.currentLevel;
  enterChangedLevel();
  recordLevelChange(LevelEventKind::LevelDown, from);
}

void Lesson::enterChangedLevel() {
  ResetLevelScores();
  LoadLevel();
  GenerateQuestion();
  ResetLevelScores();
  UpdateTexts();
  host_.repaintNotePanel();
  scores.LevelSeconds = 0;
  scores.FastRunSeconds = 0;
  ReplayDelayTicks = 0;  // the timer plays the new question at its second tick
}

void Lesson::Timer1Timer() {
  ++MeditationTicks;
  ++QuestionAge;
  ++scores.ElapsedSeconds;
  if (scores.LevelAsked > 0) {
    ++scores.FastRunSeconds;
    ++scores.LevelSeconds;
  }
  UpdateClock();
  if (ReplayDelayTicks < 1000) ++ReplayDelayTicks;
  if (ReplayDelayTicks == 2) PlayQuestion();

  const bool hintTick = QuestionAge > 5 && QuestionAge <= 30 && (QuestionAge - 6) % 3 == 0;
  if (lessonMode == LessonMode::Sing && hintTick) PlayQuestion();
  if (lessonMode == LessonMode::Unlock && QuestionAge >= 6 && QuestionAge <= 30) {
    host_.repaintNotePanel();  // the panel reveals the expected key
    if (hintTick) PlayQuestion();
  }
  if (lessonMode == LessonMode::Meditate && MeditationTicks % 8 == 0 &&
      question.MeditationNote != -1)
    PlayQuestion();
}

void Lesson::PlaybackDone() {
  player_.MidiStreamDone();
  if (questionPlaying_ && player_.PlaybackIdle()) {
    questionPlaying_ = false;
    questionReady();
  }
  if (DeferredAnswer) judgeFrom(deferredSource_, DeferredLetter);
  if (ReplayPending) PlayQuestion();
}

bool Lesson::GenerateQuestion() {
  const QuestionSettings settings{lessonMode, SungOctave, player_.MidiOutVolume,
                                  player_.MidiOutChannel};
  if (!auralis::GenerateQuestion(question, phrases, level, settings, random)) return false;
  QuestionAge = 0;
  questionReady();
  ++answerWindow_;
  if (level.PaceCode == kPaceMeditate) MeditationTicks = 0;
  return true;
}

void Lesson::PlayQuestion() {
  if (!player_.PlaybackIdle()) {
    ReplayPending = true;
    return;
  }
  ReplayPending = false;
  FramesSincePlay = 0;
  if (menus.DisplayAlways) host_.repaintNotePanel();
  player_.PlayEventList(phrases.QuestionPhrase);
  questionPlaying_ = !player_.PlaybackIdle();
}

void Lesson::ChooseMeditationNote(int pitchClass) {
  question.MeditationNote = pitchClass;
  GenerateQuestion();
  MeditationTicks = 6;  // sounds two ticks later, then every 8
}

void Lesson::PlayAnswerPhrase() {
  player_.PlayEventList(phrases.AnswerPhrase);
  questionPlaying_ = false;
}

void Lesson::PlayCorrectionPhrase() {
  player_.PlayEventList(phrases.CorrectionPhrase);
  questionPlaying_ = false;
}

}  // namespace auralis
