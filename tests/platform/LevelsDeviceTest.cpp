#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DeviceServices.h"
#include "WaveBuilder.h"
#include "devices/FluidSynthMidiOut.h"
#include "devices/RtAudioFeedbackSoundPlayer.h"
#include "output/MidiEvent.h"
#include "platform/WaveData.h"
#include "tools/make-sounds/SoundingLevel.h"

// How loud the built-in synthesiser's questions and the feedback sounds reach the speakers,
// recorded from the null sink's monitor. Each measurement is printed.

namespace auralis::platform::testing {
namespace {

using namespace std::chrono_literals;

constexpr double kFullScale = 32768.0;
constexpr int kDefaultVelocity = 80;  // the MIDI Out volume the program starts with
constexpr int kHighestVelocity = 120;
constexpr std::chrono::milliseconds kLeadIn{300};

// Shares of full scale.
struct Level {
  double rms = 0;
  double peak = 0;
};

double dbfs(double share) {
  return 20 * std::log10(share);
}

Level levelOf(const std::vector<std::int16_t>& samples, std::size_t from) {
  const std::span<const std::int16_t> recorded(samples.data() + from, samples.size() - from);
  Level level;
  level.rms = soundingRms(recorded) / kFullScale;
  for (std::int16_t sample : recorded)
    level.peak = std::max(level.peak, std::abs(sample) / kFullScale);
  return level;
}

std::vector<std::uint8_t> soundFile(const char* name) {
  std::ifstream file(std::filesystem::path(AURALIS_RESOURCES_DIR) / "sounds" / name,
                     std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

// Plays into the null sink and records its monitor, where the speakers would be.
class LevelsDeviceTest : public DeviceTest {
 protected:
  void SetUp() override {
    DeviceTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_EQ(synthesiser_.open(kDefaultMidiDevice, done_.fn()), kMidiOk);
    ASSERT_TRUE(synthesiser_.soundFontLoaded());
    ASSERT_EQ(synthesiser_.setTimeDivision(96), kMidiOk);
    const int monitor = inputDeviceNamed(input_, "Monitor of");
    ASSERT_TRUE(monitor >= 0 && recorder_.open(monitor));
    recorder_.start();
    ASSERT_TRUE(recorder_.settle(8s)) << "the monitor delivers while the stream plays silence";
  }

  // Notes struck together at one velocity for 30 ticks, as a question plays them.
  Level phraseLevel(const std::vector<int>& notes, int velocity) {
    MidiEventList phrase;
    for (int note : notes) PushNoteOn(phrase, note, 0, 0, velocity);
    for (std::size_t i = 0; i < notes.size(); ++i)
      PushNoteOff(phrase, notes[i], 0, i == 0 ? 30 : 0);
    MidiStreamHeader header = headerOf(phrase);
    const std::size_t count = done_.count();
    const std::size_t before = recorder_.samples.size();
    EXPECT_EQ(synthesiser_.out(&header), kMidiOk);
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (done_.count() == count && std::chrono::steady_clock::now() < deadline)
      recorder_.pump(1, 20ms);
    EXPECT_GT(done_.count(), count) << "the phrase ended";
    recorder_.pump(20, 1s);
    return levelOf(recorder_.samples, before);
  }

  // The sound played as the window plays it, while this thread keeps the recording going. The
  // monitor misses the start of a stream that joins the sink, up to all of the shortest sound, so
  // the sound is played after a stretch of silence of its own.
  Level soundLevel(const char* name) {
    const std::vector<std::uint8_t> file = soundFile(name);
    const std::optional<WaveSound> sound = parseWave(file.data(), file.size());
    EXPECT_TRUE(sound) << name;
    if (!sound) return {};
    std::vector<std::int16_t> samples(
        static_cast<std::size_t>(sound->sampleRate * sound->channels) * kLeadIn.count() / 1000);
    samples.insert(samples.end(), sound->samples.begin(), sound->samples.end());
    const std::vector<std::uint8_t> wave =
        WaveBuilder().format(1, sound->channels, sound->sampleRate, 16).samples(samples).file();
    const std::size_t before = recorder_.samples.size();
    std::atomic<bool> played{false};
    std::thread speaker([&] {
      RtAudioFeedbackSoundPlayer player;
      player.playSync(wave.data(), wave.size());
      played = true;
    });
    while (!played) recorder_.pump(1, 20ms);
    speaker.join();
    recorder_.pump(20, 1s);
    return levelOf(recorder_.samples, before);
  }

  FluidSynthMidiOut synthesiser_;
  DoneLog done_;
  RtAudioSoundInput input_;
  CaptureRecorder recorder_{input_};
};

void report(const std::string& what, const Level& level) {
  std::printf("[ level    ] %-22s sounding RMS %6.1f dBFS, peak %6.1f dBFS\n", what.c_str(),
              dbfs(level.rms), dbfs(level.peak));
}

std::string notesText(const std::vector<int>& notes, int velocity) {
  std::ostringstream text;
  text << "MIDI";
  for (int note : notes) text << ' ' << note;
  text << " v" << velocity;
  return text.str();
}

TEST_F(LevelsDeviceTest, FeedbackSoundsSitWithinSixDecibelsOfTheQuestionNotesAtTheDefaultVolume) {
  // Single notes across the octaves most levels ask; they differ by a few decibels themselves.
  std::vector<double> notes;
  for (int note : {36, 48, 60, 72, 84, 96}) {
    const Level level = phraseLevel({note}, kDefaultVelocity);
    report(notesText({note}, kDefaultVelocity), level);
    notes.push_back(dbfs(level.rms));
  }
  for (const char* sound : {"correct.wav", "incorrect.wav", "promote.wav", "demote.wav"}) {
    const Level level = soundLevel(sound);
    report(sound, level);
    for (double note : notes) EXPECT_NEAR(dbfs(level.rms), note, 6.0) << sound;
  }
}

TEST_F(LevelsDeviceTest, ThreeNoteChordsAtTheHighestVolumeStayBelowFullScale) {
  // Chords low, in the middle and in the loudest octave of the synthesiser's piano.
  const std::vector<std::vector<int>> chords = {{36, 40, 43}, {48, 52, 55}, {60, 64, 67},
                                                {84, 88, 91}, {84, 89, 93}, {96, 100, 103}};
  for (const std::vector<int>& chord : chords) {
    const Level level = phraseLevel(chord, kHighestVelocity);
    report(notesText(chord, kHighestVelocity), level);
    EXPECT_LT(dbfs(level.peak), -1.0) << notesText(chord, kHighestVelocity);
  }
}

}  // namespace
}  // namespace auralis::platform::testing
