#include "jpeg/kivJpegSiemensSegment.h"

#include <algorithm>

#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"

namespace {

constexpr int32_t Side = 32;

class TSiemensClass : public TkivJpegSegmentClassOf<TkivJpegSiemensSegment> {
public:
  using TkivJpegSegmentClassOf::TkivJpegSegmentClassOf;
  const kivInfo::TBitmap::TClass& GetThumbnailClass() const override {
    return TkivSiemensBitmap::ClassObject();
  }
};

std::string UnknownText(const std::array<uint8_t, 5>& B) {
  return Format("%.2x %.2x %.2x %.2x %.2x", B[0], B[1], B[2], B[3], B[4]);
}

} // namespace

// ---- The bitmap ----

const kivInfo::TBitmap::TClass& TkivSiemensBitmap::ClassObject() {
  static const TkivClassOf<TkivSiemensBitmap> Class("TkivSiemensBitmap");
  return Class;
}

void TkivSiemensBitmap::ReadThumbnail(TStream& Stream, TkivWorkBudget& Budget) {
  const int64_t N = std::min<int64_t>(Side * Side * 2, BytesLeft(Stream));
  if (!TakePicture(Budget, Side, Side)) {
    // The pixels are the picture's, shown or not.
    Stream.SetPosition(Stream.GetPosition() + N / 2 * 2);
    return;
  }
  SetPixelFormat(TkivPixelFormat::pf24bit);
  SetSize(Side, Side);
  for (int32_t I = 0; I < N / 2; ++I) {
    const uint16_t V = ReadWord(Stream, false);
    SetPixel(I % Side, I / Side,
             {uint8_t((V >> 11) << 3), uint8_t(((V >> 5) & 63) << 2), uint8_t((V & 31) << 3)});
  }
}

void TkivSiemensBitmap::WriteThumbnail(TStream& Stream) {
  for (int32_t Y = 0; Y < Side; ++Y)
    for (int32_t X = 0; X < Side; ++X) {
      const TkivColor C = GetPixel(X, Y);
      WriteWord(Stream, uint16_t((C.R & 0xF8) << 8 | (C.G & 0xFC) << 3 | C.B >> 3), false);
    }
}

// ---- The segment ----

const TkivJpegThumbnailSegment::TClass& TkivJpegSiemensSegment::ClassObject() {
  static const TSiemensClass Class(
      "TkivJpegSiemensSegment",
      {0xE7, {"<SIEMENS THUMBNAIL>\x01\x20\x20\x08", 23}, "Siemens thumbnail", "Siemens"});
  return Class;
}

int64_t TkivJpegSiemensSegment::GetSize() const {
  return TkivJpegThumbnailSegment::GetSize() + int64_t(UnknownData.size());
}

void TkivJpegSiemensSegment::ReadFields() {
  TkivJpegThumbnailSegment::ReadFields();
  UnknownData = {};
  for (uint8_t& Byte : UnknownData)
    Byte = ReadByteOr(Data, 0);
  kivInfo::LoadThumbnail(Thumbnail(), Data, WorkBudget());
}

void TkivJpegSiemensSegment::WriteFields(TStream& Stream) {
  Stream.WriteBuffer(UnknownData.data(), int64_t(UnknownData.size()));
  kivInfo::SaveThumbnail(Thumbnail(), Stream);
}

void TkivJpegSiemensSegment::WriteDataHTML(TkivHTMLItem& Parent) {
  TkivHTMLTABLE& Table = AddReportTable(Parent);
  AddTextRow(Table, {"Tag", "Value"});
  TkivHTMLTR& Row = AddRow(Table, {.BgColor = "Yellow"});
  AddTextCell(Row, "Unknown");
  AddTextCell(Row, UnknownText(UnknownData));
  WriteThumbnailRows(Table, Thumbnail(), true);
}

void TkivJpegSiemensSegment::FillInfo() {
  TkivJpegThumbnailSegment::FillInfo();
  AddInfoItem(*Info, WarningIcon, "Unknown data", UnknownText(UnknownData));
  AddThumbnailInfo(*Info, Thumbnail());
  AddMailNotice(*Info);
}

void kivJpegSiemensSegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegSiemensSegment::ClassObject());
}
