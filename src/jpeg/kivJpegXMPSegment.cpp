#include "jpeg/kivJpegXMPSegment.h"

#include "framework/kivInfoStream.h"

namespace {

class TXMPClass : public TkivClassOf<TkivJpegXMPSegment> {
public:
  using TkivClassOf::TkivClassOf;
  uint8_t Marker() const override { return 0xE1; }
  // The namespace that marks XMP in APP1, and its zero byte.
  std::string GetIdentifier() const override {
    return std::string("http://ns.adobe.com/xap/1.0/\0", 29);
  }
  std::string GetDescription() const override { return "XMP segment"; }
  std::string GetShortName() const override { return "XMP"; }
};

} // namespace

const TkivJpegInfoSegment::TClass& TkivJpegXMPSegment::ClassObject() {
  static const TXMPClass Class("TkivJpegXMPSegment");
  return Class;
}

int64_t TkivJpegXMPSegment::GetSize() const {
  return XMP.empty() ? 0 : TkivJpegInfoSegment::GetSize() + int64_t(XMP.size());
}

void TkivJpegXMPSegment::SaveToStream(TStream& Stream) {
  if (!XMP.empty()) TkivJpegInfoSegment::SaveToStream(Stream);
}

void TkivJpegXMPSegment::ReadFields() {
  XMP = ReadString(Data, BytesLeft(Data));
}

void TkivJpegXMPSegment::WriteFields(TStream& Stream) {
  WriteString(Stream, XMP);
}

void TkivJpegXMPSegment::FillInfo() {
  TkivJpegInfoSegment::FillInfo();
  AddInfoItem(*Info, 0, "XMP", XMP);
}

void kivJpegXMPSegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegXMPSegment::ClassObject());
}
