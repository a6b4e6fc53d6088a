#pragma once
// JPEG marker segments: the class tree from the signature down to the thumbnail segment
// base, the marker description table and the JPEG segment class list.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "framework/kivInfo.h"

class TkivJpegSegment : public TkivSegment {
public:
  class TClass : public TkivSegment::TClass {
  public:
    using TkivSegment::TClass::TClass;
    // The second byte of every segment of the class.
    virtual uint8_t Marker() const { return 0; }
    // The exact bytes that follow the length field; empty when the class has none.
    virtual std::string GetIdentifier() const { return {}; }
  };

  explicit TkivJpegSegment(const TClass& Class) : TkivSegment(Class) {}
  const TClass& JpegClass() const { return static_cast<const TClass&>(ClassType()); }

  void WriteHTML(TkivHTMLItem& Parent) override;
  // The report under the heading and the size line; here a hex dump of the whole segment.
  virtual void WriteDataHTML(TkivHTMLItem& Parent);
};

// The two bytes FF D8.
class TkivJpegSignatireSegment : public TkivJpegSegment {
public:
  using TkivJpegSegment::TkivJpegSegment;
  static const TClass& ClassObject();
  int64_t GetSize() const override { return 2; }
  void InitDefault() override;
  void LoadFromStream(TStream& Stream) override;
};

// FF, marker, 16-bit big-endian length, payload.
class TkivJpegNormalSegment : public TkivJpegSegment {
public:
  class TClass : public TkivJpegSegment::TClass {
  public:
    using TkivJpegSegment::TClass::TClass;
    bool CanRead(TStream& Stream) const override;
  };
  using TkivJpegSegment::TkivJpegSegment;
  void LoadFromStream(TStream& Stream) override;

protected:
  // Appends one segment from Stream's position to Data: FF and marker, the length, and the
  // payload as far as the stream holds it.
  void AppendSegment(TStream& Stream);
  // Loads every consecutive segment that the class reads as one segment, then decodes.
  void LoadConsecutiveSegments(TStream& Stream);
};

// The system markers: the marker comes from the class name, the texts from the table.
class TkivJpegSysSegment : public TkivJpegNormalSegment {
public:
  using TkivJpegNormalSegment::TkivJpegNormalSegment;
};

// APP0..APP15 without a decoder of their own.
class TkivJpegAPPSegment : public TkivJpegNormalSegment {
public:
  using TkivJpegNormalSegment::TkivJpegNormalSegment;
  void ParseData() override;
};

// The extension markers JPG0..JPG14 (no class for 10).
class TkivJpegJPGSegment : public TkivJpegNormalSegment {
public:
  using TkivJpegNormalSegment::TkivJpegNormalSegment;
};

// Takes anything: every remaining byte, no report text.
class TkivJpegDataSegmemt : public TkivSegment {
public:
  using TkivSegment::TkivSegment;
  static const TkivSegment::TClass& ClassObject();
};

// A decoded segment: identifier, fields, and the bytes the fields leave (extra data).
class TkivJpegKnownSegment : public TkivJpegNormalSegment {
public:
  using TkivJpegNormalSegment::TkivJpegNormalSegment;

  // The bytes of Data the fields leave, read where Data holds them.
  TMemoryStreamTail ExtraData{Data};

  int64_t GetSize() const override;
  void ParseData() override;
  void InitDefault() override;
  void WriteHTML(TkivHTMLItem& Parent) override;
  // Decodes the bytes after the identifier; Data stands just after it.
  virtual void ReadFields() {}
  // Appends the default bytes of the fields after the identifier.
  virtual void WriteFields(TStream&) {}
};

class TkivJpegInfoSegment : public TkivJpegKnownSegment {
public:
  class TClass : public TkivJpegNormalSegment::TClass {
  public:
    using TkivJpegNormalSegment::TClass::TClass;
    bool IsInfoSegment() const override { return true; }
  };
  using TkivJpegKnownSegment::TkivJpegKnownSegment;
};

// A decoded segment that owns a thumbnail bitmap.
class TkivJpegThumbnailSegment : public TkivJpegInfoSegment {
public:
  class TClass : public TkivJpegInfoSegment::TClass {
  public:
    using TkivJpegInfoSegment::TClass::TClass;
    // The class of the bitmap a new segment starts with.
    virtual const kivInfo::TBitmap::TClass& GetThumbnailClass() const;
  };
  explicit TkivJpegThumbnailSegment(const TClass& Class);
  ~TkivJpegThumbnailSegment() override;

  // Format 0 JPEG data, 1 three bytes per pixel, 2 one byte per pixel; -1: no limit.
  virtual int32_t MaxThumbnailPixels(int32_t Format) const;
  virtual int32_t MaxThumbnailWidth() const { return 0; }
  virtual int32_t MaxThumbnailHeight() const { return 0; }
  virtual void ThumbnailChanged();

  kivInfo::TBitmap& Thumbnail() const { return *FThumbnail; }
  void SetThumbnailClass(const kivInfo::TBitmap::TClass& BitmapClass);
  int32_t ThumbnailWidth() const { return FThumbnail->Width(); }
  int32_t ThumbnailHeight() const { return FThumbnail->Height(); }
  void SetThumbnailWidth(int32_t Width) { FThumbnail->SetWidth(Width); }
  void SetThumbnailHeight(int32_t Height) { FThumbnail->SetHeight(Height); }

  int64_t GetSize() const override;
  void ReadFields() override;

private:
  void Install(std::unique_ptr<kivInfo::TBitmap> Bitmap);
  std::unique_ptr<kivInfo::TBitmap> FThumbnail;
};

// The class-level answers of a decoded segment class, as data: its marker, its identifier (the
// exact bytes after the length field; empty for none), its description and its short name.
struct TkivJpegClassTexts {
  uint8_t Marker;
  std::string_view Identifier;
  std::string_view Description;
  std::string_view ShortName;
};

// The class object of a decoded segment class that answers from its texts.
template <class TSegment> class TkivJpegSegmentClassOf : public TkivClassOf<TSegment> {
public:
  TkivJpegSegmentClassOf(std::string Name, const TkivJpegClassTexts& Texts)
      : TkivClassOf<TSegment>(std::move(Name)), Texts(Texts) {}
  uint8_t Marker() const override { return Texts.Marker; }
  std::string GetIdentifier() const override { return std::string(Texts.Identifier); }
  std::string GetDescription() const override { return std::string(Texts.Description); }
  std::string GetShortName() const override { return std::string(Texts.ShortName); }

private:
  TkivJpegClassTexts Texts;
};

// The classes of the structure segments add flag element 3.
template <class TClassBase> class TkivJpegStructureClass : public TClassBase {
public:
  using TClassBase::TClassBase;
  void GetFlags(TkivSegmentFlags& Flags) const override {
    TClassBase::GetFlags(Flags);
    Flags |= sfStructure;
  }
};

struct TkivIntSegmentDesc {
  uint8_t Marker;
  const char* Description;
  const char* ShortName;
};
extern const TkivIntSegmentDesc IntSegmentDescs[22];

// The list the report driver walks: index 0 is asked first.
extern TkivSegmentClassList JpegSegmentClassList;
// Puts the class at the front of the JPEG segment class list.
void RegisterJpegSegmentClass(const TkivSegment::TClass& Class);

void kivJpegInfo_Initialize();
void kivJpegInfo_Finalize();
