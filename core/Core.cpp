#include "core/Core.h"

#include <algorithm>

namespace auralis {

Core::Core(CoreHost& host, NoticeQueue& notices, CoreDevices devices)
    : host_(host),
      notices_(notices),
      captureFollowsLesson_(devices.captureFollowsLesson),
      player_(
          devices.midiOut, [this] { notices_.post(notice::PlayDone{}); }, replyPoster(),
          [this](int openCount) { notices_.post(notice::MidiOutLost{openCount}); }),
      lesson_(host, player_, *this),
      capture_(devices.soundInput, detector_, *this, replyPoster()),
      readout_(lesson_, detector_, capture_, heldNotes_, *this),
      midiKeyboard_(
          devices.midiInput,
          [this](char key, int generation) {
            notices_.post(notice::MidiKey{key, generation});
          },
          replyPoster(),
          [this](int generation) { notices_.post(notice::MidiInLost{generation}); }) {
  lesson_.setCurrentLevel(kStartingLevel);
  lesson_.setSungAnswersWaitForTheirNote(true);
}

void Core::UtilityWndProc(const Notice& notice) {
  std::visit([this](const auto& n) { handle(n); }, notice);
}

void Core::handle(const notice::CaptureData& data) {
  capture_.CaptureWndProc(data.openCount);
}

void Core::handle(const notice::MicFrame& frame) {
  // First, so that the readout knows whether the note sounding began before the question.
  followHeldNotes(frame);
  readout_.ShowPitchReadout(frame.frame, frame.pitch, frame.buffer);
  host_.showSungPitch(frame.pitch);
  if (longTone_.running()) {
    if (lesson_.lessonMode != LessonMode::Practice || !lesson_.micWanted) {
      finishLongTone();
    } else {
      host_.longToneProgress(longTone_.frame(frame.pitch));
      if (longTone_.finished()) finishLongTone();
    }
  }
  handOverEndedNotes(false);
}

void Core::handle(const notice::PlayDone&) {
  lesson_.PlaybackDone();
  handOverEndedNotes(false);
}

void Core::handle(const notice::Character& character) {
  if (lettersInFlight_ > 0) --lettersInFlight_;
  lesson_.SungKeyPress(character.sung);
  handOverEndedNotes(false);
}

void Core::handle(const notice::MidiKey& key) {
  // A key from a device that has been closed since it was struck.
  if (key.generation != midiKeyboard_.generation()) return;
  lesson_.MidiKeyboardKey(key.key);
}

void Core::handle(const notice::MicrophoneLost& lost) {
  if (!capture_.MicrophoneLost(lost.openCount)) return;
  finishListening();
  readout_.EraseTuningMarker();
  host_.showSungPitch(std::nullopt);
}

void Core::handle(const notice::MidiOutLost& lost) {
  player_.MidiOutLost(lost.openCount);
}

void Core::handle(const notice::MidiInLost& lost) {
  midiKeyboard_.MidiInLost(lost.generation);
}

void Core::handle(const notice::DeviceReply& reply) {
  reply.reply();
}

platform::DeviceWorker::PostReplyFn Core::replyPoster() {
  return [this](platform::DeviceWorker::Task reply) {
    notices_.post(notice::DeviceReply{std::move(reply)});
  };
}

bool Core::FinishDeviceCalls(std::chrono::steady_clock::time_point deadline) {
  // All three are waited for, each up to the same deadline, so that one that never answers
  // costs no more than the wait itself.
  bool finished = capture_.worker().waitUntilIdle(deadline);
  finished = player_.worker().waitUntilIdle(deadline) && finished;
  return midiKeyboard_.worker().waitUntilIdle(deadline) && finished;
}

void Core::StartMicrophone() {
  capture_.StartMicrophone();
}

void Core::StopMicrophone() {
  finishListening();
  capture_.StopMicrophone();
  readout_.EraseTuningMarker();
  host_.showSungPitch(std::nullopt);
}

void Core::ShowMicStatus() {
  capture_.ShowMicStatus();
}

void Core::startLongTone(int midiNote, int durationMs) {
  if (lesson_.lessonMode != LessonMode::Practice || !lesson_.micWanted) return;
  if (longTone_.running()) finishLongTone();
  // The take shows its own cents.
  endOffTuneMessage();
  longTone_.start(midiNote, durationMs, utcNow());
}

void Core::stopLongTone() {
  if (longTone_.running()) finishLongTone();
}

bool Core::longToneRunning() const {
  return longTone_.running();
}

void Core::finishLongTone() {
  const LongToneResult result = longTone_.stop();
  // A take in which nothing was sung is no try.
  if (result.midiNote > 0 && result.heardMs > 0 && lesson_.recorder != nullptr)
    lesson_.recorder->recordLongTone(result);
  host_.longToneDone(result);
}

void Core::finishListening() {
  tellHeldNoteEvents(heldNotes_.finish());
  endOffTuneMessage();
  handOverEndedNotes(true);
  lesson_.writeWaitingAnswers();
  stopLongTone();
}

void Core::followHeldNotes(const notice::MicFrame& frame) {
  // What the readout ignores is not heard.
  if (!capture_.soundInPresent || !lesson_.micWanted) {
    if (heldNotes_.sounding()) tellHeldNoteEvents(heldNotes_.finish());
    return;
  }
  latestBuffer_ = frame.buffer;
  tellHeldNoteEvents(heldNotes_.frame(frame.pitch, frame.buffer, lesson_.answerWindow()));
}

void Core::tellHeldNoteEvents(const HeldNoteEvents& events) {
  if (events.offTuneOver) endOffTuneMessage();
  if (events.ended) {
    if (endedCount_ == kMostEndedNotes) handOverEndedNotes(true);
    const HeldNoteSpan& span = *events.ended;
    EndedNote& ended = ended_[static_cast<std::size_t>(endedCount_++)];
    ended.note = startedNote_;
    ended.note.startMs =
        utcNow() -
        static_cast<std::int64_t>(static_cast<double>(latestBuffer_ - span.firstBuffer) * kFrameMs);
    ended.note.durationMs = span.durationMs();
    ended.note.midiNote = span.midiNote;
    ended.note.meanCents = span.meanCents;
    ended.note.spreadCents = span.spreadCents;
    ended.note.frames = span.steadyFrames;
    ended.note.accepted = span.accepted;
    ended.firstBuffer = span.firstBuffer;
    ended.lastBuffer = span.lastBuffer;
  }
  if (events.started) {
    const bool practice = lesson_.lessonMode == LessonMode::Practice;
    startedNote_ = HeldNote{};
    startedNote_.lesson = lesson_.lessonMode;
    startedNote_.level = practice ? 0 : lesson_.level.currentLevel + 1;
    if (!practice) {
      startedNote_.questionNotes = lesson_.question.QuestionNotes;
      startedNote_.questionNoteCount = lesson_.question.QuestionNoteCount;
    }
  }
  if (events.offTune && !longTone_.running()) {
    offTuneShown_ = true;
    host_.offTuneHeld(*events.offTune);
  }
}

// An accepted note's letter may still be on its way to the lesson, or wait there for a phrase to
// end: the note is handed over once it has been judged, so that it carries its judgement.
void Core::handOverEndedNotes(bool all) {
  const bool judgingAhead = lettersInFlight_ > 0 || lesson_.sungAnswerDeferred();
  if (!all && judgingAhead) return;
  for (int i = 0; i < endedCount_; ++i) {
    const EndedNote& ended = ended_[static_cast<std::size_t>(i)];
    lesson_.heldNoteEnded(ended.note, ended.firstBuffer, ended.lastBuffer);
  }
  endedCount_ = 0;
}

void Core::endOffTuneMessage() {
  if (!offTuneShown_) return;
  offTuneShown_ = false;
  host_.offTuneOver();
}

std::int64_t Core::utcNow() const {
  if (lesson_.utcMilliseconds) return lesson_.utcMilliseconds();
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

void Core::startMicrophone() {
  if (captureFollowsLesson_) StartMicrophone();
  host_.microphoneRequested(MicrophoneRequest::Start);
}

void Core::stopMicrophone() {
  // The lesson stops listening whether or not capture follows it.
  finishListening();
  if (captureFollowsLesson_) StopMicrophone();
  host_.microphoneRequested(MicrophoneRequest::Stop);
}

void Core::showMicStatus() {
  if (captureFollowsLesson_) ShowMicStatus();
  host_.microphoneRequested(MicrophoneRequest::ShowStatus);
}

std::string Core::instructionText() const {
  return host_.instructionText();
}

void Core::setInstructionText(std::string_view text) {
  host_.setInstructionText(text);
}

void Core::repaintWindowNow() {
  host_.repaintWindowNow();
}

void Core::setMicPanelText(std::string_view text) {
  host_.setStatusText(kMicPanel, text);
}

void Core::postCaptureNotice(int openCount) {
  notices_.post(notice::CaptureData{openCount});
}

// Right after the frame's analysis: frames analysed before the notice is handled move the
// detector on.
void Core::postMicFrame(const FrameResult& frame) {
  notices_.post(
      notice::MicFrame{frame, estimateLatestPitch(detector_), detector_.buffersSinceStart()});
}

void Core::postMicrophoneLost(int openCount) {
  notices_.post(notice::MicrophoneLost{openCount});
}

void Core::drawTuningMarker(int pitchClass, float offset) {
  host_.drawTuningMarker(pitchClass, offset);
}

void Core::postSungNote(const SungNote& note) {
  heldNotes_.markAccepted();
  // The steady part so far is a truer measure than the one frame of acceptance.
  SungNote accepted = note;
  if (const std::optional<double> cents = heldNotes_.centsSoFar(note.midiNote()))
    accepted.cents = *cents;
  ++lettersInFlight_;
  notices_.post(notice::Character{accepted});
}

}  // namespace auralis
