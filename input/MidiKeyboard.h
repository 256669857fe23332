#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace auralis {

// The low keys of the MIDI keyboard that are commands rather than answers.
struct MidiCommandKey {
  int note;
  char key;
};
inline constexpr std::array<MidiCommandKey, 3> MidiCommandKeys = {{
    {36, 'r'},  // C2: replay the question
    {38, 'w'},  // D2: replay the last wrong answer
    {40, ' '},  // E2: a new question
}};

// F2 and every key above it answer with the letter of its pitch class, whatever the octave.
inline constexpr int kLowestAnswerKey = 41;

// Decodes a packed short message (status | note << 8 | velocity << 16) from the MIDI keyboard:
// an answer letter, "r", "w", or ' ' for a new question. Nothing for a release (a note-on with
// velocity 0), any message other than a note-on (on any channel), or another key below F2.
std::optional<char> decodeMidiKey(std::uint32_t shortMessage);

}  // namespace auralis
