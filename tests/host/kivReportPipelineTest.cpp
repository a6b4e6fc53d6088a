#include <gtest/gtest.h>

#include <stdexcept>

#include "base/kivException.h"
#include "host/kivReportPipeline.h"
#include "jpeg/kivJpegInfo.h"
#include "support/kivTestSupport.h"

using namespace kivTest;

TEST(ReportPipeline, AnEmptyFileGivesTheBarePageAMissingOneNothing) {
  EXPECT_EQ(RenderPage(""), Golden("host/empty.html"));
  TTempDir Dir;
  std::unique_ptr<TkivSegment> Segment;
  int Shown = 0;
  EXPECT_EQ(
      LoadFile((Dir.Path() / "missing.MRK").string(), Segment, [&](TMemoryStream&) { ++Shown; }),
      TkivLoadResult::NotOpened);
  EXPECT_EQ(Segment, nullptr);
  EXPECT_EQ(Shown, 0);
}

TEST(ReportPipeline, TheSegmentOutlivesTheRun) {
  TTempDir Dir;
  const auto File = Dir.Path() / "a.MRK";
  WriteFileBytes(File, Hex("FF DD 00 04 00 10 FF D9"));
  std::unique_ptr<TkivSegment> Segment;
  std::string Page;
  int64_t Position = -1;
  EXPECT_EQ(LoadFile(File.string(), Segment,
                     [&](TMemoryStream& Html) {
                       Position = Html.GetPosition();
                       Page = Html.ToString();
                     }),
            TkivLoadResult::Shown);
  ASSERT_NE(Segment, nullptr);
  EXPECT_EQ(Segment->ClassType().ClassName(), "TkivJpegDRISegmentDD");
  EXPECT_EQ(Segment->Data.ToString(), Hex("FF DD 00 04 00 10"));
  EXPECT_EQ(Position, 0);
  // The page the segment renders into a fresh document is the page that was shown.
  TMemoryStream Again;
  WriteReportPage(*Segment, Again);
  EXPECT_EQ(Again.ToString(), Page);
  EXPECT_NE(Page.find("<H2>Define restart interval</H2>Segment size: 6<BR><BR>"),
            std::string::npos);
}

TEST(ReportPipeline, OnlyTheFileLoaderSwallowsFaults) {
  // The library's failures end a run as Failed; other exceptions are faults, which the stream
  // entry lets through and only the file loader, the outermost guard, discards.
  const std::string Bytes = Hex("FF DD 00 04 00 10");
  std::unique_ptr<TkivSegment> Segment;
  TMemoryStream Stream(Bytes);
  EXPECT_EQ(LoadSegment(Stream, Segment, [](TMemoryStream&) { throw Exception("refused"); }),
            TkivLoadResult::Failed);
  Stream.SetPosition(0);
  EXPECT_THROW(
      LoadSegment(Stream, Segment, [](TMemoryStream&) { throw std::logic_error("a fault"); }),
      std::logic_error);
  TTempDir Dir;
  const auto File = Dir.Path() / "a.MRK";
  WriteFileBytes(File, Bytes);
  EXPECT_EQ(
      LoadFile(File.string(), Segment, [](TMemoryStream&) { throw std::logic_error("a fault"); }),
      TkivLoadResult::Failed);
  // The guard keeps what the fault says; the library's own failures are no faults.
  EXPECT_EQ(LastFault(), "a fault");
  EXPECT_EQ(LoadFile(File.string(), Segment, [](TMemoryStream&) { throw EReadError(); }),
            TkivLoadResult::Failed);
  EXPECT_EQ(LastFault(), "");
  Stream.SetPosition(0);
  EXPECT_EQ(LoadSegment(Stream, Segment, [](TMemoryStream&) {}), TkivLoadResult::Shown);
}
