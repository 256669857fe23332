#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace auralis {

class LessonHost;
class AnswerRecorder;
class MidiStreamPlayer;
struct Random;

// The relative-pitch lessons: intervals, degrees of a key and the notes of a chord.
enum class Exercise { Intervals, ScaleDegrees, ChordTones };
inline constexpr int kExerciseCount = 3;

// Sing what is asked, or hear and name.
enum class ExerciseDirection { Sing, Name };

// One answer of the naming direction.
struct ExerciseChoice {
  std::string_view label;  // "M3", "5", "minor"
  std::string_view name;   // "major third", "SOL" or "5" as the view names degrees, "minor"
  char key;                // typed: '1'..'9', '[', '-', '='; never '0', which leaves a lesson
};

struct ExerciseQuestion {
  Exercise exercise = Exercise::Intervals;
  ExerciseDirection direction = ExerciseDirection::Sing;
  int level = 1;  // 1-based
  // For the history's `question`: "M3 up from C4", "deg 5 in G", "3rd of A3 minor"
  std::string task;
  std::string instruction;       // the instruction line: "Sing a major third above DO"
  std::vector<int> played;       // MIDI notes played, in order; a chord's notes together
  int referenceNote = -1;        // the note the task is sung from or named against
  int targetNote = -1;           // Sing: the note to sing; Name: -1
  int answerChoice = -1;         // Name: index into choices(); Sing: -1
  double toleranceCents = 50.0;  // 50 = nearest semitone; 25 at the tighter levels
};

struct ExerciseSettings {
  int lowNote = 48, highNote = 72;  // the voice range; no question asks outside it
  bool octaveFree = false;          // a sung note in any octave counts
  bool solfegeNames = true;         // degrees named do re mi (true) or 1-7
};

// What an exercise tells its window besides the lesson's texts and sounds. Every body does nothing.
class ExerciseHost {
 public:
  virtual void exerciseLevelChanged(Exercise exercise, int level) {
    static_cast<void>(exercise);
    static_cast<void>(level);
  }
  virtual void exerciseQuestionReady(const ExerciseQuestion& question) {
    static_cast<void>(question);
  }

 protected:
  ~ExerciseHost() = default;
};

class ExerciseRun;

// Runs one exercise at a time: draws questions, plays them, judges answers, promotes.
class ExerciseLesson {
 public:
  ExerciseLesson(LessonHost& host, ExerciseHost& exerciseHost, MidiStreamPlayer& player,
                 Random& random);
  ~ExerciseLesson();
  ExerciseLesson(const ExerciseLesson&) = delete;
  ExerciseLesson& operator=(const ExerciseLesson&) = delete;

  void setRecorder(AnswerRecorder* recorder);
  // Wall-clock and steady time in ms for the records; the system's clocks when unset.
  void setClocks(std::function<std::int64_t()> utcMilliseconds,
                 std::function<std::int64_t()> steadyMilliseconds);
  void start(Exercise exercise, ExerciseDirection direction);  // plays the first question
  void stop();
  bool active() const;
  Exercise exercise() const;
  ExerciseDirection direction() const;
  const ExerciseQuestion& question() const;
  std::span<const ExerciseChoice> choices() const;  // of the current level, naming direction
  void replay();
  void setSettings(const ExerciseSettings& settings);
  const ExerciseSettings& settings() const;
  void setLevel(Exercise exercise, int level);  // 1-based, clamped
  int level(Exercise exercise) const;
  int levelCount(Exercise exercise) const;
  void levelUp();
  void levelDown();
  // A steadily held note that began after the question, with its mean cents so far. True when
  // it was judged right.
  bool sung(int midiNote, double cents);
  void midiKey(int midiNote);  // the exact key
  bool typed(char key);        // naming direction; false when the key is not an answer
  void clicked(int choice);    // index into choices()

  // Questions and retries begun so far: a held note answers only in the window it began in.
  int answerWindow() const;
  // The phrase on the MIDI output finished (after the player has been told): one waiting plays.
  void playbackDone();
  // Level scores, for the status panel and the scripts: asked, right, and right in a row.
  int levelAsked() const;
  int levelCorrect() const;
  int streak() const;

 private:
  std::unique_ptr<ExerciseRun> run_;
};

}  // namespace auralis
