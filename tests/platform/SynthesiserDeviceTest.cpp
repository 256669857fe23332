#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "DeviceServices.h"
#include "devices/FluidSynthMidiOut.h"
#include "output/MidiEvent.h"

namespace auralis::platform::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class SynthesiserDeviceTest : public DeviceTest {
 protected:
  // Records the null sink's monitor, where everything the synthesiser plays arrives.
  bool listen(CaptureRecorder& recorder, RtAudioSoundInput& input) {
    const int monitor = inputDeviceNamed(input, "Monitor of");
    return monitor >= 0 && recorder.open(monitor);
  }
  // Records from now on, once the monitor delivers at the pace of real time.
  bool listenSettled(CaptureRecorder& recorder, RtAudioSoundInput& input) {
    if (!listen(recorder, input)) return false;
    recorder.start();
    return recorder.settle(8s);
  }
};

// Keeps the recording going (only seven buffers are queued at a time) until the done notices
// have come, or the timeout has passed.
bool recordUntilDone(CaptureRecorder& recorder, DoneLog& done, std::size_t count,
                     std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (done.count() < count && Clock::now() < deadline) recorder.pump(1, 20ms);
  return done.count() >= count;
}

// Start of the first stretch of 10 ms holding sound, in samples from from.
std::optional<std::size_t> onset(const std::vector<std::int16_t>& samples, std::size_t from) {
  constexpr std::size_t kStep = kRate / 100;
  for (std::size_t at = from; at + kStep <= samples.size(); at += kStep / 4)
    if (rootMeanSquare(samples.data() + at, kStep) > 300) return at;
  return std::nullopt;
}

// A4 for 96 ticks, then E5 192 ticks (one second) after A4 began.
MidiEventList aThenE() {
  MidiEventList phrase;
  PushNote(phrase, 69, 0, 0, 100, 96);
  PushNote(phrase, 76, 0, 96, 100, 96);
  return phrase;
}

// The phrase of aThenE() as recorded from `before` on: each note at its pitch, a second apart.
void expectAThenE(const std::vector<std::int16_t>& samples, std::size_t before) {
  const auto first = onset(samples, before);
  ASSERT_TRUE(first) << "nothing reached the null sink";
  const auto second = onset(samples, *first + kRate * 3 / 4);
  ASSERT_TRUE(second);
  // Rendered at exact sample positions: 192 ticks are 44100 frames, give or take the attack.
  EXPECT_NEAR(static_cast<double>(*second - *first), 44100, 0.01 * kRate);
  // The program's own detector hears the notes played, a tenth of a second into each.
  EXPECT_EQ(detectedNote(samples.data() + *first + kRate / 10), 69) << "A4";
  EXPECT_EQ(detectedNote(samples.data() + *second + kRate / 10), 76) << "E5";
}

TEST_F(SynthesiserDeviceTest, NotesSoundAtTheirPitchAndTheirExactTimesThenTheDoneNoticeComes) {
  FluidSynthMidiOut synthesiser;
  DoneLog done;
  ASSERT_EQ(synthesiser.open(kDefaultMidiDevice, done.fn()), kMidiOk);
  ASSERT_TRUE(synthesiser.soundFontLoaded());
  ASSERT_EQ(synthesiser.setTimeDivision(96), kMidiOk);
  EXPECT_EQ(synthesiser.deviceName(kDefaultMidiDevice), "Built-in synthesiser");

  RtAudioSoundInput input;
  CaptureRecorder recorder(input);
  ASSERT_TRUE(listenSettled(recorder, input))
      << "the monitor delivers while the stream plays silence";

  const MidiEventList phrase = aThenE();
  MidiStreamHeader header = headerOf(phrase);
  const std::size_t before = recorder.samples.size();
  const Clock::time_point queued = Clock::now();
  ASSERT_EQ(synthesiser.out(&header), kMidiOk);
  EXPECT_NE(synthesiser.out(&header), kMidiOk) << "one phrase at a time";

  ASSERT_TRUE(recordUntilDone(recorder, done, 1, 3s));
  EXPECT_EQ(done.headers[0], &header);
  // 288 ticks are 1.5 s; the notice follows the last event.
  EXPECT_GE(done.times[0] - queued, 1500ms);
  EXPECT_LT(done.times[0] - queued, 2500ms);
  recorder.pump(40, 2s);
  expectAThenE(recorder.samples, before);
  EXPECT_EQ(synthesiser.stop(), kMidiOk);
}

