#include <gtest/gtest.h>

#include <QImage>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "app/Resources.h"
#include "app/ToolBar.h"
#include "app/ToolPictures.h"

namespace auralis::testing {
namespace {

struct Shown {
  const char* name;
  QImage normal;
  QImage highlighted;
};

// What each button of a new tool bar shows, normal and under the mouse, in the form a picture
// takes on the screen.
std::array<Shown, 8> shownPictures() {
  QWidget parent;
  ToolBar bar = buildToolBar(&parent);
  QToolButton* statistics = bar.appendButton("toolButtonStatistics", "Statistics", "statistics");
  const std::array<std::pair<const char*, QToolButton*>, 8> buttons = {{
      {"identify", bar.toolButtonIdentify},
      {"unlock", bar.toolButtonUnlock},
      {"mimic", bar.toolButtonMimic},
      {"sing", bar.toolButtonSing},
      {"meditate", bar.toolButtonMeditate},
      {"practice", bar.toolButtonPractice},
      {"help", bar.toolButtonHelp},
      {"statistics", statistics},
  }};
  std::array<Shown, 8> shown;
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    const QIcon icon = buttons[i].second->icon();
    const QSize size(kToolPictureSize, kToolPictureSize);
    shown[i] = {buttons[i].first,
                icon.pixmap(size, QIcon::Normal)
                    .toImage()
                    .convertToFormat(QImage::Format_ARGB32_Premultiplied),
                icon.pixmap(size, QIcon::Active)
                    .toImage()
                    .convertToFormat(QImage::Format_ARGB32_Premultiplied)};
  }
  return shown;
}

QImage pictureFile(const QString& name) {
  return QImage(QStringLiteral(":/pictures/") + name)
      .convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Read here, read ahead on their own thread, and read again for a second tool bar once those
// read ahead are taken; and after a reading ahead whose pictures were never taken has been
// dropped, as by a start that hands over and ends: each button shows its own picture and its own
// highlight.
TEST(ToolPictures, EachButtonShowsItsOwnPicturesHoweverTheyWereRead) {
  loadResources();
  std::optional<ToolPicturesReadAhead> ahead;
  const std::array<const char*, 4> ways = {"read here", "read ahead", "read again",
                                           "read after a reading ahead was dropped"};
  for (const char* way : ways) {
    if (std::string_view(way) == "read ahead") ahead.emplace();
    if (std::string_view(way) == "read after a reading ahead was dropped") {
      ahead.reset();
      ToolPicturesReadAhead dropped;
    }
    for (const Shown& button : shownPictures()) {
      const QString name = QString::fromLatin1(button.name);
      ASSERT_FALSE(button.normal.isNull()) << way << ": " << button.name;
      EXPECT_EQ(button.normal, pictureFile(name)) << way << ": " << button.name;
      EXPECT_EQ(button.highlighted, pictureFile(name + QStringLiteral("-hot")))
          << way << ": " << button.name;
    }
  }
}

}  // namespace
}  // namespace auralis::testing
