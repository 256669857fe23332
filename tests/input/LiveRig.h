#pragma once

#include <chrono>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/Core.h"
#include "platform/FakeMidiInput.h"
#include "platform/FakeMidiOutStream.h"
#include "platform/FakeSoundInput.h"

namespace auralis::testing {

struct Marker {
  int pitchClass;
  float offset;
  bool operator==(const Marker&) const = default;
};

// The window as the core sees it: it records what it was asked to show, and keeps posted notices
// in one queue that LiveRig::pump hands back to the core in order, as the message loop would.
class RecordingWindow final : public CoreHost, public NoticeQueue {
 public:
  std::string instruction;
  // Every instruction text set, and whether the detector tables were ready at that moment.
  std::vector<std::pair<std::string, bool>> instructions;
  std::string micPanel;
  std::vector<std::string> events;  // repaints and feedback sounds
  std::vector<Marker> markers;
  std::vector<char> characters;     // every letter the readout posted
  std::vector<SungNote> sungNotes;  // and the note each came with
  std::deque<Notice> queue;
  Core* core = nullptr;
  // What the core told of the singing.
  std::vector<OffTuneNote> offTune;
  int offTuneOvers = 0;
  std::vector<Verdict> verdicts;
  std::vector<LongToneProgress> progress;  // of long tones
  std::vector<LongToneResult> longTones;

  void playFeedbackSound(FeedbackSound sound) override {
    static const char* names[] = {"CORRECT", "INCORRECT", "PROMOTE", "DEMOTE"};
    events.emplace_back(names[static_cast<int>(sound)]);
  }
  void pause(int) override {}
  void repaintNotePanel() override {}
  void repaintWindowNow() override { events.emplace_back("repaint window"); }
  void setInstructionText(std::string_view text) override {
    instruction = text;
    instructions.emplace_back(text, core != nullptr && core->detector().tablesBuilt());
  }
  void setStatusText(int panel, std::string_view text) override {
    if (panel == kMicPanel) micPanel = text;
  }
  void saveMastery(const Mastery&) override {}
  void lessonItemChecked(LessonItem) override {}
  std::string instructionText() const override { return instruction; }
  void drawTuningMarker(int pitchClass, float offset) override {
    markers.push_back({pitchClass, offset});
  }
  void offTuneHeld(const OffTuneNote& note) override { offTune.push_back(note); }
  void offTuneOver() override { ++offTuneOvers; }
  void showVerdict(const Verdict& verdict) override { verdicts.push_back(verdict); }
  void longToneProgress(const LongToneProgress& update) override { progress.push_back(update); }
  void longToneDone(const LongToneResult& result) override { longTones.push_back(result); }
  // Any thread: a device on a thread of its own posts from there.
  void post(Notice notice) override {
    std::lock_guard lock(mutex);
    if (const auto* character = std::get_if<notice::Character>(&notice)) {
      characters.push_back(character->sung.letter());
      sungNotes.push_back(character->sung);
    }
    queue.push_back(std::move(notice));
  }
  std::optional<Notice> take() {
    std::lock_guard lock(mutex);
    if (queue.empty()) return std::nullopt;
    Notice notice = std::move(queue.front());
    queue.pop_front();
    return notice;
  }

 private:
  std::mutex mutex;
};

// Keeps what the lesson and the core hand the history.
class KeptHistory final : public AnswerRecorder {
 public:
  std::vector<AnswerRecord> answers;
  std::vector<HeldNote> heldNotes;
  std::vector<LongToneResult> longTones;
  void recordAnswer(const AnswerRecord& answer) override { answers.push_back(answer); }
  void recordLevelEvent(const LevelEvent&) override {}
  void recordHeldNote(const HeldNote& note) override { heldNotes.push_back(note); }
  void recordLongTone(const LongToneResult& take) override { longTones.push_back(take); }
};

// The input side of the running program over a scripted microphone and MIDI output: the core
// with capture, the real detector, the readout and the lesson engine.
class LiveRig {
 public:
  RecordingWindow window;
  platform::FakeMidiOutStream midiOut;
  platform::FakeSoundInput microphone;
  platform::FakeMidiInput keyboard;
  Core core{window, window, {midiOut, microphone, keyboard}};
  Lesson& lesson = core.lesson();
  MidiStreamPlayer& player = core.player();
  PitchDetector& detector = core.detector();
  MicrophoneCapture& capture = core.capture();
  PitchReadout& readout = core.readout();
  std::vector<int> frameNotes;  // the DetectedNote of every WM_MICFRAME handled

  // A microphone on a device thread has its calls made there, as a real one does.
  explicit LiveRig(bool microphoneOnDeviceThread = false) : microphone(microphoneOnDeviceThread) {
    window.core = &core;
    player.midiOutPresent = true;
    player.OpenMidiOut(platform::kDefaultMidiDevice);
  }

  // Listening, with every pitch class active and a question that began playing long ago.
  void listen() {
    capture.soundInPresent = true;
    lesson.listenForAnyNote();
    for (int i = 0; i < 100; ++i) lesson.FrameHeard();
  }

  // Runs the message loop until nothing is posted and the microphone's calls have all returned.
  void pump() {
    for (;;) {
      settle();
      const std::optional<Notice> notice = window.take();
      if (!notice) return;
      if (const auto* frame = std::get_if<notice::MicFrame>(&*notice))
        frameNotes.push_back(frame->frame.DetectedNote);
      core.UtilityWndProc(*notice);
    }
  }

  // Waits until every call given to the microphone has returned; at once when they run at once.
  // A call that never returns shows as what the test expected of it.
  void settle() {
    capture.worker().waitUntilIdle(std::chrono::steady_clock::now() + std::chrono::seconds(5));
  }

  // The microphone hears one more buffer and the program handles what follows from it.
  bool deliverBuffer() {
    settle();
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
