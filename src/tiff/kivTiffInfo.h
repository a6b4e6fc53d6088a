#pragma once
// The standalone TIFF tree: a whole TIFF file as a segment list whose one segment holds the
// file's bytes and reads its IFD chain into a tree of information-tree items. A simpler
// reader than the EXIF one of kivTiffInfo2: it names no tags, follows no sub-IFDs and
// interprets only the resolution and position entries. Its entry, directory and registry
// classes share names with kivTiffInfo2's, hence the namespace.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/kivStream.h"
#include "framework/kivBoundedReader.h"
#include "framework/kivClassObject.h"
#include "framework/kivHTML.h"
#include "framework/kivInfo.h"
#include "tiff/kivTiffInfo2.h"

namespace kivTiffInfo {

using kivTiffInfo2::TkivTiffValue;

class TkivTiffEntry;
class TkivTiffSegment;

// Bytes per value: the EXIF reader's sizes for the codes 1 to 12; any other code takes 4
// bytes and is read one byte per value.
int32_t TypeUnitSize(uint16_t FieldType);
// One value of the type at At: as the EXIF reader for the codes 1 to 12, one byte otherwise.
TkivTiffValue ReadValue(const TkivBoundedReader& Reader, int64_t At, uint16_t FieldType);
// The bytes ReadValue takes: the unit size for codes 1 to 12, one byte otherwise.
int32_t ValueReadSize(uint16_t FieldType);

struct TTagNameRec {
  uint16_t Tag = 0;
  std::string Name;
  std::string Format;
  void (*Formatter)(const TkivTiffEntry&, std::string&) = nullptr;
};

// An item of the TIFF tree.
class TkivTiffCustomData : public TkivTreeItem {
public:
  virtual bool IsOffsetValue() const { return false; }
  virtual int64_t OffsetDataSize() const { return 0; }
  virtual int64_t DataSize() const { return OffsetDataSize(); }
  // Reads the item at offset At of the segment's data.
  virtual void Load(const TkivBoundedReader&, int64_t) {}
  // Builds what needs the data beyond the entries (the strip picture); here the children's.
  virtual void LoadData(const TkivBoundedReader& Reader);
  // Asked of the parent, when it is an item of the TIFF tree.
  virtual bool IsMotorola() const;
  virtual int64_t BaseOffset() const;
  // The segment the tree belongs to, or null.
  TkivTiffSegment* OwnerSegment() const;
};

class TkivTiffEntry : public TkivTiffCustomData {
public:
  class TClass : public TkivClassFamily<TkivTiffEntry> {
  public:
    using TkivClassFamily::TkivClassFamily;
    virtual bool AcceptsTag(uint16_t) const { return true; }
    virtual bool AcceptsType(uint16_t) const { return true; }
    virtual bool AcceptsCount(uint32_t) const { return true; }
    // Looks at the 12 entry bytes at offset At.
    virtual bool CanRead(const TkivBoundedReader& Reader, int64_t At) const;
  };
  static const TClass& ClassObject();

  explicit TkivTiffEntry(const TClass& Class) : Class(Class) {}
  const TClass& ClassType() const { return Class; }

  uint16_t Tag = 0;
  uint16_t FieldType = 0;
  // The values held: as many as the count asks for, or as the data could supply.
  std::vector<TkivTiffValue> Values;
  TTagNameRec TagRec;
  bool Error = false;

  // Arg is the report table.
  void Process(void* Arg) override;
  uint32_t GetIcon() const override;
  std::string GetName() const override;
  std::string GetValue() const override;
  bool IsOffsetValue() const override;
  int64_t OffsetDataSize() const override;
  int64_t DataSize() const override { return OffsetDataSize() + 12; }
  // Reads the 12 bytes at offset At and the values they point to; a failure sets Error.
  void Load(const TkivBoundedReader& Reader, int64_t At) override;

  virtual void WriteValueCell(TkivHTMLTR& Row) const;
  virtual bool HasError() const { return Error; }

