#include <gtest/gtest.h>

#include <QApplication>

#include "app/Caption.h"
#include "tests/app/ScreenshotDisplay.h"

namespace auralis::testing {
bool screenshotDisplayMissing = false;
}

// Screenshots need a real X display. Without one the program still starts (off screen), so that
// its tests can be listed, and each test then says why it cannot run.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("DISPLAY")) {
    auralis::testing::screenshotDisplayMissing = true;
    qputenv("QT_QPA_PLATFORM", "offscreen");
  } else {
    qputenv("QT_QPA_PLATFORM", "xcb");
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(auralis::kApplicationTitle));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
