#pragma once
// A small device-independent bitmap: 24-bit or 8-bit (palette) pixels, pixel access as RGB
// colours, drawing another bitmap, a change notification, and BMP output.

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "base/kivStream.h"
#include "framework/kivOwningList.h"

struct TkivColor {
  uint8_t R = 0, G = 0, B = 0;
  friend bool operator==(const TkivColor&, const TkivColor&) = default;
};

enum class TkivPixelFormat { pf8bit, pf24bit };

class TkivDIBitmap : public TObject {
public:
  using TPalette = std::array<TkivColor, 256>;

  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }
  // Resizing keeps the pixels of the overlapping area; new pixels are black.
  void SetWidth(int32_t Width) { SetSize(Width, FHeight); }
  void SetHeight(int32_t Height) { SetSize(FWidth, Height); }
  void SetSize(int32_t Width, int32_t Height);

  TkivPixelFormat PixelFormat() const { return Format; }
  // Going to 8 bits reduces the picture to at most 256 colours (median cut).
  void SetPixelFormat(TkivPixelFormat NewFormat);
  const TPalette& Palette() const { return FPalette; }

  // Coordinates outside the picture read black and write nothing.
  TkivColor GetPixel(int32_t X, int32_t Y) const;
  void SetPixel(int32_t X, int32_t Y, TkivColor Color);
  // Row Y from its first pixel on, one change for the row; pixels beyond the width are
  // dropped. Decoders fill pictures a row at a time.
  void SetRow(int32_t Y, const TkivColor* Colors, int32_t Count);
  void Draw(int32_t X, int32_t Y, const TkivDIBitmap& Source);

  // An uncompressed BMP file: 24-bit, or 8-bit with its palette.
  void SaveToStream(TStream& Stream) const;

  std::function<void()> OnChange;

protected:
  virtual void Changed();

private:
  size_t IndexOf(int32_t X, int32_t Y) const { return size_t(Y) * size_t(FWidth) + size_t(X); }
  uint8_t NearestIndex(TkivColor Color) const;
  int32_t FWidth = 0, FHeight = 0;
  TkivPixelFormat Format = TkivPixelFormat::pf24bit;
  std::vector<TkivColor> Pixels; // 24-bit
  std::vector<uint8_t> Indexes;  // 8-bit
  TPalette FPalette{};
};
