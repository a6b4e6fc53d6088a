#include "jpeg/kivJpegICCProfileSegment.h"

const TkivJpegInfoSegment::TClass& TkivJpegICCProfileSegment::ClassObject() {
  static const TkivJpegSegmentClassOf<TkivJpegICCProfileSegment> Class(
      "TkivJpegICCProfileSegment",
      {0xE2, {"ICC_PROFILE\0", 12}, "ICC Profile segment", "ICC Profile"});
  return Class;
}

int64_t TkivJpegICCProfileSegment::GetSize() const {
  // A default segment is being written when its bytes do not hold even marker and length.
  return Data.GetSize() >= 4 ? Data.GetSize() : TkivJpegInfoSegment::GetSize();
}

void kivJpegICCProfileSegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegICCProfileSegment::ClassObject());
}
