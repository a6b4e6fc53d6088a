#include "jpeg/kivJpegCommentSegment.h"

#include "framework/kivInfoStream.h"

const TkivJpegInfoSegment::TClass& TkivJpegCommentSegment::ClassObject() {
  static const TkivJpegSegmentClassOf<TkivJpegCommentSegment> Class(
      "TkivJpegCommentSegment", {0xFE, {}, "Comment segment", "COM"});
  return Class;
}

int64_t TkivJpegCommentSegment::GetSize() const {
  return Comment.empty() ? 0 : 4 + int64_t(Comment.size()) + 1;
}

void TkivJpegCommentSegment::SaveToStream(TStream& Stream) {
  if (!Comment.empty()) TkivJpegInfoSegment::SaveToStream(Stream);
}

void TkivJpegCommentSegment::ReadFields() {
  Comment = ReadString(Data, BytesLeft(Data));
  const size_t Zero = Comment.find('\0');
  if (Zero != std::string::npos) Comment.resize(Zero);
}

void TkivJpegCommentSegment::WriteFields(TStream& Stream) {
  WriteString(Stream, Comment);
  WriteByte(Stream, 0);
}

void TkivJpegCommentSegment::WriteDataHTML(TkivHTMLItem& Parent) {
  AddText(Parent, "Comment:");
  AddParagraph(Parent);
  AddText(Parent, Comment);
}

void TkivJpegCommentSegment::FillInfo() {
  TkivJpegInfoSegment::FillInfo();
  AddInfoItem(*Info, 0, "Comment", Comment);
}

void kivJpegCommentSegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegCommentSegment::ClassObject());
}
