#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <variant>

#include "engine/SungNote.h"
#include "input/PitchDetector.h"
#include "input/PitchEstimate.h"

namespace auralis {

// The notices that reach the interface thread, each carrying its own data. They are handled one
// at a time, in the order posted, by Core::UtilityWndProc.
namespace notice {

// The sound input device opened as `openCount` returned a filled buffer (its data notice,
// MM_WIM_DATA).
struct CaptureData {
  int openCount;
};

// WM_MICFRAME: a capture buffer was analysed; the frame's whole result, the sung pitch
// between the detector's sub-bands (none without a note), and which buffer it was, counted from
// the microphone's start.
struct MicFrame {
  FrameResult frame;
  std::optional<SungPitch> pitch;
  std::int64_t buffer = 0;
};

// WM_PLAYDONE: the phrase on the MIDI output finished.
struct PlayDone {};

// A note accepted by the pitch readout, judged as its letter as if it had been typed (a
// character message).
struct Character {
  SungNote sung;
};

// A decoded key of the MIDI keyboard, struck while the device opened as `generation` was in use.
struct MidiKey {
  char key;
  int generation;
  int note = 0;  // the key's MIDI note: an exercise takes the exact key
};

// The sound input device opened as `openCount` stopped working.
struct MicrophoneLost {
  int openCount;
};

// The MIDI output opened as `openCount` stopped working.
struct MidiOutLost {
  int openCount;
};

// The MIDI input opened as `generation` stopped working.
struct MidiInLost {
  int generation;
};

// A call into a device returned on the device's thread; what follows from its result runs here.
struct DeviceReply {
  std::function<void()> reply;
};

}  // namespace notice

using Notice = std::variant<notice::CaptureData, notice::MicFrame, notice::PlayDone,
                            notice::Character, notice::MidiKey, notice::MicrophoneLost,
                            notice::MidiOutLost, notice::MidiInLost, notice::DeviceReply>;

// Carries notices to the interface thread: the window's hidden message object, or a rig's queue.
class NoticeQueue {
 public:
  // Any thread. The notice comes back to Core::UtilityWndProc on the interface thread, after
  // every notice posted before it.
  virtual void post(Notice notice) = 0;

 protected:
  ~NoticeQueue() = default;
};

}  // namespace auralis
