#include "LiveWindow.h"

#include <pthread.h>

#include <QCoreApplication>
#include <QFile>
#include <QSettings>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

#include "app/MessageWindow.h"
#include "tests/input/Signals.h"

namespace auralis::bench {

namespace {

constexpr clockid_t kNoClock = -1;
constexpr int kRate = platform::testing::kRate;

}  // namespace

bool servicesPresent(benchmark::State& state) {
  using platform::testing::environment;
  if (environment("AURALIS_TEST_SERVICES") == "1" && !environment("PULSE_SERVER").empty() &&
      !environment("AURALIS_TEST_MIC_FIFO").empty())
    return true;
  state.SkipWithError("needs the display and audio servers: run under tools/with-services.sh");
  return false;
}

bool capturing(benchmark::State& state, const TForm1& window) {
  // The devices are listed, and the first lesson starts, after the window has been shown.
  runEventsUntil([&] { return window.devicesListed(); },
                 kDeviceListingWait + std::chrono::seconds(1));
  if (window.core().capture().captureRunning() && window.core().capture().soundInPresent)
    return true;
  state.SkipWithError("the pipe-source microphone did not open");
  return false;
}

PrivateSettings::PrivateSettings(std::initializer_list<std::pair<const char*, int>> values) {
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder_.path()));
  QSettings store(folder_.path() + QStringLiteral("/Auralis/Auralis.ini"), QSettings::IniFormat);
  store.beginGroup(QStringLiteral("Auralis"));
  for (const auto& [key, value] : values) store.setValue(QString::fromLatin1(key), value);
}

Singer::Singer()
    : take_(std::make_shared<Take>(std::vector<std::int16_t>{})),
      writerClock_(std::make_shared<std::atomic<clockid_t>>(kNoClock)),
      writer_(platform::testing::environment("AURALIS_TEST_MIC_FIFO"),
              sourceOf(take_, writerClock_), kCardPeriodSamples) {}

std::function<std::int16_t(std::int64_t)> Singer::sourceOf(std::shared_ptr<Take> take,
                                                           WriterClock clock) {
  return [take = std::move(take), clock = std::move(clock)](std::int64_t) -> std::int16_t {
    if (clock->load(std::memory_order_relaxed) == kNoClock) {
      clockid_t id = kNoClock;
      if (::pthread_getcpuclockid(::pthread_self(), &id) == 0) clock->store(id);
    }
    const std::size_t next = take->next.load(std::memory_order_relaxed);
    if (next >= take->samples.size()) return 0;
    take->written[next] = Clock::now().time_since_epoch().count();
    take->next.store(next + 1, std::memory_order_release);
    return take->samples[next];
  };
}

void Singer::sing(std::vector<std::int16_t> take) {
  take_ = std::make_shared<Take>(std::move(take));
  writer_.setSource(sourceOf(take_, writerClock_));
}

void Singer::stop() {
  sing({});
}

std::optional<Clock::time_point> Singer::writtenAt(std::size_t sample) const {
  if (sample >= take_->next.load(std::memory_order_acquire)) return std::nullopt;
  return Clock::time_point(Clock::duration(take_->written[sample]));
}

std::chrono::nanoseconds Singer::writerCpuTime() const {
  const clockid_t id = writerClock_->load();
  timespec time{};
  if (id == kNoClock || ::clock_gettime(id, &time) != 0) return {};
  return std::chrono::seconds(time.tv_sec) + std::chrono::nanoseconds(time.tv_nsec);
}

std::vector<std::int16_t> sungNote(int midiNote, double seconds, std::uint64_t seed) {
  signals::Tone tone;
  tone.frequency = platform::testing::noteFrequency(midiNote);
  tone.amplitude = 5000;
  tone.vibratoCents = 10;
  tone.noise = 150;
  tone.seed = seed;
  std::vector<std::int16_t> take = signals::harmonicTone(tone, static_cast<int>(seconds * kRate));
  constexpr int kAttack = kRate / 200;
  for (int n = 0; n < kAttack && n < static_cast<int>(take.size()); ++n)
    take[static_cast<std::size_t>(n)] = static_cast<std::int16_t>(
        take[static_cast<std::size_t>(n)] * (0.5 - 0.5 * std::cos(M_PI * n / kAttack)));
  return take;
}

void runEvents(std::chrono::milliseconds duration) {
  QEventLoop loop;
  QTimer::singleShot(duration, Qt::PreciseTimer, &loop, &QEventLoop::quit);
  loop.exec();
}

bool runEventsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!done()) {
    if (Clock::now() >= deadline) return false;
    runEvents(std::chrono::milliseconds(10));
  }
  return true;
}

NoticeWatch::NoticeWatch(TForm1& window) : window_(window) {
  window_.messageWindow().setWatch([this](const Notice& notice) { seen(notice); });
}

NoticeWatch::~NoticeWatch() {
  window_.messageWindow().setWatch(nullptr);
}

void NoticeWatch::seen(const Notice& notice) {
  if (const auto* frame = std::get_if<notice::MicFrame>(&notice)) {
    ++frames;
    if (frame->frame.DetectedNote > 0) ++voicedFrames;
  } else if (std::holds_alternative<notice::Character>(notice)) {
    lastLetter = Clock::now();
    ++letters;
    // The loop ends once the event that carries this notice has been handled, that is, after
    // Judge.
    if (quitOnLetter != nullptr) quitOnLetter->quit();
  }
}

double milliseconds(Clock::duration duration) {
  return std::chrono::duration<double, std::milli>(duration).count();
}

double percentile(std::vector<double> values, double fraction) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const double rank = fraction * static_cast<double>(values.size() - 1);
  const auto below = static_cast<std::size_t>(rank);
  const std::size_t above = std::min(below + 1, values.size() - 1);
  const double weight = rank - static_cast<double>(below);
  return values[below] * (1 - weight) + values[above] * weight;
}

ResidentMemory residentMemory() {
  ResidentMemory memory;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    std::istringstream fields(line);
    std::string key;
    double kilobytes = 0;
    fields >> key >> kilobytes;
    if (key == "VmRSS:") memory.current = kilobytes / 1024;
    if (key == "VmHWM:") memory.peak = kilobytes / 1024;
    if (key == "RssAnon:") memory.anonymous = kilobytes / 1024;
  }
  return memory;
}

void resetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace auralis::bench
