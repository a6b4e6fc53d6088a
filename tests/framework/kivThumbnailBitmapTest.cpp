#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <jpeglib.h>

#include "framework/kiv1BytesPerPixelBitmap.h"
#include "framework/kiv3BytesPerPixelBitmap.h"
#include "framework/kivException.h"
#include "framework/kivHTML.h"
#include "framework/kivInfo.h"
#include "framework/kivInfoStream.h"
#include "framework/kivJpegBitmap.h"
#include "framework/kivJpegImage.h"
#include "support/kivTestSupport.h"

using namespace kivTest;

namespace {

constexpr TkivColor Red{255, 0, 0}, Green{0, 255, 0}, Blue{0, 0, 255}, Black{0, 0, 0};

template <class T>
std::unique_ptr<kivInfo::TBitmap> Read(const std::string& Bytes, int64_t* Left = nullptr) {
  auto Bitmap = T::ClassObject().Create();
  TMemoryStream Stream(Bytes);
  TkivWorkBudget Budget;
  Bitmap->ReadThumbnail(Stream, Budget);
  if (Left) *Left = BytesLeft(Stream);
  return Bitmap;
}

std::string Written(kivInfo::TBitmap& Bitmap) {
  TMemoryStream Out;
  Bitmap.WriteThumbnail(Out);
  return Out.ToString();
}

// A picture whose colour changes with position: 64 x 64 distinct colours.
std::unique_ptr<TkivDIBitmap> Gradient(int32_t W = 64, int32_t H = 64) {
  auto Picture = std::make_unique<TkivDIBitmap>();
  Picture->SetSize(W, H);
  for (int32_t Y = 0; Y < H; ++Y)
    for (int32_t X = 0; X < W; ++X)
      Picture->SetPixel(X, Y, {uint8_t(X * 4), uint8_t(Y * 4), uint8_t(255 - X * 2)});
  return Picture;
}

double MeanError(const TkivDIBitmap& A, const TkivDIBitmap& B) {
  double Sum = 0;
  for (int32_t Y = 0; Y < A.Height(); ++Y)
    for (int32_t X = 0; X < A.Width(); ++X) {
      const TkivColor P = A.GetPixel(X, Y), Q = B.GetPixel(X, Y);
      Sum += std::abs(P.R - Q.R) + std::abs(P.G - Q.G) + std::abs(P.B - Q.B);
    }
  return Sum / (3.0 * A.Width() * A.Height());
}

bool Near(TkivColor A, TkivColor B, int Tolerance = 12) {
  return std::abs(A.R - B.R) <= Tolerance && std::abs(A.G - B.G) <= Tolerance &&
         std::abs(A.B - B.B) <= Tolerance;
}

std::string EncodeJpeg(const TkivDIBitmap& Picture) {
  TkivJpegImage Image;
  Image.Assign(Picture);
  TMemoryStream Out;
  Image.SaveToStream(Out);
  return Out.ToString();
}

// A 16 x 16 JPEG through libjpeg itself, in a colour space of our choice, so that the
// decoder's colour conversions meet what other encoders write. Pixels are given per
// component as the file stores them.
std::string EncodeRaw(int Components, J_COLOR_SPACE In, J_COLOR_SPACE Stored,
                      const uint8_t* Pixel) {
  jpeg_compress_struct Info{};
  jpeg_error_mgr Err{};
  Info.err = jpeg_std_error(&Err);
  jpeg_create_compress(&Info);
  unsigned char* Buffer = nullptr;
  unsigned long Size = 0;
  jpeg_mem_dest(&Info, &Buffer, &Size);
  Info.image_width = 16;
  Info.image_height = 16;
  Info.input_components = Components;
  Info.in_color_space = In;
  jpeg_set_defaults(&Info);
  jpeg_set_colorspace(&Info, Stored);
  jpeg_set_quality(&Info, 95, TRUE);
  jpeg_start_compress(&Info, TRUE);
  std::vector<uint8_t> Row(16 * size_t(Components));
  for (size_t I = 0; I < Row.size(); ++I)
    Row[I] = Pixel[I % size_t(Components)];
  while (Info.next_scanline < 16) {
    JSAMPROW Rows[1] = {Row.data()};
    jpeg_write_scanlines(&Info, Rows, 1);
  }
  jpeg_finish_compress(&Info);
  jpeg_destroy_compress(&Info);
  std::string Bytes(reinterpret_cast<char*>(Buffer), Size);
  std::free(Buffer);
  return Bytes;
}

TkivColor DecodedCentre(const std::string& Jpeg) {
  TkivJpegImage Image;
  TMemoryStream Stream(Jpeg);
  TkivWorkBudget Budget;
  Image.LoadFromStream(Stream, Budget);
  TkivDIBitmap Canvas;
  Canvas.SetSize(Image.Width(), Image.Height());
  Image.Draw(Canvas, 0, 0);
  return Canvas.GetPixel(8, 8);
}

} // namespace

