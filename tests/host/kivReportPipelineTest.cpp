#include <gtest/gtest.h>

#include "support/kivTestSupport.h"

using namespace kivTest;

TEST(ReportPipeline, EmptyFileGivesTheBarePage) {
  EXPECT_EQ(RenderPage(""), Golden("host/empty.html"));
}
