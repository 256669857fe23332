#pragma once

#include <array>
#include <cstdint>

namespace auralis {

namespace platform {
struct MidiStreamHeader;
}

// One timed short message, in the 12-byte layout the MIDI stream consumes.
struct MidiEvent {
  std::uint32_t delta;     // ticks after the previous event of the list
  std::uint32_t streamId;  // always 0
  std::uint32_t event;     // status | note << 8 | velocity << 16; type byte 0
};
static_assert(sizeof(MidiEvent) == 12);

inline constexpr int kMaxPhraseEvents = 333;

// One phrase. Building it never touches a device; playing it copies the events.
struct MidiEventList {
  // The header most recently made from this list; owned by the stream, never used here.
  const platform::MidiStreamHeader* header = nullptr;
  std::array<MidiEvent, kMaxPhraseEvents> events{};
  int count = 0;
};

void ClearEvents(MidiEventList& list);
// A push onto a full list is dropped.
void PushEvent(MidiEventList& list, std::uint32_t eventWord, std::uint32_t delta);
void PushNoteOn(MidiEventList& list, int note, int channel, int delta, int velocity);
// A note-off is a note-on with velocity 0.
void PushNoteOff(MidiEventList& list, int note, int channel, int delta);
// Starts delay ticks after the previous event and sounds for length ticks.
void PushNote(MidiEventList& list, int note, int channel, int delay, int velocity, int length);

constexpr int statusOf(std::uint32_t eventWord) {
  return static_cast<int>(eventWord & 0xFF);
}
constexpr int noteOf(std::uint32_t eventWord) {
  return static_cast<int>((eventWord >> 8) & 0xFF);
}
constexpr int velocityOf(std::uint32_t eventWord) {
  return static_cast<int>((eventWord >> 16) & 0xFF);
}

}  // namespace auralis
