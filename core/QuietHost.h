#pragma once

#include <string>

#include "core/CoreHost.h"
#include "core/Notices.h"

namespace auralis {

// A host that shows nothing, hears nothing and drops every notice; rigs override what they
// watch.
class QuietHost : public CoreHost, public NoticeQueue {
 public:
  void playFeedbackSound(FeedbackSound) override {}
  void pause(int) override {}
  void repaintNotePanel() override {}
  void repaintWindowNow() override {}
  void setInstructionText(std::string_view text) override { instruction_ = text; }
  void setStatusText(int, std::string_view) override {}
  void saveMastery(const Mastery&) override {}
  void lessonItemChecked(LessonItem) override {}
  std::string instructionText() const override { return instruction_; }
  void drawTuningMarker(int, float) override {}
  void post(Notice) override {}

 private:
  std::string instruction_;
};

// For a lesson run without the core: its requests for the microphone go nowhere.
class NoMicrophone final : public MicrophoneSwitch {
 public:
  void startMicrophone() override {}
  void stopMicrophone() override {}
  void showMicStatus() override {}
};

}  // namespace auralis
