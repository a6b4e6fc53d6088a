#include "jpeg/kivJpegJfifSegment.h"

#include <algorithm>

#include "framework/kiv3BytesPerPixelBitmap.h"
#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"

namespace {

class TJfifClass : public TkivJpegSegmentClassOf<TkivJpegJfifSegment> {
public:
  using TkivJpegSegmentClassOf::TkivJpegSegmentClassOf;
  const kivInfo::TBitmap::TClass& GetThumbnailClass() const override {
    return Tkiv3BytesPerPixelBitmap::ClassObject();
  }
};

std::string VersionText(const TkivJpegJfifSegment& Segment) {
  return Format("%d.%.2d", Segment.MajorVersion(), Segment.MinorVersion());
}

// The name of the density unit, or empty when the code has none.
std::string UnitsName(uint8_t Units) {
  switch (Units) {
  case 0:
    return "No unit";
  case 1:
    return "Inch";
  case 2:
    return "Cm";
  default:
    return {};
  }
}

} // namespace

const TkivJpegThumbnailSegment::TClass& TkivJpegJfifSegment::ClassObject() {
  static const TJfifClass Class("TkivJpegJfifSegment",
                                {0xE0, {"JFIF\0", 5}, "JFIF segment", "JFIF"});
  return Class;
}

TkivJpegJfifSegment::TkivJpegJfifSegment(const TClass& Class) : TkivJpegThumbnailSegment(Class) {
  SetThumbnailClass(Tkiv3BytesPerPixelBitmap::ClassObject());
}

int32_t TkivJpegJfifSegment::MaxThumbnailPixels(int32_t) const {
  return 21839;
}

int64_t TkivJpegJfifSegment::GetSize() const {
  return TkivJpegThumbnailSegment::GetSize() + int64_t(Header.size());
}

void TkivJpegJfifSegment::ReadFields() {
  TkivJpegThumbnailSegment::ReadFields();
  if (!HasBytes(Data, 1)) return;
  Header = DefaultHeader;
  const std::string Bytes =
      ReadString(Data, std::min<int64_t>(BytesLeft(Data), int64_t(Header.size())));
  std::copy(Bytes.begin(), Bytes.end(), Header.begin());
  kivInfo::LoadThumbnail(Thumbnail(), Data, WorkBudget());
}

void TkivJpegJfifSegment::WriteFields(TStream& Stream) {
  Stream.WriteBuffer(Header.data(), int64_t(Header.size()));
  kivInfo::SaveThumbnail(Thumbnail(), Stream);
}

void TkivJpegJfifSegment::WriteDataHTML(TkivHTMLItem& Parent) {
  TkivHTMLTABLE& Table = AddReportTable(Parent);
  AddTextRow(Table, {"Tag", "Value"});
  AddTextRow(Table, {"Version", VersionText(*this)});
  const std::string Units = UnitsName(this->Units());
  AddTextRow(Table, {"Density units",
                     Units.empty() ? FormatCannotDecode(std::to_string(this->Units())) : Units});
  AddTextRow(Table, {"Horizontal density", std::to_string(XDensity())});
  AddTextRow(Table, {"Vertical density", std::to_string(YDensity())});
  WriteThumbnailRows(Table, Thumbnail(), true);
}

void TkivJpegJfifSegment::FillInfo() {
  TkivJpegThumbnailSegment::FillInfo();
  AddInfoItem(*Info, 0, "Version", VersionText(*this));
  const std::string Units = UnitsName(this->Units());
  AddInfoItem(*Info, 0, "Density units", Units.empty() ? "<unknown units>" : Units);
  if (this->Units() != 0) {
    AddInfoItem(*Info, 0, "Horizontal density", std::to_string(XDensity()));
    AddInfoItem(*Info, 0, "Vertical density", std::to_string(YDensity()));
  }
  AddThumbnailInfo(*Info, Thumbnail());
}

void kivJpegJfifSegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegJfifSegment::ClassObject());
}
