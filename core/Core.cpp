#include "core/Core.h"

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
      readout_(lesson_, detector_, capture_, *this),
      midiKeyboard_(
          devices.midiInput,
          [this](char key, int generation) {
            notices_.post(notice::MidiKey{key, generation});
          },
          replyPoster(),
          [this](int generation) { notices_.post(notice::MidiInLost{generation}); }) {
  lesson_.setCurrentLevel(kStartingLevel);
}

void Core::UtilityWndProc(const Notice& notice) {
  std::visit([this](const auto& n) { handle(n); }, notice);
}

void Core::handle(const notice::CaptureData& data) {
  capture_.CaptureWndProc(data.openCount);
}

void Core::handle(const notice::MicFrame& frame) {
  readout_.ShowPitchReadout(frame.frame, frame.pitch, frame.buffer);
  host_.showSungPitch(frame.pitch);
}

void Core::handle(const notice::PlayDone&) {
  lesson_.PlaybackDone();
}

void Core::handle(const notice::Character& character) {
  lesson_.SungKeyPress(character.sung);
}

void Core::handle(const notice::MidiKey& key) {
  // A key from a device that has been closed since it was struck.
  if (key.generation != midiKeyboard_.generation()) return;
  lesson_.MidiKeyboardKey(key.key);
}

void Core::handle(const notice::MicrophoneLost& lost) {
  if (!capture_.MicrophoneLost(lost.openCount)) return;
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
  capture_.StopMicrophone();
  readout_.EraseTuningMarker();
  host_.showSungPitch(std::nullopt);
}

void Core::ShowMicStatus() {
  capture_.ShowMicStatus();
}

void Core::startLongTone(int midiNote, int durationMs) {
  static_cast<void>(midiNote);
  static_cast<void>(durationMs);
}

void Core::stopLongTone() {}

bool Core::longToneRunning() const {
  return false;
}

void Core::startMicrophone() {
  if (captureFollowsLesson_) StartMicrophone();
  host_.microphoneRequested(MicrophoneRequest::Start);
}

void Core::stopMicrophone() {
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
  notices_.post(notice::Character{note});
}

}  // namespace auralis
