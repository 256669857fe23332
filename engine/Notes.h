#pragma once

#include <array>
#include <string_view>

namespace auralis {

// Pitch classes count semitones from C: 0 C, 1 C sharp, ... 11 B.
// A note is a MIDI note number, 12 * octave number + pitch class (60 = middle C).

// Lower case is the natural note, upper case the sharp above it.
inline constexpr std::string_view NoteLetters = "cCdDefFgGaAb";

inline constexpr char kEscape = 27;

inline constexpr std::array<std::string_view, 12> SolfegeSharpNames = {
    "DO", "DI", "RE", "RI", "MI", "FA", "FI", "SO", "SI", "LA", "LI", "TI"};
inline constexpr std::array<std::string_view, 12> SolfegeFlatNames = {
    "", "RA", "", "ME", "", "", "SE", "", "LE", "", "TE", ""};
inline constexpr std::array<std::string_view, 12> LetterSharpNames = {
    "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
inline constexpr std::array<std::string_view, 12> LetterFlatNames = {
    "", "Db", "", "Eb", "", "", "Gb", "", "Ab", "", "Bb", ""};

inline constexpr std::array<int, 7> WhiteKeys = {0, 2, 4, 5, 7, 9, 11};
inline constexpr std::array<int, 5> BlackKeys = {1, 3, 6, 8, 10};

// Scale degree of each white key of C major; black keys hold 0.
inline constexpr std::array<int, 12> DegreeOfPitchClass = {0, 0, 1, 0, 2, 3, 0, 4, 0, 5, 0, 6};
// Semitones of the C major scale over two octaves.
inline constexpr std::array<int, 14> MajorScaleSteps = {0,  2,  4,  5,  7,  9,  11,
                                                        12, 14, 16, 17, 19, 21, 23};

constexpr bool isBlackKey(int pitchClass) {
  return pitchClass == 1 || pitchClass == 3 || pitchClass == 6 || pitchClass == 8 ||
         pitchClass == 10;
}

// Position of the first occurrence in NoteLetters, 0 for any other character.
constexpr int LetterToPitchClass(char letter) {
  const auto pos = NoteLetters.find(letter);
  return pos == std::string_view::npos ? 0 : static_cast<int>(pos);
}

constexpr bool isAnswerLetter(char ch) {
  return ch != '\0' && NoteLetters.find(ch) != std::string_view::npos;
}

constexpr int pitchClassOf(int note) {
  return ((note % 12) + 12) % 12;
}

}  // namespace auralis
