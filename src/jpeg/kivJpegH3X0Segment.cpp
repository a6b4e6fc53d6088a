#include "jpeg/kivJpegH3X0Segment.h"

const TkivHPSegment::TClass& TkivJpegH3X0Segment::ClassObject() {
  // The last character is the digit zero.
  static const TkivJpegSegmentClassOf<TkivJpegH3X0Segment> Class(
      "TkivJpegH3X0Segment", {0xE4, "H3X0", "H3X0 segment", "H3X0"});
  return Class;
}

TkivJpegH3X0Segment::TkivJpegH3X0Segment(const TClass& Class)
    : TkivHPSegment(Class, {2, 0, 0, 1, 1, 2}, 65508 - 4) {}

void kivJpegH3X0Segment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegH3X0Segment::ClassObject());
}
