#pragma once

#include <cstdint>
#include <functional>

#include "engine/AnswerRecord.h"
#include "engine/Coaching.h"
#include "engine/FixedText.h"
#include "engine/LessonHost.h"
#include "engine/LessonMode.h"
#include "engine/LevelState.h"
#include "engine/Question.h"
#include "engine/Random.h"
#include "engine/Scores.h"
#include "engine/SungNote.h"
#include "output/MidiStreamPlayer.h"

namespace auralis {

// Check marks of the menus that the engine reads; the window keeps them in step.
struct MenuChecks {
  bool Solfege1 = true;
  bool Notes1 = false;
  bool Piano1 = false;
  bool PracticeMode1 = false;  // no answer promotes
  bool DisplayAlways = false;
  LessonItem checkedLesson = LessonItem::Warmup1;
};

inline constexpr int kAnswerPauseMs = 150;
inline constexpr char kNoMicLetter = ' ';

// The lesson engine: the question cycle, the judge, scores, mastery, promotion, the lesson-mode
// switch and every text of the instruction line and status panels 0, 2, 3 and 4.
// Everything here runs on the interface thread.
class Lesson {
 public:
  Lesson(LessonHost& host, MidiStreamPlayer& player, MicrophoneSwitch& microphone);

  // Keys, menu commands and timer.
  void FormKeyPress(char ch);
  void Judge(char ch);
  void NextQuestion();
  void Playnewquestion1Click();
  void Levelup1Click();
  void Leveldown1Click();
  void Timer1Timer();
  // WM_PLAYDONE: the finished phrase is released, then a deferred letter is judged and a
  // pending replay played.
  void PlaybackDone();
  // A decoded MIDI keyboard key: an answer letter, "r", "w", or ' ' for a new question.
  void MidiKeyboardKey(char key);
  // A note accepted by the pitch readout, judged as its letter and told apart from a typed one.
  // MicLetter keeps the letter until SungNoteOver.
  void SungKeyPress(const SungNote& note);
  // The readout's frame accepted no note: a letter from now on is not the sung one.
  void SungNoteOver() { MicLetter = kNoMicLetter; }
  // The readout handled a frame.
  void FrameHeard() { ++FramesSincePlay; }
  // Questions and retries begun so far: an answer must begin in the window it answers.
  int answerWindow() const { return answerWindow_; }
  // Every pitch class answers, as if a question had just started playing; for a tool that
  // listens to a recording outside any lesson.
  void listenForAnyNote();

  // What the window, the settings and the scripts hand the engine; only the engine writes its
  // fields.
  void setMenuChecks(const MenuChecks& checks) { menus = checks; }
  void setMastery(const Mastery& stored) { mastery = stored; }
  void setRecorder(AnswerRecorder* answers) { recorder = answers; }
  // Sung answers are written when their held note ends, with its mean cents; without a
  // tracker of held notes they are written at once, with the cents at acceptance.
  void setSungAnswersWaitForTheirNote(bool wait) { sungAnswersWait_ = wait; }
  void setRandomState(std::uint64_t state) { random.RandomState = state; }
  void SeedRandomFromClock() { auralis::SeedRandomFromClock(random); }
  void setCurrentLevel(int index) { level.currentLevel = index; }

  // Lesson modes.
  void Identify1Click();
  void Unlock1Click();
  void MimicSing1Click();
  void Sing1Click();
  void Meditate1Click();
  void Warmup1Click();
  void setLessonMode(LessonMode mode);
  void setMicrophoneWanted(bool on);
  void startLesson();
  void ResetCorvinmasterylevel1Click();

  // A held note ended, heard on capture buffers first to last: the sung answers it gave are
  // written with its mean, then the note itself with how it was judged.
  void heldNoteEnded(HeldNote note, std::int64_t firstBuffer, std::int64_t lastBuffer);
  // Listening stopped or the program ends: every sung answer still waiting is written as it is.
  void writeWaitingAnswers();
  // A sung letter waits for the phrase to end before it is judged.
  bool sungAnswerDeferred() const {
    return DeferredAnswer && deferredSource_ == AnswerSource::Sung;
  }

