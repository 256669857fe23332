// From asking for a new question to hearing it: the real window in Identify on the built-in
// synthesiser, the sound recorded from the null sink's monitor. The question is asked after a
// gap of the given milliseconds since the previous one ended (the argument): short, while the
// output is still busy with the last one, and long, after a stretch of quiet.
//
// The monitor delivers at the pace of real time only while something plays into the sink with a
// short buffer, so a stream of silence plays throughout, with the synthesiser's buffering. A thread
// of its own records the monitor and notes when each buffer arrives; the moment a question is heard
// is the arrival of the buffer that holds its first 10 ms of sound. The monitor hands over what the
// sink mixes in buffers of 23 ms, so the figures hold up to one such buffer beyond the ear's.
//
// The feedback sounds are measured the same way, from the call that plays one to hearing it.
//
// A sound that the output fails to feed in time (an underrun) reaches the sink as a run of exact
// zeros in the middle of the sound. Every sound's first 120 ms are searched for such a run of
// 1 ms or more between sound; tools/bench-latency-load.sh runs these benchmarks with every core
// kept busy.
//
// Counters, in milliseconds: median, p95, min and max from the request to hearing; the sounds
// heard, and the gaps found in them.

#include <benchmark/benchmark.h>

#include <mutex>
#include <thread>

#include "LiveWindow.h"
#include "app/FeedbackSounds.h"
#include "devices/RtAudioFeedbackSoundPlayer.h"
#include "devices/RtAudioSoundInput.h"
#include "devices/RtMidiInput.h"
#include "devices/SystemMidiOut.h"

namespace auralis::bench {
namespace {

using namespace std::chrono_literals;

constexpr int kQuestions = 15;
// The 60th Identify level: one note of any of the twelve pitch classes, in middle C's octave.
constexpr int kOneNoteLevel = 59;
constexpr int kRate = platform::testing::kRate;
constexpr std::size_t kOnsetSpan = kRate / 100;  // 10 ms
constexpr double kOnsetLevel = 300;              // RMS of a 16-bit signal
constexpr std::size_t kGapSpan = kRate / 1000;   // 1 ms of exact zeros
constexpr std::size_t kGapSearch = kRate * 120 / 1000;

// Records the monitor on a thread of its own and finds the first sound after a mark.
class MonitorWatch {
 public:
  MonitorWatch() : recorder_(input_) {}
  ~MonitorWatch() {
    quit_.store(true);
    if (thread_.joinable()) thread_.join();
    recorder_.stop();
  }
  MonitorWatch(const MonitorWatch&) = delete;
  MonitorWatch& operator=(const MonitorWatch&) = delete;

  bool start() {
    const int monitor = platform::testing::inputDeviceNamed(input_, "Monitor of");
    if (monitor < 0 || !recorder_.open(monitor)) return false;
    recorder_.start();
    if (!recorder_.settle(8s)) return false;
    thread_ = std::thread([this] { record(); });
    return true;
  }

  // Looks for sound in the buffers that arrive from now on.
  void mark() {
    std::lock_guard lock(mutex_);
    markPending_ = true;
    heard_.reset();
  }
  std::optional<Clock::time_point> heard() {
    std::lock_guard lock(mutex_);
    return heard_;
  }
  // Runs of silence found inside the sounds heard so far.
  int gaps() {
    std::lock_guard lock(mutex_);
    return gaps_;
  }

 private:
  void record() {
    constexpr std::size_t kSamples = platform::testing::CaptureRecorder::kSamples;
    std::size_t from = 0;
    bool looking = false;
    std::size_t onset = 0;
    bool searching = false;  // onset's sound for gaps
    while (!quit_.load()) {
      if (recorder_.pump(1, 50ms) == 0) continue;
      const std::vector<std::int16_t>& samples = recorder_.samples;
      std::lock_guard lock(mutex_);
      if (markPending_) {
        markPending_ = false;
        looking = true;
        // The buffer just handed over is the first to arrive since the mark.
        from = samples.size() - kSamples;
      }
      for (; looking && from + kOnsetSpan <= samples.size(); from += kOnsetSpan / 4) {
        if (platform::testing::rootMeanSquare(samples.data() + from, kOnsetSpan) < kOnsetLevel)
          continue;
        heard_ = recorder_.arrivals[from / kSamples];
        looking = false;
        onset = from;
        searching = true;
      }
      if (searching && onset + kGapSearch <= samples.size()) {
        gaps_ += silentRuns(samples.data() + onset, kGapSearch);
        searching = false;
      }
    }
  }

  // Runs of kGapSpan zeros or more with sound on both sides: the search starts a little before
  // the sound, and a short sound may end inside it.
  static int silentRuns(const std::int16_t* samples, std::size_t count) {
    int runs = 0;
    std::size_t zeros = 0;
    bool sounded = false;
    for (std::size_t i = 0; i < count; ++i) {
      if (samples[i] == 0) {
        ++zeros;
        continue;
      }
      if (sounded && zeros >= kGapSpan) ++runs;
      sounded = true;
      zeros = 0;
    }
    return runs;
  }

