#include "jpeg/kivJpegHPSCSegment.h"

namespace {

class THPSCClass : public TkivClassOf<TkivJpegHPSCSegment> {
public:
  using TkivClassOf::TkivClassOf;
  uint8_t Marker() const override { return 0xE4; }
  std::string GetIdentifier() const override { return "HPSC"; }
  std::string GetDescription() const override { return "HPSC segment"; }
  std::string GetShortName() const override { return "HPSC"; }
};

} // namespace

const TkivHPSegment::TClass& TkivJpegHPSCSegment::ClassObject() {
  static const THPSCClass Class("TkivJpegHPSCSegment");
  return Class;
}

// A written piece's length field counts the identifier, the header and its pixel bytes, and
// stays within 16 bits.
TkivJpegHPSCSegment::TkivJpegHPSCSegment(const TClass& Class)
    : TkivHPSegment(Class, {2, 0, 0, 1, 1, 2, 1, 0}, 65500 - 4) {}

void kivJpegHPSCSegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegHPSCSegment::ClassObject());
}
