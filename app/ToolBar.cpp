#include "app/ToolBar.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QPixmap>
#include <algorithm>

#include "app/Menus.h"
#include "app/Resources.h"
#include "app/ToolPictures.h"

namespace auralis {

namespace {

// The normal picture, and the highlighted one shown under the mouse.
QIcon pictureOf(const char* name) {
  const QString normal = QString::fromLatin1(name);
  QIcon icon;
  icon.addPixmap(QPixmap::fromImage(toolPicture(normal)), QIcon::Normal);
  icon.addPixmap(QPixmap::fromImage(toolPicture(normal + QStringLiteral("-hot"))), QIcon::Active);
  return icon;
}

QToolButton* button(QWidget* parent, const char* component, const char* caption,
                    const char* picture, bool sticky) {
  auto* b = new QToolButton(parent);
  b->setObjectName(QString::fromLatin1(component));
  b->setText(QString::fromLatin1(caption));
  b->setToolTip(QString::fromLatin1(caption));
  b->setFixedSize(kToolButtonSize, kToolButtonSize);
  b->setIconSize(QSize(kToolPictureSize, kToolPictureSize));
  b->setIcon(pictureOf(picture));
  b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
  // Flat until the mouse is over it, which also shows the highlighted picture then.
  b->setAutoRaise(true);
  b->setCheckable(sticky);
  b->setFocusPolicy(Qt::NoFocus);
  // The longest caption, "Practice Singing", fits an 84 pixel button only in a narrow face.
  QFont narrow = b->font();
  narrow.setStretch(QFont::Condensed);
  b->setFont(narrow);
  return b;
}

QWidget* separator(QWidget* parent, const char* component) {
  auto* s = new QWidget(parent);
  s->setObjectName(QString::fromLatin1(component));
  s->setFixedSize(kSeparatorWidth, kToolButtonSize);
  return s;
}

}  // namespace

QToolButton* ToolBar::lessonButton(LessonItem item) const {
  switch (item) {
    case LessonItem::Warmup1:
      return toolButtonPractice;
    case LessonItem::Identify1:
      return toolButtonIdentify;
    case LessonItem::Unlock1:
      return toolButtonUnlock;
    case LessonItem::MimicSing1:
      return toolButtonMimic;
    case LessonItem::Sing1:
      return toolButtonSing;
    case LessonItem::Meditate1:
      return toolButtonMeditate;
  }
  return toolButtonPractice;
}

int ToolBar::rowWidth() const {
  int width = 0;
  for (const QWidget* w : row_)
    if (!w->isHidden()) width += w->width();
  return width;
}

void ToolBar::setIndent(int pixels) const {
  indent->setFixedWidth(std::max(0, pixels));
}

QToolButton* ToolBar::appendButton(const char* component, const char* caption,
                                   const char* picture) {
  QWidget* gap = separator(ToolBar1, "");
  QToolButton* b = button(ToolBar1, component, caption, picture, false);
  auto* layout = static_cast<QHBoxLayout*>(ToolBar1->layout());
  // Before the closing stretch.
  layout->insertWidget(layout->count() - 1, gap);
  layout->insertWidget(layout->count() - 1, b);
  row_.push_back(gap);
  row_.push_back(b);
  return b;
}

ToolBar buildToolBar(QWidget* parent) {
  loadResources();
  ToolBar t;
  t.ToolBar1 = new QWidget(parent);
  t.ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
  t.ToolBar1->setFixedHeight(kToolBarHeight);
  t.indent = new QWidget(t.ToolBar1);
  t.indent->setFixedSize(0, kToolButtonSize);

  QWidget* bar = t.ToolBar1;
  t.toolButtonIdentify = button(bar, "toolButtonIdentify", "Identify", "identify", true);
  t.ToolButton2 = separator(bar, "ToolButton2");
  t.toolButtonUnlock = button(bar, "toolButtonUnlock", "Unlock", "unlock", true);
  t.ToolButton5 = separator(bar, "ToolButton5");
  t.toolButtonMimic = button(bar, "toolButtonMimic", "Mimic", "mimic", true);
  t.ToolButton7 = separator(bar, "ToolButton7");
  t.toolButtonSing = button(bar, "toolButtonSing", "Sing", "sing", true);
  t.ToolButton9 = separator(bar, "ToolButton9");
  t.toolButtonMeditate = button(bar, "toolButtonMeditate", "Meditate", "meditate", true);
  t.ToolButton11 = separator(bar, "ToolButton11");
  t.toolButtonPractice = button(bar, "toolButtonPractice", "Practice Singing", "practice", true);
  t.ToolButton13 = separator(bar, "ToolButton13");
  t.toolButtonHelp = button(bar, "toolButtonHelp", "Help", "help", false);
  t.row_ = {t.toolButtonIdentify, t.ToolButton2,  t.toolButtonUnlock,   t.ToolButton5,
            t.toolButtonMimic,    t.ToolButton7,  t.toolButtonSing,     t.ToolButton9,
            t.toolButtonMeditate, t.ToolButton11, t.toolButtonPractice, t.ToolButton13,
            t.toolButtonHelp};

  for (LessonItem item : kLessonItems) t.lessonButton(item)->setStatusTip(lessonStatusTip(item));
  t.toolButtonHelp->setStatusTip(QString::fromLatin1(kHelpStatusTip));

  t.lessonButtons = new QButtonGroup(bar);
  t.lessonButtons->setExclusive(true);
  for (QToolButton* b : {t.toolButtonIdentify, t.toolButtonUnlock, t.toolButtonMimic,
                         t.toolButtonSing, t.toolButtonMeditate, t.toolButtonPractice})
    t.lessonButtons->addButton(b);

  auto* layout = new QHBoxLayout(bar);
  layout->setContentsMargins(0, 2, 0, 2);
  layout->setSpacing(0);
  layout->addWidget(t.indent);
  for (QWidget* w : t.row_) layout->addWidget(w);
  layout->addStretch(1);
  return t;
}

}  // namespace auralis
