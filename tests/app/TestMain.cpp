#include <gtest/gtest.h>

#include <QApplication>

#include "app/Caption.h"

// The window needs an application object for the whole run of the tests. Off screen unless the
// environment names a display platform, also when the tests are only listed.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(auralis::kApplicationTitle));
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
