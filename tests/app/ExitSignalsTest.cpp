#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <csignal>
#include <optional>
#include <vector>

#include "app/ExitSignals.h"
#include "tests/app/EventLoopProbes.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

TEST(ExitSignals, EachReachesTheInterfaceThreadAndTheOldHandlersComeBack) {
  for (int signal : kExitSignals) {
    // What was there before: here, ignoring the signal.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction before {};
    ASSERT_EQ(::sigaction(signal, &ignore, &before), 0);
    std::vector<int> received;
    {
      const ExitSignals exitSignals([&received](int number) { received.push_back(number); });
      ASSERT_EQ(::raise(signal), 0);
      EXPECT_TRUE(received.empty()) << signal << ": not inside the handler";
      EXPECT_TRUE(QTest::qWaitFor([&received] { return !received.empty(); }, 5000)) << signal;
      EXPECT_EQ(received, std::vector<int>{signal});
    }
    struct sigaction after {};
    ::sigaction(signal, &before, &after);
    EXPECT_EQ(after.sa_handler, SIG_IGN) << signal;
  }
}

using ExitSignalWindow = WindowTest;

TEST_F(ExitSignalWindow, ASignalWhileTheResetQuestionIsOpenEndsTheRunWithoutResetting) {
  const Mastery reached = {4, 4, 4, 4, 4, 4, 4, 4, 4};
  TForm1& window = open();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  lesson().mastery = reached;
  const ExitSignals exitSignals([](int) { QCoreApplication::quit(); });
  // From the signal to the end of the loop.
  std::optional<Heartbeat> heartbeat;
  const AnswerWhenAsked terminate([&heartbeat](QMessageBox&) {
    heartbeat.emplace();
    ::raise(SIGTERM);
  });
  QTimer::singleShot(0, [this] { menus().ResetCorvinmasterylevel1->trigger(); });
  // Fails the test rather than hanging it if the signal does not end the loop.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  guard.start(30000);
  EXPECT_EQ(QApplication::exec(), 0);
  ASSERT_TRUE(terminate.asked());
  heartbeat->report("signal_to_end_gap_ms");
  EXPECT_FALSE(window.isVisible()) << "closed as Quit closes it";
  EXPECT_EQ(lesson().mastery, reached);
  closeWindow();
  EXPECT_EQ(store()->value("IdentifyMastery95Percent").toInt(), 4);
}

}  // namespace
}  // namespace auralis::testing
