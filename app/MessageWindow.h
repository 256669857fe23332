#pragma once

#include <QEvent>
#include <QObject>
#include <deque>
#include <functional>
#include <mutex>

#include "core/Notices.h"

namespace auralis {

// Tells the message object that notices wait; it carries none itself.
class NoticeEvent : public QEvent {
 public:
  static const QEvent::Type kType;

  NoticeEvent() : QEvent(kType) {}
};

// The hidden message object (`messageWindow`): device threads and the capture side post their
// notices here, and they are handled one at a time, in the order posted, on the interface
// thread. post may be called from any thread.
//
// The notices wait in one queue, and a Qt event is posted only when none is already on its way.
// A notice that a handler posts is taken by the same event, after those already waiting: a
// buffer's analysis and the frame it posts wake the interface thread once, not twice.
class MessageWindow : public QObject, public NoticeQueue {
 public:
  using HandleFn = std::function<void(const Notice&)>;

  explicit MessageWindow(HandleFn handle);

  void post(Notice notice) override;
  // Shown every notice just before it is handled; for measuring. None by default.
  void setWatch(HandleFn watch) { watch_ = std::move(watch); }

 protected:
  bool event(QEvent* event) override;

 private:
  // With the lock held: true when the caller is to post the event, none being on its way.
  bool claimEvent();
  // On the interface thread: whether the event being handled at this loop level will take a
  // notice posted now.
  bool drainTakesPosted() const;

  HandleFn handle_;
  HandleFn watch_;
  std::mutex mutex_;
  std::deque<Notice> waiting_;
  bool eventOnItsWay_ = false;
  // Interface thread only: the event loop level whose event is handling notices, or -1.
  int drainingAt_ = -1;
};

}  // namespace auralis
