// How far from its ideal time each event of a phrase leaves the MIDI port scheduler: through a
// loopback that timestamps every send, and through a JACK port (period 128 frames under
// tools/with-services.sh) to a receiving client. Reported in microseconds: the median and the
// 99th percentile of the deviations, and the worst one.

#include <RtMidi.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "devices/PhraseScheduler.h"
#include "devices/RtMidiOutStream.h"
#include "devices/StreamTiming.h"
#include "output/MidiEvent.h"

namespace {

using namespace auralis;
using namespace auralis::platform;
using Clock = std::chrono::steady_clock;

constexpr int kTicksPerQuarter = 96;

// Sixteen notes of one to four ticks, a tick apart: 32 events in 0.29 s, closer together than
// any lesson's phrase.
MidiEventList benchPhrase() {
  MidiEventList phrase;
  for (int i = 0; i < 16; ++i) PushNote(phrase, 60 + i % 12, 0, 1, 80, 1 + i % 4);
  return phrase;
}

MidiStreamHeader headerOf(const MidiEventList& list) {
  MidiStreamHeader header;
  header.data = reinterpret_cast<const std::uint8_t*>(list.events.data());
  header.bufferLength = header.bytesRecorded =
      static_cast<std::uint32_t>(list.count * sizeof(MidiEvent));
  return header;
}

// Collects arrival times and the done notice from any thread.
class Arrivals {
 public:
  void arrived() {
    const Clock::time_point now = Clock::now();
    std::lock_guard lock(mutex_);
    times_.push_back(now);
    changed_.notify_all();
  }
  void done() {
    std::lock_guard lock(mutex_);
    done_ = true;
    changed_.notify_all();
  }
  std::vector<Clock::time_point> wait(std::size_t count) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, std::chrono::seconds(5),
                      [&] { return done_ && times_.size() >= count; });
    return times_;
  }
  void reset() {
    std::lock_guard lock(mutex_);
    times_.clear();
    done_ = false;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Clock::time_point> times_;
  bool done_ = false;
};

void addDeviations(std::vector<double>& deviations, const std::vector<Clock::time_point>& times,
                   Clock::time_point zero, const TimedPhrase& phrase) {
  for (std::size_t i = 0; i < times.size() && i < phrase.messages.size(); ++i) {
    const auto ideal = zero + ticksToDuration(phrase.messages[i].ticks, kTicksPerQuarter);
    deviations.push_back(std::chrono::duration<double, std::micro>(times[i] - ideal).count());
  }
}

void report(benchmark::State& state, std::vector<double> deviations) {
  if (deviations.empty()) return;
  std::sort(deviations.begin(), deviations.end());
  auto at = [&](double fraction) {
    return deviations[static_cast<std::size_t>(fraction *
                                               static_cast<double>(deviations.size() - 1))];
  };
  state.counters["median_us"] = at(0.5);
  state.counters["p99_us"] = at(0.99);
  state.counters["max_us"] = deviations.back();
  state.counters["events"] = static_cast<double>(deviations.size());
}

void BM_SchedulerToLoopback(benchmark::State& state) {
  Arrivals arrivals;
  PhraseScheduler scheduler([&](std::uint32_t) { arrivals.arrived(); },
                            [&](MidiStreamHeader*) { arrivals.done(); });
  scheduler.setTicksPerQuarter(kTicksPerQuarter);
  const MidiEventList list = benchPhrase();
  MidiStreamHeader header = headerOf(list);
  const TimedPhrase phrase = timedPhrase(header);
  std::vector<double> deviations;
  for (auto _ : state) {
    arrivals.reset();
    const Clock::time_point zero = Clock::now();
    scheduler.play(&header);
    addDeviations(deviations, arrivals.wait(phrase.messages.size()), zero, phrase);
  }
  report(state, std::move(deviations));
}
BENCHMARK(BM_SchedulerToLoopback)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

void onJackMessage(double, std::vector<unsigned char>*, void* arrivals) {
  static_cast<Arrivals*>(arrivals)->arrived();
}

void BM_SchedulerThroughJack(benchmark::State& state) {
  std::unique_ptr<RtMidiIn> receiver;
  try {
    receiver = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "bench-receiver");
    receiver->openVirtualPort("in");
  } catch (const std::exception&) {
    state.SkipWithError("needs a JACK server: run under tools/with-services.sh");
    return;
  }
  Arrivals arrivals;
  receiver->setCallback(&onJackMessage, &arrivals);
  RtMidiOutStream stream;
  int device = -1;
  for (int i = 0; i < stream.deviceCount(); ++i)
    if (stream.deviceName(i) == "bench-receiver:in") device = i;
  if (device < 0 || stream.open(device, [&](MidiStreamHeader*) { arrivals.done(); }) != kMidiOk) {
    state.SkipWithError("the receiving JACK port is not listed");
    return;
  }
  stream.setTimeDivision(kTicksPerQuarter);
  const MidiEventList list = benchPhrase();
  MidiStreamHeader header = headerOf(list);
  const TimedPhrase phrase = timedPhrase(header);
  std::vector<double> deviations;
  for (auto _ : state) {
    arrivals.reset();
    const Clock::time_point zero = Clock::now();
    stream.out(&header);
    addDeviations(deviations, arrivals.wait(phrase.messages.size()), zero, phrase);
    stream.stop();
  }
  report(state, std::move(deviations));
}
BENCHMARK(BM_SchedulerThroughJack)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
