#pragma once

#include <QRect>
#include <QSize>

class QWidget;

namespace auralis {

// The room a window has on its screen, without the desktop's panels and the window's own frame
// (known once it has been shown).
QRect roomFor(const QWidget& window);

// The size, no larger than the window's room: a minimum size that the screen allows.
QSize boundedByScreen(const QWidget& window, QSize size);

// Makes the window no larger than its room and puts it wholly on its screen: centred when
// `centre` is set, otherwise moved only as far as it must be.
void fitOnScreen(QWidget& window, bool centre);

}  // namespace auralis
