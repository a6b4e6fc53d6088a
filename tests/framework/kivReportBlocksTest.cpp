#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <tuple>

#include "base/kivException.h"
#include "framework/kivBase64.h"
#include "framework/kivInfo.h"
#include "framework/kivInfoStream.h"
#include "support/kivTestSupport.h"

using kivTest::Hex;
using kivTest::Html;

namespace {

const std::string HexHeading =
    "\r  <TABLE BORDER=1 CELLPADDING=5>\r"
    "\r    <TR>\r"
    "<TD><PRE>Offset</PRE></TD><TD><PRE>Hex</PRE></TD><TD><PRE>Text</PRE></TD>"
    "    </TR>\r";

std::string HexDumpPage(const std::string& Offsets, const std::string& Hex,
                        const std::string& Text) {
  return HexHeading + "\r    <TR>\r<TD><PRE>" + Offsets + "</PRE></TD><TD><PRE>" + Hex +
         "</PRE></TD><TD><PRE>" + Text + "</PRE></TD>    </TR>\r  </TABLE>\r";
}

// Thumbnail files go to a directory of the test's own.
class ReportFiles : public testing::Test {
protected:
  void SetUp() override { kivInfo::SetTempDirectory(Dir.Dir()); }
  void TearDown() override { kivInfo::SetTempDirectory({}); }
  std::filesystem::path File(const std::string& Name) const { return Dir.Path() / Name; }
  kivTest::TTempDir Dir;
};

// A picture whose pixels all differ, so that a mix-up of rows, columns or channels shows.
void Paint(kivInfo::TBitmap& Bitmap, int32_t Width, int32_t Height) {
  Bitmap.SetSize(Width, Height);
  for (int32_t Y = 0; Y < Height; ++Y)
    for (int32_t X = 0; X < Width; ++X)
      Bitmap.SetPixel(X, Y, {uint8_t(40 * X + 10), uint8_t(60 * Y + 5), uint8_t(200 - 7 * X * Y)});
}

} // namespace

TEST(HexDump, LinesOfSixteenBytes) {
  // Control bytes, markup characters and bytes above 127.
  const std::string Sixteen = Hex("00 01 1F 20 3C 41 26 7F 80 FF 22 3E 61 62 63 64");
  const std::string SixteenHex = "00 01 1F 20 3C 41 26 7F 80 FF 22 3E 61 62 63 64";
  const std::string SixteenText = "    &ltA&amp\x7F\x80\xFF&quot&gtabcd";
  // Every byte value, over a page several times the writer's buffer.
  std::string Many, Offsets, Hexes, Text;
  for (int Line = 0; Line * 16 < 4100; ++Line) {
    const std::string Br = Line ? "<BR>" : "";
    char O[16];
    std::snprintf(O, sizeof O, "%.8X", Line * 16);
    Offsets += Br + O, Hexes += Br, Text += Br;
    for (int I = Line * 16; I < std::min(4100, Line * 16 + 16); ++I) {
      const auto B = uint8_t(I * 37);
      char H[4];
      std::snprintf(H, sizeof H, "%.2X", B);
      Many += char(B);
      Hexes += I % 16 ? std::string(" ") + H : std::string(H);
      Text += B < 32     ? " "
              : B == '<' ? "&lt"
              : B == '>' ? "&gt"
              : B == '&' ? "&amp"
              : B == '"' ? "&quot"
                         : std::string(1, char(B));
    }
  }
  const struct {
    std::string Bytes, Offsets, Hex, Text;
  } Cases[] = {
      {"", "", "", ""},
      {Sixteen, "00000000", SixteenHex, SixteenText},
      {Sixteen + "Z", "00000000<BR>00000010", SixteenHex + "<BR>5A", SixteenText + "<BR>Z"},
      {Many, Offsets, Hexes, Text},
  };
  for (const auto& C : Cases) {
    TMemoryStream Stream(C.Bytes);
    TkivWorkBudget Budget;
    EXPECT_EQ(Html(*CreateHexDumpTable(Stream, true, int64_t(C.Bytes.size()), Budget)),
              HexDumpPage(C.Offsets, C.Hex, C.Text))
        << C.Bytes.size() << " bytes";
  }
}

