#pragma once
// The StripOffsets entry of the standalone TIFF tree: with the directory's other entries it
// describes an uncompressed 8-8-8 RGB strip, which LoadData turns into a picture.

#include <memory>
#include <string>

#include "tiff/kivTiffBitmap.h"
#include "tiff/kivTiffInfo.h"

class TkivTiffStripOffsetInfo : public kivTiffInfo::TkivTiffEntry {
public:
  class TClass : public kivTiffInfo::TkivTiffEntry::TClass {
  public:
    using kivTiffInfo::TkivTiffEntry::TClass::TClass;
    bool AcceptsTag(uint16_t Tag) const override { return Tag == 273; }
    bool AcceptsType(uint16_t FieldType) const override { return FieldType == 3 || FieldType == 4; }
    bool AcceptsCount(uint32_t Count) const override { return Count == 1; }
  };
  static const kivTiffInfo::TkivTiffEntry::TClass& ClassObject();
  using kivTiffInfo::TkivTiffEntry::TkivTiffEntry;

  // The strip's picture; null until LoadData built one.
  std::unique_ptr<TkivRGBBitmap> Bitmap;
  // Why LoadData built no picture for a strip it could describe.
  std::string PictureNote;

  std::string GetName() const override { return "StripOffset"; }
  void WriteValueCell(TkivHTMLTR& Row) const override;
  // Builds the picture when the directory describes one strip of 8-bit red, green and blue
  // samples without compression.
  void LoadData(const TkivBoundedReader& Reader) override;
};

void kivTiffStripOffsetInfo_Initialize();
