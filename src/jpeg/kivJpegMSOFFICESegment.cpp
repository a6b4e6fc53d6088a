#include "jpeg/kivJpegMSOFFICESegment.h"

const TkivJpegInfoSegment::TClass& TkivJpegMSOFFICESegment::ClassObject() {
  static const TkivJpegSegmentClassOf<TkivJpegMSOFFICESegment> Class(
      "TkivJpegMSOFFICESegment", {0xE3, "MSOFFICE9.0", "MSOFFICE9.0 segment", "MSOFFICE9.0"});
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
