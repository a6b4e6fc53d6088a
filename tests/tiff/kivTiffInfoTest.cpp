#include <gtest/gtest.h>

#include "framework/kivInfoStream.h"
#include "host/kivReportPipeline.h"
#include "jpeg/kivJpegTestSupport.h"
#include "tiff/kivTiffInfo.h"
#include "tiff/kivTiffStripOffsetInfo.h"
#include "tiff/kivTiffTestSupport.h"

using namespace kivTest;
using namespace kivTiffInfo;
using kivTiffTest::TEntryDef, kivTiffTest::W16, kivTiffTest::W32, kivTiffTest::BuildTiff;

namespace {

std::unique_ptr<TkivTiffSegmentList> Load(const std::string& Bytes) {
  TMemoryStream Stream(Bytes);
  auto List = std::make_unique<TkivTiffSegmentList>();
  List->LoadFromStream(Stream);
  return List;
}

std::string Page(const std::string& Bytes, const std::string& ThumbnailDir = {}) {
  if (!ThumbnailDir.empty()) kivInfo::SetTempDirectory(ThumbnailDir);
  const auto List = Load(Bytes);
  TMemoryStream Html;
  WriteListPage(*List, Html);
  kivInfo::SetTempDirectory({});
  return Html.ToString();
}

TkivTiffSegment& SegmentOf(const TkivSegmentList& List) {
  return dynamic_cast<TkivTiffSegment&>(List.Segment(0));
}

TkivTiffIFD& IFD(const TkivTiffSegmentList& List, int32_t Index) {
  return dynamic_cast<TkivTiffIFD&>(SegmentOf(List).Tree->GetChild(Index));
}

// Motorola order. IFD0: X and Y resolution 72/1, resolution unit 2, an entry of type 13, one
// of type 99, and a Short array whose values lie past the end; then IFD1 without entries,
// whose next offset leads back to IFD0.
const std::string Motorola = Hex("4D 4D 00 2A 00 00 00 08"
                                 "00 06"
                                 "01 1A 00 05 00 00 00 01 00 00 00 5C"
                                 "01 1B 00 05 00 00 00 01 00 00 00 64"
                                 "01 28 00 03 00 00 00 01 00 02 00 00"
                                 "12 34 00 0D 00 00 00 01 0A 0B 0C 0D"
                                 "02 00 00 63 00 00 00 01 41 42 43 44"
                                 "03 00 00 03 00 00 00 0A 00 00 FF 00"
                                 "00 00 00 56"
                                 "00 00 00 00 00 08"
                                 "00 00 00 48 00 00 00 01"
                                 "00 00 00 48 00 00 00 01");

// Intel order: X resolution 300/2 with the unit 1 ("none"), X position 1/4.
const std::string Intel = Hex("49 49 2A 00 08 00 00 00"
                              "03 00"
                              "1A 01 05 00 01 00 00 00 32 00 00 00"
                              "28 01 03 00 01 00 00 00 01 00 00 00"
                              "1E 01 05 00 01 00 00 00 3A 00 00 00"
                              "00 00 00 00"
                              "2C 01 00 00 02 00 00 00"
                              "01 00 00 00 04 00 00 00");

// An Intel TIFF of one directory describing an uncompressed RGB strip of Width x Height,
// with Pixels (3 bytes each) at its end. Compression and StripByteCounts may be changed.
std::string RgbTiff(uint32_t Width, uint32_t Height, const std::string& Pixels,
                    uint16_t Compression = 1, uint32_t ByteCount = 0) {
  using kivTiffInfo2::ftLong, kivTiffInfo2::ftShort;
  const auto Number = [](uint16_t Tag, uint32_t V) {
    return V > 0xFFFF ? TEntryDef{Tag, ftLong, 1, W32(false, V)}
                      : TEntryDef{Tag, ftShort, 1, W16(false, uint16_t(V))};
  };
  // The bits per sample lie behind the directory, the strip behind them at 128.
  return BuildTiff(false,
                   {{Number(256, Width),
                     Number(257, Height),
                     {258, ftShort, 3, W16(false, 8) + W16(false, 8) + W16(false, 8)},
                     Number(259, Compression),
                     Number(262, 2),
                     {273, ftLong, 1, W32(false, 128)},
                     Number(277, 3),
                     {279, ftLong, 1, W32(false, ByteCount ? ByteCount : uint32_t(Pixels.size()))},
                     Number(296, 2)}}) +
         Pixels;
}

const TkivTiffStripOffsetInfo* Strip(const TkivTiffSegmentList& List) {
  const TkivTiffIFD& First = IFD(List, 0);
  for (int32_t I = 0; I < First.Count(); ++I)
    if (auto* S = dynamic_cast<const TkivTiffStripOffsetInfo*>(&First.Entry(I))) return S;
  return nullptr;
}

} // namespace

