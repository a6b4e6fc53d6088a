// Runs the module start-up once around all tests, as loading the library does, and checks
// after every test that the live-object counters are back where they were before it.

#include <gtest/gtest.h>

#include <clocale>

#include "framework/kivInfoTrace.h"
#include "framework/kivObjectList.h"
#include "host/kivModules.h"

namespace {

class TLiveObjectChecker : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override {
    Traced = TraceObjectCount;
    Lists = ObjectListCount;
  }
  void OnTestEnd(const testing::TestInfo&) override {
    EXPECT_EQ(TraceObjectCount, Traced) << "trace objects left alive by the test";
    EXPECT_EQ(ObjectListCount, Lists) << "object lists left alive by the test";
  }
  int32_t Traced = 0, Lists = 0;
};

} // namespace

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "C");
  testing::InitGoogleTest(&argc, argv);
  testing::UnitTest::GetInstance()->listeners().Append(new TLiveObjectChecker);
  InitializeModules();
  const int Result = RUN_ALL_TESTS();
  FinalizeModules();
  return Result;
}
