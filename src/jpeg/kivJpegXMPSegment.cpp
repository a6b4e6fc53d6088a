#include "jpeg/kivJpegXMPSegment.h"

#include "framework/kivInfoStream.h"

const TkivJpegInfoSegment::TClass& TkivJpegXMPSegment::ClassObject() {
  // The namespace that marks XMP in APP1, and its zero byte.
  static const TkivJpegSegmentClassOf<TkivJpegXMPSegment> Class(
      "TkivJpegXMPSegment", {0xE1, {"http://ns.adobe.com/xap/1.0/\0", 29}, "XMP segment", "XMP"});
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
