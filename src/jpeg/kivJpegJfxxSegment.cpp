#include "jpeg/kivJpegJfxxSegment.h"

#include "framework/kiv1BytesPerPixelBitmap.h"
#include "framework/kiv3BytesPerPixelBitmap.h"
#include "framework/kivInfoStream.h"
#include "framework/kivJpegBitmap.h"

namespace {

class TJfxxClass : public TkivJpegSegmentClassOf<TkivJpegJfxxSegment> {
public:
  using TkivJpegSegmentClassOf::TkivJpegSegmentClassOf;
  const kivInfo::TBitmap::TClass& GetThumbnailClass() const override {
    return Tkiv3BytesPerPixelBitmap::ClassObject();
  }
};

// The bitmap class of an extension code, or null for a code without a thumbnail.
const kivInfo::TBitmap::TClass* ThumbnailClassOf(uint8_t Code) {
  switch (Code) {
  case 0x10:
    return &TkivJpegBitmap::ClassObject();
  case 0x11:
    return &Tkiv1BytesPerPixelBitmap::ClassObject();
  case 0x13:
    return &Tkiv3BytesPerPixelBitmap::ClassObject();
  default:
    return nullptr;
  }
}

} // namespace

const TkivJpegThumbnailSegment::TClass& TkivJpegJfxxSegment::ClassObject() {
  static const TJfxxClass Class("TkivJpegJfxxSegment",
                                {0xE0, {"JFXX\0", 5}, "JFXX segment", "JFXX"});
  return Class;
}

int32_t TkivJpegJfxxSegment::MaxThumbnailPixels(int32_t Format) const {
  switch (Format) {
  case 0:
    return 65527;
  case 1:
    return 21841;
  case 2:
    return 64757;
  default:
    return -1;
  }
}

int64_t TkivJpegJfxxSegment::GetSize() const {
  if (int64_t(ThumbnailWidth()) * ThumbnailHeight() <= 0 || !ThumbnailClassOf(ExtensionCode) ||
      Thumbnail().GetDataSize() == 0)
    return 0;
  return TkivJpegThumbnailSegment::GetSize() + 1;
}

void TkivJpegJfxxSegment::SaveToStream(TStream& Stream) {
  if (GetSize() != 0) TkivJpegThumbnailSegment::SaveToStream(Stream);
}

void TkivJpegJfxxSegment::ReadFields() {
  TkivJpegThumbnailSegment::ReadFields();
  ExtensionCode = 0xFF;
  if (!HasBytes(Data, 1)) return;
  ExtensionCode = ReadByte(Data);
  if (const kivInfo::TBitmap::TClass* BitmapClass = ThumbnailClassOf(ExtensionCode)) {
    SetThumbnailClass(*BitmapClass);
    kivInfo::LoadThumbnail(Thumbnail(), Data, WorkBudget());
  }
}

void TkivJpegJfxxSegment::WriteFields(TStream& Stream) {
  WriteByte(Stream, ExtensionCode);
  kivInfo::SaveThumbnail(Thumbnail(), Stream);
}

void TkivJpegJfxxSegment::WriteDataHTML(TkivHTMLItem& Parent) {
  if (int64_t(ThumbnailWidth()) * ThumbnailHeight() < 1 && !Thumbnail().Refused()) return;
  WriteThumbnailRows(AddReportTable(Parent), Thumbnail(), true);
}

void TkivJpegJfxxSegment::FillInfo() {
  TkivJpegThumbnailSegment::FillInfo();
  AddThumbnailInfo(*Info, Thumbnail());
}

void kivJpegJfxxSegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegJfxxSegment::ClassObject());
}
