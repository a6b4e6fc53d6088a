#pragma once
// A whole JPEG file as a segment list: the walk over its segments, the pieces that are no
// segment of the class list (markers without a length, entropy-coded data, trailing data,
// structure errors), and the whole-file page.

#include <cstdint>
#include <string>

#include "jpeg/kivJpegInfo.h"

// The pieces of a JPEG file that are no segment of the class list. The whole-file walk
// creates them; they are registered nowhere, so a segment file never becomes one.

// A marker without a length outside the entropy-coded data: end of image, restart, TEM.
class TkivJpegMarkerSegment : public TkivJpegSegment {
public:
  using TkivJpegSegment::TkivJpegSegment;
  // The class of a marker that carries no length, or null.
  static const TClass* ClassOf(uint8_t Marker);
  int64_t GetSize() const override { return 2; }
  void LoadFromStream(TStream& Stream) override;
};

// The entropy-coded data after a scan header, kept as offset and size and never copied.
class TkivJpegEntropyData : public TkivSegment {
public:
  using TkivSegment::TkivSegment;
  static const TkivSegment::TClass& ClassObject();
  int32_t RestartMarkers = 0;
  int64_t GetSize() const override { return FileSize; }
  void FillInfo() override;
  void WriteHTML(TkivHTMLItem& Parent) override;
};

// The bytes after the end-of-image marker: their size, and their first bytes for a hex dump.
class TkivJpegTrailingData : public TkivSegment {
public:
  using TkivSegment::TkivSegment;
  static const TkivSegment::TClass& ClassObject();
  static constexpr int64_t DumpSize = 256;
  int64_t GetSize() const override { return FileSize; }
  // Keeps the first DumpSize bytes and passes over the rest.
  void LoadFromStream(TStream& Stream) override;
  void FillInfo() override;
  void WriteHTML(TkivHTMLItem& Parent) override;
};

// Where the walk found something wrong with the file's structure, and what.
class TkivJpegFileError : public TkivSegment {
public:
  using TkivSegment::TkivSegment;
  static const TkivSegment::TClass& ClassObject();
  std::string Message;
  // Bytes of the file were lost to the reader: a segment cut short, or bytes not read at all.
  bool Lost = false;
  void FillInfo() override;
  void WriteHTML(TkivHTMLItem& Parent) override;
};

class TkivJpegFile : public TkivSegmentList {
public:
  using TkivSegmentList::TkivSegmentList;
  TkivJpegFile() : TkivSegmentList(ClassObject()) {}
  static const TkivSegmentList::TClass& ClassObject();
  // More pieces than this end the walk: a real file has a few dozen, and each costs a report.
  static constexpr int32_t MaxSegments = 10000;

  const TkivSegment::TClass& GetFirstSegmentClass() const override;
  const TkivSegmentClassList& GetSegmentClassList() const override;
  // Segments in file order; after each scan header the entropy-coded data, after the end of
  // image the trailing data; anything that is no segment ends the walk with a file error.
  void LoadFromStream(TStream& Stream) override;
  // A heading with the file's name and size, a table of contents, then each piece's report
  // under an anchor.
  void WriteHTML(TkivHTMLItem& Parent) override;

  // "FFxx" for a piece that starts with a marker, else empty.
  static std::string MarkerText(const TkivSegment& Segment);

private:
  bool LoadMarkerSegment(TStream& Stream, int64_t Start, uint8_t Code);
  void LoadAsData(TStream& Stream, int64_t Start, int64_t Count);
  bool ReadEntropyData(TStream& Stream);
  void AddError(int64_t Offset, const std::string& Message, bool Lost);
};
