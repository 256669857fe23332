#pragma once

class QWidget;

namespace auralis {

inline constexpr const char* kMasteryResetQuestion =
    "Reset the mastery levels of Identify, Unlock and Sing to the first level?";

// Asks before the mastery levels are reset: they are the user's progress. Cancel is the default
// button and the answer of Escape and of closing the question, so only "Reset" resets.
bool confirmMasteryReset(QWidget* parent);

}  // namespace auralis
