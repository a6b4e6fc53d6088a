#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <jpeglib.h>

#include "base/kivException.h"
#include "framework/kiv1BytesPerPixelBitmap.h"
#include "framework/kiv3BytesPerPixelBitmap.h"
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

// A 16 x 16 JPEG of one colour through libjpeg itself, in a colour space of our choice, so that
// the decoder's colour conversions meet what other encoders write. The pixel's components are
// given as the file stores them.
std::string EncodeRaw(J_COLOR_SPACE In, J_COLOR_SPACE Stored, const std::vector<uint8_t>& Pixel) {
  jpeg_compress_struct Info{};
  jpeg_error_mgr Err{};
  Info.err = jpeg_std_error(&Err);
  jpeg_create_compress(&Info);
  unsigned char* Buffer = nullptr;
  unsigned long Size = 0;
  jpeg_mem_dest(&Info, &Buffer, &Size);
  Info.image_width = Info.image_height = 16;
  Info.input_components = int(Pixel.size());
  Info.in_color_space = In;
  jpeg_set_defaults(&Info);
  jpeg_set_colorspace(&Info, Stored);
  jpeg_set_quality(&Info, 95, TRUE);
  jpeg_start_compress(&Info, TRUE);
  std::vector<uint8_t> Row;
  for (int I = 0; I < 16; ++I)
    Row.insert(Row.end(), Pixel.begin(), Pixel.end());
  for (JSAMPROW Rows[1] = {Row.data()}; Info.next_scanline < 16;)
    jpeg_write_scanlines(&Info, Rows, 1);
  jpeg_finish_compress(&Info);
  jpeg_destroy_compress(&Info);
  std::string Bytes(reinterpret_cast<char*>(Buffer), Size);
  std::free(Buffer);
  return Bytes;
}

// A small JPEG whose frame header declares Width x Height.
// A small picture whose header declares Width x Height, followed by Padding zero bytes (the
// bytes that would carry the larger picture).
std::string Declaring(int Width, int Height, size_t Padding = 0) {
  std::string Jpeg = EncodeJpeg(*Gradient(8, 8));
  const size_t Sof = Jpeg.find(Hex("FF C0"));
  Jpeg.replace(Sof + 5, 4, {char(Height >> 8), char(Height), char(Width >> 8), char(Width)});
  return Jpeg + std::string(Padding, '\0');
}

// A progressive grey picture of Side x Side: a DC scan over Data zero bytes, then Scans - 1
// AC scans without data (as tests/regression/make-inputs.py writes them).
std::string Progressive(int Side, int Scans, size_t Data) {
  const std::string S = {char(Side >> 8), char(Side)};
  std::string Jpeg = Hex("FF D8 FF DB 00 43 00") + std::string(64, '\1') + Hex("FF C2 00 0B 08") +
                     S + S + Hex("01 01 11 00") + Hex("FF C4 00 26 00 01") + std::string(16, '\0') +
                     Hex("10 01") + std::string(16, '\0') + Hex("FF DA 00 08 01 01 00 00 00 00") +
                     std::string(Data, '\0');
  for (int I = 1; I < Scans; ++I)
    Jpeg += Hex("FF DA 00 08 01 01 00 01 3F 00");
  return Jpeg + Hex("FF D9");
}

TkivPictureRefusal LoadRefusal(const std::string& Jpeg, TkivWorkBudget& Budget,
                               TkivJpegImage& Image) {
  TMemoryStream Stream(Jpeg);
  try {
    Image.LoadFromStream(Stream, Budget);
  } catch (const EkivPictureRefused& E) {
    return E.Refusal;
  } catch (const Exception&) {
    // A granted picture's scan holds far fewer rows than declared.
  }
  return {};
}

} // namespace