TEST_F(SynthesiserDeviceTest, StopDuringAPhraseSilencesItWithoutADoneNotice) {
  FluidSynthMidiOut synthesiser;
  DoneLog done;
  ASSERT_EQ(synthesiser.open(kDefaultMidiDevice, done.fn()), kMidiOk);
  RtAudioSoundInput input;
  CaptureRecorder recorder(input);
  ASSERT_TRUE(listenSettled(recorder, input));

  // Three notes held for ten seconds.
  MidiEventList chord;
  for (int note : {60, 64, 67}) PushNoteOn(chord, note, 0, 0, 110);
  PushNoteOff(chord, 60, 0, 1920);
  PushNoteOff(chord, 64, 0, 0);
  PushNoteOff(chord, 67, 0, 0);
  MidiStreamHeader header = headerOf(chord);
  const std::size_t before = recorder.samples.size();
  ASSERT_EQ(synthesiser.out(&header), kMidiOk);
  recorder.pump(40, 2s);
  ASSERT_TRUE(onset(recorder.samples, before)) << "the chord never sounded";

  synthesiser.stop();
  const std::size_t stopped = recorder.samples.size();
  recorder.pump(70, 3s);
  // The release is over well within the second after the stop.
  const std::size_t quiet = stopped + kRate;
  ASSERT_GT(recorder.samples.size(), quiet + kRate / 2);
  EXPECT_LT(rootMeanSquare(recorder.samples.data() + quiet, kRate / 2), 30);
  EXPECT_EQ(done.count(), 0u);

  // The stream plays the next phrase as usual.
  MidiEventList next;
  PushNote(next, 72, 0, 0, 100, 30);
  MidiStreamHeader nextHeader = headerOf(next);
  ASSERT_EQ(synthesiser.out(&nextHeader), kMidiOk);
  EXPECT_TRUE(done.waitFor(1, 2s));
}

TEST_F(SynthesiserDeviceTest, AfterAPauseTheNextPhraseSoundsWholeWhetherTheOutputClosedOrNot) {
  SilentPlayback others;
  ASSERT_TRUE(others.playing()) << "the monitor needs something playing throughout";
  FluidSynthMidiOut synthesiser;
  DoneLog done;
  ASSERT_EQ(synthesiser.open(kDefaultMidiDevice, done.fn()), kMidiOk);
  ASSERT_EQ(synthesiser.setTimeDivision(96), kMidiOk);
  EXPECT_TRUE(synthesiser.outputOpen());
  RtAudioSoundInput input;
  CaptureRecorder recorder(input);
  ASSERT_TRUE(listenSettled(recorder, input));

  for (int note : {69, 76}) {
    SCOPED_TRACE(::testing::Message() << "note " << note);
    const auto deadline = Clock::now() + 5s;
    while (synthesiser.outputOpen() && Clock::now() < deadline) recorder.pump(1, 20ms);
    ASSERT_FALSE(synthesiser.outputOpen()) << "closed after two seconds of quiet";

    MidiEventList phrase;
    PushNote(phrase, note, 0, 0, 100, 96);
    MidiStreamHeader header = headerOf(phrase);
    const std::size_t before = recorder.samples.size();
    const std::size_t doneBefore = done.count();
    const Clock::time_point queued = Clock::now();
    ASSERT_EQ(synthesiser.out(&header), kMidiOk);
    EXPECT_TRUE(synthesiser.outputOpen());
    ASSERT_TRUE(recordUntilDone(recorder, done, doneBefore + 1, 4s));
    // Half a second of note and the release; a phrase left in a stopped stream would only end
    // at the stall margin's deadline, two seconds later.
    EXPECT_LT(done.times.back() - queued, 1500ms);
    recorder.pump(20, 1s);
    const auto first = onset(recorder.samples, before);
    ASSERT_TRUE(first) << "nothing reached the null sink";
    EXPECT_EQ(detectedNote(recorder.samples.data() + *first + kRate / 10), note);
  }

  // Before the output closes: once the last notes have died away, and then at once after that
  // phrase's end, as its notes fade from hearing though their voices still sound. Each time the
  // running output drops what it has queued and starts again at the phrase, which must sound
  // whole.
  const MidiEventList phrase = aThenE();
  std::vector<std::size_t> starts;
  for (const std::chrono::milliseconds gap : {1200ms, 400ms}) {
    const auto until = Clock::now() + gap;
    while (Clock::now() < until) recorder.pump(1, 20ms);
    ASSERT_TRUE(synthesiser.outputOpen());
    MidiStreamHeader header = headerOf(phrase);
    starts.push_back(recorder.samples.size());
    const std::size_t doneBefore = done.count();
    ASSERT_EQ(synthesiser.out(&header), kMidiOk);
    ASSERT_TRUE(recordUntilDone(recorder, done, doneBefore + 1, 3s));
  }
  recorder.pump(40, 2s);
  for (const std::size_t start : starts) {
    SCOPED_TRACE(::testing::Message() << "the phrase from sample " << start);
    expectAThenE(recorder.samples, start);
  }
}

