#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

namespace auralis {

// The application lives from the first widget test to the end of the run, and is gone before
// the process exits, when Qt's own globals are torn down.
class QtApplication : public ::testing::Environment {
 public:
  static QApplication& get() {
    if (!app_) {
      static int argc = 1;
      static char name[] = "display_tests";
      static char* argv[] = {name, nullptr};
      app_ = std::make_unique<QApplication>(argc, argv);
    }
    return *app_;
  }
  void TearDown() override { app_.reset(); }

 private:
  static inline std::unique_ptr<QApplication> app_;
};

[[maybe_unused]] inline ::testing::Environment* const qtApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace auralis
