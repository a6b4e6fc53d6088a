#include <gtest/gtest.h>

#include <filesystem>

#include "framework/kivInfo.h"
#include "framework/kivInfoStream.h"
#include "support/kivTestSupport.h"

using kivTest::Hex;

namespace {

std::string Written(const TkivHTMLItem& Item) {
  TMemoryStream Out;
  Item.WriteToStream(Out);
  return Out.ToString();
}

const std::string HexHeading =
    "\r  <TABLE BORDER=1 CELLPADDING=5>\r"
    "\r    <TR>\r"
    "<TD><PRE>Offset</PRE></TD><TD><PRE>Hex</PRE></TD><TD><PRE>Text</PRE></TD>"
    "    </TR>\r";

// Sixteen bytes with control bytes, markup characters and bytes above 127.
const std::string Sixteen = Hex("00 01 1F 20 3C 41 26 7F 80 FF 22 3E 61 62 63 64");
const std::string SixteenHex = "00 01 1F 20 3C 41 26 7F 80 FF 22 3E 61 62 63 64";
const std::string SixteenText = "    &ltA&amp\x7F\x80\xFF&quot&gtabcd";

std::string HexDump(const std::string& Bytes, bool ShowOffsets, int64_t Count) {
  TMemoryStream Stream(Bytes);
  return Written(*CreateHexDumpTable(Stream, ShowOffsets, Count));
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

void ExpectDecodedAs(const std::filesystem::path& Bmp, const kivInfo::TBitmap& Bitmap) {
  const std::optional<kivTest::TPicture> Picture = kivTest::DecodeBmpWithNetpbm(Bmp);
  if (!Picture) GTEST_SKIP() << "bmptopnm (netpbm) is not installed";
  ASSERT_EQ(Picture->Width, Bitmap.Width());
  ASSERT_EQ(Picture->Height, Bitmap.Height());
  for (int32_t Y = 0; Y < Bitmap.Height(); ++Y)
    for (int32_t X = 0; X < Bitmap.Width(); ++X)
      EXPECT_EQ(Picture->Pixels[size_t(Y * Picture->Width + X)], Bitmap.GetPixel(X, Y))
          << "pixel " << X << "," << Y;
}

} // namespace

TEST(HexDump, NoBytes) {
  EXPECT_EQ(HexDump("", true, 0), HexHeading +
                                      "\r    <TR>\r"
                                      "<TD><PRE></PRE></TD><TD><PRE></PRE></TD><TD><PRE></PRE></TD>"
                                      "    </TR>\r"
                                      "  </TABLE>\r");
}

TEST(HexDump, OneFullLine) {
  EXPECT_EQ(HexDump(Sixteen, true, 16), HexHeading +
                                            "\r    <TR>\r"
                                            "<TD><PRE>00000000</PRE></TD><TD><PRE>" +
                                            SixteenHex + "</PRE></TD><TD><PRE>" + SixteenText +
                                            "</PRE></TD>"
                                            "    </TR>\r"
                                            "  </TABLE>\r");
}

TEST(HexDump, SecondLineWithOneByte) {
  EXPECT_EQ(HexDump(Sixteen + "Z", true, 17),
            HexHeading +
                "\r    <TR>\r"
                "<TD><PRE>00000000<BR>00000010</PRE></TD><TD><PRE>" +
                SixteenHex + "<BR>5A</PRE></TD><TD><PRE>" + SixteenText +
                "<BR>Z</PRE></TD>"
                "    </TR>\r"
                "  </TABLE>\r");
}

TEST(HexDump, WithoutOffsetsFromThePosition) {
  TMemoryStream Stream(Hex("FF D8 41 00 42"));
  Stream.SetPosition(1);
  EXPECT_EQ(Written(*CreateHexDumpTable(Stream, false, 3)),
            "\r  <TABLE BORDER=1 CELLPADDING=5>\r"
            "\r    <TR>\r<TD><PRE>Hex</PRE></TD><TD><PRE>Text</PRE></TD>    </TR>\r"
            "\r    <TR>\r<TD><PRE>D8 41 00</PRE></TD><TD><PRE>\xD8"
            "A </PRE></TD>    </TR>\r"
            "  </TABLE>\r");
  EXPECT_EQ(Stream.GetPosition(), 4);
}

TEST(ReportBlocks, ExtraInfo) {
  TkivHTMLBODY Body;
  TMemoryStream Empty;
  WriteExtraInfo(Body, Empty);
  EXPECT_EQ(Body.Count(), 0);

  TMemoryStream Stream("a>");
  Stream.SetPosition(2);
  WriteExtraInfo(Body, Stream);
  EXPECT_EQ(Written(Body),
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
}

TEST(ReportBlocks, Texts) {
  EXPECT_EQ(FormatCannotDecode("7"), "7 (cannot decode)");
  TkivTreeItem Root;
  AddMailNotice(Root);
  ASSERT_EQ(Root.Count(), 1);
  EXPECT_EQ(Root.GetChild(0).Icon, WarningIcon);
  EXPECT_NE(WarningIcon, 0u);
  EXPECT_EQ(Root.GetChild(0).Name,
            "If you have any information about this segment, please mail me");
  EXPECT_EQ(Root.GetChild(0).Value, "");
}

TEST_F(ReportFiles, TemporaryFilesTakeTheFirstFreeNumber) {
  kivTest::WriteFileBytes(File("kivBMP0.bmp"), "taken");
  // A dangling link takes its name too, and is not written through.
  std::filesystem::create_symlink(File("elsewhere"), File("kivBMP2.bmp"));
  kivInfo::TBitmap A(kivInfo::TBitmap::ClassObject()), B(kivInfo::TBitmap::ClassObject());
  Paint(A, 1, 1);
  EXPECT_EQ(kivInfo::GetTempFileName(A), Dir.Dir() + "kivBMP1.bmp");
  // A name is taken as soon as it is chosen, before anything is written to it.
  EXPECT_EQ(kivInfo::MakeTempFileName("kivBMP%d.bmp"), Dir.Dir() + "kivBMP3.bmp");
  EXPECT_EQ(kivInfo::GetTempFileName(B), Dir.Dir() + "kivBMP4.bmp");
  EXPECT_FALSE(std::filesystem::exists(File("elsewhere")));
  // Writing again rewrites the same file.
  Paint(A, 3, 1);
  const std::string Before = kivTest::ReadFileBytes(File("kivBMP1.bmp"));
  EXPECT_EQ(kivInfo::GetTempFileName(A), Dir.Dir() + "kivBMP1.bmp");
  EXPECT_NE(kivTest::ReadFileBytes(File("kivBMP1.bmp")), Before);
  EXPECT_EQ(kivTest::ReadFileBytes(File("kivBMP0.bmp")), "taken");
}

TEST_F(ReportFiles, TemporaryNamesEndAtTheirLimit) {
  kivTest::WriteFileBytes(File("kivX0"), "taken");
  kivTest::WriteFileBytes(File("kivX1"), "taken");
  EXPECT_THROW(kivInfo::MakeTempFileName("kivX%d", 2), Exception);
  EXPECT_EQ(kivInfo::MakeTempFileName("kivX%d", 3), Dir.Dir() + "kivX2");
}

TEST_F(ReportFiles, FreeingABitmapDeletesOnlyItsOwnFile) {
  kivTest::WriteFileBytes(File("kivBMP0.bmp"), "taken");
  {
    kivInfo::TBitmap Unwritten(kivInfo::TBitmap::ClassObject());
    kivInfo::TBitmap Written(kivInfo::TBitmap::ClassObject());
    Paint(Written, 2, 2);
    EXPECT_EQ(kivInfo::GetTempFileName(Written), Dir.Dir() + "kivBMP1.bmp");
    EXPECT_TRUE(std::filesystem::exists(File("kivBMP1.bmp")));
  }
  EXPECT_FALSE(std::filesystem::exists(File("kivBMP1.bmp")));
  EXPECT_TRUE(std::filesystem::exists(File("kivBMP0.bmp")));
}

TEST_F(ReportFiles, ThumbnailRows) {
  auto Table = CreateReportTable();
  kivInfo::TBitmap Empty(kivInfo::TBitmap::ClassObject());
  WriteThumbnailRows(*Table, Empty, true);
  Empty.SetSize(5, 0);
  WriteThumbnailRows(*Table, Empty, true);
  TkivTreeItem Root;
  AddThumbnailInfo(Root, Empty);
  EXPECT_EQ(Table->Count(), 0);
  EXPECT_EQ(Root.Count(), 0);
  EXPECT_TRUE(std::filesystem::is_empty(Dir.Path()));

  kivInfo::TBitmap Bitmap(kivInfo::TBitmap::ClassObject());
  Paint(Bitmap, 3, 2);
  WriteThumbnailRows(*Table, Bitmap, true);
  EXPECT_EQ(Written(*Table),
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
  EXPECT_EQ(Item.Name, "Thumbnail");
  ASSERT_EQ(Item.Count(), 4);
  EXPECT_EQ(Item.GetChild(0).Name + "=" + Item.GetChild(0).Value, "Compression=Unknown");
  EXPECT_EQ(Item.GetChild(1).Name + "=" + Item.GetChild(1).Value, "Width=3");
  EXPECT_EQ(Item.GetChild(2).Name + "=" + Item.GetChild(2).Value, "Height=2");
  EXPECT_EQ(Item.GetChild(3).Name, "Thumbnail");
  EXPECT_EQ(Item.GetChild(3).Object, &Bitmap);
  EXPECT_EQ(Item.GetChild(3).GetHeight(), 4);
}

TEST_F(ReportFiles, TwentyFourBitFileDecodes) {
  kivInfo::TBitmap Bitmap(kivInfo::TBitmap::ClassObject());
  Paint(Bitmap, 5, 3); // 15 bytes a row: padded to 16
  ExpectDecodedAs(kivInfo::GetTempFileName(Bitmap), Bitmap);
}

TEST_F(ReportFiles, EightBitFileDecodes) {
  kivInfo::TBitmap Bitmap(kivInfo::TBitmap::ClassObject());
  Paint(Bitmap, 3, 4); // 3 bytes a row: padded to 4
  const TkivColor Corner = Bitmap.GetPixel(2, 3);
  Bitmap.SetPixelFormat(TkivPixelFormat::pf8bit);
  ASSERT_EQ(Bitmap.PixelFormat(), TkivPixelFormat::pf8bit);
  // Fewer colours than palette entries: every colour is kept exactly.
  EXPECT_EQ(Bitmap.GetPixel(2, 3), Corner);
  ExpectDecodedAs(kivInfo::GetTempFileName(Bitmap), Bitmap);
}
