#pragma once
// A JPEG picture over libjpeg: decodes a JPEG stream into RGB pixels, draws them onto a
// bitmap, takes a bitmap's picture and encodes it again. libjpeg's failures become
// Exception; nothing is printed and nothing aborts.

#include <cstdint>

#include "base/kivStream.h"
#include "framework/kivDIBitmap.h"
#include "framework/kivWorkBudget.h"

class TkivJpegImage {
public:
  TkivJpegImage() = default;
  TkivJpegImage(const TkivJpegImage&) = delete;
  TkivJpegImage& operator=(const TkivJpegImage&) = delete;

  // Decodes the bytes from the stream's position up to its end (all of them are consumed).
  // On corrupt data it throws, keeping the full size and the rows decoded so far (the rest
  // black); when even the header cannot be read the picture is empty. The size the frame
  // header declares is asked of Budget before anything is allocated for the picture; a
  // refusal throws EkivPictureRefused and leaves the picture empty.
  void LoadFromStream(TStream& Stream, TkivWorkBudget& Budget);
  // Encodes the picture as a baseline JFIF stream; an empty picture writes nothing.
  void SaveToStream(TStream& Stream) const;

  int32_t Width() const { return Picture.Width(); }
  int32_t Height() const { return Picture.Height(); }
  void Draw(TkivDIBitmap& Canvas, int32_t X, int32_t Y) const { Canvas.Draw(X, Y, Picture); }
  void Assign(const TkivDIBitmap& Source);
  const TkivDIBitmap& Bitmap() const { return Picture; }

  int Quality = 90;

private:
  TkivDIBitmap Picture;
};
