#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QApplication>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <array>
#include <atomic>
#include <optional>
#include <thread>

#include "app/SingleInstance.h"
#include "tests/app/EventLoopProbes.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

using namespace std::chrono_literals;

bool answers(const QString& socketName) {
  QLocalSocket socket;
  socket.connectToServer(socketName);
  return socket.waitForConnected(1000);
}

// A later start claims on a thread of its own, as another process would, while this thread's
// event loop lets the running one answer.
struct LaterStart {
  SingleInstance::Start start;
  qint64 holder;
};
std::optional<LaterStart> claimFromAnotherThread(const QString& folder,
                                                 std::chrono::milliseconds patience) {
  std::optional<LaterStart> result;
  std::atomic<bool> done{false};
  std::thread later([&] {
    SingleInstance instance(folder, patience);
    const SingleInstance::Start start = instance.claim();
    result = LaterStart{start, instance.holder()};
    done = true;
  });
  EXPECT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 30000));
  later.join();
  return result;
}

qint64 pidOfAFinishedProcess() {
  QProcess done;
  done.start(QStringLiteral("true"), {});
  done.waitForFinished();
  return done.processId() != 0 ? done.processId() : 999999;
}

TEST(SingleInstance, ALaterStartHandsOverAndTheRunningWindowComesToTheFront) {
  QTemporaryDir folder;
  SingleInstance running(folder.path());
  ASSERT_EQ(running.claim(), SingleInstance::Start::First);
  EXPECT_TRUE(answers(running.socketName()));
  QWidget window;
  window.setWindowTitle(QStringLiteral("running"));
  running.setOnAnotherStart([&window] {
    bringToFront(window);
    return true;
  });
  window.showMinimized();
  QWidget other;
  other.show();
  other.activateWindow();

  const Heartbeat heartbeat;
  const std::optional<LaterStart> later = claimFromAnotherThread(folder.path(), kAnswerPatience);
  ASSERT_TRUE(later);
  EXPECT_EQ(later->start, SingleInstance::Start::HandedOver);
  EXPECT_EQ(later->holder, QCoreApplication::applicationPid());
  EXPECT_TRUE(QTest::qWaitFor([&window] { return QApplication::activeWindow() == &window; }));
  EXPECT_FALSE(window.isMinimized());
  EXPECT_TRUE(window.isVisible());
  heartbeat.report("bringing_to_front_gap_ms");
}

