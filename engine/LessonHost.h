#pragma once

#include <string_view>

#include "engine/Coaching.h"
#include "engine/LessonMode.h"
#include "engine/Scores.h"

namespace auralis {

enum class FeedbackSound { Correct, Incorrect, Promote, Demote };

inline constexpr int kMicPanel = 1;  // the status panel that capture and the readout write

// What the engine asks of the window: sounds, pauses, repaints and texts.
class LessonHost {
 public:
  virtual ~LessonHost() = default;
  // Returns when the sound has finished, or at once with no sound output.
  virtual void playFeedbackSound(FeedbackSound sound) = 0;
  virtual void pause(int milliseconds) = 0;
  virtual void repaintNotePanel() = 0;
  virtual void repaintWindowNow() = 0;
  virtual void setInstructionText(std::string_view text) = 0;
  // Panels 0 to 4 of the status bar. The lesson writes 0, 2, 3 and 4; kMicPanel belongs to the
  // microphone.
  virtual void setStatusText(int panel, std::string_view text) = 0;
  virtual void saveMastery(const Mastery& mastery) = 0;
  // A mode command checked its Lesson menu item and puts its tool button down.
  virtual void lessonItemChecked(LessonItem item) = 0;
  // After every judged answer, whatever its source; a host that shows no verdict ignores it.
  virtual void showVerdict(const Verdict& verdict) { static_cast<void>(verdict); }
};

// Where the lesson's wishes for the microphone go: the run's core, which starts and stops capture
// and shows its state.
class MicrophoneSwitch {
 public:
  virtual void startMicrophone() = 0;
  // Also erases the tuning marker.
  virtual void stopMicrophone() = 0;
  virtual void showMicStatus() = 0;

 protected:
  ~MicrophoneSwitch() = default;
};

}  // namespace auralis
