#include <gtest/gtest.h>

#include "base/kivException.h"
#include "base/kivStream.h"
#include "support/kivTestSupport.h"
#include "tiff/kivTiffInfo2.h"
#include "tiff/kivTiffTestSupport.h"

using namespace kivTiffInfo2;
using namespace kivTiffTest;
using kivTest::Golden;

namespace {

std::string Rational(bool M, uint32_t N, uint32_t D) {
  return W32(M, N) + W32(M, D);
}

std::string Entry(bool M, uint16_t Tag, uint16_t Type, uint32_t Count, const std::string& Value) {
  return W16(M, Tag) + W16(M, Type) + W32(M, Count) + Value + std::string(4 - Value.size(), '\0');
}

struct TLoaded {
  TMemoryStream Stream;
  TkivTiff Tiff;
  explicit TLoaded(const std::string& Bytes) : Stream(Bytes) { Tiff.LoadFromStream(Stream); }
};

} // namespace

TEST(TiffReader, ChainInIntelOrderEndsWhereItLoopsBack) {
  const bool M = false;
  const std::string Bytes = BuildTiff(M,
                                      {{{0x0100, ftLong, 1, W32(M, 640)},
                                        {0x010F, ftAscii, 6, std::string("Canon\0", 6)},
                                        {0x8825, ftShort, 2, W16(M, 1) + W16(M, 2)}},
                                       {{0x0112, ftLong, 1, W32(M, 1)}}},
                                      8);
  EXPECT_EQ(RenderTiff(Bytes), Golden("tiff/intel-chain.html"));
}

TEST(TiffReader, NestedExifAndInteroperabilityIFDsInMotorolaOrder) {
  const bool M = true;
  std::string B = "MM" + W16(M, 42) + W32(M, 8);
  // IFD0 at 8, the EXIF IFD at 38 with its data at 80 and 88, the interoperability IFD at 104,
  // IFD1 at 134.
  B += W16(M, 2) + Entry(M, 0x0110, ftAscii, 4, std::string("E10\0", 4)) +
       Entry(M, 0x8769, ftLong, 1, W32(M, 38)) + W32(M, 134);
  B += W16(M, 3) + Entry(M, 0x829A, ftRational, 1, W32(M, 80)) +
       Entry(M, 0xA005, ftLong, 1, W32(M, 104)) + Entry(M, 0x9286, ftUndefined, 16, W32(M, 88)) +
       W32(M, 0);
  B += Rational(M, 1, 60) + std::string("ASCII\0\0\0Hello   ", 16);
  B += W16(M, 2) + Entry(M, 0x0001, ftAscii, 4, std::string("R98\0", 4)) +
       Entry(M, 0x0100, ftShort, 1, W16(M, 5)) + W32(M, 0);
  B += W16(M, 1) + Entry(M, 0x0103, ftShort, 1, W16(M, 6)) + W32(M, 0);
  ASSERT_EQ(B.size(), 152u);
  EXPECT_EQ(RenderTiff(B), Golden("tiff/motorola-nested.html"));

  TLoaded L(B);
  ASSERT_EQ(L.Tiff.Count(), 2);
  const TkivTiffEntry& Exif = L.Tiff.IFD(0).Entry(1);
  ASSERT_EQ(Exif.Count(), 1);
  EXPECT_EQ(Exif.IFD(0).Level(), 3);
  EXPECT_EQ(Exif.IFD(0).Entry(1).IFD(0).Entry(0).Level(), 6);
  EXPECT_EQ(L.Tiff.GetReadContext().Offsets, (std::vector<uint32_t>{8, 38, 104, 134}));
}

TEST(TiffReader, GridEntriesDecodeTheirData) {
  const bool M = false;
  const std::string Sfr =
      W16(M, 2) + W16(M, 1) + std::string("H\0V\0", 4) + Rational(M, 1, 2) + Rational(M, 3, 4);
  const std::string ShortSfr = W16(M, 2) + W16(M, 2) + std::string("H\0V\0", 4) + Rational(M, 1, 4);
  const std::string Bytes =
      BuildTiff(M, {{{0xA302, ftUndefined, 8, kivTest::Hex("00 02 00 02 00 01 01 02")},
                     {0xA302, ftUndefined, 8, "02020112"},
                     {0xA302, ftUndefined, 15, kivTest::Hex("00 0B 00 01") + std::string(11, '\1')},
                     {0xA20C, ftUndefined, 24, Sfr},
                     {0xA20C, ftUndefined, 16, ShortSfr}}});
  EXPECT_EQ(RenderTiff(Bytes), Golden("tiff/grids-intel.html"));
}

