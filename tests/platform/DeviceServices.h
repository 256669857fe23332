#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <RtAudio.h>
#include <RtMidi.h>

#include "devices/RtAudioSoundInput.h"
#include "input/PitchDetector.h"
#include "output/MidiEvent.h"
#include "platform/MidiOutStream.h"

namespace auralis::platform::testing {

inline constexpr int kRate = 44100;

// A device test needs the servers of tools/with-services.sh. Without them it fails under CI
// and is skipped, saying why, when run by hand.
class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override;
};

// Runs the statements in a process of their own, untouched by whatever the audio libraries keep
// of the servers met before; a failed expectation there fails the test through the exit status.
#define EXPECT_IN_FRESH_PROCESS(statements)               \
  EXPECT_EXIT(                                            \
      {                                                   \
        statements;                                       \
        std::exit(::testing::Test::HasFailure() ? 1 : 0); \
      },                                                  \
      ::testing::ExitedWithCode(0), "")

std::string environment(const char* name);

// Sets an environment variable for the lifetime of the object.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

// A tone with the octave and twelfth a voice or an instrument has; 0 Hz is silence.
std::function<std::int16_t(std::int64_t)> harmonicTone(double frequency, double amplitude = 6000);

// A sung vowel: a fundamental with the falling overtones of a voice, a vibrato of 12 cents at
// 5.5 Hz and a little breath noise; 0 Hz is silence.
std::function<std::int16_t(std::int64_t)> sungTone(double frequency, double amplitude = 6000);

// Writes samples into a pipe source's FIFO in real time, 10 ms at a time, until destroyed or
// until the server that reads it goes away. What the FIFO holds unread when it starts and when
// it stops is thrown away.
class FifoWriter {
 public:
  // Writes blockSamples at a time, each block at its due time: 10 ms blocks by default, or a
  // sound card's period of 1024 samples (23.2 ms) where the rhythm of delivery is measured.
  FifoWriter(const std::string& fifo, std::function<std::int16_t(std::int64_t)> sample,
             std::size_t blockSamples = kRate / 100);
  ~FifoWriter();
  FifoWriter(const FifoWriter&) = delete;
  FifoWriter& operator=(const FifoWriter&) = delete;

  void setSource(std::function<std::int16_t(std::int64_t)> sample);

 private:
  void run(std::string fifo, std::size_t blockSamples);

  std::mutex mutex_;
  std::function<std::int16_t(std::int64_t)> sample_;
  std::atomic<bool> quit_{false};
  std::thread thread_;
};

// A PulseAudio server of the test's own, started by tools/pulse-server.sh, that the test may
// kill.
class PrivatePulseServer {
 public:
  PrivatePulseServer();
  ~PrivatePulseServer();
  PrivatePulseServer(const PrivatePulseServer&) = delete;
  PrivatePulseServer& operator=(const PrivatePulseServer&) = delete;

  // Starts the server and waits until it answers; false when it does not within five seconds.
  bool start();
  void kill();
  std::string address() const { return "unix:" + folder_ + "/native"; }
  std::string fifo() const { return folder_ + "/mic.fifo"; }

 private:
  std::string folder_;
  pid_t pid_ = -1;
};

// A device test whose audio libraries talk to a PulseAudio server of its own, which it may kill.
class PrivatePulseServerTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(server.start()) << "a private PulseAudio server";
    pulse.emplace("PULSE_SERVER", server.address());
  }

  PrivatePulseServer server;
  std::optional<ScopedEnvironment> pulse;
};

// A JACK server of the test's own on the dummy driver, started by tools/jack-server.sh, that the
// test may kill and start again under the same name. Its name comes from the pool of test server
// names that tools/with-services.sh takes its own from, so that a slot in JACK's registry of
// servers left by a killed server is taken again by the next server of that name.
class PrivateJackServer {
 public:
  // Claims the first free name of the pool; name() is empty when none is free.
  PrivateJackServer();
  // Stops the server, so that it leaves the registry, and frees the name. A server killed last
  // is started once more, to take its slot back, and stopped.
  ~PrivateJackServer();
  PrivateJackServer(const PrivateJackServer&) = delete;
  PrivateJackServer& operator=(const PrivateJackServer&) = delete;

  // Starts the server and waits until it answers; false when it does not within five seconds.
  bool start();
  // Ends the server at once, as a crash does.
  void kill();
  const std::string& name() const { return name_; }
  // What the server said since it last started, for a failure message.
  std::string log() const;

 private:
  std::string logFile() const;

