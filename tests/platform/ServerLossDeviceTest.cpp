#include <gtest/gtest.h>

#include <optional>

#include "DeviceServices.h"
#include "WaveBuilder.h"
#include "devices/FluidSynthMidiOut.h"
#include "devices/RtAudioFeedbackSoundPlayer.h"
#include "devices/RtAudioSoundInput.h"
#include "output/MidiEvent.h"

namespace auralis::platform::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// Each test talks to a PulseAudio server of its own, so that it may kill it.
using ServerLossDeviceTest = PrivatePulseServerTest;

// Capture from the default input of the test's own server, told when the device is lost.
class CaptureLossTest : public ServerLossDeviceTest {
 protected:
  void SetUp() override {
    ServerLossDeviceTest::SetUp();
    input.setDeviceLostFn([this] { lost.raise(); });
  }

  // Opens and starts capture, and hears five buffers.
  void startCapture(CaptureRecorder& recorder) {
    ASSERT_TRUE(recorder.open(kDefaultSoundInput));
    recorder.start();
    ASSERT_EQ(recorder.pump(5, 2s), 5);
  }

  // A new server at the same address, and a fresh open of its default input: it hears C#5, and
  // stop and start go on capturing from the same open device.
  void expectCaptureOnANewServer() {
    ASSERT_TRUE(server.start());
    FifoWriter singer(server.fifo(), harmonicTone(noteFrequency(73)));
    CaptureRecorder recorder(input);
    const HangGuard guard("capture on the new server", 10s);
    ASSERT_TRUE(recorder.open(kDefaultSoundInput));
    recorder.start();
    ASSERT_EQ(recorder.pump(10, 2s), 10);
    const std::int16_t* tail = recorder.samples.data() + recorder.samples.size() - kWindowSamples;
    EXPECT_EQ(detectedNote(tail), 73) << "C#5";
    recorder.stop();
    recorder.start();
    EXPECT_EQ(recorder.pump(10, 2s), 10);
    recorder.stop();
    recorder.close();
  }

  RtAudioSoundInput input;
  Signal lost;
};

