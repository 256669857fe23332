#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "input/PitchDetector.h"
#include "platform/SoundInput.h"

namespace auralis {

inline constexpr int kCaptureBuffers = 8;
inline constexpr int kQueuedCaptureBuffers = 7;  // the eighth is the one the program reads
inline constexpr std::uint32_t kCaptureBufferBytes = kBufferSamples * sizeof(std::int16_t);

inline constexpr std::string_view kInitializingMicrophoneText = "Initializing microphone...";
inline constexpr std::string_view kNoMicText = "No Mic";
inline constexpr std::string_view kMicOffText = "Mic OFF";
inline constexpr std::string_view kMicOnText = "Mic ON";

// What capture needs of the window. Everything except postCaptureNotice is called on the
// interface thread.
class CaptureHost {
 public:
  virtual std::string instructionText() const = 0;
  virtual void setInstructionText(std::string_view text) = 0;
  // Paints at once, so that a text set before a long piece of work is seen during it.
  virtual void repaintWindowNow() = 0;
  // The microphone panel, panel 1 of the status bar.
  virtual void setMicPanelText(std::string_view text) = 0;
  // Called on the device's thread for every returned buffer (the data notice, MM_WIM_DATA): hand
  // over to the interface thread, which then calls CaptureWndProc().
  virtual void postCaptureNotice() = 0;
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
// The next index always names the oldest buffer still queued. Buffers are requeued only at the
// tail, and the device returns them in queue order, also across a stop and a later start (the
// buffer being filled at the stop comes back first, with what it holds, or stays at the head when
// it holds nothing). So the next index stays in step without any resynchronising on start; a
// notice whose expected buffer is not done is a late one and changes nothing.
class MicrophoneCapture {
 public:
  MicrophoneCapture(platform::SoundInput& input, PitchDetector& detector, CaptureHost& host);
  // Closes the device, which gives back the buffers it still holds.
  ~MicrophoneCapture();
  MicrophoneCapture(const MicrophoneCapture&) = delete;
  MicrophoneCapture& operator=(const MicrophoneCapture&) = delete;

  // At start-up: present when the system lists at least one input device.
  void DetectSoundInput();
  // device: kDefaultSoundInput, 0 .. n - 1, or kNoSoundInput, which every open refuses. It is
  // also the device a later StartMicrophone opens when none is open.
  void OpenMicrophone(int device);
  void StartMicrophone();
  void StopMicrophone();
  void CloseMicrophone();
  // The user picked another microphone: ends with that device capturing, whether or not
  // listening is wanted.
  void MicrophoneChanged(int device);
  void ShowMicStatus();
  // The device opened as `openCount` stopped working (unplugged, or its audio server gone):
  // capture ends, the device is closed and the panel says "No Mic" until a microphone is chosen
  // again. A notice about a device since replaced changes nothing.
  void MicrophoneLost(int openCount);

  // The capture window's procedure, on the data notice.
  void CaptureWndProc();
  // Takes back the buffer at the next index and requeues the one returned before it. False,
  // changing nothing, when that buffer is not done yet.
  bool RecycleCaptureBuffer();

  bool soundInPresent = false;

  bool captureRunning() const { return captureRunning_; }
  bool deviceOpen() const { return input_.isOpen(); }
  int selectedDevice() const { return selectedDevice_; }
  int nextIndex() const { return nextIndex_; }
  // The buffer most recently returned, or -1 before the first one since the device opened.
  int currentIndex() const { return currentIndex_; }
  const std::int16_t* currentBuffer() const;
  const platform::CaptureHeader& header(int index) const { return headers_[index]; }

 private:
  void queueBuffer(int index);

  platform::SoundInput& input_;
  PitchDetector& detector_;
  CaptureHost& host_;
  int selectedDevice_ = platform::kDefaultSoundInput;
  int openCount_ = 0;  // successful opens so far; names the open device in a lost notice
  bool captureRunning_ = false;
  int nextIndex_ = 0;
  int currentIndex_ = -1;
  std::array<std::array<std::int16_t, kBufferSamples>, kCaptureBuffers> samples_{};
  std::array<platform::CaptureHeader, kCaptureBuffers> headers_{};
};

}  // namespace auralis
