#include "app/StatusPanels.h"

#include <QFontMetrics>

namespace auralis {

namespace {

constexpr std::array<const char*, 5> kInitialTexts = {"0:00 / 0:00", "Mic Off", "", "", ""};

bool followsItsText(int panel) {
  return panel == 0 || panel == 2 || panel == 3;
}

}  // namespace

StatusPanels::StatusPanels(QStatusBar* bar) : bar_(bar) {
  bar_->setObjectName(QStringLiteral("StatusBar1"));
  bar_->setFixedHeight(kStatusBarHeight);
  bar_->setSizeGripEnabled(false);
  for (std::size_t i = 0; i < panels_.size(); ++i) {
    auto* label = new QLabel(QString::fromLatin1(kInitialTexts[i]), bar_);
    label->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
    label->setAlignment(Qt::AlignCenter);
    label->setFrameShape(QFrame::Panel);
    label->setFrameShadow(QFrame::Sunken);
    const bool last = i + 1 == panels_.size();
    if (last) {
      label->setMinimumWidth(kInitialPanelWidths[i]);
    } else {
      label->setFixedWidth(kInitialPanelWidths[i]);
    }
    bar_->addWidget(label, last ? 1 : 0);
    panels_[i] = label;
  }
}

void StatusPanels::setText(int panel, const QString& text) {
  QLabel* label = panels_[panel];
  label->setText(text);
  if (followsItsText(panel))
    label->setFixedWidth(QFontMetrics(bar_->font()).horizontalAdvance(text) + kPanelPadding);
}

}  // namespace auralis
