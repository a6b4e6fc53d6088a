// The summary that opens a whole JPEG file's page: a file put together from a picture that
// libjpeg encodes, an EXIF segment and an ICC profile, read as the command reads it.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "extended/kivJpegSummary.h"
#include "framework/kivInfoStream.h"
#include "framework/kivJpegImage.h"
#include "host/kivReportPipeline.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegTestSupport.h"
#include "kivInfoText.h"
#include "support/kivTestSupport.h"

using namespace kivTest;

namespace {

std::string Le16(int V) {
  return {char(V), char(V >> 8)};
}
std::string Le32(int64_t V) {
  return Le16(int(V & 0xFFFF)) + Le16(int(V >> 16));
}
// An EXIF segment whose first directory holds ASCII entries.
std::string Exif(const std::vector<std::pair<uint16_t, std::string>>& Entries) {
  std::string Ifd = Le16(int(Entries.size())), Values;
  const int64_t ValuesAt = 8 + 2 + 12 * int64_t(Entries.size()) + 4;
  for (const auto& [Tag, Text] : Entries) {
    const std::string Value = Text + '\0';
    Ifd +=
        Le16(Tag) + Le16(2) + Le32(int64_t(Value.size())) + Le32(ValuesAt + int64_t(Values.size()));
    Values += Value;
  }
  return Segment(0xE1, std::string("Exif\0\0II*\0", 10) + Le32(8) + Ifd + Le32(0) + Values);
}

// An ICC profile of one tag, its description, in pieces of at most PieceSize bytes.
std::string Icc(const std::string& Description, size_t PieceSize = 60000) {
  const std::string Desc =
      "desc" + Long(0) + Long(int64_t(Description.size()) + 1) + Description + '\0';
  std::string Profile =
      std::string(128, '\0') + Long(1) + "desc" + Long(144) + Long(int64_t(Desc.size())) + Desc;
  const size_t Count = (Profile.size() + PieceSize - 1) / PieceSize;
  std::string Pieces;
  for (size_t I = 0; I < Count; ++I)
    Pieces += Segment(0xE2, std::string("ICC_PROFILE\0", 12) + char(I + 1) + char(Count) +
                                Profile.substr(I * PieceSize, PieceSize));
  return Pieces;
}

std::string Picture(int Width, int Height) {
  TkivDIBitmap Source;
  Source.SetSize(Width, Height);
  for (int32_t Y = 0; Y < Height; ++Y)
    for (int32_t X = 0; X < Width; ++X)
      Source.SetPixel(X, Y, {uint8_t(X * 255 / Width), uint8_t(Y * 255 / Height), 90});
  TkivJpegImage Image;
  Image.Assign(Source);
  TMemoryStream Out;
  Image.SaveToStream(Out);
  return Out.ToString();
}

// SOI, the segments, then the picture's own segments after its SOI.
std::string FileOf(const std::string& Segments, const std::string& Jpeg) {
  return Jpeg.substr(0, 2) + Segments + Jpeg.substr(2);
}

struct TReport {
  std::string Page;
  std::string Tree;
};

TReport Report(const std::string& Bytes) {
  TTempDir Dir;
  const std::string Path = Dir.Dir() + "photo.jpg";
  WriteFileBytes(Path, Bytes);
  std::unique_ptr<TkivSegmentList> List;
  EXPECT_EQ(LoadSegmentList(Path, List), TkivLoadResult::Shown);
  TReport R;
  TMemoryStream Html;
  WriteListPage(*List, Html, {.Extended = true});
  R.Page = Html.ToString();
  FillExtendedInfo(*List);
  R.Tree = InfoTreeJson(*FileInfoTree(*List));
  return R;
}

// The summary's part of the page: from its heading to the contents table.
std::string SummaryOf(const std::string& Page) {
  const size_t Start = Page.find("<H3>Summary</H3>");
  if (Start == std::string::npos) return {};
  return Page.substr(Start, Page.find("<A NAME=\"segment0\"", Start) - Start);
}

} // namespace

TEST(JpegSummary, OpensTheWholeFilesPage) {
  const std::string Bytes = FileOf(Exif({{0x010F, "Canon"},
                                         {0x0110, "Canon EOS 5D   "},
                                         {0x0131, "Editor 2.1"},
                                         {0x0132, "2026:12:08 07:30:00"}}) +
                                       Icc("Display P3", 40),
                                   Picture(1000, 600));
  const TReport R = Report(Bytes);
  const std::string Summary = SummaryOf(R.Page);
  ASSERT_FALSE(Summary.empty()) << R.Page;
  // It stands between the file's size and the contents table.
  EXPECT_LT(R.Page.find("File size"), R.Page.find("<H3>Summary</H3>"));
  for (const char* Part :
       {"<IMG", "1000 x 600 pixels", "<TD>Components</TD><TD>3</TD><TD>YCbCr</TD>",
        "<TD>Subsampling</TD><TD>4:2:0</TD>", "Baseline DCT, Huffman coding",
        "<TD>Quality</TD><TD>libjpeg quality 90</TD>", "<TD>Camera</TD><TD>Canon EOS 5D</TD>",
        "<TD>Software</TD><TD>Editor 2.1</TD>", "<TD>ICC profile</TD><TD>Display P3</TD>",
        "when the file was last changed", "<A HREF=\"#segment1\">EXIF segment</A>"})
    EXPECT_NE(Summary.find(Part), std::string::npos) << Part << "\n" << Summary;
  // The ICC profile came in pieces: one kind, several segments.
  EXPECT_NE(Summary.find("ICC Profile segment</A></TD><TD>5</TD><TD>2</TD>"), std::string::npos)
      << Summary;

  const nlohmann::json Tree = nlohmann::json::parse(R.Tree);
  const std::string Text = Tree.dump();
  EXPECT_NE(Text.find("\"Summary\""), std::string::npos);
  EXPECT_NE(Text.find("500 x 300 pixels"), std::string::npos) << Text;
  EXPECT_NE(Text.find("Display P3"), std::string::npos);
}

TEST(JpegSummary, SaysWhatItCannotShow) {
  const std::string Jpeg = Picture(64, 48);
  // Cut inside the scan: the rows that are there still show.
  const TReport Cut = Report(Jpeg.substr(0, Jpeg.size() - 200));
  EXPECT_NE(SummaryOf(Cut.Page).find("<IMG"), std::string::npos) << Cut.Page;
  EXPECT_NE(SummaryOf(Cut.Page).find("64 x 48 pixels"), std::string::npos);

  // A frame of 0 x 0 pixels: no picture, and why.
  std::string Empty = Jpeg;
  const size_t Sof = Empty.find(Hex("FF C0"));
  Empty.replace(Sof + 5, 4, std::string(4, '\0'));
  const std::string Summary = SummaryOf(Report(Empty).Page);
  EXPECT_NE(Summary.find("No picture: "), std::string::npos) << Summary;
  EXPECT_NE(Summary.find("0 x 0 pixels"), std::string::npos);

  // No frame at all.
  const std::string NoFrame = SummaryOf(Report(Hex("FF D8") + Exif({}) + Hex("FF D9")).Page);
  EXPECT_NE(NoFrame.find("No frame header"), std::string::npos) << NoFrame;
  EXPECT_EQ(NoFrame.find("<TD>Camera</TD>"), std::string::npos);
}
