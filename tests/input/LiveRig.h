#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "engine/Lesson.h"
#include "input/MicrophoneCapture.h"
#include "input/PitchReadout.h"
#include "input/WindowMessages.h"
#include "platform/FakeMidiOutStream.h"
#include "platform/FakeSoundInput.h"

namespace auralis::testing {

inline constexpr unsigned kCharacterMessage = 0x102;  // WM_CHAR
inline constexpr unsigned kMicrophoneLostMessage = 0x404;

struct Marker {
  int pitchClass;
  float offset;
  bool operator==(const Marker&) const = default;
};

// The window as the input side sees it: it records what it was asked to show, and keeps posted
// notices in one queue that LiveRig::pump handles in order, as the message loop would.
class RecordingWindow final : public LessonHost, public CaptureHost, public ReadoutHost {
 public:
  std::string instruction;
  // Every instruction text set, and whether the detector tables were ready at that moment.
  std::vector<std::pair<std::string, bool>> instructions;
  std::string micPanel;
  std::vector<std::string> events;  // repaints and feedback sounds
  std::vector<Marker> markers;
  std::vector<char> characters;  // every letter the readout posted
  std::deque<std::pair<unsigned, int>> queue;
  const PitchDetector* detector = nullptr;
  MicrophoneCapture* capture = nullptr;
  PitchReadout* readout = nullptr;

  void playFeedbackSound(FeedbackSound sound) override {
    static const char* names[] = {"CORRECT", "INCORRECT", "PROMOTE", "DEMOTE"};
    events.emplace_back(names[static_cast<int>(sound)]);
  }
  void pause(int) override {}
  void repaintNotePanel() override {}
  void repaintWindowNow() override { events.emplace_back("repaint window"); }
  void setInstructionText(std::string_view text) override {
    instruction = text;
    instructions.emplace_back(text, detector != nullptr && detector->tablesBuilt());
  }
  void setStatusText(int, std::string_view) override {}
  void startMicrophone() override { capture->StartMicrophone(); }
  void stopMicrophone() override {
    capture->StopMicrophone();
    readout->EraseTuningMarker();
  }
  void showMicStatus() override { capture->ShowMicStatus(); }
  void saveMastery(const Mastery&) override {}
  void lessonItemChecked(LessonItem) override {}

  std::string instructionText() const override { return instruction; }
  void setMicPanelText(std::string_view text) override { micPanel = text; }
  void postCaptureNotice() override { queue.emplace_back(MM_WIM_DATA, 0); }
  void postMicFrame(int detectedNote) override { queue.emplace_back(WM_MICFRAME, detectedNote); }
  void postMicrophoneLost(int openCount) override {
    queue.emplace_back(kMicrophoneLostMessage, openCount);
  }

  void drawTuningMarker(int pitchClass, float offset) override {
    markers.push_back({pitchClass, offset});
  }
  void postCharacter(char letter) override {
    characters.push_back(letter);
    queue.emplace_back(kCharacterMessage, letter);
  }
};

// The input side of the running program over a scripted microphone and MIDI output: capture,
// the real detector, the readout and the lesson engine.
class LiveRig {
 public:
  RecordingWindow window;
  platform::FakeMidiOutStream midiOut;
  platform::FakeSoundInput microphone;
  PitchDetector detector;
  MidiStreamPlayer player{midiOut, [this] { window.queue.emplace_back(WM_PLAYDONE, 0); }};
  Lesson lesson{window, player};
  MicrophoneCapture capture{microphone, detector, window};
  PitchReadout readout{lesson, detector, capture, window};
  std::vector<int> frameNotes;  // the DetectedNote of every WM_MICFRAME handled

  LiveRig() {
    window.detector = &detector;
    window.capture = &capture;
    window.readout = &readout;
    player.midiOutPresent = true;
    player.OpenMidiOut(platform::kDefaultMidiDevice);
  }

  // Listening, with every pitch class active and a question that began playing long ago.
  void listen() {
    capture.soundInPresent = true;
    lesson.micWanted = true;
    lesson.level.ActivePitchClasses.fill(1);
    lesson.FramesSincePlay = 100;
  }

  // Runs the message loop until nothing is posted.
  void pump() {
    while (!window.queue.empty()) {
      const auto [id, param] = window.queue.front();
      window.queue.pop_front();
      if (id == MM_WIM_DATA) capture.CaptureWndProc(id);
      if (id == WM_MICFRAME) frameNotes.push_back(param);
      if (id == WM_MICFRAME || id == WM_PLAYDONE) readout.UtilityWndProc(id);
      if (id == kCharacterMessage) lesson.FormKeyPress(static_cast<char>(param));
      if (id == kMicrophoneLostMessage) capture.MicrophoneLost(param);
    }
  }

  // The microphone hears one more buffer and the program handles what follows from it.
  bool deliverBuffer() {
    const bool returned = microphone.deliverBuffer();
    pump();
    return returned;
  }

  int deliverBuffers(int count) {
    int delivered = 0;
    while (delivered < count && deliverBuffer()) ++delivered;
    return delivered;
  }
};

}  // namespace auralis::testing
