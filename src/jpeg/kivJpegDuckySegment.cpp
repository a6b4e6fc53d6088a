#include "jpeg/kivJpegDuckySegment.h"

namespace {

class TDuckyClass : public TkivClassOf<TkivJpegDuckySegment> {
public:
  using TkivClassOf::TkivClassOf;
  uint8_t Marker() const override { return 0xEC; }
  std::string GetIdentifier() const override { return std::string("Ducky\0", 6); }
  std::string GetDescription() const override { return "Ducky segment"; }
  std::string GetShortName() const override { return "Ducky"; }
};

} // namespace

const TkivJpegInfoSegment::TClass& TkivJpegDuckySegment::ClassObject() {
  static const TDuckyClass Class("TkivJpegDuckySegment");
  return Class;
}

int64_t TkivJpegDuckySegment::GetSize() const {
  // A default segment is being written when its bytes do not hold even marker and length.
  return Data.GetSize() >= 4 ? Data.GetSize() : TkivJpegInfoSegment::GetSize();
}

void kivJpegDuckySegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegDuckySegment::ClassObject());
}
