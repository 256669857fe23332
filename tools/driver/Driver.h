#pragma once

#include <deque>
#include <istream>
#include <ostream>
#include <span>
#include <string_view>

#include "engine/Lesson.h"
#include "input/MicrophoneCapture.h"
#include "input/PitchDetector.h"
#include "input/PitchReadout.h"
#include "output/MidiStreamPlayer.h"
#include "platform/FakeSoundInput.h"
#include "tools/driver/PrintingHost.h"
#include "tools/driver/PrintingMidiOutStream.h"

namespace auralis::driver {

// A notice handed to the interface thread, handled in order after each script command.
struct PostedMessage {
  enum class Kind { PlayDone, MidiKey, CaptureData, MicFrame, Character };
  Kind kind;
  char key = 0;  // MidiKey: the decoded key; Character: the sung letter
};

// Runs the lesson engine headless from a line-based script (the protocol is docs/driver.md) and
// prints one line for every effect a user would notice. The MIDI output is a scripted stream whose
// phrases end when the script says "done".
class Driver {
 public:
  static constexpr int kScriptError = 1;

  // Starts as the program does: texts shown, then Practice Singing chosen.
  Driver(std::ostream& out, std::ostream& err);

  // Runs lines until the script ends or a line is bad. Returns 0, or kScriptError after writing
  // "line N: ..." to the error stream; the lines after a bad one are not run. Line numbers
  // continue from one call to the next.
  int run(std::istream& script);

  Lesson& lesson() { return lesson_; }
  platform::FakeMidiOutStream& stream() { return stream_; }

 private:
  using Args = std::span<const std::string_view>;

  // The capture and readout side of the window: the microphone panel, the tuning marker and the
  // notices that capture and readout post.
  class LiveHost final : public CaptureHost, public ReadoutHost {
   public:
    explicit LiveHost(Driver& driver) : driver_(driver) {}
    std::string instructionText() const override;
    void setInstructionText(std::string_view text) override;
    void repaintWindowNow() override;
    void setMicPanelText(std::string_view text) override;
    void postCaptureNotice() override;
    void postMicFrame(int detectedNote) override;
    void drawTuningMarker(int pitchClass, float offset) override;
    void postCharacter(char letter) override;

   private:
    Driver& driver_;
    int markerPitchClass_ = -1;
    float markerOffset_ = -1.0f;
  };

  struct Command {
    std::string_view name;
    std::string_view usage;
    int minArgs;
    int maxArgs;
    void (Driver::*run)(Args args);
  };
  static const Command kCommands[];

  void runLine(std::string_view line);
  void drainPostedMessages();

  void seed(Args args);
  void mode(Args args);
  void key(Args args);
  void type(Args args);
  void click(Args args);
  void tick(Args args);
  void done(Args args);
  void sing(Args args);
  void midi(Args args);
  void setMastery(Args args);
  void check(Args args);
  void levelUp(Args args);
  void levelDown(Args args);
  void newQuestion(Args args);
  void resetMastery(Args args);
  void volume(Args args);
  void channel(Args args);
  void midiOut(Args args);
  void show(Args args);
  void audio(Args args);

  void showCounters();
  void showQuestion();
  void showLevel();
  void showPhrases();

  std::ostream& out_;
  std::ostream& err_;
  PrintingHost host_;
  PrintingMidiOutStream stream_;
  std::deque<PostedMessage> posted_;
  MidiStreamPlayer player_;
  Lesson lesson_;
  LiveHost liveHost_{*this};
  platform::FakeSoundInput microphone_;
  PitchDetector detector_;
  MicrophoneCapture capture_{microphone_, detector_, liveHost_};
  PitchReadout readout_{lesson_, detector_, capture_, liveHost_};
  std::string audioFile_;  // the recording the microphone is hearing
  int lineNumber_ = 0;
};

}  // namespace auralis::driver
