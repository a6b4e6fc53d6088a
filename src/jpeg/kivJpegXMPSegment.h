#pragma once
// The XMP packet in APP1: its text is kept whole; the page shows the segment's bytes.

#include <string>

#include "jpeg/kivJpegInfo.h"

class TkivJpegXMPSegment : public TkivJpegInfoSegment {
public:
  using TkivJpegInfoSegment::TkivJpegInfoSegment;
  static const TClass& ClassObject();

  // Every byte after the identifier, zero bytes included.
  std::string XMP;

  int64_t GetSize() const override;
  void SaveToStream(TStream& Stream) override;
  void ReadFields() override;
  void WriteFields(TStream& Stream) override;
  void FillInfo() override;
};

void kivJpegXMPSegment_Initialize();
