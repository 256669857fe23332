#pragma once

#include <string_view>

#include <cstdint>
#include <optional>

#include "engine/SungNote.h"
#include "input/MicrophoneCapture.h"
#include "input/PitchDetector.h"
#include "input/PitchEstimate.h"

namespace auralis {

class Lesson;
class HeldNoteTracker;

inline constexpr int kInTuneLowestStep = 3;   // -25 cents
inline constexpr int kInTuneHighestStep = 8;  // +16 2/3 cents
// A hold of 200 ms in frames of 2048 samples at 44100 Hz, truncated: 4. A note is accepted when
// its run of steady frames exceeds it, on the sixth frame of the note.
inline constexpr int kRequiredRun = static_cast<int>(200 * 0.001 * (44100.0 / 2048.0));
inline constexpr int kMicHoldOffFrames = 30;
inline constexpr int kFramesBeforeAnswer = 20;  // the question is still sounding

constexpr bool inTune(int offsetStep) {
  return offsetStep >= kInTuneLowestStep && offsetStep <= kInTuneHighestStep;
}

// What the readout needs of the window, on the interface thread.
class ReadoutHost {
 public:
  // The microphone panel, panel 1 of the status bar.
  virtual void setMicPanelText(std::string_view text) = 0;
  // Pitch class 0 to 11 and offset in [0, 1) from the column's left edge; -1 and -1.0 erase.
  virtual void drawTuningMarker(int pitchClass, float offset) = 0;
  // A character message to the main window, carrying the accepted note; it reaches the lesson
  // as its letter, like a typed key.
  virtual void postSungNote(const SungNote& note) = 0;

 protected:
  ~ReadoutHost() = default;
};

// The live readout of the sung pitch and the routing of a steady, in-tune note to the lesson
// engine as its letter.
class PitchReadout {
 public:
  // `heldNotes` follows the same frames, each before the readout sees it.
  PitchReadout(Lesson& lesson, const PitchDetector& detector, const MicrophoneCapture& capture,
               const HeldNoteTracker& heldNotes, ReadoutHost& host);

  // WM_MICFRAME: the readout of the frame that the notice carries: its detection, its pitch
  // between sub-bands (none without a note) and the capture buffer it analysed.
  void ShowPitchReadout(const FrameResult& frame, const std::optional<SungPitch>& pitch,
                        std::int64_t buffer);
  // Listening stopped: no marker while nothing is heard.
  void EraseTuningMarker();

  int StableRun() const { return stableRun_; }
  int MicHoldOff() const { return micHoldOff_; }

 private:
  bool accepts(const FrameResult& frame) const;

  Lesson& lesson_;
  const PitchDetector& detector_;
  const MicrophoneCapture& capture_;
  const HeldNoteTracker& heldNotes_;
  ReadoutHost& host_;
  int stableRun_ = 0;
  int lastPitchClass_ = 0;
  int micHoldOff_ = 0;
  int previousNote_ = 0;
};

}  // namespace auralis
