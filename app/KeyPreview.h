#pragma once

#include <QMainWindow>
#include <QObject>
#include <functional>
#include <optional>

class QKeyEvent;

namespace auralis {

// The character a key press types for the lesson: a printable character or Escape, without
// Ctrl, Alt or Meta, which belong to the menus' shortcuts.
std::optional<char> typedCharacter(const QKeyEvent& event);

// Key preview: every character typed in the window reaches the lesson's key handler before any
// child control. Keys meant for an open menu stay its own, and so do those of a menu bar that the
// user is moving through. The window keeps it from the moment its menus and note panel exist.
class KeyPreview : public QObject {
 public:
  KeyPreview(QMainWindow& window, QWidget& notePanel, std::function<void(char)> typed);
  ~KeyPreview() override;
  KeyPreview(const KeyPreview&) = delete;
  KeyPreview& operator=(const KeyPreview&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void leaveMenuBarWhenMenusClose();

  QMainWindow& window_;
  QWidget& notePanel_;
  std::function<void(char)> typed_;
};

}  // namespace auralis
