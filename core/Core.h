#pragma once

#include <chrono>

#include "core/CoreHost.h"
#include "core/Notices.h"
#include "engine/Lesson.h"
#include "input/HeldNoteTracker.h"
#include "input/LongTone.h"
#include "input/MicrophoneCapture.h"
#include "input/MidiKeyboardInput.h"
#include "input/PitchDetector.h"
#include "input/PitchReadout.h"
#include "output/MidiStreamPlayer.h"
#include "platform/MidiInput.h"
#include "platform/MidiOutStream.h"
#include "platform/SoundInput.h"

namespace auralis {

// The devices the core runs on, real or scripted.
struct CoreDevices {
  platform::MidiOutStream& midiOut;
  platform::SoundInput& soundInput;
  platform::MidiInput& midiInput;
  // Capture starts and stops as the lesson asks; a scripted run that plays recordings starts it
  // itself.
  bool captureFollowsLesson = true;
};

inline constexpr int kStartingLevel = 5;

// The run's core, composed once: the lesson, the phrase player, the detector, capture, the pitch
// readout and the MIDI keyboard, and the ordered notices between them. The window, the headless
// driver, the analyser, the benchmarks and the test rigs all create this object and differ only
// in the host and the devices they hand it.
//
// Everything here runs on the interface thread, except what the devices' callbacks do: they
// only post a notice.
class Core final : private CaptureHost, private ReadoutHost, private MicrophoneSwitch {
 public:
  Core(CoreHost& host, NoticeQueue& notices, CoreDevices devices);
  Core(const Core&) = delete;
  Core& operator=(const Core&) = delete;

  // The messageWindow's procedure: one posted notice, on the interface thread.
  void UtilityWndProc(const Notice& notice);

  // Listening, as the lesson asks the host for it.
  void StartMicrophone();
  // Also erases the tuning marker.
  void StopMicrophone();
  void ShowMicStatus();

  // A long-tone take in Practice Singing with the microphone on: `midiNote` held for
  // `durationMs` (2000 to 10000), or -1 for the first steady note sung. The host hears of its
  // progress about every frame and of its result once; stopping early still gives a result.
  void startLongTone(int midiNote, int durationMs);
  void stopLongTone();
  bool longToneRunning() const;

  // Listening ends for good, as the program closes: the note sounding is kept and every sung
  // answer still waiting for its note is written.
  void finishListening();

  // Every call given so far into the microphone, the MIDI output and the MIDI input has
  // returned; false when that has not happened by the deadline.
  bool FinishDeviceCalls(std::chrono::steady_clock::time_point deadline);

  Lesson& lesson() { return lesson_; }
  const Lesson& lesson() const { return lesson_; }
  MidiStreamPlayer& player() { return player_; }
  PitchDetector& detector() { return detector_; }
  const PitchDetector& detector() const { return detector_; }
  MicrophoneCapture& capture() { return capture_; }
  const MicrophoneCapture& capture() const { return capture_; }
  PitchReadout& readout() { return readout_; }
  MidiKeyboardInput& midiKeyboard() { return midiKeyboard_; }

 private:
  // CaptureHost
  std::string instructionText() const override;
  void setInstructionText(std::string_view text) override;
  void repaintWindowNow() override;
  void setMicPanelText(std::string_view text) override;
  void postCaptureNotice(int openCount) override;
  void postMicFrame(const FrameResult& frame) override;
  void postMicrophoneLost(int openCount) override;

  // MicrophoneSwitch: the lesson's requests.
  void startMicrophone() override;
  void stopMicrophone() override;
  void showMicStatus() override;

  // ReadoutHost; setMicPanelText serves both.
  void drawTuningMarker(int pitchClass, float offset) override;
  void postSungNote(const SungNote& note) override;

  void handle(const notice::CaptureData&);
  void handle(const notice::MicFrame& frame);
  void handle(const notice::PlayDone&);
  void handle(const notice::Character& character);
  void handle(const notice::MidiKey& key);
  void handle(const notice::MicrophoneLost& lost);
  void handle(const notice::MidiOutLost& lost);
  void handle(const notice::MidiInLost& lost);
  void handle(const notice::DeviceReply& reply);
  platform::DeviceWorker::PostReplyFn replyPoster();

  // Held notes, the tuning message and long tones, on every frame the readout would handle.
  void followHeldNotes(const notice::MicFrame& frame);
  void tellHeldNoteEvents(const HeldNoteEvents& events);
  // Ended notes go to the lesson once the answers they gave have been judged; `all` at the end.
  void handOverEndedNotes(bool all);
  void finishLongTone();
  void endOffTuneMessage();
  std::int64_t utcNow() const;

  // A held note that ended, with the lesson and question of its start.
  struct EndedNote {
    HeldNote note;
    std::int64_t firstBuffer = 0;
    std::int64_t lastBuffer = 0;
  };
  static constexpr int kMostEndedNotes = 4;

  CoreHost& host_;
  NoticeQueue& notices_;
  const bool captureFollowsLesson_;
  MidiStreamPlayer player_;
  Lesson lesson_;
  PitchDetector detector_;
  MicrophoneCapture capture_;
  HeldNoteTracker heldNotes_;
  PitchReadout readout_;
  LongToneScorer longTone_;
  HeldNote startedNote_;  // the lesson and question when the note sounding began
  std::int64_t latestBuffer_ = 0;
  std::array<EndedNote, kMostEndedNotes> ended_{};
  int endedCount_ = 0;
  int lettersInFlight_ = 0;  // accepted notes posted and not yet handled
  bool offTuneShown_ = false;
  MidiKeyboardInput midiKeyboard_;
};

}  // namespace auralis
