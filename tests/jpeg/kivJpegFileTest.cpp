#include <gtest/gtest.h>

#include <regex>

#include "framework/kivFormat.h"
#include "host/kivReportPipeline.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegInfo.h"
#include "support/kivTestSupport.h"

using namespace kivTest;
namespace fs = std::filesystem;

namespace {

std::unique_ptr<TkivJpegFile> Walk(const std::string& Bytes) {
  TMemoryStream Stream(Bytes);
  auto List = std::make_unique<TkivJpegFile>();
  List->LoadFromStream(Stream);
  return List;
}

// "ShortName@offset+size" for each piece, offsets in hex and sizes in decimal; a file error adds
// "!" when bytes were lost, an entropy-coded piece its restart markers in brackets.
std::string Pieces(const TkivSegmentList& List) {
  std::string S;
  for (int32_t I = 0; I < List.Count(); ++I) {
    const TkivSegment& Piece = List.Segment(I);
    if (!S.empty()) S += ' ';
    S += Piece.ClassType().GetShortName() +
         Format("@%llX+%lld", static_cast<unsigned long long>(Piece.FileOffset),
                static_cast<long long>(Piece.FileSize));
    if (const auto* Error = dynamic_cast<const TkivJpegFileError*>(&Piece))
      S += Error->Lost ? "!" : "";
    if (const auto* Data = dynamic_cast<const TkivJpegEntropyData*>(&Piece))
      if (Data->RestartMarkers) S += Format("[%d]", Data->RestartMarkers);
  }
  return S;
}

std::string LastError(const TkivSegmentList& List) {
  const auto* Error = dynamic_cast<const TkivJpegFileError*>(&List.Segment(List.Count() - 1));
  return Error ? Error->Message : "(no error)";
}

const std::string SOI = Hex("FF D8"), EOI = Hex("FF D9");
const std::string DQT = Hex("FF DB 00 04 00 01");
const std::string DHT = Hex("FF C4 00 03 00");
const std::string SOS = Hex("FF DA 00 08 01 01 00 00 3F 00");

} // namespace

TEST(JpegFile, Walks) {
  struct TCase {
    const char* Name;
    std::string Bytes;
    const char* Expected;
  };
  const auto Hpsc = [](uint8_t Number) {
    return Hex("FF E4 00 2E") + "HPSC" + Hex("00000002 00000004 00000002 00000001") +
           Hex("000000") + char(Number) + Hex("00000002 00000001 00000000 80 00 80 FF 80 FF 80 00");
  };
  const std::string Office = Hex("FF E3 00 0E") + "MSOFFICE9.0" + Hex("01");
  const std::string Fpxr = Hex("FF E2 00 07") + "FPXR" + Hex("02");
  const TCase Cases[] = {
      // Stuffed zeros, restart markers and fill bytes stay in the entropy-coded data; a second
      // scan follows its tables; bytes after the end of image are trailing data.
      {"two scans",
       SOI + DQT + SOS + Hex("12 FF 00 34 FF D0 56 FF D1 78 FF FF") + DHT + SOS + Hex("AB CD") +
           EOI + Hex("00 11 22"),
       "Signature@0+2 DQT@2+6 SOS@8+10 ECS@12+12[2] DHT@1E+5 SOS@23+10 ECS@2D+2 EOI@2F+2 "
       "Trailer@31+3"},
      {"a chunk's worth of entropy data", SOI + SOS + std::string(70000, '\xFF') + EOI,
       "Signature@0+2 SOS@2+10 ECS@C+70000 EOI@1117C+2"},
      {"scan header right before the end", SOI + SOS + EOI, "Signature@0+2 SOS@2+10 EOI@C+2"},
      {"no end of image after the scan", SOI + SOS + Hex("01 02 03"),
       "Signature@0+2 SOS@2+10 ECS@C+3 Error@F+0"},
      {"no end of image, no scan", SOI + DQT, "Signature@0+2 DQT@2+6 Error@8+0"},
      {"garbage between segments", SOI + DQT + Hex("12 34") + DHT,
       "Signature@0+2 DQT@2+6 Error@8+0!"},
      {"fill bytes before a marker", SOI + Hex("FF FF") + DQT + EOI,
       "Signature@0+2 DQT@4+6 EOI@A+2"},
      {"markers without a length", SOI + Hex("FF D0 FF 01") + SOI + EOI,
       "Signature@0+2 RST0@2+2 TEM@4+2 Signature@6+2 EOI@8+2"},
      {"marker without a class", SOI + Hex("FF EA 00 04 41 42 FF 02 00 02") + EOI,
       "Signature@0+2 Data@2+6 Data@8+4 EOI@C+2"},
      {"segment cut short", SOI + Hex("FF DB 00 43 00 01 02"), "Signature@0+2 DQT@2+7 Error@2+0!"},
      {"header cut short", SOI + Hex("FF DB 00"), "Signature@0+2 Error@2+0!"},
      {"length below 2", SOI + Hex("FF DB 00 01 00") + EOI, "Signature@0+2 Error@2+0!"},
      {"stuffed zero outside a scan", SOI + Hex("FF 00") + EOI, "Signature@0+2 Error@2+0!"},
      {"empty file", "", "Error@0+0!"},
      {"only FF bytes", Hex("FF FF FF FF"), "Error@0+0!"},
      {"only FF bytes after the start", SOI + Hex("FF FF FF"), "Signature@0+2 Error@2+0!"},
      // HP thumbnails as far as their picture asks; MSOFFICE and FPXR while the pieces last.
      {"HP pieces", SOI + Hpsc(1) + Hpsc(2) + Hpsc(3) + EOI,
       "Signature@0+2 HPSC@2+96 HPSC@62+48 EOI@92+2"},
      {"MSOFFICE and FPXR pieces", SOI + Office + Office + Fpxr + Fpxr + Fpxr + DQT + EOI,
       "Signature@0+2 MSOFFICE9.0@2+32 FPXR@22+27 DQT@3D+6 EOI@43+2"},
  };
  for (const TCase& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    EXPECT_EQ(Pieces(*Walk(Case.Bytes)), Case.Expected);
  }
}