  std::string name_;
  int lock_ = -1;
  pid_t pid_ = -1;
  bool killed_ = false;
};

// Keeps a client of a JACK server that has gone for the rest of the run: libjack frees such
// clients as the process opens its next one, so closing it would call into freed memory.
template <class Client>
void keepDeadClient(std::unique_ptr<Client> client) {
  static auto* kept = new std::vector<const void*>;
  kept->push_back(client.release());
}

// Counts what happened on other threads, and waits for it.
struct Signal {
  std::mutex mutex;
  std::condition_variable changed;
  int count = 0;

  void raise();
  bool waitFor(int wanted, std::chrono::milliseconds timeout);
};

// Captures from a SoundInput the way the program does: eight buffers of 1024 samples, seven
// queued, each returned one requeued once the next has come back. The data notices are handled
// on the test's thread, in pump().
class CaptureRecorder {
 public:
  static constexpr int kBuffers = 8;
  static constexpr int kSamples = 1024;

  explicit CaptureRecorder(SoundInput& input);
  ~CaptureRecorder();

  bool open(int device);
  void start() { input_.start(); }
  void stop() { input_.stop(); }
  void close() { input_.close(); }
  // Handles data notices until count more buffers have come back, or the timeout has passed.
  // Returns how many came back.
  int pump(int count, std::chrono::milliseconds timeout);
  // Handles notices until buffers come at the pace of real time: a null sink's monitor stalls
  // for a second or so after its first stream starts, then delivers a burst. False when it does
  // not settle within the timeout.
  bool settle(std::chrono::milliseconds timeout);
  // Handles the notices that have already arrived.
  void drain() { pump(1 << 30, std::chrono::milliseconds(0)); }

  std::vector<std::int16_t> samples;  // every sample returned, in order
  std::vector<int> order;             // the header index of every returned buffer
  std::vector<std::uint32_t> bytes;   // bytesRecorded of every returned buffer
  std::vector<std::chrono::steady_clock::time_point> arrivals;  // when each was handled
  int strayNotices = 0;                                         // notices without a finished buffer

 private:
  void requeue(int index);

  SoundInput& input_;
  std::array<std::array<std::int16_t, kSamples>, kBuffers> data_{};
  std::array<CaptureHeader, kBuffers> headers_;
  int next_ = 0;
  std::mutex mutex_;
  std::condition_variable notified_;
  int pending_ = 0;
};

// A JACK MIDI client of the test's own that plays a keyboard on port "<client>:out".
class JackKeyboard {
 public:
  explicit JackKeyboard(const std::string& client);
  void strike(int note, int velocity, int channel = 0);

 private:
  RtMidiOut port_;
};

// Silence played into the default output of the PulseAudio server for as long as the object
// lives, with a short buffer: a null sink's monitor delivers at the pace of real time only while
// such a stream plays into the sink, whatever else comes and goes.
class SilentPlayback {
 public:
  SilentPlayback();
  ~SilentPlayback();
  SilentPlayback(const SilentPlayback&) = delete;
  SilentPlayback& operator=(const SilentPlayback&) = delete;

  bool playing() const { return audio_->isStreamRunning(); }

 private:
  std::unique_ptr<RtAudio> audio_;
};

// Ends the whole test program, saying what hung, unless destroyed within the timeout: a test
// whose interface thread is stuck in a device call can report nothing else.
class HangGuard {
 public:
  HangGuard(std::string what, std::chrono::milliseconds timeout);
  ~HangGuard();
  HangGuard(const HangGuard&) = delete;
  HangGuard& operator=(const HangGuard&) = delete;

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread thread_;
};

// A phrase as the player hands it to a stream: the list's events behind a header.
MidiStreamHeader headerOf(const MidiEventList& phrase);

// The done notices a stream gives, from whichever thread.
struct DoneLog {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<MidiStreamHeader*> headers;
  std::vector<std::chrono::steady_clock::time_point> times;

  MidiOutStream::DoneFn fn();
  bool waitFor(std::size_t count, std::chrono::milliseconds timeout);
  std::size_t count();
};

// The device number of the input whose name contains part; -1 when there is none.
int inputDeviceNamed(SoundInput& input, const std::string& part);

// The MIDI note the program's pitch detector hears in the 2048 samples from window; 0 for none.
int detectedNote(const std::int16_t* window);

double rootMeanSquare(const std::int16_t* samples, std::size_t count);

// MIDI note number to frequency, A4 = 440 Hz.
double noteFrequency(int note);

}  // namespace auralis::platform::testing
