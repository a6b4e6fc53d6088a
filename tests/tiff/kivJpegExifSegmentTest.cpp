#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "framework/kivFormat.h"
#include "host/kivReportPipeline.h"
#include "jpeg/kivJpegTestSupport.h"
#include "tiff/kivJpegExifSegment2.h"
#include "tiff/kivTiffTestSupport.h"

using namespace kivTiffInfo2;
using namespace kivTiffTest;
using namespace kivTest;

namespace {

std::string ExifSegment(const std::string& AfterIdentifier) {
  return Segment(0xE1, std::string("Exif\0", 5) + AfterIdentifier);
}

} // namespace

TEST(ExifSegment, IsAskedBeforeTheGenericAPP1) {
  TMemoryStream In(ExifSegment(std::string("\0II*\0", 5)));
  EXPECT_EQ(JpegSegmentClassList.FindReader(In), &TkivJpegExifSegment::ClassObject());
  TMemoryStream NoNul(ExifSegment("").substr(0, 8) + "X\0II*\0");
  EXPECT_NE(JpegSegmentClassList.FindReader(NoNul), &TkivJpegExifSegment::ClassObject());
}

TEST(ExifSegment, ShortSegments) {
  // The pad byte and too little for a header: an empty structure.
  EXPECT_EQ(RenderPage(ExifSegment(std::string("\0II*\0", 5))), Golden("tiff/exif-empty.html"));
  // No pad byte: the load fails and the run shows nothing.
  TTempDir Dir;
  const auto File = Dir.Path() / "exif.MRK";
  WriteFileBytes(File, ExifSegment(""));
  std::unique_ptr<TkivSegment> Segment;
  bool Shown = false;
  EXPECT_EQ(LoadFile(File.string(), Segment, [&](TMemoryStream&) { Shown = true; }),
            TkivLoadResult::Failed);
  EXPECT_FALSE(Shown);
}

TEST(ExifSegment, IFD1JpegThumbnail) {
  const bool M = false;
  const std::string Jpeg = JpegOf(16, 8, [](int X, int Y) {
    return TkivColor{uint8_t(X * 16), uint8_t(Y * 32), 128};
  });
  // IFD0 at 8 (18 bytes), IFD1 at 26 (30 bytes), the picture at 56.
  const std::string Tiff =
      BuildTiff(M, {{{0x0112, ftShort, 1, W16(M, 1)}},
                    {{0x0103, ftShort, 1, W16(M, 6)}, {0x0201, ftLong, 1, W32(M, 56)}}}) +
      Jpeg;
  ASSERT_EQ(Tiff.size(), 56 + Jpeg.size());
  ExpectPages({{"tiff/exif-thumbnail.html", ExifSegment('\0' + Tiff), 16, 8, Colors({}, 16 * 8)}});

  // A picture offset past the end, or bytes that are no JPEG: no thumbnail.
  for (uint32_t Offset : {56u, 5000u}) {
    const std::string Broken =
        BuildTiff(M, {{{0x0201, ftLong, 1, W32(M, Offset)}}}) + std::string(40, '\x55');
    auto Segment = Load<TkivJpegExifSegment>(ExifSegment('\0' + Broken));
    ASSERT_EQ(Segment->Tiff->Count(), 1);
    EXPECT_EQ(Segment->Tiff->IFD(0).Thumbnail, nullptr);
  }
}

namespace {

struct TCorpusExif {
  std::string Name;
  std::string Bytes;
};

// The first APP1 segment of each corpus image that carries EXIF data.
std::vector<TCorpusExif> CorpusExifSegments() {
  std::vector<TCorpusExif> Result;
  for (const TCorpusSegment& File : CorpusSegments()) {
    const std::string Name = File.Path.parent_path().filename().string();
    if (File.Class == &TkivJpegExifSegment::ClassObject() &&
        File.Bytes.compare(4, 6, std::string("Exif\0\0", 6)) == 0 &&
        (Result.empty() || Result.back().Name != Name))
      Result.push_back({Name, File.Bytes});
  }
  return Result;
}

std::string CutNul(std::string S) {
  const size_t At = S.find('\0');
  if (At != std::string::npos) S.resize(At);
  return S;
}

std::string Trimmed(std::string S) {
  while (!S.empty() && static_cast<uint8_t>(S.back()) <= ' ')
    S.pop_back();
  size_t First = 0;
  while (First < S.size() && static_cast<uint8_t>(S[First]) <= ' ')
    ++First;
  return S.substr(First);
}

// exiftool's numeric values of the tags, one line each, "-" where a tag is missing.
std::vector<std::string> ExifTool(const std::filesystem::path& Jpeg) {
  const std::string Command =
      "exiftool -n -s3 -f -IFD0:Make -IFD0:Model -IFD0:ModifyDate -ExifIFD:ExposureTime "
      "-ExifIFD:FNumber -ExifIFD:ISO -IFD0:XResolution -IFD0:Orientation '" +
      Jpeg.string() + "' 2>/dev/null";
  std::vector<std::string> Lines;
  if (FILE* P = popen(Command.c_str(), "r")) {
    char Line[4096];
    while (std::fgets(Line, sizeof Line, P))
      Lines.push_back(Trimmed(Line));
    pclose(P);
  }
  return Lines;
}

const TkivTiffEntry* ExifIFDEntry(const TkivTiff& Tiff, uint16_t Tag) {
  if (Tiff.Count() == 0) return nullptr;
  const TkivTiffEntry* Offset = Tiff.IFD(0).FindEntry(0x8769);
  if (!Offset || Offset->Count() == 0) return nullptr;
  return Offset->IFD(0).FindEntry(Tag);
}

// The value text, or nothing when the formatter refused the entry.
std::optional<std::string> Text(const TkivTiffEntry* Entry) {
  if (!Entry) return std::nullopt;
  std::string S;
  if (Entry->GetValueText(S) == TFormatResult::Refused) return std::nullopt;
  return S;
}

} // namespace

