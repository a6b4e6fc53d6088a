#include "jpeg/kivJpegDuckySegment.h"

const TkivJpegInfoSegment::TClass& TkivJpegDuckySegment::ClassObject() {
  static const TkivJpegSegmentClassOf<TkivJpegDuckySegment> Class(
      "TkivJpegDuckySegment", {0xEC, {"Ducky\0", 6}, "Ducky segment", "Ducky"});
  return Class;
}

int64_t TkivJpegDuckySegment::GetSize() const {
  // A default segment is being written when its bytes do not hold even marker and length.
  return Data.GetSize() >= 4 ? Data.GetSize() : TkivJpegInfoSegment::GetSize();
}

void kivJpegDuckySegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegDuckySegment::ClassObject());
}