// Later starts that connect and leave before their answer, however many at once, neither end
// the running program (writing to a socket nobody reads raises a signal that would) nor keep it
// from answering the next start. Only its user can reach it.
TEST(SingleInstance, StartsThatLeaveBeforeTheirAnswerDoNotDisturbTheRunningProgram) {
  QTemporaryDir folder;
  SingleInstance running(folder.path());
  ASSERT_EQ(running.claim(), SingleInstance::Start::First);
  int asked = 0;
  running.setOnAnotherStart([&asked] {
    ++asked;
    return true;
  });
  struct stat socketStatus {};
  ASSERT_EQ(::lstat(QFile::encodeName(running.socketName()).constData(), &socketStatus), 0);
  EXPECT_TRUE(S_ISSOCK(socketStatus.st_mode));
  EXPECT_EQ(socketStatus.st_mode & (S_IRWXG | S_IRWXO), 0U) << "reachable by other users";
  // Nothing is left of setting it up.
  EXPECT_EQ(QDir(folder.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
            QStringList({QStringLiteral("auralis.lock"), QStringLiteral("auralis.socket")}));

  for (int i = 0; i < 40; ++i) {
    QLocalSocket gone;
    gone.connectToServer(running.socketName());
    ASSERT_TRUE(gone.waitForConnected(1000)) << i;
    gone.abort();
  }
  EXPECT_TRUE(QTest::qWaitFor([&asked] { return asked == 40; })) << asked;
  const std::optional<LaterStart> later = claimFromAnotherThread(folder.path(), kAnswerPatience);
  ASSERT_TRUE(later);
  EXPECT_EQ(later->start, SingleInstance::Start::HandedOver);
}

TEST(SingleInstance, ALockWhoseProgramIsGoneIsTakenOver) {
  const QByteArray host = QSysInfo::machineHostName().toUtf8();
  struct Case {
    const char* what;
    QByteArray contents;
    int ageSeconds;
  };
  const std::array cases = {
      Case{"a process that has ended",
           QByteArray::number(pidOfAFinishedProcess()) + "\nauralis\n" + host + "\n", 0},
      // The number of a process that is another program now: this test's.
      Case{"a process number taken by another program",
           QByteArray::number(QCoreApplication::applicationPid()) + "\nauralis\n" + host + "\n", 0},
      Case{"nothing written into it, long ago", "", 60},
  };
  for (const Case& c : cases) {
    QTemporaryDir folder;
    SingleInstance start(folder.path(), 300ms);
    // A lock as a program writes it: its process, then the program's name and the machine's.
    ASSERT_TRUE(writeFile(start.lockFileName(), c.contents, c.ageSeconds)) << c.what;
    // The socket of the program that died.
    ASSERT_TRUE(writeFile(start.socketName(), "", 60)) << c.what;
    EXPECT_EQ(start.claim(), SingleInstance::Start::First) << c.what;
    EXPECT_EQ(start.holder(), QCoreApplication::applicationPid()) << c.what;
    EXPECT_TRUE(answers(start.socketName())) << c.what;
  }
}

TEST(SingleInstance, ALockBeingWrittenOrHeldByAnEndingProgramIsNotTakenOver) {
  QTemporaryDir folder;
  {
    SingleInstance starting(folder.path(), 300ms);
    // Another start is about to write its number into it.
    ASSERT_TRUE(writeFile(starting.lockFileName(), ""));
    EXPECT_EQ(starting.claim(), SingleInstance::Start::NoAnswer);
    QFile::remove(starting.lockFileName());
  }
  SingleInstance ending(folder.path());
  ASSERT_EQ(ending.claim(), SingleInstance::Start::First);
  ending.stopAnswering();
  SingleInstance next(folder.path(), 300ms);
  EXPECT_EQ(next.claim(), SingleInstance::Start::Ending) << "it waits for the lock";
  EXPECT_FALSE(QFile::exists(ending.socketName()));
}

// A connection alone is no answer: a program whose window was quit is ending, and the later
// start waits for its lock rather than ending without a window.
TEST(SingleInstance, OnlyARunningProgramThatCameToTheFrontTakesALaterStart) {
  struct Case {
    const char* what;
    bool comesToTheFront;
    SingleInstance::Start expected;
    bool stillAnswers;
  };
  const std::array cases = {
      Case{"its window is shown", true, SingleInstance::Start::HandedOver, true},
      Case{"its window was quit", false, SingleInstance::Start::Ending, false},
  };
  for (const Case& c : cases) {
    QTemporaryDir folder;
    SingleInstance running(folder.path());
    ASSERT_EQ(running.claim(), SingleInstance::Start::First) << c.what;
    int asked = 0;
    running.setOnAnotherStart([&] {
      ++asked;
      return c.comesToTheFront;
    });
    const std::optional<LaterStart> later = claimFromAnotherThread(folder.path(), 500ms);
    ASSERT_TRUE(later) << c.what;
    EXPECT_EQ(later->start, c.expected) << c.what;
    EXPECT_EQ(asked, 1) << c.what;
    EXPECT_EQ(QFile::exists(running.socketName()), c.stillAnswers) << c.what;
  }
}

TEST(SingleInstance, WithoutRoomForTheLockTheProgramRunsAndSaysSo) {
  QTemporaryDir folder;
  // A file where the folders should be: not even the superuser makes a folder below it.
  ASSERT_TRUE(writeFile(folder.path() + "/file", "not a folder"));
  const QString missing = folder.path() + "/file/run";
  const QString fallback = folder.path() + "/file/cache/auralis";
  struct Case {
    const char* what;
    QStringList folders;
    std::string expected;
  };
  const std::array cases = {
      Case{"one folder",
           {missing},
           "auralis: Cannot make sure that Auralis runs only once: " + missing.toStdString() +
               "/auralis.lock cannot be created"},
      Case{"nor the fallback",
           {missing, fallback},
           "auralis: Cannot make sure that Auralis runs only once: neither " +
               missing.toStdString() + "/auralis.lock nor " + fallback.toStdString() +
               "/auralis.lock can be created"},
  };
  for (const Case& c : cases) {
    SingleInstance start(c.folders);
    StandardErrorCapture errors;
    EXPECT_EQ(start.claim(), SingleInstance::Start::First) << c.what;
    EXPECT_EQ(errors.problems(), std::vector<std::string>{c.expected}) << c.what;
    EXPECT_EQ("auralis: " + start.problem().toStdString(), c.expected) << c.what;
  }
}

TEST(SingleInstance, WhereTheRuntimeFolderTakesNoLockAPrivateFolderDoes) {
  QTemporaryDir folder;
  ASSERT_TRUE(writeFile(folder.path() + "/file", "not a folder"));
  const QString fallback = folder.path() + "/cache/auralis";
  const QStringList folders = {folder.path() + "/file/run", fallback};
  SingleInstance first(folders);
  StandardErrorCapture errors;
  ASSERT_EQ(first.claim(), SingleInstance::Start::First);
  EXPECT_TRUE(errors.problems().empty());
  EXPECT_TRUE(first.problem().isEmpty());
  EXPECT_EQ(first.lockFileName(), fallback + "/auralis.lock");
  EXPECT_EQ(QFileInfo(fallback).permissions(), QFile::ReadOwner | QFile::WriteOwner |
                                                   QFile::ExeOwner | QFile::ReadUser |
                                                   QFile::WriteUser | QFile::ExeUser);
  SingleInstance second(folders, 300ms);
  EXPECT_NE(second.claim(), SingleInstance::Start::First) << "the second finds the first";
}

TEST(SingleInstance, TheFallbackFolderIsPrivateUnderTheCacheFolder) {
  QTemporaryDir folder;
  const ScopedVariable cache("XDG_CACHE_HOME", QFile::encodeName(folder.path()));
  EXPECT_EQ(fallbackLockFolder(), folder.path() + "/auralis");
  const ScopedVariable relative("XDG_CACHE_HOME", "relative/cache");
  EXPECT_EQ(fallbackLockFolder(), QDir::homePath() + "/.cache/auralis");
}

TEST(SingleInstance, TheRuntimeFolderIsXdgRuntimeDir) {
  QTemporaryDir folder;
  const ScopedVariable runtime("XDG_RUNTIME_DIR", QFile::encodeName(folder.path()));
  EXPECT_EQ(runtimeFolder(), folder.path());
}

}  // namespace
}  // namespace auralis::testing
