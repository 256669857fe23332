#pragma once

// What the benchmarks of the window on the real servers share: the servers' check, a settings
// store of their own, a voice on the pipe-source microphone, the interface thread's event loop
// and a watch on the notices that reach the window's message object.

#include <benchmark/benchmark.h>
#include <time.h>

#include <QEventLoop>
#include <QObject>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "DeviceServices.h"
#include "app/HelpPage.h"
#include "app/Main.h"
#include "platform/FeedbackSoundPlayer.h"

namespace auralis::bench {

using Clock = std::chrono::steady_clock;

// The servers of tools/with-services.sh are up; otherwise the benchmark says why and ends.
bool servicesPresent(benchmark::State& state);

// The microphone the window opened is capturing; otherwise the benchmark says why and ends.
bool capturing(benchmark::State& state, const TForm1& window);

// A settings store of the run's own, holding the given integer values, removed at the end.
class PrivateSettings {
 public:
  explicit PrivateSettings(std::initializer_list<std::pair<const char*, int>> values = {});

 private:
  QTemporaryDir folder_;
};

// A sound card hands the audio server 1024 samples every 23.2 ms; how the microphone is fed
// changes what listening costs the program and the server, so the singer keeps that rhythm.
inline constexpr std::size_t kCardPeriodSamples = 1024;

// A voice on the pipe-source microphone, written in real time: silence, or one take at a time.
// A take starts at the writer's next chunk boundary, and the moment each of its samples was
// handed to the writer is kept: the chunk that holds it is written a few microseconds later. The
// singer must outlive the window: stopping capture waits for data from the pipe.
class Singer {
 public:
  Singer();

  // Silence follows the take's last sample.
  void sing(std::vector<std::int16_t> take);
  void stop();
  // When sample i of the latest take was written; nothing until it has been.
  std::optional<Clock::time_point> writtenAt(std::size_t sample) const;
  std::optional<Clock::time_point> onset() const { return writtenAt(0); }
  // CPU time of the writer's thread so far, which is not the program's.
  std::chrono::nanoseconds writerCpuTime() const;

 private:
  struct Take {
    explicit Take(std::vector<std::int16_t> take)
        : samples(std::move(take)), written(samples.size()) {}
    std::vector<std::int16_t> samples;
    std::vector<Clock::rep> written;
    std::atomic<std::size_t> next{0};
  };
  using WriterClock = std::shared_ptr<std::atomic<clockid_t>>;
  static std::function<std::int16_t(std::int64_t)> sourceOf(std::shared_ptr<Take> take,
                                                            WriterClock clock);

  std::shared_ptr<Take> take_;
  WriterClock writerClock_;
  platform::testing::FifoWriter writer_;
};

// A voice-like note at a MIDI note number: five harmonics, a vibrato of 10 cents, a little
// noise and a soft attack of 5 ms.
std::vector<std::int16_t> sungNote(int midiNote, double seconds, std::uint64_t seed);

// Runs the interface thread's event loop, sleeping between events as the program's own does.
void runEvents(std::chrono::milliseconds duration);
// Runs it until done() holds, looking every 10 ms; false when the timeout passed first.
bool runEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

// Counts the notices that reach the window's message object, as they are delivered: analysed
// frames (and those with a note) and letters accepted by the readout, each just before it goes
// to the key handler and from there to Judge.
class NoticeWatch {
 public:
  explicit NoticeWatch(TForm1& window);
  ~NoticeWatch();
  NoticeWatch(const NoticeWatch&) = delete;
  NoticeWatch& operator=(const NoticeWatch&) = delete;

  int frames = 0;
  int voicedFrames = 0;
  int letters = 0;
  Clock::time_point lastLetter;
  // Ended by the next letter, once the letter has been judged.
  QEventLoop* quitOnLetter = nullptr;

 private:
  void seen(const Notice& notice);

  TForm1& window_;
};

// Records when each feedback sound was asked for, and returns at once.
class TimedFeedbackSounds : public platform::FeedbackSoundPlayer {
 public:
  std::vector<Clock::time_point> times;
  void playSync(const std::uint8_t*, std::size_t) override { times.push_back(Clock::now()); }
};

class NoDocuments : public DocumentOpener {
 public:
  void openDocument(const QString&) override {}
};

double milliseconds(Clock::duration duration);
// Linear between the closest ranks; values need not be sorted. 0 for none.
double percentile(std::vector<double> values, double fraction);

// Memory of this process, in MB, from /proc/self/status.
struct ResidentMemory {
  double current = 0;    // VmRSS
  double peak = 0;       // VmHWM
  double anonymous = 0;  // RssAnon: what is this process's alone
};
ResidentMemory residentMemory();
// Lowers the recorded peak to the present size, so that a run measures its own.
void resetPeakMemory();

}  // namespace auralis::bench
