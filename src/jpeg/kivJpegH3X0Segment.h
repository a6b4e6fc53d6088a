#pragma once
// The H3X0 thumbnail in APP4: a header of six words, then YCbCr pixels, over one or more
// consecutive segments.

#include "jpeg/kivHPBitmap.h"

class TkivJpegH3X0Segment : public TkivHPSegment {
public:
  explicit TkivJpegH3X0Segment(const TClass& Class);
  static const TClass& ClassObject();
};

void kivJpegH3X0Segment_Initialize();
