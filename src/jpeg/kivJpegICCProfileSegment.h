#pragma once
// A piece of an ICC colour profile in APP2: shown as its bytes, the profile after the identifier
// as extra data.

#include "jpeg/kivJpegInfo.h"

class TkivJpegICCProfileSegment : public TkivJpegInfoSegment {
public:
  using TkivJpegInfoSegment::TkivJpegInfoSegment;
  static const TClass& ClassObject();

  // The segment's bytes as they are; a segment that holds none yet is its identifier alone.
  int64_t GetSize() const override;
};

void kivJpegICCProfileSegment_Initialize();
