#pragma once

#include <QLabel>
#include <QStatusBar>
#include <array>

namespace auralis {

inline constexpr int kStatusBarHeight = 19;
inline constexpr int kPanelPadding = 20;  // beside the text of a panel that follows its text
inline constexpr std::array<int, 5> kInitialPanelWidths = {65, 70, 175, 80, 50};

// StatusBar1: five centred panels. Panels 0, 2 and 3 are as wide as their text plus 20 pixels,
// panel 1 keeps its width and panel 4 takes the rest. Each panel's tool tip says what it shows.
//
// The status tip of the item under the mouse shows in the place of panel 4, the scores, while
// panels 0 to 3 stay in view: the clocks go on and the microphone panel keeps showing what it
// hears. No panel's text is touched, and the tip goes as soon as the pointer has left the item,
// the window or its menu. Notices go to the notice line, never over the panels.
class StatusPanels {
 public:
  explicit StatusPanels(QStatusBar* bar);

  void setText(int panel, const QString& text);
  QString text(int panel) const { return panels_[panel]->text(); }
  QLabel* panel(int index) const { return panels_[index]; }
  QStatusBar* bar() const { return bar_; }
  // Where status tips show; hidden while there is none.
  QLabel* statusTip() const { return tip_; }

 private:
  QStatusBar* bar_;
  std::array<QLabel*, 5> panels_{};
  QLabel* tip_ = nullptr;
};

}  // namespace auralis
