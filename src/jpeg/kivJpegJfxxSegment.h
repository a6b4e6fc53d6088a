#pragma once
// The JFIF extension segment in APP0: a thumbnail coded as JPEG (0x10), with a palette
// (0x11) or as RGB (0x13).

#include <cstdint>

#include "jpeg/kivJpegInfo.h"

class TkivJpegJfxxSegment : public TkivJpegThumbnailSegment {
public:
  explicit TkivJpegJfxxSegment(const TClass& Class) : TkivJpegThumbnailSegment(Class) {}
  static const TClass& ClassObject();

  uint8_t ExtensionCode = 0x13;

  int32_t MaxThumbnailPixels(int32_t Format) const override;
  int64_t GetSize() const override;
  void SaveToStream(TStream& Stream) override;
  void ReadFields() override;
  void WriteFields(TStream& Stream) override;
  void WriteDataHTML(TkivHTMLItem& Parent) override;
  void FillInfo() override;
};

void kivJpegJfxxSegment_Initialize();
