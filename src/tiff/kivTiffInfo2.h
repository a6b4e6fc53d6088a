#pragma once
// The TIFF structure reader used for EXIF data: header, IFD chains, 12-byte entries and the
// sub-IFDs that offset entries lead to; the tag dictionary that names entries and turns their
// raw values into text; the entries that decode their data (user comment, spatial frequency
// response, colour filter pattern); the JPEG thumbnail of an IFD; and the report.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <variant>
#include <vector>

#include "framework/kivClassObject.h"
#include "framework/kivHTML.h"
#include "framework/kivInfo.h"
#include "framework/kivInfoTrace.h"
#include "framework/kivStream.h"
#include "framework/kivWorkBudget.h"

namespace kivTiffInfo2 {

class TkivTiffCustomItem;
class TkivTiffEntry;
class TkivTiffEntryClass;
class TkivTiffIFD;
class TkivTiffIFDClass;
class TkivTiffJpegBitmap;

// One decoded value of an entry; monostate is a value that could not be read.
using TkivTiffValue = std::variant<std::monostate, uint8_t, int8_t, uint16_t, int16_t, uint32_t,
                                   int32_t, double, std::string>;

// ---- Field types ----

enum : uint16_t {
  ftByte = 1,
  ftAscii = 2,
  ftShort = 3,
  ftLong = 4,
  ftRational = 5,
  ftSByte = 6,
  ftUndefined = 7,
  ftSShort = 8,
  ftSLong = 9,
  ftSRational = 10,
  ftFloat = 11,
  ftDouble = 12,
  ftIFD = 13,
  ftUnicode = 14,
  ftComplex = 15,
  ftLong8 = 16,
  ftSLong8 = 17,
  ftIFD8 = 18,
};

bool IsValidType(uint16_t FieldType);
// Bytes per value; an invalid type reads one byte per value.
int32_t TypeUnitSize(uint16_t FieldType);
// Values of the text types are joined without a separator.
bool IsTextType(uint16_t FieldType);
bool IsOffsetType(uint16_t FieldType);
// The type's name; Unknown is set for codes outside 1..18.
void GetTypeName(uint16_t FieldType, bool& Unknown, std::string& S);
// "Tag" and the tag as 4 upper-case hexadecimal digits.
void GetTagText(uint16_t Tag, std::string& S);
// The text of one value as the report shows it.
std::string ValueToText(const TkivTiffValue& Value);

// ---- Tag dictionary ----

// Turns the raw value text into the shown text, or throws (the raw text is then shown in red).
using TTagFormatter = void (*)(const TkivTiffEntry& Entry, const std::string& Raw,
                               std::string& Result);

struct TTagNameRec {
  uint16_t Tag = 0;
  const char* Name = "";
  TTagFormatter Formatter = nullptr;
  const char* Format = ""; // one "%s", applied last
};

extern const TTagNameRec MainTagTable[138];
extern const TTagNameRec InteroperabilityTagTable[5];
// The formatter whose values are marked yellow as undecoded.
void FormatNotSupported(const TkivTiffEntry& Entry, const std::string& Raw, std::string& Result);
// The first row with Tag, or a row with only Tag set.
TTagNameRec FindTagRec(const TTagNameRec* Table, size_t Count, uint16_t Tag);

// ---- Directories ----

class TkivTiffIFDClass : public TkivClassObject {
public:
  using TkivClassObject::TkivClassObject;
  // A new IFD at the end of Parent's list.
  TkivTiffIFD& Create(TkivTiffCustomItem& Parent) const;
  // A free-standing IFD without parent.
  std::unique_ptr<TkivTiffIFD> Create() const { return NewInstance(); }

protected:
  virtual std::unique_ptr<TkivTiffIFD> NewInstance() const;
};

template <class TInstance> class TkivTiffIFDClassOf : public TkivTiffIFDClass {
public:
  using TkivTiffIFDClass::TkivTiffIFDClass;

protected:
  std::unique_ptr<TkivTiffIFD> NewInstance() const override {
    return std::make_unique<TInstance>(*this);
  }
};

// One directory; its items are its entries in file order.
class TkivTiffIFD : public TkivTraceObjectList {
public:
  using TClass = TkivTiffIFDClass;
  static const TClass& ClassObject();

