#include "devices/RtAudioFeedbackSoundPlayer.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "devices/AudioDevices.h"
#include "devices/LowLatencyOutput.h"
#include "platform/WaveData.h"

namespace auralis::platform {

namespace {

constexpr unsigned int kBlockFrames = 512;
constexpr std::chrono::milliseconds kPollInterval{2};
constexpr std::chrono::milliseconds kFinalWait{500};

// Feeds one sound to the output, converting its rate where the output runs at another one.
class SoundFeed final : public AudioStreamOwner {
 public:
  explicit SoundFeed(WaveSound sound) : sound_(std::move(sound)) {}

  void setOutputRate(unsigned int rate) {
    step_ = static_cast<double>(sound_.sampleRate) / static_cast<double>(rate);
  }
  // A stereo sound on a mono output plays as the mean of its two sides.
  void setOutputChannels(unsigned int channels) { outputChannels_ = channels; }

  // Once the whole sound is written the stream stops itself, after the output has played it:
  // stopping from outside would have to wait for the stream's lock.
  static int onAudio(void* output, void*, unsigned int frames, double, RtAudioStreamStatus,
                     void* self) {
    auto* feed = static_cast<SoundFeed*>(self);
    markStreamThread(feed);
    if (feed->failed_.load(std::memory_order_acquire)) return 2;
    return feed->fill(static_cast<std::int16_t*>(output), frames) ? 1 : 0;
  }

  void streamFailed() override { end(); }
  void end() { failed_.store(true, std::memory_order_release); }

 private:
  // Linear interpolation between neighbouring frames; silence once the sound is over. True when
  // the sound is over.
  bool fill(std::int16_t* out, unsigned int frames) {
    const std::size_t channels = static_cast<std::size_t>(sound_.channels);
    const std::size_t last = sound_.frames();
    for (unsigned int f = 0; f < frames; ++f, out += outputChannels_) {
      const auto frame = static_cast<std::size_t>(position_);
      if (frame >= last) {
        std::fill_n(out, outputChannels_, std::int16_t{0});
        continue;
      }
      const double weight = position_ - static_cast<double>(frame);
      const std::size_t next = std::min(frame + 1, last - 1);
      std::array<double, 2> values{};
      for (std::size_t c = 0; c < channels; ++c) {
        const double a = sound_.samples[frame * channels + c];
        const double b = sound_.samples[next * channels + c];
        values[c] = a + (b - a) * weight;
      }
      if (outputChannels_ < channels) values[0] = 0.5 * (values[0] + values[1]);
      for (std::size_t c = 0; c < outputChannels_; ++c)
        out[c] = static_cast<std::int16_t>(values[c]);
      position_ += step_;
    }
    return static_cast<std::size_t>(position_) >= last;
  }

  const WaveSound sound_;
  std::size_t outputChannels_ = 1;
  double step_ = 1;
  double position_ = 0;
  std::atomic<bool> failed_{false};
};

}  // namespace

void RtAudioFeedbackSoundPlayer::playSync(const std::uint8_t* wave, std::size_t bytes) {
  joinClosed();
  std::optional<WaveSound> sound = parseWave(wave, bytes);
  if (!sound || sound->frames() == 0) return;
  const auto length = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(sound->seconds()));
  const auto channels = static_cast<unsigned int>(sound->channels);
  const auto soundRate = static_cast<unsigned int>(sound->sampleRate);
  const auto deadline = std::chrono::steady_clock::now() + length + kMargin;
  if (pulse_.play(*sound, deadline) != PulseSoundOutput::Outcome::NoServer ||
      std::chrono::steady_clock::now() >= deadline)
    return;
  // Declared first, so that it outlives the stream that reads it.
  const auto feed = std::make_shared<SoundFeed>(std::move(*sound));
  // From finding the output to starting the stream: the exchanges with the server, and the
  // stream's threads started meanwhile, go ahead of ordinary work.
  std::optional<RealTimeScope> realTime(std::in_place);
  std::unique_ptr<RtAudio> service = openAudioService(AudioDirection::Output);
  if (!service) return;
  const std::optional<unsigned int> device =
      resolveAudioDevice(*service, AudioDirection::Output, -1);
  if (!device) return;

  RtAudio::StreamParameters output;
  output.deviceId = *device;
  // A fresh stream sounds at once whatever its queue holds, so the server's default queue is
  // kept: the whole sound is handed over at the start, and a busy machine cannot cut into it.
  unsigned int frames = kBlockFrames;
  try {
    const auto lock = lockAudioDevices();
    const RtAudio::DeviceInfo info = service->getDeviceInfo(*device);
    output.nChannels = std::clamp(info.outputChannels, 1U, channels);
    feed->setOutputChannels(output.nChannels);
    // The sound's own rate where the output takes it (JACK runs at the server's rate only).
    const std::vector<unsigned int>& rates = info.sampleRates;
    const bool takesRate =
        rates.empty() || std::find(rates.begin(), rates.end(), soundRate) != rates.end();
    const unsigned int rate =
        takesRate || info.preferredSampleRate == 0 ? soundRate : info.preferredSampleRate;
    feed->setOutputRate(rate);
    service->openStream(&output, nullptr, RTAUDIO_SINT16, rate, &frames, &SoundFeed::onAudio,
                        feed.get(), nullptr, &routeStreamError);
    feed->setOutputRate(service->getStreamSampleRate());
  } catch (const std::exception&) {
    return;
  }
  if (!service->isStreamOpen()) return;

  try {
    service->startStream();
  } catch (const std::exception&) {
    return;
  }
  realTime.reset();
  while (service->isStreamRunning() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(kPollInterval);
  feed->end();
  std::promise<void> closed;
  std::future<void> done = closed.get_future();
  std::thread thread([service = std::move(service), feed, closed = std::move(closed)]() mutable {
    try {
      service->closeStream();
    } catch (const std::exception&) {
      // The server is gone; the stream goes with the service object.
    }
    service.reset();
    closed.set_value();
  });
  done.wait_until(deadline);
  closing_.push_back({std::move(thread), std::move(done)});
}

RtAudioFeedbackSoundPlayer::~RtAudioFeedbackSoundPlayer() {
  const auto deadline = std::chrono::steady_clock::now() + kFinalWait;
  for (Closing& c : closing_) {
    if (c.closed.wait_until(deadline) == std::future_status::ready)
      c.thread.join();
    else
      c.thread.detach();
  }
}

void RtAudioFeedbackSoundPlayer::joinClosed() {
  std::erase_if(closing_, [](Closing& c) {
    if (c.closed.wait_for(std::chrono::seconds(0)) != std::future_status::ready) return false;
    c.thread.join();
    return true;
  });
}

}  // namespace auralis::platform
