#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <optional>
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
  constexpr std::size_t kFlood = 100;
  for (std::size_t n = 0; n < kFlood; ++n) messages.post(numbered(static_cast<int>(n)));
  std::optional<std::size_t> handledWhenServed;
  QMetaObject::invokeMethod(
      &messages, [&] { handledWhenServed = handled.size(); }, Qt::QueuedConnection);
  for (int pass = 0; pass < 10 && handled.size() < kFlood; ++pass)
    QCoreApplication::sendPostedEvents();

  ASSERT_EQ(handled.size(), kFlood);
  for (std::size_t n = 0; n < kFlood; ++n) EXPECT_EQ(handled[n], static_cast<int>(n));
  ASSERT_TRUE(handledWhenServed.has_value());
  EXPECT_GT(*handledWhenServed, 0U);
  EXPECT_LT(*handledWhenServed, kFlood);
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
  if (poster.joinable()) poster.join();

  EXPECT_FALSE(timedOut);
  EXPECT_EQ(handled, (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace auralis::testing
