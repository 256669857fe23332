#include "app/KeyPreview.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <utility>

#include "engine/Notes.h"

namespace auralis {

std::optional<char> typedCharacter(const QKeyEvent& event) {
  if (event.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
    return std::nullopt;
  if (event.key() == Qt::Key_Escape) return kEscape;
  const QString text = event.text();
  if (text.size() != 1) return std::nullopt;
  const char16_t ch = text.front().unicode();
  if (ch < 0x20 || ch > 0x7E) return std::nullopt;
  return static_cast<char>(ch);
}

KeyPreview::KeyPreview(QMainWindow& window, QWidget& notePanel, std::function<void(char)> typed)
    : window_(window), notePanel_(notePanel), typed_(std::move(typed)) {
  leaveMenuBarWhenMenusClose();
  qApp->installEventFilter(this);
}

KeyPreview::~KeyPreview() {
  qApp->removeEventFilter(this);
}

// A menu that Escape closes leaves the menu bar holding the focus with its title marked, where
// plain letters open menus. Once no menu is open, the focus goes back to the note panel, which
// ends that state: the letters are the lesson's again.
void KeyPreview::leaveMenuBarWhenMenusClose() {
  for (QAction* title : window_.menuBar()->actions()) {
    if (title->menu() == nullptr) continue;
    connect(title->menu(), &QMenu::aboutToHide, this, [this] {
      // After the menu has handled its key: a menu bar that moves on to the next menu keeps it.
      QTimer::singleShot(0, this, [this] {
        if (QApplication::activePopupWidget() == nullptr && window_.menuBar()->hasFocus())
          notePanel_.setFocus(Qt::OtherFocusReason);
      });
    });
  }
}

bool KeyPreview::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  // Keys meant for an open menu stay its own, and so do those of a menu bar that the user is
  // moving through (after Alt or F10, a title marked).
  if (widget == nullptr || widget->window() != &window_) return false;
  if (const auto* bar = qobject_cast<QMenuBar*>(widget); bar != nullptr && bar->activeAction())
    return false;
  const auto ch = typedCharacter(*static_cast<QKeyEvent*>(event));
  if (!ch) return false;
  typed_(*ch);
  return true;
}

}  // namespace auralis
