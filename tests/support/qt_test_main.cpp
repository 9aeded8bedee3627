// Test main for layers that need a Qt event loop: coroutines and queued calls run on this thread.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "support/sanitizer_fork.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
