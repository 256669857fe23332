#include <cstdio>
#include <utility>

#include "tests/app/DeviceWindow.h"

namespace auralis::testing {
namespace {

using namespace std::chrono_literals;
using platform::testing::noteFrequency;
using platform::testing::PrivatePulseServer;
using platform::testing::ScopedEnvironment;

// Every fault leaves the stored mastery values as they were.
class FaultDeviceTest : public DeviceWindowTest {
 protected:
  void SetUp() override {
    DeviceWindowTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    storeMastery(mastery);
  }
  void TearDown() override {
    if (form) {
      const HangGuard guard("closing the window", 10s);
      closeWindow();
      EXPECT_EQ(storedMastery(), mastery);
    }
    DeviceWindowTest::TearDown();
  }

  // The typed right answer is judged: the score's first two numbers move to `score`.
  void answerRight(const char* score) {
    ASSERT_TRUE(waitUntilQuiet(3s));
    type(rightAnswer());
    EXPECT_TRUE(waitFor([&] { return panel(4).startsWith(QString::fromLatin1(score)); }, 3s))
        << panel(4).toStdString();
  }
  bool waitForPanel(int index, const QString& text, std::chrono::milliseconds timeout) {
    return waitFor([&] { return panel(index) == text; }, timeout);
  }

  Mastery mastery = kFaultMastery;  // as stored before the window opens
};

// The window's backends talk to a PulseAudio server of the test's own, which it may kill.
class ServerLossFaultTest : public FaultDeviceTest {
 protected:
  void SetUp() override {
    FaultDeviceTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    ASSERT_TRUE(server.start()) << "a private PulseAudio server";
    pulse.emplace("PULSE_SERVER", server.address());
    startSinger(server.fifo());
  }
  void TearDown() override {
    FaultDeviceTest::TearDown();
    pulse.reset();
  }

  // Starts a new server at the same address and chooses the microphone again in the menu, as
  // a user would: capture then hears C#5.
  void chooseTheMicrophoneOnANewServer(const TForm1& window) {
    ASSERT_TRUE(server.start()) << "a new server at the same address";
    startSinger(server.fifo());
    {
      const HangGuard guard("choosing a microphone", 5s);
      ASSERT_TRUE(
          chooseDevice(menus().Microphone1, QString::fromLatin1(kDefaultSoundInputCaption)));
    }
    EXPECT_EQ(panel(1), "Mic ON");
    sing(noteFrequency(73));
    EXPECT_TRUE(waitForPanel(1, readoutOf(window, 73), 3s)) << "C#5 is heard";
  }

  PrivatePulseServer server;
  std::optional<ScopedEnvironment> pulse;
};

TEST_F(ServerLossFaultTest, MicrophoneAndSynthesiserComeBackByThemselvesWithTheirServer) {
  TForm1& window = open();
  sing(noteFrequency(69));
  ASSERT_TRUE(waitForPanel(1, readoutOf(window, 69), 3s)) << "A4 is heard";
  Heartbeat heartbeat;

  server.kill();
  ASSERT_TRUE(waitForPanel(1, QStringLiteral("No Mic"), 3s)) << panel(1).toStdString();
  ASSERT_TRUE(waitFor([&] { return window.core().player().outputLost(); }, 3s))
      << "the synthesiser's output went too";
  keepRunning(300ms);
  EXPECT_EQ(panel(1), "No Mic") << "no readout follows";
  // The lessons go on meanwhile, without sound.
  type("i");
  EXPECT_TRUE(waitUntilQuiet(3s));
  type("p");
  EXPECT_EQ(panel(1), "No Mic");

  // The helper waits for the new server on this thread.
  heartbeat.pause();
  ASSERT_TRUE(server.start()) << "a new server at the same address";
  heartbeat.resume();
  const Clock::time_point back = Clock::now();
  startSinger(server.fifo());
  sing(noteFrequency(73));
  ASSERT_TRUE(waitFor([&] { return panel(1) != "No Mic"; }, 6s)) << "the microphone is back";
  const auto micBack = Clock::now() - back;
  ASSERT_TRUE(waitFor([&] { return !window.core().player().outputLost(); }, 6s))
      << "the synthesiser is back";
  const auto synthBack = Clock::now() - back;
  EXPECT_TRUE(waitForPanel(1, readoutOf(window, 73), 3s)) << "C#5 is heard";
  heartbeat.report("server_restart_gap_ms");
  for (const auto& [name, took] :
       {std::pair{"microphone_back_ms", micBack}, std::pair{"synthesiser_back_ms", synthBack}}) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(took).count();
    std::printf("%s: %lld ms after the server answered\n", name, static_cast<long long>(ms));
    RecordProperty(name, std::to_string(ms));
  }

