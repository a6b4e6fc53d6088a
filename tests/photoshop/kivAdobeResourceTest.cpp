// Photoshop resource segments: block tables against golden pages, the registry's choice of
// class, writing the blocks back in pieces, hostile counts and sizes, the old thumbnail's
// colour order, and the corpus segments against exiftool.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "framework/kivInfoStream.h"
#include "framework/kivJpegImage.h"
#include "jpeg/kivJpegTestSupport.h"
#include "photoshop/kivAdobeResourceInfo.h"
#include "photoshop/kivJpegAdobeResourceSegment.h"
#include "support/kivTestSupport.h"

using namespace kivTest;

namespace {

// A well-formed block record with both pads.
std::string Block(const std::string& Signature, uint16_t ID, const std::string& Name,
                  const std::string& Data) {
  return Signature + Word(ID) + char(Name.size()) + Name +
         (Name.size() % 2 == 0 ? std::string(1, '\0') : "") + Long(uint32_t(Data.size())) + Data +
         (Data.size() % 2 == 1 ? std::string(1, '\0') : "");
}

std::string Block(uint16_t ID, const std::string& Data) {
  return Block("8BIM", ID, "", Data);
}

// An IPTC block without a name whose size field says Size, followed by Data and nothing else.
std::string Truncated(uint32_t Size, const std::string& Data) {
  return "8BIM" + Word(1028) + std::string(2, '\0') + Long(Size) + Data;
}

std::string Piece(const std::string& Payload) {
  return "\xFF\xED" + Word(uint16_t(Payload.size() + 16)) + std::string("Photoshop 3.0\0", 14) +
         Payload;
}

const auto LoadSegment = &Load<TkivJpegAdobeResourceSegment>;

std::string Replace(std::string S, const std::string& From, const std::string& To) {
  for (size_t At = S.find(From); At != std::string::npos; At = S.find(From, At + To.size()))
    S.replace(At, From.size(), To);
  return S;
}

// A JPEG of a picture in one colour, or with a gradient when no colour is given.
std::string SmallJpeg(int W, int H, const TkivColor* Color = nullptr) {
  TkivDIBitmap Picture;
  Picture.SetSize(W, H);
  for (int Y = 0; Y < H; ++Y)
    for (int X = 0; X < W; ++X)
      Picture.SetPixel(X, Y, Color ? *Color : TkivColor{uint8_t(X * 16), uint8_t(Y * 32), 128});
  TkivJpegImage Image;
  Image.Assign(Picture);
  TMemoryStream Out;
  Image.SaveToStream(Out);
  return Out.ToString();
}

std::string ThumbnailData(uint32_t Format, uint32_t W, uint32_t H, uint32_t Compressed,
                          const std::string& Rest) {
  const uint32_t Stride = (24 * W + 31) / 32 * 4;
  return Long(Format) + Long(W) + Long(H) + Long(Stride) + Long(Stride * H) + Long(Compressed) +
         Word(24) + Word(1) + Rest;
}

// The four curves of a transfer block, each with an override word of 0.
std::string Curves(const std::vector<std::vector<uint16_t>>& Points) {
  std::string S;
  for (const auto& Curve : Points) {
    for (uint16_t P : Curve)
      S += Word(P);
    S += Word(0);
  }
  return S;
}

const std::vector<uint16_t> Curve = {0,   50,  100, 200,   300, 400, 505,
                                     600, 700, 800, 65535, 950, 1200};
const std::vector<uint16_t> NoPoints(13, 65535);
// What a save writes back unchanged: no value above 1000.
const std::vector<uint16_t> SavedCurve = {0,   50,  100, 200,   300, 400, 505,
                                          600, 700, 800, 65535, 950, 1000};

std::string Screen(const char* Frequency, uint16_t Units, const char* Angle, int16_t Shape,
                   uint32_t Mics, bool Accurate, bool Default) {
  return Hex(Frequency) + Word(Units) + Hex(Angle) + Word(uint16_t(Shape)) + Long(Mics) +
         char(Accurate) + char(Default);
}

const std::string IPTC = Block(1028, Hex("1C 02 78 41"));

} // namespace

