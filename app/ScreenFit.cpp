#include "app/ScreenFit.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace auralis {

QRect roomFor(const QWidget& window) {
  const QScreen* screen = window.screen();
  if (screen == nullptr) return {};
  const QRect available = screen->availableGeometry();
  // The frame's width on each side, and the title bar above.
  const QMargins frame(window.geometry().left() - window.frameGeometry().left(),
                       window.geometry().top() - window.frameGeometry().top(),
                       window.frameGeometry().right() - window.geometry().right(),
                       window.frameGeometry().bottom() - window.geometry().bottom());
  return available - frame;
}

QSize boundedByScreen(const QWidget& window, QSize size) {
  const QRect room = roomFor(window);
  return room.isEmpty() ? size : size.boundedTo(room.size());
}

void fitOnScreen(QWidget& window, bool centre) {
  const QRect room = roomFor(window);
  if (room.isEmpty()) return;
  // The least size its layout allows, where the screen has room for it.
  const QSize least = window.minimumSize().expandedTo(window.minimumSizeHint());
  if (least.width() > room.width() || least.height() > room.height())
    window.setMinimumSize(least.boundedTo(room.size()));
  window.resize(window.size().boundedTo(room.size()));
  QRect placed(window.geometry().topLeft(), window.size());
  if (centre) placed.moveCenter(room.center());
  placed.moveLeft(std::clamp(placed.left(), room.left(), room.right() + 1 - placed.width()));
  placed.moveTop(std::clamp(placed.top(), room.top(), room.bottom() + 1 - placed.height()));
  window.move(placed.topLeft() - (window.geometry().topLeft() - window.pos()));
}

}  // namespace auralis
