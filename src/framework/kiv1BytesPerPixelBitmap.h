#pragma once
// A thumbnail held as width, height, a palette of 256 R, G, B entries and one palette index
// per pixel (JFXX 0x11).

#include <array>
#include <cstdint>
#include <string>

#include "framework/kivInfo.h"

class Tkiv1BytesPerPixelBitmap : public kivInfo::TBitmap {
public:
  explicit Tkiv1BytesPerPixelBitmap(const TClass& Class) : TBitmap(Class) {}
  static const TClass& ClassObject();

  // 256 entries of R, G, B; all black when created.
  std::array<uint8_t, 768> ColorTable{};

  // The picture, then a palette rebuilt from its colours (reduced to 256 first if needed).
  void CopyFrom(const TkivDIBitmap& Source) override;
  std::string GetCompression() const override { return "None, RGB palette, 1 byte per pixel"; }
  // W, H, up to 768 palette bytes, then up to W*H index bytes, as far as the stream holds.
  void ReadThumbnail(TStream& Stream, TkivWorkBudget& Budget) override;
  void WriteThumbnail(TStream& Stream) override;
  int64_t GetDataSize() override;

  TkivColor Entry(int Index) const {
    return {ColorTable[size_t(Index) * 3], ColorTable[size_t(Index) * 3 + 1],
            ColorTable[size_t(Index) * 3 + 2]};
  }

private:
  // Fills the palette from the picture's colours; false when they did not all fit.
  bool FillPalette();
};