TEST(ThreeBytesPerPixelBitmap, ReadsPixelsAsFarAsTheDataGoes) {
  auto Full = Read<Tkiv3BytesPerPixelBitmap>(Hex("02 01 FF 00 00 00 FF 00"));
  EXPECT_EQ(Full->Width(), 2);
  EXPECT_EQ(Full->Height(), 1);
  EXPECT_EQ(Full->GetPixel(0, 0), Red);
  EXPECT_EQ(Full->GetPixel(1, 0), Green);
  EXPECT_EQ(Full->GetDataSize(), 8);
  EXPECT_EQ(Full->GetCompression(), "None, RGB, 3 bytes per pixel");
  EXPECT_EQ(Written(*Full), Hex("02 01 FF 00 00 00 FF 00"));

  // 7 bytes for 4 pixels: two complete pixels, the partial third is not read.
  int64_t Left = -1;
  auto Short = Read<Tkiv3BytesPerPixelBitmap>(Hex("02 02 00 00 FF FF 00 00 11"), &Left);
  EXPECT_EQ(Short->Width(), 2);
  EXPECT_EQ(Short->Height(), 2);
  EXPECT_EQ(Short->GetPixel(0, 0), Blue);
  EXPECT_EQ(Short->GetPixel(1, 0), Red);
  EXPECT_EQ(Short->GetPixel(0, 1), Black);
  EXPECT_EQ(Left, 1);

  auto Empty = Read<Tkiv3BytesPerPixelBitmap>(Hex("00 05 01 02 03"), &Left);
  EXPECT_EQ(Empty->Width() * Empty->Height(), 0);
  EXPECT_EQ(Left, 3);
}

TEST(ThreeBytesPerPixelBitmap, LargeHeaderOverFewBytesReadsOnlyWhatIsThere) {
  int64_t Left = -1;
  auto Bitmap = Read<Tkiv3BytesPerPixelBitmap>(Hex("FF FF 01 02 03 04 05 06 07 08"), &Left);
  EXPECT_EQ(Bitmap->Width(), 255);
  EXPECT_EQ(Bitmap->Height(), 255);
  EXPECT_EQ(Bitmap->GetPixel(1, 0), (TkivColor{4, 5, 6}));
  EXPECT_EQ(Bitmap->GetPixel(2, 0), Black);
  EXPECT_EQ(Left, 2);
}

TEST(OneBytePerPixelBitmap, ReadsPaletteAndIndexes) {
  std::string Palette(768, '\0');
  Palette[3 * 3 + 2] = char(0xFF); // entry 3 blue
  auto Bitmap = Read<Tkiv1BytesPerPixelBitmap>(Hex("01 01") + Palette + Hex("03"));
  EXPECT_EQ(Bitmap->Width(), 1);
  EXPECT_EQ(Bitmap->GetPixel(0, 0), Blue);
  EXPECT_EQ(Bitmap->GetDataSize(), 771);
  EXPECT_EQ(Bitmap->GetCompression(), "None, RGB palette, 1 byte per pixel");
  EXPECT_EQ(Written(*Bitmap), Hex("01 01") + Palette + Hex("03"));

  // A short palette keeps the entries it does not reach; no index bytes remain.
  int64_t Left = -1;
  auto Short = Read<Tkiv1BytesPerPixelBitmap>(Hex("FF FF 01 02 03 04 05 06 07 08"), &Left);
  auto& S = static_cast<Tkiv1BytesPerPixelBitmap&>(*Short);
  EXPECT_EQ(S.Entry(1), (TkivColor{4, 5, 6}));
  EXPECT_EQ(S.Entry(2), (TkivColor{7, 8, 0}));
  EXPECT_EQ(S.Width(), 255);
  EXPECT_EQ(S.GetPixel(0, 0), Black);
  EXPECT_EQ(Left, 0);
}

