#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "input/PitchDetector.h"
#include "tests/input/Signals.h"

namespace auralis {
namespace {

using signals::detune;
using signals::noteHz;

std::vector<std::int16_t> voice(int note, double amplitude = 4000.0, double cents = 0.0) {
  signals::Tone tone;
  tone.frequency = detune(noteHz(note), cents);
  tone.amplitude = amplitude;
  return signals::harmonicTone(tone, kWindowSamples);
}

int pitchClassOfNote(int note) {
  return (note - 3) % 12;
}

class DetectorTest : public testing::Test {
 protected:
  void SetUp() override { detector.BuildDetectorTables(); }

  FrameResult detect(const std::vector<std::int16_t>& window) {
    detector.DetectPitch(window.data());
    return detector.result();
  }

  // The twelve sub-band magnitudes summed the way a refined note's magnitude is kept.
  float refinedSum(const std::vector<std::int16_t>& window, int note) const {
    float sum = 0.0f;
    for (int j = 0; j < kSubBands; ++j)
      sum = static_cast<float>(sum + detector.BandMagnitude(window.data(), note, j));
    return sum;
  }

  // A tone on the note whose refined magnitude lies in [low, high), found by bisecting its
  // amplitude with the threshold out of the way.
  std::optional<std::vector<std::int16_t>> toneWithMagnitude(int note, double low, double high) {
    const int saved = detector.detectionThreshold;
    detector.detectionThreshold = 0;
    std::optional<std::vector<std::int16_t>> found;
    double quiet = 1.0;
    double loud = 4000.0;
    for (int step = 0; step < 80 && !found; ++step) {
      const double amplitude = (quiet + loud) / 2;
      std::vector<std::int16_t> window = voice(note, amplitude);
      const FrameResult r = detect(window);
      const double magnitude = detector.noteMagnitude(note);
      if (r.DetectedNote == note && magnitude >= low && magnitude < high)
        found = std::move(window);
      else if (magnitude < low)
        quiet = amplitude;
      else
        loud = amplitude;
    }
    detector.detectionThreshold = saved;
    return found;
  }