TEST(AdobeResourceSegment, BlockTables) {
  const std::string Resolution =
      Block(1005, Hex("00 48 00 00 00 01 00 01 00 48 00 00 00 01 00 01")) +
      Block(1005, Hex("00 48 80 00 00 03 00 00 01 2C 20 00 00 02 00 05") + "ABCD") +
      Block(1005, Hex("00 96 00 00 00 01 00 02")) +
      Block(1005, Hex("FF FF 80 00 00 01 00 01 00 48 FF FF 00 02 00 01"));
  const std::string Print =
      Block(1011, Hex("01 00 01 00 00 00 00 01 01")) + Block(1011, Hex("00 01 00")) +
      Block(10000, Hex("00 01 01 00 00 00 0F 1E 00 02")) + Block(1009, Hex("00 02 40 00 00 07")) +
      Block(1037, Long(400)) + Block(1037, Long(120)) + Block(1049, Long(30)) +
      Block(1034, "\x01") + Block(1006, Hex("03 52 65 64 05 47 72 65 65 6E")) +
      Block(1045, Hex("00 00 00 03 00 52 00 65 00 64")) + Block(1035, "http://example.com/");
  const std::string URLs = Block(1035, "javascript:alert(1)") +
                           Block(1035, "http://x/\"><SCRIPT>") + Block(1035, "MAILTO:me@x") +
                           Block(1035, "file:///etc/passwd");
  const std::string Halftone =
      Block(1013, Screen("00 35 00 00", 1, "00 0F 00 00", 1, 0, true, false) +
                      Screen("00 35 00 00", 2, "00 4B 00 00", 0, 0, false, true) +
                      Screen("00 35 00 00", 3, "FF 4C 00 00", 6, 5, false, false) +
                      Screen("00 35 80 00", 1, "00 B5 00 00", 5, 0, true, true)) +
      Block(1013, Screen("00 00 00 00", 0, "00 00 00 00", -4, 0, false, false) +
                      std::string(54, '\0') + "abcd") +
      Block(1016, Curves({Curve, Curve, Curve, Curve})) +
      Block(1016, Curves({Curve,
                          {1001, 65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535, 65535,
                           65535, 65535, 65535},
                          NoPoints,
                          NoPoints})) +
      Block(1032, Long(1) + Long(576) + Long(576) + Long(2) + Long(100) + '\0' + Long(200) + '\2');
  const struct {
    const char* Golden;
    std::string Segment;
  } Cases[] = {
      {"iptc", Piece(IPTC)},
      {"empty", Piece("")},
      {"trailing", Piece(IPTC + '\0')},
      // A block cut by the border of two pieces; the APP13 piece after them is not Photoshop's.
      {"two-pieces", Piece(IPTC.substr(0, 10)) + Piece(IPTC.substr(10)) + "\xFF\xED" + Word(8) +
                         std::string("Other\0", 6)},
      {"past-end-odd", Piece(Truncated(16, "ABCDE"))},
      {"past-end-even", Piece(Truncated(16, "ABCDEF"))},
      {"size-2-31", Piece(Truncated(0x80000000u, "ABCD"))},
      {"size-2-31", Piece(Truncated(0xFFFFFFFFu, "ABCD"))},
      {"names-phut", Piece(Block("8BIM", 2500, "Odd", "\x01\x02") + Block("PHUT", 1000, "", "AB") +
                           Block("8BIM", 2999, "", "~") + Block("8BIM", 1004, "ab", ""))},
      {"resolution", Piece(Resolution)},
      {"print", Piece(Print)},
      {"url", Piece(URLs)},
      {"halftone", Piece(Halftone)},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(RenderPage(C.Segment), Golden(std::string("photoshop/") + C.Golden + ".html"))
        << C.Golden;
}

TEST(AdobeResourceSegment, ThumbnailTable) {
  const std::string Jpeg = SmallJpeg(16, 8);
  const uint32_t J = uint32_t(Jpeg.size());
  const std::string Bytes = Piece(Block(1036, ThumbnailData(1, 16, 8, J, Jpeg)) +
                                  Block(1033, ThumbnailData(0, 2, 1, 0, "ABCDEF")));
  TTempDir Dir;
  std::string Expected = Golden("photoshop/thumbnail.html");
  for (const auto& [From, To] : {std::pair<std::string, std::string>{"@DIR@", Dir.Dir()},
                                 {"@SIZE@", std::to_string(Bytes.size())},
                                 {"@DATA@", std::to_string(28 + J)},
                                 {"@JPEG@", std::to_string(J)}})
    Expected = Replace(Expected, From, To);
  EXPECT_EQ(RenderPage(Bytes, Dir.Dir()), Expected);
}

// The old thumbnail (1033) holds its JPEG with red and blue exchanged; the new one does not.
TEST(AdobeResourceSegment, OldThumbnailExchangesRedAndBlue) {
  const TkivColor Stored{200, 40, 10};
  const std::string Jpeg = SmallJpeg(8, 8, &Stored);
  const auto Near = [](TkivColor A, TkivColor B) {
    return std::abs(A.R - B.R) <= 4 && std::abs(A.G - B.G) <= 4 && std::abs(A.B - B.B) <= 4;
  };
  for (uint16_t ID : {1036, 1033}) {
    auto Segment =
        LoadSegment(Piece(Block(ID, ThumbnailData(1, 8, 8, uint32_t(Jpeg.size()), Jpeg))));
    ASSERT_EQ(Segment->Blocks->Count(), 1);
    auto& Thumbnail = dynamic_cast<TkivAdobeThumbnailBlock&>(Segment->Blocks->Block(0));
    ASSERT_EQ(Thumbnail.Bitmap->Width(), 8);
    const TkivColor Shown = Thumbnail.Bitmap->GetPixel(3, 3);
    EXPECT_TRUE(Near(Shown, ID == 1033 ? TkivColor{10, 40, 200} : Stored))
        << ID << ": " << int(Shown.R) << " " << int(Shown.G) << " " << int(Shown.B);
    // The encoded bytes stay those of the segment.
    EXPECT_EQ(Thumbnail.GetDataSize(), 28 + Jpeg.size()) << ID;

    // A changed picture is encoded again in the block's own colour order.
    Thumbnail.Bitmap->SetPixel(0, 0, Shown);
    TMemoryStream Encoded;
    Thumbnail.Bitmap->WriteThumbnail(Encoded);
    Encoded.SetPosition(0);
    TkivJpegImage Again;
    TkivWorkBudget Budget;
    Again.LoadFromStream(Encoded, Budget);
    EXPECT_TRUE(Near(Again.Bitmap().GetPixel(3, 3), Stored)) << ID;
  }
}

TEST(AdobeResourceSegment, RegistriesChooseTheClass) {
  const struct {
    std::string Bytes;
    const TkivAdobeBlock::TClass* Class;
  } Cases[] = {
      {"8BIM" + Word(1005), &TkivAdobeResolutionInfoBlock::ClassObject()},
      {"8BIM" + Word(1033), &TkivAdobeThumbnailBlock::ClassObject()},
      {"8BIM" + Word(1036), &TkivAdobeThumbnailBlock::ClassObject()},
      {"8BIM" + Word(10000), &TkivAdobePrintFlagsInfoBlock::ClassObject()},
      {"8BIM" + Word(1028), &TkivAdobe8BIMBlock::ClassObject()},
      {"PHUT" + Word(1005), &TkivAdobePHUTBlock::ClassObject()},
      {"8BIX" + Word(1005), nullptr},
      {"8BIM\x03", nullptr},
      {"", nullptr},
  };
  for (const auto& C : Cases) {
    TMemoryStream Stream(C.Bytes);
    EXPECT_EQ(FindAdobeBlockClass(Stream), C.Class) << C.Bytes;
    EXPECT_EQ(Stream.GetPosition(), 0);
  }
  // The plain 8BIM class takes what no decoded class took, so it is asked last.
  EXPECT_EQ(&AdobeBlockClassList[AdobeBlockClassList.Count() - 1],
            &TkivAdobe8BIMBlock::ClassObject());

  // Among the segment classes: another identifier, or a length short of it, is the generic APP13.
  for (const auto& [Bytes, Class] :
       {std::pair<std::string, std::string>{Piece(""), "TkivJpegAdobeResourceSegment"},
        {"\xFF\xED" + Word(16) + std::string("Photoshop 3.1\0", 14), "TkivJpegAPPSegment13"},
        {"\xFF\xED" + Word(15) + std::string("Photoshop 3.0\0", 14), "TkivJpegAPPSegment13"}}) {
    TMemoryStream Stream(Bytes);
    const TkivSegment::TClass* Found = JpegSegmentClassList.FindReader(Stream);
    EXPECT_EQ(Found ? Found->ClassName() : "(none)", Class);
  }
}

TEST(AdobeResourceSegment, WritesItselfInPieces) {
  // One block that saves to 70000 bytes: three pieces of 32000, 32000 and 6000.
  std::string Data(70000 - 12, '\0');
  for (size_t I = 0; I < Data.size(); ++I)
    Data[I] = char(I * 7);
  auto Segment = LoadSegment(Piece(""));
  TMemoryStream Source(Block(1028, Data) + Block(1029, ""));
  Segment->Blocks->LoadFromStream(Source, true, Segment->WorkBudget());
  ASSERT_EQ(Segment->Blocks->Count(), 2);
  Segment->InitDefault();
  EXPECT_TRUE(Segment->Modified);
  const std::string Written = Segment->Data.ToString();
  ASSERT_EQ(Written.size(), 70000u + 3 * 18);
  EXPECT_EQ(Segment->GetSize(), int64_t(Written.size()));
  std::string Joined;
  size_t At = 0;
  for (size_t Payload : {32000u, 32000u, 6000u}) {
    EXPECT_EQ(Written.substr(At, 18), Piece(std::string(Payload, '\0')).substr(0, 18));
    Joined += Written.substr(At + 18, Payload);
    At += 18 + Payload;
  }
  // The block without data is left out.
  EXPECT_EQ(Joined, Block(1028, Data));

  // Read back: one segment of the three pieces, the block whole.
  auto Again = LoadSegment(Written + "\xFF\xD9");
  EXPECT_EQ(Again->Data.GetSize(), int64_t(Written.size()));
  ASSERT_EQ(Again->Blocks->Count(), 1);
  EXPECT_EQ(Again->Blocks->Block(0).Data.ToString(), Data);

  // No blocks, no pieces.
  auto Empty = LoadSegment(Piece(""));
  Empty->InitDefault();
  EXPECT_EQ(Empty->Data.GetSize(), 0);
  EXPECT_EQ(Empty->GetSize(), 0);
}

TEST(AdobeResourceSegment, DecodedBlocksSaveWhatTheyRead) {
  const std::string Jpeg = SmallJpeg(16, 8);
  const std::string Payload =
      Block(10000, Hex("00 01 01 07 00 00 0F 1E 00 02")) +
      Block(1005, Hex("00 48 80 00 00 01 00 02 FF FF 80 00 00 02 00 01")) +
      Block(1006, Hex("03 52 65 64 05 47 72 65 65 6E")) + Block(1009, Hex("00 02 40 00 00 07")) +
      Block(1011, Hex("01 00 01 00 00 00 00 01 01")) +
      Block(1013, Screen("00 35 00 00", 1, "FF 4C 00 00", -3, 9, true, false) +
                      std::string(54, '\x01') + "xyz") +
      Block(1016, Curves({SavedCurve, NoPoints, SavedCurve, NoPoints})) +
      Block(1032, Long(1) + Long(10) + Long(20) + Long(1) + Long(300) + '\1') +
      Block(1034, "\x01") + Block(1035, "http://example.com/") +
      Block(1036, ThumbnailData(1, 16, 8, uint32_t(Jpeg.size()), Jpeg)) + Block(1037, Long(45)) +
      Block(1045, Hex("00 00 00 02 00 41 00 42")) + Block(1049, Long(30)) +
      Block("PHUT", 1000, "n", "AB") + Block("8BIM", 1028, "", "IPTC");
  auto Segment = LoadSegment(Piece(Payload));
  ASSERT_EQ(Segment->Blocks->Count(), 16);
  for (int32_t I = 0; I < Segment->Blocks->Count(); ++I)
    EXPECT_FALSE(Segment->Blocks->Block(I).ReadError) << I;
  EXPECT_EQ(Segment->Blocks->GetSize(), int64_t(Payload.size()));
  Segment->InitDefault();
  EXPECT_EQ(Segment->Data.ToString(), Piece(Payload));
}

TEST(AdobeResourceSegment, CountsLargerThanTheData) {
  // Promised names and guides that the data cannot hold end in a read error at the data's
  // end, holding what was there.
  auto Segment =
      LoadSegment(Piece(Block(1045, Hex("00 00 00 01 00 41") + Long(0xFFFFFFFF) + Hex("00 42")) +
                        Block(1032, Long(1) + Long(576) + Long(576) + Long(0xFFFFFFFF) + Long(7) +
                                        '\1' + Long(8) + '\0' + "xy") +
                        IPTC));
  ASSERT_EQ(Segment->Blocks->Count(), 3);
  auto& Names = dynamic_cast<TkivAdobeUnicodeAlphaChannelNamesBlock&>(Segment->Blocks->Block(0));
  EXPECT_TRUE(Names.ReadError);
  EXPECT_EQ(Names.Strings, std::vector<std::string>{"A"});
  auto& Guides = dynamic_cast<TkivAdobeGridGuidesInfoBlock&>(Segment->Blocks->Block(1));
  EXPECT_TRUE(Guides.ReadError);
  ASSERT_EQ(Guides.Count(), 2u);
  EXPECT_EQ(Guides.Guides[1].Location, 8u);
  EXPECT_EQ(Guides.GetDataSize(), 26u);
  // The records were whole, so the next block is read.
  EXPECT_FALSE(Segment->Blocks->Block(2).ReadError);
}

TEST(AdobeResourceSegment, TablesShowAFixedNumberOfBlocksAndValues) {
  const auto Occurrences = [](const std::string& Page, const std::string& Text) {
    size_t N = 0;
    for (size_t At = Page.find(Text); At != std::string::npos; At = Page.find(Text, At + 1))
      ++N;
    return N;
  };
  // A megabyte of empty blocks in consecutive pieces, then two bytes that no block takes: the
  // blocks past those a table shows are passed over and counted, and the bytes still found.
  std::string Empty;
  for (int I = 0; I < 5459; ++I)
    Empty += Block(1024, "");
  std::string Pieces;
  for (int P = 0; P < 16; ++P)
    Pieces += Piece(P < 15 ? Empty : Empty + "\x01\x02");
  std::string Page = RenderPage(Pieces);
  EXPECT_EQ(Occurrences(Page, "<TD ROWSPAN=1>LayerStateInfo?</TD>"), 4096u);
  const size_t Note = Page.find("<TD COLSPAN=4>83248 blocks not shown: one report shows at most "
                                "4096 blocks</TD>");
  EXPECT_NE(Note, std::string::npos);
  EXPECT_LT(Note, Page.find("Extra info"));
  EXPECT_LT(Page.size(), size_t(2) << 20);

  // Guides, flags and names share what a table shows, across pieces of a thousand bytes; a
  // block that left values out saves its data as read.
  std::string Guides = Long(1) + Long(576) + Long(576) + Long(13000);
  for (int I = 0; I < 13000; ++I)
    Guides += Hex("00 00 01 00 01");
  const std::string Payload = Block(1032, Guides) + Block(1011, std::string(20, '\1')) +
                              Block(1006, "\x01"
                                          "A"
                                          "\x01"
                                          "B");
  Pieces.clear();
  for (size_t At = 0; At < Payload.size(); At += 1000)
    Pieces += Piece(Payload.substr(At, 1000));
  auto Segment = LoadSegment(Pieces);
  ASSERT_EQ(Segment->Blocks->Count(), 3);
  auto& Grid = dynamic_cast<TkivAdobeGridGuidesInfoBlock&>(Segment->Blocks->Block(0));
  EXPECT_FALSE(Grid.ReadError);
  ASSERT_EQ(Grid.Guides.size(), 10000u);
  EXPECT_EQ(Grid.Guides.back().Location, 256u);
  EXPECT_EQ(Grid.Count(), 13000u);
  EXPECT_EQ(Grid.GetDataSize(), 16u + 5 * 13000);
  EXPECT_EQ(Segment->Blocks->Block(1).GetDataSize(), 20u);
  EXPECT_EQ(Segment->Blocks->Block(2).ValuesLeftOut, 2);
  EXPECT_EQ(Segment->WorkBudget().Taken(TkivWork::Entries), 3);
  EXPECT_EQ(Segment->WorkBudget().Taken(TkivWork::Values), 10000);
  TMemoryStream Saved;
  Segment->Blocks->SaveToStream(Saved);
  EXPECT_EQ(Saved.ToString(), Payload);
  Page = RenderPage(Pieces);
  EXPECT_EQ(Occurrences(Page, "<TD>Horizontal</TD>"), 10000u);
  for (const char* Text : {"<TD COLSPAN=3>3000 guides not shown: ",
                           "<TD COLSPAN=2>12 flags not shown: ", "<TD>2 names not shown: "})
    EXPECT_EQ(Occurrences(Page, std::string(Text) + "one report shows at most 10000 guides, "
                                                    "flags and names</TD>"),
              1u)
        << Text;

  // Resource segments apart in one file share what the report shows.
  std::string Apart;
  for (int I = 0; I < 3000; ++I)
    Apart += Block(1024, "");
  TMemoryStream File(Hex("FF D8") + Piece(Apart) + Hex("FF FE 00 03 78") + Piece(Apart) +
                     Hex("FF D9"));
  std::unique_ptr<TkivSegmentList> List = FindSegmentListClass(File)->Create();
  List->LoadFromStream(File);
  TkivHTMLHTML Document;
  List->WriteHTML(Document.Body());
  Page = Html(Document);
  EXPECT_EQ(Occurrences(Page, "<TD ROWSPAN=1>LayerStateInfo?</TD>"), 4096u);
  EXPECT_EQ(Occurrences(Page, ">1904 blocks not shown: "), 1u);

  // Blocks past the report's entries are passed over as well, a cut one to the data's end.
  for (const auto& [Bytes, Trailing] :
       {std::pair<std::string, std::string>{IPTC + IPTC + IPTC + "xy", "xy"},
        {IPTC + IPTC + Truncated(0x80000000u, "ABCD"), ""}}) {
    TkivWorkBudget Budget;
    Budget.Take(TkivWork::Entries, TkivWorkBudget::MaxEntries - 2);
    TkivAdobeBlockList List;
    TMemoryStream Stream(Bytes);
    List.LoadFromStream(Stream, true, Budget);
    EXPECT_EQ(List.Count(), 2);
    EXPECT_EQ(List.BlocksLeftOut, 1);
    EXPECT_EQ(List.TrailingData.ToString(), Trailing);
  }
}

TEST(AdobeResourceSegment, NumberAndNameTexts) {
  const struct {
    uint32_t Fixed;
    int Digits;
    const char* Text;
  } Fixed[] = {
      {0x00480000, 3, "72"},   {0x00488000, 3, "72.5"},   {0x012C2000, 3, "300.125"},
      {0xFFFF8000, 3, "-0.5"}, {0xFF4C0000, 4, "-180"},   {0x0048FFFF, 3, "73"}, // the carry
      {0xFFFFFFFF, 3, "0"},    {0x00001000, 4, "0.0625"}, {0x00001000, 3, "0.063"},
  };
  for (const auto& C : Fixed)
    EXPECT_EQ(FormatFixed(TkivAdobeFixed(C.Fixed), C.Digits), C.Text) << C.Text;
  EXPECT_EQ(FixedToFloat(TkivAdobeFixed(0xFFFF8000)), -0.5L);
  EXPECT_EQ(FloatToFixed(72.0L), 0x00480000);
  EXPECT_EQ(FormatReal(2, 50.0L), "50");
  EXPECT_EQ(FormatReal(3, 12.25L), "12.25");
  EXPECT_EQ(FormatReal(3, 1200 / 10.0L), "120");
  EXPECT_EQ(UnitName(0), "0 (cannot decode)");
  EXPECT_EQ(ShapeName(5), "5 (cannot decode)");
  EXPECT_EQ(ShapeName(-1), "-1 (cannot decode)");
  EXPECT_EQ(ThumbnailFormatName(2), "2 (cannot decode)");
  // The name table is in ascending order of ID, one record each.
  EXPECT_EQ(std::adjacent_find(AdobeResourceNames.begin(), AdobeResourceNames.end(),
                               [](const auto& A, const auto& B) { return A.ID >= B.ID; }),
            AdobeResourceNames.end());
}

namespace {

struct TCorpusResource {
  std::string Name;
  std::string Bytes;
};

// The Photoshop resource segments of the corpus, told by their bytes.
std::vector<TCorpusResource> CorpusResourceSegments() {
  std::vector<TCorpusResource> Result;
  const auto Root = CorpusDir();
  if (Root.empty() || !std::filesystem::is_directory(Root / "segments")) return Result;
  for (const auto& F : std::filesystem::recursive_directory_iterator(Root / "segments")) {
    const std::string Bytes = F.is_regular_file() ? ReadFileBytes(F.path()) : "";
    if (Bytes.size() >= 18 && Bytes.compare(0, 2, "\xFF\xED") == 0 &&
        Bytes.compare(4, 14, std::string("Photoshop 3.0\0", 14)) == 0)
      Result.push_back({F.path().parent_path().filename().string(), Bytes});
  }
  return Result;
}

// exiftool's tab-separated columns, by the file name in the first column.
std::map<std::string, std::vector<std::string>> ExifToolTable(const std::string& Arguments) {
  std::map<std::string, std::vector<std::string>> Rows;
  if (FILE* P = popen(("exiftool -n -T -f -FileName " + Arguments + " 2>/dev/null").c_str(), "r")) {
    char Line[4096];
    while (std::fgets(Line, sizeof Line, P)) {
      std::istringstream In(std::string(Line, std::strcspn(Line, "\n")));
      std::vector<std::string> Columns;
      for (std::string Column; std::getline(In, Column, '\t');)
        Columns.push_back(Column);
      if (!Columns.empty()) Rows[Columns[0]].assign(Columns.begin() + 1, Columns.end());
    }
    pclose(P);
  }
  return Rows;
}

} // namespace

TEST(AdobeResourceSegment, CorpusSegmentsDecodeWhole) {
  const auto Segments = CorpusResourceSegments();
  if (Segments.empty()) GTEST_SKIP() << "no corpus";
  for (const auto& S : Segments) {
    const std::string Page = RenderPage(S.Bytes);
    EXPECT_NE(Page.find("<H2>Adobe Photoshop Resource segment</H2>"), std::string::npos) << S.Name;
    EXPECT_EQ(Page.find("Read error"), std::string::npos) << S.Name;
    auto Segment = LoadSegment(S.Bytes);
    EXPECT_EQ(Segment->Data.GetSize(), int64_t(S.Bytes.size())) << S.Name;
    EXPECT_EQ(Segment->Blocks->TrailingData.GetSize(), 0) << S.Name;
  }
}

TEST(AdobeResourceSegment, CorpusValuesAgreeWithExifTool) {
  const auto Segments = CorpusResourceSegments();
  if (Segments.empty()) GTEST_SKIP() << "no corpus";
  if (std::system("command -v exiftool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no exiftool";
  std::string Files;
  std::map<std::string, const TCorpusResource*> ByFile;
  for (const auto& S : Segments)
    for (const char* Extension : {".jpg", ".jpeg"}) {
      const auto Jpeg = CorpusDir() / "jpeg" / (S.Name + Extension);
      if (!std::filesystem::exists(Jpeg)) continue;
      Files += " '" + Jpeg.string() + "'";
      ByFile[Jpeg.filename().string()] = &S;
    }
  if (ByFile.empty()) GTEST_SKIP() << "no corpus files";
  // One run for the resolutions, one to extract the thumbnails, one for their sizes.
  const auto Resolutions = ExifToolTable("-a -Photoshop:XResolution -Photoshop:DisplayedUnitsX "
                                         "-Photoshop:YResolution -Photoshop:DisplayedUnitsY" +
                                         Files);
  TTempDir Thumbnails;
  ASSERT_EQ(std::system(("exiftool -q -q -b -Photoshop:PhotoshopThumbnail -w '" + Thumbnails.Dir() +
                         "%f.jpg'" + Files + " >/dev/null 2>&1")
                            .c_str()),
            0);
  const auto Sizes = ExifToolTable("-ImageWidth -ImageHeight '" + Thumbnails.Dir() + "'");
  int Compared = 0;
  for (const auto& [File, S] : ByFile) {
    SCOPED_TRACE(File);
    ASSERT_EQ(Resolutions.count(File), 1u);
    const std::vector<std::string>& Tool = Resolutions.at(File);
    ASSERT_EQ(Tool.size(), 4u);
    auto Segment = LoadSegment(S->Bytes);
    const TkivAdobeResolutionInfoBlock* Resolution = nullptr;
    const TkivAdobeThumbnailBlock* Thumbnail = nullptr;
    for (int32_t I = Segment->Blocks->Count() - 1; I >= 0; --I) {
      TkivAdobeBlock& B = Segment->Blocks->Block(I);
      if (auto* R = dynamic_cast<TkivAdobeResolutionInfoBlock*>(&B)) Resolution = R;
      if (auto* T = dynamic_cast<TkivAdobeThumbnailBlock*>(&B)) Thumbnail = T;
    }
    EXPECT_EQ(Resolution != nullptr, Tool[0] != "-");
    if (Resolution && Tool[0] != "-") {
      // The report shows 3 decimals.
      EXPECT_NEAR(std::stod(FormatFixed(Resolution->hRes, 3)), std::stod(Tool[0]), 5e-4);
      EXPECT_EQ(std::to_string(Resolution->hResUnit), Tool[1]);
      EXPECT_NEAR(std::stod(FormatFixed(Resolution->vRes, 3)), std::stod(Tool[2]), 5e-4);
      EXPECT_EQ(std::to_string(Resolution->vResUnit), Tool[3]);
      ++Compared;
    }
    const auto Size = Sizes.find(File);
    EXPECT_EQ(Thumbnail != nullptr, Size != Sizes.end());
    if (Thumbnail && Size != Sizes.end()) {
      const std::vector<std::string> Shown = {std::to_string(Thumbnail->Bitmap->Width()),
                                              std::to_string(Thumbnail->Bitmap->Height())};
      EXPECT_EQ(Shown, Size->second);
      EXPECT_EQ(Shown, (std::vector<std::string>{std::to_string(Thumbnail->Width),
                                                 std::to_string(Thumbnail->Height)}));
      ++Compared;
    }
  }
  EXPECT_GT(Compared, 0);
}