  uint32_t Count() const { return FCount; }
  // The directory the entry belongs to, or null.
  const class TkivTiffIFD* IFD() const;

private:
  const TClass& Class;
  uint32_t FCount = 0;
};

// XResolution and YResolution: a number, and the unit when it is not "none".
class TkivTiffXYResolutionEntry : public TkivTiffEntry {
public:
  class TClass : public TkivTiffEntry::TClass {
  public:
    using TkivTiffEntry::TClass::TClass;
    bool AcceptsTag(uint16_t Tag) const override { return Tag == 282 || Tag == 283; }
    bool AcceptsType(uint16_t FieldType) const override { return FieldType == 5; }
    bool AcceptsCount(uint32_t Count) const override { return Count == 1; }
  };
  static const TkivTiffEntry::TClass& ClassObject();
  using TkivTiffEntry::TkivTiffEntry;
  std::string GetValue() const override;
};

// XPosition and YPosition: a number, and the resolution unit when it is not "none".
class TkivTiffXYPositionEntry : public TkivTiffEntry {
public:
  class TClass : public TkivTiffEntry::TClass {
  public:
    using TkivTiffEntry::TClass::TClass;
    bool AcceptsTag(uint16_t Tag) const override { return Tag == 286 || Tag == 287; }
    bool AcceptsType(uint16_t FieldType) const override { return FieldType == 5; }
    bool AcceptsCount(uint32_t Count) const override { return Count == 1; }
  };
  static const TkivTiffEntry::TClass& ClassObject();
  using TkivTiffEntry::TkivTiffEntry;
  std::string GetValue() const override;
};

using TkivTiffEntryClassList = TkivClassList<TkivTiffEntry::TClass>;
extern TkivTiffEntryClassList TiffEntryClassList;
// Puts the class at the front of the entry class registry.
void RegisterTiffEntryClass(const TkivTiffEntry::TClass& Class);

class TkivTiffIFD : public TkivTiffCustomData {
public:
  class TClass : public TkivClassFamily<TkivTiffIFD> {
  public:
    using TkivClassFamily::TkivClassFamily;
  };
  static const TClass& ClassObject();

  explicit TkivTiffIFD(const TClass& Class) : Class(Class) {}
  const TClass& ClassType() const { return Class; }

  void Process(void* Arg) override;
  std::string GetName() const override;
  // Reads the directory at offset At, then the directories its chain leads to, each a new
  // item after this one under the same parent. The chain ends at an offset already read,
  // outside the data, or when the segment's bounds on the work are spent.
  void Load(const TkivBoundedReader& Reader, int64_t At) override;
  virtual void GetTagRec(const TkivTiffEntry& Entry, TTagNameRec& Rec) const;

  TkivTiffEntry& Entry(int32_t Index) const { return static_cast<TkivTiffEntry&>(GetChild(Index)); }
  // The first entry with Tag, or null.
  const TkivTiffEntry* FindEntry(uint16_t Tag) const;
  // The segment's bounds on the work stopped the reading of its entries.
  bool Cut = false;

private:
  // Reads this directory's entries; answers the next directory's offset, or 0.
  uint32_t LoadEntries(const TkivBoundedReader& Reader, int64_t At);
  const TClass& Class;
};

class TkivTiffFirstIFD : public TkivTiffIFD {
public:
  using TkivTiffIFD::TkivTiffIFD;
  static const TClass& ClassObject();
  // Under the tree: the segment's byte order and header offset.
  bool IsMotorola() const override;
  int64_t BaseOffset() const override;
};

// The root: its children are the IFDs in chain order.
class TkivTiffTree : public TkivTreeItem {
public:
  explicit TkivTiffTree(TkivTiffSegment& Segment) : Segment(&Segment) {}
  TkivTiffSegment* Segment; // not owned
  std::string GetName() const override { return "Tiff segment"; }
};

class TkivTiffSegment : public TkivSegment {
public:
  static const TkivSegment::TClass& ClassObject();
  explicit TkivTiffSegment(const TClass& Class);
  ~TkivTiffSegment() override;

  uint16_t Magic = 0;
  bool Motorola = false;
  std::unique_ptr<TkivTiffTree> Tree;

  // Where the TIFF header stands in the data stream.
  virtual int64_t HeaderOffset() const { return 0; }
  // The data from the header on, in the header's byte order.
  TkivBoundedReader DataReader();

  int64_t GetSize() const override { return 2; }
  void LoadFromStream(TStream& Stream) override;
  void ParseData() override;
  void InitDefault() override;
  void FillInfo() override;
  void WriteHTML(TkivHTMLItem& Parent) override;

  // Bounds on the work of one read, so that overlapping directories and values cannot
  // multiply it beyond the size of the data: directories, entries and values in all. A
  // directory's offset is taken once: false for one already read.
  bool TakeOffset(uint32_t Offset);
  bool TakeEntry();
  // How many of Count values may be read.
  int64_t TakeValues(int64_t Count);

private:
  std::unordered_set<uint32_t> Offsets;
  int64_t IFDsLeft = 0;
  int64_t EntriesLeft = 0;
  int64_t ValuesLeft = 0;
};

// The file format "Tiff": one segment holding the whole file. Loading it also builds the
// strip picture (the LoadData pass).
class TkivTiffSegmentList : public TkivSegmentList {
public:
  using TkivSegmentList::TkivSegmentList;
  TkivTiffSegmentList() : TkivSegmentList(ClassObject()) {}
  static const TkivSegmentList::TClass& ClassObject();
  const TkivSegment::TClass& GetFirstSegmentClass() const override;
  const TkivSegmentClassList& GetSegmentClassList() const override;
  void LoadFromStream(TStream& Stream) override;
};

extern TkivSegmentClassList TiffSegmentClassList;

} // namespace kivTiffInfo

void kivTiffInfo_Initialize();
void kivTiffInfo_Finalize();
