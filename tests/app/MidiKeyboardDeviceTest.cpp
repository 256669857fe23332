#include <cstdio>
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

// The window's MIDI ports are on a JACK server of the test's own, which it kills and starts
// again under the same name. The keyboard's client goes and comes back with it, as the ports of
// a MIDI interface do.
class JackLossDeviceTest : public DeviceWindowTest {
 protected:
  void SetUp() override {
    DeviceWindowTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_FALSE(server.name().empty()) << "a free name for a JACK server of the test's own";
    ASSERT_TRUE(server.start()) << "a private JACK server, " << server.name() << ": "
                                << server.log();
    jack.emplace("JACK_DEFAULT_SERVER", server.name());
    keyboard = std::make_unique<JackKeyboard>(kClient);
  }
  void TearDown() override {
    if (form) {
      const HangGuard guard("closing the window", 10s);
      closeWindow();
    }
    DeviceWindowTest::TearDown();
  }

  void killServer() {
    server.kill();
    platform::testing::keepDeadClient(std::move(keyboard));
  }
  // The server and the keyboard's client come back.
  void restartServer() {
    ASSERT_TRUE(server.start()) << "the server again, under the same name: " << server.log();
    keyboard = std::make_unique<JackKeyboard>(kClient);
  }
  // Strikes C2, which replays the question, every 50 ms until the replay is handed to the
  // output: how long it took for the keys to reach the lesson; nothing when they did not.
  std::optional<Clock::duration> timeUntilKeysAnswer(std::chrono::milliseconds timeout) {
    const Clock::time_point start = Clock::now();
    const std::size_t phrases = midiOut->phraseCount();
    while (Clock::now() - start < timeout) {
      keyboard->strike(36, 100);
      if (waitFor([&] { return midiOut->phraseCount() > phrases; }, 50ms)) {
        const Clock::duration took = Clock::now() - start;
        return waitUntilQuiet(3s) ? std::optional(took) : std::nullopt;
      }
    }
    return std::nullopt;
  }
  bool answerRight(const char* score) {
    if (!waitUntilQuiet(3s)) return false;
    keyboard->strike(lesson().question.QuestionNotes[0], 100);
    return waitFor([&] { return panel(4).startsWith(QString::fromLatin1(score)); }, 2s);
  }

  static constexpr const char* kClient = "keys";
  static constexpr const char* kPortName = "keys:out";
  platform::testing::PrivateJackServer server;
  std::optional<platform::testing::ScopedEnvironment> jack;
  std::unique_ptr<JackKeyboard> keyboard;
};

TEST_F(JackLossDeviceTest, TheKeyboardComesBackByItselfWithItsServerAndQuitStillSaves) {
  open();
  ASSERT_TRUE(chooseDevice(menus().MIDIIn1, QString::fromLatin1(kPortName)));
  type("i");
  ASSERT_TRUE(answerRight("1/1 this level")) << panel(4).toStdString();

  killServer();
  keepRunning(300ms);
  restartServer();
  const std::optional<Clock::duration> back = timeUntilKeysAnswer(8s);
  ASSERT_TRUE(back) << "the keys answer again without the device being chosen anew";
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(*back).count();
  std::printf("midi_input_back_ms: %lld ms after the server answered\n",
              static_cast<long long>(ms));
  RecordProperty("midi_input_back_ms", std::to_string(ms));
  ASSERT_TRUE(answerRight("2/2 this level")) << panel(4).toStdString();

  // Chosen again in the menu after a loss.
  killServer();
  keepRunning(300ms);
  restartServer();
  ASSERT_TRUE(openMenuUntilListed(menus().MIDIIn1, QString::fromLatin1(kPortName), 5s));
  {
    const HangGuard guard("choosing the keyboard again after its server went", 10s);
    ASSERT_TRUE(chooseDevice(menus().MIDIIn1, QString::fromLatin1(kPortName)));
  }
  ASSERT_TRUE(answerRight("3/3 this level")) << panel(4).toStdString();

  // Quit while the server is gone, after the menu has listed the ports again: the settings of
  // the run are saved.
  killServer();
  ASSERT_TRUE(openMenuUntilListed(
      menus().MIDIIn1, QString::fromLatin1(kPortName) + QStringLiteral(" (not connected)"), 5s));
  const int width = form->minimumWidth() + 40;
  form->resize(width, form->height());
  {
    const HangGuard guard("quitting after the server went", 10s);
    closeWindow();
  }
  EXPECT_EQ(storedValue("Width").toInt(), width);
  EXPECT_EQ(storedValue("MIDIIn").toString(), QString::fromLatin1(kPortName));
}

}  // namespace
}  // namespace auralis::testing
