#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <array>

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
  running.setOnAnotherStart([&window] { bringToFront(window); });
  window.showMinimized();
  QWidget other;
  other.show();
  other.activateWindow();

  SingleInstance later(folder.path());
  EXPECT_EQ(later.claim(), SingleInstance::Start::HandedOver);
  EXPECT_EQ(later.holder(), QCoreApplication::applicationPid());
  const Heartbeat heartbeat;
  EXPECT_TRUE(QTest::qWaitFor([&window] { return QApplication::activeWindow() == &window; }));
  EXPECT_FALSE(window.isMinimized());
  EXPECT_TRUE(window.isVisible());
  heartbeat.report("bringing_to_front_gap_ms");
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
  EXPECT_EQ(next.claim(), SingleInstance::Start::NoAnswer) << "it waits for the lock";
  EXPECT_FALSE(QFile::exists(ending.socketName()));
}

TEST(SingleInstance, WithoutRoomForTheLockTheProgramRunsAndSaysSo) {
  QTemporaryDir folder;
  SingleInstance start(folder.path() + "/missing");
  StandardErrorCapture errors;
  EXPECT_EQ(start.claim(), SingleInstance::Start::First);
  EXPECT_EQ(errors.problems(),
            std::vector<std::string>{"auralis: Cannot make sure that Auralis runs only once: " +
                                     start.lockFileName().toStdString() + " cannot be created"});
}

TEST(SingleInstance, TheRuntimeFolderIsXdgRuntimeDir) {
  QTemporaryDir folder;
  const ScopedVariable runtime("XDG_RUNTIME_DIR", QFile::encodeName(folder.path()));
  EXPECT_EQ(runtimeFolder(), folder.path());
}

}  // namespace
}  // namespace auralis::testing
