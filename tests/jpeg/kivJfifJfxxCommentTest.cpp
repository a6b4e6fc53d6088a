#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "framework/kivJpegBitmap.h"
#include "jpeg/kivJpegCommentSegment.h"
#include "jpeg/kivJpegJfifSegment.h"
#include "jpeg/kivJpegJfxxSegment.h"
#include "jpeg/kivJpegTestSupport.h"

using namespace kivTest;

namespace {

const std::string JfifId = std::string("JFIF", 4) + '\0', JfxxId = std::string("JFXX", 4) + '\0';

std::string JfifOf(const std::string& Fields) {
  return Segment(0xE0, JfifId + Hex(Fields));
}

// 32 x 16: the left half red, the right half blue (each half whole colour blocks).
const std::string& RedBlue() {
  static const std::string Jpeg = JpegOf(32, 16, [](int X, int) { return X < 16 ? Red : Blue; });
  return Jpeg;
}

std::string Palette() {
  std::string Entries(768, '\0');
  Entries.replace(3, 12, Hex("FF 00 00 00 FF 00 00 00 FF FF FF FF"));
  return Segment(0xE0, JfxxId + Hex("11 04 01") + Entries + Hex("04 03 02 01"));
}

} // namespace

TEST(JfifJfxxComment, Pages) {
  std::vector<TkivColor> RedBlueColors;
  for (int I = 0; I < 32 * 16; ++I)
    RedBlueColors.push_back(I % 32 < 14 ? Red : I % 32 >= 18 ? Blue : AnyColor);
  ExpectPages({
      {"jpeg/jfif.html", JfifOf("01 02 01 00 48 00 48 00 00")},
      {"jpeg/jfif-units0.html", JfifOf("01 02 00 00 48 00 48 00 00")},
      {"jpeg/jfif-units5.html", JfifOf("01 02 05 00 48 00 48 00 00")},
      // Only the version in the file: the rest are the defaults.
      {"jpeg/jfif-length9.html", JfifOf("01 01")},
      {"jpeg/jfif-thumbnail.html",
       JfifOf("01 02 01 00 48 00 48 02 02 FF 00 00 00 FF 00 00 00 FF FF FF FF 21"),
       2,
       2,
       {Red, Green, Blue, White}},
      {"jpeg/jfxx-rgb.html",
       Segment(0xE0, JfxxId + Hex("13 03 01 FF 00 00 00 FF 00 00 00 FF")),
       3,
       1,
       {Red, Green, Blue}},
      {"jpeg/jfxx-palette.html", Palette(), 4, 1, {White, Blue, Green, Red}},
      {"jpeg/jfxx-jpeg.html", Segment(0xE0, JfxxId + Hex("10") + RedBlue()), 32, 16, RedBlueColors,
       40},
      {"jpeg/jfxx-code12.html", Segment(0xE0, JfxxId + Hex("12 41 3C 42"))},
      {"jpeg/comment-zero.html", Segment(0xFE, Hex("61 62 63 00 78 79 7A"))},
      {"jpeg/comment-empty.html", Segment(0xFE, "")},
  });
  // A JPEG that cannot be decoded: no picture, and its bytes are thumbnail data, not extra.
  TTempDir Dir;
  const std::string Page = Render(Segment(0xE0, JfxxId + Hex("10 FF D8 FF 00 01 02")), Dir);
  EXPECT_NE(Page.find("<H2>JFXX segment</H2>Segment size: 16<BR>    </BODY>"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(Dir.Path()));
}

TEST(JfifSegment, InfoTreeNamesUnitsAndSkipsDensitiesWithoutUnit) {
  EXPECT_EQ(
      InfoNames(*Load<TkivJpegJfifSegment>(JfifOf("01 02 00 00 48 00 48 00 00"))),
      (std::vector<std::string>{"Segment size:=18", "Version=1.02", "Density units=No unit"}));
  EXPECT_EQ(
      InfoNames(*Load<TkivJpegJfifSegment>(JfifOf("01 02 05 01 2C 00 0A"))),
      (std::vector<std::string>{"Segment size:=16", "Version=1.02", "Density units=<unknown units>",
                                "Horizontal density=300", "Vertical density=10"}));
}

TEST(JfifJfxxComment, WriteThemselvesBack) {
  const std::string JfifBytes = JfifOf("01 02 01 00 48 00 48 02 01 FF 00 00 00 FF 00");
  auto Jfif = Load<TkivJpegJfifSegment>(JfifBytes);
  EXPECT_EQ(Jfif->GetSize(), 18 + 6); // the thumbnail counts
  Jfif->InitDefault();
  EXPECT_EQ(Jfif->Data.ToString(), JfifBytes);

  const std::string JfxxBytes = Segment(0xE0, JfxxId + Hex("10") + RedBlue());
  auto Jfxx = Load<TkivJpegJfxxSegment>(JfxxBytes);
  EXPECT_EQ(&Jfxx->Thumbnail().ClassType(), &TkivJpegBitmap::ClassObject());
  TMemoryStream Out;
  Jfxx->Thumbnail().WriteThumbnail(Out);
  EXPECT_EQ(Out.ToString(), RedBlue());
  Jfxx->InitDefault();
  EXPECT_EQ(Jfxx->Data.ToString(), JfxxBytes);

  auto Comment = Load<TkivJpegCommentSegment>(Segment(0xFE, "a<b"));
  EXPECT_EQ(InfoNames(*Comment), (std::vector<std::string>{"Segment size:=7", "Comment=a<b"}));
  Comment->InitDefault();
  EXPECT_EQ(Comment->Data.ToString(), Segment(0xFE, std::string("a<b") + '\0'));
}
