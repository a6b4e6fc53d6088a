// The extended report's hook and its gathering of data split over several segments, with
// decoders of the test's own that show what they are handed.

#include <gtest/gtest.h>

#include <cstring>

#include "extended/kivExtendedReport.h"
#include "framework/kivInfoStream.h"
#include "host/kivReportPipeline.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegTestSupport.h"
#include "kivInfoText.h"
#include "support/kivTestSupport.h"

using namespace kivTest;

namespace {

// What the decoder is handed: whether the payload is whole, where the segment stands, the
// payload itself.
void Echo(const TkivExtendedInput& Input, TkivDescription& Out) {
  Out.Field("Whole", Input.Whole ? "yes" : "no");
  Out.Field("Index", Input.Index);
  Out.Field("Data", ReadString(Input.Payload, BytesLeft(Input.Payload)));
}

// Reads one byte and leaves the rest.
void ReadsOne(const TkivExtendedInput& Input, TkivDescription& Out) {
  Out.Field("First", ReadByte(Input.Payload));
}

// Asks for more than there is.
void ReadsTooMuch(const TkivExtendedInput& Input, TkivDescription& Out) {
  Out.Field("First", ReadByte(Input.Payload));
  ReadLong(Input.Payload, true);
}

void Stops(const TkivExtendedInput&, TkivDescription&) {
  throw EkivDescribeError("The table declares 300 codes");
}

// Key, place and total, a byte each.
bool ReadTestPiece(TStream& Payload, TkivPiece& Piece) {
  Piece.Key = std::string(1, char(ReadByte(Payload)));
  Piece.Place = ReadByte(Payload);
  Piece.Total = ReadByte(Payload);
  Piece.DataStart = 3;
  return Piece.Key != "-";
}

const TkivExtendedDecoder TestDecoders[] = {
    {0xEF, "SEQ", "By sequence", Echo, TkivPieceOrder::BySequence, ReadTestPiece},
    {0xEF, "OFF", "By offset", Echo, TkivPieceOrder::ByOffset, ReadTestPiece},
    {0xEF, "ORD", "In file order", Echo, TkivPieceOrder::InFileOrder},
    {0xEF, "ONE", "Alone", Echo},
    {0xEF, "LEFT", "Reads one", ReadsOne},
    {0xEF, "SHORT", "Reads too much", ReadsTooMuch},
    {0xEF, "STOP", "Stops", Stops},
};

const TkivExtendedDecoder* FindTestDecoder(const uint8_t* Segment, int64_t Size) {
  for (const TkivExtendedDecoder& D : TestDecoders)
    if (Size >= 4 + int64_t(D.Identifier.size()) && Segment[1] == D.Marker &&
        std::memcmp(Segment + 4, D.Identifier.data(), D.Identifier.size()) == 0)
      return &D;
  return nullptr;
}

std::string App15(const std::string& Payload) {
  return Segment(0xEF, Payload);
}

// A piece: identifier, key, place, total, data.
std::string Piece(const char* Id, char Key, int Place, int Total, const std::string& Data) {
  return App15(std::string(Id) + Key + char(Place) + char(Total) + Data);
}

const std::string SOI = Hex("FF D8"), EOI = Hex("FF D9");

std::unique_ptr<TkivJpegFile> FileOf(const std::string& Segments) {
  auto List = std::make_unique<TkivJpegFile>();
  TMemoryStream Stream(SOI + Segments + EOI);
  List->LoadFromStream(Stream);
  return List;
}

// The extended items each segment's tree gets, one text per segment that has any.
std::vector<std::string> ExtendedTrees(TkivJpegFile& List, TkivExtendedReport& Report) {
  std::vector<std::string> Trees;
  for (int32_t I = 0; I < List.Count(); ++I) {
    TkivSegment& Segment = List.Segment(I);
    const int32_t Before = Segment.Info->Count();
    Report.FillSegmentInfo(Segment);
    std::string Text;
    for (int32_t C = Before; C < Segment.Info->Count(); ++C)
      Text += InfoTreeText(Segment.Info->GetChild(C));
    if (!Text.empty()) Trees.push_back(std::to_string(I) + " " + Text);
  }
  return Trees;
}

std::vector<std::string> ExtendedTrees(const std::string& Segments) {
  auto List = FileOf(Segments);
  TkivExtendedReport Report(List.get(), FindTestDecoder);
  return ExtendedTrees(*List, Report);
}

using TTrees = std::vector<std::string>;

TEST(ExtendedReport, PiecesMakeOneWholeDescribedAfterTheFirst) {
  const struct {
    const char* Name;
    std::string Segments;
    TTrees Expected;
  } Cases[] = {
      {"by sequence, out of order",
       Piece("SEQ", 'a', 2, 3, "bb") + Piece("SEQ", 'a', 1, 3, "aa") +
           Piece("SEQ", 'a', 3, 3, "cc"),
       {"1 By sequence:\n  Pieces: 3 (joined from segments 2, 1 and 3)\n  Whole: yes\n"
        "  Index: 1\n  Data: aabbcc\n",
        "2 By sequence:\n  Piece: 1 of 3 (the whole is described after segment 1)\n",
        "3 By sequence:\n  Piece: 3 of 3 (the whole is described after segment 1)\n"}},
      {"a repeated piece and one beyond the total",
       Piece("SEQ", 'a', 1, 2, "aa") + Piece("SEQ", 'a', 1, 2, "xx") +
           Piece("SEQ", 'a', 3, 2, "zz") + Piece("SEQ", 'a', 2, 2, "bb"),
       {"1 By sequence:\n  Pieces: 2 (joined from segments 1 and 4)\n"
        "  Problem: Piece 1 appears more than once; the first is used\n"
        "  Problem: Piece 3 lies outside 1 to 2 and is not used\n"
        "  Whole: yes\n  Index: 1\n  Data: aabb\n",
        "2 By sequence:\n  Piece: 1 of 2 (the whole is described after segment 1)\n",
        "3 By sequence:\n  Piece: 3 of 2 (the whole is described after segment 1)\n",
        "4 By sequence:\n  Piece: 2 of 2 (the whole is described after segment 1)\n"}},
      {"two keys, two wholes; pieces that say no total",
       Piece("SEQ", 'a', 1, 0, "a1") + Piece("SEQ", 'b', 1, 0, "b1") +
           Piece("SEQ", 'a', 2, 0, "a2"),
       {"1 By sequence:\n  Pieces: 2 (joined from segments 1 and 3)\n  Whole: yes\n"
        "  Index: 1\n  Data: a1a2\n",
        "2 By sequence:\n  Pieces: 1 (joined from segments 2)\n  Whole: yes\n  Index: 2\n"
        "  Data: b1\n",
        "3 By sequence:\n  Piece: 2 (the whole is described after segment 1)\n"}},
      {"by offset, overlapping",
       Piece("OFF", 'k', 3, 6, "DEF") + Piece("OFF", 'k', 0, 6, "ABCD") +
           Piece("OFF", 'k', 1, 6, "BC"),
       {"1 By offset:\n  Pieces: 2 (joined from segments 2 and 1)\n"
        "  Problem: The piece at offset 1 repeats bytes of the pieces before it and is not used\n"
        "  Problem: The piece at offset 3 overlaps the one before it by 1 bytes; those are "
        "taken from the one before\n"
        "  Whole: yes\n  Index: 1\n  Data: ABCDEF\n",
        "2 By offset:\n  Piece: bytes from 0 (the whole is described after segment 1)\n",
        "3 By offset:\n  Piece: bytes from 1 (the whole is described after segment 1)\n"}},
      {"in file order, apart or not",
       App15("ORDab") + App15("ONEx") + App15("ORDcd"),
       {"1 In file order:\n  Pieces: 2 (joined from segments 1 and 3)\n  Whole: yes\n"
        "  Index: 1\n  Data: abcd\n",
        "2 Alone:\n  Whole: yes\n  Index: 2\n  Data: x\n",
        "3 In file order:\n  Piece: 2 of 2 (the whole is described after segment 1)\n"}},
  };
  for (const auto& Case : Cases)
    EXPECT_EQ(ExtendedTrees(Case.Segments), Case.Expected) << Case.Name;
}

TEST(ExtendedReport, AWholeThatLacksPiecesIsDescribedPieceByPiece) {
  const struct {
    const char* Name;
    std::string Segments;
    TTrees Expected;
  } Cases[] = {
      {"a missing piece",
       Piece("SEQ", 'a', 1, 4, "aa") + Piece("SEQ", 'a', 3, 4, "cc"),
       {"1 By sequence:\n"
        "  Problem: The pieces do not make the whole, so each is described alone\n"
        "  Problem: Missing: piece 2\n  Problem: Missing: piece 4\n"
        "  Whole: no\n  Index: 1\n  Data: a\\x01\\x04aa\n",
        "2 By sequence:\n  Whole: no\n  Index: 2\n  Data: a\\x03\\x04cc\n"}},
      {"a gap and a missing end; totals that differ",
       Piece("OFF", 'k', 0, 9, "AB") + Piece("OFF", 'k', 4, 8, "EF"),
       {"1 By offset:\n"
        "  Problem: The pieces do not make the whole, so each is described alone\n"
        "  Problem: The pieces declare different totals: 9 and 8; the first piece's is used\n"
        "  Problem: Missing: bytes 2 to 3\n  Problem: Missing: bytes 6 to 8\n"
        "  Whole: no\n  Index: 1\n  Data: k\\x00\\x09AB\n",
        "2 By offset:\n  Whole: no\n  Index: 2\n  Data: k\\x04\\x08EF\n"}},
      {"no piece at all",
       App15("SEQ-xy"),
       {"1 By sequence:\n  Whole: no\n  Index: 1\n  Data: -xy\n"}},
  };
  for (const auto& Case : Cases)
    EXPECT_EQ(ExtendedTrees(Case.Segments), Case.Expected) << Case.Name;
}

TEST(ExtendedReport, JoiningCostsWhatThePiecesHoldOnTheBudget) {
  const std::string Segments = Piece("SEQ", 'a', 1, 2, "aaaa") + Piece("SEQ", 'a', 2, 2, "bbbb");
  auto List = FileOf(Segments);
  TkivWorkBudget& Budget = List->WorkBudget();
  Budget.Take(TkivWork::BytesCopied, TkivWorkBudget::MaxBytesCopied - 7);
  TkivExtendedReport Report(List.get(), FindTestDecoder);
  EXPECT_EQ(ExtendedTrees(*List, Report)[0],
            "1 By sequence:\n  Pieces: 2 (joined from segments 1 and 2)\n"
            "  Problem: Not joined: the pieces' 8 bytes are more than this report has left for "
            "copies\n");
  auto Fresh = FileOf(Segments);
  TkivExtendedReport Again(Fresh.get(), FindTestDecoder);
  ExtendedTrees(*Fresh, Again);
  EXPECT_EQ(Fresh->WorkBudget().Taken(TkivWork::BytesCopied), 8);
}

TEST(ExtendedReport, WhatADecoderLeavesOrCannotRead) {
  EXPECT_EQ(ExtendedTrees(App15("LEFT" + Hex("01 02 03")) + App15("SHORT" + Hex("07 08")) +
                          App15("STOP")),
            (TTrees{"1 Reads one:\n  First: 1\n  Not decoded: 2 bytes\n",
                    "2 Reads too much:\n  First: 7\n"
                    "  Problem: The data ends inside a field; what the description shows was "
                    "read before\n",
                    "3 Stops:\n  Problem: The table declares 300 codes\n"}));
}

TEST(ExtendedReport, ASegmentAloneHasItsPieceAlone) {
  const std::string Bytes = Piece("SEQ", 'a', 2, 3, "bb");
  TMemoryStream Stream(Bytes);
  std::unique_ptr<TkivSegment> Segment = JpegSegmentClassList.FindReader(Stream)->Create();
  Segment->LoadFromStream(Stream);
  TkivExtendedReport Report(nullptr, FindTestDecoder);
  Report.FillSegmentInfo(*Segment);
  const TkivTreeItem& Item = Segment->Info->GetChild(Segment->Info->Count() - 1);
  EXPECT_EQ(InfoTreeText(Item), "By sequence:\n  Whole: no\n  Index: -1\n  Data: a\\x02\\x03bb\n");
}

TEST(ExtendedReport, MarkerSegmentsInsideASegmentsBytes) {
  const struct {
    std::string Bytes;
    std::vector<std::pair<int64_t, int64_t>> Found;
  } Cases[] = {
      {Hex("FF E1 00 03 41 FF E1 00 02"), {{0, 5}, {5, 4}}},
      {Hex("FF E1 00 09 41"), {{0, 5}}},             // cut short
      {Hex("FF E1 00 01 41 42"), {}},                // a length below its own two bytes
      {Hex("FF D8 FF E1 00 02"), {}},                // a marker without a length first
      {Hex("FF E1 00 02 00 FF E1 00 02"), {{0, 4}}}, // bytes that start no segment
      {Hex("FF E1 00"), {}},
  };
  for (const auto& Case : Cases) {
    TMemoryStream Stream(Case.Bytes);
    Stream.SetPosition(1);
    EXPECT_EQ(MarkerSegmentsIn(Stream), Case.Found);
    EXPECT_EQ(Stream.GetPosition(), 1);
  }
}

TEST(ExtendedReport, PagesWithAndWithoutTheExtendedParts) {
  // The table's own decoder of restart intervals stands in for all of them here.
  const std::string Dri = Hex("FF DD 00 04 00 08");
  const std::string Viewer = RenderPage(Dri);
  const std::string Part = "<H3>Restart interval</H3>\r      <TABLE BORDER=1 CELLPADDING=5>\r\r"
                           "        <TR>\r<TD>Restart interval</TD><TD>8</TD>"
                           "<TD>MCUs between restart markers</TD>        </TR>\r      </TABLE>\r";
  std::unique_ptr<TkivSegment> Segment;
  TMemoryStream Stream(Dri);
  std::string Page;
  ASSERT_EQ(LoadSegment(Stream, Segment, [&](TMemoryStream& Html) { Page = Html.ToString(); },
                        {.Extended = true}),
            TkivLoadResult::Shown);
  std::string Expected = Viewer;
  Expected.insert(Expected.find("    </BODY>"), Part);
  EXPECT_EQ(Page, Expected);
  TMemoryStream Off;
  WriteReportPage(*Segment, Off, {.Extended = false});
  EXPECT_EQ(Off.ToString(), Viewer);

  // In a whole file after the segment's report; the list keeps no hook once the page is done.
  auto List = FileOf(Dri);
  TMemoryStream Whole, Plain;
  WriteListPage(*List, Whole, {.Extended = true});
  EXPECT_EQ(List->ReportExtension, nullptr);
  WriteListPage(*List, Plain);
  std::string WithPart = Plain.ToString();
  WithPart.insert(WithPart.find("<A NAME=\"segment2\">"), Part);
  EXPECT_EQ(WithoutSummary(Whole.ToString()), WithPart);
}

} // namespace

TEST(ExtendedReport, EachImageOfAFileHasWholesOfItsOwn) {
  // A gain map after the primary, each with a profile of one piece: two wholes, no repeat.
  auto List = std::make_unique<TkivJpegFile>();
  TMemoryStream Stream(SOI + Piece("SEQ", 'a', 1, 1, "p") + EOI + SOI +
                       Piece("SEQ", 'a', 1, 1, "g") + EOI);
  List->LoadFromStream(Stream);
  ASSERT_EQ(List->Images.size(), 2u);
  TkivExtendedReport Report(List.get(), FindTestDecoder);
  EXPECT_EQ(ExtendedTrees(*List, Report),
            (TTrees{"1 By sequence:\n  Pieces: 1 (joined from segments 1)\n  Whole: yes\n"
                    "  Index: 1\n  Data: p\n",
                    "4 By sequence:\n  Pieces: 1 (joined from segments 4)\n  Whole: yes\n"
                    "  Index: 4\n  Data: g\n"}));
}