TEST(TiffReader, HeaderAndChainBounds) {
  // Too short, a first offset into the header, any marker but II.
  EXPECT_EQ(TLoaded("II*\0\x08\0\0").Tiff.Count(), 0);
  EXPECT_EQ(TLoaded(std::string("II*\0\0\0\0\0", 8)).Tiff.Count(), 0);
  EXPECT_EQ(TLoaded(std::string("II*\0\x04\0\0\0", 8)).Tiff.Count(), 0);
  EXPECT_TRUE(TLoaded(std::string("XY\0*\0\0\0\0", 8)).Tiff.IsMotorola());
  EXPECT_FALSE(TLoaded(std::string("II*\0\0\0\0\0", 8)).Tiff.IsMotorola());

  // An EXIF offset back to IFD0: no sub-IFD, an empty value.
  for (bool M : {false, true}) {
    TLoaded L(BuildTiff(M, {{{0x8769, ftLong, 1, W32(M, 8)}}}));
    ASSERT_EQ(L.Tiff.Count(), 1);
    const TkivTiffEntry& E = L.Tiff.IFD(0).Entry(0);
    EXPECT_EQ(&E.ClassType(), &TkivTiffExifOffsetEntry::ClassObject());
    EXPECT_EQ(E.Count(), 0);
    EXPECT_EQ(ValueCell(E), "<TD></TD>");
  }
  // The same tag with two values is a plain entry.
  TLoaded Plain(BuildTiff(false, {{{0x8769, ftLong, 2, W32(false, 8) + W32(false, 8)}}}));
  EXPECT_EQ(&Plain.Tiff.IFD(0).Entry(0).ClassType(), &TkivTiffEntry::ClassObject());
}

TEST(TiffReader, HundredEntriesAreReadAndOneMoreEndsTheChain) {
  for (bool M : {false, true})
    for (uint16_t N : {100, 101}) {
      std::vector<TEntryDef> Entries(N, TEntryDef{0x0112, ftShort, 1, W16(M, 1)});
      TLoaded L(BuildTiff(M, {Entries, {{0x0112, ftShort, 1, W16(M, 1)}}}));
      ASSERT_GE(L.Tiff.Count(), 1);
      EXPECT_EQ(L.Tiff.IFD(0).Count(), N == 100 ? 100 : 0);
      EXPECT_EQ(L.Tiff.Count(), N == 100 ? 2 : 1);
    }
}

TEST(TiffReader, FieldTypesAndValueDecoding) {
  for (bool M : {false, true}) {
    // 1.5 as a single-precision number.
    EXPECT_EQ(ValueCell(M, {0x9999, ftFloat, 1, W32(M, 0x3FC00000)}), "<TD>1.5</TD>");
    EXPECT_EQ(ValueCell(M, {0x9999, ftDouble, 1,
                            W32(M, M ? 0xBFF80000 : 0) + W32(M, M ? 0 : 0xBFF80000)}),
              "<TD>-1.5</TD>");
    EXPECT_EQ(ValueCell(M, {0x9999, ftSShort, 2, W16(M, 0xFFFF) + W16(M, 7)}), "<TD>-1 7</TD>");
    EXPECT_EQ(ValueCell(M, {0x9999, ftSRational, 1, Rational(M, uint32_t(-1), 3)}),
              "<TD>-1/3</TD>");
    EXPECT_EQ(ValueCell(M, {0x9999, ftUnicode, 2, W16(M, 72) + W16(M, 105)}), "<TD>72105</TD>");
  }
  // Complex: unit size 1, so three bytes in the entry; type 99: five bytes out of line.
  const std::string Bytes =
      BuildTiff(false, {{{0x9999, 15, 3, "\1\2\3"}, {0x9998, 99, 5, "\1\2\3\4\5"}}});
  const std::string Page = RenderTiff(Bytes);
  EXPECT_NE(Page.find("<TD COLSPAN=1 ROWSPAN=1>Complex</TD><TD>3</TD><TD>1 2 3</TD>"),
            std::string::npos);
  EXPECT_NE(Page.find("<TD COLSPAN=1 ROWSPAN=1 BGCOLOR=\"Yellow\">Type 99</TD><TD>5</TD>"
                      "<TD>1 2 3 4 5</TD>"),
            std::string::npos);
  TLoaded L(Bytes);
  EXPECT_TRUE(L.Tiff.IFD(0).Entry(1).IsOffsetValue());
  EXPECT_EQ(L.Tiff.IFD(0).Entry(1).OffsetDataSize(), 5);
  // A tag the table does not know has no name.
  EXPECT_STREQ(FindTagRec(InteroperabilityTagTable, 5, 0x0100).Name, "");
}