TEST(ThreeBytesPerPixelBitmap, ReadsWholePixelsAsFarAsTheDataGoes) {
  const struct {
    std::string Bytes;
    int32_t Width, Height;
    std::vector<TkivColor> Pixels; // from the top left, the rest unchecked
    int64_t Left;
  } Cases[] = {
      {Hex("02 01 FF 00 00 00 FF 00"), 2, 1, {Red, Green}, 0},
      {Hex("02 02 00 00 FF FF 00 00 11"), 2, 2, {Blue, Red, Black}, 1},
      {Hex("00 05 01 02 03"), 0, 5, {}, 3},
      {Hex("FF FF 01 02 03 04 05 06 07 08"), 255, 255, {{1, 2, 3}, {4, 5, 6}, Black}, 2},
  };
  for (const auto& C : Cases) {
    int64_t Left = -1;
    auto Bitmap = Read<Tkiv3BytesPerPixelBitmap>(C.Bytes, &Left);
    EXPECT_EQ(Bitmap->Width() * Bitmap->Height(), C.Width * C.Height);
    EXPECT_EQ(C.Width ? Bitmap->Width() : 0, C.Width);
    for (size_t I = 0; I < C.Pixels.size(); ++I)
      EXPECT_EQ(Bitmap->GetPixel(int32_t(I) % C.Width, int32_t(I) / C.Width), C.Pixels[I]);
    EXPECT_EQ(Left, C.Left) << C.Width << "x" << C.Height;
  }
  auto Full = Read<Tkiv3BytesPerPixelBitmap>(Cases[0].Bytes);
  EXPECT_EQ(Full->GetDataSize(), 8);
  EXPECT_EQ(Full->GetCompression(), "None, RGB, 3 bytes per pixel");
  EXPECT_EQ(Written(*Full), Cases[0].Bytes);
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
  const auto Source = Gradient();
  auto Bitmap = Tkiv1BytesPerPixelBitmap::ClassObject().Create();
  Bitmap->CopyFrom(*Source);
  EXPECT_EQ(Bitmap->Width(), 64);
  EXPECT_EQ(Bitmap->PixelFormat(), TkivPixelFormat::pf24bit);
  EXPECT_LT(MeanError(*Source, *Bitmap), 6.0);
  // The palette holds every colour of the reduced picture: writing and reading it back
  // gives the same picture.
  auto Again = Read<Tkiv1BytesPerPixelBitmap>(Written(*Bitmap));
  EXPECT_EQ(MeanError(*Bitmap, *Again), 0.0);
}

TEST(JpegImage, GreyCmykAndYcckComeOutAsRgb) {
  // libjpeg writes an Adobe marker with CMYK, and such files hold inverted ink values: 255 means
  // no ink. No cyan, full magenta and yellow, no black: red.
  const struct {
    J_COLOR_SPACE Stored;
    std::vector<uint8_t> Pixel;
    TkivColor Expected;
  } Cases[] = {
      {JCS_GRAYSCALE, {100}, {100, 100, 100}},
      {JCS_CMYK, {255, 0, 0, 255}, Red},
      {JCS_YCCK, {255, 0, 0, 255}, Red},
      {JCS_YCCK, {255, 255, 255, 128}, {128, 128, 128}},
  };
  for (const auto& C : Cases) {
    TkivJpegImage Image;
    TMemoryStream Stream(
        EncodeRaw(C.Stored == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_CMYK, C.Stored, C.Pixel));
    TkivWorkBudget Budget;
    Image.LoadFromStream(Stream, Budget);
    TkivDIBitmap Canvas;
    Canvas.SetSize(16, 16);
    Image.Draw(Canvas, 0, 0);
    EXPECT_TRUE(Near(Canvas.GetPixel(8, 8), C.Expected, C.Pixel.size() == 1 ? 3 : 12)) << C.Stored;
  }
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
  const auto Source = Gradient(64, 64);
  const std::string Jpeg = EncodeJpeg(*Source);
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
  EXPECT_TRUE(Near(Cut.Bitmap().GetPixel(5, 2), Source->GetPixel(5, 2)));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST(JpegImage, AsksTheBudgetBeforeAllocating) {
  const struct {
    int Width, Height;
    int64_t AlreadyTaken;
    TkivPictureVerdict Verdict;
  } Cases[] = {
      {4096, 4096, 0, TkivPictureVerdict::Granted},
      {4097, 4096, 0, TkivPictureVerdict::TooLarge},
      {65500, 65500, 0, TkivPictureVerdict::TooLarge},
      {65500, 1, 0, TkivPictureVerdict::Granted},
      {8, 8, TkivWorkBudget::MaxReportPixels - 64, TkivPictureVerdict::Granted},
      {8, 8, TkivWorkBudget::MaxReportPixels - 63, TkivPictureVerdict::OverBudget},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << C.Width << "x" << C.Height);
    TkivWorkBudget Budget;
    ASSERT_EQ(Budget.TakePicture(4096, C.AlreadyTaken / 4096), TkivPictureVerdict::Granted);
    ASSERT_EQ(Budget.TakePicture(C.AlreadyTaken % 4096, 1), TkivPictureVerdict::Granted);
    ASSERT_EQ(Budget.PixelsTaken(), C.AlreadyTaken);
    TkivJpegImage Image;
    // Bytes enough for the blocks of the largest picture granted.
    const TkivPictureRefusal Refusal =
        LoadRefusal(Declaring(C.Width, C.Height, 50000), Budget, Image);
    const bool Granted = C.Verdict == TkivPictureVerdict::Granted;
    EXPECT_EQ(Refusal.Verdict, C.Verdict);
    using TSize = std::pair<int64_t, int64_t>;
    EXPECT_EQ(TSize(Refusal.Width, Refusal.Height), Granted ? TSize() : TSize(C.Width, C.Height));
    EXPECT_EQ(Image.Width(), Granted ? C.Width : 0);
    EXPECT_EQ(Budget.PixelsTaken(), C.AlreadyTaken + (Granted ? int64_t(C.Width) * C.Height : 0));
  }
}