  PitchDetector detector;
};

TEST_F(DetectorTest, NoteGridStartsAtA0InSemitones) {
  struct Row {
    int note;
    double hz;
  };
  const Row rows[] = {{0, 27.5},      {3, 32.7032},   {19, 82.4069}, {39, 261.6256}, {48, 440.0},
                      {76, 2217.461}, {95, 6644.875}, {96, 7040.0},  {107, 13289.75}};
  for (const Row& row : rows) {
    EXPECT_NEAR(detector.noteFrequency(row.note), row.hz, row.hz * 1e-6) << row.note;
    EXPECT_NEAR(detector.subBandFrequency(row.note, kNominalSubBand), row.hz, row.hz * 1e-6);
    EXPECT_NEAR(detector.subBandFrequency(row.note, 0), row.hz * std::pow(2.0, -1.0 / 24),
                row.hz * 1e-6);
    for (int j = 1; j < kSubBands; ++j)
      EXPECT_NEAR(
          detector.subBandFrequency(row.note, j) / detector.subBandFrequency(row.note, j - 1),
          std::pow(2.0, 1.0 / 144), 1e-6);
  }
  EXPECT_EQ(detector.noteFrequency(-1), 0.0f);
  EXPECT_EQ(detector.noteFrequency(kDetectorNotes), 0.0f);
  EXPECT_EQ(detector.subBandFrequency(48, kSubBands), 0.0f);
}

TEST(DetectorWithoutTables, ReportsNoNoteAndZeroMagnitudes) {
  PitchDetector detector;
  EXPECT_FALSE(detector.tablesBuilt());
  EXPECT_EQ(detector.tableBytes(), 0u);
  EXPECT_FLOAT_EQ(detector.noteFrequency(48), 440.0f);
  const std::vector<std::int16_t> window = voice(48);
  EXPECT_EQ(detector.BandMagnitude(window.data(), 48, 6), 0.0);
  detector.DetectPitch(window.data());
  EXPECT_EQ(detector.result().DetectedNote, 0);
  EXPECT_EQ(detector.result().DetectedPitchClass, -1);
}

// The correlator against the definition: a Hann-windowed complex correlation over every
// stride-th sample, divided by 2048 div stride.
TEST_F(DetectorTest, BandMagnitudeIsTheWindowedCorrelationOverTheStride) {
  struct Row {
    int note;
    int subBand;
    int stride;
  };
  const Row rows[] = {{48, 6, 3},  {20, 0, 3}, {76, 11, 3}, {95, 6, 3},
                      {70, 11, 1}, {30, 3, 2}, {60, 9, 5},  {40, 6, 6}};
  for (const Row& row : rows) {
    signals::Tone tone;
    tone.frequency = detector.subBandFrequency(row.note, row.subBand);
    tone.noise = 500;
    const std::vector<std::int16_t> window = signals::harmonicTone(tone, kWindowSamples);
    long double re = 0;
    long double im = 0;
    const long double omega = 2 * std::numbers::pi_v<long double> *
                              detector.subBandFrequency(row.note, row.subBand) / 44100;
    for (int n = 0; n < kWindowSamples; n += row.stride) {
      const long double hann =
          (1 - std::cos(2 * std::numbers::pi_v<long double> * n / kWindowSamples)) / 2;
      re += window[n] * std::cos(n * omega) * hann;
      im -= window[n] * std::sin(n * omega) * hann;
    }
    const long double divisor = kWindowSamples / row.stride;
    const double expected = static_cast<double>(std::hypot(re / divisor, im / divisor));
    detector.DetectorStride = row.stride;
    const double magnitude = detector.BandMagnitude(window.data(), row.note, row.subBand);
    EXPECT_NEAR(magnitude, expected, expected * 1e-5)
        << "note " << row.note << " sub-band " << row.subBand << " stride " << row.stride;
  }
}

TEST_F(DetectorTest, StrideOutsideItsRangeIsClamped) {
  const std::vector<std::int16_t> window = voice(48);
  detector.DetectorStride = 1;
  const double everySample = detector.BandMagnitude(window.data(), 48, 6);
  detector.DetectorStride = kWindowSamples;
  const double firstSampleOnly = detector.BandMagnitude(window.data(), 48, 6);
  for (const int stride : {0, -7}) {
    detector.DetectorStride = stride;
    EXPECT_EQ(detector.BandMagnitude(window.data(), 48, 6), everySample);
  }
  detector.DetectorStride = 1 << 20;
  EXPECT_EQ(detector.BandMagnitude(window.data(), 48, 6), firstSampleOnly);
  EXPECT_EQ(detector.BandMagnitude(window.data(), -1, 6), 0.0);
  EXPECT_EQ(detector.BandMagnitude(window.data(), 48, 12), 0.0);
}

// Voice-like tones, with their octave and twelfth, are found in tune from E2 up to C sharp 7.
// Higher notes have their twelfth above the 7000 Hz ceiling of the grid and are never found.
TEST_F(DetectorTest, HarmonicToneIsFoundOnItsNoteInTune) {
  for (int note = 19; note <= 76; ++note) {
    for (const double amplitude : {600.0, 4000.0, 12000.0}) {
      const FrameResult r = detect(voice(note, amplitude));
      EXPECT_EQ(r.DetectedNote, note) << "amplitude " << amplitude;
      EXPECT_EQ(r.DetectedPitchClass, pitchClassOfNote(note));
      EXPECT_EQ(r.DetectedOffsetStep, 6) << note;
      EXPECT_EQ(r.DetectedOffset, 0.5f) << note;
    }
  }
  for (int note = 77; note <= 89; ++note) EXPECT_EQ(detect(voice(note)).DetectedNote, 0) << note;
}

// Up to A5. Higher, the semitone centres lie more than the window's main lobe apart, and a tone
// far off centre may fall between the coarse correlators.
TEST_F(DetectorTest, DetunedToneReportsItsSubBand) {
  for (const int note : {24, 36, 48, 60}) {
    for (int step = 1; step < kSubBands; ++step) {
      const double cents = -50.0 + step * 100.0 / 12;
      const FrameResult r = detect(voice(note, 4000.0, cents));
      EXPECT_EQ(r.DetectedNote, note) << cents << " cents";
      EXPECT_EQ(r.DetectedOffsetStep, step) << "note " << note << ", " << cents << " cents";
      EXPECT_FLOAT_EQ(r.DetectedOffset, static_cast<float>(step) / 12);
    }
  }
}

TEST_F(DetectorTest, VibratoAndNoiseKeepTheNote) {
  for (const int note : {24, 40, 48, 60, 70}) {
    signals::Tone tone;
    tone.frequency = noteHz(note);
    tone.amplitude = 3000;
    tone.vibratoCents = 25;
    tone.noise = 1500;
    tone.seed = static_cast<std::uint64_t>(note);
    const std::vector<std::int16_t> sound = signals::harmonicTone(tone, 43 * kBufferSamples);
    int inTune = 0;
    for (int start = 0; start + kWindowSamples <= static_cast<int>(sound.size());
         start += kBufferSamples) {
      detector.DetectPitch(sound.data() + start);
      EXPECT_EQ(detector.result().DetectedNote, note) << "frame at sample " << start;
      const int step = detector.result().DetectedOffsetStep;
      EXPECT_GE(step, 1);
      EXPECT_LE(step, 11);
      if (step >= 3 && step <= 8) ++inTune;
    }
    EXPECT_GT(inTune, 30) << note;
  }
}

TEST_F(DetectorTest, PureSineIsNotANote) {
  // A sine has no octave or twelfth. Below about C3 the window's main lobe is wide enough to
  // reach them, so the test starts above.
  for (int note = 37; note <= 89; ++note) {
    const FrameResult r = detect(signals::sine(noteHz(note), 8000, kWindowSamples));
    EXPECT_EQ(r.DetectedNote, 0) << note;
  }
}

TEST_F(DetectorTest, SilenceAndQuietNoiseGiveNoNote) {
  std::vector<std::vector<std::int16_t>> windows = {std::vector<std::int16_t>(kWindowSamples, 0)};
  for (std::uint64_t seed = 1; seed <= 10; ++seed)
    windows.push_back(signals::noise(300, kWindowSamples, seed));
  for (const auto& window : windows) {
    ASSERT_EQ(detect(voice(48)).DetectedNote, 48);
    const FrameResult r = detect(window);
    EXPECT_EQ(r.DetectedNote, 0);
    EXPECT_EQ(r.DetectedPitchClass, -1);
    EXPECT_EQ(r.DetectedOffsetStep, 0);
    EXPECT_EQ(r.DetectedOffset, 0.0f);
  }
}

TEST_F(DetectorTest, StrongNoteAnOctaveOrTwelfthBelowRejectsTheCandidate) {
  for (const int note : {30, 40, 48, 60, 70}) {
    for (const int below : {12, 19}) {
      const auto tone = voice(note, 3000);
      const auto weak =
          signals::mix(tone, signals::sine(noteHz(note - below), 500, kWindowSamples));
      EXPECT_EQ(detect(weak).DetectedNote, note)
          << note << " with a weak note " << below << " below";
      const auto strong =
          signals::mix(tone, signals::sine(noteHz(note - below), 2000, kWindowSamples));
      EXPECT_NE(detect(strong).DetectedNote, note)
          << note << " with a strong note " << below << " below";
    }
  }
}

TEST_F(DetectorTest, ThresholdComparesTheTruncatedMagnitudeStrictly) {
  const int note = 48;
  for (const int threshold : {kThresholdHigh, kThresholdMedium, kThresholdLow}) {
    // Just below threshold + 1: truncates to the threshold itself, though it would round up.
    const auto atThreshold = toneWithMagnitude(note, threshold + 0.5, threshold + 1.0);
    ASSERT_TRUE(atThreshold) << threshold;
    detector.detectionThreshold = threshold;
    EXPECT_EQ(detect(*atThreshold).DetectedNote, 0) << threshold;
    detector.detectionThreshold = threshold - 1;
    EXPECT_EQ(detect(*atThreshold).DetectedNote, note) << threshold;

    const auto aboveThreshold = toneWithMagnitude(note, threshold + 1.0, threshold + 1.5);
    ASSERT_TRUE(aboveThreshold) << threshold;
    detector.detectionThreshold = threshold;
    EXPECT_EQ(detect(*aboveThreshold).DetectedNote, note) << threshold;
  }
}

TEST_F(DetectorTest, CandidateAndTheNoteBelowAreRefinedButNotTheNoteAbove) {
  const auto window = voice(48);
  ASSERT_EQ(detect(window).DetectedNote, 48);
  EXPECT_EQ(detector.noteMagnitude(47), refinedSum(window, 47));
  EXPECT_EQ(detector.noteMagnitude(48), refinedSum(window, 48));
  EXPECT_EQ(detector.noteMagnitude(49),
            static_cast<float>(detector.BandMagnitude(window.data(), 49, 6)));
  EXPECT_EQ(detector.strongestSubBandFrequency(48), detector.subBandFrequency(48, 6));
  EXPECT_FLOAT_EQ(detector.strongestSubBandMagnitude(48),
                  static_cast<float>(detector.BandMagnitude(window.data(), 48, 6)));
}

TEST_F(DetectorTest, NoCandidateBelowF2) {
  // E2 itself cannot be the candidate: F2 is, and E2 wins the decision as its lower neighbour.
  const auto window = voice(19);
  ASSERT_EQ(detect(window).DetectedNote, 19);
  EXPECT_EQ(detector.noteMagnitude(18),
            static_cast<float>(detector.BandMagnitude(window.data(), 18, 6)));
  EXPECT_EQ(detector.noteMagnitude(19), refinedSum(window, 19));
  EXPECT_EQ(detector.noteMagnitude(20), refinedSum(window, 20));
}

TEST(DetectorNeighbour, NoteAboveTheCandidateReportsStepTwelveUntilRefined) {
  // A quiet voice on G6 with a loud sine a semitone above: the sine has no octave, so G6 is the
  // candidate, but the sine's single coarse magnitude beats G6's refined sum.
  const int candidate = 70;
  signals::Tone tone;
  tone.frequency = noteHz(candidate);
  tone.amplitude = 100;
  const auto window = signals::mix(signals::harmonicTone(tone, kWindowSamples),
                                   signals::sine(noteHz(candidate + 1), 4000, kWindowSamples));
  PitchDetector detector;
  detector.BuildDetectorTables();
  detector.DetectPitch(window.data());
  EXPECT_EQ(detector.result().DetectedNote, candidate + 1);
  EXPECT_EQ(detector.result().DetectedOffsetStep, kNeverRefinedStep);
  EXPECT_FLOAT_EQ(detector.result().DetectedOffset, 1.0f);

  // Once the note has been refined in some frame, its strongest sub-band is remembered.
  const auto sharp = voice(candidate + 1, 4000, 25);
  detector.DetectPitch(sharp.data());
  ASSERT_EQ(detector.result().DetectedNote, candidate + 1);
  ASSERT_EQ(detector.result().DetectedOffsetStep, 9);
  detector.DetectPitch(window.data());
  EXPECT_EQ(detector.result().DetectedNote, candidate + 1);
  EXPECT_EQ(detector.result().DetectedOffsetStep, 9);
}

}  // namespace
}  // namespace auralis
