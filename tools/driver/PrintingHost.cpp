#include "tools/driver/PrintingHost.h"

#include "tools/driver/EffectText.h"

namespace auralis::driver {

namespace {

constexpr std::array<std::string_view, 5> kPanelLabels = {"status 0", "status 1", "status 2",
                                                          "status 3", "status 4"};

}  // namespace

void PrintingHost::showVerdict(const Verdict& verdict) {
  out_ << verdictText(verdict) << '\n';
}

void PrintingHost::offTuneHeld(const OffTuneNote& note) {
  out_ << offTuneText(note) << '\n';
}

void PrintingHost::offTuneOver() {
  out_ << kOffTuneOverText << '\n';
}

void PrintingHost::recordHeldNote(const HeldNote& note) {
  out_ << heldNoteText(note) << '\n';
}

void PrintingHost::longToneDone(const LongToneResult& result) {
  out_ << longToneText(result) << '\n';
}

void PrintingHost::playFeedbackSound(FeedbackSound sound) {
  out_ << "sound " << feedbackSoundName(sound) << '\n';
}

void PrintingHost::pause(int milliseconds) {
  out_ << "pause " << milliseconds << '\n';
}

void PrintingHost::repaintNotePanel() {
  out_ << "repaint panel\n";
}

void PrintingHost::repaintWindowNow() {
  out_ << "repaint window\n";
}

void PrintingHost::printText(std::string_view label, const std::optional<std::string>& text) {
  // Quoted, so that leading, trailing and doubled blanks show; the texts hold no double quotes.
  out_ << label << " \"" << text.value_or("") << "\"\n";
}

void PrintingHost::setInstructionText(std::string_view text) {
  if (instruction_ == text) return;
  instruction_ = std::string(text);
  printText("instruction", instruction_);
}

void PrintingHost::setStatusText(int panel, std::string_view text) {
  if (panel < 0 || panel >= kPanelCount) return;
  auto& last = panels_[static_cast<std::size_t>(panel)];
  if (last == text) return;
  last = std::string(text);
  printText(kPanelLabels[static_cast<std::size_t>(panel)], last);
}

void PrintingHost::microphoneRequested(MicrophoneRequest request) {
  switch (request) {
    case MicrophoneRequest::Start:
      microphoneOn_ = true;
      out_ << "mic start\n";
      break;
    case MicrophoneRequest::Stop:
      microphoneOn_ = false;
      out_ << "mic stop\n";
      break;
    case MicrophoneRequest::ShowStatus:
      out_ << "mic status " << (microphoneOn_ ? "on" : "off") << '\n';
      break;
  }
}

void PrintingHost::saveMastery(const Mastery& mastery) {
  out_ << "save mastery " << masteryText(mastery) << '\n';
}

void PrintingHost::lessonItemChecked(LessonItem item) {
  out_ << "lesson item " << lessonItemName(item) << '\n';
}

void PrintingHost::drawTuningMarker(int pitchClass, float offset) {
  // The marker is redrawn only when it moves, so only a move is printed.
  if (pitchClass == markerPitchClass_ && offset == markerOffset_) return;
  markerPitchClass_ = pitchClass;
  markerOffset_ = offset;
  out_ << "marker " << pitchClass << ' ' << offset << '\n';
}

void PrintingHost::printTexts() {
  printText("instruction", instruction_);
  for (std::size_t panel : {0u, 2u, 3u, 4u}) printText(kPanelLabels[panel], panels_[panel]);
}

}  // namespace auralis::driver
