#include <algorithm>
#include <chrono>
#include <cmath>

#include "engine/AnswerRecord.h"
#include "engine/Coaching.h"
#include "engine/FixedText.h"
#include "engine/LessonHost.h"
#include "engine/Notes.h"
#include "engine/Question.h"
#include "engine/Scores.h"
#include "engine/SungNote.h"
#include "engine/Texts.h"
#include "exercises/Exercise.h"
#include "exercises/ExerciseTables.h"
#include "output/MidiStreamPlayer.h"

namespace auralis {

namespace {

constexpr int kNoteTicks = 96;   // half a second: long enough to sing from
constexpr int kChordTicks = 80;  // each chord of the cadence
constexpr int kGapTicks = 48;    // between the prelude and the note asked

std::int64_t clockMs(const std::function<std::int64_t()>& clock, bool steady) {
  if (clock) return clock();
  const auto since = steady ? std::chrono::steady_clock::now().time_since_epoch()
                            : std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::milliseconds>(since).count();
}

}  // namespace

class ExerciseRun {
 public:
  ExerciseRun(LessonHost& host, ExerciseHost& exerciseHost, MidiStreamPlayer& player,
              Random& random)
      : host_(host), exerciseHost_(exerciseHost), player_(player), random_(random) {
    levels_.fill(1);
  }

  LessonHost& host_;
  ExerciseHost& exerciseHost_;
  MidiStreamPlayer& player_;
  Random& random_;
  AnswerRecorder* recorder_ = nullptr;
  std::function<std::int64_t()> utc_;
  std::function<std::int64_t()> steady_;

  bool active_ = false;
  Exercise exercise_ = Exercise::Intervals;
  ExerciseDirection direction_ = ExerciseDirection::Sing;
  std::array<int, kExerciseCount> levels_{};
  ExerciseSettings settings_;
  DrawnQuestion drawn_;
  std::vector<ExerciseChoice> choices_;
  Scores scores_;
  MidiEventList questionPhrase_;
  MidiEventList correctionPhrase_;
  MidiEventList* waiting_ = nullptr;  // to play once the sounding phrase ends
  int answerWindow_ = 0;
  std::int64_t questionReadyMs_ = 0;
  FixedText text_;

  const ExerciseTable& table() const { return exerciseTable(exercise_); }
  int& level() { return levels_[static_cast<std::size_t>(exercise_)]; }

  void start(Exercise exercise, ExerciseDirection direction) {
    active_ = true;
    exercise_ = exercise;
    direction_ = direction;
    resetLevelScores();
    nextQuestion();
  }

  void stop() {
    active_ = false;
    waiting_ = nullptr;
    ++answerWindow_;
  }

  void resetLevelScores() {
    scores_.LevelAsked = 0;
    scores_.LevelCorrect = 0;
    scores_.LevelStreak = 0;
    scores_.LevelBestStreak = 0;
  }

  void nextQuestion() {
    drawn_ = drawQuestion(table(), direction_, level(), settings_, random_);
    choices_ = levelChoices(table(), level(), settings_.solfegeNames);
    ++answerWindow_;
    buildPhrases();
    updateTexts();
    host_.repaintNotePanel();
    exerciseHost_.exerciseQuestionReady(drawn_.question);
    questionReadyMs_ = clockMs(steady_, true);
    play(questionPhrase_);
  }

  void pushPrelude(MidiEventList& list, int delay) {
    const int channel = player_.MidiOutChannel;
    const int velocity = player_.MidiOutVolume;
    const std::vector<int>& notes = drawn_.prelude;
    if (table().prelude == Prelude::ReferenceNote) {
      PushNote(list, notes.front(), channel, delay, velocity, kNoteTicks);
      return;
    }
    const int length = table().prelude == Prelude::Cadence ? kChordTicks : kNoteTicks;
    for (std::size_t i = 0; i + 3 <= notes.size(); i += 3)
      PushChord(list, notes.data() + i, 3, channel, i == 0 ? delay : 0, velocity, length);
  }

  void buildPhrases() {
    const int channel = player_.MidiOutChannel;
    const int velocity = player_.MidiOutVolume;
    const bool naming = direction_ == ExerciseDirection::Name;
    ClearEvents(questionPhrase_);
    pushPrelude(questionPhrase_, 0);
    // Naming hears the note asked after the prelude, unless the prelude is what is named.
    if (naming && !table().namesContext)
      PushNote(questionPhrase_, drawn_.askedNote, channel, kGapTicks, velocity, kNoteTicks);
    // After a wrong answer: the prelude, then the note that was asked; a chord named by its
    // quality is spelled out.
    ClearEvents(correctionPhrase_);
    pushPrelude(correctionPhrase_, 0);
    if (naming && table().namesContext) {
      PushMelody(correctionPhrase_, drawn_.prelude.data(), static_cast<int>(drawn_.prelude.size()),
                 channel, kGapTicks, velocity, kNoteTicks);
    } else {
      PushNote(correctionPhrase_, drawn_.askedNote, channel, kGapTicks, velocity, kNoteTicks);
    }
  }

