// Runs only the detector over a recording, one capture buffer at a time, and prints the frames
// analysed, how many found a note and the CPU time per frame of the detection loop:
//
//   detector_cpu [--kernel portable|avx2fma] FILE.wav
//
// tools/compare-aubio.sh times this program beside aubio's pitch tracker.
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string_view>
#include <vector>

#include "input/PitchDetector.h"
#include "input/WavFile.h"

int main(int argc, char** argv) {
  using namespace auralis;
  CorrelatorKernel kernel = fastestKernel();
  const char* file = nullptr;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--kernel" && i + 1 < argc) {
      const std::string_view name = argv[++i];
      if (name != "portable" && name != "avx2fma") {
        std::fprintf(stderr, "detector_cpu: no kernel named %s\n", argv[i]);
        return 2;
      }
      kernel = name == "portable" ? CorrelatorKernel::Portable : CorrelatorKernel::Avx2Fma;
    } else {
      file = argv[i];
    }
  }
  if (file == nullptr) {
    std::fprintf(stderr, "usage: detector_cpu [--kernel portable|avx2fma] FILE.wav\n");
    return 2;
  }
  const WavReadResult wav = readWavFile(file);
  if (!wav.ok()) {
    std::fprintf(stderr, "detector_cpu: %s\n", wav.error.c_str());
    return 1;
  }
  PitchDetector detector;
  if (!detector.useKernel(kernel)) {
    std::fprintf(stderr, "detector_cpu: this processor cannot run that kernel\n");
    return 1;
  }
  detector.BuildDetectorTables();

  std::vector<std::int16_t> buffer(kBufferSamples);
  long frames = 0;
  long notes = 0;
  const std::clock_t start = std::clock();
  for (std::size_t at = 0; at < wav.samples.size(); at += kBufferSamples) {
    // A last part shorter than a buffer is filled up with silence, as capture returns it.
    const std::size_t count = std::min<std::size_t>(kBufferSamples, wav.samples.size() - at);
    std::fill(
        std::copy_n(wav.samples.begin() + static_cast<std::ptrdiff_t>(at), count, buffer.begin()),
        buffer.end(), std::int16_t{0});
    detector.ProcessCaptureBuffer(buffer.data());
    ++frames;
    if (detector.result().DetectedNote > 0) ++notes;
  }
  const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
  std::printf("frames %ld notes %ld loop_us_per_frame %.2f\n", frames, notes,
              frames > 0 ? seconds / static_cast<double>(frames) * 1e6 : 0.0);
  return 0;
}
