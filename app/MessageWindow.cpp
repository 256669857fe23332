#include "app/MessageWindow.h"

#include <QCoreApplication>
#include <QThread>
#include <optional>
#include <utility>

namespace auralis {

namespace {

// An event hands on at most this many notices and leaves the rest to the next, so that a flood
// of notices never holds back painting and input.
constexpr int kMostPerEvent = 32;

}  // namespace

const QEvent::Type NoticeEvent::kType = static_cast<QEvent::Type>(QEvent::registerEventType());

MessageWindow::MessageWindow(HandleFn handle) : handle_(std::move(handle)) {
  setObjectName(QStringLiteral("messageWindow"));
}

bool MessageWindow::claimEvent() {
  return !std::exchange(eventOnItsWay_, true);
}

bool MessageWindow::drainTakesPosted() const {
  // A handler that runs an event loop of its own (a modal dialog) is not back in the drain until
  // that loop ends: what is posted inside it gets an event of its own, which that loop delivers.
  // The level is only ever read on the interface thread.
  return QThread::currentThread() == thread() && drainingAt_ >= 0 &&
         drainingAt_ == thread()->loopLevel();
}

void MessageWindow::post(Notice notice) {
  const bool taken = drainTakesPosted();
  bool postEvent = false;
  {
    const std::lock_guard lock(mutex_);
    waiting_.push_back(std::move(notice));
    postEvent = !taken && claimEvent();
  }
  if (postEvent) QCoreApplication::postEvent(this, new NoticeEvent);
}

bool MessageWindow::event(QEvent* event) {
  if (event->type() != NoticeEvent::kType) return QObject::event(event);
  {
    const std::lock_guard lock(mutex_);
    eventOnItsWay_ = false;
  }
  const int outer = std::exchange(drainingAt_, thread()->loopLevel());
  for (int handed = 0;; ++handed) {
    std::optional<Notice> notice;
    bool postEvent = false;
    {
      const std::lock_guard lock(mutex_);
      if (waiting_.empty()) break;
      if (handed < kMostPerEvent) {
        notice.emplace(std::move(waiting_.front()));
        waiting_.pop_front();
      } else {
        postEvent = claimEvent();
      }
    }
    if (!notice) {
      if (postEvent) QCoreApplication::postEvent(this, new NoticeEvent);
      break;
    }
    if (watch_) watch_(*notice);
    handle_(*notice);
  }
  drainingAt_ = outer;
  return true;
}

}  // namespace auralis
