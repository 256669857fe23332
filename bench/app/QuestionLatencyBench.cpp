// From asking for a new question to hearing it: the real window in Identify on the built-in
// synthesiser, the sound recorded from the null sink's monitor. The question is asked after a
// gap of the given milliseconds since the previous one ended (the argument): short, while the
// last one's release still sounds, faintly; a second, once it has died away and the output plays
// silence; and long, after a stretch of quiet that closed the output.
//
// The monitor delivers at the pace of real time only while something plays into the sink with a
// short buffer, so a stream of silence plays throughout, with the synthesiser's buffering. The
// monitor is recorded in small fragments, each stamped as it arrives; the moment a question is
// heard is the arrival of the fragment that holds its first sample above the level of its first 10
// ms of sound.
//
// The feedback sounds are measured the same way, from the call that plays one to hearing it, and
// so is a key of a MIDI keyboard that answers a question: from the key to hearing the feedback
// sound the lesson answers it with, CORRECT or INCORRECT.
//
// A sound that the output fails to feed in time (an underrun) reaches the sink as a run of exact
// zeros in the middle of the sound. Every sound's first 120 ms are searched for such a run of
// 1 ms or more between sound; tools/bench-latency-load.sh runs these benchmarks with every core
// kept busy.
//
// Counters, in milliseconds: median, p95, min and max from the request to hearing; the sounds
// heard, and the gaps found in them.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "LiveWindow.h"
#include "app/FeedbackSounds.h"
#include "app/Menus.h"
#include "app/Services.h"
#include "devices/PulseCapture.h"
#include "devices/PulseDevices.h"
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

// Records the monitor through libpulse in fragments of 64 samples (1.5 ms), each stamped as it
// arrives, and finds the first sound after a mark: a recorder with the program's 1024-sample
// buffers would add up to 23 ms of its own to every figure.
class MonitorWatch {
 public:
  MonitorWatch() = default;
  MonitorWatch(const MonitorWatch&) = delete;
  MonitorWatch& operator=(const MonitorWatch&) = delete;

  bool start() {
    capture_ = platform::PulseCapture::open(
        defaultMonitor(), kFragment,
        [this](const std::int16_t* samples, std::size_t count) { arrived(samples, count); }, [] {},
        3s, platform::PulseCapture::SourceLatency::AsItIs);
    if (!capture_) return false;
    capture_->start();
    return settle(8s);
  }

  // Looks for sound in the fragments that arrive from now on.
  void mark() {
    std::lock_guard lock(mutex_);
    from_ = samples_.size();
    looking_ = true;
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
  static constexpr std::size_t kFragment = 64;

  // The default sink's monitor by its name: PipeWire's PulseAudio service records silence from
  // "@DEFAULT_MONITOR@".
  static std::string defaultMonitor() {
    const std::optional<platform::PulseServerDevices> devices = platform::listPulseDevices(3s);
    if (devices && devices->defaultSink) return *devices->defaultSink + ".monitor";
    return "@DEFAULT_MONITOR@";
  }

  // A null sink's monitor stalls for a while after its first stream starts, then delivers a
  // burst: true once half a second of samples has come in about half a second.
  bool settle(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
      std::size_t before = 0;
      {
        std::lock_guard lock(mutex_);
        before = samples_.size();
      }
      std::this_thread::sleep_for(500ms);
      std::lock_guard lock(mutex_);
      const double seconds = static_cast<double>(samples_.size() - before) / kRate;
      if (seconds > 0.45 && seconds < 0.55) return true;
    }
    return false;
  }

  // On libpulse's thread.
  void arrived(const std::int16_t* samples, std::size_t count) {
    const Clock::time_point now = Clock::now();
    std::lock_guard lock(mutex_);
    samples_.insert(samples_.end(), samples, samples + count);
    arrivals_.push_back({samples_.size(), now});
    for (; looking_ && from_ + kOnsetSpan <= samples_.size(); from_ += kOnsetSpan / 4) {
      if (platform::testing::rootMeanSquare(samples_.data() + from_, kOnsetSpan) < kOnsetLevel)
        continue;
      // The sound begins at its first sample above the level in the first window loud enough.
      std::size_t first = from_;
      while (std::abs(samples_[first]) < kOnsetLevel) ++first;
      heard_ = arrivalOf(first);
      looking_ = false;
      onset_ = first;
      searching_ = true;
    }
    if (searching_ && onset_ + kGapSearch <= samples_.size()) {
      gaps_ += silentRuns(samples_.data() + onset_, kGapSearch);
      searching_ = false;
    }
  }

