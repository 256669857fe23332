#include "input/MicrophoneCapture.h"

#include <algorithm>

namespace auralis {

using Clock = std::chrono::steady_clock;

MicrophoneCapture::MicrophoneCapture(platform::SoundInput& input, PitchDetector& detector,
                                     CaptureHost& host,
                                     platform::DeviceWorker::PostReplyFn postReply)
    : input_(input),
      detector_(detector),
      host_(host),
      worker_(platform::DeviceWorker::modeFor(input.callsMayBlock()), std::move(postReply)) {}

MicrophoneCapture::~MicrophoneCapture() {
  CloseMicrophone();
}

void MicrophoneCapture::DetectSoundInput() {
  const auto names =
      worker_.ask([this] { return input_.deviceNames(); }).waitUntil(Clock::now() + kListingWait);
  soundInPresent = names && !names->empty();
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

bool MicrophoneCapture::openDevice(int device, int openCount) {
  const platform::WaveFormat format;
  input_.setDeviceLostFn([this, openCount] { host_.postMicrophoneLost(openCount); });
  if (!input_.supportsFormat(device, format) ||
      !input_.open(device, format, [this, openCount] { host_.postCaptureNotice(openCount); }))
    return false;
  for (int i = 0; i < kQueuedCaptureBuffers; ++i) queueBuffer(i);
  return true;
}

void MicrophoneCapture::startDevice() {
  worker_.run([this] {
    if (input_.isOpen()) input_.start();
  });
}

void MicrophoneCapture::closeDevice() {
  if (!input_.isOpen()) return;
  // The close hands back every buffer still queued; only then may they be unprepared.
  input_.close();
  for (platform::CaptureHeader& header : headers_)
    if (header.prepared) input_.unprepare(&header);
}

void MicrophoneCapture::OpenMicrophone(int device) {
  selectedDevice_ = device;
  if (!soundInPresent) return;
  CloseMicrophone();
  const int openCount = ++openCount_;
  // Counted as open until the device says otherwise, so that a start given meanwhile follows
  // the open on the worker.
  deviceOpen_ = true;
  nextIndex_ = 0;
  currentIndex_ = -1;
  worker_.call([this, device, openCount] { return openDevice(device, openCount); },
               [this, openCount](bool opened) {
                 if (!opened) openFailed(openCount);
               });
  // Listening switched on before there was a device to open (its list still on its way): the
  // device starts once open, so that "Mic ON" is true.
  if (captureRunning_) {
    detector_.resetBuffersSinceStart();
    startDevice();
  }
}

void MicrophoneCapture::openFailed(int openCount) {
  if (openCount != openCount_ || !deviceOpen_) return;
  deviceOpen_ = false;
  soundInPresent = false;
  ShowMicStatus();
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
  if (!deviceOpen_) OpenMicrophone(selectedDevice_);
  detector_.resetBuffersSinceStart();
  if (deviceOpen_) startDevice();
  captureRunning_ = true;
  ShowMicStatus();
}

// Capture is marked off even when no device is open (one that failed to open), so that a later
// start after a device change does start the new device.
void MicrophoneCapture::StopMicrophone() {
  if (!captureRunning_) return;
  if (deviceOpen_)
    worker_.run([this] {
      if (input_.isOpen()) input_.stop();
    });
  captureRunning_ = false;
  ShowMicStatus();
}

void MicrophoneCapture::CloseMicrophone() {
  if (!deviceOpen_) return;
  worker_.run([this] { closeDevice(); });
  deviceOpen_ = false;
  deviceLost_ = false;
  nextIndex_ = 0;
  currentIndex_ = -1;
}

void MicrophoneCapture::MicrophoneChanged(int device) {
  StopMicrophone();
  CloseMicrophone();
  // A device that refused earlier cleared the flag; the newly chosen one gets its own chance,
  // and its open tells whether it can capture.
  soundInPresent = true;
  OpenMicrophone(device);
  StartMicrophone();
}

void MicrophoneCapture::ShowMicStatus() {
  if (!soundInPresent)
    host_.setMicPanelText(kNoMicText);
  else
    host_.setMicPanelText(captureRunning_ ? kMicOnText : kMicOffText);
}

bool MicrophoneCapture::MicrophoneLost(int openCount) {
  if (openCount != openCount_ || !deviceOpen_ || deviceLost_) return false;
  deviceLost_ = true;
  soundInPresent = false;
  ShowMicStatus();
  worker_.retry([this] { return input_.reconnect(); },
                [this, openCount] { return openCount == openCount_ && deviceLost_; },
                [this] { microphoneBack(); });
  return true;
}

void MicrophoneCapture::microphoneBack() {
  deviceLost_ = false;
  soundInPresent = true;
  if (captureRunning_) {
    detector_.resetBuffersSinceStart();
    startDevice();
  }
  ShowMicStatus();
}

bool MicrophoneCapture::RecycleCaptureBuffer() {
  platform::CaptureHeader& returned = headers_[nextIndex_];
  if (!returned.done.load(std::memory_order_acquire)) return false;
  const int previous = (nextIndex_ + kCaptureBuffers - 1) % kCaptureBuffers;
  const int index = nextIndex_;
  nextIndex_ = (nextIndex_ + 1) % kCaptureBuffers;
  auto requeue = [this, index, previous] {
    input_.unprepare(&headers_[index]);
    queueBuffer(previous);
  };
  // A wake-up of the device's thread for every buffer costs more than the analysis of it. The
  // requeue itself never blocks on such a device; only a call still on its way (a stop, a
  // close) must hand the buffers back first, and only this thread gives the worker calls.
  if (input_.requeuesWithoutBlocking() && worker_.idle())
    requeue();
  else
    worker_.run(std::move(requeue));
  currentIndex_ = index;
  return true;
}

void MicrophoneCapture::CaptureWndProc(int openCount) {
  if (!deviceOpen_ || openCount != openCount_) return;
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
