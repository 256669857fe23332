#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/Notes.h"
#include "tests/input/LiveRig.h"
#include "tests/input/Signals.h"

// A voice-like tone goes into the scripted microphone and comes out of the whole input path:
// capture, the real detector, the readout and the lesson engine.

namespace auralis::testing {
namespace {

std::vector<std::int16_t> voice(int midiNote, int buffers, double cents = 0.0,
                                double vibratoCents = 10.0) {
  signals::Tone tone;
  tone.frequency = signals::detune(signals::noteHz(midiNote - 21), cents);
  tone.amplitude = 6000;
  tone.vibratoCents = vibratoCents;
  tone.noise = 150;
  tone.seed = static_cast<std::uint64_t>(midiNote);
  return signals::harmonicTone(tone, buffers * kBufferSamples);
}

std::vector<std::int16_t> silence(int buffers) {
  return std::vector<std::int16_t>(static_cast<std::size_t>(buffers * kBufferSamples), 0);
}

void append(std::vector<std::int16_t>& sound, const std::vector<std::int16_t>& more) {
  sound.insert(sound.end(), more.begin(), more.end());
}

// The microphone hears the sound to its end; each phrase finishes as soon as it has started, as
// a quick synthesiser's would in a lesson where the user waits for the question.
void hear(LiveRig& rig, std::vector<std::int16_t> sound) {
  rig.microphone.setSamples(std::move(sound));
  while (rig.deliverBuffer()) {
    if (rig.midiOut.completePhrase()) rig.pump();
  }
}

// A Mimic lesson whose first question has been played to its end.
void startMimic(LiveRig& rig) {
  rig.capture.DetectSoundInput();
  rig.lesson.MimicSing1Click();
  ASSERT_TRUE(rig.capture.captureRunning());
  ASSERT_TRUE(rig.midiOut.completePhrase());
  rig.pump();
  ASSERT_GT(rig.lesson.question.QuestionNoteCount, 0);
}

// Each note sung for half a second with a breath between, after the question's 20 frames.
std::vector<std::int16_t> sing(const std::vector<int>& notes) {
  std::vector<std::int16_t> sound = silence(kFramesBeforeAnswer + 1);
  for (int note : notes) {
    append(sound, voice(note, 22));
    append(sound, silence(3));
  }
  return sound;
}

TEST(LiveInputTest, TheSungQuestionNotesAreJudgedCorrect) {
  LiveRig rig;
  startMimic(rig);
  const QuestionState question = rig.lesson.question;
  const std::vector<int> notes(question.QuestionNotes.begin(),
                               question.QuestionNotes.begin() + question.QuestionNoteCount);
  std::vector<char> letters;
  for (int note : notes) letters.push_back(NoteLetters[pitchClassOf(note)]);

  hear(rig, sing(notes));

  EXPECT_EQ(rig.window.characters, letters);
  EXPECT_EQ(rig.lesson.scores.TotalAsked, 1);
  EXPECT_EQ(rig.lesson.scores.TotalCorrect, 1);
}

TEST(LiveInputTest, OnlyAVoiceCloseToTheNoteIsAccepted) {
  const std::pair<double, bool> cases[] = {
      {0.0, true}, {-20.0, true}, {12.0, true}, {-40.0, false}, {30.0, false}};
  for (const auto& [cents, accepted] : cases) {
    SCOPED_TRACE(cents);
    LiveRig rig;
    rig.listen();
    rig.capture.StartMicrophone();
    hear(rig, voice(60, 30, cents, 0.0));  // middle C, for less than a hold-off
    EXPECT_EQ(rig.window.characters, accepted ? std::vector<char>{'c'} : std::vector<char>{});
    rig.pump();
    EXPECT_EQ(rig.lesson.sungOctave(), accepted ? 5 : 0);
  }
}

}  // namespace
}  // namespace auralis::testing