  // The next question plays on the new server and is heard there.
  SinkListener sink;
  ASSERT_TRUE(sink.start(8s));
  const std::size_t before = sink.samples().size();
  type("i");
  ASSERT_TRUE(sink.listenUntil([this] { return quiet(); }, 3s)) << "the question ends";
  sink.listen(200ms);
  EXPECT_TRUE(midiOut->phrases().back().accepted);
  EXPECT_TRUE(soundOnset(sink.samples(), before)) << "the built-in synthesiser sounds again";
}

TEST_F(ServerLossFaultTest, AServerLostWhileTheMicrophoneIsOffLetsOneBeChosenAgain) {
  TForm1& window = open();
  sing(noteFrequency(69));
  ASSERT_TRUE(waitForPanel(1, readoutOf(window, 69), 3s)) << "A4 is heard";
  type("i");
  ASSERT_EQ(panel(1), "Mic OFF");

  server.kill();
  ASSERT_NO_FATAL_FAILURE(answerRight("1/1 this level"));
  {
    const HangGuard guard("starting a lesson that listens", 5s);
    type("p");
  }
  EXPECT_TRUE(waitForPanel(1, QStringLiteral("No Mic"), 3s))
      << "a lesson that listens finds the microphone gone: " << panel(1).toStdString();
  ASSERT_NO_FATAL_FAILURE(chooseTheMicrophoneOnANewServer(window));
  // The synthesiser comes back by itself. The idle null sink of the fresh test server has mixed
  // about two seconds ahead, and a new stream's first blocks wait until those have played; a
  // close meanwhile waits with them, past the wait at exit. A sound card's sink rewinds for a
  // new stream instead, so the window closes once that time has passed.
  ASSERT_TRUE(waitFor([&] { return !window.core().player().outputLost(); }, 6s))
      << "the synthesiser is back";
  keepRunning(2500ms);
}

TEST_F(ServerLossFaultTest, TheLessonGoesOnWhenTheServerGoesDuringAQuestion) {
  // Level 66: three notes, 469 ms.
  mastery.MimicMastery95Percent = 65;
  storeMastery(mastery);
  open();
  type("m");
  ASSERT_TRUE(waitFor([this] { return midiOut->phraseCount() == 1; }, 3s));
  ASSERT_TRUE(midiOut->phrases().front().accepted);
  keepRunning(150ms);
  ASSERT_FALSE(quiet()) << "the question still sounds";
  type("r");  // waits for the question's end

  const Clock::time_point killed = Clock::now();
  server.kill();
  ASSERT_TRUE(waitUntilQuiet(4s)) << "the player must not wait for ever";
  EXPECT_LT(Clock::now() - killed, 3s);
  EXPECT_EQ(midiOut->doneNotices().size(), 1u) << "the phrase's done notice came all the same";
  ASSERT_EQ(midiOut->phraseCount(), 2u) << "the replay was tried once the question had ended";
  EXPECT_FALSE(midiOut->phrases().back().accepted) << "an output that is gone takes no phrase";
  EXPECT_TRUE(waitForPanel(1, QStringLiteral("No Mic"), 3s)) << "the microphone went too";

  // The next questions go to the output that is gone; they end at once, and typed answers count.
  type("i");
  ASSERT_NO_FATAL_FAILURE(answerRight("1/1 this level"));
  ASSERT_NO_FATAL_FAILURE(answerRight("2/2 this level"));
}

TEST_F(FaultDeviceTest, StoredDevicesThatAreGoneLeaveTheFirstItemsChosen) {
  const JackKeyboard keyboard("fault-keys");  // so that the MIDI In menu lists a device
  storeValue("Microphone", "Vanished microphone");
  storeValue("MIDIOut", "Vanished synthesiser");
  storeValue("MIDIIn", "Vanished keyboard");
  TForm1& window = open();
  std::vector<QString> firstItems;
  for (QMenu* menu : {menus().Microphone1, menus().MIDIOut1, menus().MIDIIn1}) {
    const std::vector<QAction*> items = deviceItemsOf(menu);
    ASSERT_FALSE(items.empty()) << menu->objectName().toStdString();
    EXPECT_TRUE(items.front()->isChecked()) << menu->objectName().toStdString();
    firstItems.push_back(items.front()->text());
  }
  EXPECT_EQ(firstItems[0], kDefaultSoundInputCaption);
  EXPECT_EQ(firstItems[1], platform::kBuiltInSynthesiserName);

  EXPECT_EQ(panel(1), "Mic ON");
  sing(noteFrequency(64));
  EXPECT_TRUE(waitForPanel(1, readoutOf(window, 64), 3s)) << "E4 is heard";
  type("i");
  ASSERT_NO_FATAL_FAILURE(answerRight("1/1 this level"));
  EXPECT_TRUE(midiOut->phrases().front().accepted) << "the built-in synthesiser plays";
  EXPECT_FALSE(midiOut->doneNotices().empty());

  closeWindow();
  EXPECT_EQ(storedValue("Microphone").toString(), firstItems[0]);
  EXPECT_EQ(storedValue("MIDIOut").toString(), firstItems[1]);
  EXPECT_EQ(storedValue("MIDIIn").toString(), firstItems[2]);
  EXPECT_EQ(storedMastery(), mastery);
}

TEST_F(FaultDeviceTest, WithoutASoundFontQuestionsKeepTheirTimeSilently) {
  open({"/nonexistent/none.sf2"});
  SinkListener sink;
  ASSERT_TRUE(sink.start(8s));
  const std::size_t before = sink.samples().size();
  type("i");
  ASSERT_TRUE(sink.listenUntil([this] { return quiet(); }, 3s)) << "the question ends";

  ASSERT_EQ(midiOut->phraseCount(), 1u);
  ASSERT_EQ(midiOut->doneNotices().size(), 1u);
  const Clock::duration took = midiOut->doneNotices().front() - midiOut->phrases().front().queued;
  // One note of 30 ticks: 156 ms, and the synthesiser's short tail.
  EXPECT_GE(took, 156ms);
  EXPECT_LT(took, 1500ms);
  sink.listen(300ms);
  EXPECT_FALSE(soundOnset(sink.samples(), before)) << "nothing sounds";

  ASSERT_NO_FATAL_FAILURE(answerRight("1/1 this level"));
  EXPECT_TRUE(sink.listenUntil([this] { return midiOut->doneNotices().size() == 2; }, 3s))
      << "the next question plays to its end";
}

}  // namespace
}  // namespace auralis::testing
