#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "framework/kivInfo.h"
#include "framework/kivJpegBitmap.h"
#include "framework/kivJpegImage.h"
#include "jpeg/kivJpegCommentSegment.h"
#include "jpeg/kivJpegJfifSegment.h"
#include "jpeg/kivJpegJfxxSegment.h"
#include "jpeg/kivJpegTestSupport.h"

using namespace kivTest;

namespace {

const std::string JfifId = std::string("JFIF", 4) + '\0', JfxxId = std::string("JFXX", 4) + '\0';

// 32 x 16: the left half red, the right half blue (each half whole colour blocks).
std::string RedBlueJpeg() {
  TkivDIBitmap Picture;
  Picture.SetSize(32, 16);
  for (int Y = 0; Y < 16; ++Y)
    for (int X = 0; X < 32; ++X)
      Picture.SetPixel(X, Y, X < 16 ? Red : Blue);
  TkivJpegImage Image;
  Image.Assign(Picture);
  TMemoryStream Out;
  Image.SaveToStream(Out);
  return Out.ToString();
}

} // namespace

TEST(JfifSegment, PagesWithoutThumbnail) {
  TTempDir Dir;
  const std::string Header = Hex("01 02 01 00 48 00 48 00 00");
  EXPECT_EQ(Render(Segment(0xE0, JfifId + Header), Dir), Expected("jfif.html", Dir));
  EXPECT_EQ(Render(Segment(0xE0, JfifId + Hex("01 02 00 00 48 00 48 00 00")), Dir),
            Expected("jfif-units0.html", Dir));
  EXPECT_EQ(Render(Segment(0xE0, JfifId + Hex("01 02 05 00 48 00 48 00 00")), Dir),
            Expected("jfif-units5.html", Dir));
  // Only the version in the file: the rest are the defaults.
  EXPECT_EQ(Render(Segment(0xE0, JfifId + Hex("01 01")), Dir), Expected("jfif-length9.html", Dir));
  EXPECT_TRUE(std::filesystem::is_empty(Dir.Path()));
}

TEST(JfifSegment, InfoTreeNamesUnitsAndSkipsDensitiesWithoutUnit) {
  auto Unit0 = Load<TkivJpegJfifSegment>(Segment(0xE0, JfifId + Hex("01 02 00 00 48 00 48 00 00")));
  EXPECT_EQ(InfoNames(*Unit0), (std::vector<std::string>{"Segment size:=18", "Version=1.02",
                                                         "Density units=No unit"}));
  auto Unit5 = Load<TkivJpegJfifSegment>(Segment(0xE0, JfifId + Hex("01 02 05 01 2C 00 0A")));
  EXPECT_EQ(
      InfoNames(*Unit5),
      (std::vector<std::string>{"Segment size:=16", "Version=1.02", "Density units=<unknown units>",
                                "Horizontal density=300", "Vertical density=10"}));
}

TEST(JfifSegment, PageWithThumbnailAndItsBitmapFile) {
  TTempDir Dir;
  const std::string Bytes = Segment(
      0xE0, JfifId + Hex("01 02 01 00 48 00 48 02 02 FF 00 00 00 FF 00 00 00 FF FF FF FF 21"));
  EXPECT_EQ(Render(Bytes, Dir), Expected("jfif-thumbnail.html", Dir));
  ExpectBmp(Dir, 2, 2, {Red, Green, Blue, White});
}

TEST(JfifSegment, WritesItselfBackAndCountsItsThumbnail) {
  const std::string Bytes =
      Segment(0xE0, JfifId + Hex("01 02 01 00 48 00 48 02 01 FF 00 00 00 FF 00"));
  auto Jfif = Load<TkivJpegJfifSegment>(Bytes);
  EXPECT_EQ(Jfif->GetSize(), 18 + 6);
  Jfif->InitDefault();
  EXPECT_EQ(Jfif->Data.ToString(), Bytes);
}

TEST(JfxxSegment, UncompressedThumbnailPages) {
  TTempDir Rgb;
  EXPECT_EQ(Render(Segment(0xE0, JfxxId + Hex("13 03 01 FF 00 00 00 FF 00 00 00 FF")), Rgb),
            Expected("jfxx-rgb.html", Rgb));
  ExpectBmp(Rgb, 3, 1, {Red, Green, Blue});

  TTempDir Palette;
  std::string Entries(768, '\0');
  Entries.replace(3, 12, Hex("FF 00 00 00 FF 00 00 00 FF FF FF FF"));
  EXPECT_EQ(Render(Segment(0xE0, JfxxId + Hex("11 04 01") + Entries + Hex("04 03 02 01")), Palette),
            Expected("jfxx-palette.html", Palette));
  ExpectBmp(Palette, 4, 1, {White, Blue, Green, Red});
}

