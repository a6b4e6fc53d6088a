#include "jpeg/kivJpegTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include "extended/kivExtendedReport.h"
#include "framework/kivJpegImage.h"
#include "jpeg/kivJpegInfo.h"
#include "kivInfoText.h"

namespace kivTest {

namespace {

std::string Replace(std::string S, const std::string& From, const std::string& To) {
  for (size_t At = S.find(From); At != std::string::npos; At = S.find(From, At + To.size()))
    S.replace(At, From.size(), To);
  return S;
}

bool Near(TkivColor A, TkivColor B, int Tolerance) {
  return std::abs(A.R - B.R) <= Tolerance && std::abs(A.G - B.G) <= Tolerance &&
         std::abs(A.B - B.B) <= Tolerance;
}

} // namespace

std::string Segment(uint8_t Marker, const std::string& Payload) {
  const size_t L = Payload.size() + 2;
  return std::string{char(0xFF), char(Marker), char(L >> 8), char(L & 0xFF)} + Payload;
}

std::string Render(const std::string& Bytes, const TTempDir& Dir) {
  kivInfo::SetKeepTempFiles(true);
  const std::string Page = RenderPage(Bytes, Dir.Dir());
  kivInfo::SetKeepTempFiles(false);
  return Page;
}

std::string Expected(const std::string& Name, const TTempDir& Dir, const std::string& Size) {
  return Replace(Replace(Golden(Name), "@DIR@", Dir.Dir()), "@SIZE@", Size);
}

void ExpectBmp(const TTempDir& Dir, int W, int H, const std::vector<TkivColor>& Colors,
               int Tolerance) {
  const auto Picture = DecodeBmpWithNetpbm(Dir.Path() / "kivBMP0.bmp");
  if (!Picture) {
    std::cout << "bmptopnm not installed: BMP contents not checked\n";
    return;
  }
  ASSERT_EQ(Picture->Width, W);
  ASSERT_EQ(Picture->Height, H);
  ASSERT_EQ(Colors.size(), size_t(W) * size_t(H));
  for (size_t I = 0; I < Colors.size(); ++I)
    if (!(Colors[I] == AnyColor)) {
      EXPECT_TRUE(Near(Picture->Pixels[I], Colors[I], Tolerance))
          << "pixel " << I << ": " << int(Picture->Pixels[I].R) << "," << int(Picture->Pixels[I].G)
          << "," << int(Picture->Pixels[I].B);
    }
}

void ExpectPages(const std::vector<TPageCase>& Cases) {
  for (const TPageCase& Case : Cases) {
    SCOPED_TRACE(Case.Golden);
    TTempDir Dir;
    EXPECT_EQ(Render(Case.Bytes, Dir),
              Expected(Case.Golden, Dir, std::to_string(Case.Bytes.size())));
    if (Case.W > 0)
      ExpectBmp(Dir, Case.W, Case.H, Case.Colors, Case.Tolerance);
    else
      EXPECT_TRUE(std::filesystem::is_empty(Dir.Path()));
  }
}

std::vector<TkivColor> Colors(std::vector<TkivColor> First, size_t Count, TkivColor Rest) {
  First.resize(Count, Rest);
  return First;
}

std::string JpegOf(int W, int H, const std::function<TkivColor(int, int)>& Pixel) {
  TkivDIBitmap Picture;
  Picture.SetSize(W, H);
  for (int Y = 0; Y < H; ++Y)
    for (int X = 0; X < W; ++X)
      Picture.SetPixel(X, Y, Pixel(X, Y));
  TkivJpegImage Image;
  Image.Assign(Picture);
  TMemoryStream Out;
  Image.SaveToStream(Out);
  return Out.ToString();
}

std::vector<TCorpusSegment> CorpusSegments() {
  std::vector<TCorpusSegment> Segments;
  if (CorpusDir().empty()) return Segments;
  for (const auto& File : std::filesystem::recursive_directory_iterator(CorpusDir() / "segments")) {
    if (!File.is_regular_file()) continue;
    const std::string Bytes = ReadFileBytes(File.path());
    TMemoryStream Stream(Bytes);
    Segments.push_back({File.path(), Bytes, JpegSegmentClassList.FindReader(Stream)});
  }
  std::sort(Segments.begin(), Segments.end(),
            [](const auto& A, const auto& B) { return A.Path < B.Path; });
  return Segments;
}

std::vector<std::string> InfoNames(const TkivSegment& Segment) {
  std::vector<std::string> Names;
  for (int32_t I = 0; I < Segment.Info->Count(); ++I)
    Names.push_back(Segment.Info->GetChild(I).Name + "=" + Segment.Info->GetChild(I).Value);
  return Names;
}

std::string ExtendedTree(TkivJpegFile& File, bool Numbered, const std::string& Only) {
  TkivExtendedReport Report(&File);
  std::string Text;
  for (int32_t I = 0; I < File.Count(); ++I) {
    TkivSegment& S = File.Segment(I);
    const int32_t Before = S.Info->Count();
    Report.FillSegmentInfo(S);
    for (int32_t C = Before; C < S.Info->Count(); ++C) {
      const TkivTreeItem& Part = S.Info->GetChild(C);
      if (!Only.empty() && Part.GetName() != Only) continue;
      if (Numbered) Text += std::to_string(I) + " ";
      Text += InfoTreeText(Part);
    }
  }
  return Text;
}

std::string ExtendedTree(const std::string& Bytes, bool Numbered, const std::string& Only) {
  TkivJpegFile File;
  TMemoryStream Stream(Bytes);
  File.LoadFromStream(Stream);
  File.Source = std::make_unique<TMemoryStream>(Bytes);
  return ExtendedTree(File, Numbered, Only);
}

} // namespace kivTest
