#pragma once

#include <QEvent>
#include <QObject>
#include <functional>

#include "core/Notices.h"

namespace auralis {

// A notice on its way to the interface thread.
class NoticeEvent : public QEvent {
 public:
  static const QEvent::Type kType;

  explicit NoticeEvent(Notice notice) : QEvent(kType), notice_(std::move(notice)) {}
  const Notice& notice() const { return notice_; }

 private:
  Notice notice_;
};

// The hidden message object (`messageWindow`): device threads and the capture side post their
// notices here, and they are handled one at a time, in the order posted, on the interface
// thread. post may be called from any thread.
class MessageWindow : public QObject, public NoticeQueue {
 public:
  using HandleFn = std::function<void(const Notice&)>;

  explicit MessageWindow(HandleFn handle);

  void post(Notice notice) override;

 protected:
  bool event(QEvent* event) override;

 private:
  HandleFn handle_;
};

}  // namespace auralis
