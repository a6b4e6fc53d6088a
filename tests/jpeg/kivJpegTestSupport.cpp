#include "jpeg/kivJpegTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

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
  return Replace(Replace(Golden("jpeg/" + Name), "@DIR@", Dir.Dir()), "@SIZE@", Size);
}

void ExpectBmp(const TTempDir& Dir, int W, int H, const std::vector<TkivColor>& Colors,
               int Tolerance, int Number) {
  const auto Picture =
      DecodeBmpWithNetpbm(Dir.Path() / ("kivBMP" + std::to_string(Number) + ".bmp"));
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

std::vector<std::string> InfoNames(const TkivSegment& Segment) {
  std::vector<std::string> Names;
  for (int32_t I = 0; I < Segment.Info->Count(); ++I)
    Names.push_back(Segment.Info->GetChild(I).Name + "=" + Segment.Info->GetChild(I).Value);
  return Names;
}

} // namespace kivTest