  explicit TkivTiffIFD(const TClass& Class) : Class(Class) {}
  ~TkivTiffIFD() override;
  const TClass& ClassType() const { return Class; }

  TkivTiffCustomItem* Parent = nullptr;
  std::unique_ptr<TkivTiffJpegBitmap> Thumbnail;

  virtual const TkivTiffEntryClass& GetEntryClass(TStream& Stream) const;
  virtual void GetTagRec(const TkivTiffEntry& Entry, TTagNameRec& Rec) const;
  virtual bool IsMotorola() const;
  virtual int64_t BaseOffset() const;
  virtual std::string GetName() const;

  // False when the directory cannot be read (too few bytes, too many entries); it then stays
  // empty and its chain ends.
  bool LoadFromStream(TStream& Stream);
  int32_t IndexOfTag(uint16_t Tag) const;
  TkivTiffEntry* FindEntry(uint16_t Tag) const;
  int32_t Level() const;
  void WriteHTML(TkivHTMLTABLE& Table) const;
  TkivTiffEntry& Entry(int32_t Index) const;

private:
  const TClass& Class;
};

// Every IFD of the main chain and the EXIF sub-IFD: named from the main tag table.
class TkivTiffFirstIFD : public TkivTiffIFD {
public:
  using TkivTiffIFD::TkivTiffIFD;
  static const TClass& ClassObject();
  void GetTagRec(const TkivTiffEntry& Entry, TTagNameRec& Rec) const override;
};

class TkivTiffInteroperabilityIFD : public TkivTiffIFD {
public:
  using TkivTiffIFD::TkivTiffIFD;
  static const TClass& ClassObject();
  void GetTagRec(const TkivTiffEntry& Entry, TTagNameRec& Rec) const override;
};

// ---- Items: the root and the entries ----

class TkivTiffCustomItem : public TkivTraceObjectList {
public:
  TkivTiffCustomItem() = default;

  TkivTiffIFD* Parent = nullptr; // null for the root
  std::vector<uint32_t> Offsets; // IFD offsets already read (in the root only)

  virtual int32_t ItemSize() const { return 0; }
  virtual void LoadFromStream(TStream&) {}
  virtual int32_t AddOffset(uint32_t Offset);
  virtual bool IsNewOffset(uint32_t Offset) const;
  // The class of the IFDs that offsets found in this item lead to.
  virtual const TkivTiffIFDClass& IFDClass() const;
  virtual bool IsMotorola() const { return false; }
  virtual int64_t BaseOffset() const { return 0; }

  int32_t Level() const;
  TkivTiffIFD& IFD(int32_t Index) const { return static_cast<TkivTiffIFD&>(*Item(Index)); }

  // What one structure may hold in all, so that overlapping directories and values cannot
  // multiply the work beyond the size of the data. Kept where the visited offsets are.
  bool TakeEntries(int64_t Count);
  int64_t TakeValues(int64_t Count);
  // The budget of the report the structure is part of, kept by the root: the one set by the
  // segment that holds the structure, or the root's own.
  TkivWorkBudget& WorkBudget();
  void SetWorkBudget(TkivWorkBudget& Budget) { ReportBudget = &Budget; }

protected:
  // Follows a chain of IFD offsets, the first read from the stream's position.
  void ReadIFDChain(TStream& Stream);
  TkivTiffCustomItem& Holder();
  const TkivTiffCustomItem& Holder() const;
  void ResetLimits(int64_t DataSize);

private:
  std::unordered_set<uint32_t> Visited;
  int64_t EntryBudget = INT64_MAX;
  int64_t ValueBudget = INT64_MAX;
  TkivWorkBudget* ReportBudget = nullptr;
  TkivWorkBudget OwnBudget;
};

// The entry class object: the class-level tests that pick an entry's class, and the virtual
// constructor.
class TkivTiffEntryClass : public TkivClassObject {
public:
  using TkivClassObject::TkivClassObject;