TEST(HexDump, FromThePositionAndNoFurtherThanTheStream) {
  TMemoryStream Stream(Hex("FF D8 41 00 42"));
  Stream.SetPosition(1);
  TkivWorkBudget Budget;
  EXPECT_EQ(Html(*CreateHexDumpTable(Stream, false, 3, Budget)),
            "\r  <TABLE BORDER=1 CELLPADDING=5>\r"
            "\r    <TR>\r<TD><PRE>Hex</PRE></TD><TD><PRE>Text</PRE></TD>    </TR>\r"
            "\r    <TR>\r<TD><PRE>D8 41 00</PRE></TD><TD><PRE>\xD8"
            "A </PRE></TD>    </TR>\r"
            "  </TABLE>\r");
  EXPECT_EQ(Stream.GetPosition(), 4);
  EXPECT_THROW(CreateHexDumpTable(Stream, true, int64_t(1) << 40, Budget), EReadError);
  EXPECT_EQ(Stream.GetPosition(), 5);
}

TEST(HexDump, BeyondTheReportsBudgetTheBytesAreCountedNotShown) {
  TMemoryStream Stream(Hex("41 42 43 44 45"));
  TkivWorkBudget Budget;
  Budget.Take(TkivWork::BytesDumped, TkivWorkBudget::MaxBytesDumped - 2);
  EXPECT_EQ(Html(*CreateHexDumpTable(Stream, false, 5, Budget)),
            "\r  <TABLE BORDER=1 CELLPADDING=5>\r"
            "\r    <TR>\r<TD><PRE>Hex</PRE></TD><TD><PRE>Text</PRE></TD>    </TR>\r"
            "\r    <TR>\r<TD><PRE>41 42</PRE></TD><TD><PRE>AB</PRE></TD>    </TR>\r"
            "\r    <TR>\r<TD COLSPAN=2>3 bytes not shown: one report shows at most 4194304 "
            "bytes as hex</TD>    </TR>\r"
            "  </TABLE>\r");
  EXPECT_EQ(Stream.GetPosition(), 5);
  Stream.SetPosition(0);
  EXPECT_NE(Html(*CreateHexDumpTable(Stream, true, 5, Budget)).find("5 bytes not shown"),
            std::string::npos);
}

TEST(ReportBlocks, ExtraInfoAndTexts) {
  TkivHTMLBODY Body;
  TMemoryStream Empty;
  TkivWorkBudget Budget;
  WriteExtraInfo(Body, Empty, Budget);
  EXPECT_EQ(Body.Count(), 0);
  TMemoryStream Stream("a>");
  Stream.SetPosition(2);
  WriteExtraInfo(Body, Stream, Budget);
  EXPECT_EQ(Html(Body),
            "\r  <BODY>\r"
            "<P>Extra info"
            "\r    <TABLE BORDER=1 CELLPADDING=5>\r"
            "\r      <TR>\r"
            "<TD><PRE>Offset</PRE></TD><TD><PRE>Hex</PRE></TD><TD><PRE>Text</PRE></TD>"
            "      </TR>\r"
            "\r      <TR>\r"
            "<TD><PRE>00000000</PRE></TD><TD><PRE>61 3E</PRE></TD><TD><PRE>a&gt</PRE></TD>"
            "      </TR>\r"
            "    </TABLE>\r"
            "  </BODY>\r");

  EXPECT_EQ(FormatCannotDecode("7"), "7 (cannot decode)");
  TkivTreeItem Root;
  AddMailNotice(Root);
  ASSERT_EQ(Root.Count(), 1);
  EXPECT_EQ(Root.GetChild(0).Icon, WarningIcon);
  EXPECT_EQ(Root.GetChild(0).Name + "=" + Root.GetChild(0).Value,
            "If you have any information about this segment, please mail me=");
}

