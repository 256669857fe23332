#include "input/MidiKeyboard.h"

#include "engine/Notes.h"

namespace auralis {

std::optional<char> decodeMidiKey(std::uint32_t shortMessage) {
  const std::uint32_t status = shortMessage & 0xFF;
  const int note = static_cast<int>((shortMessage >> 8) & 0xFF);
  const std::uint32_t velocity = (shortMessage >> 16) & 0xFF;
  if (status < 0x90 || status > 0x9F || velocity == 0) return std::nullopt;
  if (note > 127) return std::nullopt;  // not a data byte
  if (note >= kLowestAnswerKey) return NoteLetters[static_cast<std::size_t>(note % 12)];
  for (const MidiCommandKey& command : MidiCommandKeys)
    if (command.note == note) return command.key;
  return std::nullopt;
}

}  // namespace auralis
