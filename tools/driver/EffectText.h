#pragma once

#include <array>
#include <string>
#include <string_view>

#include "engine/Coaching.h"
#include "engine/LessonHost.h"
#include "engine/LessonMode.h"
#include "engine/Scores.h"
#include "output/MidiEvent.h"
#include "platform/MidiOutStream.h"

namespace auralis::driver {

// "IdentifyMastery95Percent=0 IdentifyMastery100Percent=0 ..." in the order they are stored.
std::string masteryText(const Mastery& mastery);

// What is told of the singing, one line each:
// "verdict right e e sung note 64 cents -3.5", "verdict wrong c e typed"
std::string verdictText(const Verdict& verdict);
// "offtune note 64 cents -35.2"
std::string offTuneText(const OffTuneNote& note);
inline constexpr std::string_view kOffTuneOverText = "offtune over";
// "held note 64 cents -34.9 spread 3.57 frames 49 ms 1231 accepted no judged none"
std::string heldNoteText(const HeldNote& note);
// "longtone note 62 ms 2000 heard 1950 within10 0.85 within25 1.00 drift -2.1 wobble 4.30
// completed yes"
std::string longToneText(const LongToneResult& result);

// "CORRECT", "INCORRECT", "PROMOTE" or "DEMOTE".
std::string_view feedbackSoundName(FeedbackSound sound);

// "Identify1" and so on: the component name of a Lesson menu item.
std::string_view lessonItemName(LessonItem item);

// "Practice", "Identify", "Unlock", "Sing", "Meditate" or "Mimic".
std::string_view lessonModeName(LessonMode mode);

// A character as scripts name it: "Escape", "space", or the character itself.
std::string keyName(char key);

// "4: 0 90 3C 50 | 30 90 3C 00 | ...": the event count, then each event's delta in ticks
// (decimal) and its status, note and velocity bytes (hexadecimal). Works for phrases
// (MidiEvent) and stream buffers (StreamEvent) alike.
template <typename Event>
std::string eventsText(const Event* events, int count);

extern template std::string eventsText(const MidiEvent* events, int count);
extern template std::string eventsText(const platform::StreamEvent* events, int count);

}  // namespace auralis::driver