TEST(TiffReader, CountsThatPromiseMoreThanTheData) {
  // Values beyond the end: tag, type and count shown, no values.
  const bool M = false;
  std::string B = std::string("II*\0", 4) + W32(M, 8) + W16(M, 1) +
                  Entry(M, 0x010F, ftAscii, 10, W32(M, 500)) + W32(M, 0);
  std::string Page = RenderTiff(B);
  EXPECT_NE(
      Page.find("Make</TD><TD>010F</TD><TD COLSPAN=1 ROWSPAN=1>Ascii</TD><TD>10</TD><TD></TD>"),
      std::string::npos);
  // A count of four billion keeps its count but holds only what the data can supply.
  B = std::string("II*\0", 4) + W32(M, 8) + W16(M, 1) +
      Entry(M, 0x9999, ftShort, 0xFFFFFFFF, W32(M, 26)) + W32(M, 0) + W16(M, 1) + W16(M, 2) + "\3";
  TLoaded L(B);
  const TkivTiffEntry& E = L.Tiff.IFD(0).Entry(0);
  EXPECT_EQ(E.ValueCount(), 0xFFFFFFFFu);
  EXPECT_EQ(E.HeldValues(), 2);
  EXPECT_EQ(ValueCell(E), "<TD>1 2</TD>");
  // An SFR grid claiming 65535 rows shows no more cells than its data has bytes.
  const std::string Sfr = W16(M, 1) + W16(M, 0xFFFE) + std::string("H\0", 2) + Rational(M, 1, 2);
  TLoaded G(BuildTiff(M, {{{0xA20C, ftUndefined, 14, Sfr}}}));
  const auto& Grid = static_cast<const TkivTiffSFREntry&>(G.Tiff.IFD(0).Entry(0));
  EXPECT_LE(int(Grid.Rows) * Grid.Columns, 14);
  EXPECT_EQ(Grid.Cells, (std::vector<std::string>{"H", "0.500"}));
}

TEST(TiffReader, EntriesAdvanceTwelveBytesWhateverHappens) {
  // The first entry's values lie past the end; the second is still read from its place, and
  // a data end inside the entries leaves them empty.
  const bool M = true;
  std::string B = "MM" + W16(M, 42) + W32(M, 8) + W16(M, 2) +
                  Entry(M, 0x8769, ftLong, 1, W32(M, 9999)) +
                  Entry(M, 0x0112, ftShort, 1, W16(M, 3)) + W32(M, 0);
  TLoaded L(B);
  ASSERT_EQ(L.Tiff.IFD(0).Count(), 2);
  EXPECT_EQ(L.Tiff.IFD(0).Entry(0).Count(), 1); // an IFD past the end stays empty
  EXPECT_EQ(L.Tiff.IFD(0).Entry(0).IFD(0).Count(), 0);
  EXPECT_EQ(ValueCell(L.Tiff.IFD(0).Entry(1)), "<TD>Rotated 180 degrees, no flip</TD>");
  // The root chain's next-IFD field missing: the read error reaches the caller.
  TMemoryStream Short(B.substr(0, B.size() - 4));
  TkivTiff Tiff;
  EXPECT_THROW(Tiff.LoadFromStream(Short), EReadError);
}

