#pragma once
// The COM segment: a text up to its first zero byte.

#include <string>

#include "jpeg/kivJpegInfo.h"

class TkivJpegCommentSegment : public TkivJpegInfoSegment {
public:
  explicit TkivJpegCommentSegment(const TClass& Class) : TkivJpegInfoSegment(Class) {}
  static const TClass& ClassObject();

  std::string Comment;

  int64_t GetSize() const override;
  void SaveToStream(TStream& Stream) override;
  void ReadFields() override;
  void WriteFields(TStream& Stream) override;
  void WriteDataHTML(TkivHTMLItem& Parent) override;
  void FillInfo() override;
};

void kivJpegCommentSegment_Initialize();
