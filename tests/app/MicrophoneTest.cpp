#include "tests/app/WindowFixture.h"
#include "tests/input/Signals.h"

namespace auralis::testing {
namespace {

using Microphone = WindowTest;

TEST_F(Microphone, ListeningFollowsTheLessonMode) {
  TForm1& window = open();
  EXPECT_EQ(panel(1), "Mic OFF");
  window.FormActivate();
  EXPECT_EQ(panel(1), "Mic ON");
  EXPECT_TRUE(soundInput.started());
  EXPECT_EQ(instruction(), "Sing 'DO' then choose a lesson:  ")
      << "the text shown while the detector's tables were built is gone";
  struct Step {
    char key;
    bool listening;
  };
  for (const Step& step : {Step{'i', false}, Step{'m', true}, Step{'i', false}, Step{'s', true},
                           Step{'u', true}, Step{'t', true}, Step{'i', false}, Step{'p', true}}) {
    type(std::string(1, step.key));
    EXPECT_EQ(panel(1), step.listening ? "Mic ON" : "Mic OFF") << step.key;
    EXPECT_EQ(soundInput.started(), step.listening) << step.key;
    EXPECT_EQ(window.core().capture().captureRunning(), step.listening) << step.key;
  }
  closeWindow();
  EXPECT_FALSE(soundInput.isOpen()) << "the device is closed at exit";
  EXPECT_FALSE(soundInput.started());
}

TEST_F(Microphone, WithoutASoundInputThePanelSaysNoMicThroughout) {
  soundInput.devices.clear();
  TForm1& window = open();
  EXPECT_EQ(panel(1), "No Mic");
  window.FormActivate();
  EXPECT_EQ(panel(1), "No Mic");
  type("m");
  EXPECT_EQ(panel(1), "No Mic");
  EXPECT_TRUE(lesson().micWanted);
  EXPECT_TRUE(deviceItemsOf(menus().Microphone1).empty());
}

TEST_F(Microphone, ChoosingAnotherMicrophoneEndsWithItCapturingInEveryMode) {
  soundInput.devices = {"Headset", "Webcam"};
  TForm1& window = open();
  window.FormActivate();
  type("i");  // not listening
  deviceItemsOf(menus().Microphone1)[2]->trigger();
  EXPECT_EQ(soundInput.openDevice(), 1);
  EXPECT_TRUE(soundInput.started());
  EXPECT_EQ(panel(1), "Mic ON");
  closeWindow();
  EXPECT_EQ(store()->value("Microphone").toString(), "Webcam");
}

TEST_F(Microphone, ALostMicrophoneSaysNoMicWhileTheLessonGoesOnAndComesBackByItself) {
  soundInput.devices = {"Headset", "Webcam"};
  TForm1& window = open();
  window.FormActivate();
  type("m");
  ASSERT_EQ(panel(1), "Mic ON");
  soundInput.stayGone = true;
  soundInput.loseDevice();
  deliverNotices();
  EXPECT_EQ(panel(1), "No Mic");
  // The other lessons go on as before.
  type("i");
  answerRight();
  EXPECT_EQ(lesson().scores.LevelCorrect, 1);
  type("m");
  EXPECT_EQ(panel(1), "No Mic");

  const auto retry = [&] {
    window.core().capture().worker().runDelayedCalls();
    deliverNotices();
  };
  retry();
  EXPECT_EQ(panel(1), "No Mic") << "still gone";
  soundInput.stayGone = false;
  retry();
  EXPECT_EQ(panel(1), "Mic ON");
  EXPECT_TRUE(soundInput.started());
  EXPECT_EQ(soundInput.openDevice(), platform::kDefaultSoundInput) << "the same device";
  type("i");
  EXPECT_EQ(panel(1), "Mic OFF");
}

TEST_F(Microphone, AStoredMicrophoneIsTheOneOpened) {
  soundInput.devices = {"Headset", "Webcam"};
  storeValue("Microphone", "Webcam");
  open().FormActivate();
  EXPECT_EQ(soundInput.openDevice(), 1);
  EXPECT_TRUE(soundInput.started());
}

TEST_F(Microphone, ASteadySungNoteAnswersTheMimicQuestion) {
  TForm1& window = open();
  window.show();
  window.FormActivate();
  type("m");
  finishPhrases();
  ASSERT_EQ(lesson().question.QuestionNoteCount, 1);
  const int pitchClass = pitchClassOf(lesson().question.QuestionNotes[0]);
  const int detectorNote = 60 + pitchClass - 21;  // in the octave of middle C
  signals::Tone tone;
  tone.frequency = signals::noteHz(detectorNote);
  soundInput.setSamples(signals::harmonicTone(tone, 60 * kBufferSamples));

  QString readout;
  for (int buffer = 0; buffer < 60 && lesson().scores.LevelAsked == 0; ++buffer) {
    ASSERT_TRUE(soundInput.deliverBuffer());
    deliverNotices();
    if (panel(1).endsWith(QStringLiteral(" Hz"))) readout = panel(1);
  }
  EXPECT_EQ(lesson().scores.LevelCorrect, 1);
  EXPECT_EQ(
      readout,
      QString::asprintf("%1.1f Hz",
                        static_cast<double>(window.core().detector().noteFrequency(detectorNote))));
  EXPECT_EQ(window.notePanel()->markerPitchClass(), pitchClass) << "the tuning marker follows";
  EXPECT_EQ(lesson().sungPitchClass(), pitchClass);
  EXPECT_EQ(lesson().sungOctave(), 5);
}

}  // namespace
}  // namespace auralis::testing