TEST(JfxxSegment, JpegThumbnailPageAndUnchangedWriteBack) {
  const std::string Jpeg = RedBlueJpeg();
  const std::string Bytes = Segment(0xE0, JfxxId + Hex("10") + Jpeg);
  TTempDir Dir;
  EXPECT_EQ(Render(Bytes, Dir), Expected("jfxx-jpeg.html", Dir, std::to_string(Bytes.size())));
  std::vector<TkivColor> Colors;
  for (int I = 0; I < 32 * 16; ++I)
    Colors.push_back(I % 32 < 14 ? Red : I % 32 >= 18 ? Blue : AnyColor);
  ExpectBmp(Dir, 32, 16, Colors, 40);

  auto Jfxx = Load<TkivJpegJfxxSegment>(Bytes);
  EXPECT_EQ(&Jfxx->Thumbnail().ClassType(), &TkivJpegBitmap::ClassObject());
  TMemoryStream Out;
  Jfxx->Thumbnail().WriteThumbnail(Out);
  EXPECT_EQ(Out.ToString(), Jpeg);
  Jfxx->InitDefault();
  EXPECT_EQ(Jfxx->Data.ToString(), Bytes);
}

TEST(JfxxSegment, UnknownCodeAndUndecodableJpegShowNoTable) {
  TTempDir Dir;
  EXPECT_EQ(Render(Segment(0xE0, JfxxId + Hex("12 41 3C 42")), Dir),
            Expected("jfxx-code12.html", Dir));

  // A JPEG that cannot be decoded: no picture, and its bytes are thumbnail data, not extra.
  const std::string Page = Render(Segment(0xE0, JfxxId + Hex("10 FF D8 FF 00 01 02")), Dir);
  EXPECT_NE(Page.find("<H2>JFXX segment</H2>Segment size: 16<BR>    </BODY>"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(Dir.Path()));
}

TEST(CommentSegment, TextStopsAtZeroAndMayBeEmpty) {
  TTempDir Dir;
  EXPECT_EQ(Render(Segment(0xFE, Hex("61 62 63 00 78 79 7A")), Dir),
            Expected("comment-zero.html", Dir));
  EXPECT_EQ(Render(Segment(0xFE, ""), Dir), Expected("comment-empty.html", Dir));
  auto Comment = Load<TkivJpegCommentSegment>(Segment(0xFE, "a<b"));
  EXPECT_EQ(InfoNames(*Comment), (std::vector<std::string>{"Segment size:=7", "Comment=a<b"}));
  Comment->InitDefault();
  EXPECT_EQ(Comment->Data.ToString(), Segment(0xFE, std::string("a<b") + '\0'));
}

TEST(JfifJfxxCommentSegments, CorpusSegmentsRender) {
  if (CorpusDir().empty()) GTEST_SKIP() << "no corpus";
  int Rendered = 0;
  for (const auto& Image : std::filesystem::directory_iterator(CorpusDir() / "segments")) {
    if (!Image.is_directory()) continue;
    for (const auto& File : std::filesystem::directory_iterator(Image.path())) {
      const std::string Bytes = ReadFileBytes(File.path());
      if (Bytes.size() < 4 || uint8_t(Bytes[0]) != 0xFF) continue;
      const uint16_t L = uint16_t(uint8_t(Bytes[2]) << 8 | uint8_t(Bytes[3]));
      std::string Heading;
      if (uint8_t(Bytes[1]) == 0xFE && L >= 2)
        Heading = "Comment segment";
      else if (uint8_t(Bytes[1]) == 0xE0 && L >= 7 && Bytes.compare(4, 5, JfifId) == 0)
        Heading = "JFIF segment";
      else if (uint8_t(Bytes[1]) == 0xE0 && L >= 7 && Bytes.compare(4, 5, JfxxId) == 0)
        Heading = "JFXX segment";
      if (Heading.empty()) continue;
      TTempDir Dir;
      const std::string Page = Render(Bytes, Dir);
      EXPECT_NE(Page.find("<H2>" + Heading + "</H2>"), std::string::npos) << File.path();
      // A thumbnail on the page has its file.
      EXPECT_EQ(Page.find("<IMG") != std::string::npos,
                std::filesystem::exists(Dir.Path() / "kivBMP0.bmp"))
          << File.path();
      ++Rendered;
    }
  }
  if (Rendered == 0) GTEST_SKIP() << "no JFIF, JFXX or comment segments in the corpus";
}
