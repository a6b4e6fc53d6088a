#pragma once
// The MSOFFICE9.0 segments in APP3: not decoded; consecutive ones are read as one segment, and
// everything after the first identifier is shown as extra data.

#include "jpeg/kivJpegInfo.h"

class TkivJpegMSOFFICESegment : public TkivJpegInfoSegment {
public:
  using TkivJpegInfoSegment::TkivJpegInfoSegment;
  static const TClass& ClassObject();

  void LoadFromStream(TStream& Stream) override;
  void FillInfo() override;
};

void kivJpegMSOFFICESegment_Initialize();
