#include "devices/RtAudioSoundInput.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>

#include "devices/AudioDevices.h"
#include "devices/PulseCapture.h"

namespace auralis::platform {

namespace {

constexpr unsigned int kBufferFrames = 1024;
constexpr std::size_t kQueuePlaces = 16;
constexpr std::chrono::seconds kPulseAnswerTime{2};

bool isWantedFormat(const WaveFormat& format) {
  const WaveFormat wanted;
  return format.sampleRate == wanted.sampleRate && format.channels == wanted.channels &&
         format.bitsPerSample == wanted.bitsPerSample;
}

// An input service and the number it knows a device by.
struct InputDevice {
  std::unique_ptr<RtAudio> service;
  unsigned int id = 0;
};

// On PulseAudio, the server's own name for the device, so that it is recorded from through
// libpulse directly; nothing elsewhere, or when the name is not one device's alone.
std::optional<std::string> pulseSourceOf(RtAudio& service, unsigned int id) {
  if (service.getCurrentApi() != RtAudio::LINUX_PULSE) return std::nullopt;
  std::string libraryName;
  try {
    const auto lock = lockAudioDevices();
    libraryName = service.getDeviceInfo(id).name;
  } catch (const std::exception&) {
    return std::nullopt;
  }
  return pulseSourceNamed(libraryName, kPulseAnswerTime);
}

// Nothing when there is no input service or the device is not among its inputs.
std::optional<InputDevice> findInput(int device) {
  std::unique_ptr<RtAudio> service = openAudioService(AudioDirection::Input);
  if (!service) return std::nullopt;
  const std::optional<unsigned int> id =
      resolveAudioDevice(*service, AudioDirection::Input, device);
  if (!id) return std::nullopt;
  return InputDevice{std::move(service), *id};
}

}  // namespace

// One open input stream and its queue of buffers. The interface thread adds at the tail; the
// stream's thread fills and returns at the head. While the stream is stopped only the interface
// thread touches either end. A PulseAudio source is recorded from through libpulse itself
// (PulseCapture), every other device through the audio library's stream.
class RtAudioSoundInput::Stream final : public AudioStreamOwner {
 public:
  Stream(std::unique_ptr<RtAudio> service, DataFn onData, LostFn onLost)
      : service_(std::move(service)), onData_(std::move(onData)), onLost_(std::move(onLost)) {}

  ~Stream() {
    halt();
    disconnect();
    std::size_t head = head_.load();
    if (head != tail_.load())
      queue_[head % kQueuePlaces]->bytesRecorded =
          static_cast<std::uint32_t>(filledSamples_ * sizeof(std::int16_t));
    for (; head != tail_.load(); ++head) queue_[head % kQueuePlaces]->done = true;
  }

  // Tries the device once; the connection itself is only held while capturing.
  bool open(unsigned int device) {
    device_ = device;
    pulseSource_ = pulseSourceOf(*service_, device);
    const bool opened = connect();
    disconnect();
    return opened;
  }

  void addBuffer(CaptureHeader* header) {
    const std::size_t tail = tail_.load(std::memory_order_relaxed);
    if (tail - head_.load(std::memory_order_acquire) >= kQueuePlaces) return;
    header->bytesRecorded = 0;
    header->done.store(false, std::memory_order_relaxed);
    queue_[tail % kQueuePlaces] = header;
    tail_.store(tail + 1, std::memory_order_release);
  }

  void start() {
    if (running_ || lost_.load(std::memory_order_acquire)) return;
    if (!connect()) {
      // The device went while capture was off.
      streamFailed();
      return;
    }
    if (pulse_) {
      pulse_->start();
      running_ = true;
      return;
    }
    try {
      service_->startStream();
    } catch (const std::exception&) {
      // Not running; the check below says so.
    }
    running_ = service_->isStreamRunning();
    if (!running_) disconnect();
  }

  void stop() {
    if (!running_) return;
    halt();
    disconnect();
    if (filledSamples_ == 0) return;
    const std::size_t head = head_.load(std::memory_order_relaxed);
    if (head == tail_.load(std::memory_order_acquire)) return;
    returnBuffer(queue_[head % kQueuePlaces], filledSamples_, head);
  }

  // After a loss: the same device of the same service, reached anew. The queue stays as it is.
  bool reconnect() {
    if (!lost_.load(std::memory_order_acquire)) return true;
    halt();
    disconnect();
    if (!connect()) return false;
    disconnect();
    lost_.store(false, std::memory_order_release);
    return true;
  }

  void streamFailed() override {
    if (!lost_.exchange(true, std::memory_order_acq_rel) && onLost_) onLost_();
  }

 private:
  static int onAudio(void*, void* input, unsigned int frames, double, RtAudioStreamStatus,
                     void* self) {
    auto* stream = static_cast<Stream*>(self);
    markStreamThread(stream);
    // After a failure the input holds stale samples; ending the stream here stops the service
    // from calling again at once.
    if (stream->lost_.load(std::memory_order_acquire)) return 2;
    stream->fill(static_cast<const std::int16_t*>(input), frames);
    return 0;
  }

