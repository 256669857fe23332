#pragma once

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QObject>
#include <QSize>

#include "display/PitchGraph.h"

namespace auralis {

// The pitch graph below the note panel as the View item "&Pitch graph" shows and hides it. The
// window grows by the graph's height when it shows and shrinks when it goes, and its least size
// with it, within the room its screen offers.
class PitchGraphRow : public QObject {
 public:
  // Appends the item to the View menu; the graph is hidden until it is checked.
  PitchGraphRow(QMainWindow& window, QSize leastWindowSize, PitchGraph& graph, QMenu& viewMenu);

  QAction* PitchGraph1() const { return PitchGraph1_; }
  // Shows or hides the graph; the window grows or shrinks by its height unless keepHeight.
  void showPitchGraph(bool shown, bool keepHeight = false);
  // Other rows shown beside the graph take this much more of the window's least height.
  void setExtraHeight(int height);

 private:
  QMainWindow& window_;
  QSize leastWindowSize_;  // without the graph
  int extraHeight_ = 0;
  void takeLeastSize();

  PitchGraph& graph_;
  QAction* PitchGraph1_ = nullptr;
};

}  // namespace auralis
