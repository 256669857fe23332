#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "input/PitchDetector.h"
#include "platform/DeviceWorker.h"
#include "platform/SoundInput.h"

namespace auralis {

inline constexpr int kCaptureBuffers = 8;
inline constexpr int kQueuedCaptureBuffers = 7;  // the eighth is the one the program reads
inline constexpr std::uint32_t kCaptureBufferBytes = kBufferSamples * sizeof(std::int16_t);

inline constexpr std::string_view kInitializingMicrophoneText = "Initializing microphone...";
inline constexpr std::string_view kNoMicText = "No Mic";
inline constexpr std::string_view kMicOffText = "Mic OFF";
inline constexpr std::string_view kMicOnText = "Mic ON";

// What capture needs of the window. Everything except the posts is called on the interface
// thread.
class CaptureHost {
 public:
  virtual std::string instructionText() const = 0;
  virtual void setInstructionText(std::string_view text) = 0;
  // Paints at once, so that a text set before a long piece of work is seen during it.
  virtual void repaintWindowNow() = 0;
  // The microphone panel, panel 1 of the status bar.
  virtual void setMicPanelText(std::string_view text) = 0;
  // Called on the device's thread for every returned buffer (the data notice, MM_WIM_DATA) of the
  // device opened as `openCount`: hand over to the interface thread, which then calls
  // CaptureWndProc(openCount).
  virtual void postCaptureNotice(int openCount) = 0;
  // WM_MICFRAME for the messageWindow, with the whole result of the frame just analysed: frames
  // analysed before the notice is handled move the detector on.
  virtual void postMicFrame(const FrameResult& frame) = 0;
  // Called on the device's thread when the open device stopped working: hand over to the
  // interface thread, which then calls MicrophoneLost(openCount). A host over devices that
  // cannot be lost need not act.
  virtual void postMicrophoneLost(int openCount) { static_cast<void>(openCount); }

 protected:
  ~CaptureHost() = default;
};

// Capture from the sound input device into a ring of eight 2048-byte buffers, seven of them
// queued with the device at all times, each returned buffer analysed by the detector.
//
// Every call into the device runs on the device's worker, in the order given, so that a device
// that stalls (a stop that waits for data that never comes) never holds up the interface thread.
// The state kept here is the interface thread's view: what it has asked for. The buffers' own
// fields that the device uses (queued, prepared) are written only by calls on the worker, so a
// buffer goes back to the device only after every earlier call (a stop, a close) has returned it.
//
// The next index always names the oldest buffer still queued. Buffers are requeued only at the
// tail, and the device returns them in queue order, also across a stop and a later start (the
// buffer being filled at the stop comes back first, with what it holds, or stays at the head when
// it holds nothing). So the next index stays in step without any resynchronising on start; a
// notice whose expected buffer is not done is a late one and changes nothing.
class MicrophoneCapture {
 public:
  // How long DetectSoundInput waits for the device's list.
  static constexpr std::chrono::milliseconds kListingWait{2000};

  // postReply hands the replies of the device's calls to the interface thread; a device whose
  // calls run at once needs none.
  MicrophoneCapture(platform::SoundInput& input, PitchDetector& detector, CaptureHost& host,
                    platform::DeviceWorker::PostReplyFn postReply = {});
  // Closes the device, which gives back the buffers it still holds.
  ~MicrophoneCapture();
  MicrophoneCapture(const MicrophoneCapture&) = delete;
  MicrophoneCapture& operator=(const MicrophoneCapture&) = delete;

  // Present when the system lists at least one input device. Absent also when the list does not
  // come within kListingWait.
  void DetectSoundInput();
  // device: kDefaultSoundInput, 0 .. n - 1, or kNoSoundInput, which every open refuses. It is
  // also the device a later StartMicrophone opens when none is open. With capture switched on
  // already, the device starts as soon as it is open.
  void OpenMicrophone(int device);
  void StartMicrophone();
  void StopMicrophone();
  void CloseMicrophone();
  // The user picked another microphone: ends with that device capturing, whether or not
  // listening is wanted.
  void MicrophoneChanged(int device);
  void ShowMicStatus();
  // The device opened as `openCount` stopped working (unplugged, or its audio server gone): the
  // panel says "No Mic", and the device is tried again, with its buffers still queued, until it
  // comes back; capture then goes on as listening was last switched. A notice about a device
  // since replaced or closed changes nothing; false then.
  bool MicrophoneLost(int openCount);

  // The capture window's procedure, on the data notice of the device opened as `openCount`.
  void CaptureWndProc(int openCount);
  // Takes back the buffer at the next index and requeues the one returned before it. False,
  // changing nothing, when that buffer is not done yet.
  bool RecycleCaptureBuffer();

  bool soundInPresent = false;

  bool captureRunning() const { return captureRunning_; }
  // Opened, or asked to open, and not closed since; also while it is lost.
  bool deviceOpen() const { return deviceOpen_; }
  bool deviceLost() const { return deviceLost_; }
  int selectedDevice() const { return selectedDevice_; }
  int nextIndex() const { return nextIndex_; }
  // The buffer most recently returned, or -1 before the first one since the device opened.
  int currentIndex() const { return currentIndex_; }
  const std::int16_t* currentBuffer() const;
  const platform::CaptureHeader& header(int index) const { return headers_[index]; }
  platform::DeviceWorker& worker() { return worker_; }

 private:
  // On the device's worker.
  bool openDevice(int device, int openCount);
  void closeDevice();
  void queueBuffer(int index);

  void startDevice();
  void openFailed(int openCount);
  void microphoneBack();

  platform::SoundInput& input_;
  PitchDetector& detector_;
  CaptureHost& host_;
  int selectedDevice_ = platform::kDefaultSoundInput;
  int openCount_ = 0;  // opens asked for so far; names the device in its notices
  bool deviceOpen_ = false;
  bool deviceLost_ = false;
  bool captureRunning_ = false;
  int nextIndex_ = 0;
  int currentIndex_ = -1;
  std::array<std::array<std::int16_t, kBufferSamples>, kCaptureBuffers> samples_{};
  std::array<platform::CaptureHeader, kCaptureBuffers> headers_{};
  // Last, so that it goes first: its calls use everything above.
  platform::DeviceWorker worker_;
};

}  // namespace auralis
