#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QThread>
#include <array>
#include <csignal>
#include <functional>
#include <memory>

#include "app/SettingsStore.h"
#include "app/SingleInstance.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

constexpr int kPatienceMs = 30000;  // a sanitizer build starts slowly on a loaded machine
const QByteArray kStored =
    "[Auralis]\nPiano1=1\nSolfege1=0\nIdentifyMastery95Percent=4\nHeight=400\n";

// The program itself, started as the desktop starts it, in private configuration and runtime
// folders, off screen and without audio or MIDI servers.
class Program : public ::testing::Test {
 protected:
  Program() {
    QDir().mkpath(configFolder() + "/Auralis");
    QDir().mkpath(folder.path() + "/home");
    QDir().mkpath(folder.path() + "/work");
    QDir().mkpath(runtimeFolder());
    QDir().mkpath(cacheFolder());
    QFile::setPermissions(runtimeFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  QString configFolder() const { return folder.path() + "/config"; }
  QString runtimeFolder() const { return folder.path() + "/run"; }
  QString cacheFolder() const { return folder.path() + "/cache"; }
  // Where the lock goes when the runtime folder takes none.
  QString fallbackFolder() const { return cacheFolder() + "/auralis"; }
  QString storeFile() const { return configFolder() + "/Auralis/Auralis.ini"; }
  SingleInstance names() const { return SingleInstance(runtimeFolder()); }

  std::unique_ptr<QSettings> store() const {
    auto settings = std::make_unique<QSettings>(storeFile(), QSettings::IniFormat);
    settings->beginGroup(QStringLiteral("Auralis"));
    return settings;
  }

  // With a read-only runtime folder: a private read-only mount over it, as a read-only file
  // system gives, which binds even the superuser.
  std::unique_ptr<QProcess> start(bool readOnlyRuntime = false) const {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("XDG_CONFIG_HOME", configFolder());
    environment.insert("XDG_CACHE_HOME", cacheFolder());
    environment.insert("XDG_RUNTIME_DIR", runtimeFolder());
    environment.insert("HOME", folder.path() + "/home");
    environment.insert("JACK_NO_START_SERVER", "1");
    environment.insert("JACK_DEFAULT_SERVER", "auralis-test-none");
    environment.insert("PULSE_SERVER", "unix:" + folder.path() + "/no-pulse");
    // What the audio libraries leak at exit is no concern of these tests.
    environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":detect_leaks=0");
    auto program = std::make_unique<QProcess>();
    program->setProcessEnvironment(environment);
    program->setWorkingDirectory(folder.path() + "/work");
    // Files, not pipes, which nobody would read while the test waits.
    const QString errors = folder.filePath(QStringLiteral("errors-%1").arg(++starts_));
    program->setStandardErrorFile(errors);
    program->setStandardOutputFile(QProcess::nullDevice());
    program->setProperty("errors", errors);
    if (readOnlyRuntime)
      program->start(QStringLiteral("unshare"),
                     {"--user", "--map-root-user", "--mount", "sh", "-c",
                      "mount -t tmpfs -o ro,mode=700 tmpfs \"$0\" && exec \"$1\"", runtimeFolder(),
                      QStringLiteral(AURALIS_PROGRAM)});
    else
      program->start(QStringLiteral(AURALIS_PROGRAM), {});
    EXPECT_TRUE(program->waitForStarted());
    return program;
  }

  // True once this program holds the lock and answers on its socket.
  bool runs(const QProcess& program) const { return runs(program, runtimeFolder()); }
  bool runs(const QProcess& program, const QString& lockFolder) const {
    const SingleInstance instance(lockFolder);
    QDeadlineTimer patience(kPatienceMs);
    while (!patience.hasExpired() && program.state() == QProcess::Running) {
      if (instance.holder() == program.processId()) {
        QLocalSocket socket;
        socket.connectToServer(instance.socketName());
        if (socket.waitForConnected(100)) return true;
      }
      QThread::msleep(20);
    }
    return false;
  }

  // The exit code, or -1 when the program did not end by itself in time.
  static int endsBy(QProcess& program) {
    if (!program.waitForFinished(kPatienceMs) || program.exitStatus() != QProcess::NormalExit)
      return -1;
    return program.exitCode();
  }

  // True once the program has said so on standard error.
  static bool says(const QProcess& program, const QByteArray& text) {
    QDeadlineTimer patience(kPatienceMs);
    while (!patience.hasExpired() && !errorsOf(program).contains(text)) QThread::msleep(50);
    return errorsOf(program).contains(text);
  }

  static void endBySignal(QProcess& program) {
    ::kill(static_cast<pid_t>(program.processId()), SIGCONT);
    ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
    if (!program.waitForFinished(kPatienceMs)) {
      program.kill();
      program.waitForFinished();
    }
  }

  static QByteArray errorsOf(const QProcess& program) {
    return contentsOf(program.property("errors").toString());
  }
  // Nothing about the settings or another start; the devices may have their say.
  static bool saysNothingWrong(const QProcess& program) {
    const QByteArray errors = errorsOf(program);
    return !errors.contains("auralis: Settings") && !errors.contains("auralis: Auralis");
  }

  void expectSavedAtExit(const std::string& how) const {
    const auto s = store();
    EXPECT_EQ(s->allKeys().size(), kStoredChecks.size() + 3 + 2 + 9)
        << how << ": every key written";
    EXPECT_EQ(s->value("Piano1").toString(), "1") << how;
    EXPECT_EQ(s->value("Solfege1").toString(), "0") << how;
    EXPECT_EQ(s->value("IdentifyMastery95Percent").toInt(), 4) << how;
    EXPECT_EQ(s->value("Height").toString(), "400") << how;
    EXPECT_EQ(s->value("Width").toString(), "775") << how;
  }

  QTemporaryDir folder;

 private:
  mutable int starts_ = 0;
};

TEST_F(Program, EachSignalToEndSavesTheSettingsAsQuitDoes) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    ASSERT_TRUE(writeFile(storeFile(), kStored));
    const auto program = start();
    ASSERT_TRUE(runs(*program)) << signal << ": " << errorsOf(*program).constData();
    QElapsedTimer ending;
    ending.start();
    ASSERT_EQ(::kill(static_cast<pid_t>(program->processId()), signal), 0);
    EXPECT_EQ(endsBy(*program), 0) << signal;
    RecordProperty("ms_to_end_after_signal_" + std::to_string(signal),
                   static_cast<int>(ending.elapsed()));
    expectSavedAtExit("signal " + std::to_string(signal));
    EXPECT_FALSE(QFile::exists(names().lockFileName())) << signal;
    EXPECT_FALSE(QFile::exists(names().socketName())) << signal;
    EXPECT_TRUE(saysNothingWrong(*program)) << signal;
  }
}

