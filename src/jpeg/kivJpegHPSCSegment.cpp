#include "jpeg/kivJpegHPSCSegment.h"

const TkivHPSegment::TClass& TkivJpegHPSCSegment::ClassObject() {
  static const TkivJpegSegmentClassOf<TkivJpegHPSCSegment> Class(
      "TkivJpegHPSCSegment", {0xE4, "HPSC", "HPSC segment", "HPSC"});
  return Class;
}

// A written piece's length field counts the identifier, the header and its pixel bytes, and
// stays within 16 bits.
TkivJpegHPSCSegment::TkivJpegHPSCSegment(const TClass& Class)
    : TkivHPSegment(Class, {2, 0, 0, 1, 1, 2, 1, 0}, 65500 - 4) {}

void kivJpegHPSCSegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegHPSCSegment::ClassObject());
}