  void play(MidiEventList& phrase) {
    if (!player_.PlaybackIdle()) {
      waiting_ = &phrase;
      return;
    }
    waiting_ = nullptr;
    player_.PlayEventList(phrase);
  }

  void playbackDone() {
    if (active_ && waiting_ != nullptr && player_.PlaybackIdle()) play(*waiting_);
  }

  void updateTexts() {
    host_.setInstructionText(drawn_.question.instruction);
    text_.clear();
    text_.append(std::to_string(level()));
    text_.append(" of ");
    text_.append(std::to_string(table().levels.size()));
    host_.setStatusText(2, text_.view());
    text_.clear();
    text_.append(table().caption);
    text_.append(direction_ == ExerciseDirection::Sing ? ": sing" : ": name");
    host_.setStatusText(3, text_.view());
    text_.clear();
    ScoreText(scores_, text_);
    host_.setStatusText(4, text_.view());
  }

  void changeLevel(int to, LevelEventKind kind) {
    const int from = level();
    const int count = static_cast<int>(table().levels.size());
    to = std::clamp(to, 1, count);
    if (to == from) return;
    level() = to;
    exerciseHost_.exerciseLevelChanged(exercise_, to);
    if (recorder_ != nullptr)
      recorder_->recordLevelEvent({clockMs(utc_, false), table().lessonMode, from, to, kind});
    resetLevelScores();
  }

  void judge(const ExerciseAnswer& answer) {
    record(answer);
    Verdict verdict;
    verdict.lesson = table().lessonMode;
    verdict.correct = answer.correct;
    const int shown = answer.note >= 0 ? answer.note : drawn_.askedNote;
    verdict.answered = NoteLetters[static_cast<std::size_t>(pitchClassOf(shown))];
    verdict.asked = NoteLetters[static_cast<std::size_t>(pitchClassOf(drawn_.askedNote))];
    verdict.source = answer.source;
    if (answer.source == AnswerSource::Sung) {
      verdict.sungMidiNote = answer.note;
      verdict.sungCents = answer.cents;
    }
    host_.showVerdict(verdict);
    ++scores_.LevelAsked;
    ++scores_.TotalAsked;
    if (!answer.correct) {
      scores_.LevelStreak = 0;
      ++answerWindow_;  // the retry: a note already sounding does not answer it
      updateTexts();
      host_.playFeedbackSound(FeedbackSound::Incorrect);
      play(correctionPhrase_);
      return;
    }
    ++scores_.LevelCorrect;
    ++scores_.TotalCorrect;
    ++scores_.LevelStreak;
    scores_.LevelBestStreak = std::max(scores_.LevelBestStreak, scores_.LevelStreak);
    host_.playFeedbackSound(FeedbackSound::Correct);
    if (promotionDue(scores_.LevelStreak, level(), static_cast<int>(table().levels.size()))) {
      host_.playFeedbackSound(FeedbackSound::Promote);
      changeLevel(level() + 1, LevelEventKind::Promotion);
    }
    nextQuestion();
  }

  void record(const ExerciseAnswer& answer) {
    if (recorder_ == nullptr) return;
    const ExerciseQuestion& q = drawn_.question;
    AnswerRecord r;
    r.atMs = clockMs(utc_, false);
    r.lesson = table().lessonMode;
    r.level = level();
    r.questionNotes[0] = drawn_.askedNote;
    r.questionNotes[1] = q.referenceNote;
    r.questionNoteCount = 2;
    r.position = 0;
    const int shown = answer.note >= 0 ? answer.note : drawn_.askedNote;
    r.letter = NoteLetters[static_cast<std::size_t>(pitchClassOf(shown))];
    r.source = answer.source;
    r.correct = answer.correct;
    r.responseMs =
        static_cast<int>(std::max<std::int64_t>(0, clockMs(steady_, true) - questionReadyMs_));
    if (answer.source == AnswerSource::Sung) {
      r.octave = answer.note / 12;
      r.detectedNote = answer.note - kMidiOfDetectorNote;
      r.cents = answer.cents;
    }
    r.task = q.task;
    r.item = itemLabel(drawn_.item, drawn_.context);
    r.answeredItem = answer.answeredItem;
    r.direction = direction_ == ExerciseDirection::Sing ? "sing" : "name";
    recorder_->recordAnswer(r);
  }

  std::string itemLabel(int item, int context) const {
    if (table().namesContext && direction_ == ExerciseDirection::Name)
      return std::string(table().contexts[static_cast<std::size_t>(context)].label);
    return std::string(table().items[static_cast<std::size_t>(item)].label);
  }

  bool answerWithNote(int note, double cents, AnswerSource source) {
    ExerciseAnswer answer;
    answer.source = source;
    answer.note = note;
    answer.cents = cents;
    answer.correct =
        sungNoteMatches(drawn_.askedNote, note, cents,
                        source == AnswerSource::Sung ? drawn_.question.toleranceCents : 0.0,
                        settings_.octaveFree && source == AnswerSource::Sung);
    answer.answeredItem = itemOfNote(table(), drawn_, note, settings_.octaveFree);
    judge(answer);
    return answer.correct;
  }

