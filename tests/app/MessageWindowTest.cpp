#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <thread>
#include <vector>

#include "app/MessageWindow.h"

namespace auralis::testing {
namespace {

// Notices told apart by the number they carry.
Notice numbered(int n) {
  return notice::MidiInLost{n};
}

int numberOf(const Notice& notice) {
  return std::get<notice::MidiInLost>(notice).generation;
}

// Counts the Qt events that reach an object.
class EventCount : public QObject {
 public:
  explicit EventCount(QObject& watched) { watched.installEventFilter(this); }
  int events = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == NoticeEvent::kType) ++events;
    return false;
  }
};

// Records how many notices had been handled when it got its event.
class Bystander : public QObject {
 public:
  explicit Bystander(const std::vector<int>& handled) : handled_(handled) {}
  std::optional<std::size_t> handledWhenServed;

 protected:
  bool event(QEvent* event) override {
    if (event->type() != QEvent::User) return QObject::event(event);
    handledWhenServed = handled_.size();
    return true;
  }

 private:
  const std::vector<int>& handled_;
};

TEST(MessageWindow, ANoticeAHandlerPostsComesAfterThoseWaitingInTheSameEvent) {
  std::vector<int> handled;
  MessageWindow* window = nullptr;
  MessageWindow messages([&](const Notice& notice) {
    handled.push_back(numberOf(notice));
    if (numberOf(notice) == 1) window->post(numbered(3));
  });
  window = &messages;
  const EventCount count(messages);
  messages.post(numbered(1));
  messages.post(numbered(2));
  QCoreApplication::sendPostedEvents(&messages);
  EXPECT_EQ(handled, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(count.events, 1);

  // Posted with no event being handled, a notice gets an event of its own.
  messages.post(numbered(4));
  QCoreApplication::sendPostedEvents(&messages);
  EXPECT_EQ(handled.back(), 4);
  EXPECT_EQ(count.events, 2);
}

TEST(MessageWindow, AFloodOfNoticesLetsOtherEventsInAndKeepsItsOrder) {
  std::vector<int> handled;
  MessageWindow messages([&](const Notice& notice) { handled.push_back(numberOf(notice)); });
  Bystander bystander(handled);
  constexpr int kFlood = 100;
  for (int n = 0; n < kFlood; ++n) messages.post(numbered(n));
  QCoreApplication::postEvent(&bystander, new QEvent(QEvent::User));
  for (int pass = 0; pass < 10 && handled.size() < kFlood; ++pass)
    QCoreApplication::sendPostedEvents();

  ASSERT_EQ(handled.size(), std::size_t{kFlood});
  for (int n = 0; n < kFlood; ++n) EXPECT_EQ(handled[static_cast<std::size_t>(n)], n);
  ASSERT_TRUE(bystander.handledWhenServed.has_value());
  EXPECT_GT(*bystander.handledWhenServed, 0U);
  EXPECT_LT(*bystander.handledWhenServed, std::size_t{kFlood});
}

// A handler that runs an event loop of its own, as a modal dialog does, still gets the notices
// that other threads post meanwhile, and in order.
TEST(MessageWindow, ANestedEventLoopReceivesNoticesFromOtherThreads) {
  std::vector<int> handled;
  std::thread poster;
  QEventLoop outer;
  QEventLoop nested;
  MessageWindow* window = nullptr;
  MessageWindow messages([&](const Notice& notice) {
    handled.push_back(numberOf(notice));
    if (numberOf(notice) == 1) {
      poster = std::thread([&] {
        window->post(numbered(2));
        window->post(numbered(3));
      });
      nested.exec();
    }
    if (numberOf(notice) == 3) {
      nested.quit();
      outer.quit();
    }
  });
  window = &messages;
  bool timedOut = false;
  QTimer::singleShot(5000, &outer, [&] {
    timedOut = true;
    nested.quit();
    outer.quit();
  });
  messages.post(numbered(1));
  outer.exec();
  poster.join();

  EXPECT_FALSE(timedOut);
  EXPECT_EQ(handled, (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace auralis::testing
