#pragma once

#include <array>
#include <string_view>

namespace auralis {

// The kind of a level row.
enum PaceCode : int {
  kPaceNone = 0,
  kPaceIdentify = 1,
  kPaceUnlock = 2,
  kPaceSing = 3,
  kPaceMeditate = 4
};

using PitchClassFlags = std::array<int, 12>;

// One row of a lesson table.
struct LevelRecord {
  int PaceCode;
  int EchoCode;  // 2: a correct answer is confirmed by echoing the sung note
  PitchClassFlags pitchClasses;
  int OctaveRangeCode;  // 1 to 6, see OctaveRanges
  int QuestionType;     // 1-4: that many notes; 5: white second; 6: white third
  int PlayStyle;        // 1 harmonic, 2 ascending, 3 descending, 4 drawn order, 5 random
  int SameOctave;       // 1: later notes stay in the first note's octave
};

// Flags written C to B, one character per pitch class.
constexpr PitchClassFlags pitchClassSet(std::string_view cToB) {
  PitchClassFlags flags{};
  for (int i = 0; i < 12; ++i) flags[i] = cToB[i] == '1' ? 1 : 0;
  return flags;
}

//                                                       CCDDEFFGGAAB
inline constexpr PitchClassFlags kCE = pitchClassSet("100010000000");
inline constexpr PitchClassFlags kCEG = pitchClassSet("100010010000");
inline constexpr PitchClassFlags kCDEG = pitchClassSet("101010010000");
inline constexpr PitchClassFlags kCDEFG = pitchClassSet("101011010000");
inline constexpr PitchClassFlags kCDEFGA = pitchClassSet("101011010100");
inline constexpr PitchClassFlags kWhite = pitchClassSet("101011010101");
inline constexpr PitchClassFlags kWhiteGs = pitchClassSet("101011011101");
inline constexpr PitchClassFlags kWhiteDsGs = pitchClassSet("101111011101");
inline constexpr PitchClassFlags kWhiteDsGsAs = pitchClassSet("101111011111");
inline constexpr PitchClassFlags kWhiteDsFsGsAs = pitchClassSet("101111111111");
inline constexpr PitchClassFlags kAll = pitchClassSet("111111111111");
inline constexpr PitchClassFlags kNone = pitchClassSet("000000000000");

inline constexpr int identifyLevelCount = 67;
inline constexpr int unlockLevelCount = 18;
inline constexpr int singLevelCount = 22;

// Octave numbers of each OctaveRangeCode (index 0 unused).
struct OctaveRange {
  int lowest;
  int highest;
};
inline constexpr std::array<OctaveRange, 7> OctaveRanges = {{
    {0, -1},  // unused
    {3, 6},   // 1: MIDI 36 to 83
    {3, 7},   // 2: MIDI 36 to 95
    {2, 8},   // 3: MIDI 24 to 107
    {5, 5},   // 4: MIDI 60 to 71
    {4, 6},   // 5: MIDI 48 to 83
    {4, 5},   // 6: MIDI 48 to 71
}};

// Identify and Mimic. Steps of each pitch-class group (octave range, type, style):
// a (4,1,1)  b (4,2,4)  c (4,2,1)  d (5,1,1)  e (5,2,4)  f (5,2,1)
inline constexpr std::array<LevelRecord, identifyLevelCount> IdentifyLevels = {{
    // pace echo pitch classes  oct type style same
    {1, 1, kCE, 4, 1, 1, 3},             // 1 a
    {1, 1, kCE, 4, 2, 4, 3},             // 2 b
    {1, 1, kCE, 5, 1, 1, 3},             // 3 d
    {1, 1, kCE, 5, 2, 4, 3},             // 4 e
    {1, 1, kCE, 5, 2, 1, 3},             // 5 f
    {1, 1, kCEG, 4, 1, 1, 3},            // 6 a
    {1, 1, kCEG, 4, 2, 4, 3},            // 7 b
    {1, 1, kCEG, 4, 2, 1, 3},            // 8 c
    {1, 1, kCEG, 5, 1, 1, 3},            // 9 d
    {1, 1, kCEG, 5, 2, 4, 3},            // 10 e
    {1, 1, kCEG, 5, 2, 1, 3},            // 11 f
    {1, 1, kCDEG, 4, 1, 1, 3},           // 12 a
    {1, 1, kCDEG, 4, 2, 4, 3},           // 13 b
    {1, 1, kCDEG, 4, 2, 1, 3},           // 14 c
    {1, 1, kCDEG, 5, 1, 1, 3},           // 15 d
    {1, 1, kCDEG, 5, 2, 4, 3},           // 16 e
    {1, 1, kCDEG, 5, 2, 1, 3},           // 17 f
    {1, 1, kCDEFG, 4, 1, 1, 3},          // 18 a
    {1, 1, kCDEFG, 4, 2, 4, 3},          // 19 b
    {1, 1, kCDEFG, 4, 2, 1, 3},          // 20 c
    {1, 1, kCDEFG, 5, 1, 1, 3},          // 21 d
    {1, 1, kCDEFG, 5, 2, 4, 3},          // 22 e
    {1, 1, kCDEFG, 5, 2, 1, 3},          // 23 f
    {1, 1, kCDEFGA, 4, 1, 1, 3},         // 24 a
    {1, 1, kCDEFGA, 4, 2, 4, 3},         // 25 b
    {1, 1, kCDEFGA, 4, 2, 1, 3},         // 26 c
    {1, 1, kCDEFGA, 5, 1, 1, 3},         // 27 d
    {1, 1, kCDEFGA, 5, 2, 4, 3},         // 28 e
    {1, 1, kCDEFGA, 5, 2, 1, 3},         // 29 f
    {1, 1, kWhite, 4, 1, 1, 3},          // 30 a
    {1, 1, kWhite, 4, 2, 4, 3},          // 31 b
    {1, 1, kWhite, 4, 2, 1, 3},          // 32 c
    {1, 1, kWhite, 5, 1, 1, 3},          // 33 d
    {1, 1, kWhite, 5, 2, 4, 3},          // 34 e
    {1, 1, kWhite, 5, 2, 1, 3},          // 35 f
    {1, 1, kWhiteGs, 4, 1, 1, 3},        // 36 a
    {1, 1, kWhiteGs, 4, 2, 4, 3},        // 37 b
    {1, 1, kWhiteGs, 4, 2, 1, 3},        // 38 c
    {1, 1, kWhiteGs, 5, 1, 1, 3},        // 39 d
    {1, 1, kWhiteGs, 5, 2, 4, 3},        // 40 e
    {1, 1, kWhiteGs, 5, 2, 1, 3},        // 41 f
    {1, 1, kWhiteDsGs, 4, 1, 1, 3},      // 42 a
    {1, 1, kWhiteDsGs, 4, 2, 4, 3},      // 43 b
    {1, 1, kWhiteDsGs, 4, 2, 1, 3},      // 44 c
    {1, 1, kWhiteDsGs, 5, 1, 1, 3},      // 45 d
    {1, 1, kWhiteDsGs, 5, 2, 4, 3},      // 46 e
    {1, 1, kWhiteDsGs, 5, 2, 1, 3},      // 47 f
    {1, 1, kWhiteDsGsAs, 4, 1, 1, 3},    // 48 a
    {1, 1, kWhiteDsGsAs, 4, 2, 4, 3},    // 49 b
    {1, 1, kWhiteDsGsAs, 4, 2, 1, 3},    // 50 c
    {1, 1, kWhiteDsGsAs, 5, 1, 1, 3},    // 51 d
    {1, 1, kWhiteDsGsAs, 5, 2, 4, 3},    // 52 e
    {1, 1, kWhiteDsGsAs, 5, 2, 1, 3},    // 53 f
    {1, 1, kWhiteDsFsGsAs, 4, 1, 1, 3},  // 54 a
    {1, 1, kWhiteDsFsGsAs, 4, 2, 4, 3},  // 55 b
    {1, 1, kWhiteDsFsGsAs, 4, 2, 1, 3},  // 56 c
    {1, 1, kWhiteDsFsGsAs, 5, 1, 1, 3},  // 57 d
    {1, 1, kWhiteDsFsGsAs, 5, 2, 4, 3},  // 58 e
    {1, 1, kWhiteDsFsGsAs, 5, 2, 1, 3},  // 59 f
    {1, 1, kAll, 4, 1, 1, 3},            // 60 a
    {1, 1, kAll, 4, 2, 4, 3},            // 61 b
    {1, 1, kAll, 4, 2, 1, 3},            // 62 c
    {1, 1, kAll, 5, 1, 1, 3},            // 63 d
    {1, 1, kAll, 5, 2, 4, 3},            // 64 e
    {1, 1, kAll, 5, 2, 1, 3},            // 65 f
    {1, 1, kAll, 5, 3, 4, 3},            // 66
    {1, 1, kAll, 5, 3, 1, 3},            // 67
}};

inline constexpr std::array<LevelRecord, unlockLevelCount> UnlockLevels = {{
    // pace echo pitch classes  oct type style same
    {2, 1, kWhite, 4, 1, 1, 1},  // 1
    {2, 1, kWhite, 5, 1, 1, 1},  // 2
    {2, 1, kWhite, 4, 6, 2, 1},  // 3
    {2, 1, kWhite, 4, 6, 1, 1},  // 4
    {2, 1, kWhite, 5, 6, 2, 1},  // 5
    {2, 1, kWhite, 5, 6, 1, 1},  // 6
    {2, 1, kWhite, 5, 5, 2, 1},  // 7
    {2, 1, kWhite, 5, 5, 1, 1},  // 8
    {2, 1, kAll, 2, 2, 1, 1},    // 9
    {2, 1, kAll, 2, 2, 1, 1},    // 10
    {2, 1, kAll, 2, 2, 1, 1},    // 11
    {2, 1, kAll, 2, 2, 1, 1},    // 12
    {2, 1, kAll, 2, 2, 1, 2},    // 13
    {2, 1, kAll, 2, 2, 1, 3},    // 14
    {2, 1, kAll, 5, 3, 1, 1},    // 15
    {2, 1, kAll, 5, 3, 1, 2},    // 16
    {2, 1, kAll, 5, 3, 1, 3},    // 17
    {2, 1, kAll, 2, 3, 1, 3},    // 18
}};

inline constexpr std::array<LevelRecord, singLevelCount> SingLevels = {{
    // pace echo pitch classes  oct type style same
    {3, 2, kCE, 4, 1, 1, 3},             // 1
    {3, 0, kCE, 4, 1, 1, 3},             // 2
    {3, 2, kCEG, 4, 1, 1, 3},            // 3
    {3, 0, kCEG, 4, 1, 1, 3},            // 4
    {3, 2, kCDEG, 4, 1, 1, 3},           // 5
    {3, 0, kCDEG, 4, 1, 1, 3},           // 6
    {3, 2, kCDEFG, 4, 1, 1, 3},          // 7
    {3, 0, kCDEFG, 4, 1, 1, 3},          // 8
    {3, 2, kCDEFGA, 4, 1, 1, 3},         // 9
    {3, 0, kCDEFGA, 4, 1, 1, 3},         // 10
    {3, 2, kWhite, 4, 1, 1, 3},          // 11
    {3, 0, kWhiteGs, 4, 1, 1, 3},        // 12
    {3, 2, kWhiteGs, 4, 1, 1, 3},        // 13
    {3, 0, kWhiteGs, 4, 1, 1, 3},        // 14
    {3, 2, kWhiteDsGs, 4, 1, 1, 3},      // 15
    {3, 0, kWhiteDsGsAs, 4, 1, 1, 3},    // 16
    {3, 2, kWhiteDsGsAs, 4, 1, 1, 3},    // 17
    {3, 0, kWhiteDsGsAs, 4, 1, 1, 3},    // 18
    {3, 2, kWhiteDsFsGsAs, 4, 1, 1, 3},  // 19
    {3, 0, kWhiteDsFsGsAs, 4, 1, 1, 3},  // 20
    {3, 2, kAll, 4, 1, 1, 3},            // 21
    {3, 0, kAll, 4, 1, 1, 3},            // 22
}};

inline constexpr LevelRecord MeditateRow = {4, 0, kAll, 2, 1, 1, 3};
inline constexpr LevelRecord PracticeRow = {0, 0, kNone, 0, 0, 0, 0};

}  // namespace auralis