TEST(ExifSegment, CorpusSegmentsRenderPages) {
  const auto Segments = CorpusExifSegments();
  if (Segments.empty()) GTEST_SKIP() << "no corpus";
  for (const auto& S : Segments) {
    const std::string Page = RenderPage(S.Bytes);
    EXPECT_NE(Page.find("<H2>EXIF segment</H2>"), std::string::npos) << S.Name;
    EXPECT_NE(Page.find("<TD>Entry</TD><TD>Tag</TD>"), std::string::npos) << S.Name;
  }
}

TEST(ExifSegment, CorpusValuesAgreeWithExifTool) {
  const auto Segments = CorpusExifSegments();
  if (Segments.empty()) GTEST_SKIP() << "no corpus";
  if (std::system("command -v exiftool >/dev/null 2>&1") != 0) GTEST_SKIP() << "no exiftool";
  int Compared = 0;
  for (const auto& S : Segments) {
    std::filesystem::path Jpeg = CorpusDir() / "jpeg" / (S.Name + ".jpg");
    if (!std::filesystem::exists(Jpeg)) Jpeg.replace_extension(".jpeg");
    if (!std::filesystem::exists(Jpeg)) continue;
    const auto Tool = ExifTool(Jpeg);
    ASSERT_EQ(Tool.size(), 8u) << S.Name;
    auto Segment = Load<TkivJpegExifSegment>(S.Bytes);
    const TkivTiff& Tiff = *Segment->Tiff;
    if (Tiff.Count() == 0) continue;
    const TkivTiffIFD& IFD0 = Tiff.IFD(0);
    // Each tag: both have it or neither; where ours has a text, it says what exiftool says.
    const auto Check = [&](const char* What, const TkivTiffEntry* Entry, const std::string& Tool,
                           const auto& Expected) {
      SCOPED_TRACE(S.Name + " " + What);
      if (Tool == "-") {
        EXPECT_EQ(Entry, nullptr);
        return;
      }
      ASSERT_NE(Entry, nullptr);
      if (const auto T = Text(Entry)) {
        EXPECT_EQ(*T, Expected(Tool));
        ++Compared;
      }
    };
    const auto Same = [](const std::string& V) { return V; };
    const auto Date = [](const std::string& D) {
      if (D.size() < 19) return D;
      std::string R = Format("%s/%s/%s", D.substr(5, 2).c_str(), D.substr(8, 2).c_str(),
                             D.substr(2, 2).c_str());
      if (D.substr(11, 8) != "00:00:00") R += Format(" %s", D.substr(11, 8).c_str());
      return R;
    };
    const auto Exposure = [](const std::string& V) {
      return Format("1/%lld sec", std::llround(1 / std::stod(V)));
    };
    const auto FNumber = [](const std::string& V) { return Format("F%.1f", std::stod(V)); };
    // The orientations the corpus holds.
    const auto Orientation = [](const std::string& V) -> std::string {
      return V == "1"   ? "No rotation, no flip"
             : V == "6" ? "Rotated 90 degrees clockwise, no flip"
                        : "orientation " + V + ", to be added here";
    };
    for (const auto& [Tag, Value] : {std::pair{0x010F, Tool[0]}, {0x0110, Tool[1]}})
      if (const TkivTiffEntry* Entry = IFD0.FindEntry(uint16_t(Tag)); Entry && Value != "-") {
        EXPECT_EQ(Trimmed(CutNul(Text(Entry).value_or(""))), Value) << S.Name << " " << Tag;
        ++Compared;
      }
    Check("DateTime", IFD0.FindEntry(0x0132), Tool[2], Date);
    Check("ExposureTime", ExifIFDEntry(Tiff, 0x829A), Tool[3], Exposure);
    Check("FNumber", ExifIFDEntry(Tiff, 0x829D), Tool[4], FNumber);
    Check("ISOSpeedRatings", ExifIFDEntry(Tiff, 0x8827), Tool[5], Same);
    // exiftool rounds to 10 significant digits.
    if (const auto X = Text(IFD0.FindEntry(0x011A)); X && Tool[6] != "-") {
      EXPECT_NEAR(std::stod(*X), std::stod(Tool[6]), 1e-6 * std::stod(Tool[6])) << S.Name;
    }
    Check("Orientation", IFD0.FindEntry(0x0112), Tool[7], Orientation);
  }
  EXPECT_GT(Compared, 0);
}
