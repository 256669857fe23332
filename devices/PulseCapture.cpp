#include "devices/PulseCapture.h"

#include <utility>

#include "devices/PulseDevices.h"
#include "devices/PulseLoop.h"

namespace auralis::platform {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

struct PulseCapture::Connection : PulseLoop {
  SamplesFn onSamples;
  FailedFn onFailed;
  pa_stream* stream = nullptr;
  // Written and read under the loop's lock: set once recording has begun, so that a failure
  // before that is the open's answer rather than a loss; cleared at the end, so that the
  // disconnect of our own is not taken for one.
  bool recording = false;
  bool failed = false;

  ~Connection() {
    if (loop == nullptr) return;
    pa_threaded_mainloop_lock(loop);
    recording = false;
    if (stream != nullptr) {
      pa_stream_set_read_callback(stream, nullptr, nullptr);
      pa_stream_set_state_callback(stream, nullptr, nullptr);
      pa_stream_disconnect(stream);
      pa_stream_unref(stream);
    }
    pa_threaded_mainloop_unlock(loop);
  }

  void lost() {
    if (failed) return;
    failed = true;
    if (recording && onFailed) onFailed();
  }

  // Each change of state wakes the open that waits for one.
  static void onContextState(pa_context* context, void* self) {
    auto* connection = static_cast<Connection*>(self);
    if (gone(pa_context_get_state(context))) connection->lost();
    pa_threaded_mainloop_signal(connection->loop, 0);
  }

  static void onStreamState(pa_stream* stream, void* self) {
    auto* connection = static_cast<Connection*>(self);
    if (gone(pa_stream_get_state(stream))) connection->lost();
    pa_threaded_mainloop_signal(connection->loop, 0);
  }

  static void onReadable(pa_stream* stream, std::size_t, void* self) {
    auto* connection = static_cast<Connection*>(self);
    const void* data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_peek(stream, &data, &bytes) == 0 && bytes > 0) {
      // A hole is skipped, as the audio library's recording skips it: the server leaves one
      // where a sink's monitor went back over sound it had already delivered.
      if (data != nullptr)
        connection->onSamples(static_cast<const std::int16_t*>(data), bytes / sizeof(std::int16_t));
      pa_stream_drop(stream);
    }
  }

  // With the loop's lock held: waitUntil(), which a failure ends as well; false on a failure or
  // the deadline.
  template <class Ready>
  bool waitFor(Ready ready, Clock::time_point deadline) {
    return waitUntil([&] { return failed || ready(); }, deadline) && !failed;
  }
};

std::unique_ptr<PulseCapture> PulseCapture::open(const std::string& source,
                                                 std::size_t fragmentSamples, SamplesFn onSamples,
                                                 FailedFn onFailed,
                                                 std::chrono::milliseconds answerTime,
                                                 SourceLatency latency) {
  const Clock::time_point deadline = Clock::now() + answerTime;
  auto connection = std::make_unique<Connection>();
  connection->onSamples = std::move(onSamples);
  connection->onFailed = std::move(onFailed);
  if (!connection->connect(&Connection::onContextState, connection.get())) return nullptr;
  pa_threaded_mainloop* loop = connection->loop;

  pa_threaded_mainloop_lock(loop);
  const bool connected = connection->waitFor(
      [&] { return pa_context_get_state(connection->context) == PA_CONTEXT_READY; }, deadline);
  if (connected) {
    const pa_sample_spec format{PA_SAMPLE_S16LE, 44100, 1};
    connection->stream = pa_stream_new(connection->context, "Microphone", &format, nullptr);
  }
  bool ready = false;
  if (connection->stream != nullptr) {
    pa_stream_set_state_callback(connection->stream, &Connection::onStreamState, connection.get());
    pa_stream_set_read_callback(connection->stream, &Connection::onReadable, connection.get());
    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.tlength = static_cast<std::uint32_t>(-1);
    attributes.prebuf = static_cast<std::uint32_t>(-1);
    attributes.minreq = static_cast<std::uint32_t>(-1);
    attributes.fragsize = static_cast<std::uint32_t>(fragmentSamples * sizeof(std::int16_t));
    // The server keeps the source's latency to the fragment, so that a card is read once a
    // fragment and no sooner.
    const auto flags = static_cast<pa_stream_flags_t>(
        (latency == SourceLatency::OneFragment ? PA_STREAM_ADJUST_LATENCY : 0) |
        PA_STREAM_START_CORKED);
    ready =
        pa_stream_connect_record(connection->stream, source.c_str(), &attributes, flags) == 0 &&
        connection->waitFor(
            [&] { return pa_stream_get_state(connection->stream) == PA_STREAM_READY; }, deadline);
  }
  if (ready) connection->recording = true;
  pa_threaded_mainloop_unlock(loop);
  if (!ready) return nullptr;
  return std::unique_ptr<PulseCapture>(new PulseCapture(std::move(connection)));
}

PulseCapture::PulseCapture(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

PulseCapture::~PulseCapture() = default;

void PulseCapture::start() {
  pa_threaded_mainloop_lock(connection_->loop);
  if (pa_operation* uncork = pa_stream_cork(connection_->stream, 0, nullptr, nullptr))
    pa_operation_unref(uncork);
  pa_threaded_mainloop_unlock(connection_->loop);
}

std::optional<std::string> pulseSourceNamed(const std::string& libraryName,
                                            std::chrono::milliseconds answerTime) {
  const std::optional<PulseServerDevices> server = listPulseDevices(answerTime);
  if (!server) return std::nullopt;
  // A pointer into the list, not an optional string: the optimiser's uninitialised-use check
  // misreads the latter.
  const PulseDevice* found = nullptr;
  for (const PulseDevice& device : server->sources) {
    if (device.libraryName != libraryName) continue;
    if (found != nullptr || !device.name) return std::nullopt;
    found = &device;
  }
  if (found == nullptr) return std::nullopt;
  return found->name;
}

}  // namespace auralis::platform
