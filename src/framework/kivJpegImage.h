#pragma once
// A JPEG picture over libjpeg: decodes a JPEG stream into RGB pixels, draws them onto a
// bitmap, takes a bitmap's picture and encodes it again. libjpeg's failures become
// Exception; nothing is printed and nothing aborts.

#include <cstdint>

#include "base/kivStream.h"
#include "framework/kivDIBitmap.h"
#include "framework/kivWorkBudget.h"

struct TkivPictureSize {
  int32_t Width = 0, Height = 0;
};

class TkivJpegImage {
public:
  TkivJpegImage() = default;
  TkivJpegImage(const TkivJpegImage&) = delete;
  TkivJpegImage& operator=(const TkivJpegImage&) = delete;

  // Decodes the bytes from the stream's position up to its end (all of them are consumed).
  // On corrupt data it throws, keeping the full size and the rows decoded so far (the rest
  // black); when even the header cannot be read the picture is empty. The size the frame
  // header declares is asked of Budget before anything is allocated for the picture; a
  // refusal throws EkivPictureRefused and leaves the picture empty. With MaxSide above 0 the
  // picture is decoded at a reduced scale, by libjpeg's DCT scaling down to 1/8 and below
  // that by leaving out pixels, so that its longest side is at most MaxSide; the budget is
  // asked for the reduced size.
  void LoadFromStream(TStream& Stream, TkivWorkBudget& Budget, int32_t MaxSide = 0);
  // The size LoadFromStream would give the picture, from the headers alone: the budget is
  // asked as for the pixels and a refusal thrown alike, but nothing is decoded and the picture
  // stays empty.
  TkivPictureSize ReadSize(TStream& Stream, TkivWorkBudget& Budget, int32_t MaxSide);
  // Encodes the picture as a baseline JFIF stream; an empty picture writes nothing.
  void SaveToStream(TStream& Stream) const;

  int32_t Width() const { return Picture.Width(); }
  int32_t Height() const { return Picture.Height(); }
  // The size the frame header declares, known once the header was read (0 before).
  int32_t FrameWidth() const { return FFrameWidth; }
  int32_t FrameHeight() const { return FFrameHeight; }
  void Draw(TkivDIBitmap& Canvas, int32_t X, int32_t Y) const { Canvas.Draw(X, Y, Picture); }
  void Assign(const TkivDIBitmap& Source);
  const TkivDIBitmap& Bitmap() const { return Picture; }

  int Quality = 90;

private:
  TkivPictureSize Load(TStream& Stream, TkivWorkBudget& Budget, int32_t MaxSide, bool Pixels);
  TkivDIBitmap Picture;
  int32_t FFrameWidth = 0, FFrameHeight = 0;
};