TEST(JpegImage, PixelsAndScansAreBoundByTheBytesThatCarryThem) {
  // 4096 x 4096 in YCbCr 4:2:0 is 393,216 blocks: 16,384 free, the rest at a bit a block.
  const struct {
    std::string Jpeg;
    TkivPictureVerdict Verdict;
    int64_t Scans;
  } Cases[] = {
      {Declaring(4096, 4096, 47104 - Declaring(8, 8).size()), TkivPictureVerdict::Granted, 0},
      {Declaring(4096, 4096, 47103 - Declaring(8, 8).size()), TkivPictureVerdict::TooFewBytes, 0},
      // 64 blocks: a hundred scans at most, whatever the bytes.
      {Progressive(64, 100, 100), TkivPictureVerdict::Granted, 0},
      {Progressive(64, 101, 100), TkivPictureVerdict::TooManyScans, 100},
      // 16,384 blocks over 4,096 bytes, which carry 49,152: thirty scans.
      {Progressive(1024, 30, 4096 - Progressive(1024, 30, 0).size()), TkivPictureVerdict::Granted,
       0},
      {Progressive(1024, 31, 4096 - Progressive(1024, 31, 0).size()),
       TkivPictureVerdict::TooManyScans, 30},
  };
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << C.Jpeg.size() << " bytes");
    TkivWorkBudget Budget;
    TkivJpegImage Image;
    const TkivPictureRefusal Refusal = LoadRefusal(C.Jpeg, Budget, Image);
    EXPECT_EQ(Refusal.Verdict, C.Verdict);
    EXPECT_EQ(Refusal.Scans, C.Scans);
    if (C.Verdict == TkivPictureVerdict::Granted) {
      EXPECT_GT(Image.Width(), 0);
    }
    if (C.Verdict == TkivPictureVerdict::TooManyScans) {
      EXPECT_EQ(Image.Width(), 0);
      EXPECT_EQ(Refusal.Bytes, int64_t(C.Jpeg.size()));
    }
  }
}

TEST(WorkBudget, AReportsPicturesAreBoundByItsBytes) {
  TkivWorkBudget Budget;
  Budget.CarriedBy(1000); // (8,000 + 16,384) units of 64 pixels: 1,560,576 pixels
  Budget.CarriedBy(10);   // the largest told counts
  EXPECT_EQ(Budget.TakePicture(1024, 1024), TkivPictureVerdict::Granted);
  EXPECT_EQ(Budget.TakePicture(1024, 500), TkivPictureVerdict::Granted);
  EXPECT_EQ(Budget.TakePicture(1, 1), TkivPictureVerdict::OverBudget);
  TkivWorkBudget Large;
  Large.CarriedBy(int64_t(1) << 40); // never more than the fixed budget
  EXPECT_EQ(Large.TakePicture(4096, 4096), TkivPictureVerdict::Granted);
  EXPECT_EQ(Large.TakePicture(1, 1), TkivPictureVerdict::OverBudget);
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
  const std::string Page = Html(*Table);
  EXPECT_NE(Page.find("<TD>Image</TD><TD>Not decoded: the picture declares 8000 x 6000 "
                      "pixels, more than a thumbnail may have (4096 x 4096)</TD>"),
            std::string::npos)
      << Page;
  EXPECT_EQ(Page.find("<IMG"), std::string::npos);
  // A picture read again is asked again.
  TMemoryStream Small(Declaring(8, 8));
  kivInfo::LoadThumbnail(*Bitmap, Small, Budget);
  EXPECT_FALSE(Bitmap->Refused());
}