TEST_F(CaptureLossTest, CaptureReportsTheServerGoneAndAFreshOpenWorksOnceItIsBack) {
  {
    FifoWriter singer(server.fifo(), harmonicTone(noteFrequency(69)));
    CaptureRecorder recorder(input);
    ASSERT_NO_FATAL_FAILURE(startCapture(recorder));

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

  ASSERT_NO_FATAL_FAILURE(expectCaptureOnANewServer());
  EXPECT_EQ(lost.count, 1);
}

TEST_F(CaptureLossTest, AServerGoneWhileCaptureIsOffIsToldAtTheNextStart) {
  {
    FifoWriter singer(server.fifo(), harmonicTone(noteFrequency(69)));
    CaptureRecorder recorder(input);
    ASSERT_NO_FATAL_FAILURE(startCapture(recorder));
    recorder.stop();
    server.kill();
    std::this_thread::sleep_for(200ms);

    const HangGuard guard("starting and closing capture after the server went", 5s);
    recorder.drain();
    const std::size_t returned = recorder.order.size();
    recorder.start();
    EXPECT_TRUE(lost.waitFor(1, 2s)) << "the lost notice, at the start";
    EXPECT_EQ(recorder.pump(1, 300ms), 0) << "nothing is captured";
    EXPECT_EQ(recorder.order.size(), returned);
    recorder.close();
    EXPECT_FALSE(input.isOpen());
  }

  ASSERT_NO_FATAL_FAILURE(expectCaptureOnANewServer());
  EXPECT_EQ(lost.count, 1);
}

TEST_F(CaptureLossTest, ALostDeviceReconnectsWithItsQueueOnceTheServerIsBack) {
  // Declared first, so that capture is closed while the pipe still delivers.
  std::optional<FifoWriter> singer(std::in_place, server.fifo(), harmonicTone(noteFrequency(69)));
  CaptureRecorder recorder(input);
  ASSERT_NO_FATAL_FAILURE(startCapture(recorder));
  server.kill();
  ASSERT_TRUE(lost.waitFor(1, 2s)) << "the lost notice";
  singer.reset();
  const HangGuard guard("reconnecting capture", 20s);
  recorder.drain();
  EXPECT_FALSE(input.reconnect()) << "nothing to reach while the server is gone";

  ASSERT_TRUE(server.start());
  singer.emplace(server.fifo(), harmonicTone(noteFrequency(73)));
  ASSERT_TRUE(input.reconnect());
  EXPECT_TRUE(input.isOpen());
  recorder.start();
  const std::size_t before = recorder.order.size();
  ASSERT_EQ(recorder.pump(10, 3s), 10) << "the same queue fills again";
  for (std::size_t i = before; i < recorder.order.size(); ++i)
    EXPECT_EQ(recorder.order[i], (recorder.order[i - 1] + 1) % CaptureRecorder::kBuffers)
        << "buffers come back in queue order";
  const std::int16_t* tail = recorder.samples.data() + recorder.samples.size() - kWindowSamples;
  EXPECT_EQ(detectedNote(tail), 73) << "C#5, from the new server";
  recorder.stop();
  recorder.close();
  EXPECT_EQ(lost.count, 1);
}

TEST_F(ServerLossDeviceTest, TheSynthesiserToldOfItsLossPlaysAgainAfterReconnect) {
  Signal lost;
  DoneLog done;
  FluidSynthMidiOut synthesiser;
  synthesiser.setDeviceLostFn([&lost] { lost.raise(); });
  ASSERT_EQ(synthesiser.open(kDefaultMidiDevice, done.fn()), kMidiOk);
  EXPECT_EQ(synthesiser.reconnect(), kMidiOk) << "an output never lost needs nothing";

  server.kill();
  ASSERT_TRUE(lost.waitFor(1, 3s)) << "the lost notice, with nothing playing";
  MidiEventList phrase;
  PushNote(phrase, 60, 0, 0, 100, 30);
  MidiStreamHeader header = headerOf(phrase);
  EXPECT_NE(synthesiser.out(&header), kMidiOk);
  const HangGuard guard("reconnecting the synthesiser", 20s);
  EXPECT_NE(synthesiser.reconnect(), kMidiOk) << "the server is still gone";
  EXPECT_NE(synthesiser.reconnect(), kMidiOk) << "and tried again";

  ASSERT_TRUE(server.start());
  ASSERT_EQ(synthesiser.reconnect(), kMidiOk);
  ASSERT_EQ(synthesiser.out(&header), kMidiOk);
  EXPECT_TRUE(done.waitFor(1, 3s)) << "the phrase plays to its done notice, as given at the open";
  EXPECT_EQ(lost.count, 1);
  EXPECT_EQ(synthesiser.close(), kMidiOk);
  EXPECT_NE(synthesiser.reconnect(), kMidiOk) << "a closed output is not reopened";
}

TEST_F(ServerLossDeviceTest, AnOutputClosedForQuietFindsTheServerGoneAtTheNextPhrase) {
  Signal lost;
  DoneLog done;
  FluidSynthMidiOut synthesiser;
  synthesiser.setDeviceLostFn([&lost] { lost.raise(); });
  ASSERT_EQ(synthesiser.open(kDefaultMidiDevice, done.fn()), kMidiOk);
  const auto deadline = Clock::now() + 5s;
  while (synthesiser.outputOpen() && Clock::now() < deadline) std::this_thread::sleep_for(20ms);
  ASSERT_FALSE(synthesiser.outputOpen()) << "closed after two seconds of quiet";

  server.kill();
  MidiEventList phrase;
  PushNote(phrase, 60, 0, 0, 100, 30);
  MidiStreamHeader header = headerOf(phrase);
  const HangGuard guard("the synthesiser on a server that went while it was closed", 20s);
  EXPECT_NE(synthesiser.out(&header), kMidiOk);
  ASSERT_TRUE(lost.waitFor(1, 3s)) << "the phrase that found the server gone tells of the loss";
  EXPECT_EQ(done.count(), 0u) << "a refused phrase gives no done notice";
  EXPECT_NE(synthesiser.reconnect(), kMidiOk) << "the server is still gone";

  ASSERT_TRUE(server.start());
  ASSERT_EQ(synthesiser.reconnect(), kMidiOk);
  ASSERT_EQ(synthesiser.out(&header), kMidiOk);
  EXPECT_TRUE(done.waitFor(1, 3s));
  EXPECT_EQ(lost.count, 1);
}

TEST_F(ServerLossDeviceTest, PlaybackEndsItsPhraseAtOnceWhenTheServerGoes) {
  FluidSynthMidiOut synthesiser;
  DoneLog done;
  ASSERT_EQ(synthesiser.open(kDefaultMidiDevice, done.fn()), kMidiOk);
  synthesiser.setTimeDivision(96);

  // Thirty seconds of one note.
  MidiEventList phrase;
  PushNote(phrase, 60, 0, 0, 100, 96 * 60);
  MidiStreamHeader header = headerOf(phrase);
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
  ASSERT_EQ(synthesiser.open(kDefaultMidiDevice, done.fn()), kMidiOk);
  MidiEventList shortPhrase;
  PushNote(shortPhrase, 60, 0, 0, 100, 30);
  header = headerOf(shortPhrase);
  ASSERT_EQ(synthesiser.out(&header), kMidiOk);
  EXPECT_TRUE(done.waitFor(2, 4s));
}

TEST_F(ServerLossDeviceTest, FeedbackSoundsPlayForTheirLengthAndNeverLonger) {
  RtAudioFeedbackSoundPlayer player;
  // Half a second of silence.
  const std::vector<std::uint8_t> wave =
      WaveBuilder().format(1, 1, 22050, 16).samples(std::vector<std::int16_t>(22050 / 2)).file();

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

  // The player keeps its connection between sounds: once the server is back it connects again,
  // and the sound plays for its length instead of ending at once.
  ASSERT_TRUE(server.start());
  start = Clock::now();
  player.playSync(wave.data(), wave.size());
  EXPECT_GE(Clock::now() - start, 500ms);
  EXPECT_LT(Clock::now() - start, 500ms + RtAudioFeedbackSoundPlayer::kMargin + 300ms);
}

}  // namespace
}  // namespace auralis::platform::testing
