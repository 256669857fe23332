#include "output/MidiEvent.h"

namespace auralis {

void ClearEvents(MidiEventList& list) {
  list.count = 0;
}

void PushEvent(MidiEventList& list, std::uint32_t eventWord, std::uint32_t delta) {
  if (list.count >= kMaxPhraseEvents) return;
  list.events[list.count] = MidiEvent{delta, 0, eventWord};
  ++list.count;
}

void PushNoteOn(MidiEventList& list, int note, int channel, int delta, int velocity) {
  const auto status = static_cast<std::uint32_t>(0x90 + channel) & 0xFF;
  const auto data1 = static_cast<std::uint32_t>(note) & 0xFF;
  const auto data2 = static_cast<std::uint32_t>(velocity) & 0xFF;
  PushEvent(list, status | data1 << 8 | data2 << 16, static_cast<std::uint32_t>(delta));
}

void PushNoteOff(MidiEventList& list, int note, int channel, int delta) {
  PushNoteOn(list, note, channel, delta, 0);
}

void PushNote(MidiEventList& list, int note, int channel, int delay, int velocity, int length) {
  PushNoteOn(list, note, channel, delay, velocity);
  PushNoteOff(list, note, channel, length);
}

}  // namespace auralis
