// Any bytes as microphone input. The first byte picks the sensitivity, the stride and whether
// the run restarts; the rest are little-endian 16-bit samples, fed one capture buffer at a time.
// Every frame result must stay within its documented ranges.
#include <array>
#include <cmath>
#include <cstdlib>

#include "input/PitchDetector.h"

namespace {

auralis::PitchDetector& sharedDetector() {
  // The tables take about 7 MB and some milliseconds: build them once per process.
  static auralis::PitchDetector* const detector = [] {
    auto* built = new auralis::PitchDetector;
    built->BuildDetectorTables();
    return built;
  }();
  return *detector;
}

void checkResult(const auralis::PitchDetector& detector) {
  const auralis::FrameResult& r = detector.result();
  if (r.DetectedNote == 0) {
    if (r.DetectedPitchClass != -1 || r.DetectedOffsetStep != 0 || r.DetectedOffset != 0.0f)
      std::abort();
    return;
  }
  if (r.DetectedNote < 19 || r.DetectedNote > 89) std::abort();
  if (r.DetectedPitchClass != (r.DetectedNote - 3) % 12) std::abort();
  if (r.DetectedOffsetStep < 0 || r.DetectedOffsetStep > auralis::kNeverRefinedStep) std::abort();
  if (r.DetectedOffset != static_cast<float>(r.DetectedOffsetStep * (1.0 / 12.0))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  auralis::PitchDetector& detector = sharedDetector();
  const std::uint8_t control = data[0];
  constexpr std::array<int, 4> thresholds = {auralis::kThresholdHigh, auralis::kThresholdMedium,
                                             auralis::kThresholdLow, 0};
  detector.detectionThreshold = thresholds[control & 3];
  // Mostly the live stride; now and then another, including ones that must be clamped.
  detector.DetectorStride = (control & 0xF0) == 0xF0 ? (control >> 2 & 3) - 1 : 3;
  detector.resetBuffersSinceStart();

  std::array<std::int16_t, auralis::kBufferSamples> buffer{};
  std::size_t at = 1;
  while (at < size) {
    buffer.fill(0);
    for (std::size_t n = 0; n < buffer.size() && at + 1 < size; ++n, at += 2)
      buffer[n] = static_cast<std::int16_t>(data[at] | data[at + 1] << 8);
    if (at + 1 >= size) at = size;
    detector.ProcessCaptureBuffer(buffer.data());
    checkResult(detector);
    // The window the detector has just analysed: the slot before the newest, then the newest.
    const int newest = detector.slotCounter();
    const int previous = newest == 0 ? auralis::kHistorySlots - 1 : newest - 1;
    const double magnitude = detector.BandMagnitude(detector.historySlot(previous),
                                                    static_cast<std::int8_t>(buffer[0] & 0xFF),
                                                    static_cast<std::int8_t>(buffer[1] & 0xFF));
    if (!std::isfinite(magnitude) || magnitude < 0) std::abort();
  }
  return 0;
}
