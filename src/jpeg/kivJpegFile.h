#pragma once
// A whole JPEG file as a segment list: the walk over its segments, the pieces that are no
// segment of the class list (markers without a length, entropy-coded data, trailing data,
// structure errors), and the whole-file page.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "extended/kivMultiPicture.h"
#include "extended/kivTrailers.h"
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

// The bytes after the end-of-image marker: their size, and their first bytes for a hex dump;
// or a trailer of a known kind, described.
class TkivJpegTrailingData : public TkivSegment {
public:
  using TkivSegment::TkivSegment;
  static const TkivSegment::TClass& ClassObject();
  static const TkivSegment::TClass& SamsungClassObject();
  static const TkivSegment::TClass& VideoClassObject();
  std::unique_ptr<TkivSamsungTrailer> Samsung;
  std::unique_ptr<TkivMp4Video> Video;
  static constexpr int64_t DumpSize = 256;
  int64_t GetSize() const override { return FileSize; }
  // Keeps the first DumpSize bytes and passes over the rest.
  void LoadFromStream(TStream& Stream) override;
  // The same for the Count bytes at Start (bytes between two images).
  void LoadPart(TStream& Stream, int64_t Start, int64_t Count);
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
  ~TkivJpegFile() override;
  static const TkivSegmentList::TClass& ClassObject();
  // More pieces than this end the walk: a real file has a few dozen, and each costs a report.
  static constexpr int32_t MaxSegments = 10000;
  // More images than this are not walked: phones write four or five, and each costs a report.
  static constexpr int32_t MaxImages = 16;

  // One image of the file: its pieces, from its start-of-image marker to its end-of-image.
  struct TImage {
    int64_t Offset = 0, Size = 0; // in the file
    int32_t First = 0, Last = 0;  // its pieces, First to Last - 1
    int32_t Entry = -1;           // its entry in the multi-picture index; -1 for none
    uint32_t Type = 0;            // the entry's type
    bool Ended = false;           // it ends with its end-of-image marker
    std::string Kind;             // "primary image", "gain map"; empty when not known
    std::string SizeProblem;      // the index's size disagrees with the image's
    std::unique_ptr<kivInfo::TBitmap> Picture;
  };
  std::vector<TImage> Images;
  // Its picture, once; none for an image cut short or a file no longer at hand.
  void DecodePicture(TImage& Image);
  // The entries of the first image's multi-picture index, and what the walk found at each.
  struct TEntryCheck {
    std::string Text;
    bool Wrong = false;
  };
  std::vector<TEntryCheck> EntryChecks;
  // The first image's multi-picture index, and the file position its offsets count from (-1
  // without an index).
  TkivMpIndex Index;
  int64_t IndexBase = -1;
  // The images that the index names, the first included (more than MaxImages may be named).
  int64_t NamedImages = 0;
  TEntryCheck CheckOfEntry(int32_t Entry) const;

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
  // Walks one image from its start-of-image marker at the stream's position; false when the
  // walk ends before its end-of-image marker.
  bool LoadImage(TStream& Stream, int32_t Entry);
  // The images after the first: those the index names, and those that follow another directly.
  void LoadFurtherImages(TStream& Stream);
  // What follows the last image, from Position to the end: a Samsung trailer, a video, data.
  void LoadTrailers(TStream& Stream, int64_t Position);
  void WriteContents(TkivHTMLItem& Parent, int32_t First, int32_t Last);
  bool LoadMarkerSegment(TStream& Stream, int64_t Start, uint8_t Code);
  void LoadAsData(TStream& Stream, int64_t Start, int64_t Count);
  bool ReadEntropyData(TStream& Stream);
  void AddError(int64_t Offset, const std::string& Message, bool Lost);
};