  virtual bool AcceptsTag(uint16_t) const { return true; }
  virtual bool AcceptsType(uint16_t) const { return true; }
  virtual bool AcceptsCount(uint32_t) const { return true; }
  // Looks at the 12 entry bytes at the stream's position; the position is kept.
  virtual bool CanRead(TStream& Stream, bool Motorola, int64_t Base) const;
  virtual const TkivTiffIFDClass& IFDClass() const;

  // A new entry at the end of Parent's list.
  TkivTiffEntry& Create(TkivTiffIFD& Parent) const;
  std::unique_ptr<TkivTiffEntry> Create() const { return NewInstance(); }

protected:
  virtual std::unique_ptr<TkivTiffEntry> NewInstance() const;
};

template <class TInstance, class TBase> class TkivTiffEntryClassOf : public TBase {
public:
  using TBase::TBase;

protected:
  std::unique_ptr<TkivTiffEntry> NewInstance() const override {
    return std::make_unique<TInstance>(*this);
  }
};

// One IFD entry; its children are the IFDs it leads to (offset entries only).
class TkivTiffEntry : public TkivTiffCustomItem {
public:
  using TClass = TkivTiffEntryClass;
  static const TClass& ClassObject();

  explicit TkivTiffEntry(const TClass& Class) : Class(Class) {}
  const TClass& ClassType() const { return Class; }

  uint16_t Tag = 0;
  uint16_t FieldType = 0;
  TTagNameRec TagRec;

  int32_t ItemSize() const override { return 12; }
  void LoadFromStream(TStream& Stream) override;
  const TkivTiffIFDClass& IFDClass() const override { return Class.IFDClass(); }
  bool IsMotorola() const override;
  int64_t BaseOffset() const override;

  virtual bool IsOffsetValue() const;
  virtual int64_t OffsetDataSize() const;
  virtual void WriteHTML(TkivHTMLTABLE& Table) const;
  virtual void ReadValues(TStream& Stream);
  virtual void WriteValueCell(TkivHTMLTR& Row) const;
  // Throws when the tag's formatter refuses the entry; S then holds the raw text.
  virtual void GetValueText(std::string& S) const;
  virtual std::string GetName() const;