TEST_F(Program, ASecondStartHandsOverToTheRunningOneAndEnds) {
  ASSERT_TRUE(writeFile(storeFile(), kStored));
  const auto first = start();
  ASSERT_TRUE(runs(*first)) << errorsOf(*first).constData();
  const QByteArray before = contentsOf(storeFile());

  QElapsedTimer handing;
  handing.start();
  const auto second = start();
  EXPECT_EQ(endsBy(*second), 0);
  RecordProperty("ms_for_a_second_start_to_hand_over", static_cast<int>(handing.elapsed()));
  EXPECT_EQ(errorsOf(*second), "") << "the second start touched no device";
  EXPECT_TRUE(runs(*first)) << "the first goes on";
  EXPECT_EQ(contentsOf(storeFile()), before) << "the second start wrote nothing";

  ::kill(static_cast<pid_t>(first->processId()), SIGTERM);
  EXPECT_EQ(endsBy(*first), 0);
  expectSavedAtExit("the first");
}

TEST_F(Program, OfTwoStartsAtOnceOneRuns) {
  ASSERT_TRUE(writeFile(storeFile(), kStored));
  std::array starts = {start(), start()};
  // Waiting for a process is what notices that it has ended.
  int ended = -1;
  QDeadlineTimer patience(kPatienceMs);
  while (ended < 0 && !patience.hasExpired())
    for (int i = 0; i < 2 && ended < 0; ++i)
      if (starts[i]->waitForFinished(10)) ended = i;
  ASSERT_GE(ended, 0) << "neither start ended";
  EXPECT_EQ(starts[ended]->exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(starts[ended]->exitCode(), 0) << "the start that handed over";
  QProcess& running = *starts[1 - ended];
  ASSERT_TRUE(runs(running));
  ::kill(static_cast<pid_t>(running.processId()), SIGTERM);
  EXPECT_EQ(endsBy(running), 0);
  expectSavedAtExit("the one that ran");
}

TEST_F(Program, AProgramKilledWithItsLockHeldDoesNotStopTheNextStart) {
  ASSERT_TRUE(writeFile(storeFile(), kStored));
  const auto killed = start();
  ASSERT_TRUE(runs(*killed)) << errorsOf(*killed).constData();
  ::kill(static_cast<pid_t>(killed->processId()), SIGKILL);
  ASSERT_TRUE(killed->waitForFinished(kPatienceMs));
  ASSERT_TRUE(QFile::exists(names().lockFileName())) << "the crash left its lock";
  ASSERT_TRUE(QFile::exists(names().socketName())) << "and its socket";

  const auto next = start();
  ASSERT_TRUE(runs(*next)) << errorsOf(*next).constData();
  ::kill(static_cast<pid_t>(next->processId()), SIGTERM);
  EXPECT_EQ(endsBy(*next), 0);
  expectSavedAtExit("the next start");
  EXPECT_TRUE(saysNothingWrong(*next));
}

TEST_F(Program, AStartWhileTheRunningOneQuitsWaitsForItToEndAndRuns) {
  struct Case {
    const char* what;
    // The first is frozen from before its quit until the second has connected: whatever it
    // still had to do when the second came, it does after.
    bool frozenMeanwhile;
  };
  const std::array cases = {
      Case{"quit, then started at once", false},
      Case{"started while the quitting program handles no event yet", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(writeFile(storeFile(), kStored));
    const auto first = start();
    ASSERT_TRUE(runs(*first)) << errorsOf(*first).constData();
    const auto pid = static_cast<pid_t>(first->processId());
    if (c.frozenMeanwhile) ::kill(pid, SIGSTOP);
    ::kill(pid, SIGTERM);
    const auto second = start();
    if (c.frozenMeanwhile) {
      QThread::msleep(1000);
      ::kill(pid, SIGCONT);
    }
    EXPECT_EQ(endsBy(*first), 0);
    EXPECT_TRUE(runs(*second)) << "exit code " << second->exitCode() << ": "
                               << errorsOf(*second).constData();
    EXPECT_TRUE(saysNothingWrong(*second)) << errorsOf(*second).constData();
    ::kill(static_cast<pid_t>(second->processId()), SIGTERM);
    EXPECT_EQ(endsBy(*second), 0);
    expectSavedAtExit(c.what);
  }
}

TEST_F(Program, AStartThatTheRunningOneNeverAnswersSaysWhyAndFails) {
  ASSERT_TRUE(writeFile(storeFile(), kStored));
  const auto running = start();
  ASSERT_TRUE(runs(*running)) << errorsOf(*running).constData();
  ::kill(static_cast<pid_t>(running->processId()), SIGSTOP);

  const auto second = start();
  EXPECT_TRUE(says(*second, "auralis: Auralis is running already (process " +
                                QByteArray::number(running->processId()) + ") but does not answer"))
      << errorsOf(*second).constData();
  EXPECT_EQ(second->state(), QProcess::Running) << "its message box is up";
  ::kill(static_cast<pid_t>(second->processId()), SIGTERM);
  EXPECT_EQ(endsBy(*second), 1);

  endBySignal(*running);
  EXPECT_EQ(running->exitCode(), 0);
  expectSavedAtExit("the one that ran");
}

// Whatever lies in the way of the lock, one program runs, and a second start finds it.
TEST_F(Program, ALockPlaceInTheWayDoesNotLetTwoRunOrStopTheFirst) {
  const auto fifo = [](const QString& path) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
  };
  const auto folderAt = [](const QString& path) { ASSERT_TRUE(QDir().mkpath(path + "/inside")); };
  struct Case {
    const char* what;
    std::function<void()> arrange;
    bool readOnlyRuntime;
    bool inFallback;
  };
  const std::vector<Case> cases = {
      {"a folder at the lock's path", [&] { folderAt(names().lockFileName()); }, false, false},
      {"a pipe at the lock's path", [&] { fifo(names().lockFileName()); }, false, false},
      {"a folder at the socket's path", [&] { folderAt(names().socketName()); }, false, false},
      {"a pipe at the socket's path", [&] { fifo(names().socketName()); }, false, false},
      {"a read-only runtime folder", [] {}, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QDir(runtimeFolder()).removeRecursively();
    QDir().mkpath(runtimeFolder());
    QFile::setPermissions(runtimeFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QDir(fallbackFolder()).removeRecursively();
    ASSERT_TRUE(writeFile(storeFile(), kStored));
    c.arrange();
    const QString lockFolder = c.inFallback ? fallbackFolder() : runtimeFolder();

    const auto first = start(c.readOnlyRuntime);
    const bool ran = runs(*first, lockFolder);
    EXPECT_TRUE(ran) << errorsOf(*first).constData();
    if (ran) {
      const auto second = start(c.readOnlyRuntime);
      EXPECT_EQ(endsBy(*second), 0) << errorsOf(*second).constData();
      EXPECT_TRUE(runs(*first, lockFolder)) << "the first goes on";
    }
    if (c.inFallback) {
      EXPECT_EQ(QFileInfo(fallbackFolder()).permissions().toInt() & 0x0077, 0)
          << "a private folder";
    }
    endBySignal(*first);
    EXPECT_EQ(first->exitCode(), 0);
    expectSavedAtExit(c.what);
  }
}

}  // namespace
}  // namespace auralis::testing
