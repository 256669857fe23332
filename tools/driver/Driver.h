#pragma once

#include <istream>
#include <ostream>
#include <span>
#include <string_view>

#include "core/Core.h"
#include "platform/FakeMidiInput.h"
#include "platform/FakeSoundInput.h"
#include "tools/driver/PrintingHost.h"
#include "tools/driver/PrintingMidiOutStream.h"

namespace auralis::driver {

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

  // A notice posted as a device would post it, handled with everything it leads to.
  void post(Notice notice);

  Core& core() { return core_; }
  Lesson& lesson() { return core_.lesson(); }
  platform::FakeMidiOutStream& stream() { return stream_; }

 private:
  using Args = std::span<const std::string_view>;

  struct Command {
    std::string_view name;
    std::string_view usage;
    int minArgs;
    int maxArgs;
    void (Driver::*run)(Args args);
  };
  static const Command kCommands[];

  void runLine(std::string_view line);
  void drainPostedNotices();

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
  void longTone(Args args);

  void showCounters();
  void showQuestion();
  void showLevel();
  void showPhrases();

  std::ostream& out_;
  std::ostream& err_;
  PrintingHost host_;
  PrintingMidiOutStream stream_;
  platform::FakeSoundInput microphone_;
  platform::FakeMidiInput keyboard_;
  Core core_;
  Lesson& lesson_;
  std::string audioFile_;  // the recording the microphone is hearing
  int lineNumber_ = 0;
};

}  // namespace auralis::driver
