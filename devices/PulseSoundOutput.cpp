#include "devices/PulseSoundOutput.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "devices/LowLatencyOutput.h"
#include "devices/PulseLoop.h"
#include "platform/WaveData.h"

namespace auralis::platform {

namespace {

using Clock = PulseSoundOutput::Clock;

// The stream's latency in frames of the sound: the sink then runs no further ahead of the ear
// than that, and the wait for the end of a sound is no longer. At the 22050 Hz of the program's
// sounds it is 46 ms, twice the synthesiser's: PipeWire sizes its processing blocks by it, and
// with half of it a sound ran dry in places and was heard later.
constexpr std::uint32_t kLatencyFrames = kLowLatencyBlockFrames * kLowLatencyBlocks;

// A stream for sounds of one format, kept corked between them. Its fields are written on
// libpulse's thread and read by the player, both under the loop's lock, which is also held
// while it is made and ended.
struct Playback {
  pa_threaded_mainloop* loop = nullptr;
  pa_sample_spec format{};
  pa_stream* stream = nullptr;
  bool ready = false;
  bool failed = false;
  // Of the sound under way.
  bool drained = false;
  bool timed = false;
  // Asked of the server for the sound under way; those still unanswered are cancelled at its
  // end, so that no answer reaches a sound that is over.
  std::vector<pa_operation*> asked;

  ~Playback() {
    endSound();
    if (stream == nullptr) return;
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
  }

  void endSound() {
    for (pa_operation* operation : asked) {
      if (pa_operation_get_state(operation) == PA_OPERATION_RUNNING) pa_operation_cancel(operation);
      pa_operation_unref(operation);
    }
    asked.clear();
    drained = false;
    timed = false;
  }

  bool ask(pa_operation* operation) {
    if (operation == nullptr) return false;
    asked.push_back(operation);
    return true;
  }

  static void onState(pa_stream* stream, void* self) {
    auto* playback = static_cast<Playback*>(self);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY) playback->ready = true;
    if (gone(state)) playback->failed = true;
    pa_threaded_mainloop_signal(playback->loop, 0);
  }

  static void onDrained(pa_stream*, int success, void* self) {
    auto* playback = static_cast<Playback*>(self);
    (success != 0 ? playback->drained : playback->failed) = true;
    pa_threaded_mainloop_signal(playback->loop, 0);
  }

  static void onTiming(pa_stream*, int, void* self) {
    auto* playback = static_cast<Playback*>(self);
    playback->timed = true;
    pa_threaded_mainloop_signal(playback->loop, 0);
  }
};

// The default sink's channel count, as the server answers it.
struct SinkChannels {
  pa_threaded_mainloop* loop = nullptr;
  bool answered = false;
  unsigned int channels = 0;

  static void onInfo(pa_context*, const pa_sink_info* info, int end, void* self) {
    auto* query = static_cast<SinkChannels*>(self);
    if (info != nullptr) query->channels = info->channel_map.channels;
    if (end != 0) {
      query->answered = true;
      pa_threaded_mainloop_signal(query->loop, 0);
    }
  }
};

// The mean of the two sides, frame by frame.
WaveSound monoOf(const WaveSound& sound) {
  WaveSound mono{sound.sampleRate, 1, {}};
  mono.samples.reserve(sound.frames());
  for (std::size_t frame = 0; frame < sound.frames(); ++frame)
    mono.samples.push_back(
        static_cast<std::int16_t>((sound.samples[2 * frame] + sound.samples[2 * frame + 1]) / 2));
  return mono;
}

}  // namespace

struct PulseSoundOutput::Connection : PulseLoop {
  bool lost = false;  // under the loop's lock
  // The last sound's stream, corked, for the next sound of its format: on PipeWire a new stream
  // is linked to the sink before it sounds, which costs about 10 ms.
  std::unique_ptr<Playback> kept;