  // Levels, scores and texts.
  void LoadLevel();
  void ResetLevelScores();
  void Promote();
  void UpdateTexts();
  void UpdateLevelPanels();
  void UpdateClock();

  // Questions and phrases.
  // False, changing nothing, when the level offers nothing to draw from.
  bool GenerateQuestion();
  void PlayQuestion();
  void ChooseMeditationNote(int pitchClass);
  void PlayAnswerPhrase();
  void PlayCorrectionPhrase();

  // A letter of NoteLetters for a click on note-panel column i, when clicks count as answers.
  void NoteColumnClicked(int column);

  LessonMode lessonMode = LessonMode::Practice;
  MenuChecks menus;
  LevelState level;
  QuestionState question;
  Phrases phrases;
  Scores scores;
  Mastery mastery;
  Random random;

  int QuestionAge = 0;         // timer ticks since the question was generated
  int ReplayDelayTicks = 100;  // timer ticks since the last level change
  int MeditationTicks = 0;
  bool ReplayPending = false;
  bool DeferredAnswer = false;
  char DeferredLetter = kNoMicLetter;

  // Keeps every judged answer letter and every level change, when set. Lessons never depend on
  // it.
  AnswerRecorder* recorder = nullptr;
  // Wall-clock time for the records, and a steady clock for response times; both in ms.
  std::function<std::int64_t()> utcMilliseconds;
  std::function<std::int64_t()> steadyMilliseconds;

  bool acceptKeyAnswers = true;
  bool acceptMidiAnswers = true;
  bool micWanted = false;
  bool microphoneOn = false;  // the last value given to setMicrophoneWanted

  MidiStreamPlayer& player() { return player_; }

  // The last sung note, as SungKeyPress and SungNoteOver left it.
  char micLetter() const { return MicLetter; }
  int sungOctave() const { return SungOctave; }
  int sungPitchClass() const { return SungPitchClass; }
  // Frames the readout handled since a question last started playing.
  int framesSincePlay() const { return FramesSincePlay; }

 private:
  void modeCommand(LessonItem item, LessonMode mode);
  // After a manual level change: fresh scores, a new question played at the second tick.
  void enterChangedLevel();
  void judgeAnswerLetter(char ch);
  void answeredCorrectly(char ch);
  void answeredWrongly(char ch);
  void playFeedback(FeedbackSound sound) { host_.playFeedbackSound(sound); }
  void pauseUnlessSung(char ch);
  void playIfNotSing();
  // Judge with the source of the letter remembered for the history.
  void judgeFrom(AnswerSource source, char ch);
  void recordAnswer(char ch, int position, bool correct);
  void writeAnswer(const AnswerRecord& answer);
  // A sung letter is timed when the readout accepts it, even if it is judged later.
  void timeSungAnswer();
  void showVerdict(char ch, int asked, bool correct);
  void recordLevelChange(LevelEventKind kind, int fromLevel);
  void questionReady();

  LessonHost& host_;
  MidiStreamPlayer& player_;
  MicrophoneSwitch& microphone_;

  char MicLetter = kNoMicLetter;
  int SungOctave = 0;
  int SungPitchClass = 0;
  int FramesSincePlay = 0;
  SungNote sung_;  // the accepted note, for the history
  AnswerSource answerSource_ = AnswerSource::Typed;
  AnswerSource deferredSource_ = AnswerSource::Typed;
  bool questionPlaying_ = false;  // the phrase sounding is the question
  std::int64_t questionReadyMs_ = 0;
  int sungResponseMs_ = 0;  // at the readout's acceptance, not at a deferred judging
  int answerWindow_ = 0;
  // Sung answers waiting for the end of their held note.
  struct WaitingAnswer {
    AnswerRecord answer;
    std::int64_t buffer = 0;  // the capture buffer of the acceptance
  };
  static constexpr int kMostWaitingAnswers = 8;
  std::array<WaitingAnswer, kMostWaitingAnswers> waiting_{};
  int waitingCount_ = 0;
  bool sungAnswersWait_ = false;
  FixedText text_;
};

}  // namespace auralis
