#include <benchmark/benchmark.h>

#include <QApplication>

#include "app/Caption.h"

// The window needs an application object for the whole run: on the display the environment
// names (tools/with-services.sh starts one), off screen without one.
int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  QApplication::setApplicationName(QString::fromLatin1(auralis::kApplicationTitle));
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
