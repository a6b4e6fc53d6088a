#pragma once
// A JPEG-compressed thumbnail (JFXX 0x10, and the JPEG thumbnails of other segments). It
// keeps the encoded bytes it was read from and writes them back unchanged until the
// picture changes; then it encodes the picture anew.

#include <cstdint>
#include <memory>
#include <string>

#include "framework/kivInfo.h"
#include "framework/kivJpegImage.h"

class TkivJpegBitmap : public kivInfo::TBitmap {
public:
  explicit TkivJpegBitmap(const TClass& Class);
  ~TkivJpegBitmap() override;
  static const TClass& ClassObject();

  std::string GetCompression() const override { return "Jpeg"; }
  // The JPEG stream from the position to the end of Stream; a picture that cannot be
  // decoded stays as far as it came, without a failure.
  void ReadThumbnail(TStream& Stream, TkivWorkBudget& Budget) override;
  void WriteThumbnail(TStream& Stream) override;
  // Re-encodes first when the picture changed.
  int64_t GetDataSize() override;

  // Set for JPEG data that holds its colours in the order blue, green, red: the picture is
  // shown the right way round, and encoded again the way it came.
  bool BlueRedOrder = false;
  // Above 0: the picture is decoded at a reduced scale, its longest side at most this (a
  // preview of a whole picture); a reduced picture is encoded anew when it is written.
  int32_t MaxSide = 0;
  // Why the picture could not be decoded (libjpeg's message), or empty.
  std::string Failure;
  // The size the frame header declares.
  int32_t FrameWidth() const { return FJpegImage->FrameWidth(); }
  int32_t FrameHeight() const { return FJpegImage->FrameHeight(); }

  bool IsChanged() const { return FChanged; }
  const TMemoryStream& EncodedData() const { return *FEncodedData; }

protected:
  void Changed() override;

private:
  bool FChanged = false;
  std::unique_ptr<TkivJpegImage> FJpegImage;
  std::unique_ptr<TMemoryStream> FEncodedData; // freed before the image
};
