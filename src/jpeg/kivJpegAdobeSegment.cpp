#include "jpeg/kivJpegAdobeSegment.h"

namespace {

class TAdobeClass : public TkivClassOf<TkivJpegAdobeSegment> {
public:
  using TkivClassOf::TkivClassOf;
  uint8_t Marker() const override { return 0xEE; }
  std::string GetIdentifier() const override { return std::string("Adobe\0", 6); }
  std::string GetDescription() const override { return "Adobe segment"; }
  std::string GetShortName() const override { return "Adobe"; }
};

} // namespace

const TkivJpegInfoSegment::TClass& TkivJpegAdobeSegment::ClassObject() {
  static const TAdobeClass Class("TkivJpegAdobeSegment");
  return Class;
}

int64_t TkivJpegAdobeSegment::GetSize() const {
  // A default segment is being written when its bytes do not hold even marker and length.
  return Data.GetSize() >= 4 ? Data.GetSize() : TkivJpegInfoSegment::GetSize();
}

void kivJpegAdobeSegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegAdobeSegment::ClassObject());
}
