#include <gtest/gtest.h>

#include "framework/kivDIBitmap.h"

namespace {
constexpr TkivColor Red{255, 0, 0}, Green{0, 255, 0}, Blue{0, 0, 255}, Black{0, 0, 0};
} // namespace

TEST(DIBitmap, DrawingClipsToBothPicturesInEitherFormat) {
  // A 3 x 2 source drawn at offsets that cut it on every side, onto 24- and 8-bit canvases
  // that already hold colours: the same as setting each pixel that falls inside, with one
  // change for the drawing.
  TkivDIBitmap Source;
  Source.SetSize(3, 2);
  const TkivColor Colors[2][3] = {{Red, Green, Blue}, {Blue, Red, Green}};
  for (int32_t Y = 0; Y < 2; ++Y)
    Source.SetRow(Y, Colors[Y], 3);
  for (const TkivPixelFormat Format : {TkivPixelFormat::pf24bit, TkivPixelFormat::pf8bit})
    for (const auto& [DX, DY] :
         {std::pair{0, 0}, {-1, 0}, {2, 1}, {-2, -1}, {3, 0}, {4, 0}, {0, -2}, {0, 3}}) {
      SCOPED_TRACE(testing::Message() << int(Format) << " at " << DX << "," << DY);
      TkivDIBitmap Canvas, Expected;
      for (TkivDIBitmap* Picture : {&Canvas, &Expected}) {
        Picture->SetSize(4, 3);
        Picture->SetRow(2, std::vector<TkivColor>(9, Green).data(), 9); // cut to the width
        Picture->SetRow(1, &Red, 1);
        Picture->SetPixelFormat(Format);
      }
      int Changes = 0;
      Canvas.OnChange = [&] { ++Changes; };
      Canvas.Draw(DX, DY, Source);
      EXPECT_EQ(Changes, 1);
      // An 8-bit canvas keeps its palette's nearest colours, so compare with one set alike.
      for (int32_t Y = 0; Y < 3; ++Y)
        for (int32_t X = 0; X < 4; ++X) {
          const int32_t SX = X - DX, SY = Y - DY;
          if (SX >= 0 && SX < 3 && SY >= 0 && SY < 2) Expected.SetPixel(X, Y, Colors[SY][SX]);
        }
      for (int32_t Y = 0; Y < 3; ++Y)
        for (int32_t X = 0; X < 4; ++X)
          EXPECT_EQ(Canvas.GetPixel(X, Y), Expected.GetPixel(X, Y)) << X << "," << Y;
      if (Format == TkivPixelFormat::pf24bit && DX == -1 && DY == 0) {
        EXPECT_EQ(Canvas.GetPixel(0, 1), Red);
        EXPECT_EQ(Canvas.GetPixel(2, 0), Black);
        EXPECT_EQ(Canvas.GetPixel(3, 2), Green);
      }
    }
}

TEST(DIBitmap, SetRowSetsWhatFitsWithOneNotification) {
  TkivDIBitmap Picture;
  Picture.SetSize(2, 2);
  int Changes = 0;
  Picture.OnChange = [&] { ++Changes; };
  const TkivColor Row[] = {Red, Green, Blue};
  Picture.SetRow(1, Row, 3);
  Picture.SetRow(2, Row, 1);
  Picture.SetRow(-1, Row, 1);
  EXPECT_EQ(Changes, 1);
  EXPECT_EQ(Picture.GetPixel(0, 1), Red);
  EXPECT_EQ(Picture.GetPixel(1, 1), Green);
  EXPECT_EQ(Picture.GetPixel(0, 0), Black);
}
