#include "app/MessageWindow.h"

#include <QCoreApplication>

namespace auralis {

namespace {

// A posted notice with the two parameters of a window message.
class Notice : public QEvent {
 public:
  Notice(int type, int first, int second)
      : QEvent(static_cast<Type>(type)), first_(first), second_(second) {}
  int first() const { return first_; }
  int second() const { return second_; }

 private:
  int first_;
  int second_;
};

class MicFrameNotice : public QEvent {
 public:
  explicit MicFrameNotice(const FrameResult& frame)
      : QEvent(static_cast<Type>(MessageWindow::kMicFrame)), frame_(frame) {}
  const FrameResult& frame() const { return frame_; }

 private:
  FrameResult frame_;
};

}  // namespace

MessageWindow::MessageWindow(MessageTarget& target) : target_(target) {
  setObjectName(QStringLiteral("messageWindow"));
}

void MessageWindow::postCaptureNotice() {
  QCoreApplication::postEvent(this, new Notice(kCaptureData, 0, 0));
}

void MessageWindow::postMicFrame(const FrameResult& frame) {
  QCoreApplication::postEvent(this, new MicFrameNotice(frame));
}

void MessageWindow::postPlayDone() {
  QCoreApplication::postEvent(this, new Notice(kPlayDone, 0, 0));
}

void MessageWindow::postCharacter(char letter) {
  QCoreApplication::postEvent(this, new Notice(kCharacter, letter, 0));
}

void MessageWindow::postMidiKey(char key, int generation) {
  QCoreApplication::postEvent(this, new Notice(kMidiKey, key, generation));
}

void MessageWindow::postMicrophoneLost(int openCount) {
  QCoreApplication::postEvent(this, new Notice(kMicrophoneLost, openCount, 0));
}

bool MessageWindow::event(QEvent* event) {
  if (const auto* frame = dynamic_cast<const MicFrameNotice*>(event)) {
    target_.micFrame(frame->frame());
    return true;
  }
  const auto* notice = dynamic_cast<const Notice*>(event);
  if (notice == nullptr) return QObject::event(event);
  switch (static_cast<int>(notice->type())) {
    case kCaptureData:
      target_.captureNotice();
      break;
    case kPlayDone:
      target_.playDone();
      break;
    case kCharacter:
      target_.characterReceived(static_cast<char>(notice->first()));
      break;
    case kMidiKey:
      target_.midiKeyReceived(static_cast<char>(notice->first()), notice->second());
      break;
    case kMicrophoneLost:
      target_.microphoneLost(notice->first());
      break;
    default:
      break;
  }
  return true;
}

}  // namespace auralis
