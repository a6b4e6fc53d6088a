#pragma once
// The Siemens thumbnail in APP7: five bytes of unknown meaning, then 32 x 32 pixels of 16-bit
// RGB 5-6-5.

#include <array>
#include <cstdint>
#include <string>

#include "jpeg/kivJpegInfo.h"

class TkivSiemensBitmap : public kivInfo::TBitmap {
public:
  explicit TkivSiemensBitmap(const TClass& Class) : TBitmap(Class) {}
  static const TClass& ClassObject();

  std::string GetCompression() const override { return "None, RGB, 2 bytes per pixel"; }
  // 32 x 32 pixels, each a little-endian 16-bit value (red in the top 5 bits, green in the
  // middle 6, blue in the low 5), as far as the stream holds them.
  void ReadThumbnail(TStream& Stream, TkivWorkBudget& Budget) override;
  void WriteThumbnail(TStream& Stream) override;
  int64_t GetDataSize() override { return 2048; }
};

class TkivJpegSiemensSegment : public TkivJpegThumbnailSegment {
public:
  using TkivJpegThumbnailSegment::TkivJpegThumbnailSegment;
  static const TClass& ClassObject();

  std::array<uint8_t, 5> UnknownData{};

  int64_t GetSize() const override;
  void ReadFields() override;
  void WriteFields(TStream& Stream) override;
  void WriteDataHTML(TkivHTMLItem& Parent) override;
  void FillInfo() override;
};

void kivJpegSiemensSegment_Initialize();