  // When the fragment holding the sample arrived.
  Clock::time_point arrivalOf(std::size_t sample) const {
    const auto holding = std::upper_bound(
        arrivals_.begin(), arrivals_.end(), sample,
        [](std::size_t value, const Arrival& arrival) { return value < arrival.end; });
    return holding == arrivals_.end() ? arrivals_.back().at : holding->at;
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

  struct Arrival {
    std::size_t end;  // samples_.size() after the fragment
    Clock::time_point at;
  };

  std::mutex mutex_;
  std::vector<std::int16_t> samples_;
  std::vector<Arrival> arrivals_;
  std::size_t from_ = 0;
  bool looking_ = false;
  std::size_t onset_ = 0;
  bool searching_ = false;
  std::optional<Clock::time_point> heard_;
  int gaps_ = 0;
  // Last, so that no fragment arrives while the rest is torn down.
  std::unique_ptr<platform::PulseCapture> capture_;
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

// What the benchmarks of the window in Identify share, in the order they must go: a level of
// one-note questions, silence on the microphone and in the sink, and the monitor.
struct IdentifyRig {
  PrivateSettings settings{{{"IdentifyMastery95Percent", kOneNoteLevel}}};
  Singer singer;
  platform::testing::SilentPlayback others;
  MonitorWatch monitor;
};

// Starts Identify in the window once the microphone captures; otherwise says why.
bool startIdentify(benchmark::State& state, TForm1& window) {
  window.FormActivate();
  if (!capturing(state, window)) return false;
  // Practice Mode keeps the level, so every question is one note.
  window.menus().PracticeMode1->setChecked(true);
  window.menus().Identify1->trigger();
  return true;
}

// Waits until the question has been played; otherwise says why.
bool questionEnded(benchmark::State& state, TForm1& window) {
  if (runEventsUntil([&] { return window.core().player().PlaybackIdle(); }, 5s)) return true;
  state.SkipWithError("the question did not end");
  return false;
}

void BM_QuestionToHearing(benchmark::State& state) {
  if (!servicesPresent(state)) return;
  IdentifyRig rig;
  if (!monitorReady(state, rig.others, rig.monitor)) return;
  MonitorWatch& monitor = rig.monitor;
  platform::SystemMidiOut midiOut;
  platform::RtAudioSoundInput soundInput;
  platform::RtMidiInput midiInput;
  TimedFeedbackSounds sounds;
  NoDocuments documents;
  const auto gap = std::chrono::milliseconds(state.range(0));
  std::vector<double> latency;

  for (auto _ : state) {
    TForm1 window({midiOut, soundInput, midiInput, sounds, documents, [](int) {}});
    if (!startIdentify(state, window)) return;
    for (int question = 0; question < kQuestions; ++question) {
      if (!questionEnded(state, window)) return;
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
    ->Arg(1000)
    ->Arg(3000)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

// The INCORRECT sound (half a second) as a wrong answer plays it, after a gap of the given
// milliseconds since the previous one ended: on PulseAudio and PipeWire the player's stream waits
// corked between sounds, elsewhere each sound opens an output stream of its own.
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

// A key of a JACK MIDI keyboard answering an Identify question, a second after the question
// ended, until the lesson's answer to it is heard: the keyboard's message through the JACK server
// and the program's MIDI input, the judge and the feedback sound's output. The argument is the
// key: 0 the right one, answered with the CORRECT sound (a click of 13 ms), 1 a wrong one,
// answered with INCORRECT. The window pauses after a sound as the program does. The next question
// follows a right answer about 170 ms after the key: a sound first heard later than kAnswerWindow
// after the key is counted as missed, not as the answer's. On PulseAudio's null sink a short
// sound can be missed that the sink did play: the sink mixes a new stream in by going back over
// what it has already mixed ahead, and its monitor may have handed that stretch out as silence
// already, so that a recorder gets only the end of the sound, or none of it.
void BM_MidiKeyToHearing(benchmark::State& state) {
  if (!servicesPresent(state)) return;
  IdentifyRig rig;
  if (!monitorReady(state, rig.others, rig.monitor)) return;
  MonitorWatch& monitor = rig.monitor;
  // Before the window, which lists the ports once it is shown.
  platform::testing::JackKeyboard keyboard("bench-keys");
  platform::SystemMidiOut midiOut;
  platform::RtAudioSoundInput soundInput;
  platform::RtMidiInput midiInput;
  platform::RtAudioFeedbackSoundPlayer sounds;
  NoDocuments documents;
  const bool rightKey = state.range(0) == 0;
  constexpr auto kAnswerWindow = 120ms;
  std::vector<double> latency;
  int missed = 0;

  for (auto _ : state) {
    TForm1 window({midiOut, soundInput, midiInput, sounds, documents, blockingPause});
    if (!startIdentify(state, window)) return;
    QAction* keys = nullptr;
    for (QAction* item : deviceItemsOf(window.menus().MIDIIn1))
      if (item->text() == QStringLiteral("bench-keys:out")) keys = item;
    if (keys == nullptr) {
      state.SkipWithError("the MIDI In menu does not list the keyboard");
      return;
    }
    keys->trigger();
    if (!window.core().FinishDeviceCalls(Clock::now() + 5s)) {
      state.SkipWithError("the keyboard did not open");
      return;
    }
    for (int question = 0; question < kQuestions; ++question) {
      if (!questionEnded(state, window)) return;
      runEvents(1s);
      const int asked = window.lesson().question.QuestionNotes[0];
      // A semitone off, within the keys that answer.
      const int key = rightKey ? asked : asked + (asked % 12 == 0 ? 1 : -1);
      const int judged = window.lesson().scores.TotalAsked;
      monitor.mark();
      const Clock::time_point struck = Clock::now();
      keyboard.strike(key, 100);
      if (!runEventsUntil([&] { return window.lesson().scores.TotalAsked > judged; }, 2s)) {
        state.SkipWithError("the key was not judged");
        return;
      }
      runEventsUntil([&] { return monitor.heard().has_value(); }, 2s);
      const auto heard = monitor.heard();
      if (heard && *heard - struck <= kAnswerWindow)
        latency.push_back(milliseconds(*heard - struck));
      else
        ++missed;
    }
  }
  runEvents(300ms);
  reportLatency(state, latency, monitor.gaps());
  state.counters["missed"] = missed;
}
BENCHMARK(BM_MidiKeyToHearing)
    ->ArgName("wrong_key")
    ->Arg(0)
    ->Arg(1)
    ->Iterations(1)
    ->Unit(benchmark::kSecond)
    ->UseRealTime();

}  // namespace
}  // namespace auralis::bench
