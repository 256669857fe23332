#pragma once

#include <QEvent>
#include <QObject>

#include "input/PitchDetector.h"
#include "input/WindowMessages.h"

namespace auralis {

// What the hidden message object hands its notices to, on the interface thread.
class MessageTarget {
 public:
  // The sound input device returned a filled buffer.
  virtual void captureNotice() = 0;
  // WM_MICFRAME, with the whole result of its frame: frames analysed meanwhile have moved the
  // detector on.
  virtual void micFrame(const FrameResult& frame) = 0;
  virtual void playDone() = 0;
  // A letter accepted by the pitch readout, judged as if it had been typed.
  virtual void characterReceived(char letter) = 0;
  // A decoded key of the MIDI keyboard, struck while the device opened as `generation` was in
  // use.
  virtual void midiKeyReceived(char key, int generation) = 0;
  // The sound input device opened as `openCount` stopped working.
  virtual void microphoneLost(int openCount) = 0;

 protected:
  ~MessageTarget() = default;
};

// The hidden message object (`messageWindow`): device threads and the capture side post their
// notices here, and they are handled one at a time, in the order posted, on the interface
// thread. The post functions may be called from any thread. The capture device's data notice
// comes here too, so that every notice of every device keeps its place in one queue.
class MessageWindow : public QObject {
 public:
  // Event types, numbered after the window messages they stand for.
  static constexpr int kCaptureData = QEvent::User + MM_WIM_DATA;
  static constexpr int kMicFrame = QEvent::User + WM_MICFRAME;
  static constexpr int kPlayDone = QEvent::User + WM_PLAYDONE;
  static constexpr int kCharacter = QEvent::User + 0x102;  // after WM_CHAR
  static constexpr int kMidiKey = QEvent::User + 0x403;
  static constexpr int kMicrophoneLost = QEvent::User + 0x404;

  explicit MessageWindow(MessageTarget& target);

  void postCaptureNotice();
  void postMicFrame(const FrameResult& frame);
  void postPlayDone();
  void postCharacter(char letter);
  void postMidiKey(char key, int generation);
  void postMicrophoneLost(int openCount);

 protected:
  bool event(QEvent* event) override;

 private:
  MessageTarget& target_;
};

}  // namespace auralis
