#include "tiff/kivJpegExifSegment2.h"

#include <string>

#include "framework/kivInfoStream.h"

namespace {
class TExifClass : public TkivClassOf<TkivJpegExifSegment> {
public:
  using TkivClassOf::TkivClassOf;
  uint8_t Marker() const override { return 0xE1; }
  std::string GetIdentifier() const override { return std::string("Exif\0", 5); }
  std::string GetDescription() const override { return "EXIF segment"; }
  std::string GetShortName() const override { return "EXIF"; }
};
} // namespace

TkivJpegExifSegment::TkivJpegExifSegment(const TkivJpegInfoSegment::TClass& Class)
    : TkivJpegInfoSegment(Class), Tiff(std::make_unique<kivTiffInfo2::TkivTiff>()) {}

TkivJpegExifSegment::~TkivJpegExifSegment() {
  Tiff.reset();
}

const TkivJpegInfoSegment::TClass& TkivJpegExifSegment::ClassObject() {
  static const TExifClass Class("TkivJpegExifSegment");
  return Class;
}

void TkivJpegExifSegment::ReadFields() {
  // A segment that ends before the pad byte fails here and shows nothing.
  (void)ReadByte(Data);
  Tiff->SetWorkBudget(WorkBudget());
  Tiff->LoadFromStream(Data);
  // The structure is the rest of the segment: no extra data.
  Data.SetPosition(Data.GetSize());
}

void TkivJpegExifSegment::WriteDataHTML(TkivHTMLItem& Parent) {
  Tiff->WriteHTML(Parent);
}

void kivJpegExifSegment2_Initialize() {
  RegisterJpegSegmentClass(TkivJpegExifSegment::ClassObject());
}
