// Runs the module start-up once around all tests, as loading the library does.

#include <gtest/gtest.h>

#include <clocale>

#include "host/kivModules.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  testing::InitGoogleTest(&argc, argv);
  InitializeModules();
  const int Result = RUN_ALL_TESTS();
  FinalizeModules();
  return Result;
}
