#include "app/StatusPanels.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QFontMetrics>
#include <QPointer>
#include <QStatusTipEvent>
#include <QTimer>
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
// place of the scores panel. A tip goes when its item says so, and also when the window loses
// the pointer or its activation without that word: a window opened over it, a dialog, a pointer
// that left in a hurry. The labels may go before the filter does as the window closes.
class StatusTipFilter : public QObject {
 public:
  StatusTipFilter(QWidget* window, QLabel* tip, QLabel* scores)
      : QObject(window), window_(window), tip_(tip), scores_(scores) {
    check_.setInterval(kTipCheckMilliseconds);
    connect(&check_, &QTimer::timeout, this, [this] {
      if (!pointerStillThere()) showTip(QString());
    });
  }

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    switch (event->type()) {
      case QEvent::StatusTip:
        showTip(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
      case QEvent::Leave:
      case QEvent::WindowDeactivate:
      case QEvent::Hide:
        if (QApplication::activePopupWidget() == nullptr) showTip(QString());
        return false;
      default:
        return false;
    }
  }

 private:
  static constexpr int kTipCheckMilliseconds = 250;

  void showTip(const QString& tip) {
    if (!tip_ || !scores_) return;
    tip_->setText(tip);
    tip_->setVisible(!tip.isEmpty());
    scores_->setVisible(tip.isEmpty());
    if (tip.isEmpty()) {
      check_.stop();
    } else {
      check_.start();
    }
  }

  // Over the window, or in a menu that it opened.
  bool pointerStillThere() const {
    if (QApplication::activePopupWidget() != nullptr) return true;
    const QWidget* under = QApplication::widgetAt(QCursor::pos());
    return under != nullptr && under->window() == window_;
  }

  QWidget* window_;
  QPointer<QLabel> tip_;
  QPointer<QLabel> scores_;
  QTimer check_;
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
  QWidget* window = bar_->window();
  window->installEventFilter(new StatusTipFilter(window, tip_, panels_.back()));
}

void StatusPanels::setText(int panel, const QString& text) {
  QLabel* label = panels_[panel];
  label->setText(text);
  if (panel == kMasteryPanel) label->setToolTip(panelToolTip(panel, text));
  if (followsItsText(panel))
    label->setFixedWidth(QFontMetrics(bar_->font()).horizontalAdvance(text) + kPanelPadding);
}

}  // namespace auralis
