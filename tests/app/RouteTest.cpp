#include <sstream>
#include <string>
#include <vector>

#include "engine/Levels.h"
#include "tests/app/WindowFixture.h"
#include "tools/driver/Driver.h"

namespace auralis::testing {
namespace {

// What a user would notice of a lesson, as one comparable line.
std::string lessonEffects(Core& core) {
  const Lesson& l = core.lesson();
  const Scores& s = l.scores;
  std::ostringstream out;
  out << "mode " << static_cast<int>(l.lessonMode) << " level " << l.level.currentLevel << " asked "
      << s.LevelAsked << " correct " << s.LevelCorrect << " streak " << s.LevelStreak << " total "
      << s.TotalCorrect << '/' << s.TotalAsked << " question";
  for (int i = 0; i < l.question.QuestionNoteCount; ++i) out << ' ' << l.question.QuestionNotes[i];
  out << " position " << l.question.AnswerPosition << " deferred " << l.DeferredAnswer << " replay "
      << l.ReplayPending << " idle " << core.player().PlaybackIdle() << " sung '" << l.micLetter()
      << "' frames " << l.framesSincePlay() << " mastery " << l.mastery.IdentifyMastery95Percent
      << ' ' << l.mastery.MimicMastery95Percent;
  return out.str();
}

// A frame of a steady, in-tune note of the pitch class, in the octave above middle C; silence
// for -1.
notice::MicFrame heardFrame(int pitchClass) {
  FrameResult frame;
  if (pitchClass < 0) return {frame, std::nullopt};
  frame.DetectedNote = 3 + 12 * 4 + pitchClass;  // detector index of C5 and up
  frame.DetectedPitchClass = pitchClass;
  frame.DetectedOffsetStep = kNominalSubBand;
  frame.DetectedOffset = static_cast<float>(kNominalSubBand) / kSubBands;
  return {frame, std::nullopt};
}

// The history's view of the answers, without their times.
class AnswerLog : public AnswerRecorder {
 public:
  std::vector<std::string> lines;
  void recordAnswer(const AnswerRecord& a) override {
    lines.push_back(std::string(1, a.letter) + " source " +
                    std::to_string(static_cast<int>(a.source)) + " position " +
                    std::to_string(a.position) + " correct " + std::to_string(a.correct) +
                    " level " + std::to_string(a.level));
  }
  void recordLevelEvent(const LevelEvent& e) override {
    lines.push_back("level event " + std::to_string(static_cast<int>(e.kind)));
  }
};

class SameRoute : public WindowTest {
 protected:
  SameRoute() : driver(driverOut, driverErr) {
    midiInput.devices = {"Keys"};
    open();
    cores = {&form->core(), &driver.core()};
    for (Core* core : cores) core->lesson().random.RandomState = 20240611;
    form->core().lesson().recorder = &windowLog;
    driver.core().lesson().recorder = &driverLog;
  }
  ~SameRoute() override {
    EXPECT_EQ(windowLog.lines, driverLog.lines);
    // The window writes the sung answers still waiting for their note as it closes, after the
    // logs have gone.
    for (Core* core : cores) core->lesson().recorder = nullptr;
  }

  // The same notice down both routes: the window's posted event, the driver's queue.
  void post(const Notice& notice) {
    form->messageWindow().post(notice);
    deliverNotices();
    driver.post(notice);
  }
  // Each output reaches the end of its phrase and posts its own done notice.
  void finishPhrase() {
    if (midiOut.completePhrase()) deliverNotices();
    std::istringstream done("done\n");
    driver.run(done);
  }
  int keyboardGeneration() {
    const int generation = form->core().midiKeyboard().generation();
    EXPECT_EQ(driver.core().midiKeyboard().generation(), generation);
    return generation;
  }
  char rightLetter(int position) {
    const Lesson& l = form->lesson();
    return NoteLetters[pitchClassOf(l.question.QuestionNotes[position])];
  }
  void expectSameEffects(const std::string& step) {
    EXPECT_EQ(lessonEffects(*cores[0]), lessonEffects(*cores[1])) << step;
    EXPECT_EQ(midiOut.phrases.size(), driver.stream().phrases.size()) << step;
  }

  std::ostringstream driverOut;
  std::ostringstream driverErr;
  driver::Driver driver;
  std::vector<Core*> cores;
  AnswerLog windowLog;
  AnswerLog driverLog;
};

TEST_F(SameRoute, KeysLettersAndDoneNoticesMakeTheSameIdentifyLesson) {
  for (Core* core : cores) core->lesson().Identify1Click();
  expectSameEffects("start");
  for (int round = 0; round < 12; ++round) {
    // A key during playback is deferred until the done notice.
    const char letter = round % 3 == 0 ? 'x' : rightLetter(form->lesson().question.AnswerPosition);
    const char wrong = NoteLetters[(LetterToPitchClass(rightLetter(0)) + 1) % 12];
    post(notice::MidiKey{round % 4 == 1 ? wrong : letter, keyboardGeneration()});
    expectSameEffects("key " + std::to_string(round));
    finishPhrase();
    expectSameEffects("done " + std::to_string(round));
    post(notice::Character{
        SungNote::centred(rightLetter(form->lesson().question.AnswerPosition), 5)});
    finishPhrase();
    expectSameEffects("letter " + std::to_string(round));
  }
  EXPECT_GT(form->lesson().scores.TotalAsked, 0);
  EXPECT_GE(windowLog.lines.size(), 12u) << "every judged letter is kept";
}

TEST_F(SameRoute, KeysFromAClosedKeyboardCountOnNeitherRoute) {
  for (Core* core : cores) core->lesson().Identify1Click();
  finishPhrase();
  const int stale = keyboardGeneration() - 1;
  post(notice::MidiKey{rightLetter(0), stale});
  expectSameEffects("stale key");
  EXPECT_EQ(form->lesson().question.AnswerPosition + form->lesson().scores.LevelAsked, 0);
}

TEST_F(SameRoute, SungFramesAreAcceptedAndJudgedAlikeInMimic) {
  for (Core* core : cores) {
    core->capture().soundInPresent = true;
    core->lesson().MimicSing1Click();
  }
  finishPhrase();
  expectSameEffects("start");
  for (int round = 0; round < 4; ++round) {
    const int pitchClass = LetterToPitchClass(rightLetter(form->lesson().question.AnswerPosition));
    // Long enough for the question to have sounded and the note to be held steady.
    for (int frame = 0; frame < 40; ++frame) post(heardFrame(round == 2 ? -1 : pitchClass));
    finishPhrase();
    expectSameEffects("round " + std::to_string(round));
  }
  EXPECT_GT(form->lesson().scores.LevelCorrect, 0) << "the sung notes were answers";
}

}  // namespace
}  // namespace auralis::testing