TEST(JpegFile, ClassesThatGatherPiecesTakeThemAll) {
  // Two Photoshop resource pieces in a row are one segment; the walk goes on after both.
  const std::string Piece =
      Hex("FF ED 00 14") + std::string("Photoshop 3.0\0", 14) + Hex("38 42 49 4D");
  const auto List = Walk(SOI + Piece + Piece + DQT + EOI);
  EXPECT_EQ(Pieces(*List), "Signature@0+2 Adobe resource@2+44 DQT@2E+6 EOI@34+2");
  EXPECT_EQ(List->Segment(1).Data.ToString(), Piece + Piece);
}

TEST(JpegFile, ErrorsSayWhatAndWhere) {
  EXPECT_EQ(LastError(*Walk(SOI + DQT + Hex("12 34") + DHT)),
            "the byte 12 stands where a segment should start; the remaining 7 bytes are not read");
  EXPECT_EQ(LastError(*Walk(SOI + Hex("FF DB 00 43 00 01 02"))),
            "the segment of marker FFDB is cut short: its length asks for 69 bytes, the file "
            "holds 7 bytes");
  EXPECT_EQ(LastError(*Walk(SOI + SOS + Hex("01"))),
            "the file ends inside the entropy-coded data, without an end-of-image marker");
  // The page says it in a red cell, with the offset.
  TMemoryStream Html;
  WriteListPage(*Walk(SOI + DQT + Hex("12 34")), Html);
  EXPECT_NE(Html.ToString().find("<TD BGCOLOR=\"Red\">At offset 0x00000008: the byte 12 stands"),
            std::string::npos);
}

TEST(JpegFile, TooManyPiecesEndTheWalk) {
  std::string Bytes = SOI;
  for (int I = 0; I < TkivJpegFile::MaxSegments + 5; ++I)
    Bytes += Hex("FF D0");
  const auto List = Walk(Bytes + EOI);
  ASSERT_EQ(List->Count(), TkivJpegFile::MaxSegments + 1);
  EXPECT_EQ(LastError(*List), Format("more than %d pieces; the remaining 14 bytes are not read",
                                     TkivJpegFile::MaxSegments));
}

