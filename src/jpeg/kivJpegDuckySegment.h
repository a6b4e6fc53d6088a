#pragma once
// The Ducky segment in APP12: shown as its bytes, its content after the identifier as extra data.

#include "jpeg/kivJpegInfo.h"

class TkivJpegDuckySegment : public TkivJpegInfoSegment {
public:
  using TkivJpegInfoSegment::TkivJpegInfoSegment;
  static const TClass& ClassObject();

  // The segment's bytes as they are; a segment that holds none yet is its identifier alone.
  int64_t GetSize() const override;
};

void kivJpegDuckySegment_Initialize();
