#pragma once
// The picture of an uncompressed RGB strip of a TIFF file.

#include "framework/kivInfo.h"

class TkivRGBBitmap : public kivInfo::TBitmap {
public:
  static const TClass& ClassObject();
  using kivInfo::TBitmap::TBitmap;
  std::string GetCompression() const override { return "None, RGB, 3 bytes per pixel"; }
  // The pixels come from the strip, not from a stream of their own.
  void ReadThumbnail(TStream&, TkivWorkBudget&) override {}
};
