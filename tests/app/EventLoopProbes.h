#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

namespace auralis::testing {

// Watches the interface thread: a timer on it ticks every millisecond and notes the longest time
// between two ticks, which is the longest the thread was kept from its events while the test ran
// the event loop. Recorded, never asserted here.
class Heartbeat {
 public:
  using Clock = std::chrono::steady_clock;

  Heartbeat() : last_(Clock::now()) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const Clock::time_point now = Clock::now();
      largest_ = std::max(largest_, now - last_);
      last_ = now;
    });
    timer_.start(1);
  }
  // While the test itself holds up the interface thread, in a helper of its own.
  void pause() {
    largest_ = std::max(largest_, Clock::now() - last_);
    timer_.stop();
  }
  void resume() {
    last_ = Clock::now();
    timer_.start(1);
  }
  std::chrono::milliseconds largestGap() const {
    const Clock::duration sinceLast = timer_.isActive() ? Clock::now() - last_ : Clock::duration{};
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::max(largest_, sinceLast));
  }
  // Shows the largest gap in the test's output and, as a property named `name`, in its report.
  void report(const std::string& name) const {
    const auto gap = static_cast<long long>(largestGap().count());
    std::printf("largest interface-thread gap (%s): %lld ms\n", name.c_str(), gap);
    ::testing::Test::RecordProperty(name, std::to_string(gap));
  }

 private:
  QTimer timer_;
  Clock::time_point last_;
  Clock::duration largest_{};
};

// Answers the next modal question once it shows, from within the event loop that it runs. Asks
// nothing more once it has answered, or once it goes.
class AnswerWhenAsked {
 public:
  explicit AnswerWhenAsked(std::function<void(QMessageBox&)> answer) : answer_(std::move(answer)) {
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      auto* question = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (question == nullptr || !question->isVisible()) return;
      poll_.stop();
      asked_ = true;
      answer_(*question);
    });
    poll_.start(5);
  }
  bool asked() const { return asked_; }

 private:
  QTimer poll_;
  std::function<void(QMessageBox&)> answer_;
  bool asked_ = false;
};

}  // namespace auralis::testing
