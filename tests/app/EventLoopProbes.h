#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <string>

namespace auralis::testing {

// Ticks on the interface thread as often as it can and keeps the longest time between two
// ticks: how long the thread was kept from its events while the test ran the event loop.
class Heartbeat {
 public:
  Heartbeat() {
    QObject::connect(&timer_, &QTimer::timeout,
                     [this] { largest_ = std::max(largest_, sinceLast_.restart()); });
    timer_.start(1);
    sinceLast_.start();
  }
  // Recorded with the test's result (the XML report lists it), never asserted.
  void record(const std::string& what) const {
    ::testing::Test::RecordProperty("largest_interface_gap_ms_" + what, static_cast<int>(largest_));
  }
  qint64 largestGapMs() const { return largest_; }

 private:
  QTimer timer_;
  QElapsedTimer sinceLast_;
  qint64 largest_ = 0;
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
