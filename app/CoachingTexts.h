#pragma once

#include <QString>

#include "display/NotePanelLayout.h"
#include "engine/Coaching.h"

namespace auralis {

// What the window tells a singer, in the names of the current view (the piano view names notes
// by their letters, as the pitch graph does).

// "Right: MI", or "SO, not MI": the answer against what was asked, whatever its source. A sung
// answer is judged while its note still sounds, before the note's mean is known, so the verdict
// names notes only; the pitch graph and the history give the cents.
QString verdictText(const Verdict& verdict, display::NoteView view);
// "MI, 35 cents flat" or "SO, 30 cents sharp".
QString offTuneText(const OffTuneNote& note, display::NoteView view);
// "12 cents sharp", "8 cents flat" or "in tune" for what rounds to 0.
QString centsText(double cents);
// A note with its octave as singers write it, middle C (MIDI 60) being "DO4" or "C4".
QString noteWithOctave(int midiNote, display::NoteView view);

// A long tone's score: "Within 10 cents 72 %, within 25 cents 95 %, drift +4 cents, wobble 6
// cents", and " (stopped early)" when the take was not held to its end.
QString longToneScoreText(const LongToneResult& take);

}  // namespace auralis
