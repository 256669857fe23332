#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "input/PitchEstimate.h"
#include "input/PitchHistory.h"
#include "tests/input/SungVoices.h"

namespace auralis {
namespace {

using Sound = std::vector<std::int16_t>;

constexpr double kFrameSeconds = kBufferSamples / signals::kRate;

// A frame analysed through the capture path, with the time at the middle of its window.
struct Frame {
  double seconds;
  std::optional<SungPitch> pitch;
};

class PitchEstimateTest : public testing::Test {
 protected:
  void SetUp() override { detector.BuildDetectorTables(); }

  std::vector<Frame> framesOf(const Sound& sound) {
    detector.resetBuffersSinceStart();
    std::vector<Frame> frames;
    for (std::size_t start = 0; start + kBufferSamples <= sound.size(); start += kBufferSamples) {
      detector.ProcessCaptureBuffer(sound.data() + start);
      if (start == 0) continue;  // the first buffer after a start is only stored
      frames.push_back(
          {static_cast<double>(start) / signals::kRate, estimateLatestPitch(detector)});
    }
    return frames;
  }

  PitchDetector detector;
};

Sound steadyVoice(int midiNote, double cents, const std::vector<double>& harmonics) {
  signals::Tone tone;
  tone.frequency = signals::detune(signals::noteHz(midiNote - 21), cents);
  tone.amplitude = 4000.0;
  tone.harmonics = harmonics;
  return signals::harmonicTone(tone, 8 * kBufferSamples);
}

TEST_F(PitchEstimateTest, DetectorKeepsTheSubBandMagnitudesOfTheDetectedNote) {
  const Sound sound = steadyVoice(57, 20.0, {1.0, 0.6, 0.45, 0.3, 0.2});
  detector.DetectPitch(sound.data());
  const int note = detector.result().DetectedNote;
  ASSERT_EQ(note, 36);
  for (int j = 0; j < kSubBands; ++j)
    EXPECT_FLOAT_EQ(detector.subBandMagnitude(note, j),
                    static_cast<float>(detector.BandMagnitude(sound.data(), note, j)))
        << j;
  EXPECT_EQ(detector.subBandMagnitude(note, 12), 0.0f);
  EXPECT_EQ(detector.subBandMagnitude(kDetectorNotes, 0), 0.0f);
}

// The sub-band steps alone are 8 1/3 cents apart; the refined pitch must be finer across the
// sung range, for a voice with a strong fundamental and for one whose octave is the strongest
// harmonic, which pulls a low fundamental off its pitch.
TEST_F(PitchEstimateTest, SteadyTonesReadWithinFiveCentsAcrossNotesAndDetunings) {
  const std::vector<double> voices[] = {
      {1.0, 0.6, 0.45, 0.3, 0.2},
      {0.5, 1.0, 0.8, 0.6, 0.4, 0.3, 0.2, 0.15},
  };
  const int notes[] = {41, 43, 45, 48, 52, 57, 60, 64, 69, 74, 79, 84, 88};
  const double detunings[] = {-40, -30, -20, -10, 0, 10, 20, 30, 40};
  double worst = 0.0;
  for (const auto& harmonics : voices) {
    for (const int note : notes) {
      for (const double cents : detunings) {
        SCOPED_TRACE(testing::Message()
                     << "note " << note << " cents " << cents << " voice " << harmonics.size());
        const auto frames = framesOf(steadyVoice(note, cents, harmonics));
        for (std::size_t i = 1; i < frames.size(); ++i) {
          ASSERT_TRUE(frames[i].pitch) << "frame " << i;
          const SungPitch& pitch = *frames[i].pitch;
          EXPECT_EQ(pitch.nearestNote(), note);
          EXPECT_NEAR(pitch.cents, cents, 5.0);
          EXPECT_NEAR(pitch.semitones, note + cents / 100.0, 0.05);
          worst = std::max(worst, std::abs(pitch.cents - cents));
        }
      }
    }
  }
  RecordProperty("worstCents", std::to_string(worst));
}

// Halfway between two notes the detector reports either; the pitch is the same whichever it
// reports, because the peak is followed into the neighbouring note's sub-bands.
TEST_F(PitchEstimateTest, TonesBetweenTwoNotesReadTheSameWhicheverNoteIsDetected) {
  for (const int note : {45, 57, 69, 81}) {
    for (const double cents : {-50.0, -45.0, 45.0, 50.0}) {
      SCOPED_TRACE(testing::Message() << "note " << note << " cents " << cents);
      const auto frames = framesOf(steadyVoice(note, cents, {1.0, 0.6, 0.45, 0.3, 0.2}));
      for (std::size_t i = 1; i < frames.size(); ++i) {
        ASSERT_TRUE(frames[i].pitch);
        EXPECT_NEAR(frames[i].pitch->semitones, note + cents / 100.0, 0.05);
      }
    }
  }
}

struct WaveFit {
  double mean;
  double depth;
  double residual;  // root mean square, of what the wave leaves unexplained
};

// Least squares of mean + a sin + b cos at a known rate, in cents.
WaveFit fitWave(const std::vector<Frame>& frames, double rateHz) {
  std::array<std::array<double, 4>, 3> normal{};
  std::vector<std::array<double, 4>> rows;  // basis, then the value
  for (const Frame& frame : frames) {
    if (!frame.pitch) continue;
    const double phase = 2.0 * std::numbers::pi * rateHz * frame.seconds;
    rows.push_back({1.0, std::sin(phase), std::cos(phase), 100.0 * frame.pitch->semitones});
  }
  for (const auto& row : rows)
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 4; ++j) normal[i][j] += row[i] * row[j];
  for (int i = 0; i < 3; ++i)
    for (int k = i + 1; k < 3; ++k) {
      const double factor = normal[k][i] / normal[i][i];
      for (int j = i; j < 4; ++j) normal[k][j] -= factor * normal[i][j];
    }
  std::array<double, 3> x{};
  for (int i = 2; i >= 0; --i) {
    double sum = normal[i][3];
    for (int j = i + 1; j < 3; ++j) sum -= normal[i][j] * x[j];
    x[i] = sum / normal[i][i];
  }
  double squares = 0.0;
  for (const auto& row : rows) {
    const double error = row[3] - (x[0] * row[0] + x[1] * row[1] + x[2] * row[2]);
    squares += error * error;
  }
  return {x[0] / 100.0, std::hypot(x[1], x[2]),
          std::sqrt(squares / static_cast<double>(rows.size()))};
}

TEST_F(PitchEstimateTest, VibratoShowsAsAWaveOfItsDepth) {
  constexpr double kDepthCents = 30.0;
  constexpr double kRateHz = 5.5;
  for (const double centre : {45.1, 57.0, 64.2, 76.9}) {
    SCOPED_TRACE(testing::Message() << "centre " << centre);
    signals::Tone timbre;
    timbre.amplitude = 4000.0;
    const Sound sound = signals::sungVoice(
        timbre,
        [&](double seconds) {
          return centre +
                 kDepthCents / 100.0 * std::sin(2.0 * std::numbers::pi * kRateHz * seconds);
        },
        130 * kBufferSamples);
    const auto frames = framesOf(sound);
    for (const Frame& frame : frames) ASSERT_TRUE(frame.pitch) << frame.seconds;
    const WaveFit wave = fitWave(frames, kRateHz);
    EXPECT_NEAR(wave.depth, kDepthCents, 5.0);
    EXPECT_NEAR(wave.mean, centre, 0.05);
    // The frames follow the wave, not noise around a steady line.
    EXPECT_LT(wave.residual, 5.0);
  }
}

TEST_F(PitchEstimateTest, GlidesReadMonotonicAndOnTheirPitch) {
  constexpr double kStart = 0.3;
  constexpr double kSeconds = 1.5;
  struct Glide {
    double from;
    double to;
  };
  for (const Glide glide : {Glide{45, 50}, Glide{50, 45}, Glide{57, 64}, Glide{76, 69}}) {
    SCOPED_TRACE(testing::Message() << glide.from << " to " << glide.to);
    const auto pitchAt = [&](double seconds) {
      const double along = std::clamp((seconds - kStart) / kSeconds, 0.0, 1.0);
      return glide.from + (glide.to - glide.from) * along;
    };
    signals::Tone timbre;
    timbre.amplitude = 4000.0;
    const auto frames = framesOf(signals::sungVoice(timbre, pitchAt, 100 * kBufferSamples));
    const double direction = glide.to > glide.from ? 1.0 : -1.0;
    std::optional<double> previous;
    int gliding = 0;
    for (const Frame& frame : frames) {
      // Frames whose whole window lies on the glide.
      if (frame.seconds - kFrameSeconds < kStart ||
          frame.seconds + kFrameSeconds > kStart + kSeconds)
        continue;
      ASSERT_TRUE(frame.pitch) << frame.seconds;
      const double semitones = frame.pitch->semitones;
      EXPECT_NEAR(semitones, pitchAt(frame.seconds), 0.05) << frame.seconds;
      if (previous) {
        EXPECT_GT(direction * (semitones - *previous), 0.0) << frame.seconds;
      }
      previous = semitones;
      ++gliding;
    }
    EXPECT_GT(gliding, 50);
  }
}

TEST_F(PitchEstimateTest, FramesWithoutANoteHaveNoPitch) {
  const Sound silence(6 * kBufferSamples, 0);
  for (const Frame& frame : framesOf(silence)) EXPECT_FALSE(frame.pitch);
  PitchDetector unbuilt;
  unbuilt.DetectPitch(silence.data());
  EXPECT_FALSE(estimatePitch(unbuilt, silence.data()));
}

// The frame that starts in the history's last slot reads on through its mirror.
TEST_F(PitchEstimateTest, LatestFrameIsReadAcrossTheEndOfTheHistory) {
  // Six whole cycles in a buffer, so that the buffer repeated is one steady tone, 21.5 cents
  // below middle C.
  signals::Tone tone;
  tone.frequency = 6 * signals::kRate / kBufferSamples;
  tone.amplitude = 4000.0;
  const Sound buffer = signals::harmonicTone(tone, kBufferSamples);
  const Sound window = signals::harmonicTone(tone, 2 * kBufferSamples);
  const double cents = 1200.0 * std::log2(tone.frequency / signals::noteHz(39));
  detector.resetBuffersSinceStart();
  int checked = 0;
  for (int i = 0; i < kHistorySlots + 2; ++i) {
    detector.ProcessCaptureBuffer(buffer.data());
    if (i == 0 || (detector.slotCounter() > 1 && i > 1)) continue;
    SCOPED_TRACE(testing::Message() << "slot " << detector.slotCounter());
    const auto latest = estimateLatestPitch(detector);
    const auto expected = estimatePitch(detector, window.data());
    ASSERT_TRUE(latest && expected);
    EXPECT_EQ(latest->semitones, expected->semitones);
    EXPECT_NEAR(latest->cents, cents, 5.0);
    ++checked;
  }
  EXPECT_EQ(checked, 3);
}

TEST(SungPitch, CentsCountFromTheNearestNote) {
  struct Case {
    double semitones;
    int nearest;
    double cents;
  };
  const Case cases[] = {
      {69.13, 69, 13.0}, {68.6, 69, -40.0}, {69.0, 69, 0.0}, {60.49, 60, 49.0}, {59.51, 60, -49.0},
  };
  for (const Case& c : cases) {
    const SungPitch pitch = sungPitchAt(c.semitones);
    EXPECT_EQ(pitch.nearestNote(), c.nearest) << c.semitones;
    EXPECT_NEAR(pitch.cents, c.cents, 1e-9) << c.semitones;
  }
}

TEST(PitchHistory, KeepsTheLatestTenSecondsOldestFirstWithGaps) {
  PitchHistory history;
  EXPECT_EQ(history.size(), 0);
  EXPECT_FALSE(history.latest());
  history.add(60.25);
  history.add(std::nullopt);
  history.add(72.25);  // an octave jump stays as it was heard
  ASSERT_EQ(history.size(), 3);
  EXPECT_EQ(history.at(0), 60.25);
  EXPECT_FALSE(history.at(1));
  EXPECT_EQ(history.at(2), 72.25);
  EXPECT_EQ(history.latest(), 72.25);
  EXPECT_FALSE(history.at(3));
  EXPECT_FALSE(history.at(-1));

  // Round the ring more than once: only the newest frames remain, in order.
  for (int i = 0; i < 2 * kPitchHistoryFrames + 7; ++i)
    history.add(i % 5 == 0 ? std::nullopt : std::optional<double>(40.0 + i / 16.0));
  ASSERT_EQ(history.size(), kPitchHistoryFrames);
  const int first = kPitchHistoryFrames + 7;
  for (int i = 0; i < kPitchHistoryFrames; ++i) {
    const int added = first + i;
    if (added % 5 == 0) {
      EXPECT_FALSE(history.at(i)) << i;
    } else {
      EXPECT_EQ(history.at(i), 40.0 + added / 16.0) << i;
    }
  }

  history.clear();
  EXPECT_EQ(history.size(), 0);
  EXPECT_FALSE(history.latest());
}

}  // namespace
}  // namespace auralis