TEST(OneBytePerPixelBitmap, CopyFromBuildsThePaletteInPixelOrder) {
  TkivDIBitmap Source;
  Source.SetSize(3, 2);
  const TkivColor Colors[6] = {Green, Red, Green, Blue, Red, Blue};
  for (int I = 0; I < 6; ++I)
    Source.SetPixel(I % 3, I / 3, Colors[I]);
  auto Bitmap = Tkiv1BytesPerPixelBitmap::ClassObject().Create();
  auto& B = static_cast<Tkiv1BytesPerPixelBitmap&>(*Bitmap);
  B.ColorTable[3 * 3] = 9; // beyond the filled entries: kept
  B.CopyFrom(Source);
  EXPECT_EQ(B.Entry(0), Green);
  EXPECT_EQ(B.Entry(1), Red);
  EXPECT_EQ(B.Entry(2), Blue);
  EXPECT_EQ(B.Entry(3), (TkivColor{9, 0, 0}));
  EXPECT_EQ(Written(B).substr(770), Hex("00 01 00 02 01 02"));
}

TEST(OneBytePerPixelBitmap, CopyFromReducesManyColoursRecognisably) {
  const auto SourcePtr = Gradient();
  const TkivDIBitmap& Source = *SourcePtr;
  auto Bitmap = Tkiv1BytesPerPixelBitmap::ClassObject().Create();
  Bitmap->CopyFrom(Source);
  EXPECT_EQ(Bitmap->Width(), 64);
  EXPECT_EQ(Bitmap->PixelFormat(), TkivPixelFormat::pf24bit);
  EXPECT_LT(MeanError(Source, *Bitmap), 6.0);
  // The palette holds every colour of the reduced picture: writing and reading it back
  // gives the same picture.
  auto Again = Read<Tkiv1BytesPerPixelBitmap>(Written(*Bitmap));
  EXPECT_EQ(MeanError(*Bitmap, *Again), 0.0);
}

TEST(JpegImage, GreyCmykAndYcckComeOutAsRgb) {
  const uint8_t Grey[1] = {100};
  EXPECT_TRUE(
      Near(DecodedCentre(EncodeRaw(1, JCS_GRAYSCALE, JCS_GRAYSCALE, Grey)), {100, 100, 100}, 3));
  // libjpeg writes an Adobe marker with CMYK, and such files hold inverted ink values:
  // 255 means no ink. No cyan, full magenta and yellow, no black: red.
  const uint8_t InvertedRed[4] = {255, 0, 0, 255};
  EXPECT_TRUE(Near(DecodedCentre(EncodeRaw(4, JCS_CMYK, JCS_CMYK, InvertedRed)), Red));
  EXPECT_TRUE(Near(DecodedCentre(EncodeRaw(4, JCS_CMYK, JCS_YCCK, InvertedRed)), Red));
  const uint8_t InvertedHalfBlack[4] = {255, 255, 255, 128};
  EXPECT_TRUE(
      Near(DecodedCentre(EncodeRaw(4, JCS_CMYK, JCS_YCCK, InvertedHalfBlack)), {128, 128, 128}));
}

