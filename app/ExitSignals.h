#pragma once

#include <QSocketNotifier>
#include <array>
#include <csignal>
#include <functional>
#include <memory>

namespace auralis {

// The signals that ask a program to end: the default of kill, Ctrl+C in a terminal and the
// terminal going away. The end of the desktop session sends the first.
inline constexpr std::array<int, 3> kExitSignals = {SIGTERM, SIGINT, SIGHUP};

// Turns the exit signals into a call on the interface thread, where the program can end as Quit
// ends it. The signal handler only writes the signal's number into a pipe, which is all a
// handler may safely do; the event loop reads it. One may exist at a time; the handlers that
// were there before come back when it goes.
class ExitSignals {
 public:
  explicit ExitSignals(std::function<void(int signal)> onSignal);
  ~ExitSignals();
  ExitSignals(const ExitSignals&) = delete;
  ExitSignals& operator=(const ExitSignals&) = delete;

 private:
  void readSignals();

  std::function<void(int)> onSignal_;
  std::array<int, 2> pipe_{-1, -1};
  std::unique_ptr<QSocketNotifier> notifier_;
  std::array<struct sigaction, kExitSignals.size()> previous_{};
};

}  // namespace auralis
