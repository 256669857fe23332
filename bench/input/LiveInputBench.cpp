#include <benchmark/benchmark.h>

#include <vector>

#include "tests/input/LiveRig.h"
#include "tests/input/Signals.h"

namespace auralis {
namespace {

// One capture buffer of a sung note from the device's data notice to the readout: recycling,
// the detector's frame, the frame notice and the readout with its tuning marker.
void BM_LiveBuffer(benchmark::State& state) {
  signals::Tone tone;
  tone.frequency = signals::noteHz(45);
  tone.amplitude = 5000;
  tone.vibratoCents = 20;
  tone.noise = 200;
  testing::LiveRig rig;
  rig.listen();
  rig.microphone.setSamples(signals::harmonicTone(tone, 64 * kBufferSamples));
  rig.capture.OpenMicrophone(platform::kDefaultSoundInput);
  rig.capture.StartMicrophone();
  for (auto _ : state) {
    if (rig.microphone.samplesLeft() < static_cast<std::size_t>(kBufferSamples)) {
      state.PauseTiming();
      rig.microphone.rewind();
      rig.window.markers.clear();
      rig.frameNotes.clear();
      state.ResumeTiming();
    }
    benchmark::DoNotOptimize(rig.deliverBuffer());
  }
  state.counters["accepted"] = static_cast<double>(rig.window.characters.size());
}
BENCHMARK(BM_LiveBuffer)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace auralis
