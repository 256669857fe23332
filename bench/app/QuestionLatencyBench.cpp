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
// Counters, in milliseconds: median, p95, min and max from the request to hearing, and the
// questions measured.

#include <benchmark/benchmark.h>

#include <mutex>
#include <thread>

#include "LiveWindow.h"
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

 private:
  void record() {
    constexpr std::size_t kSamples = platform::testing::CaptureRecorder::kSamples;
    std::size_t from = 0;
    bool looking = false;
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
      }
    }
  }

  platform::RtAudioSoundInput input_;
  platform::testing::CaptureRecorder recorder_;
  std::thread thread_;
  std::atomic<bool> quit_{false};
  std::mutex mutex_;
  bool markPending_ = false;
  std::optional<Clock::time_point> heard_;
};

void BM_QuestionToHearing(benchmark::State& state) {
  if (!servicesPresent(state)) return;
  PrivateSettings settings({{"IdentifyMastery95Percent", kOneNoteLevel}});
  Singer singer;
  platform::testing::SilentPlayback others;
  if (!others.playing()) {
    state.SkipWithError("no stream of silence plays");
    return;
  }
  MonitorWatch monitor;
  if (!monitor.start()) {
    state.SkipWithError("the null sink's monitor does not deliver");
    return;
  }
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
  state.counters["median_ms"] = percentile(latency, 0.5);
  state.counters["p95_ms"] = percentile(latency, 0.95);
  state.counters["min_ms"] = percentile(latency, 0);
  state.counters["max_ms"] = percentile(latency, 1);
  state.counters["heard"] = static_cast<double>(latency.size());
}
BENCHMARK(BM_QuestionToHearing)
    ->Arg(300)
    ->Arg(3000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
}  // namespace auralis::bench
