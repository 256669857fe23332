#pragma once

#include <QLabel>
#include <QStatusBar>
#include <array>

namespace auralis {

inline constexpr int kStatusBarHeight = 19;
inline constexpr int kPanelPadding = 20;  // beside the text of a panel that follows its text
inline constexpr std::array<int, 5> kInitialPanelWidths = {65, 70, 175, 80, 50};

// StatusBar1: five centred panels. Panels 0, 2 and 3 are as wide as their text plus 20 pixels,
// panel 1 keeps its width and panel 4 takes the rest.
class StatusPanels {
 public:
  explicit StatusPanels(QStatusBar* bar);

  void setText(int panel, const QString& text);
  QString text(int panel) const { return panels_[panel]->text(); }
  QLabel* panel(int index) const { return panels_[index]; }
  QStatusBar* bar() const { return bar_; }

 private:
  QStatusBar* bar_;
  std::array<QLabel*, 5> panels_{};
};

}  // namespace auralis
