#include "DeviceServices.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace auralis::platform::testing {

using namespace std::chrono_literals;

void DeviceTest::SetUp() {
  // A child of a death test starts afresh rather than as a copy of this process and its threads.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const bool present =
      environment("AURALIS_TEST_SERVICES") == "1" && !environment("PULSE_SERVER").empty() &&
      !environment("JACK_DEFAULT_SERVER").empty() && !environment("AURALIS_TEST_MIC_FIFO").empty();
  if (present) return;
  if (environment("CI") == "true")
    FAIL() << "the audio and MIDI servers are missing; run under tools/with-services.sh";
  GTEST_SKIP() << "needs the audio and MIDI servers: run under tools/with-services.sh";
}

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

ScopedEnvironment::ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
  if (const char* previous = std::getenv(name)) previous_ = previous;
  ::setenv(name, value.c_str(), 1);
}

ScopedEnvironment::~ScopedEnvironment() {
  if (previous_)
    ::setenv(name_.c_str(), previous_->c_str(), 1);
  else
    ::unsetenv(name_.c_str());
}

std::function<std::int16_t(std::int64_t)> harmonicTone(double frequency, double amplitude) {
  return [frequency, amplitude](std::int64_t i) {
    const double phase = 2 * M_PI * frequency * static_cast<double>(i) / kRate;
    const double value = std::sin(phase) + 0.6 * std::sin(2 * phase) + 0.4 * std::sin(3 * phase);
    return static_cast<std::int16_t>(amplitude * value / 2);
  };
}

std::function<std::int16_t(std::int64_t)> sungTone(double frequency, double amplitude) {
  constexpr std::array<double, 5> kOvertones = {1.0, 0.7, 0.5, 0.3, 0.2};
  constexpr double kVibratoHz = 5.5;
  constexpr double kVibratoCents = 12;
  constexpr double kNoise = 0.03;  // of the amplitude
  // f * 2^(c/1200 * sin wt) is close to f * (1 + d sin wt), with d = c ln 2 / 1200 and
  // w = 2 pi v, whose phase has a closed form: 2 pi f (t + d (1 - cos wt) / w).
  const double depth = kVibratoCents * std::log(2.0) / 1200;
  double weights = 0;
  for (double w : kOvertones) weights += w;
  return [=](std::int64_t i) {
    if (frequency <= 0) return std::int16_t{0};
    const double t = static_cast<double>(i) / kRate;
    const double wobble = 2 * M_PI * kVibratoHz;
    const double phase = 2 * M_PI * frequency * (t + depth * (1 - std::cos(wobble * t)) / wobble);
    double value = 0;
    for (std::size_t k = 0; k < kOvertones.size(); ++k)
      value += kOvertones[k] * std::sin(static_cast<double>(k + 1) * phase);
    // The noise is a hash of the sample's index, so that a tone sounds the same every time.
    std::uint64_t z = static_cast<std::uint64_t>(i) + 0x9E3779B97F4A7C15ULL;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    z ^= z >> 31;
    const double noise = static_cast<double>(z >> 11) * 0x1.0p-52 - 1;  // -1 to 1
    return static_cast<std::int16_t>(amplitude * (value / weights + kNoise * noise));
  };
}

FifoWriter::FifoWriter(const std::string& fifo, std::function<std::int16_t(std::int64_t)> sample,
                       std::size_t blockSamples)
    : sample_(std::move(sample)) {
  // The server may go while the test writes; that is a short write, not the test's end.
  ::signal(SIGPIPE, SIG_IGN);
  thread_ = std::thread([this, fifo, blockSamples] { run(fifo, blockSamples); });
}

FifoWriter::~FifoWriter() {
  quit_ = true;
  thread_.join();
}

void FifoWriter::setSource(std::function<std::int16_t(std::int64_t)> sample) {
  std::lock_guard lock(mutex_);
  sample_ = std::move(sample);
}

namespace {

// Throws away what the FIFO holds. PipeWire's pipe source stops reading while nobody records
// from it, so sound written then would otherwise reach whoever records next, as if sung now.
void discardUnread(const std::string& fifo) {
  const int fd = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
  if (fd < 0) return;
  char buffer[4096];
  while (::read(fd, buffer, sizeof buffer) > 0) {
  }
  ::close(fd);
}

}  // namespace