  // The count read from the entry. At most as many values as the data could supply are held;
  // the others read as empty.
  uint32_t ValueCount() const { return FCount; }
  int32_t HeldValues() const { return static_cast<int32_t>(Values.size()); }
  const TkivTiffValue& GetValue(int64_t Index) const;
  void SetValue(int64_t Index, TkivTiffValue Value);

protected:
  TkivHTMLTD& AddNameCell(TkivHTMLTR& Row) const;

private:
  const TClass& Class;
  uint32_t FCount = 0;
  std::vector<TkivTiffValue> Values;
};

// An entry whose value is the offset of a sub-IFD chain.
class TkivTiffOffsetEntry : public TkivTiffEntry {
public:
  class TClass : public TkivTiffEntry::TClass {
  public:
    using TkivTiffEntry::TClass::TClass;
    bool AcceptsType(uint16_t FieldType) const override { return IsOffsetType(FieldType); }
    bool AcceptsCount(uint32_t Count) const override { return Count == 1; }
  };
  using TkivTiffEntry::TkivTiffEntry;
  void ReadValues(TStream& Stream) override;
};

class TkivTiffExifOffsetEntry : public TkivTiffOffsetEntry {
public:
  using TkivTiffOffsetEntry::TkivTiffOffsetEntry;
  static const TkivTiffEntry::TClass& ClassObject();
};

class TkivTiffInteroperabilityOffsetEntry : public TkivTiffOffsetEntry {
public:
  using TkivTiffOffsetEntry::TkivTiffOffsetEntry;
  static const TkivTiffEntry::TClass& ClassObject();
};

// An entry whose raw data bytes are decoded before its values are read.
class TkivTiffEntryEx : public TkivTiffEntry {
public:
  using TkivTiffEntry::TkivTiffEntry;
  void ReadValues(TStream& Stream) override;
  // Stream holds exactly the entry's data bytes, positioned at 0.
  virtual void DecodeData(TStream&) {}
};

class TkivTiffCustomGridEntry : public TkivTiffEntryEx {
public:
  using TkivTiffEntryEx::TkivTiffEntryEx;
  uint16_t Columns = 0;
  uint16_t Rows = 0;
  std::vector<std::string> Cells; // row by row
  bool Failed = false;
  void WriteValueCell(TkivHTMLTR& Row) const override;
};

class TkivTiffGridEntry : public TkivTiffCustomGridEntry {
public:
  using TkivTiffCustomGridEntry::TkivTiffCustomGridEntry;
  void DecodeData(TStream& Stream) override;

protected:
  // The rows as stored, before the heading row was added.
  uint16_t StoredRows = 0;
};

class TkivTiffSFREntry : public TkivTiffGridEntry {
public:
  using TkivTiffGridEntry::TkivTiffGridEntry;
  static const TkivTiffEntry::TClass& ClassObject();
  void DecodeData(TStream& Stream) override;
};

class TkivTiffCFAPatternEntry : public TkivTiffGridEntry {
public:
  using TkivTiffGridEntry::TkivTiffGridEntry;
  static const TkivTiffEntry::TClass& ClassObject();
  int32_t DigitOffset = 0;
  void DecodeData(TStream& Stream) override;
};

class TkivTiffUserCommentEntry : public TkivTiffEntryEx {
public:
  using TkivTiffEntryEx::TkivTiffEntryEx;
  static const TkivTiffEntry::TClass& ClassObject();
  std::string CharSet;
  std::string Text;
  void GetValueText(std::string& S) const override;
  void WriteValueCell(TkivHTMLTR& Row) const override;
  void DecodeData(TStream& Stream) override;
};

// The entry class registry: asked in order, the first class that can read an entry wins.
class TkivTiffEntryClassList {
public:
  int32_t Count() const { return static_cast<int32_t>(Items.size()); }
  const TkivTiffEntryClass& operator[](int32_t Index) const { return *Items.at(size_t(Index)); }
  void Add(const TkivTiffEntryClass& Class) { Items.push_back(&Class); }

private:
  std::vector<const TkivTiffEntryClass*> Items;
};

extern TkivTiffEntryClassList* TiffEntryClassList;
void RegisterTiffEntryClass(const TkivTiffEntryClass& Class);

// ---- The root ----

class TkivTiff : public TkivTiffCustomItem {
public:
  TkivTiff() = default;
  uint32_t Base = 0;
  bool Motorola = false;
  // Reads a structure whose header starts at the stream's position.
  void LoadFromStream(TStream& Stream) override;
  const TkivTiffIFDClass& IFDClass() const override;
  bool IsMotorola() const override { return Motorola; }
  int64_t BaseOffset() const override { return Base; }
  void WriteHTML(TkivHTMLItem& Parent) const;
};

// ---- Thumbnails of IFDs ----

class TkivCustomTiffBitmap : public kivInfo::TBitmap {
public:
  class TClass : public kivInfo::TBitmap::TClass {
  public:
    using kivInfo::TBitmap::TClass::TClass;
    virtual bool CanLoad(const TkivTiffIFD&) const { return false; }
    // The virtual constructor: the picture an IFD points to, its size asked of Budget.
    virtual std::unique_ptr<TkivCustomTiffBitmap>
    CreateFromIFD(const TkivTiffIFD& IFD, TStream& Stream, TkivWorkBudget& Budget) const;
    std::unique_ptr<kivInfo::TBitmap> Create() const override;
  };
  explicit TkivCustomTiffBitmap(const TClass& Class) : kivInfo::TBitmap(Class) {}
};

class TkivTiffJpegBitmap : public TkivCustomTiffBitmap {
public:
  static const TClass& ClassObject();
  using TkivCustomTiffBitmap::TkivCustomTiffBitmap;
  std::string GetCompression() const override { return "Jpeg"; }
  // Decodes the JPEG image at the IFD's JPEGInterchangeFormat offset; an empty picture when
  // that fails, and Refusal set when Budget refuses it.
  void LoadFromIFD(const TkivTiffIFD& IFD, TStream& Stream, TkivWorkBudget& Budget);
};

} // namespace kivTiffInfo2

void kivTiffInfo2_Initialize();
void kivTiffInfo2_Finalize();