TEST_F(ReportFiles, TemporaryFilesTakeTheFirstFreeNumberAndGoWithTheirBitmap) {
  kivTest::WriteFileBytes(File("kivBMP0.bmp"), "taken");
  // A dangling link takes its name too, and is not written through.
  std::filesystem::create_symlink(File("elsewhere"), File("kivBMP2.bmp"));
  kivInfo::TBitmap A(kivInfo::TBitmap::ClassObject());
  Paint(A, 1, 1);
  EXPECT_EQ(kivInfo::GetTempFileName(A), Dir.Dir() + "kivBMP1.bmp");
  // A name is taken as soon as it is chosen, before anything is written to it.
  EXPECT_EQ(kivInfo::MakeTempFileName("kivBMP%d.bmp"), Dir.Dir() + "kivBMP3.bmp");
  {
    kivInfo::TBitmap Unwritten(kivInfo::TBitmap::ClassObject());
    kivInfo::TBitmap B(kivInfo::TBitmap::ClassObject());
    Paint(B, 2, 2);
    EXPECT_EQ(kivInfo::GetTempFileName(B), Dir.Dir() + "kivBMP4.bmp");
    EXPECT_TRUE(std::filesystem::exists(File("kivBMP4.bmp")));
  }
  // Freeing a bitmap deletes its own file and no other.
  EXPECT_FALSE(std::filesystem::exists(File("kivBMP4.bmp")));
  EXPECT_TRUE(std::filesystem::exists(File("kivBMP3.bmp")));
  EXPECT_FALSE(std::filesystem::exists(File("elsewhere")));
  // Writing again rewrites the same file.
  Paint(A, 3, 1);
  const std::string Before = kivTest::ReadFileBytes(File("kivBMP1.bmp"));
  EXPECT_EQ(kivInfo::GetTempFileName(A), Dir.Dir() + "kivBMP1.bmp");
  EXPECT_NE(kivTest::ReadFileBytes(File("kivBMP1.bmp")), Before);
  EXPECT_EQ(kivTest::ReadFileBytes(File("kivBMP0.bmp")), "taken");

  kivTest::WriteFileBytes(File("kivX0"), "taken");
  kivTest::WriteFileBytes(File("kivX1"), "taken");
  EXPECT_THROW(kivInfo::MakeTempFileName("kivX%d", 2), Exception);
  EXPECT_EQ(kivInfo::MakeTempFileName("kivX%d", 3), Dir.Dir() + "kivX2");
}

TEST_F(ReportFiles, ThumbnailRows) {
  auto Table = CreateReportTable();
  kivInfo::TBitmap Empty(kivInfo::TBitmap::ClassObject());
  WriteThumbnailRows(*Table, Empty, true);
  Empty.SetSize(5, 0);
  WriteThumbnailRows(*Table, Empty, true);
  TkivTreeItem Root;
  AddThumbnailInfo(Root, Empty);
  EXPECT_EQ(Table->Count() + Root.Count(), 0);
  EXPECT_TRUE(std::filesystem::is_empty(Dir.Path()));

  kivInfo::TBitmap Bitmap(kivInfo::TBitmap::ClassObject());
  Paint(Bitmap, 3, 2);
  WriteThumbnailRows(*Table, Bitmap, true);
  EXPECT_EQ(Html(*Table),
            "\r  <TABLE BORDER=1 CELLPADDING=5>\r"
            "\r    <TR>\r<TD COLSPAN=2 ALIGN=\"CENTER\">Thumbnail</TD>    </TR>\r"
            "\r    <TR>\r<TD>Compression</TD><TD>Unknown</TD>    </TR>\r"
            "\r    <TR>\r<TD>Width</TD><TD>3</TD>    </TR>\r"
            "\r    <TR>\r<TD>Height</TD><TD>2</TD>    </TR>\r"
            "\r    <TR>\r<TD>Image</TD><TD>\r        <IMG SRC=\"file://" +
                Dir.Dir() +
                "kivBMP0.bmp\" ALT=\"Thumbnail 3x2\" WIDTH=3 HEIGHT=2>\r</TD>    </TR>\r"
                "  </TABLE>\r");
  EXPECT_TRUE(std::filesystem::exists(File("kivBMP0.bmp")));
  auto Plain = CreateReportTable();
  WriteThumbnailRows(*Plain, Bitmap, false);
  EXPECT_EQ(Plain->Count(), 4);

  AddThumbnailInfo(Root, Bitmap);
  ASSERT_EQ(Root.Count(), 1);
  const TkivTreeItem& Item = Root.GetChild(0);
  std::string Items = Item.Name + ":";
  for (int32_t I = 0; I < Item.Count(); ++I)
    Items += " " + Item.GetChild(I).Name + "=" + Item.GetChild(I).Value;
  EXPECT_EQ(Items, "Thumbnail: Compression=Unknown Width=3 Height=2 Thumbnail=");
  EXPECT_EQ(Item.GetChild(3).Object, &Bitmap);
  EXPECT_EQ(Item.GetChild(3).GetHeight(), 4);
}

