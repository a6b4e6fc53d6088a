#pragma once
// A thumbnail held as width, height and three bytes R, G, B per pixel (JFIF, JFXX 0x13).

#include <cstdint>
#include <string>

#include "framework/kivInfo.h"

class Tkiv3BytesPerPixelBitmap : public kivInfo::TBitmap {
public:
  explicit Tkiv3BytesPerPixelBitmap(const TClass& Class) : TBitmap(Class) {}
  static const TClass& ClassObject();

  std::string GetCompression() const override { return "None, RGB, 3 bytes per pixel"; }
  // W (1 byte), H (1 byte), then up to W*H pixels as far as the stream holds them.
  void ReadThumbnail(TStream& Stream, TkivWorkBudget& Budget) override;
  void WriteThumbnail(TStream& Stream) override;
  int64_t GetDataSize() override;
};
