#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "platform/MidiOutStream.h"

namespace auralis::platform {

// A stream's tempo is never set, so a quarter note always lasts its default 500,000 µs.
inline constexpr std::int64_t kMicrosecondsPerQuarter = 500'000;

// Frames from a phrase's time zero to a point ticks later, rounded to the nearest frame. At 96
// ticks per quarter note and 44100 Hz one tick is 229.6875 frames.
std::int64_t ticksToFrames(std::int64_t ticks, int ticksPerQuarter, int sampleRate);
std::chrono::nanoseconds ticksToDuration(std::int64_t ticks, int ticksPerQuarter);

// One short message of a phrase with its time counted from the phrase's time zero.
struct TimedMessage {
  std::int64_t ticks;
  std::uint32_t message;  // status | data1 << 8 | data2 << 16
};

struct TimedPhrase {
  std::vector<TimedMessage> messages;
  std::int64_t endTicks = 0;  // the time of the last record
};

// The short messages of a stream buffer in playing order, each delta added to the time of the
// record before it. Records of another type (tempo, no-op) are not played, but their deltas
// still count.
TimedPhrase timedPhrase(const MidiStreamHeader& header);

// A note-on with velocity 0 releases the note, as a note-off does.
inline bool isNoteOn(std::uint32_t message) {
  return (message & 0xF0) == 0x90 && ((message >> 16) & 0x7F) != 0;
}
inline bool isNoteOff(std::uint32_t message) {
  return (message & 0xF0) == 0x80 || ((message & 0xF0) == 0x90 && ((message >> 16) & 0x7F) == 0);
}

}  // namespace auralis::platform