TEST(JpegFile, ASegmentThatCannotBeReadKeepsItsBytesAndSaysWhy) {
  // An EXIF segment whose directory ends before its next-directory offset: its decoder
  // throws, as in the viewer, whose page then stays empty.
  const std::string Tiff = Hex("4D 4D 00 2A 00 00 00 08 00 00");
  const std::string Exif =
      Hex("FF E1 00") + char(2 + 6 + Tiff.size()) + std::string("Exif\0\0", 6) + Tiff;
  const auto List = Walk(SOI + Exif + EOI);
  EXPECT_EQ(Pieces(*List), "Signature@0+2 Data@2+20 Error@2+0 EOI@16+2");
  EXPECT_EQ(List->Segment(1).Data.ToString(), Exif);
  auto* Error = dynamic_cast<TkivJpegFileError*>(&List->Segment(2));
  ASSERT_NE(Error, nullptr);
  EXPECT_EQ(Error->Message, "the EXIF segment could not be read: Stream read error");
}

TEST(JpegFile, PageOfASmallFile) {
  auto List = Walk(SOI + Hex("FF DD 00 04 00 10 FF DA 00 02 01 02") + EOI + Hex("7A"));
  List->FileName = "tiny.jpg";
  TMemoryStream Html;
  WriteListPage(*List, Html);
  EXPECT_EQ(Html.ToString(), Golden("wholefile/tiny.html"));
}

TEST(JpegFile, GatheredPiecesAreDumpedWithinTheReportsBudget) {
  // Eighty consecutive FPXR pieces, read as one segment of more than 5 MiB: its hex dump and
  // its extra info stop where the report's budget for dumps ends, and say what they leave out.
  const std::string Piece = Hex("FF E2 FF FF") + "FPXR" + std::string(65529, '\x11');
  std::string Pieces;
  for (int I = 0; I < 80; ++I)
    Pieces += Piece;
  const auto List = Walk(SOI + Pieces + EOI);
  ASSERT_EQ(List->Segment(1).Data.GetSize(), int64_t(Pieces.size()));
  TMemoryStream Html;
  WriteListPage(*List, Html);
  const std::string Page = Html.ToString();
  const int64_t Shown = TkivWorkBudget::MaxBytesDumped, Size = int64_t(Pieces.size());
  // The start-of-image marker's two bytes were dumped first; the end-of-image's are left out.
  for (const int64_t Left : {Size - (Shown - 2), Size - 8, int64_t(2)})
    EXPECT_NE(Page.find(Format("<TD COLSPAN=3>%lld bytes not shown: one report shows at most "
                               "4194304 bytes as hex</TD>",
                               static_cast<long long>(Left))),
              std::string::npos)
        << Left;
  EXPECT_EQ(List->WorkBudget().Taken(TkivWork::BytesDumped), Shown);
  // About five bytes of page a byte shown, and nothing for those left out.
  EXPECT_LT(Html.GetSize(), 6 * Shown);
}

