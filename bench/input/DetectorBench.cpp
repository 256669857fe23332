#include <benchmark/benchmark.h>

#include <vector>

#include "input/PitchDetector.h"
#include "tests/input/Signals.h"

namespace auralis {
namespace {

std::vector<std::int16_t> voiceWindow() {
  signals::Tone tone;
  tone.frequency = signals::noteHz(48);
  tone.amplitude = 4000;
  tone.vibratoCents = 20;
  tone.noise = 300;
  return signals::harmonicTone(tone, kWindowSamples);
}

void BM_BuildDetectorTables(benchmark::State& state) {
  std::size_t bytes = 0;
  for (auto _ : state) {
    PitchDetector detector;
    detector.BuildDetectorTables();
    bytes = detector.tableBytes();
    benchmark::DoNotOptimize(detector.tablesBuilt());
  }
  state.counters["table_MB"] = static_cast<double>(bytes) / (1024.0 * 1024.0);
}
// The build fills rows on two threads where it can: the time is the pause a user waits through,
// the CPU that of the whole process.
BENCHMARK(BM_BuildDetectorTables)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

void detectFrames(benchmark::State& state, const std::vector<std::int16_t>& window,
                  CorrelatorKernel kernel = fastestKernel()) {
  PitchDetector detector;
  detector.BuildDetectorTables();
  if (!detector.useKernel(kernel)) {
    state.SkipWithError("this processor cannot run the kernel");
    return;
  }
  for (auto _ : state) {
    detector.DetectPitch(window.data());
    benchmark::DoNotOptimize(detector.result().DetectedNote);
  }
}

void BM_DetectPitchVoice(benchmark::State& state) {
  detectFrames(state, voiceWindow());
}
BENCHMARK(BM_DetectPitchVoice)->Unit(benchmark::kMicrosecond);

// One frame on each correlator kernel.
void BM_DetectPitchKernel(benchmark::State& state, CorrelatorKernel kernel) {
  detectFrames(state, voiceWindow(), kernel);
}
BENCHMARK_CAPTURE(BM_DetectPitchKernel, Portable, CorrelatorKernel::Portable)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_DetectPitchKernel, Avx2Fma, CorrelatorKernel::Avx2Fma)
    ->Unit(benchmark::kMicrosecond);

void BM_DetectPitchSilence(benchmark::State& state) {
  detectFrames(state, std::vector<std::int16_t>(kWindowSamples, 0));
}
BENCHMARK(BM_DetectPitchSilence)->Unit(benchmark::kMicrosecond);

// A live stream: one buffer at a time through the history ring.
void BM_ProcessCaptureBuffer(benchmark::State& state) {
  signals::Tone tone;
  tone.frequency = signals::noteHz(40);
  tone.vibratoCents = 20;
  const std::vector<std::int16_t> sound = signals::harmonicTone(tone, 64 * kBufferSamples);
  PitchDetector detector;
  detector.BuildDetectorTables();
  std::size_t at = 0;
  for (auto _ : state) {
    detector.ProcessCaptureBuffer(sound.data() + at);
    at = (at + kBufferSamples) % sound.size();
    benchmark::DoNotOptimize(detector.result().DetectedNote);
  }
}
BENCHMARK(BM_ProcessCaptureBuffer)->Unit(benchmark::kMicrosecond);

void BM_BandMagnitude(benchmark::State& state) {
  const std::vector<std::int16_t> window = voiceWindow();
  PitchDetector detector;
  detector.BuildDetectorTables();
  int note = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(detector.BandMagnitude(window.data(), note, kNominalSubBand));
    note = (note + 1) % 96;
  }
}
BENCHMARK(BM_BandMagnitude)->Unit(benchmark::kNanosecond);

}  // namespace
}  // namespace auralis
