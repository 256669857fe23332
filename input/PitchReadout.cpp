#include "input/PitchReadout.h"

#include <cstdio>
#include <cstdlib>

#include "engine/Lesson.h"
#include "engine/Levels.h"
#include "engine/Notes.h"
#include "input/HeldNoteTracker.h"

namespace auralis {

PitchReadout::PitchReadout(Lesson& lesson, const PitchDetector& detector,
                           const MicrophoneCapture& capture, const HeldNoteTracker& heldNotes,
                           ReadoutHost& host)
    : lesson_(lesson), detector_(detector), capture_(capture), heldNotes_(heldNotes), host_(host) {}

void PitchReadout::EraseTuningMarker() {
  host_.drawTuningMarker(-1, -1.0f);
}

bool PitchReadout::accepts(const FrameResult& frame) const {
  const int pitchClass = frame.DetectedPitchClass;
  if (pitchClass < 0 || pitchClass >= 12) return false;
  if (lesson_.framesSincePlay() <= kFramesBeforeAnswer || stableRun_ <= kRequiredRun) return false;
  if (lesson_.level.ActivePitchClasses[pitchClass] != 1) return false;
  // A note already sounding when the question, or its retry, began is no answer to it.
  if (heldNotes_.soundingBefore(lesson_.answerWindow())) return false;
  if (lesson_.level.PaceCode == kPaceUnlock) {
    // Only the note that the next answer refers to counts.
    const int position = lesson_.question.AnswerPosition;
    if (position < 0 || position >= static_cast<int>(lesson_.question.QuestionNotes.size()))
      return false;
    if (pitchClass != pitchClassOf(lesson_.question.QuestionNotes[position])) return false;
  }
  return inTune(frame.DetectedOffsetStep);
}

void PitchReadout::ShowPitchReadout(const FrameResult& frame, const std::optional<SungPitch>& pitch,
                                    std::int64_t buffer) {
  if (!capture_.soundInPresent || !lesson_.micWanted) return;
  const int note = frame.DetectedNote;

  if (note > 0) {
    char text[32];
    std::snprintf(text, sizeof text, "%1.1f Hz",
                  static_cast<double>(detector_.noteFrequency(note)));
    host_.setMicPanelText(text);
  } else {
    host_.setMicPanelText(kMicOnText);
  }

  // A jump of two semitones or more is a new note, not a voice off its centre.
  if (note > 0 && previousNote_ > 0 && std::abs(note - previousNote_) < 2)
    host_.drawTuningMarker(frame.DetectedPitchClass, frame.DetectedOffset);
  else if (previousNote_ > 0)
    EraseTuningMarker();

  if (micHoldOff_ > 0) {
    --micHoldOff_;
    // The accepted note still sounding is not a new answer; MicLetter keeps its letter.
    if (previousNote_ == note) return;
    if (previousNote_ == 0) micHoldOff_ = 0;
  }
  previousNote_ = note;

  if (frame.DetectedPitchClass == lastPitchClass_ && inTune(frame.DetectedOffsetStep))
    ++stableRun_;
  else
    stableRun_ = 0;
  lastPitchClass_ = frame.DetectedPitchClass;

  lesson_.FrameHeard();

  if (!accepts(frame)) {
    lesson_.SungNoteOver();
    return;
  }
  stableRun_ = 0;
  micHoldOff_ = kMicHoldOffFrames;
  // The estimate between sub-bands, where there is one, is finer than the sub-band.
  const double cents =
      pitch ? pitch->cents : (frame.DetectedOffsetStep - kNominalSubBand) * (100.0 / kSubBands);
  host_.postSungNote(SungNote{note, frame.DetectedOffsetStep, cents, buffer});
}

}  // namespace auralis
