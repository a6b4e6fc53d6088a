#include "jpeg/kivJpegUnicodeCommentSegment.h"

#include "framework/kivInfoStream.h"
#include "platform/kivCodePage.h"

const TkivJpegInfoSegment::TClass& TkivJpegUnicodeCommentSegment::ClassObject() {
  static const TkivJpegSegmentClassOf<TkivJpegUnicodeCommentSegment> Class(
      "TkivJpegUnicodeCommentSegment", {0xEA, {"UNICODE\0", 8}, "Unicode comment segment", "UCOM"});
  return Class;
}

int64_t TkivJpegUnicodeCommentSegment::GetSize() const {
  return Comment.empty() ? 0 : 8 + 4 + (int64_t(Comment.size()) + 1) * 2;
}

void TkivJpegUnicodeCommentSegment::SaveToStream(TStream& Stream) {
  if (!Comment.empty()) TkivJpegInfoSegment::SaveToStream(Stream);
}

void TkivJpegUnicodeCommentSegment::ReadFields() {
  Comment = ReadWideString(Data, BytesLeft(Data) / 2 * 2, true);
  const size_t Zero = Comment.find(u'\0');
  if (Zero != std::u16string::npos) Comment.resize(Zero);
}

void TkivJpegUnicodeCommentSegment::WriteFields(TStream& Stream) {
  WriteWideString(Stream, Comment, true);
  WriteWord(Stream, 0, true);
}

void TkivJpegUnicodeCommentSegment::WriteDataHTML(TkivHTMLItem& Parent) {
  AddText(Parent, "Comment:");
  AddParagraph(Parent);
  AddText(Parent, kivPlatform::WideToAnsi(Comment));
}

void TkivJpegUnicodeCommentSegment::FillInfo() {
  TkivJpegInfoSegment::FillInfo();
  AddInfoItem(*Info, 0, "Comment", kivPlatform::WideToAnsi(Comment));
}

void kivJpegUnicodeCommentSegment_Initialize() {
  RegisterJpegSegmentClass(TkivJpegUnicodeCommentSegment::ClassObject());
}