TEST(ReportBlocks, Base64) {
  // The standard's own examples, and the bytes whose groups use the alphabet's last letters.
  const std::pair<std::string, std::string> Cases[] = {
      {"", ""},
      {"f", "Zg=="},
      {"fo", "Zm8="},
      {"foo", "Zm9v"},
      {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="},
      {"foobar", "Zm9vYmFy"},
      {Hex("FB FF BF"), "+/+/"},
      {Hex("00 00 FF"), "AAD/"},
  };
  for (const auto& [Bytes, Text] : Cases)
    EXPECT_EQ(EncodeBase64(Bytes), Text) << Text;
}

TEST_F(ReportFiles, PicturesInsideThePageWriteNoFile) {
  kivInfo::TBitmap Bitmap(kivInfo::TBitmap::ClassObject());
  Paint(Bitmap, 3, 2);
  kivInfo::SetPictureReferences(kivInfo::TkivPictureReferences::Inline);
  auto Table = CreateReportTable();
  WriteThumbnailRows(*Table, Bitmap, false);
  kivInfo::SetPictureReferences(kivInfo::TkivPictureReferences::Files);
  EXPECT_TRUE(std::filesystem::is_empty(Dir.Path()));
  const std::string Bmp = kivTest::ReadFileBytes(kivInfo::GetTempFileName(Bitmap));
  EXPECT_NE(Html(*Table).find("<IMG SRC=\"data:image/bmp;base64," + EncodeBase64(Bmp) +
                              "\" ALT=\"Thumbnail 3x2\" WIDTH=3 HEIGHT=2>"),
            std::string::npos)
      << Html(*Table);
}

TEST_F(ReportFiles, BitmapFilesDecodeElsewhere) {
  // Rows of 15 and of 3 bytes, padded to 16 and to 4.
  for (const auto& [W, H, Format] :
       {std::tuple{5, 3, TkivPixelFormat::pf24bit}, {3, 4, TkivPixelFormat::pf8bit}}) {
    kivInfo::TBitmap Bitmap(kivInfo::TBitmap::ClassObject());
    Paint(Bitmap, W, H);
    const TkivColor Corner = Bitmap.GetPixel(W - 1, H - 1);
    Bitmap.SetPixelFormat(Format);
    ASSERT_EQ(Bitmap.PixelFormat(), Format);
    // Fewer colours than palette entries: every colour is kept exactly.
    EXPECT_EQ(Bitmap.GetPixel(W - 1, H - 1), Corner);
    const std::optional<kivTest::TPicture> Picture =
        kivTest::DecodeBmpWithNetpbm(kivInfo::GetTempFileName(Bitmap));
    if (!Picture) GTEST_SKIP() << "bmptopnm (netpbm) is not installed";
    ASSERT_EQ(Picture->Width, W);
    ASSERT_EQ(Picture->Height, H);
    for (int32_t Y = 0; Y < H; ++Y)
      for (int32_t X = 0; X < W; ++X)
        EXPECT_EQ(Picture->Pixels[size_t(Y * W + X)], Bitmap.GetPixel(X, Y))
            << "pixel " << X << "," << Y;
  }
}
