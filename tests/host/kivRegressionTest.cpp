// The hostile inputs of tests/regression, each named for the fault it caught: every one
// yields a whole page, and the report's budget shows its work stayed bounded by the input's
// size, whatever the input promised.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>

#include "framework/kivInfo.h"
#include "host/kivReportPipeline.h"
#include "support/kivTestSupport.h"

using namespace kivTest;
namespace fs = std::filesystem;

namespace {

size_t Occurrences(const std::string& Page, const std::string& Text) {
  size_t N = 0;
  for (size_t At = Page.find(Text); At != std::string::npos; At = Page.find(Text, At + 1))
    ++N;
  return N;
}

} // namespace

TEST(Regression, EveryHostileInputGivesAWholePageWithinItsBudget) {
  // Where pictures are refused, the page names each one where it would stand.
  const std::array<std::string, 5> Verdicts = {
      "more than a thumbnail may have (4096 x 4096)</TD>",
      "more than this report has left for pictures</TD>",
      "bytes can hold</TD>",
      "scans, more than a picture of",
      "<IMG ",
  };
  const std::map<std::string, std::array<size_t, 5>> Refused = {
      // too large, over the report's budget, over the picture's bytes, over its scans, shown
      {"ifd-chain-16-thumbnails-8000x8000.MRK", {16, 0, 0, 0, 0}},
      {"jfxx-thumbnail-8000x8000.MRK", {1, 0, 0, 0, 0}},
      {"exif-thumbnails-over-report-budget.MRK", {0, 5, 0, 0, 1}},
      {"hpsc-65536x65536.MRK", {1, 0, 0, 0, 0}},
      {"h3x0-pieces-without-pixels.MRK", {1, 0, 0, 0, 0}},
      {"hpsc-width-0-with-pixels.MRK", {0, 0, 0, 0, 0}},
      {"exif-progressive-thumbnail-1000-scans.MRK", {0, 0, 1, 0, 0}},
      {"exif-progressive-cmyk-thumbnail-499-scans.MRK", {0, 0, 1, 0, 0}},
      {"exif-progressive-thumbnail-150-scans.MRK", {0, 0, 0, 1, 0}},
      {"exif-progressive-thumbnail-scans-over-its-bytes.MRK", {0, 0, 0, 1, 0}},
  };
  size_t Files = 0, Checked = 0;
  for (const auto& Entry : fs::directory_iterator(KIV_REGRESSION_DIR)) {
    if (Entry.path().extension() != ".MRK") continue;
    const std::string Name = Entry.path().filename().string();
    SCOPED_TRACE(Name);
    ++Files;
    const std::string Bytes = ReadFileBytes(Entry.path());
    const auto Size = int64_t(Bytes.size());
    TTempDir Thumbnails;
    kivInfo::SetTempDirectory(Thumbnails.Dir());
    TMemoryStream Stream(Bytes);
    std::unique_ptr<TkivSegment> Segment;
    std::string Page;
    // XMP and ICC profiles are read by the extended report alone.
    const bool Extended = Name.rfind("xmp-", 0) == 0 || Name.rfind("icc-", 0) == 0;
    EXPECT_EQ(LoadSegment(Stream, Segment, [&](TMemoryStream& Html) { Page = Html.ToString(); },
                          {.Extended = Extended}),
              TkivLoadResult::Shown);
    EXPECT_NE(Page.find(std::string("<I>") + CreditLine + "</I>  </HTML>"), std::string::npos);
    ASSERT_NE(Segment, nullptr);
    const TkivWorkBudget& Budget = Segment->WorkBudget();
    EXPECT_LE(Budget.PixelsTaken(),
              std::min(TkivWorkBudget::MaxReportPixels,
                       TkivWorkBudget::PixelsPerUnit * TkivWorkBudget::UnitsCarried(Size)));
    // What a TIFF structure may hold: a directory or entry per byte, two values per byte, and
    // copies of at most eight bytes per value held.
    EXPECT_LE(Budget.Taken(TkivWork::Entries), Size + 1);
    EXPECT_LE(Budget.Taken(TkivWork::Values), 2 * Size);
    EXPECT_LE(Budget.Taken(TkivWork::BytesCopied), 16 * Size);
    // The page grows with the input, not with what the input promises.
    EXPECT_LE(int64_t(Page.size()), 2000 + 200 * Size);
    Segment.reset();
    kivInfo::SetTempDirectory({});
    if (const auto It = Refused.find(Name); It != Refused.end()) {
      ++Checked;
      for (size_t V = 0; V < Verdicts.size(); ++V)
        EXPECT_EQ(Occurrences(Page, Verdicts[V]), It->second[V]) << Verdicts[V];
    }
  }
  EXPECT_GE(Files, 10u);
  EXPECT_EQ(Checked, Refused.size());
}

// Pictures by the thousand in one report: a fixed number is shown, the rest are counted on the
// page, and no file is written for them.
TEST(Regression, AReportShowsAFixedNumberOfPictures) {
  const std::string Exif =
      ReadFileBytes(fs::path(KIV_REGRESSION_DIR) / "exif-3600-thumbnails-1x1.MRK");
  ASSERT_FALSE(Exif.empty());
  const std::string End = Hex("FF D9");
  std::string Jfxx = Hex("FF D8");
  for (int I = 0; I < 9990; ++I)
    Jfxx += Hex("FF E0 00 0D 4A 46 58 58 00 13 01 01 80 40 20");
  const struct {
    const char* Name;
    std::string Bytes;
    bool WholeFile;
    int64_t LeftOut;
  } Cases[] = {
      {"segment of 3600", Exif, false, 3600 - 256},
      {"file of four such segments", Hex("FF D8") + Exif + Exif + Exif + Exif + End, true,
       4 * 3600 - 256},
      {"file of 9990 JFXX pictures", Jfxx + End, true, 9990 - 256},
  };
  static_assert(TkivWorkBudget::MaxReportPictures == 256);
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TTempDir Thumbnails;
    kivInfo::SetTempDirectory(Thumbnails.Dir());
    kivInfo::SetPictureReferences(kivInfo::TkivPictureReferences::Files);
    std::string Page;
    TMemoryStream Stream(Case.Bytes);
    std::unique_ptr<TkivSegment> Segment;
    std::unique_ptr<TkivSegmentList> List;
    if (Case.WholeFile) {
      List = FindSegmentListClass(Stream)->Create();
      List->LoadFromStream(Stream);
      TMemoryStream Html;
      WriteListPage(*List, Html);
      Page = Html.ToString();
    } else {
      EXPECT_EQ(LoadSegment(Stream, Segment, [&](TMemoryStream& Html) { Page = Html.ToString(); }),
                TkivLoadResult::Shown);
    }
    EXPECT_EQ(Occurrences(Page, "<IMG "), 256u);
    EXPECT_EQ(Occurrences(Page, "Not shown: this report shows 256 pictures at most</TD>"),
              size_t(Case.LeftOut));
    EXPECT_NE(Page.find(std::to_string(Case.LeftOut) + " more pictures not shown"),
              std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(Thumbnails.Path()), fs::directory_iterator()),
              256);
    Segment.reset();
    List.reset();
    kivInfo::SetTempDirectory({});
  }
}
