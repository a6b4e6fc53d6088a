#pragma once
// The APP1 segment that carries EXIF data: "Exif", a NUL, a pad byte, then a TIFF structure
// whose offsets count from its own header.

#include <memory>

#include "jpeg/kivJpegInfo.h"
#include "tiff/kivTiffInfo2.h"

class TkivJpegExifSegment : public TkivJpegInfoSegment {
public:
  explicit TkivJpegExifSegment(const TkivJpegInfoSegment::TClass& Class);
  ~TkivJpegExifSegment() override;
  static const TkivJpegInfoSegment::TClass& ClassObject();

  std::unique_ptr<kivTiffInfo2::TkivTiff> Tiff;

  void ReadFields() override;
  void WriteDataHTML(TkivHTMLItem& Parent) override;
};

void kivJpegExifSegment2_Initialize();
