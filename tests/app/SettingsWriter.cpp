#include <QCoreApplication>
#include <cstdio>

#include "app/SettingsStore.h"

// Saves the mastery levels over and over, every value of one save the same number, until it is
// killed: the crash that the store must survive.
int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  if (argc != 2) return 2;
  qputenv("XDG_CONFIG_HOME", argv[1]);
  const auralis::SettingsStore store;
  for (int generation = 1;; ++generation) {
    const int v = generation % 60;
    store.saveMastery({v, v, v, v, v, v, v, v, v});
    // The test kills at random moments from here on, however slowly the program started.
    if (generation == 1) {
      std::puts("saving");
      std::fflush(stdout);
    }
  }
}
