#pragma once

#include <array>
#include <deque>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "core/CoreHost.h"
#include "core/Notices.h"
#include "engine/AnswerRecord.h"

namespace auralis::driver {

// The window as the driver shows it: one line for each thing the core asks the user to see or
// hear. The instruction line, the status panels and the tuning marker are printed only when they
// change. Posted notices wait in a queue until the driver hands them back to the core. As the
// lesson's recorder it prints each held note and long tone kept; answers it leaves to the sounds.
class PrintingHost : public CoreHost, public NoticeQueue, public AnswerRecorder {
 public:
  explicit PrintingHost(std::ostream& out) : out_(out) {}

  void playFeedbackSound(FeedbackSound sound) override;
  void pause(int milliseconds) override;
  void repaintNotePanel() override;
  void repaintWindowNow() override;
  void setInstructionText(std::string_view text) override;
  void setStatusText(int panel, std::string_view text) override;
  void microphoneRequested(MicrophoneRequest request) override;
  void saveMastery(const Mastery& mastery) override;
  void lessonItemChecked(LessonItem item) override;
  std::string instructionText() const override { return instruction_.value_or(std::string()); }
  void drawTuningMarker(int pitchClass, float offset) override;
  void post(Notice notice) override { posted.push_back(std::move(notice)); }
  void showVerdict(const Verdict& verdict) override;
  void offTuneHeld(const OffTuneNote& note) override;
  void offTuneOver() override;
  void longToneDone(const LongToneResult& result) override;

  void recordAnswer(const AnswerRecord&) override {}
  void recordLevelEvent(const LevelEvent&) override {}
  void recordHeldNote(const HeldNote& note) override;

  std::deque<Notice> posted;

  // Prints the instruction line and panels 0, 2, 3 and 4 as they stand, changed or not.
  void printTexts();

 private:
  static constexpr int kPanelCount = 5;

  void printText(std::string_view label, const std::optional<std::string>& text);

  std::ostream& out_;
  bool microphoneOn_ = false;
  std::optional<std::string> instruction_;  // nothing until the engine first sets it
  std::array<std::optional<std::string>, kPanelCount> panels_;
  int markerPitchClass_ = -1;
  float markerOffset_ = -1.0f;
};

}  // namespace auralis::driver