  bool connect() {
    if (pulseSource_) {
      if (!pulse_)
        pulse_ = PulseCapture::open(
            *pulseSource_, kBufferFrames,
            [this](const std::int16_t* samples, std::size_t count) {
              if (!lost_.load(std::memory_order_acquire)) fill(samples, count);
            },
            [this] { streamFailed(); }, kPulseAnswerTime);
      return pulse_ != nullptr;
    }
    if (service_->isStreamOpen()) return true;
    RtAudio::StreamParameters input;
    input.deviceId = device_;
    input.nChannels = 1;
    unsigned int frames = kBufferFrames;
    try {
      const auto lock = lockAudioDevices();
      service_->openStream(nullptr, &input, RTAUDIO_SINT16, WaveFormat{}.sampleRate, &frames,
                           &Stream::onAudio, this, nullptr, &routeStreamError);
    } catch (const std::exception&) {
      return false;
    }
    return service_->isStreamOpen();
  }

  // A connection left open while capture is off would never hear of its server going, and
  // closing it afterwards can block for ever inside the audio library.
  void disconnect() {
    pulse_.reset();
    closeStreamOf(*service_);
  }

  void halt() {
    if (!running_) return;
    if (pulse_) {
      // No samples arrive once it is gone.
      pulse_.reset();
      running_ = false;
      return;
    }
    try {
      if (service_->isStreamRunning()) service_->stopStream();
    } catch (const std::exception&) {
      // A failed stream has stopped already.
    }
    running_ = false;
  }

  // Stream thread: copies into the buffer at the head, as many as the samples fill. Samples that
  // find no queued buffer are lost, as they would be on any device.
  void fill(const std::int16_t* samples, std::size_t count) {
    std::size_t head = head_.load(std::memory_order_relaxed);
    while (count > 0 && head != tail_.load(std::memory_order_acquire)) {
      CaptureHeader* header = queue_[head % kQueuePlaces];
      const std::size_t capacity = header->bufferLength / sizeof(std::int16_t);
      const std::size_t taken = std::min(count, capacity - filledSamples_);
      std::memcpy(header->data + filledSamples_, samples, taken * sizeof(std::int16_t));
      filledSamples_ += taken;
      samples += taken;
      count -= taken;
      if (filledSamples_ < capacity) break;
      returnBuffer(header, filledSamples_, head);
      ++head;
    }
  }

  void returnBuffer(CaptureHeader* header, std::size_t samples, std::size_t head) {
    header->bytesRecorded = static_cast<std::uint32_t>(samples * sizeof(std::int16_t));
    header->done.store(true, std::memory_order_release);
    filledSamples_ = 0;
    head_.store(head + 1, std::memory_order_release);
    if (onData_) onData_();
  }

  std::unique_ptr<RtAudio> service_;
  unsigned int device_ = 0;
  std::optional<std::string> pulseSource_;
  std::unique_ptr<PulseCapture> pulse_;
  DataFn onData_;
  LostFn onLost_;
  std::array<CaptureHeader*, kQueuePlaces> queue_{};
  std::atomic<std::size_t> head_{0};  // next buffer to fill
  std::atomic<std::size_t> tail_{0};  // one past the last queued buffer
  std::size_t filledSamples_ = 0;     // in the buffer at the head
  std::atomic<bool> lost_{false};
  bool running_ = false;
};

RtAudioSoundInput::RtAudioSoundInput() = default;

RtAudioSoundInput::~RtAudioSoundInput() = default;

std::vector<std::string> RtAudioSoundInput::deviceNames() {
  std::vector<std::string> names;
  std::unique_ptr<RtAudio> service = openAudioService(AudioDirection::Input);
  if (!service) return names;
  for (const AudioDevice& device : audioDevices(*service, AudioDirection::Input))
    names.push_back(device.name);
  return names;
}

bool RtAudioSoundInput::supportsFormat(int device, const WaveFormat& format) {
  if (!isWantedFormat(format)) return false;
  std::optional<InputDevice> input = findInput(device);
  if (!input) return false;
  try {
    const auto lock = lockAudioDevices();
    const RtAudio::DeviceInfo info = input->service->getDeviceInfo(input->id);
    const std::vector<unsigned int>& rates = info.sampleRates;
    const auto rate = static_cast<unsigned int>(format.sampleRate);
    return info.inputChannels >= 1 &&
           (rates.empty() || std::find(rates.begin(), rates.end(), rate) != rates.end());
  } catch (const std::exception&) {
    return false;
  }
}

bool RtAudioSoundInput::open(int device, const WaveFormat& format, DataFn onData) {
  close();
  if (!isWantedFormat(format)) return false;
  std::optional<InputDevice> input = findInput(device);
  if (!input) return false;
  auto stream = std::make_unique<Stream>(std::move(input->service), std::move(onData), onLost_);
  if (!stream->open(input->id)) return false;
  stream_ = std::move(stream);
  return true;
}

void RtAudioSoundInput::prepare(CaptureHeader* header) {
  header->prepared = header->data != nullptr && header->bufferLength >= sizeof(std::int16_t);
}

void RtAudioSoundInput::unprepare(CaptureHeader* header) {
  header->prepared = false;
}

void RtAudioSoundInput::addBuffer(CaptureHeader* header) {
  if (stream_ && header->prepared) stream_->addBuffer(header);
}

void RtAudioSoundInput::start() {
  if (stream_) stream_->start();
}

void RtAudioSoundInput::stop() {
  if (stream_) stream_->stop();
}

void RtAudioSoundInput::close() {
  stream_.reset();
}

bool RtAudioSoundInput::isOpen() const {
  return stream_ != nullptr;
}

bool RtAudioSoundInput::reconnect() {
  return stream_ && stream_->reconnect();
}

void RtAudioSoundInput::setDeviceLostFn(LostFn onLost) {
  onLost_ = std::move(onLost);
}

}  // namespace auralis::platform
