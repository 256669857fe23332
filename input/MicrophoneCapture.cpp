#include "input/MicrophoneCapture.h"

#include <algorithm>

namespace auralis {

MicrophoneCapture::MicrophoneCapture(platform::SoundInput& input, PitchDetector& detector,
                                     CaptureHost& host)
    : input_(input), detector_(detector), host_(host) {}

MicrophoneCapture::~MicrophoneCapture() {
  CloseMicrophone();
}

void MicrophoneCapture::DetectSoundInput() {
  soundInPresent = !input_.deviceNames().empty();
}

void MicrophoneCapture::queueBuffer(int index) {
  platform::CaptureHeader& header = headers_[index];
  header.data = samples_[index].data();
  header.bufferLength = kCaptureBufferBytes;
  header.bytesRecorded = 0;
  header.done.store(false, std::memory_order_relaxed);
  input_.prepare(&header);
  input_.addBuffer(&header);
}

void MicrophoneCapture::OpenMicrophone(int device) {
  selectedDevice_ = device;
  if (!soundInPresent) return;
  if (input_.isOpen()) CloseMicrophone();
  const platform::WaveFormat format;
  const int openCount = openCount_ + 1;
  input_.setDeviceLostFn([this, openCount] { host_.postMicrophoneLost(openCount); });
  if (!input_.supportsFormat(device, format) ||
      !input_.open(device, format, [this] { host_.postCaptureNotice(); })) {
    soundInPresent = false;
    return;
  }
  openCount_ = openCount;
  for (int i = 0; i < kQueuedCaptureBuffers; ++i) queueBuffer(i);
  nextIndex_ = 0;
  currentIndex_ = -1;
}

void MicrophoneCapture::StartMicrophone() {
  if (captureRunning_) return;
  if (!detector_.tablesBuilt()) {
    const std::string saved = host_.instructionText();
    host_.setInstructionText(kInitializingMicrophoneText);
    host_.repaintWindowNow();
    detector_.BuildDetectorTables();
    host_.setInstructionText(saved);
  }
  if (!input_.isOpen()) OpenMicrophone(selectedDevice_);
  detector_.resetBuffersSinceStart();
  if (input_.isOpen()) input_.start();
  captureRunning_ = true;
  ShowMicStatus();
}

// Capture is marked off even when no device is open (one that failed to open), so that a later
// start after a device change does start the new device.
void MicrophoneCapture::StopMicrophone() {
  if (!captureRunning_) return;
  if (input_.isOpen()) input_.stop();
  captureRunning_ = false;
  ShowMicStatus();
}

void MicrophoneCapture::CloseMicrophone() {
  if (!input_.isOpen()) return;
  // The close hands back every buffer still queued; only then may they be unprepared.
  input_.close();
  for (platform::CaptureHeader& header : headers_)
    if (header.prepared) input_.unprepare(&header);
  nextIndex_ = 0;
  currentIndex_ = -1;
}

void MicrophoneCapture::MicrophoneChanged(int device) {
  StopMicrophone();
  CloseMicrophone();
  // A device that refused earlier cleared the flag; the newly chosen one gets its own chance.
  DetectSoundInput();
  OpenMicrophone(device);
  StartMicrophone();
}

void MicrophoneCapture::ShowMicStatus() {
  if (!soundInPresent)
    host_.setMicPanelText(kNoMicText);
  else
    host_.setMicPanelText(captureRunning_ ? kMicOnText : kMicOffText);
}

void MicrophoneCapture::MicrophoneLost(int openCount) {
  if (openCount != openCount_ || !input_.isOpen()) return;
  CloseMicrophone();
  captureRunning_ = false;
  soundInPresent = false;
  ShowMicStatus();
}

bool MicrophoneCapture::RecycleCaptureBuffer() {
  platform::CaptureHeader& returned = headers_[nextIndex_];
  if (!returned.done.load(std::memory_order_acquire)) return false;
  const int previous = (nextIndex_ + kCaptureBuffers - 1) % kCaptureBuffers;
  const int index = nextIndex_;
  nextIndex_ = (nextIndex_ + 1) % kCaptureBuffers;
  input_.unprepare(&returned);
  queueBuffer(previous);
  currentIndex_ = index;
  return true;
}

void MicrophoneCapture::CaptureWndProc() {
  if (!input_.isOpen()) return;
  // A notice without a returned buffer would otherwise analyse the previous buffer twice.
  if (!RecycleCaptureBuffer()) return;
  platform::CaptureHeader& current = headers_[currentIndex_];
  // A buffer cut short by a stop still holds sound from its previous round; silence is truer.
  const std::size_t recorded =
      std::min<std::size_t>(current.bytesRecorded / sizeof(std::int16_t), kBufferSamples);
  std::fill(current.data + recorded, current.data + kBufferSamples, std::int16_t{0});
  detector_.ProcessCaptureBuffer(current.data);
  host_.postMicFrame(detector_.result());
}

const std::int16_t* MicrophoneCapture::currentBuffer() const {
  return currentIndex_ < 0 ? nullptr : headers_[currentIndex_].data;
}

}  // namespace auralis
