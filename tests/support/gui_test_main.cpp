// Test main for widget tests. Without a display the offscreen platform is used.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "support/sanitizer_fork.h"

int main(int argc, char** argv) {
  if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