TEST(JpegBitmap, KeepsTheBytesReadUntilThePictureChanges) {
  const auto Source = Gradient(16, 8);
  const std::string Jpeg = EncodeJpeg(*Source);
  int64_t Left = -1;
  auto Bitmap = Read<TkivJpegBitmap>(Jpeg, &Left);
  auto& B = static_cast<TkivJpegBitmap&>(*Bitmap);
  EXPECT_EQ(Left, 0);
  EXPECT_EQ(B.Width(), 16);
  EXPECT_EQ(B.Height(), 8);
  EXPECT_LT(MeanError(*Source, B), 4.0);
  EXPECT_FALSE(B.IsChanged());
  EXPECT_EQ(B.GetDataSize(), int64_t(Jpeg.size()));
  EXPECT_EQ(Written(B), Jpeg);

  B.SetPixel(0, 0, Red);
  EXPECT_TRUE(B.IsChanged());
  const std::string Again = Written(B);
  EXPECT_FALSE(B.IsChanged());
  EXPECT_NE(Again, Jpeg);
  auto Decoded = Read<TkivJpegBitmap>(Again);
  EXPECT_TRUE(Near(Decoded->GetPixel(15, 7), Source->GetPixel(15, 7), 16));
  TMemoryStream Empty;
  TkivJpegImage().SaveToStream(Empty);
  EXPECT_EQ(Empty.GetSize(), 0);
  // Bytes that do not decode are kept all the same.
  auto Garbage = Read<TkivJpegBitmap>("garbage");
  EXPECT_EQ(Garbage->Width() * Garbage->Height(), 0);
  EXPECT_EQ(Written(*Garbage), "garbage");
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

TEST(JpegBitmap, APreviewIsDecodedReducedAndEncodedAnew) {
  // DCT scaling alone (1/2), then beyond 1/8 every other pixel left out as well.
  const struct {
    int Width, Height, MaxSide, ReducedWidth, ReducedHeight;
  } Cases[] = {{1000, 600, 512, 500, 300}, {64, 32, 512, 64, 32}, {4100, 16, 256, 171, 1}};
  for (const auto& C : Cases) {
    SCOPED_TRACE(testing::Message() << C.Width << "x" << C.Height);
    // Red grows from left to right, smoothly enough for any scale.
    TkivDIBitmap Source;
    Source.SetSize(C.Width, C.Height);
    for (int32_t Y = 0; Y < C.Height; ++Y)
      for (int32_t X = 0; X < C.Width; ++X)
        Source.SetPixel(X, Y, {uint8_t(X * 255 / C.Width), 128, 64});
    const std::string Jpeg = EncodeJpeg(Source);
    auto Bitmap = TkivJpegBitmap::ClassObject().Create();
    auto& B = static_cast<TkivJpegBitmap&>(*Bitmap);
    B.MaxSide = C.MaxSide;
    TMemoryStream Stream(Jpeg);
    TkivWorkBudget Budget;
    B.ReadThumbnail(Stream, Budget);
    EXPECT_EQ(BytesLeft(Stream), 0);
    EXPECT_EQ(B.Width(), C.ReducedWidth);
    EXPECT_EQ(B.Height(), C.ReducedHeight);
    EXPECT_EQ(B.FrameWidth(), C.Width);
    EXPECT_EQ(Budget.PixelsTaken(), int64_t(C.ReducedWidth) * C.ReducedHeight);
    EXPECT_TRUE(B.Failure.empty());
    // What the page shows is encoded from the pixels, reduced or not: none of the bytes read
    // (most of a file, perhaps) is kept.
    const std::string Shown = Written(B);
    EXPECT_NE(Shown, Jpeg);
    auto Again = Read<TkivJpegBitmap>(Shown);
    EXPECT_EQ(Again->Width(), C.ReducedWidth);
    const int32_t Middle = C.ReducedWidth / 2;
    EXPECT_TRUE(Near(Again->GetPixel(Middle, 0),
                     Source.GetPixel(Middle * C.Width / C.ReducedWidth, 0), 16));
  }
  // Bytes that are no picture say why.
  auto Bitmap = TkivJpegBitmap::ClassObject().Create();
  auto& B = static_cast<TkivJpegBitmap&>(*Bitmap);
  B.MaxSide = 512;
  TMemoryStream Garbage(std::string("\xFF\xD8garbage"));
  TkivWorkBudget Budget;
  B.ReadThumbnail(Garbage, Budget);
  EXPECT_FALSE(B.Failure.empty());
}
