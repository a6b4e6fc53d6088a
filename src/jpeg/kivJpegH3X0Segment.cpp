#include "jpeg/kivJpegH3X0Segment.h"

namespace {

class TH3X0Class : public TkivClassOf<TkivJpegH3X0Segment> {
public:
  using TkivClassOf::TkivClassOf;
  uint8_t Marker() const override { return 0xE4; }
  // The last character is the digit zero.
  std::string GetIdentifier() const override { return "H3X0"; }
  std::string GetDescription() const override { return "H3X0 segment"; }
  std::string GetShortName() const override { return "H3X0"; }
};

} // namespace

const TkivHPSegment::TClass& TkivJpegH3X0Segment::ClassObject() {
  static const TH3X0Class Class("TkivJpegH3X0Segment");
  return Class;
}

TkivJpegH3X0Segment::TkivJpegH3X0Segment(const TClass& Class)
    : TkivHPSegment(Class, {2, 0, 0, 1, 1, 2}, 65508 - 4) {}

void kivJpegH3X0Segment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegH3X0Segment::ClassObject());
}
