#pragma once

#include <array>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "engine/LessonHost.h"

namespace auralis::driver {

// The window as the driver shows it: one line for each thing the engine asks the user to see or
// hear. The instruction line and the status panels are printed only when their text changes.
class PrintingHost : public LessonHost {
 public:
  explicit PrintingHost(std::ostream& out) : out_(out) {}

  void playFeedbackSound(FeedbackSound sound) override;
  void pause(int milliseconds) override;
  void repaintNotePanel() override;
  void repaintWindowNow() override;
  void setInstructionText(std::string_view text) override;
  void setStatusText(int panel, std::string_view text) override;
  void startMicrophone() override;
  void stopMicrophone() override;
  void showMicStatus() override;
  void saveMastery(const Mastery& mastery) override;
  void lessonItemChecked(LessonItem item) override;

  std::string instruction() const { return instruction_.value_or(std::string()); }

  // Prints the instruction line and panels 0, 2, 3 and 4 as they stand, changed or not.
  void printTexts();

 private:
  static constexpr int kPanelCount = 5;

  void printText(std::string_view label, const std::optional<std::string>& text);

  std::ostream& out_;
  bool microphoneOn_ = false;
  std::optional<std::string> instruction_;  // nothing until the engine first sets it
  std::array<std::optional<std::string>, kPanelCount> panels_;
};

}  // namespace auralis::driver
