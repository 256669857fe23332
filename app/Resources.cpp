#include "app/Resources.h"

#include <QtGlobal>

// The resources sit in a static library: naming their registration keeps the linker from
// dropping it.
static void registerResources() {
  Q_INIT_RESOURCE(resources);
}

namespace auralis {

void loadResources() {
  static const bool registered = (registerResources(), true);
  static_cast<void>(registered);
}

}  // namespace auralis