TEST_F(SynthesiserDeviceTest, PhrasesQueuedAsTheOutputClosesForQuietAllPlayToTheirEnd) {
  FluidSynthMidiOut synthesiser;
  DoneLog done;
  ASSERT_EQ(synthesiser.open(kDefaultMidiDevice, done.fn()), kMidiOk);
  ASSERT_EQ(synthesiser.setTimeDivision(96), kMidiOk);
  MidiEventList phrase;
  PushNote(phrase, 72, 0, 0, 100, 10);
  MidiStreamHeader header = headerOf(phrase);

  // Around the moment the output stops itself, two seconds after the last release.
  for (std::chrono::milliseconds gap = 1800ms; gap <= 2400ms; gap += 100ms) {
    SCOPED_TRACE(::testing::Message() << "after " << gap.count() << " ms");
    std::this_thread::sleep_for(gap);
    const std::size_t doneBefore = done.count();
    const Clock::time_point queued = Clock::now();
    ASSERT_EQ(synthesiser.out(&header), kMidiOk);
    ASSERT_TRUE(done.waitFor(doneBefore + 1, 4s));
    // A phrase that waited in a stopped stream would end only at the stall margin's deadline.
    EXPECT_LT(done.times.back() - queued, 1500ms);
  }
}

TEST_F(SynthesiserDeviceTest, WithoutASoundFontTheStreamKeepsTimeSilently) {
  FluidSynthMidiOut synthesiser({"/nonexistent/none.sf2"});
  DoneLog done;
  ASSERT_EQ(synthesiser.open(kDefaultMidiDevice, done.fn()), kMidiOk);
  EXPECT_FALSE(synthesiser.soundFontLoaded());
  RtAudioSoundInput input;
  CaptureRecorder recorder(input);
  ASSERT_TRUE(listenSettled(recorder, input));

  MidiEventList phrase;
  PushNote(phrase, 60, 0, 0, 120, 96);
  MidiStreamHeader header = headerOf(phrase);
  const std::size_t before = recorder.samples.size();
  const Clock::time_point queued = Clock::now();
  ASSERT_EQ(synthesiser.out(&header), kMidiOk);
  ASSERT_TRUE(recordUntilDone(recorder, done, 1, 3s));
  EXPECT_GE(done.times[0] - queued, 500ms);
  recorder.pump(10, 1s);
  EXPECT_FALSE(onset(recorder.samples, before));
}

TEST_F(SynthesiserDeviceTest, WithoutAnyAudioOutputOpenFailsCleanly) {
  EXPECT_IN_FRESH_PROCESS({
    const ScopedEnvironment noPulse("PULSE_SERVER", "unix:/nonexistent/native");
    const ScopedEnvironment noJack("JACK_DEFAULT_SERVER", "auralis-nonexistent");
    FluidSynthMidiOut synthesiser;
    EXPECT_NE(synthesiser.open(kDefaultMidiDevice, [](MidiStreamHeader*) {}), kMidiOk);
    MidiEventList phrase;
    PushNote(phrase, 60, 0, 0, 100, 30);
    MidiStreamHeader header = headerOf(phrase);
    EXPECT_NE(synthesiser.out(&header), kMidiOk);
    EXPECT_EQ(synthesiser.close(), kMidiOk);
  });
}

// Without its module the synthesiser cannot play: open fails, says why, and nothing plays, as
// when there is no audio output at all.
TEST_F(SynthesiserDeviceTest, WithoutItsModuleOpenFailsAndSaysWhy) {
  struct Case {
    std::string module;
    std::string said;
  };
  const std::vector<Case> cases = {
      {"/nonexistent/auralis-synth.so", "/nonexistent/auralis-synth.so"},
      // A library that loads but is no synthesiser.
      {"libm.so.6", "has no auralis_make_synth_voices"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.module);
    FluidSynthMidiOut synthesiser(FluidSynthMidiOut::standardSoundFonts(), c.module);
    EXPECT_NE(synthesiser.open(kDefaultMidiDevice, [](MidiStreamHeader*) {}), kMidiOk);
    const std::string said = synthesiser.openError();
    EXPECT_TRUE(said.starts_with("The built-in synthesiser could not be loaded: ")) << said;
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    EXPECT_FALSE(synthesiser.outputOpen());
    MidiEventList phrase;
    PushNote(phrase, 60, 0, 0, 100, 30);
    MidiStreamHeader header = headerOf(phrase);
    EXPECT_NE(synthesiser.out(&header), kMidiOk);
    EXPECT_NE(synthesiser.reconnect(), kMidiOk);
    EXPECT_EQ(synthesiser.close(), kMidiOk);
  }
}

// The module is found where it was built and beside the installed program alike; found, it
// leaves no error behind.
TEST_F(SynthesiserDeviceTest, TheStandardModuleLoadsAndLeavesNoError) {
  const std::string module = FluidSynthMidiOut::standardModulePath();
  EXPECT_TRUE(std::filesystem::is_regular_file(module)) << module;
  FluidSynthMidiOut synthesiser;
  ASSERT_EQ(synthesiser.open(kDefaultMidiDevice, [](MidiStreamHeader*) {}), kMidiOk);
  EXPECT_TRUE(synthesiser.soundFontLoaded());
  EXPECT_EQ(synthesiser.openError(), "");
  EXPECT_EQ(synthesiser.close(), kMidiOk);
}

}  // namespace
}  // namespace auralis::platform::testing
