// The hostile inputs of tests/regression, each named for the fault it caught: every one
// yields a whole page, and the report's budget shows its work stayed bounded by the input's
// size, whatever the input promised.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "framework/kivInfo.h"
#include "host/kivReportPipeline.h"
#include "support/kivTestSupport.h"

using namespace kivTest;
namespace fs = std::filesystem;

namespace {

std::vector<fs::path> RegressionInputs() {
  std::vector<fs::path> Files;
  for (const auto& Entry : fs::directory_iterator(KIV_REGRESSION_DIR))
    if (Entry.path().extension() == ".MRK") Files.push_back(Entry.path());
  std::sort(Files.begin(), Files.end());
  return Files;
}

size_t Occurrences(const std::string& Page, const std::string& Text) {
  size_t N = 0;
  for (size_t At = Page.find(Text); At != std::string::npos; At = Page.find(Text, At + 1))
    ++N;
  return N;
}

} // namespace

TEST(Regression, EveryHostileInputGivesAWholePageWithinItsBudget) {
  const std::vector<fs::path> Files = RegressionInputs();
  ASSERT_GE(Files.size(), 10u);
  for (const fs::path& File : Files) {
    SCOPED_TRACE(File.filename().string());
    const std::string Bytes = ReadFileBytes(File);
    const auto Size = int64_t(Bytes.size());
    TTempDir Thumbnails;
    kivInfo::SetTempDirectory(Thumbnails.Dir());
    TMemoryStream Stream(Bytes);
    std::unique_ptr<TkivSegment> Segment;
    std::string Page;
    EXPECT_EQ(LoadSegment(Stream, Segment, [&](TMemoryStream& Html) { Page = Html.ToString(); }),
              TkivLoadResult::Shown);
    EXPECT_NE(Page.find(std::string("<I>") + CreditLine + "</I>  </HTML>"), std::string::npos);
    ASSERT_NE(Segment, nullptr);
    const TkivWorkBudget& Budget = Segment->WorkBudget();
    EXPECT_LE(Budget.PixelsTaken(), TkivWorkBudget::MaxReportPixels);
    // What a TIFF structure may hold: a directory or entry per byte, two values per byte, and
    // copies of at most eight bytes per value held.
    EXPECT_LE(Budget.Taken(TkivWork::Entries), Size + 1);
    EXPECT_LE(Budget.Taken(TkivWork::Values), 2 * Size);
    EXPECT_LE(Budget.Taken(TkivWork::BytesCopied), 16 * Size);
    // The page grows with the input, not with what the input promises.
    EXPECT_LE(int64_t(Page.size()), 2000 + 200 * Size);
    Segment.reset();
    kivInfo::SetTempDirectory({});
  }
}

TEST(Regression, RefusedPicturesAreNamedWhereTheyWouldBe) {
  struct TCase {
    const char* File;
    size_t TooLarge, OverBudget, Shown;
  };
  const TCase Cases[] = {
      {"ifd-chain-16-thumbnails-8000x8000.MRK", 16, 0, 0},
      {"jfxx-thumbnail-8000x8000.MRK", 1, 0, 0},
      {"exif-thumbnails-over-report-budget.MRK", 0, 5, 1},
      {"hpsc-65536x65536.MRK", 1, 0, 0},
      {"h3x0-pieces-without-pixels.MRK", 1, 0, 0},
      {"hpsc-width-0-with-pixels.MRK", 0, 0, 0},
  };
  for (const TCase& C : Cases) {
    SCOPED_TRACE(C.File);
    TTempDir Thumbnails;
    const std::string Page =
        RenderPage(ReadFileBytes(fs::path(KIV_REGRESSION_DIR) / C.File), Thumbnails.Dir());
    EXPECT_EQ(Occurrences(Page, "more than a thumbnail may have (4096 x 4096)</TD>"), C.TooLarge);
    EXPECT_EQ(Occurrences(Page, "more than this report has left for pictures</TD>"), C.OverBudget);
    EXPECT_EQ(Occurrences(Page, "<IMG "), C.Shown);
  }
}
