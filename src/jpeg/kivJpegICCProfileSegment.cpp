#include "jpeg/kivJpegICCProfileSegment.h"

namespace {

class TICCProfileClass : public TkivClassOf<TkivJpegICCProfileSegment> {
public:
  using TkivClassOf::TkivClassOf;
  uint8_t Marker() const override { return 0xE2; }
  std::string GetIdentifier() const override { return std::string("ICC_PROFILE\0", 12); }
  std::string GetDescription() const override { return "ICC Profile segment"; }
  std::string GetShortName() const override { return "ICC Profile"; }
};

} // namespace

const TkivJpegInfoSegment::TClass& TkivJpegICCProfileSegment::ClassObject() {
  static const TICCProfileClass Class("TkivJpegICCProfileSegment");
  return Class;
}

int64_t TkivJpegICCProfileSegment::GetSize() const {
  // A default segment is being written when its bytes do not hold even marker and length.
  return Data.GetSize() >= 4 ? Data.GetSize() : TkivJpegInfoSegment::GetSize();
}

void kivJpegICCProfileSegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegICCProfileSegment::ClassObject());
}
