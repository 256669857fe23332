#include "app/StatusPanels.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPointer>
#include <QStatusTipEvent>
#include <algorithm>

namespace auralis {

namespace {

constexpr std::array<const char*, 5> kInitialTexts = {"0:00 / 0:00", "Mic Off", "", "", ""};

// clang-format off
constexpr std::array<const char*, 5> kPanelToolTips = {
    "Clocks: run of quick answers / time at this level / time since start",
    "Microphone: off, on, missing, or the pitch it hears",
    "Level of this lesson, of all its levels",
    "",  // by the number of values, below
    "Right answers at this level; right answers in a row; right answers since start",
};
// Identify shows three mastery values, Mimic and Sing two, Unlock one.
constexpr std::array<const char*, 4> kMasteryToolTips = {
    "Levels mastered in the lesson; none in this one",
    "Level mastered within a minute",
    "Levels mastered: with 95% right / within a minute",
    "Levels mastered: with 95% right / with all right / within a minute",
};
// clang-format on

constexpr int kMasteryPanel = 3;

bool followsItsText(int panel) {
  return panel == 0 || panel == 2 || panel == 3;
}

// Shows the status tips, which the window's status bar would show over all of its panels, in the
// place of the scores panel. The labels may go before the filter does as the window closes.
class StatusTipFilter : public QObject {
 public:
  StatusTipFilter(QObject* parent, QLabel* tip, QLabel* scores)
      : QObject(parent), tip_(tip), scores_(scores) {}

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() != QEvent::StatusTip) return false;
    const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
    if (tip_ && scores_) {
      tip_->setText(tip);
      tip_->setVisible(!tip.isEmpty());
      scores_->setVisible(tip.isEmpty());
    }
    return true;
  }

 private:
  QPointer<QLabel> tip_;
  QPointer<QLabel> scores_;
};

QLabel* sunkenPanel(QStatusBar* bar, const QString& text) {
  auto* label = new QLabel(text, bar);
  label->setFrameShape(QFrame::Panel);
  label->setFrameShadow(QFrame::Sunken);
  return label;
}

// What a panel shows. The mastery panel's tip follows how many values it holds, which differs by
// lesson.
QString panelToolTip(int panel, const QString& text) {
  if (panel != kMasteryPanel) return QString::fromLatin1(kPanelToolTips[panel]);
  const qsizetype values = text.isEmpty() ? 0 : text.count(QStringLiteral(" / ")) + 1;
  return QString::fromLatin1(
      kMasteryToolTips[std::min<std::size_t>(values, kMasteryToolTips.size() - 1)]);
}

}  // namespace

StatusPanels::StatusPanels(QStatusBar* bar) : bar_(bar) {
  bar_->setObjectName(QStringLiteral("StatusBar1"));
  bar_->setFixedHeight(kStatusBarHeight);
  bar_->setSizeGripEnabled(false);
  for (std::size_t i = 0; i < panels_.size(); ++i) {
    const QString text = QString::fromLatin1(kInitialTexts[i]);
    QLabel* label = sunkenPanel(bar_, text);
    label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    label->setAlignment(Qt::AlignCenter);
    label->setToolTip(panelToolTip(static_cast<int>(i), text));
    const bool last = i + 1 == panels_.size();
    if (last) {
      label->setMinimumWidth(kInitialPanelWidths[i]);
    } else {
      label->setFixedWidth(kInitialPanelWidths[i]);
    }
    bar_->addWidget(label, last ? 1 : 0);
    panels_[i] = label;
  }
  tip_ = sunkenPanel(bar_, QString());
  tip_->setObjectName(QStringLiteral("StatusTip"));
  tip_->setMinimumWidth(kInitialPanelWidths.back());
  bar_->addWidget(tip_, 1);
  tip_->hide();
  bar_->window()->installEventFilter(new StatusTipFilter(bar_, tip_, panels_.back()));
}

void StatusPanels::setText(int panel, const QString& text) {
  QLabel* label = panels_[panel];
  label->setText(text);
  if (panel == kMasteryPanel) label->setToolTip(panelToolTip(panel, text));
  if (followsItsText(panel))
    label->setFixedWidth(QFontMetrics(bar_->font()).horizontalAdvance(text) + kPanelPadding);
}

void StatusPanels::showNotice(const QString& text) {
  bar_->showMessage(text, kNoticeMilliseconds);
}

}  // namespace auralis
