#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/Lesson.h"
#include "engine/Notes.h"
#include "platform/FakeMidiOutStream.h"

namespace auralis::testing {

// Records what the engine asked of the window, one entry per request.
class RecordingHost : public LessonHost, public MicrophoneSwitch {
 public:
  std::vector<std::string> sounds;
  std::vector<std::string> events;  // sounds, pauses, repaints and microphone calls in order
  std::string instruction;
  std::string panels[5];
  std::vector<Mastery> saves;
  std::vector<Verdict> verdicts;
  std::vector<std::size_t> soundsBeforeVerdict;
  int notePanelRepaints = 0;

  void playFeedbackSound(FeedbackSound sound) override {
    static const char* names[] = {"CORRECT", "INCORRECT", "PROMOTE", "DEMOTE"};
    sounds.emplace_back(names[static_cast<int>(sound)]);
    events.emplace_back(names[static_cast<int>(sound)]);
  }
  void pause(int ms) override { events.push_back("pause " + std::to_string(ms)); }
  void repaintNotePanel() override { ++notePanelRepaints; }
  void repaintWindowNow() override { events.emplace_back("repaint window"); }
  void setInstructionText(std::string_view text) override { instruction = text; }
  void setStatusText(int panel, std::string_view text) override { panels[panel] = text; }
  void startMicrophone() override { events.emplace_back("mic start"); }
  void stopMicrophone() override { events.emplace_back("mic stop"); }
  void showMicStatus() override {}
  void saveMastery(const Mastery& m) override { saves.push_back(m); }
  void lessonItemChecked(LessonItem) override {}
  void showVerdict(const Verdict& verdict) override {
    verdicts.push_back(verdict);
    soundsBeforeVerdict.push_back(sounds.size());
  }

  int count(const std::string& event) const {
    return static_cast<int>(std::count(events.begin(), events.end(), event));
  }
};

// A lesson over the recording host and a fake MIDI stream that is open and present.
class LessonFixture : public ::testing::Test {
 protected:
  LessonFixture() {
    player.midiOutPresent = true;
    player.OpenMidiOut(platform::kDefaultMidiDevice);
  }

  // The stream reaches the end of the sounding phrase; WM_PLAYDONE is handled.
  void finishPhrase() {
    if (!stream.completePhrase()) return;
    while (posted > 0) {
      --posted;
      lesson.PlaybackDone();
    }
  }

  // Lets every phrase, including replays started by the done notice, run to its end.
  void finishAllPhrases() {
    for (int guard = 0; guard < 10 && stream.playing(); ++guard) finishPhrase();
  }

  void type(std::string_view keys) {
    for (char ch : keys) lesson.FormKeyPress(ch);
  }

  // The letters that answer the current question correctly.
  std::string rightAnswer() const {
    std::string letters;
    for (int i = 0; i < lesson.question.QuestionNoteCount; ++i)
      letters += NoteLetters[pitchClassOf(lesson.question.QuestionNotes[i])];
    return letters;
  }

  // A letter that is wrong for question note i.
  char wrongLetterFor(int i) const {
    return NoteLetters[(pitchClassOf(lesson.question.QuestionNotes[i]) + 1) % 12];
  }

  void answerRight() {
    finishAllPhrases();
    type(rightAnswer());
    finishAllPhrases();
  }

  // The phrase last handed to the stream, as (delta, status, note, velocity).
  std::vector<std::array<int, 4>> lastPhrase() const {
    std::vector<std::array<int, 4>> out;
    if (stream.phrases.empty()) return out;
    for (const auto& e : stream.phrases.back())
      out.push_back(
          {static_cast<int>(e.delta), statusOf(e.event), noteOf(e.event), velocityOf(e.event)});
    return out;
  }

  RecordingHost host;
  platform::FakeMidiOutStream stream;
  int posted = 0;
  MidiStreamPlayer player{stream, [this] { ++posted; }};
  Lesson lesson{host, player, host};
};

}  // namespace auralis::testing