  platform::RtAudioSoundInput input_;
  platform::testing::CaptureRecorder recorder_;
  std::thread thread_;
  std::atomic<bool> quit_{false};
  std::mutex mutex_;
  bool markPending_ = false;
  std::optional<Clock::time_point> heard_;
  int gaps_ = 0;
};

// The monitor records, with a stream of silence playing so that it delivers at the pace of real
// time; otherwise the benchmark says why and ends.
bool monitorReady(benchmark::State& state, const platform::testing::SilentPlayback& others,
                  MonitorWatch& monitor) {
  if (!others.playing()) {
    state.SkipWithError("no stream of silence plays");
    return false;
  }
  if (!monitor.start()) {
    state.SkipWithError("the null sink's monitor does not deliver");
    return false;
  }
  return true;
}

void reportLatency(benchmark::State& state, const std::vector<double>& latency, int gaps) {
  state.counters["median_ms"] = percentile(latency, 0.5);
  state.counters["p95_ms"] = percentile(latency, 0.95);
  state.counters["min_ms"] = percentile(latency, 0);
  state.counters["max_ms"] = percentile(latency, 1);
  state.counters["heard"] = static_cast<double>(latency.size());
  state.counters["gaps"] = gaps;
}

void BM_QuestionToHearing(benchmark::State& state) {
  if (!servicesPresent(state)) return;
  PrivateSettings settings({{"IdentifyMastery95Percent", kOneNoteLevel}});
  Singer singer;
  platform::testing::SilentPlayback others;
  MonitorWatch monitor;
  if (!monitorReady(state, others, monitor)) return;
  platform::SystemMidiOut midiOut;
  platform::RtAudioSoundInput soundInput;
  platform::RtMidiInput midiInput;
  TimedFeedbackSounds sounds;
  NoDocuments documents;
  const auto gap = std::chrono::milliseconds(state.range(0));
  std::vector<double> latency;

  for (auto _ : state) {
    TForm1 window({midiOut, soundInput, midiInput, sounds, documents, [](int) {}});
    window.FormActivate();
    if (!capturing(state, window)) return;
    // Practice Mode keeps the level, so every question is one note.
    window.menus().PracticeMode1->setChecked(true);
    window.menus().Identify1->trigger();
    for (int question = 0; question < kQuestions; ++question) {
      if (!runEventsUntil([&] { return window.core().player().PlaybackIdle(); }, 5s)) {
        state.SkipWithError("the question did not end");
        return;
      }
      runEvents(gap);
      monitor.mark();
      const Clock::time_point asked = Clock::now();
      window.lesson().Playnewquestion1Click();
      if (runEventsUntil([&] { return monitor.heard().has_value(); }, 2s))
        latency.push_back(milliseconds(*monitor.heard() - asked));
    }
  }
  // The last sound's search ends after it has been heard.
  runEvents(300ms);
  reportLatency(state, latency, monitor.gaps());
}
BENCHMARK(BM_QuestionToHearing)
    ->Arg(300)
    ->Arg(3000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// The INCORRECT sound (half a second) as a wrong answer plays it, after a gap of the given
// milliseconds since the previous one ended: each sound opens an output stream of its own.
void BM_FeedbackSoundToHearing(benchmark::State& state) {
  if (!servicesPresent(state)) return;
  platform::testing::SilentPlayback others;
  MonitorWatch monitor;
  if (!monitorReady(state, others, monitor)) return;
  platform::RtAudioFeedbackSoundPlayer player;
  FeedbackSounds sounds(player);
  if (sounds.wave(FeedbackSound::Incorrect).isEmpty()) {
    state.SkipWithError("the INCORRECT sound is missing from the resources");
    return;
  }
  const auto gap = std::chrono::milliseconds(state.range(0));
  std::vector<double> latency;
  for (auto _ : state) {
    for (int sound = 0; sound < kQuestions; ++sound) {
      std::this_thread::sleep_for(gap);
      monitor.mark();
      const Clock::time_point asked = Clock::now();
      sounds.play(FeedbackSound::Incorrect);
      const auto deadline = Clock::now() + 2s;
      while (!monitor.heard() && Clock::now() < deadline) std::this_thread::sleep_for(1ms);
      if (const auto heard = monitor.heard()) latency.push_back(milliseconds(*heard - asked));
    }
  }
  std::this_thread::sleep_for(300ms);
  reportLatency(state, latency, monitor.gaps());
}
BENCHMARK(BM_FeedbackSoundToHearing)
    ->Arg(300)
    ->Arg(3000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
}  // namespace auralis::bench