TEST(TiffTags, FormattersAndTheirTests) {
  const auto Expect = [](bool M, const TEntryDef& Entry, const std::string& Cell) {
    EXPECT_EQ(ValueCell(M, Entry), Cell) << Entry.Tag << (M ? " Motorola" : " Intel");
  };
  for (bool M : {false, true}) {
    Expect(M, {0x0100, ftLong, 1, W32(M, 640)}, "<TD>640 pixels</TD>");
    Expect(M, {0x0102, ftShort, 3, W16(M, 8) + W16(M, 8) + W16(M, 8)}, "<TD>8 8 8 bits</TD>");
    Expect(M, {0x011A, ftRational, 1, Rational(M, 72, 1)}, "<TD>72</TD>");
    Expect(M, {0x920A, ftRational, 1, Rational(M, 35, 10)}, "<TD>3.5 mm</TD>");
    Expect(M, {0x829A, ftRational, 1, Rational(M, 1, 60)}, "<TD>1/60 sec</TD>");
    // Exposures too long for "1/n": in seconds, not "1/0 sec".
    Expect(M, {0x829A, ftRational, 1, Rational(M, 10, 1)}, "<TD>10 sec</TD>");
    Expect(M, {0x829A, ftRational, 1, Rational(M, 5, 2)}, "<TD>2.5 sec</TD>");
    Expect(M, {0x9201, ftSRational, 1, Rational(M, uint32_t(-3), 1)}, "<TD>-3.00 (8 sec)</TD>");
    Expect(M, {0x9201, ftSRational, 1, Rational(M, 6, 1)}, "<TD>6.00 (1/64 sec)</TD>");
    Expect(M, {0x829D, ftRational, 1, Rational(M, 28, 10)}, "<TD>F2.8</TD>");
    // Fixed decimals round halves away from zero, as a camera's 45/8 is read.
    Expect(M, {0x9201, ftSRational, 1, Rational(M, 45, 8)}, "<TD>5.63 (1/49 sec)</TD>");
    Expect(M, {0x9203, ftSRational, 1, Rational(M, uint32_t(-1), 4)}, "<TD>-0.3 EV</TD>");
    Expect(M, {0x9204, ftSRational, 1, Rational(M, uint32_t(-1), 3)}, "<TD>-0.3 EV</TD>");
    Expect(M, {0x9000, ftUndefined, 4, "0230"}, "<TD>2.30</TD>");
    Expect(M, {0x9000, ftUndefined, 4, "02a0"}, "<TD BGCOLOR=\"Red\">48 50 97 48</TD>");
    Expect(M, {0x0103, ftShort, 1, W16(M, 6)}, "<TD>JPEG</TD>");
    Expect(M, {0x0103, ftShort, 1, W16(M, 99)}, "<TD BGCOLOR=\"Yellow\">99 (cannot decode)</TD>");
    Expect(M, {0x0112, ftLong, 1, W32(M, 1)}, "<TD BGCOLOR=\"Red\">1</TD>");
    Expect(M, {0x0132, ftAscii, 20, std::string("2003:05:17 12:34:56\0", 20)},
           "<TD>05/17/03 12:34:56</TD>");
    Expect(M, {0x0132, ftAscii, 20, std::string("2003:05:17 00:00:00\0", 20)}, "<TD>05/17/03</TD>");
    Expect(M, {0x0132, ftAscii, 19, "2003:05:17 12:34:56"},
           "<TD BGCOLOR=\"Red\">2003:05:17 12:34:56</TD>");
    Expect(M, {0x9003, ftAscii, 20, std::string("0000:00:00 00:00:00\0", 20)},
           std::string("<TD BGCOLOR=\"Red\">0000:00:00 00:00:00\0</TD>", 43));
    Expect(M, {0x9003, ftAscii, 20, std::string("2003:02:29 10:00:00\0", 20)},
           std::string("<TD BGCOLOR=\"Red\">2003:02:29 10:00:00\0</TD>", 43));
    Expect(M, {0xA001, ftShort, 1, W16(M, 65535)}, "<TD>Uncalibrated</TD>");
    Expect(M, {0xA404, ftRational, 1, Rational(M, 0, 100)}, "<TD>Not used</TD>");
    Expect(M, {0xA404, ftRational, 1, Rational(M, 3, 2)}, "<TD>1.5</TD>");
    Expect(M, {0x9206, ftRational, 1, Rational(M, 0, 0)}, "<TD BGCOLOR=\"Red\">0/0</TD>");
    Expect(M, {0xA405, ftShort, 1, W16(M, 0)}, "<TD>Unknown</TD>");
    Expect(M, {0xA405, ftShort, 1, W16(M, 50)}, "<TD>50 mm</TD>");
    Expect(M, {0x9101, ftUndefined, 4, "\1\2\3\0"}, "<TD>YCbCr</TD>");
    Expect(M, {0x9101, ftUndefined, 4, "\4\5\7\0"},
           "<TD BGCOLOR=\"Yellow\">4 5 7 0 (cannot decode)</TD>");
    Expect(M, {0x00FF, ftShort, 1, W16(M, 3)}, "<TD>A single page of a multi-page image </TD>");
    Expect(M, {0x00FE, ftLong, 1, W32(M, 0)}, "<TD> image</TD>");
    Expect(M, {0x00FE, ftLong, 1, W32(M, 3)},
           "<TD>Reduced-resolution, A single page of a multi-page image</TD>");
    Expect(M, {0xA300, ftUndefined, 1, "\3"}, "<TD>DCS</TD>");
    Expect(M, {0x927C, ftUndefined, 2, "\1\2"}, "<TD BGCOLOR=\"Yellow\">Not supported yet</TD>");
    Expect(M, {0x0111, ftShort, 1, W16(M, 3)}, "<TD>3</TD>");
    // Only a formatter says a value is undecoded, not the words of a text.
    Expect(M, {0x010F, ftAscii, 13, "cannot decode"}, "<TD>cannot decode</TD>");
  }
}

