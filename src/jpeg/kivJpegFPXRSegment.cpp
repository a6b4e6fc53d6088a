#include "jpeg/kivJpegFPXRSegment.h"

namespace {

class TFPXRClass : public TkivClassOf<TkivJpegFPXRSegment> {
public:
  using TkivClassOf::TkivClassOf;
  uint8_t Marker() const override { return 0xE2; }
  std::string GetIdentifier() const override { return "FPXR"; }
  std::string GetDescription() const override { return "FPXR segment"; }
  std::string GetShortName() const override { return "FPXR"; }
};

} // namespace

const TkivJpegInfoSegment::TClass& TkivJpegFPXRSegment::ClassObject() {
  static const TFPXRClass Class("TkivJpegFPXRSegment");
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