TEST(StandaloneTiff, PagesOfTheEdgeCases) {
  EXPECT_EQ(Page(Motorola), Golden("tiff/standalone-motorola.html"));
  EXPECT_EQ(Page(Intel), Golden("tiff/standalone-intel.html"));
  // The first directory outside the data: the byte order line and the heading row only.
  EXPECT_EQ(Page(Hex("49 49 2A 00 00 01 00 00")), Golden("tiff/standalone-empty.html"));
}

TEST(StandaloneTiff, RegistriesAndClasses) {
  std::vector<std::string> Names;
  for (int32_t I = 0; I < TiffEntryClassList.Count(); ++I)
    Names.push_back(TiffEntryClassList[I].ClassName());
  EXPECT_EQ(Names, (std::vector<std::string>{"TkivTiffStripOffsetInfo", "TkivTiffXYPositionEntry",
                                             "TkivTiffXYResolutionEntry", "TkivTiffEntry"}));
  ASSERT_EQ(TiffSegmentClassList.Count(), 2);
  EXPECT_EQ(&TiffSegmentClassList[0], &TkivTiffSegment::ClassObject());
  EXPECT_EQ(&TiffSegmentClassList[1], &TkivSegment::ClassObject());
  const TkivSegment::TClass& Class = TkivTiffSegment::ClassObject();
  EXPECT_TRUE(Class.IsInfoSegment());
  for (const auto& [Bytes, Readable] : {std::pair{Hex("49 49 2A 00 08 00 00 00"), true},
                                        {Hex("4D 4D 00 2A 00 00 00 08"), true},
                                        {Hex("4D 4D 00 2A 00 00 00"), false},
                                        {Hex("49 4D 2A 00 08 00 00 00"), false}}) {
    TMemoryStream Stream(Bytes);
    EXPECT_EQ(Class.CanRead(Stream), Readable);
    EXPECT_EQ(Stream.GetPosition(), 0);
  }
}

TEST(StandaloneTiff, SegmentFieldsAndInformationTree) {
  const auto List = Load(Motorola);
  const TkivTiffSegment& Segment = SegmentOf(*List);
  EXPECT_TRUE(Segment.Motorola);
  EXPECT_EQ(Segment.Magic, 42);
  EXPECT_EQ(Segment.Data.ToString(), Motorola);
  EXPECT_EQ(Segment.GetSize(), 2);
  ASSERT_EQ(Segment.Tree->Count(), 2); // IFD1 leads back to IFD0: read once
  EXPECT_EQ(IFD(*List, 1).Count(), 0);
  const TkivTreeItem& Info = *Segment.Info;
  ASSERT_EQ(Info.Count(), 3);
  EXPECT_EQ(Info.GetChild(0).Name, "Segment size:");
  EXPECT_EQ(Info.GetChild(1).Name, "Byte order");
  EXPECT_EQ(Info.GetChild(1).Value, "Motorola (MM)");
  const TkivTreeItem& Tree = Info.GetChild(2);
  EXPECT_EQ(Tree.Name, "Tiff segment");
  ASSERT_EQ(Tree.Count(), 2);
  EXPECT_EQ(Tree.GetChild(0).Name, "IFD0");
  EXPECT_EQ(Tree.GetChild(0).GetChild(0).Name, "Tag 011A");
  EXPECT_EQ(Tree.GetChild(0).GetChild(0).Value, "72 pixels per 2");
  // Default names carry the warning icon.
  EXPECT_EQ(IFD(*List, 0).Entry(0).GetIcon(), WarningIcon);

  // Resolution and position with a unit.
  std::string Bytes = Intel;
  Bytes[8 + 2 + 12 + 8] = 2; // the resolution unit
  const auto WithUnit = Load(Bytes);
  EXPECT_EQ(IFD(*WithUnit, 0).Entry(0).GetValue(), "150 pixels per 2");
  EXPECT_EQ(IFD(*WithUnit, 0).Entry(2).GetValue(), "0.25 2");
}

