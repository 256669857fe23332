#include "app/PitchGraphRow.h"

#include <algorithm>

#include "app/ScreenFit.h"
#include "app/SolfegePanel.h"

namespace auralis {

PitchGraphRow::PitchGraphRow(QMainWindow& window, QSize leastWindowSize, PitchGraph& graph,
                             QMenu& viewMenu)
    : window_(window), leastWindowSize_(leastWindowSize), graph_(graph) {
  viewMenu.addSeparator();
  PitchGraph1_ = viewMenu.addAction(QStringLiteral("&Pitch graph"));
  PitchGraph1_->setObjectName(QStringLiteral("PitchGraph1"));
  PitchGraph1_->setCheckable(true);
  PitchGraph1_->setStatusTip(
      QStringLiteral("Show the sung pitch of the last ten seconds below the notes"));
  connect(PitchGraph1_, &QAction::toggled, this, [this](bool on) { showPitchGraph(on); });
}

void PitchGraphRow::showPitchGraph(bool shown, bool keepHeight) {
  if (graph_.isVisibleTo(&window_) == shown) return;
  // Taken before the new minimum, which already makes a smaller window taller.
  int height = window_.height();
  if (!keepHeight) height += shown ? kPitchGraphHeight : -kPitchGraphHeight;
  graph_.setVisible(shown);
  takeLeastSize();
  window_.resize(window_.width(), std::max(window_.minimumHeight(), height));
  if (window_.isVisible()) fitOnScreen(window_, false);
}

void PitchGraphRow::setExtraHeight(int height) {
  extraHeight_ = height;
  takeLeastSize();
}

void PitchGraphRow::takeLeastSize() {
  const int graph = graph_.isVisibleTo(&window_) ? kPitchGraphHeight : 0;
  window_.setMinimumSize(
      boundedByScreen(window_, leastWindowSize_ + QSize(0, graph + extraHeight_)));
}

}  // namespace auralis
