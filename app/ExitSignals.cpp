#include "app/ExitSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <utility>

namespace auralis {

namespace {

std::atomic<int> signalPipe{-1};  // the write end, for the handler

void onExitSignal(int signal) {
  const int savedErrno = errno;
  const auto number = static_cast<unsigned char>(signal);
  [[maybe_unused]] const ssize_t written = ::write(signalPipe.load(), &number, 1);
  errno = savedErrno;
}

}  // namespace

ExitSignals::ExitSignals(std::function<void(int signal)> onSignal)
    : onSignal_(std::move(onSignal)) {
  if (::pipe2(pipe_.data(), O_NONBLOCK | O_CLOEXEC) != 0) return;
  signalPipe.store(pipe_[1]);
  notifier_ = std::make_unique<QSocketNotifier>(pipe_[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { readSignals(); });
  struct sigaction action {};
  action.sa_handler = onExitSignal;
  sigemptyset(&action.sa_mask);
  // Calls that the signal interrupts go on instead of failing.
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < kExitSignals.size(); ++i)
    ::sigaction(kExitSignals[i], &action, &previous_[i]);
}

ExitSignals::~ExitSignals() {
  if (!notifier_) return;
  for (std::size_t i = 0; i < kExitSignals.size(); ++i)
    ::sigaction(kExitSignals[i], &previous_[i], nullptr);
  signalPipe.store(-1);
  notifier_.reset();
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

void ExitSignals::readSignals() {
  unsigned char number = 0;
  while (::read(pipe_[0], &number, 1) == 1) onSignal_(number);
}

}  // namespace auralis
