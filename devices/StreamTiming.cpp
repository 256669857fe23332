#include "devices/StreamTiming.h"

#include <algorithm>

namespace auralis::platform {

namespace {

// The high byte of a record's event word names its type; 0 is a short message.
constexpr std::uint32_t kEventTypeMask = 0xFF000000;

// ticks * numerator / denominator rounded to the nearest integer, halves up. Whole multiples of
// the denominator are scaled apart from the rest, so that even the longest phrase a buffer can
// describe does not overflow.
std::int64_t scaleRounded(std::int64_t ticks, std::int64_t numerator, std::int64_t denominator) {
  const std::int64_t whole = ticks / denominator;
  const std::int64_t rest = ticks % denominator;
  return whole * numerator + (rest * numerator + denominator / 2) / denominator;
}

}  // namespace

std::int64_t ticksToFrames(std::int64_t ticks, int ticksPerQuarter, int sampleRate) {
  // A quarter note lasts half a second: sampleRate / 2 frames.
  static_assert(kMicrosecondsPerQuarter * 2 == 1'000'000);
  return scaleRounded(ticks, sampleRate, std::int64_t{ticksPerQuarter} * 2);
}

std::chrono::nanoseconds ticksToDuration(std::int64_t ticks, int ticksPerQuarter) {
  return std::chrono::nanoseconds(
      scaleRounded(ticks, kMicrosecondsPerQuarter * 1000, ticksPerQuarter));
}

TimedPhrase timedPhrase(const MidiStreamHeader& header) {
  TimedPhrase phrase;
  if (header.data == nullptr) return phrase;
  // A record count claimed beyond the buffer is not read.
  const std::uint32_t bytes = std::min(header.bytesRecorded, header.bufferLength);
  const int count = static_cast<int>(bytes / sizeof(StreamEvent));
  phrase.messages.reserve(static_cast<std::size_t>(count));
  std::int64_t ticks = 0;
  for (int i = 0; i < count; ++i) {
    const StreamEvent event = eventAt(header, i);
    ticks += event.delta;
    if ((event.event & kEventTypeMask) == 0) phrase.messages.push_back({ticks, event.event});
  }
  phrase.endTicks = ticks;
  return phrase;
}

}  // namespace auralis::platform