TEST(StandaloneTiff, RgbStripBecomesAPicture) {
  const std::vector<TkivColor> Colors = {Red,   Green,           Blue,          White,
                                         Black, {128, 128, 128}, {255, 255, 0}, {0, 255, 255}};
  std::string Pixels;
  for (const TkivColor C : Colors)
    Pixels += std::string{char(C.R), char(C.G), char(C.B)};
  TTempDir Dir;
  kivInfo::SetTempDirectory(Dir.Dir());
  const auto List = Load(RgbTiff(4, 2, Pixels));
  TMemoryStream Html;
  WriteListPage(*List, Html); // the picture's file lives as long as the list
  kivInfo::SetTempDirectory({});
  EXPECT_NE(Html.ToString().find("<TD>Compression</TD><TD>None, RGB, 3 bytes per pixel</TD>"),
            std::string::npos);
  EXPECT_NE(Html.ToString().find("ALT=\"Thumbnail 4x2\" WIDTH=4 HEIGHT=2"), std::string::npos);
  EXPECT_EQ(SegmentOf(*List).WorkBudget().PixelsTaken(), 8); // on the report's budget
  ExpectBmp(Dir, 4, 2, Colors);
}

TEST(StandaloneTiff, StripsThatMakeNoPicture) {
  const std::string Pixels(24, '\x40');
  // Compressed: no picture, the offset as a number.
  auto List = Load(RgbTiff(4, 2, Pixels, 5));
  ASSERT_NE(Strip(*List), nullptr);
  EXPECT_EQ(Strip(*List)->Bitmap, nullptr);
  EXPECT_EQ(Strip(*List)->GetValue(), "128");
  // A short strip: the pixels it has, the rest black.
  List = Load(RgbTiff(4, 2, Pixels.substr(0, 7), 1, 100));
  ASSERT_NE(Strip(*List)->Bitmap, nullptr);
  EXPECT_EQ(Strip(*List)->Bitmap->GetPixel(1, 0), (TkivColor{0x40, 0x40, 0x40}));
  EXPECT_EQ(Strip(*List)->Bitmap->GetPixel(2, 0), (TkivColor{}));
  // A picture the file could never hold is not built, and the page says so.
  List = Load(RgbTiff(60000, 60000, Pixels));
  EXPECT_EQ(Strip(*List)->Bitmap, nullptr);
  EXPECT_NE(Page(RgbTiff(60000, 60000, Pixels))
                .find("The 60000 x 60000 picture is larger than the file's data; not shown"),
            std::string::npos);
  List = Load(RgbTiff(0xFFFFFFFF, 0xFFFFFFFF, Pixels));
  EXPECT_EQ(Strip(*List)->Bitmap, nullptr);
}

