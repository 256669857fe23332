#pragma once

#include <optional>
#include <string>

#include "engine/LessonHost.h"
#include "input/PitchEstimate.h"

namespace auralis {

enum class MicrophoneRequest { Start, Stop, ShowStatus };

// What the core asks of whoever shows it: the window, the headless driver, a test rig. Besides
// the lesson's requests, the host shows the microphone panel (status panel 1) and the tuning
// marker.
class CoreHost : public LessonHost {
 public:
  // The instruction line as it stands, so that capture can put it back after its first start.
  virtual std::string instructionText() const = 0;
  // Pitch class 0 to 11 and offset in [0, 1) from the column's left edge; -1 and -1.0 erase.
  virtual void drawTuningMarker(int pitchClass, float offset) = 0;
  // The sung pitch of every analysed frame, none for a frame without a note or when listening
  // stops. Only a host that draws the pitch over time needs it.
  virtual void showSungPitch(std::optional<SungPitch> pitch) { static_cast<void>(pitch); }
  // The lesson asked for the microphone, and the core has done it. Only a host that reports the
  // requests needs it.
  virtual void microphoneRequested(MicrophoneRequest request) { static_cast<void>(request); }
  // A steadily held note outside the accepted band, once per note; then its end, or its coming
  // into the band. Neither is an answer.
  virtual void offTuneHeld(const OffTuneNote& note) { static_cast<void>(note); }
  virtual void offTuneOver() {}
  // A long-tone take: about every frame while it runs, then its result once.
  virtual void longToneProgress(const LongToneProgress& progress) { static_cast<void>(progress); }
  virtual void longToneDone(const LongToneResult& result) { static_cast<void>(result); }
};

}  // namespace auralis
