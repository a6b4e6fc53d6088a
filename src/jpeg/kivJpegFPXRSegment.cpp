#include "jpeg/kivJpegFPXRSegment.h"

const TkivJpegInfoSegment::TClass& TkivJpegFPXRSegment::ClassObject() {
  static const TkivJpegSegmentClassOf<TkivJpegFPXRSegment> Class(
      "TkivJpegFPXRSegment", {0xE2, "FPXR", "FPXR segment", "FPXR"});
  return Class;
}

void TkivJpegFPXRSegment::LoadFromStream(TStream& Stream) {
  LoadConsecutiveSegments(Stream);
}

void TkivJpegFPXRSegment::FillInfo() {
  TkivJpegInfoSegment::FillInfo();
  AddMailNotice(*Info);
}

void kivJpegFPXRSegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegFPXRSegment::ClassObject());
}
