#pragma once

#include <QButtonGroup>
#include <QToolButton>
#include <QWidget>
#include <vector>

#include "engine/LessonMode.h"

namespace auralis {

// ToolBar1: a row of 84 by 84 buttons, their captions under 64 by 64 pictures, with 20 pixel
// separators between them, moved right by an indent that centres the row in the window.
struct ToolBar {
  QWidget* ToolBar1 = nullptr;
  QWidget* indent = nullptr;
  QToolButton* toolButtonIdentify = nullptr;
  QWidget* ToolButton2 = nullptr;
  QToolButton* toolButtonUnlock = nullptr;
  QWidget* ToolButton5 = nullptr;
  QToolButton* toolButtonMimic = nullptr;
  QWidget* ToolButton7 = nullptr;
  QToolButton* toolButtonSing = nullptr;
  QWidget* ToolButton9 = nullptr;
  QToolButton* toolButtonMeditate = nullptr;
  QWidget* ToolButton11 = nullptr;
  QToolButton* toolButtonPractice = nullptr;
  QWidget* ToolButton13 = nullptr;
  QToolButton* toolButtonHelp = nullptr;
  // The six lesson buttons: sticky, exactly one down.
  QButtonGroup* lessonButtons = nullptr;

  QToolButton* lessonButton(LessonItem item) const;
  // From the left of toolButtonIdentify to the right of toolButtonHelp, hidden items left out.
  int rowWidth() const;
  void setIndent(int pixels) const;
  // A push button after a separator at the end of the row, drawn like the others.
  QToolButton* appendButton(const char* component, const char* caption, const char* picture);

 private:
  friend ToolBar buildToolBar(QWidget* parent);
  std::vector<QWidget*> row_;
};

ToolBar buildToolBar(QWidget* parent);

inline constexpr int kToolBarHeight = 88;
inline constexpr int kToolButtonSize = 84;
inline constexpr int kToolPictureSize = 64;
inline constexpr int kSeparatorWidth = 20;

}  // namespace auralis