TEST(StandaloneTiff, HostileChainsCostNoMoreThanTheData) {
  // 3000 directories without entries, each leading to the next, and the last back to the
  // first: read once each, without recursion.
  std::string Bytes = Hex("49 49 2A 00 08 00 00 00");
  for (uint32_t I = 0; I < 3000; ++I)
    Bytes += W16(false, 0) + W32(false, I + 1 < 3000 ? 8 + 6 * (I + 1) : 8);
  EXPECT_EQ(SegmentOf(*Load(Bytes)).Tree->Count(), 3000);
  // Directories of 200 entries each, one 12-byte record after the other, each one's chain
  // leading to the next record: 200 times the data's worth of entries, unless bounded.
  const uint32_t N = 200, Records = 400;
  std::string Overlap = Hex("49 49 2A 00 08 00 00 00");
  for (uint32_t M = 0; M < Records; ++M)
    Overlap +=
        W16(false, N) + W32(false, M + 1 >= N ? 8 + 12 * (M - N + 2) : 0) + std::string(6, '\0');
  const auto List = Load(Overlap);
  const TkivTiffTree& Tree = *SegmentOf(*List).Tree;
  ASSERT_GE(Tree.Count(), 2);
  int64_t Entries = 0;
  for (int32_t I = 0; I < Tree.Count(); ++I)
    Entries += IFD(*List, I).Count();
  EXPECT_LE(Entries, int64_t(Overlap.size() / 12 + 1));
  EXPECT_TRUE(IFD(*List, Tree.Count() - 1).Cut);
  EXPECT_NE(Page(Overlap).find("IFD2 (the rest of its entries is not read"), std::string::npos);
  // Values: an entry asking for 4 billion bytes at an offset inside the data holds what is
  // there, and its value cell is red.
  const auto Huge = Load(Hex("49 49 2A 00 08 00 00 00 01 00 00 03 01 00 FF FF FF FF 08 00 00 00"
                             "00 00 00 00"));
  const TkivTiffEntry& Entry = IFD(*Huge, 0).Entry(0);
  EXPECT_EQ(Entry.Count(), 0xFFFFFFFFu);
  EXPECT_EQ(Entry.Values.size(), 18u);
  EXPECT_TRUE(Entry.HasError());
}

TEST(StandaloneTiff, ShortAndEmptyData) {
  // Fewer than 8 bytes: no directory. A first offset of 0 is inside the data: the header is
  // read as a directory, whose entries run past the end.
  for (const auto& [Bytes, Directories] : {std::pair{std::string(), 0},
                                           {Hex("49 49"), 0},
                                           {Hex("4D 4D 00 2A 00 00"), 0},
                                           {Hex("49 49 2A 00 00 00 00 00"), 1}}) {
    auto Segment = TkivTiffSegment::ClassObject().Create();
    TMemoryStream Stream(Bytes);
    Segment->LoadFromStream(Stream);
    EXPECT_EQ(Segment->Data.ToString(), Bytes);
    const TkivTiffTree& Tree = *static_cast<TkivTiffSegment&>(*Segment).Tree;
    ASSERT_EQ(Tree.Count(), Directories);
    if (Directories) {
      EXPECT_EQ(Tree.GetChild(0).Count(), 0);
    }
  }
  auto Segment = TkivTiffSegment::ClassObject().Create();
  Segment->InitDefault();
  EXPECT_TRUE(Segment->Modified);
  EXPECT_EQ(Segment->Data.GetSize(), 0);
}

TEST(StandaloneTiff, UnknownTypesReadOneBytePerValueBehindTheOffset) {
  // Count x 4 above 4 puts the values behind the offset, where they take one byte each: the
  // two bytes at the end hold two values, not a third.
  for (const auto& [Type, Count, Red] :
       {std::tuple{uint16_t(13), 2u, false}, {uint16_t(99), 2u, false}, {uint16_t(13), 3u, true}}) {
    const std::string Bytes = Hex("49 49 2A 00 08 00 00 00 01 00 34 12") + W16(false, Type) +
                              W32(false, Count) + W32(false, 26) + W32(false, 0) + "AB";
    const auto List = Load(Bytes);
    const TkivTiffEntry& Entry = IFD(*List, 0).Entry(0);
    EXPECT_EQ(Entry.GetValue(), "65 66");
    EXPECT_EQ(Entry.HasError(), Red);
    EXPECT_NE(Page(Bytes).find(Red ? "<TD BGCOLOR=\"Red\">65 66</TD>" : "<TD>65 66</TD>"),
              std::string::npos);
  }
}
