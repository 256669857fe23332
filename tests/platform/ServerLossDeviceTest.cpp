#include <gtest/gtest.h>

#include "DeviceServices.h"
#include "output/MidiEvent.h"
#include "platform/FluidSynthMidiOut.h"
#include "platform/RtAudioFeedbackSoundPlayer.h"
#include "platform/RtAudioSoundInput.h"

namespace auralis::platform::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Each test talks to a PulseAudio server of its own, so that it may kill it.
class ServerLossDeviceTest : public DeviceTest {
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

struct Signal {
  std::mutex mutex;
  std::condition_variable changed;
  int count = 0;

  void raise() {
    std::lock_guard lock(mutex);
    ++count;
    changed.notify_all();
  }
  bool waitFor(int wanted, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, timeout, [&] { return count >= wanted; });
  }
};

TEST_F(ServerLossDeviceTest, CaptureReportsTheServerGoneAndAFreshOpenWorksOnceItIsBack) {
  RtAudioSoundInput input;
  Signal lost;
  input.setDeviceLostFn([&] { lost.raise(); });
  {
    FifoWriter singer(server.fifo(), harmonicTone(noteFrequency(69)));
    CaptureRecorder recorder(input);
    ASSERT_TRUE(recorder.open(kDefaultSoundInput));
    recorder.start();
    ASSERT_EQ(recorder.pump(5, 2s), 5);

    server.kill();
    EXPECT_TRUE(lost.waitFor(1, 2s)) << "the lost notice";
    recorder.drain();
    const std::size_t returned = recorder.order.size();
    // The stream has ended: no more buffers, no stray notices, and stop and close still work.
    std::this_thread::sleep_for(200ms);
    recorder.drain();
    EXPECT_LE(recorder.order.size(), returned + 1);
    EXPECT_EQ(recorder.strayNotices, 0);
    recorder.stop();
    recorder.start();
    recorder.close();
    EXPECT_FALSE(input.isOpen());
    EXPECT_EQ(lost.count, 1);
  }

  ASSERT_TRUE(server.start());
  FifoWriter singer(server.fifo(), harmonicTone(noteFrequency(73)));
  CaptureRecorder recorder(input);
  ASSERT_TRUE(recorder.open(kDefaultSoundInput));
  recorder.start();
  ASSERT_EQ(recorder.pump(10, 2s), 10);
  const std::int16_t* tail = recorder.samples.data() + recorder.samples.size() - kWindowSamples;
  EXPECT_EQ(detectedNote(tail), 73) << "C#5";
  EXPECT_EQ(lost.count, 1);
}

TEST_F(ServerLossDeviceTest, PlaybackEndsItsPhraseAtOnceWhenTheServerGoes) {
  FluidSynthMidiOut synthesiser;
  Signal done;
  ASSERT_EQ(synthesiser.open(kDefaultMidiDevice, [&](MidiStreamHeader*) { done.raise(); }),
            kMidiOk);
  synthesiser.setTimeDivision(96);

  // Thirty seconds of one note.
  MidiEventList phrase;
  PushNote(phrase, 60, 0, 0, 100, 96 * 60);
  MidiStreamHeader header;
  header.data = reinterpret_cast<const std::uint8_t*>(phrase.events.data());
  header.bufferLength = header.bytesRecorded =
      static_cast<std::uint32_t>(phrase.count * sizeof(MidiEvent));
  ASSERT_EQ(synthesiser.out(&header), kMidiOk);
  std::this_thread::sleep_for(300ms);

  const Clock::time_point killed = Clock::now();
  server.kill();
  ASSERT_TRUE(done.waitFor(1, 3s)) << "the player must not wait for ever";
  EXPECT_LT(Clock::now() - killed, 3s);
  EXPECT_NE(synthesiser.out(&header), kMidiOk) << "a dead output takes no phrase";
  EXPECT_EQ(synthesiser.close(), kMidiOk);

  // Once the server is back, a new open plays again.
  ASSERT_TRUE(server.start());
  ASSERT_EQ(synthesiser.open(kDefaultMidiDevice, [&](MidiStreamHeader*) { done.raise(); }),
            kMidiOk);
  MidiEventList shortPhrase;
  PushNote(shortPhrase, 60, 0, 0, 100, 30);
  header.data = reinterpret_cast<const std::uint8_t*>(shortPhrase.events.data());
  header.bufferLength = header.bytesRecorded =
      static_cast<std::uint32_t>(shortPhrase.count * sizeof(MidiEvent));
  ASSERT_EQ(synthesiser.out(&header), kMidiOk);
  EXPECT_TRUE(done.waitFor(2, 4s));
}

// A mono RIFF WAVE file of silence.
std::vector<std::uint8_t> silentWave(int rate, int frames) {
  const std::uint32_t dataBytes = static_cast<std::uint32_t>(frames) * 2;
  std::vector<std::uint8_t> bytes;
  auto text = [&](const char* t) { bytes.insert(bytes.end(), t, t + 4); };
  auto word = [&](std::uint32_t v, int size) {
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
  };
  text("RIFF");
  word(36 + dataBytes, 4);
  text("WAVE");
  text("fmt ");
  word(16, 4);
  word(1, 2);
  word(1, 2);
  word(static_cast<std::uint32_t>(rate), 4);
  word(static_cast<std::uint32_t>(rate) * 2, 4);
  word(2, 2);
  word(16, 2);
  text("data");
  word(dataBytes, 4);
  bytes.resize(bytes.size() + dataBytes, 0);
  return bytes;
}

TEST_F(ServerLossDeviceTest, FeedbackSoundsPlayForTheirLengthAndNeverLonger) {
  RtAudioFeedbackSoundPlayer player;
  const std::vector<std::uint8_t> wave = silentWave(22050, 22050 / 2);

  Clock::time_point start = Clock::now();
  player.playSync(wave.data(), wave.size());
  EXPECT_GE(Clock::now() - start, 500ms);
  EXPECT_LT(Clock::now() - start, 500ms + RtAudioFeedbackSoundPlayer::kMargin + 300ms);

  // Killed while it plays: it still returns in time.
  std::thread killer([this] {
    std::this_thread::sleep_for(150ms);
    server.kill();
  });
  start = Clock::now();
  player.playSync(wave.data(), wave.size());
  killer.join();
  EXPECT_LT(Clock::now() - start, 500ms + RtAudioFeedbackSoundPlayer::kMargin + 300ms);

  // With no output at all, or a file that is no sound, it returns at once.
  const ScopedEnvironment noJack("JACK_DEFAULT_SERVER", "auralis-nonexistent");
  start = Clock::now();
  player.playSync(wave.data(), wave.size());
  const std::vector<std::uint8_t> garbage(100, 0x55);
  player.playSync(garbage.data(), garbage.size());
  EXPECT_LT(Clock::now() - start, 300ms);
}

}  // namespace
}  // namespace auralis::platform::testing