namespace {

// "offset+size marker", the marker "FFxx", or empty for entropy-coded and trailing data.
std::string Piece(int64_t Offset, int64_t Size, const std::string& Marker) {
  return Format("%llX+%lld %s", static_cast<unsigned long long>(Offset),
                static_cast<long long>(Size), Marker.c_str());
}

// A walk of our own over the bytes, as plain as it can be, to check the reader against.
std::vector<std::string> IndependentWalk(const std::string& B) {
  const auto At = [&](size_t I) { return static_cast<uint8_t>(B[I]); };
  std::vector<std::string> Pieces{Piece(0, 2, "FFD8")};
  size_t Pos = 2;
  while (Pos < B.size() && At(Pos) == 0xFF) {
    size_t Q = Pos;
    while (Q + 1 < B.size() && At(Q + 1) == 0xFF)
      ++Q;
    if (Q + 1 >= B.size()) break;
    const uint8_t M = At(Q + 1);
    const std::string Marker = Format("FF%02X", M);
    if (M == 0xD9) {
      Pieces.push_back(Piece(int64_t(Q), 2, Marker));
      if (Q + 2 < B.size()) Pieces.push_back(Piece(int64_t(Q + 2), int64_t(B.size() - Q - 2), ""));
      break;
    }
    if (M == 0x01 || (M >= 0xD0 && M <= 0xD8)) {
      Pieces.push_back(Piece(int64_t(Q), 2, Marker));
      Pos = Q + 2;
      continue;
    }
    if (Q + 4 > B.size()) break;
    const size_t L = size_t(At(Q + 2)) << 8 | At(Q + 3);
    Pieces.push_back(Piece(int64_t(Q), int64_t(std::min(B.size(), Q + 2 + L) - Q), Marker));
    Pos = Q + 2 + L;
    if (Pos > B.size()) break;
    if (M != 0xDA) continue;
    size_t E = Pos;
    while (E + 1 < B.size() && !(At(E) == 0xFF && At(E + 1) != 0 && At(E + 1) != 0xFF &&
                                 (At(E + 1) < 0xD0 || At(E + 1) > 0xD7)))
      ++E;
    if (E + 1 >= B.size()) E = B.size();
    if (E > Pos) Pieces.push_back(Piece(int64_t(Pos), int64_t(E - Pos), ""));
    Pos = E;
  }
  return Pieces;
}

std::vector<fs::path> CorpusJpegs() {
  std::vector<fs::path> Files;
  if (!CorpusDir().empty())
    for (const auto& Entry : fs::directory_iterator(CorpusDir() / "jpeg"))
      Files.push_back(Entry.path());
  std::sort(Files.begin(), Files.end());
  return Files;
}

// The report between the body's tags, with thumbnail files named alike.
std::string Normalised(const std::string& Html) {
  static const std::regex Thumbnail("SRC=\"file://[^\"]*kivBMP[0-9]+\\.bmp\"");
  return std::regex_replace(Html, Thumbnail, "SRC=\"file://kivBMP.bmp\"");
}

std::string BodyOf(const std::string& Page) {
  const size_t Start = Page.find("    <BODY>\r");
  const size_t End = Page.find("    </BODY>\r");
  if (Start == std::string::npos || End == std::string::npos) return "(no body)";
  return Page.substr(Start + 11, End - Start - 11);
}

} // namespace

// The real files walk as an independent walk does, and the page of each segment file of the
// corpus (from the start of image to the first scan header) is its section of the file's page.
TEST(JpegFile, CorpusFiles) {
  const auto Jpegs = CorpusJpegs();
  if (Jpegs.empty()) GTEST_SKIP() << "no corpus";
  TTempDir Thumbnails;
  for (const fs::path& Jpeg : Jpegs) {
    SCOPED_TRACE(Jpeg.filename().string());
    TFileStream File(Jpeg.string(), TFileMode::OpenRead);
    TkivJpegFile List;
    List.LoadFromStream(File);
    std::vector<std::string> Found;
    bool EndedWell = true;
    for (int32_t I = 0; I < List.Count(); ++I) {
      const TkivSegment& P = List.Segment(I);
      if (dynamic_cast<const TkivJpegFileError*>(&P))
        EndedWell = false;
      else
        Found.push_back(Piece(P.FileOffset, P.FileSize, TkivJpegFile::MarkerText(P)));
    }
    EXPECT_EQ(Found, IndependentWalk(ReadFileBytes(Jpeg)));
    // Only the file without an end-of-image marker says something is wrong.
    EXPECT_EQ(EndedWell, Jpeg.filename().string().find("beamerexample") == std::string::npos);

    TMemoryStream Html;
    kivInfo::SetTempDirectory(Thumbnails.Dir());
    WriteListPage(List, Html);
    const std::string Page = Normalised(Html.ToString());
    std::vector<fs::path> Files;
    for (const auto& Entry : fs::directory_iterator(CorpusDir() / "segments" / Jpeg.stem()))
      Files.push_back(Entry.path());
    std::sort(Files.begin(), Files.end());
    ASSERT_LE(Files.size(), size_t(List.Count()));
    for (size_t I = 0; I < Files.size(); ++I) {
      SCOPED_TRACE(Files[I].filename().string());
      const std::string Segment = ReadFileBytes(Files[I]);
      EXPECT_EQ(List.Segment(int32_t(I)).Data.ToString(), Segment);
      const size_t Start = Page.find(Format("<A NAME=\"segment%zu\"></A>", I));
      const size_t End = Page.find(Format("<A NAME=\"segment%zu\"></A>", I + 1));
      ASSERT_NE(Start, std::string::npos);
      ASSERT_NE(End, std::string::npos);
      const size_t From = Page.find("</A>", Start) + 4;
      EXPECT_EQ(Page.substr(From, End - From), Normalised(BodyOf(RenderPage(Segment))));
    }
  }
  kivInfo::SetTempDirectory({});
}
