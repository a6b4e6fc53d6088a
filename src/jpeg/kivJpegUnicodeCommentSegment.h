#pragma once
// The Unicode comment in APP10: UTF-16 big-endian text up to its first zero code unit.

#include <string>

#include "jpeg/kivJpegInfo.h"

class TkivJpegUnicodeCommentSegment : public TkivJpegInfoSegment {
public:
  using TkivJpegInfoSegment::TkivJpegInfoSegment;
  static const TClass& ClassObject();

  std::u16string Comment;

  int64_t GetSize() const override;
  void SaveToStream(TStream& Stream) override;
  // Whole code units only: an odd last byte is left over.
  void ReadFields() override;
  void WriteFields(TStream& Stream) override;
  void WriteDataHTML(TkivHTMLItem& Parent) override;
  void FillInfo() override;
};

void kivJpegUnicodeCommentSegment_Initialize();
