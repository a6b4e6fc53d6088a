#pragma once
// The JFIF header in APP0: version, density, and an optional uncompressed RGB thumbnail.

#include <array>
#include <cstdint>

#include "jpeg/kivJpegInfo.h"

class TkivJpegJfifSegment : public TkivJpegThumbnailSegment {
public:
  explicit TkivJpegJfifSegment(const TClass& Class);
  static const TClass& ClassObject();

  // Version 1.02, units 1 (inch), densities 72 and 72, densities big-endian as in the file.
  static constexpr std::array<uint8_t, 7> DefaultHeader = {0x01, 0x02, 0x01, 0x00,
                                                           0x48, 0x00, 0x48};
  // Major and minor version, density units, horizontal and vertical density.
  std::array<uint8_t, 7> Header = DefaultHeader;

  uint8_t MajorVersion() const { return Header[0]; }
  uint8_t MinorVersion() const { return Header[1]; }
  uint8_t Units() const { return Header[2]; }
  uint16_t XDensity() const { return uint16_t(Header[3] << 8 | Header[4]); }
  uint16_t YDensity() const { return uint16_t(Header[5] << 8 | Header[6]); }

  int32_t MaxThumbnailPixels(int32_t Format) const override;
  int64_t GetSize() const override;
  void ReadFields() override;
  void WriteFields(TStream& Stream) override;
  void WriteDataHTML(TkivHTMLItem& Parent) override;
  void FillInfo() override;
};

void kivJpegJfifSegment_Initialize();
