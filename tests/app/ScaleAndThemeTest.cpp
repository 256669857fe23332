#include <QImage>
#include <QPainter>
#include <QScreen>

#include "app/Resources.h"
#include "tests/app/WindowFixture.h"

namespace auralis::testing {
namespace {

using ScaleAndTheme = WindowTest;

// Also run with QT_SCALE_FACTOR=2, where the screen offers less room than the window's least
// size (see CMakeLists.txt).
TEST_F(ScaleAndTheme, TheWindowsLieWhollyOnTheScreen) {
  TForm1& window = open();
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
  const QRect screen = window.screen()->availableGeometry();
  EXPECT_TRUE(screen.contains(window.frameGeometry()))
      << "screen " << screen.width() << "x" << screen.height() << " at " << screen.x() << ","
      << screen.y() << "; window " << window.frameGeometry().width() << "x"
      << window.frameGeometry().height() << " at " << window.frameGeometry().x() << ","
      << window.frameGeometry().y();
  EXPECT_GE(window.frameGeometry().width(), std::min(kFormWidth, screen.width()));
  EXPECT_GE(window.frameGeometry().height(), std::min(kFormHeight, screen.height()));

  window.pitchGraphItem()->trigger();
  QCoreApplication::processEvents();
  EXPECT_TRUE(screen.contains(window.frameGeometry())) << "with the pitch graph";

  window.history().showStatistics();
  QWidget* statistics = window.history().statisticsWindow();
  ASSERT_NE(statistics, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(statistics));
  EXPECT_TRUE(screen.contains(statistics->frameGeometry()))
      << "statistics " << statistics->frameGeometry().width() << "x"
      << statistics->frameGeometry().height() << " at " << statistics->frameGeometry().x() << ","
      << statistics->frameGeometry().y();
  statistics->close();
}

// A tool bar picture over a light face and over a dark one: where the drawing is, it carries
// its own light backing, so it looks the same on both.
TEST(ToolPictures, LookTheSameOnALightAndADarkToolBar) {
  loadResources();
  const QColor light(239, 239, 239);
  const QColor dark(42, 42, 42);
  for (const char* name :
       {"identify", "unlock", "mimic", "sing", "meditate", "practice", "help", "statistics"}) {
    for (const QString& form : {QString(), QStringLiteral("-hot")}) {
      const QString file = QStringLiteral(":/pictures/") + QString::fromLatin1(name) + form;
      const QImage picture(file);
      ASSERT_FALSE(picture.isNull()) << file.toStdString();
      auto over = [&](const QColor& face) {
        QImage shown(picture.size(), QImage::Format_RGB32);
        shown.fill(face);
        QPainter(&shown).drawImage(0, 0, picture);
        return shown;
      };
      const QImage onLight = over(light);
      const QImage onDark = over(dark);
      // Inside the rounded corners.
      int differing = 0;
      for (int y = 6; y < 58; ++y)
        for (int x = 6; x < 58; ++x) {
          const QColor a = onLight.pixelColor(x, y);
          const QColor b = onDark.pixelColor(x, y);
          if (std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                  std::abs(a.blue() - b.blue()) >
              24)
            ++differing;
        }
      EXPECT_EQ(differing, 0) << file.toStdString() << ": pixels that take the face's colour";
    }
  }
}

}  // namespace
}  // namespace auralis::testing
