#pragma once
// The HPSC thumbnail in APP4: a header of eight words, then YCbCr pixels, over one or more
// consecutive segments.

#include "jpeg/kivHPBitmap.h"

class TkivJpegHPSCSegment : public TkivHPSegment {
public:
  explicit TkivJpegHPSCSegment(const TClass& Class);
  static const TClass& ClassObject();
};

void kivJpegHPSCSegment_Initialize();
