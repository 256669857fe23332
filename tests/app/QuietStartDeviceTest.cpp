#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <array>
#include <filesystem>

#include "DeviceServices.h"
#include "devices/MidiPortLister.h"

namespace auralis::testing {
namespace {

using QuietStartDeviceTest = platform::testing::DeviceTest;

constexpr const char* kNoSequencer = "auralis: no ALSA sequencer; MIDI ports through JACK only";
constexpr const char* kNoJack = "auralis: no JACK server either; no MIDI ports";

// Runs a command to its end; its standard output, or nothing when it fails or takes too long.
QString outputOf(const QString& program, const QStringList& arguments, int milliseconds) {
  QProcess process;
  process.start(program, arguments);
  if (!process.waitForFinished(milliseconds) || process.exitCode() != 0) {
    process.kill();
    process.waitForFinished();
    return {};
  }
  return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

struct ProgramRun {
  bool quitByCtrlQ = false;
  QStringList errorLines;
};

// Starts the program on the services' X display, waits for its window, quits it with Ctrl+Q and
// returns what it wrote on standard error.
ProgramRun runProgram(const QProcessEnvironment& environment) {
  QProcess program;
  program.setProcessEnvironment(environment);
  program.start(QStringLiteral(AURALIS_PROGRAM), {});
  ProgramRun run;
  if (!program.waitForStarted(5000)) return run;
  // The window shows once the devices have been listed.
  const QString window =
      outputOf(QStringLiteral("timeout"),
               {QStringLiteral("20"), QStringLiteral("xdotool"), QStringLiteral("search"),
                QStringLiteral("--sync"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                QStringLiteral("^Auralis")},
               25000);
  if (!window.isEmpty()) {
    outputOf(QStringLiteral("xdotool"),
             {QStringLiteral("key"), QStringLiteral("--window"), window.split('\n').front(),
              QStringLiteral("ctrl+q")},
             5000);
  }
  run.quitByCtrlQ = program.waitForFinished(10000) &&
                    program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
  if (!run.quitByCtrlQ) {
    program.kill();
    program.waitForFinished();
  }
  const QString errors = QString::fromLocal8Bit(program.readAllStandardError());
  run.errorLines = errors.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  return run;
}

// The program started as the copy that lists the JACK MIDI ports answers, and ends, although
// what lists them is loaded only after it has started; with no server to ask as well.
TEST_F(QuietStartDeviceTest, TheProgramItselfAnswersAsTheCopyThatListsTheMidiPorts) {
  struct Case {
    const char* what;
    const char* server;  // the JACK server the copy asks; null for the services' own
    bool serverRuns;
  };
  const std::array cases = {Case{"with the JACK server", nullptr, true},
                            Case{"without a JACK server", "auralis-none", false}};
  const QByteArray servicesServer = qgetenv("JACK_DEFAULT_SERVER");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The copy takes this process's environment.
    qputenv("JACK_DEFAULT_SERVER", c.server != nullptr ? QByteArray(c.server) : servicesServer);
    for (const platform::MidiDirection direction :
         {platform::MidiDirection::Input, platform::MidiDirection::Output}) {
      const platform::ApartResult result =
          platform::listMidiPortsApart(direction, std::chrono::seconds(10), AURALIS_PROGRAM);
      EXPECT_EQ(result.outcome, platform::ApartOutcome::Listed)
          << (direction == platform::MidiDirection::Input ? "input" : "output");
      EXPECT_EQ(result.listing.serverRuns, c.serverRuns);
    }
  }
  qputenv("JACK_DEFAULT_SERVER", servicesServer);
}

TEST_F(QuietStartDeviceTest, TheProgramSaysOnceInOneLineWhichMidiServiceIsMissing) {
  // The sequencer is asked first; where it answers, JACK is not asked at all.
  const bool sequencer = std::filesystem::exists("/dev/snd/seq");
  struct Case {
    const char* what;
    bool jack;
    bool pulse;
    QStringList expected;
  };
  const std::array cases = {
      Case{"with the servers", true, true, sequencer ? QStringList{} : QStringList{kNoSequencer}},
      Case{"without JACK", false, true,
           sequencer ? QStringList{} : QStringList{kNoSequencer, kNoJack}},
      // Without PulseAudio the audio library tries ALSA's sound cards as well.
      Case{"without JACK and PulseAudio", false, false,
           sequencer ? QStringList{} : QStringList{kNoSequencer, kNoJack}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // On the X display, with settings of its own; the leak checker of a sanitizer build would
    // add its report to what is checked here.
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    // A desktop has its sound server's cookie already. Without one, the program's first
    // connections all make it at once, and the sound library says so when they collide.
    ASSERT_TRUE(QDir(config.path()).mkpath(QStringLiteral("pulse")));
    QFile cookie(config.filePath(QStringLiteral("pulse/cookie")));
    ASSERT_TRUE(cookie.open(QIODevice::WriteOnly));
    cookie.write(QByteArray(256, '\x5a'));
    cookie.close();
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    if (!c.jack)
      environment.insert(QStringLiteral("JACK_DEFAULT_SERVER"), QStringLiteral("auralis-none"));
    if (!c.pulse)
      environment.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:/nonexistent"));
    // Capture cannot stop while its pipe source gets no data, and quitting stops it.
    const platform::testing::FifoWriter silence(
        platform::testing::environment("AURALIS_TEST_MIC_FIFO"), platform::testing::sungTone(0));
    const ProgramRun run = runProgram(environment);
    EXPECT_TRUE(run.quitByCtrlQ);
    EXPECT_EQ(run.errorLines, c.expected) << run.errorLines.join('\n').toStdString();
  }
}

}  // namespace
}  // namespace auralis::testing
