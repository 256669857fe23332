#include "app/Services.h"

#include <QThread>
#include <cstdio>
#include <cstdlib>

namespace auralis {

void endProcessNow() {
  std::fflush(nullptr);
  std::_Exit(0);
}

void blockingPause(int milliseconds) {
  QThread::msleep(static_cast<unsigned long>(milliseconds));
}

}  // namespace auralis