TEST(JpegImage, FailuresThrowQuietly) {
  testing::internal::CaptureStderr();
  for (const std::string& Bad : {std::string(), Hex("FF D8"), Hex("FF D8 FF C0 00 03 00 FF D9"),
                                 std::string("not a JPEG at all")}) {
    TkivJpegImage Image;
    TMemoryStream Stream(Bad);
    TkivWorkBudget Budget;
    EXPECT_THROW(Image.LoadFromStream(Stream, Budget), Exception);
    EXPECT_EQ(Image.Width(), 0);
  }
  // A truncated stream keeps its full size and the rows that were there.
  const auto SourcePtr = Gradient(64, 64);
  const TkivDIBitmap& Source = *SourcePtr;
  const std::string Jpeg = EncodeJpeg(Source);
  TkivJpegImage Cut;
  const size_t Scan = Jpeg.find(Hex("FF DA"));
  ASSERT_NE(Scan, std::string::npos);
  TMemoryStream Stream(Jpeg.substr(0, Scan + (Jpeg.size() - Scan) / 2));
  TkivWorkBudget Budget;
  try {
    Cut.LoadFromStream(Stream, Budget);
  } catch (const Exception&) {
  }
  EXPECT_EQ(Cut.Width(), 64);
  EXPECT_EQ(Cut.Height(), 64);
  EXPECT_TRUE(Near(Cut.Bitmap().GetPixel(5, 2), Source.GetPixel(5, 2)));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

// A small JPEG whose frame header declares Width x Height.
std::string Declaring(int Width, int Height) {
  std::string Jpeg = EncodeJpeg(*Gradient(8, 8));
  const size_t Sof = Jpeg.find(Hex("FF C0"));
  Jpeg.replace(Sof + 5, 4, {char(Height >> 8), char(Height), char(Width >> 8), char(Width)});
  return Jpeg;
}

TEST(JpegImage, AsksTheBudgetBeforeAllocating) {
  struct TCase {
    int Width, Height;
    int64_t AlreadyTaken;
    TkivPictureVerdict Verdict;
  };
  const TCase Cases[] = {
      {4096, 4096, 0, TkivPictureVerdict::Granted},
      {4097, 4096, 0, TkivPictureVerdict::TooLarge},
      {65500, 65500, 0, TkivPictureVerdict::TooLarge},
      {65500, 1, 0, TkivPictureVerdict::Granted},
      {8, 8, TkivWorkBudget::MaxReportPixels - 64, TkivPictureVerdict::Granted},
      {8, 8, TkivWorkBudget::MaxReportPixels - 63, TkivPictureVerdict::OverBudget},
  };
  for (const TCase& C : Cases) {
    TkivWorkBudget Budget;
    int64_t Taken = 0;
    while (Taken < C.AlreadyTaken) {
      const int64_t Side = std::min<int64_t>(4096, C.AlreadyTaken - Taken);
      ASSERT_EQ(Budget.TakePicture(Side, 1), TkivPictureVerdict::Granted);
      Taken += Side;
    }
    TkivJpegImage Image;
    TMemoryStream Stream(Declaring(C.Width, C.Height));
    if (C.Verdict == TkivPictureVerdict::Granted) {
      try {
        Image.LoadFromStream(Stream, Budget);
      } catch (const Exception&) {
        // The scan holds far fewer rows than declared.
      }
      EXPECT_EQ(Image.Width(), C.Width);
      EXPECT_EQ(Budget.PixelsTaken(), Taken + int64_t(C.Width) * C.Height);
      continue;
    }
    try {
      Image.LoadFromStream(Stream, Budget);
      ADD_FAILURE() << C.Width << "x" << C.Height << " was decoded";
    } catch (const EkivPictureRefused& E) {
      EXPECT_EQ(E.Refusal.Verdict, C.Verdict) << C.Width << "x" << C.Height;
      EXPECT_EQ(E.Refusal.Width, C.Width);
      EXPECT_EQ(E.Refusal.Height, C.Height);
    }
    EXPECT_EQ(Image.Width(), 0);
    EXPECT_EQ(Budget.PixelsTaken(), Taken);
  }
}

TEST(JpegBitmap, ARefusedPictureSaysWhyWhereItWouldBe) {
  TkivWorkBudget Budget;
  const std::string Jpeg = Declaring(8000, 6000);
  TMemoryStream Stream(Jpeg);
  auto Bitmap = TkivJpegBitmap::ClassObject().Create();
  kivInfo::LoadThumbnail(*Bitmap, Stream, Budget);
  EXPECT_TRUE(Bitmap->Refused());
  EXPECT_EQ(Bitmap->Width(), 0);
  EXPECT_EQ(Written(*Bitmap), Jpeg); // the segment's bytes are kept all the same
  std::unique_ptr<TkivHTMLTABLE> Table = CreateReportTable();
  WriteThumbnailRows(*Table, *Bitmap, false);
  TMemoryStream Html;
  Table->WriteToStream(Html);
  EXPECT_NE(Html.ToString().find("<TD>Image</TD><TD>Not decoded: the picture declares 8000 x 6000 "
                                 "pixels, more than a thumbnail may have (4096 x 4096)</TD>"),
            std::string::npos)
      << Html.ToString();
  EXPECT_EQ(Html.ToString().find("<IMG"), std::string::npos);
  // A picture read again is asked again.
  TMemoryStream Small(Declaring(8, 8));
  kivInfo::LoadThumbnail(*Bitmap, Small, Budget);
  EXPECT_FALSE(Bitmap->Refused());
}

TEST(JpegBitmap, KeepsTheEncodedBytesUntilThePictureChanges) {
  const auto SourcePtr = Gradient(16, 8);
  const TkivDIBitmap& Source = *SourcePtr;
  const std::string Jpeg = EncodeJpeg(Source);
  int64_t Left = -1;
  auto Bitmap = Read<TkivJpegBitmap>(Jpeg, &Left);
  auto& B = static_cast<TkivJpegBitmap&>(*Bitmap);
  EXPECT_EQ(Left, 0);
  EXPECT_EQ(B.Width(), 16);
  EXPECT_EQ(B.Height(), 8);
  EXPECT_LT(MeanError(Source, B), 4.0);
  EXPECT_FALSE(B.IsChanged());
  EXPECT_EQ(B.GetDataSize(), int64_t(Jpeg.size()));
  EXPECT_EQ(Written(B), Jpeg);

  B.SetPixel(0, 0, Red);
  EXPECT_TRUE(B.IsChanged());
  const std::string Again = Written(B);
  EXPECT_FALSE(B.IsChanged());
  EXPECT_NE(Again, Jpeg);
  auto Decoded = Read<TkivJpegBitmap>(Again);
  EXPECT_TRUE(Near(Decoded->GetPixel(15, 7), Source.GetPixel(15, 7), 16));
  TMemoryStream Empty;
  TkivJpegImage().SaveToStream(Empty);
  EXPECT_EQ(Empty.GetSize(), 0);
}

TEST(JpegBitmap, UndecodableDataIsKeptWithoutAPicture) {
  auto Bitmap = Read<TkivJpegBitmap>("garbage");
  EXPECT_EQ(Bitmap->Width() * Bitmap->Height(), 0);
  EXPECT_EQ(Written(*Bitmap), "garbage");
}

TEST(JpegImage, DecodesTheCorpus) {
  if (CorpusDir().empty()) GTEST_SKIP() << "no corpus";
  int Decoded = 0;
  for (const auto& Entry : std::filesystem::directory_iterator(CorpusDir() / "jpeg")) {
    if (Entry.file_size() > 1024 * 1024) continue; // keeps the sanitizer run short
    TkivJpegImage Image;
    TMemoryStream Stream(ReadFileBytes(Entry.path()));
    TkivWorkBudget Budget;
    try {
      Image.LoadFromStream(Stream, Budget);
    } catch (const Exception& E) {
      ADD_FAILURE() << Entry.path() << ": " << E.what();
    }
    EXPECT_GT(int64_t(Image.Width()) * Image.Height(), 0) << Entry.path();
    ++Decoded;
  }
  if (Decoded == 0) GTEST_SKIP() << "no corpus files";
}

TEST(DIBitmap, DrawingClipsToBothPicturesInEitherFormat) {
  // A 3x2 source drawn at offsets that cut it on each side, onto 24- and 8-bit pictures: the
  // same as setting each pixel that falls inside, with one change for the drawing.
  const auto Source = Gradient(3, 2);
  for (const TkivPixelFormat Format : {TkivPixelFormat::pf24bit, TkivPixelFormat::pf8bit})
    for (const auto& [X, Y] : {std::pair{0, 0}, {-1, 0}, {2, 1}, {-2, -1}, {4, 0}, {0, -2}}) {
      TkivDIBitmap Canvas, Expected;
      for (TkivDIBitmap* B : {&Canvas, &Expected}) {
        B->SetSize(4, 3);
        B->SetRow(2, std::vector<TkivColor>(9, Blue).data(), 9); // cut to the width
        B->SetRow(1, std::vector<TkivColor>(1, Red).data(), 1);
        B->SetPixelFormat(Format);
      }
      int Changes = 0;
      Canvas.OnChange = [&] { ++Changes; };
      Canvas.Draw(X, Y, *Source);
      EXPECT_EQ(Changes, 1);
      for (int32_t CY = 0; CY < 3; ++CY)
        for (int32_t CX = 0; CX < 4; ++CX)
          Expected.SetPixel(CX, CY,
                            CX - X >= 0 && CX - X < 3 && CY - Y >= 0 && CY - Y < 2
                                ? Source->GetPixel(CX - X, CY - Y)
                                : Expected.GetPixel(CX, CY));
      for (int32_t CY = 0; CY < 3; ++CY)
        for (int32_t CX = 0; CX < 4; ++CX)
          EXPECT_EQ(Canvas.GetPixel(CX, CY), Expected.GetPixel(CX, CY))
              << X << "," << Y << " at " << CX << "," << CY;
    }
}
