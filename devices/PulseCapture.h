#pragma once

// Recording from one PulseAudio (or PipeWire) source through libpulse's own threaded main loop.
// The audio library's PulseAudio input reads through a blocking "simple" stream: for every
// fragment the server sends, libpulse's thread wakes the library's thread, which wakes again to
// take the data, so each buffer costs several wake-ups of two threads. Here the fragment is
// handed over on libpulse's thread, in the callback that received it: one wake-up per fragment.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace auralis::platform {

class PulseCapture {
 public:
  // On libpulse's thread, for every fragment in the order recorded; a hole the server reports is
  // skipped.
  using SamplesFn = std::function<void(const std::int16_t* samples, std::size_t count)>;
  // On libpulse's thread, once, when the server or the source goes while recording.
  using FailedFn = std::function<void()>;

  // Connects to the server that PULSE_SERVER (or the user's configuration) names and opens a
  // paused recording of `source` at 44100 Hz, mono, 16 bits, asking the server for fragments of
  // `fragmentSamples`. Nothing when the server or the source does not answer within answerTime.
  // Never starts a server. The source's latency is kept to the fragment, unless it is to be left
  // as it is: a recorder that watches a sink's monitor must not change how the sink runs.
  enum class SourceLatency { OneFragment, AsItIs };
  static std::unique_ptr<PulseCapture> open(const std::string& source, std::size_t fragmentSamples,
                                            SamplesFn onSamples, FailedFn onFailed,
                                            std::chrono::milliseconds answerTime,
                                            SourceLatency latency = SourceLatency::OneFragment);

  // Stops recording and disconnects; no callback runs once it has returned.
  ~PulseCapture();
  PulseCapture(const PulseCapture&) = delete;
  PulseCapture& operator=(const PulseCapture&) = delete;

  // Starts delivering; asked of the server without waiting for its answer.
  void start();

 private:
  struct Connection;
  explicit PulseCapture(std::unique_ptr<Connection> connection);
  std::unique_ptr<Connection> connection_;
};

// The server's name for the input device the audio library names `libraryName`; nothing when no
// server answers within answerTime, or when the name is not one source's alone.
std::optional<std::string> pulseSourceNamed(const std::string& libraryName,
                                            std::chrono::milliseconds answerTime);

}  // namespace auralis::platform