  ~Connection() {
    if (!kept) return;
    pa_threaded_mainloop_lock(loop);
    kept.reset();
    pa_threaded_mainloop_unlock(loop);
  }

  static void onContextState(pa_context* context, void* self) {
    auto* connection = static_cast<Connection*>(self);
    if (gone(pa_context_get_state(context))) connection->lost = true;
    pa_threaded_mainloop_signal(connection->loop, 0);
  }

  // With the loop's lock held: waitUntil(), which a lost connection ends as well.
  template <class Done>
  bool waitFor(Done done, Clock::time_point deadline) {
    return waitUntil([&] { return lost || done(); }, deadline) && done();
  }

  static std::unique_ptr<Connection> open(Clock::time_point deadline) {
    auto connection = std::make_unique<Connection>();
    {
      // The connection's thread hands the sounds' starts to the server ahead of ordinary work.
      const RealTimeScope realTime;
      if (!connection->connect(&onContextState, connection.get())) return nullptr;
    }
    pa_threaded_mainloop_lock(connection->loop);
    pa_context* context = connection->context;
    const bool ready = connection->waitFor(
        [context] { return pa_context_get_state(context) == PA_CONTEXT_READY; }, deadline);
    pa_threaded_mainloop_unlock(connection->loop);
    if (!ready) return nullptr;
    return connection;
  }

  // With the loop's lock held: the default sink's channel count; 0 when it is not known.
  unsigned int defaultSinkChannels(Clock::time_point deadline) {
    SinkChannels query;
    query.loop = loop;
    pa_operation* asked =
        pa_context_get_sink_info_by_name(context, "@DEFAULT_SINK@", &SinkChannels::onInfo, &query);
    if (asked == nullptr) return 0;
    waitFor([&] { return query.answered; }, deadline);
    if (pa_operation_get_state(asked) == PA_OPERATION_RUNNING) pa_operation_cancel(asked);
    pa_operation_unref(asked);
    return query.answered ? query.channels : 0;
  }

  // With the loop's lock held. A stereo sound on a mono sink plays as the mean of its two
  // sides, as it does on the other outputs: PipeWire's own mixing down is 3 dB louder than
  // PulseAudio's.
  Outcome play(const WaveSound& sound, Clock::time_point deadline) {
    if (sound.channels == 2 && defaultSinkChannels(deadline) == 1)
      return playAsIs(monoOf(sound), deadline);
    return playAsIs(sound, deadline);
  }

  // With the loop's lock held.
  Outcome playAsIs(const WaveSound& sound, Clock::time_point deadline) {
    const pa_sample_spec format{PA_SAMPLE_S16NE, static_cast<std::uint32_t>(sound.sampleRate),
                                static_cast<std::uint8_t>(sound.channels)};
    if (pa_sample_spec_valid(&format) == 0) return Outcome::Failed;
    if (kept && (kept->failed || pa_sample_spec_equal(&kept->format, &format) == 0)) kept.reset();
    if (!kept) {
      auto playback = std::make_unique<Playback>();
      const Outcome opened = openStream(*playback, format, deadline);
      if (opened != Outcome::Played) return opened;
      kept = std::move(playback);
    }
    const Outcome outcome = started(*kept, sound, deadline);
    const bool whole = kept->drained;
    kept->endSound();
    // A stream that failed, or may still hold part of a sound, is not used again.
    if (outcome != Outcome::Played || !whole || lost) {
      kept.reset();
      return lost ? Outcome::Failed : outcome;
    }
    kept->ask(pa_stream_cork(kept->stream, 1, nullptr, nullptr));
    return outcome;
  }

