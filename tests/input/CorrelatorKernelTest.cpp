#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "input/CorrelatorKernels.h"
#include "input/PitchDetector.h"
#include "tests/input/LiveRig.h"
#include "tests/input/Signals.h"

namespace auralis {
namespace {

using Sound = std::vector<std::int16_t>;

void append(Sound& sound, const Sound& more) {
  sound.insert(sound.end(), more.begin(), more.end());
}

Sound silence(int buffers) {
  return Sound(static_cast<std::size_t>(buffers * kBufferSamples), 0);
}

// The 16-bit samples of a committed WAVE file's data chunk, whatever its rate and channels: to
// the detector they are just another sound.
Sound committedSound(const std::string& name) {
  std::ifstream file(std::filesystem::path(AURALIS_SOUNDS_DIR) / name, std::ios::binary);
  const std::vector<char> bytes{std::istreambuf_iterator<char>(file),
                                std::istreambuf_iterator<char>()};
  auto number = [&](std::size_t at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | static_cast<std::uint8_t>(bytes[at + i]);
    return value;
  };
  for (std::size_t at = 12; at + 8 <= bytes.size(); at += 8 + ((number(at + 4) + 1) & ~1u)) {
    if (std::string(&bytes[at], 4) != "data") continue;
    const std::size_t size = std::min<std::size_t>(number(at + 4), bytes.size() - at - 8);
    Sound samples(size / 2);
    std::memcpy(samples.data(), &bytes[at + 8], samples.size() * 2);
    return samples;
  }
  return {};
}

// Every sound the tests play to the detector: the committed feedback sounds, the recordings the
// driver and analyser tests write, and voices over the whole note grid, from below the quietest
// threshold to loud, detuned, with vibrato and noise.
Sound testRecordings() {
  Sound sound;
  for (const char* name : {"correct.wav", "incorrect.wav", "promote.wav", "demote.wav"}) {
    const Sound committed = committedSound(name);
    EXPECT_GT(committed.size(), 200u) << name;
    append(sound, committed);
    append(sound, silence(2));
  }
  for (const int midi : {60, 64}) {  // the driver's sung notes
    signals::Tone tone;
    tone.frequency = signals::noteHz(midi - 21);
    tone.vibratoCents = 10.0;
    tone.noise = 200.0;
    append(sound, signals::harmonicTone(tone, 44100));
  }
  for (const double amplitude : {180.0, 290.0, 500.0, 6000.0}) {  // the analyser's A4
    signals::Tone tone;
    tone.frequency = signals::noteHz(48);
    tone.amplitude = amplitude;
    append(sound, signals::harmonicTone(tone, 30 * kBufferSamples));
  }
  const double amplitudes[] = {150.0, 260.0, 420.0, 900.0, 3000.0, 12000.0};
  for (int note = 0; note < kDetectorNotes; ++note) {
    signals::Tone tone;
    tone.frequency = signals::detune(signals::noteHz(note), (note * 37 % 90) - 45.0);
    tone.amplitude = amplitudes[note % 6];
    tone.vibratoCents = note % 4 * 12.0;
    tone.noise = note % 3 * 250.0;
    tone.seed = static_cast<std::uint64_t>(note + 1);
    append(sound, signals::harmonicTone(tone, 12 * kBufferSamples));
    if (note % 5 == 0) append(sound, silence(1));
  }
  return sound;
}

// Runs the live input path on each kernel, buffer by buffer, and checks that every frame
// result, every per-note working value and every letter the readout passes on agree exactly.
TEST(CorrelatorKernelTest, BothKernelsGiveTheSameFramesAndLettersOnEveryRecording) {
  if (!kernelAvailable(CorrelatorKernel::Avx2Fma))
    GTEST_SKIP() << "this processor has no AVX2 with FMA; only the portable kernel runs here";
  const Sound sound = testRecordings();
  for (const int threshold : {kThresholdHigh, kThresholdMedium, kThresholdLow}) {
    SCOPED_TRACE(threshold);
    testing::LiveRig portable;
    testing::LiveRig vector;
    ASSERT_TRUE(portable.detector.useKernel(CorrelatorKernel::Portable));
    ASSERT_TRUE(vector.detector.useKernel(CorrelatorKernel::Avx2Fma));
    int frames = 0;
    int notes = 0;
    for (testing::LiveRig* rig : {&portable, &vector}) {
      rig->listen();
      rig->detector.detectionThreshold = threshold;
      rig->capture.StartMicrophone();
      rig->microphone.setSamples(sound);
    }
    while (portable.deliverBuffer()) {
      ASSERT_TRUE(vector.deliverBuffer());
      const FrameResult& p = portable.detector.result();
      const FrameResult& v = vector.detector.result();
      ASSERT_EQ(p.DetectedNote, v.DetectedNote) << "frame " << frames;
      ASSERT_EQ(p.DetectedPitchClass, v.DetectedPitchClass) << "frame " << frames;
      ASSERT_EQ(p.DetectedOffsetStep, v.DetectedOffsetStep) << "frame " << frames;
      ASSERT_EQ(p.DetectedOffset, v.DetectedOffset) << "frame " << frames;
      for (int note = 0; note < kDetectorNotes; ++note) {
        ASSERT_EQ(portable.detector.noteMagnitude(note), vector.detector.noteMagnitude(note))
            << "frame " << frames << " note " << note;
        ASSERT_EQ(portable.detector.strongestSubBandMagnitude(note),
                  vector.detector.strongestSubBandMagnitude(note));
        ASSERT_EQ(portable.detector.strongestSubBandFrequency(note),
                  vector.detector.strongestSubBandFrequency(note));
      }
      ++frames;
      if (p.DetectedNote > 0) ++notes;
    }
    EXPECT_FALSE(vector.deliverBuffer());
    EXPECT_EQ(portable.frameNotes, vector.frameNotes);
    EXPECT_EQ(portable.window.characters, vector.window.characters);
    EXPECT_EQ(portable.window.markers, vector.window.markers);
    // The recordings must really exercise the decisions: many frames, notes and letters.
    EXPECT_GT(frames, 1500);
    EXPECT_GT(notes, 500);
    EXPECT_GE(portable.window.characters.size(), 15u);
  }
}

// Random tables and samples, for every number of rows up to two groups of the vector kernel and
// for term counts with and without a partial last block.
TEST(CorrelatorKernelTest, KernelsAgreeToTheLastBitAndMatchTheExactSums) {
  signals::NoiseSource random(7);
  constexpr int kMaxRows = 7;
  constexpr int kMaxBlocks = kWindowSamples / kTermsPerBlock;
  std::vector<TermBlock> table(kMaxRows * kMaxBlocks);
  for (TermBlock& block : table) {
    for (int k = 0; k < kTermsPerBlock; ++k) {
      block.cosine[k] = static_cast<float>(random.next());
      block.sine[k] = static_cast<float>(random.next());
    }
  }
  std::vector<double> samples(kWindowSamples);
  for (double& sample : samples) sample = std::round(32767 * random.next());
  std::vector<const TermBlock*> rows;
  for (int r = 0; r < kMaxRows; ++r) rows.push_back(&table[r * kMaxBlocks]);

  for (const int count : {1, 7, 8, 9, 410, 683, 1024, 2048}) {
    for (int rowCount = 1; rowCount <= kMaxRows; ++rowCount) {
      SCOPED_TRACE(::testing::Message() << count << " terms, " << rowCount << " rows");
      std::vector<Correlation> sums[2] = {std::vector<Correlation>(rowCount),
                                          std::vector<Correlation>(rowCount)};
      int run = 0;
      for (const CorrelatorKernel kernel : {CorrelatorKernel::Portable, CorrelatorKernel::Avx2Fma})
        if (kernelAvailable(kernel))
          correlateRows(kernel, samples.data(), count, rows.data(), rowCount, sums[run++].data());
      for (int r = 0; r < rowCount; ++r) {
        long double re = 0;
        long double im = 0;
        for (int t = 0; t < count; ++t) {
          const TermBlock& block = rows[r][t / kTermsPerBlock];
          re += samples[t] * static_cast<long double>(block.cosine[t % kTermsPerBlock]);
          im += samples[t] * static_cast<long double>(block.sine[t % kTermsPerBlock]);
        }
        EXPECT_NEAR(sums[0][r].re, static_cast<double>(re), 1e-13 * count * 32768);
        EXPECT_NEAR(sums[0][r].im, static_cast<double>(im), 1e-13 * count * 32768);
        if (run == 2) {
          EXPECT_EQ(sums[0][r].re, sums[1][r].re) << "row " << r;
          EXPECT_EQ(sums[0][r].im, sums[1][r].im) << "row " << r;
        }
      }
    }
  }
}

TEST(CorrelatorKernelTest, OnlyAnAvailableKernelCanBeChosen) {
  PitchDetector detector;
  EXPECT_EQ(detector.kernel(), fastestKernel());
  EXPECT_TRUE(detector.useKernel(CorrelatorKernel::Portable));
  EXPECT_EQ(detector.kernel(), CorrelatorKernel::Portable);
  const bool vector = kernelAvailable(CorrelatorKernel::Avx2Fma);
  EXPECT_EQ(detector.useKernel(CorrelatorKernel::Avx2Fma), vector);
  EXPECT_EQ(detector.kernel(), vector ? CorrelatorKernel::Avx2Fma : CorrelatorKernel::Portable);
  EXPECT_EQ(fastestKernel(), vector ? CorrelatorKernel::Avx2Fma : CorrelatorKernel::Portable);
}

// A detector whose stride changes after its tables were built analyses exactly as one built at
// the new stride from the start, and its tables hold only the terms of the new stride.
TEST(CorrelatorKernelTest, AStrideChangeRebuildsTheTablesForTheNewStride) {
  signals::Tone tone;
  tone.frequency = signals::detune(signals::noteHz(40), 15);
  tone.vibratoCents = 20;
  tone.noise = 300;
  const Sound sound = signals::harmonicTone(tone, 6 * kBufferSamples);

  PitchDetector changed;
  changed.BuildDetectorTables();
  const std::size_t bytesAtThree = changed.tableBytes();
  // Two floats for each of 683 terms in each of 108 x 12 rows, and not much more.
  EXPECT_GE(bytesAtThree, 2u * 4 * kDetectorNotes * kSubBands * 683);
  EXPECT_LT(bytesAtThree, 2u * 4 * kDetectorNotes * kSubBands * 700);

  for (const int stride : {1, 2, 5, 3}) {
    SCOPED_TRACE(stride);
    changed.DetectorStride = stride;
    PitchDetector fresh;
    fresh.DetectorStride = stride;
    fresh.BuildDetectorTables();
    for (std::size_t start = 0; start + kWindowSamples <= sound.size(); start += kBufferSamples) {
      changed.DetectPitch(sound.data() + start);
      fresh.DetectPitch(sound.data() + start);
      EXPECT_EQ(changed.result().DetectedNote, 40);
      EXPECT_EQ(changed.result().DetectedOffsetStep, fresh.result().DetectedOffsetStep);
      for (int note = 0; note < kDetectorNotes; ++note)
        ASSERT_EQ(changed.noteMagnitude(note), fresh.noteMagnitude(note)) << note;
    }
    EXPECT_EQ(changed.tableBytes(), fresh.tableBytes());
    const std::size_t terms = (kWindowSamples + stride - 1) / stride;
    EXPECT_GE(changed.tableBytes(), 2u * 4 * kDetectorNotes * kSubBands * terms);
    EXPECT_LT(changed.tableBytes(), 2u * 4 * kDetectorNotes * kSubBands * (terms + 16));
  }
  EXPECT_EQ(changed.tableBytes(), bytesAtThree);
}

}  // namespace
}  // namespace auralis