TEST(TiffSpecialEntries, UserComments) {
  for (bool M : {false, true}) {
    EXPECT_EQ(ValueCell(M, {0x9286, ftUndefined, 16, std::string("ASCII\0\0\0Hello   ", 16)}),
              "<TD>Char set: ASCII<BR>Text: Hello</TD>");
    const std::string Wide = M ? std::string("\0H\0i\0\0", 6) : std::string("H\0i\0\0\0", 6);
    EXPECT_EQ(ValueCell(M, {0x9286, ftUndefined, 14, std::string("UNICODE\0", 8) + Wide}),
              "<TD>Char set: UNICODE<BR>Text: Hi</TD>");
    EXPECT_EQ(ValueCell(M, {0x9286, ftUndefined, 12, std::string(8, '\0') + " ab\t"}),
              "<TD>Char set: Undefined<BR>Text: ab</TD>");
    EXPECT_EQ(ValueCell(M, {0x9286, ftUndefined, 8, std::string("JIS\0\0\0\0\0", 8)}),
              "<TD>Char set: JIS<BR>Text: no text</TD>");
    // An unknown code: a plain entry, shown from the ninth byte on.
    EXPECT_EQ(ValueCell(M, {0x9286, ftUndefined, 11, std::string("XYZ\0\0\0\0\0abc", 11)}),
              "<TD>abc</TD>");
    EXPECT_EQ(ValueCell(M, {0x9286, ftAscii, 3, "ab"}), std::string("<TD>ab\0</TD>", 12));
    EXPECT_EQ(ValueCell(M, {0x9286, ftShort, 1, W16(M, 1)}), "<TD BGCOLOR=\"Red\">1</TD>");
  }
  TLoaded L(
      BuildTiff(false, {{{0x9286, ftUndefined, 16, std::string("ASCII\0\0\0Hello   ", 16)}}}));
  std::string S;
  L.Tiff.IFD(0).Entry(0).GetValueText(S);
  EXPECT_EQ(S, "(ASCII) Hello");
}

TEST(TiffReader, DeepNestingIsNotFollowedForever) {
  // Forty EXIF IFDs, each holding only the offset of the next one.
  const bool M = false;
  std::string B = std::string("II*\0", 4) + W32(M, 8);
  for (uint32_t K = 0; K < 40; ++K)
    B += W16(M, 1) + Entry(M, 0x8769, ftLong, 1, W32(M, 8 + 18 * (K + 1))) + W32(M, 0);
  TLoaded L(B);
  const TkivTiffCustomItem* Item = &L.Tiff;
  int Depth = 0;
  while (Item->Count() > 0 && Item->IFD(0).Count() > 0) {
    Item = &Item->IFD(0).Entry(0);
    ++Depth;
  }
  EXPECT_GT(Depth, 3);
  EXPECT_LT(Depth, 40);
  EXPECT_FALSE(RenderTiff(B).empty());
}

TEST(TiffSpecialEntries, OverlappingEntriesCopyNoMoreThanTheStructureHolds) {
  // Sixty user comments over the same 2000 bytes: copying each whole count would copy sixty
  // times the data.
  const bool M = false;
  const uint32_t N = 60, Data = 8 + 2 + 12 * N + 4;
  std::string B = std::string("II*\0", 4) + W32(M, 8) + W16(M, N);
  for (uint32_t I = 0; I < N; ++I)
    B += Entry(M, 0x9286, ftUndefined, 2000, W32(M, Data));
  B += W32(M, 0) + "ASCII" + std::string(3, '\0') + std::string(1992, 'A');
  TkivWorkBudget Budget;
  TMemoryStream Stream(B);
  TkivTiff Tiff;
  Tiff.SetWorkBudget(Budget);
  Tiff.LoadFromStream(Stream);
  ASSERT_EQ(Tiff.IFD(0).Count(), int32_t(N));
  EXPECT_EQ(static_cast<const TkivTiffUserCommentEntry&>(Tiff.IFD(0).Entry(0)).Text,
            std::string(1992, 'A'));
  EXPECT_GT(Budget.Taken(TkivWork::BytesCopied), 2000);
  EXPECT_LE(Budget.Taken(TkivWork::BytesCopied), 2 * int64_t(B.size()));
  EXPECT_EQ(Budget.Taken(TkivWork::Values), 2 * int64_t(B.size()));
  // A count beyond the data decodes nothing, as before.
  EXPECT_EQ(ValueCell(M, {0x9286, ftUndefined, 17, std::string("ASCII\0\0\0Hello   ", 16)}),
            "<TD>Char set: <BR>Text: no text</TD>");
}
