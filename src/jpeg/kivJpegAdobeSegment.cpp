#include "jpeg/kivJpegAdobeSegment.h"

const TkivJpegInfoSegment::TClass& TkivJpegAdobeSegment::ClassObject() {
  static const TkivJpegSegmentClassOf<TkivJpegAdobeSegment> Class(
      "TkivJpegAdobeSegment", {0xEE, {"Adobe\0", 6}, "Adobe segment", "Adobe"});
  return Class;
}

int64_t TkivJpegAdobeSegment::GetSize() const {
  // A default segment is being written when its bytes do not hold even marker and length.
  return Data.GetSize() >= 4 ? Data.GetSize() : TkivJpegInfoSegment::GetSize();
}

void kivJpegAdobeSegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegAdobeSegment::ClassObject());
}