void FifoWriter::run(std::string fifo, std::size_t blockSamples) {
  // Never blocking: a FIFO without its reader would hold the writer for ever at the open, and a
  // pipe source that nobody records from stops reading. Sound that finds the pipe full goes by
  // unheard, as it would at a real microphone; each chunk is below PIPE_BUF, so it is written
  // whole or not at all.
  const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
  if (fd < 0) return;
  discardUnread(fifo);
  std::vector<std::int16_t> chunk(blockSamples);
  std::int64_t index = 0;
  const auto start = std::chrono::steady_clock::now();
  std::int64_t blocks = 0;
  while (!quit_) {
    {
      std::lock_guard lock(mutex_);
      for (std::int16_t& s : chunk) s = sample_(index++);
    }
    if (::write(fd, chunk.data(), chunk.size() * sizeof(std::int16_t)) < 0 && errno != EAGAIN)
      break;
    ++blocks;
    // Reckoned from the start, so that the pace does not drift.
    std::this_thread::sleep_until(
        start + std::chrono::nanoseconds(blocks * static_cast<std::int64_t>(blockSamples) *
                                         1'000'000'000 / kRate));
  }
  ::close(fd);
  // A singer who has stopped is heard no more.
  discardUnread(fifo);
}

PrivatePulseServer::PrivatePulseServer() {
  char folder[] = "/tmp/auralis-pulse.XXXXXX";
  if (::mkdtemp(folder) != nullptr) folder_ = folder;
}

PrivatePulseServer::~PrivatePulseServer() {
  kill();
  if (!folder_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
  }
}

bool PrivatePulseServer::start() {
  if (folder_.empty() || pid_ > 0) return false;
  pid_ = ::fork();
  if (pid_ == 0) {
    // A test that is killed, or ends itself on a hang, takes its server along.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::execl("/bin/bash", "bash", AURALIS_PULSE_SERVER_SCRIPT, folder_.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  if (pid_ < 0) return false;
  const std::string probe = "timeout 2 pactl --server=" + address() + " info >/dev/null 2>&1";
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (std::system(probe.c_str()) == 0) return true;
    std::this_thread::sleep_for(100ms);
  }
  return false;
}

void PrivatePulseServer::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
}

namespace {

// The same pool as tools/with-services.sh's.
constexpr std::array<const char*, 6> kJackServerPool = {"auralis-test-0", "auralis-test-1",
                                                        "auralis-test-2", "auralis-test-3",
                                                        "auralis-test-4", "auralis-test-5"};

std::string jackLockFile(const std::string& name) {
  return "/tmp/auralis-jack-" + name + ".lock";
}

}  // namespace

PrivateJackServer::PrivateJackServer() {
  for (const char* name : kJackServerPool) {
    const int lock = ::open(jackLockFile(name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (lock < 0) continue;
    if (::flock(lock, LOCK_EX | LOCK_NB) == 0) {
      name_ = name;
      lock_ = lock;
      return;
    }
    ::close(lock);
  }
}

PrivateJackServer::~PrivateJackServer() {
  // A killed server keeps its slot in the registry until one of the same name starts again.
  if (killed_ && pid_ <= 0) start();
  if (pid_ > 0) {
    // Stopped, not killed: only so does it leave the registry.
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  if (lock_ >= 0) ::close(lock_);
}

bool PrivateJackServer::start() {
  if (name_.empty() || pid_ > 0) return false;
  pid_ = ::fork();
  if (pid_ == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The dummy driver's reports of every late cycle would drown the test's own output.
    const int log = ::open(logFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log >= 0) {
      ::dup2(log, STDOUT_FILENO);
      ::dup2(log, STDERR_FILENO);
    }
    ::execl("/bin/bash", "bash", AURALIS_JACK_SERVER_SCRIPT, name_.c_str(),
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  if (pid_ < 0) return false;
  const std::string probe = "timeout 2 jack_lsp -s " + name_ + " >/dev/null 2>&1";
  for (int attempt = 0; attempt < 50; ++attempt) {
    if (std::system(probe.c_str()) == 0) return true;
    std::this_thread::sleep_for(100ms);
  }
  return false;
}

std::string PrivateJackServer::logFile() const {
  return "/tmp/auralis-jack-" + name_ + ".log";
}

std::string PrivateJackServer::log() const {
  std::ifstream file(logFile());
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void PrivateJackServer::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  ::waitpid(pid_, nullptr, 0);
  pid_ = -1;
  killed_ = true;
}

void Signal::raise() {
  std::lock_guard lock(mutex);
  ++count;
  changed.notify_all();
}

bool Signal::waitFor(int wanted, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex);
  return changed.wait_for(lock, timeout, [&] { return count >= wanted; });
}

CaptureRecorder::CaptureRecorder(SoundInput& input) : input_(input) {}

CaptureRecorder::~CaptureRecorder() {
  input_.close();
}

bool CaptureRecorder::open(int device) {
  const bool opened = input_.open(device, WaveFormat{}, [this] {
    std::lock_guard lock(mutex_);
    ++pending_;
    notified_.notify_one();
  });
  if (!opened) return false;
  for (int i = 0; i < kBuffers - 1; ++i) requeue(i);
  next_ = 0;
  return true;
}

void CaptureRecorder::requeue(int index) {
  CaptureHeader& header = headers_[static_cast<std::size_t>(index)];
  header.data = data_[static_cast<std::size_t>(index)].data();
  header.bufferLength = kSamples * sizeof(std::int16_t);
  input_.prepare(&header);
  input_.addBuffer(&header);
}

int CaptureRecorder::pump(int count, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  int returned = 0;
  while (returned < count) {
    {
      std::unique_lock lock(mutex_);
      if (!notified_.wait_until(lock, deadline, [this] { return pending_ > 0; })) break;
      --pending_;
    }
    CaptureHeader& header = headers_[static_cast<std::size_t>(next_)];
    if (!header.done.load(std::memory_order_acquire)) {
      ++strayNotices;
      continue;
    }
    const int returnedIndex = next_;
    next_ = (next_ + 1) % kBuffers;
    input_.unprepare(&header);
    requeue((returnedIndex + kBuffers - 1) % kBuffers);
    const std::int16_t* begin = header.data;
    samples.insert(samples.end(), begin, begin + header.bytesRecorded / sizeof(std::int16_t));
    order.push_back(returnedIndex);
    bytes.push_back(header.bytesRecorded);
    arrivals.push_back(std::chrono::steady_clock::now());
    ++returned;
  }
  return returned;
}

bool CaptureRecorder::settle(std::chrono::milliseconds timeout) {
  constexpr std::size_t kSpan = 20;  // 464 ms of buffers
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (pump(1, 200ms) == 0) continue;
    if (arrivals.size() < kSpan) continue;
    const auto span = arrivals.back() - arrivals[arrivals.size() - kSpan];
    if (span > 350ms && span < 600ms) return true;
  }
  return false;
}

MidiStreamHeader headerOf(const MidiEventList& phrase) {
  MidiStreamHeader header;
  header.data = reinterpret_cast<const std::uint8_t*>(phrase.events.data());
  header.bufferLength = header.bytesRecorded =
      static_cast<std::uint32_t>(phrase.count * sizeof(MidiEvent));
  return header;
}

MidiOutStream::DoneFn DoneLog::fn() {
  return [this](MidiStreamHeader* header) {
    std::lock_guard lock(mutex);
    headers.push_back(header);
    times.push_back(std::chrono::steady_clock::now());
    changed.notify_all();
  };
}

bool DoneLog::waitFor(std::size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex);
  return changed.wait_for(lock, timeout, [&] { return headers.size() >= count; });
}

std::size_t DoneLog::count() {
  std::lock_guard lock(mutex);
  return headers.size();
}

HangGuard::HangGuard(std::string what, std::chrono::milliseconds timeout) {
  thread_ = std::thread([this, what = std::move(what), timeout] {
    std::unique_lock lock(mutex_);
    if (done_.wait_for(lock, timeout, [this] { return finished_; })) return;
    std::fprintf(stderr, "HANG: %s did not return within %lld ms\n", what.c_str(),
                 static_cast<long long>(timeout.count()));
    std::_Exit(1);
  });
}

HangGuard::~HangGuard() {
  {
    std::lock_guard lock(mutex_);
    finished_ = true;
  }
  done_.notify_one();
  thread_.join();
}

int inputDeviceNamed(SoundInput& input, const std::string& part) {
  const std::vector<std::string> names = input.deviceNames();
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i].find(part) != std::string::npos) return static_cast<int>(i);
  return -1;
}

int detectedNote(const std::int16_t* window) {
  static PitchDetector detector;
  detector.BuildDetectorTables();
  detector.DetectPitch(window);
  const int index = detector.result().DetectedNote;
  return index == 0 ? 0 : index + 21;
}

double rootMeanSquare(const std::int16_t* samples, std::size_t count) {
  if (count == 0) return 0;
  double sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += static_cast<double>(samples[i]) * samples[i];
  return std::sqrt(sum / static_cast<double>(count));
}

double noteFrequency(int note) {
  return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

namespace {

int fillWithSilence(void* output, void*, unsigned int frames, double, RtAudioStreamStatus, void*) {
  std::memset(output, 0, frames * sizeof(std::int16_t));
  return 0;
}

}  // namespace

SilentPlayback::SilentPlayback() : audio_(std::make_unique<RtAudio>(RtAudio::LINUX_PULSE)) {
  RtAudio::StreamParameters output;
  output.nChannels = 1;
  unsigned int frames = 512;
  // Without a buffer size the server takes two seconds, and the monitor comes in bursts.
  RtAudio::StreamOptions options;
  options.numberOfBuffers = 8;
  try {
    output.deviceId = audio_->getDefaultOutputDevice();
    audio_->openStream(&output, nullptr, RTAUDIO_SINT16, kRate, &frames, &fillWithSilence, nullptr,
                       &options);
    audio_->startStream();
  } catch (const std::exception&) {
    // playing() tells.
  }
}

SilentPlayback::~SilentPlayback() {
  try {
    if (audio_->isStreamOpen()) audio_->closeStream();
  } catch (const std::exception&) {
    // The server went first.
  }
}

JackKeyboard::JackKeyboard(const std::string& client) : port_(RtMidi::UNIX_JACK, client) {
  port_.openVirtualPort("out");
}

void JackKeyboard::strike(int note, int velocity, int channel) {
  const std::array<unsigned char, 3> bytes = {static_cast<unsigned char>(0x90 | channel),
                                              static_cast<unsigned char>(note),
                                              static_cast<unsigned char>(velocity)};
  port_.sendMessage(bytes.data(), bytes.size());
}

}  // namespace auralis::platform::testing
