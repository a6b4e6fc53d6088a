#include "tiff/kivJpegExifSegment2.h"

#include <string>

#include "framework/kivInfoStream.h"

TkivJpegExifSegment::TkivJpegExifSegment(const TkivJpegInfoSegment::TClass& Class)
    : TkivJpegInfoSegment(Class), Tiff(std::make_unique<kivTiffInfo2::TkivTiff>()) {}

TkivJpegExifSegment::~TkivJpegExifSegment() {
  Tiff.reset();
}

const TkivJpegInfoSegment::TClass& TkivJpegExifSegment::ClassObject() {
  static const TkivJpegSegmentClassOf<TkivJpegExifSegment> Class(
      "TkivJpegExifSegment", {0xE1, {"Exif\0", 5}, "EXIF segment", "EXIF"});
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
