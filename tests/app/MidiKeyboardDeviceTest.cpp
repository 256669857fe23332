#include <optional>

#include "app/SettingsStore.h"
#include "tests/app/DeviceWindow.h"

namespace auralis::testing {
namespace {

using namespace std::chrono_literals;

class MidiKeyboardDeviceTest : public DeviceWindowTest {
 protected:
  // The keyboard comes before the window, which lists the ports once, at start.
  void SetUp() override {
    DeviceWindowTest::SetUp();
    if (!IsSkipped() && !HasFatalFailure()) keyboard.emplace(kClient);
  }
  // Opens the window and chooses the keyboard in the MIDI In menu.
  void openWithKeyboard() {
    open();
    ASSERT_TRUE(chooseDevice(menus().MIDIIn1, QString::fromLatin1(kPortName)))
        << "the keyboard is listed";
    EXPECT_EQ(checkedDeviceName(menus().MIDIIn1), QString::fromLatin1(kPortName));
  }
  bool waitForScore(const char* score) {
    return waitFor([&] { return panel(4).startsWith(QString::fromLatin1(score)); }, 2s);
  }
  bool waitForPhrases(std::size_t count) {
    return waitFor([&] { return midiOut->phraseCount() >= count; }, 2s);
  }
  std::vector<int> pitchClassesOf(const std::vector<int>& notes) {
    std::vector<int> classes;
    for (int note : notes) classes.push_back(pitchClassOf(note));
    return classes;
  }

  static constexpr const char* kClient = "keys";
  static constexpr const char* kPortName = "keys:out";
  std::optional<JackKeyboard> keyboard;
};

TEST_F(MidiKeyboardDeviceTest, KeysAnswerInAnyOctaveAndTheLowKeysCommand) {
  ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
  type("i");
  ASSERT_TRUE(waitUntilQuiet(3s));
  sounds->clearHeard();
  // An octave below the question: octaves never matter.
  keyboard->strike(lesson().question.QuestionNotes[0] - 12, 100);
  ASSERT_TRUE(waitForScore("1/1 this level")) << panel(4).toStdString();
  EXPECT_EQ(sounds->heard(), std::vector<FeedbackSound>{FeedbackSound::Correct});
  ASSERT_TRUE(waitUntilQuiet(3s)) << "the next question";

  // A release of the right key, low keys that are no command, a released command key, then a
  // wrong key on channel 10: only the last one counts.
  const int asked = lesson().question.QuestionNotes[0];
  const int wrong = (pitchClassOf(asked) + 1) % 12;
  const std::size_t phrases = midiOut->phraseCount();
  sounds->clearHeard();
  keyboard->strike(asked, 0);
  for (int key : {0, 35, 37, 39}) keyboard->strike(key, 100);
  keyboard->strike(36, 0);
  keyboard->strike(84 + wrong, 90, 9);
  ASSERT_TRUE(waitForScore("1/2 this level")) << panel(4).toStdString();
  EXPECT_EQ(sounds->heard(), std::vector<FeedbackSound>{FeedbackSound::Incorrect});
  ASSERT_TRUE(waitUntilQuiet(3s));
  EXPECT_EQ(midiOut->phraseCount(), phrases + 1) << "only the correction";

  // D2 replays the wrong answer, C2 the question, E2 asks a new one without counting the old.
  keyboard->strike(38, 100);
  ASSERT_TRUE(waitForPhrases(phrases + 2));
  EXPECT_EQ(pitchClassesOf(midiOut->lastNotes()), std::vector<int>{wrong});
  ASSERT_TRUE(waitUntilQuiet(3s));
  keyboard->strike(36, 100);
  ASSERT_TRUE(waitForPhrases(phrases + 3));
  EXPECT_EQ(midiOut->lastNotes(), std::vector<int>{asked});
  ASSERT_TRUE(waitUntilQuiet(3s));
  keyboard->strike(40, 100);
  ASSERT_TRUE(waitForPhrases(phrases + 4));
  EXPECT_EQ(midiOut->lastNotes(), std::vector<int>{lesson().question.QuestionNotes[0]});
  EXPECT_TRUE(panel(4).startsWith(QStringLiteral("1/2 this level"))) << panel(4).toStdString();
  EXPECT_EQ(sounds->heard(), std::vector<FeedbackSound>{FeedbackSound::Incorrect})
      << "commands make no feedback sound";
}

TEST_F(MidiKeyboardDeviceTest, TheSungLessonsIgnoreEveryKey) {
  ASSERT_NO_FATAL_FAILURE(openWithKeyboard());
  type("m");
  ASSERT_TRUE(waitUntilQuiet(3s));
  const int asked = lesson().question.QuestionNotes[0];
  const std::size_t phrases = midiOut->phraseCount();
  sounds->clearHeard();
  for (int key : {36, 38, 40, asked, asked + 12}) keyboard->strike(key, 100);
  keepRunning(300ms);
  EXPECT_EQ(midiOut->phraseCount(), phrases);
  EXPECT_TRUE(sounds->heard().empty());
  EXPECT_TRUE(panel(4).startsWith(QStringLiteral("0/0 this level"))) << panel(4).toStdString();
}

// No keyboard when the window opens: one plugged in later shows once the menu opens.
using LateKeyboardDeviceTest = DeviceWindowTest;

TEST_F(LateKeyboardDeviceTest, AKeyboardPluggedInLaterIsListedAndShownGoneOnceUnplugged) {
  open();
  const QString port = QStringLiteral("late-keys:out");
  std::optional<JackKeyboard> keyboard(std::in_place, "late-keys");
  ASSERT_TRUE(openMenuUntilListed(menus().MIDIIn1, port, 5s));
  ASSERT_TRUE(chooseDevice(menus().MIDIIn1, port));
  type("i");
  ASSERT_TRUE(waitUntilQuiet(3s));
  keyboard->strike(lesson().question.QuestionNotes[0], 100);
  EXPECT_TRUE(waitFor([&] { return panel(4).startsWith(QStringLiteral("1/1 this level")); }, 2s))
      << "its keys answer: " << panel(4).toStdString();

  keyboard.reset();
  ASSERT_TRUE(openMenuUntilListed(menus().MIDIIn1, port + QStringLiteral(" (not connected)"), 5s));
  const std::vector<QAction*> items = deviceItemsOf(menus().MIDIIn1);
  ASSERT_FALSE(items.empty());
  EXPECT_TRUE(items.back()->isChecked());
  EXPECT_FALSE(items.back()->isEnabled());
  closeWindow();
  EXPECT_EQ(storedValue("MIDIIn").toString(), port) << "the keyboard is still the one chosen";
}

}  // namespace
}  // namespace auralis::testing