  // With the loop's lock held: makes the playback's stream on the default sink, corked. Played
  // once it is ready; NoServer when the server offers no sink, Failed when the server went.
  Outcome openStream(Playback& playback, const pa_sample_spec& format, Clock::time_point deadline) {
    playback.loop = loop;
    playback.format = format;
    playback.stream = pa_stream_new(context, "Feedback sound", &format, nullptr);
    if (playback.stream == nullptr) return Outcome::Failed;
    pa_stream_set_state_callback(playback.stream, &Playback::onState, &playback);
    pa_buffer_attr attributes{};
    // The server's largest queue (4 MiB, 47 s of mono sound) takes the whole of any of the
    // program's sounds, which is written before the stream starts.
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.tlength = static_cast<std::uint32_t>(pa_frame_size(&format) * kLatencyFrames);
    // Not none: a stream that never waits for data never runs dry either, and its drain is
    // never answered.
    attributes.prebuf = static_cast<std::uint32_t>(pa_frame_size(&format));
    attributes.minreq = static_cast<std::uint32_t>(-1);
    attributes.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags =
        static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(playback.stream, nullptr, &attributes, flags, nullptr,
                                   nullptr) == 0 &&
        waitFor([&] { return playback.ready || playback.failed; }, deadline) && playback.ready)
      return Outcome::Played;
    return lost ? Outcome::Failed : Outcome::NoServer;
  }

  // With the loop's lock held, on a stream that is ready and corked: writes the whole sound,
  // starts it and waits until the sink has played it.
  Outcome started(Playback& playback, const WaveSound& sound, Clock::time_point deadline) {
    // At the point the sink reads next: a stream that has played a sound before ran on past its
    // end, and a sound written after that end would lose as much of its start.
    if (pa_stream_write(playback.stream, sound.samples.data(),
                        sound.samples.size() * sizeof(std::int16_t), nullptr, 0,
                        PA_SEEK_RELATIVE_ON_READ) < 0)
      return Outcome::Failed;
    // Asked together, in this order: the server starts the stream, at once even where it would
    // wait for more of a short sound first, and answers the drain once the last sample has gone
    // to the sink.
    if (!playback.ask(pa_stream_cork(playback.stream, 0, nullptr, nullptr)) ||
        !playback.ask(pa_stream_trigger(playback.stream, nullptr, nullptr)) ||
        !playback.ask(pa_stream_drain(playback.stream, &Playback::onDrained, &playback)))
      return Outcome::Failed;
    if (!waitFor([&] { return playback.drained || playback.failed; }, deadline))
      return lost || playback.failed ? Outcome::Failed : Outcome::Played;
    if (playback.failed) return Outcome::Failed;
    // The sink holds the end of the sound for as long as it runs ahead of the ear.
    if (!playback.ask(
            pa_stream_update_timing_info(playback.stream, &Playback::onTiming, &playback)))
      return Outcome::Played;
    if (!waitFor([&] { return playback.timed; }, deadline)) return Outcome::Played;
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(playback.stream, &latency, &negative) != 0 || negative != 0)
      return Outcome::Played;
    const Clock::time_point heard =
        std::min(deadline, Clock::now() + std::chrono::microseconds(latency));
    waitFor([&] { return playback.failed; }, heard);
    return lost || playback.failed ? Outcome::Failed : Outcome::Played;
  }
};

PulseSoundOutput::PulseSoundOutput() = default;
PulseSoundOutput::~PulseSoundOutput() = default;

PulseSoundOutput::Outcome PulseSoundOutput::play(const WaveSound& sound,
                                                 Clock::time_point deadline) {
  if (connection_) {
    pa_threaded_mainloop_lock(connection_->loop);
    const bool lost = connection_->lost;
    pa_threaded_mainloop_unlock(connection_->loop);
    if (lost) connection_.reset();
  }
  if (!connection_) connection_ = Connection::open(deadline);
  if (!connection_) return Outcome::NoServer;
  pa_threaded_mainloop_lock(connection_->loop);
  const Outcome outcome = connection_->play(sound, deadline);
  pa_threaded_mainloop_unlock(connection_->loop);
  return outcome;
}

}  // namespace auralis::platform
