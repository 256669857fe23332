#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <cstdio>
#include <optional>

#include "tests/app/DeviceWindow.h"

namespace auralis::testing {
namespace {

using namespace std::chrono_literals;
using platform::testing::FifoWriter;
using platform::testing::noteFrequency;
using platform::testing::PrivatePulseServer;
using platform::testing::sungTone;

// A pipe-source microphone whose FIFO runs dry, as a stalled USB or Bluetooth input does: the
// audio library's stop then waits until data flows again.
using StalledMicrophoneTest = DeviceWindowTest;

TEST_F(StalledMicrophoneTest, TheWindowGoesOnAnsweringWhileTheMicrophoneDeliversNothing) {
  TForm1& window = open();
  ASSERT_EQ(panel(1), "Mic ON");
  keepRunning(1s);
  const Heartbeat heartbeat;
  singer.reset();
  // What the pipe still held is captured; then the stream waits for data.
  keepRunning(2s);
  {
    // A blocked interface thread cannot fail the test in any other way.
    const HangGuard guard("the window while the microphone delivers nothing", 20s);
    type("i");  // stops capture: the stop waits for the microphone
    EXPECT_EQ(panel(1), "Mic OFF");
    ASSERT_TRUE(waitFor([this] { return midiOut->phraseCount() == 1; }, 3s))
        << "the question is asked";
    EXPECT_TRUE(waitUntilQuiet(3s)) << "and ends";
    type("p");
    EXPECT_EQ(panel(1), "Mic ON");
    type("i");
    EXPECT_TRUE(waitFor([this] { return midiOut->phraseCount() == 2; }, 3s));
    keepRunning(1s);
  }
  heartbeat.report("stalled_microphone_gap_ms");
  EXPECT_LT(heartbeat.largestGap(), 3s) << "the window must never stop answering for seconds";

  // Once the microphone delivers again, the calls held up behind the stop follow in order.
  startSinger(platform::testing::environment("AURALIS_TEST_MIC_FIFO"));
  sing(noteFrequency(69));
  type("p");
  EXPECT_TRUE(waitFor([&] { return panel(1) == readoutOf(window, 69); }, 5s))
      << "A4 is heard: " << panel(1).toStdString();
}

// The real program as a child process, with a settings store and a PulseAudio server of its own,
// driven from outside through its window on the X display, as a user would.
class StalledMicrophoneExitTest : public DeviceWindowTest {
 protected:
  void SetUp() override {
    DeviceWindowTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    singer.reset();  // the window's FIFO is the private server's
    ASSERT_FALSE(platform::testing::environment("DISPLAY").empty()) << "needs the X display";
    ASSERT_TRUE(server.start()) << "a private PulseAudio server";
    ASSERT_TRUE(runtimeDir.isValid());
  }
  void TearDown() override {
    if (program.state() != QProcess::NotRunning) {
      program.kill();
      program.waitForFinished();
    }
    DeviceWindowTest::TearDown();
  }

  void startProgram() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PULSE_SERVER"), QString::fromStdString(server.address()));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configDir->path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeDir.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    program.setProcessEnvironment(env);
    program.setProgram(QStringLiteral(AURALIS_PROGRAM));
    program.start();
    ASSERT_TRUE(program.waitForStarted());
  }

  // xdotool's output, or nothing when it fails.
  static QString xdotool(const QStringList& arguments) {
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(15000) || tool.exitCode() != 0) return {};
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
  }

  PrivatePulseServer server;
  QTemporaryDir runtimeDir;
  QProcess program;
};

TEST_F(StalledMicrophoneExitTest, QuitSavesTheSettingsAndEndsTheProgramPromptly) {
  storeMastery(kFaultMastery);
  storeValue("Offtones1", "7");  // written at every save, never read
  std::optional<FifoWriter> silence(std::in_place, server.fifo(), sungTone(0));
  ASSERT_NO_FATAL_FAILURE(startProgram());
  const QString window =
      xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
               QStringLiteral("--pid"), QString::number(program.processId())})
          .section(QLatin1Char('\n'), -1);
  ASSERT_FALSE(window.isEmpty()) << "the program's window shows";
  // Practice Singing starts capture; then the pipe runs dry and the stream waits for data.
  std::this_thread::sleep_for(2s);
  silence.reset();
  std::this_thread::sleep_for(3s);

  const Clock::time_point quit = Clock::now();
  // The window may be gone before xdotool has done with it, which it reports as a failure.
  xdotool({QStringLiteral("key"), QStringLiteral("--window"), window, QStringLiteral("ctrl+x")});
  const bool ended = program.waitForFinished(10000);
  const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - quit);
  ASSERT_TRUE(ended) << "the program still runs ten seconds after Quit";
  std::printf("program ended %lld ms after Quit\n", static_cast<long long>(took.count()));
  RecordProperty("exit_after_quit_ms", std::to_string(took.count()));
  EXPECT_LT(took, 5s);
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
  EXPECT_NE(storedValue("Offtones1").toString(), "7") << "the settings were saved";
  EXPECT_EQ(storedMastery(), kFaultMastery);
}

}  // namespace
}  // namespace auralis::testing