  void answerWithChoice(int index, AnswerSource source) {
    if (index < 0 || index >= static_cast<int>(choices_.size())) return;
    const ExerciseChoice& choice = choices_[static_cast<std::size_t>(index)];
    ExerciseAnswer answer;
    answer.source = source;
    answer.correct = index == drawn_.question.answerChoice;
    answer.note = noteOfChoice(table(), drawn_, choice);
    answer.answeredItem = std::string(choice.label);
    judge(answer);
  }
};

ExerciseLesson::ExerciseLesson(LessonHost& host, ExerciseHost& exerciseHost,
                               MidiStreamPlayer& player, Random& random)
    : run_(std::make_unique<ExerciseRun>(host, exerciseHost, player, random)) {}

ExerciseLesson::~ExerciseLesson() = default;

void ExerciseLesson::setRecorder(AnswerRecorder* recorder) {
  run_->recorder_ = recorder;
}

void ExerciseLesson::setClocks(std::function<std::int64_t()> utcMilliseconds,
                               std::function<std::int64_t()> steadyMilliseconds) {
  run_->utc_ = std::move(utcMilliseconds);
  run_->steady_ = std::move(steadyMilliseconds);
}

void ExerciseLesson::start(Exercise exercise, ExerciseDirection direction) {
  run_->start(exercise, direction);
}

void ExerciseLesson::stop() {
  run_->stop();
}

bool ExerciseLesson::active() const {
  return run_->active_;
}

Exercise ExerciseLesson::exercise() const {
  return run_->exercise_;
}

ExerciseDirection ExerciseLesson::direction() const {
  return run_->direction_;
}

const ExerciseQuestion& ExerciseLesson::question() const {
  return run_->drawn_.question;
}

std::span<const ExerciseChoice> ExerciseLesson::choices() const {
  return run_->choices_;
}

void ExerciseLesson::replay() {
  if (run_->active_) run_->play(run_->questionPhrase_);
}

void ExerciseLesson::setSettings(const ExerciseSettings& settings) {
  run_->settings_ = saneSettings(settings);
  // A question already drawn keeps its notes; the next one uses the new range.
}

const ExerciseSettings& ExerciseLesson::settings() const {
  return run_->settings_;
}

void ExerciseLesson::setLevel(Exercise exercise, int level) {
  const int count = levelCount(exercise);
  run_->levels_[static_cast<std::size_t>(exercise)] = std::clamp(level, 1, count);
  if (run_->active_ && run_->exercise_ == exercise) {
    run_->resetLevelScores();
    run_->nextQuestion();
  }
}

int ExerciseLesson::level(Exercise exercise) const {
  return run_->levels_[static_cast<std::size_t>(exercise)];
}

int ExerciseLesson::levelCount(Exercise exercise) const {
  return static_cast<int>(exerciseTable(exercise).levels.size());
}

void ExerciseLesson::levelUp() {
  if (!run_->active_) return;
  run_->changeLevel(run_->level() + 1, LevelEventKind::LevelUp);
  run_->nextQuestion();
}

void ExerciseLesson::levelDown() {
  if (!run_->active_) return;
  run_->changeLevel(run_->level() - 1, LevelEventKind::LevelDown);
  run_->nextQuestion();
}

bool ExerciseLesson::sung(int midiNote, double cents) {
  if (!run_->active_ || run_->direction_ != ExerciseDirection::Sing) return false;
  return run_->answerWithNote(midiNote, cents, AnswerSource::Sung);
}

void ExerciseLesson::midiKey(int midiNote) {
  if (!run_->active_) return;
  // A chord's quality is no key of the keyboard.
  if (run_->direction_ == ExerciseDirection::Name && run_->table().namesContext) return;
  run_->answerWithNote(midiNote, 0.0, AnswerSource::Midi);
}

bool ExerciseLesson::typed(char key) {
  if (!run_->active_) return false;
  if (key == 'r') {
    replay();
    return true;
  }
  if (run_->direction_ != ExerciseDirection::Name) return false;
  const auto& choices = run_->choices_;
  for (std::size_t i = 0; i < choices.size(); ++i) {
    if (choices[i].key != key) continue;
    run_->answerWithChoice(static_cast<int>(i), AnswerSource::Typed);
    return true;
  }
  return false;
}

void ExerciseLesson::clicked(int choice) {
  if (!run_->active_ || run_->direction_ != ExerciseDirection::Name) return;
  run_->answerWithChoice(choice, AnswerSource::Click);
}

int ExerciseLesson::answerWindow() const {
  return run_->answerWindow_;
}

void ExerciseLesson::playbackDone() {
  run_->playbackDone();
}

int ExerciseLesson::levelAsked() const {
  return run_->scores_.LevelAsked;
}

int ExerciseLesson::levelCorrect() const {
  return run_->scores_.LevelCorrect;
}

int ExerciseLesson::streak() const {
  return run_->scores_.LevelStreak;
}

}  // namespace auralis
