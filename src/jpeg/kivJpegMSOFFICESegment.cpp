#include "jpeg/kivJpegMSOFFICESegment.h"

namespace {

class TMSOFFICEClass : public TkivClassOf<TkivJpegMSOFFICESegment> {
public:
  using TkivClassOf::TkivClassOf;
  uint8_t Marker() const override { return 0xE3; }
  std::string GetIdentifier() const override { return "MSOFFICE9.0"; }
  std::string GetDescription() const override { return "MSOFFICE9.0 segment"; }
  std::string GetShortName() const override { return "MSOFFICE9.0"; }
};

} // namespace

const TkivJpegInfoSegment::TClass& TkivJpegMSOFFICESegment::ClassObject() {
  static const TMSOFFICEClass Class("TkivJpegMSOFFICESegment");
  return Class;
}

void TkivJpegMSOFFICESegment::LoadFromStream(TStream& Stream) {
  LoadConsecutiveSegments(Stream);
}

void TkivJpegMSOFFICESegment::FillInfo() {
  TkivJpegInfoSegment::FillInfo();
  AddMailNotice(*Info);
}

void kivJpegMSOFFICESegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegMSOFFICESegment::ClassObject());
}
