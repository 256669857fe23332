#include "app/MessageWindow.h"

#include <QCoreApplication>

namespace auralis {

const QEvent::Type NoticeEvent::kType = static_cast<QEvent::Type>(QEvent::registerEventType());

MessageWindow::MessageWindow(HandleFn handle) : handle_(std::move(handle)) {
  setObjectName(QStringLiteral("messageWindow"));
}

void MessageWindow::post(Notice notice) {
  QCoreApplication::postEvent(this, new NoticeEvent(std::move(notice)));
}

bool MessageWindow::event(QEvent* event) {
  if (event->type() != NoticeEvent::kType) return QObject::event(event);
  handle_(static_cast<const NoticeEvent*>(event)->notice());
  return true;
}

}  // namespace auralis
