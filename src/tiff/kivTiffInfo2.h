#pragma once
// The TIFF structure reader used for EXIF data: header, IFD chains, 12-byte entries and the
// sub-IFDs that offset entries lead to; the tag dictionary that names entries and turns their
// raw values into text; the entries that decode their data (user comment, spatial frequency
// response, colour filter pattern); the JPEG thumbnail of an IFD; and the report.
//
// The body is split by what changes together: kivTiffInfo2.cpp the reader and the report,
// kivTiffTags.cpp the field types, the tag tables and their formatters, and
// kivTiffSpecialEntries.cpp the entries that decode their data and the thumbnails.

#include <cstdint>
#include <memory>
#include <memory_resource>
#include <optional>
#include <string>
#include <unordered_set>
#include <variant>
#include <vector>

#include "base/kivStream.h"
#include "framework/kivBoundedReader.h"
#include "framework/kivClassObject.h"
#include "framework/kivHTML.h"
#include "framework/kivInfo.h"
#include "framework/kivInfoTrace.h"
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
// An integer value; none for a rational, a number, a character or an empty value.
std::optional<int64_t> ValueAsInteger(const TkivTiffValue& Value);

// ---- Tag dictionary ----

// What became of a value's text: decoded; not decoded, for a code that no list knows or data
// not decoded yet (the report marks it yellow); or refused, when the entry's type or count is
// not the one the tag's formatter decodes or its value cannot be read as that (the raw text is
// shown in red).
enum class TFormatResult { Decoded, NotDecoded, Refused };

// Turns the raw value text into the shown text in Result (left aside when refused).
using TTagFormatter = TFormatResult (*)(const TkivTiffEntry& Entry, const std::string& Raw,
                                        std::string& Result);

struct TTagNameRec {
  uint16_t Tag = 0;
  const char* Name = "";
  TTagFormatter Formatter = nullptr;
  const char* Format = ""; // one "%s", applied last
};

extern const TTagNameRec MainTagTable[138];
extern const TTagNameRec InteroperabilityTagTable[5];
// The first row with Tag, or a row with only Tag set.
TTagNameRec FindTagRec(const TTagNameRec* Table, size_t Count, uint16_t Tag);

// ---- Entries and values as bytes ----
// The reading both TIFF readers share, through a reader over the structure: its offsets count
// from the header and its byte order is the structure's.

constexpr int64_t EntrySize = 12;
// Where entry Index of the directory at IFD stands; entry Count is the next-IFD field.
inline int64_t EntryAt(int64_t IFD, int64_t Index) {
  return IFD + 2 + EntrySize * Index;
}

struct TkivTiffEntryFields {
  uint16_t Tag = 0;
  uint16_t FieldType = 0;
  uint32_t Count = 0;
};
// The tag, the type and the count of the entry at At, read in that order: a field that cannot
// be read throws EReadError and leaves the ones before it set.
void ReadEntryFields(const TkivBoundedReader& Reader, int64_t At, uint16_t& Tag,
                     uint16_t& FieldType, uint32_t& Count);
// The same fields as a look at an entry: none when its 12 bytes are not all there.
std::optional<TkivTiffEntryFields> PeekEntryFields(const TkivBoundedReader& Reader, int64_t At);
// Where the values of the entry at At stand: in its last 4 bytes or, when they do not fit
// there, at the offset those bytes hold.
int64_t EntryValuesAt(const TkivBoundedReader& Reader, int64_t At, bool OutOfLine);
// How many values of UnitSize bytes the data hold from At on.
inline int64_t ValuesFrom(const TkivBoundedReader& Reader, int64_t At, int64_t UnitSize) {
  return Reader.BytesFrom(At) / UnitSize;
}
// One value of the type at At; an invalid type reads one byte.
TkivTiffValue ReadValue(const TkivBoundedReader& Reader, int64_t At, uint16_t FieldType);

// ---- Reading ----

// What one read of a structure shares, owned by the root: the reader over its bytes, the byte
// order, where offsets count from, the directories already read, and the bounds on the work.
// The reading passes it down; the items keep a pointer to it for their byte order and base
// offset.
struct TkivTiffReadContext {
  const TkivBoundedReader* Reader = nullptr; // while the structure is read
  bool Motorola = false;
  int64_t Base = 0;              // the stream position of the header
  std::vector<uint32_t> Offsets; // the IFD offsets read, in order

  // What one structure may hold in all, so that overlapping directories and values cannot
  // multiply the work beyond the size of the data.
  int64_t EntriesLeft = INT64_MAX;
  int64_t ValuesLeft = INT64_MAX;
  // The report's work budget while the structure is read: pictures are asked of it, and
  // entries, values and bytes copied are counted in it too.
  TkivWorkBudget* Budget = nullptr;

  // Empties the context for a structure that Source holds, its header at Source's start.
  void Start(const TkivBoundedReader& Source);

  // False below 8 (inside the header) and for an offset already read.
  bool IsNewOffset(uint32_t Offset) const;
  // Returns the new offset's index.
  int32_t AddOffset(uint32_t Offset);
  // False when the structure has no room for Count more entries.
  bool TakeEntries(int64_t Count);
  // How many of Count values may be held.
  int64_t TakeValues(int64_t Count);

private:
  std::unordered_set<uint32_t> Visited;
};

// ---- Directories ----

class TkivTiffIFDClass : public TkivClassFamily<TkivTiffIFD> {
public:
  using TkivClassFamily::TkivClassFamily;
  // Create() makes a free-standing IFD without parent; this one a new IFD at the end of
  // Parent's list.
  using TkivClassFamily::Create;
  TkivTiffIFD& Create(TkivTiffCustomItem& Parent) const;
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
  const TkivTiffReadContext* Context = nullptr; // the root's; null without a root
  std::unique_ptr<TkivTiffJpegBitmap> Thumbnail;

  // The class of the entry at At.
  virtual const TkivTiffEntryClass& GetEntryClass(const TkivTiffReadContext& Context,
                                                  int64_t At) const;
  virtual void GetTagRec(const TkivTiffEntry& Entry, TTagNameRec& Rec) const;
  virtual std::string GetName() const;

  // The structure's; without a root Intel and 0.
  bool IsMotorola() const { return Context && Context->Motorola; }
  int64_t BaseOffset() const { return Context ? Context->Base : 0; }

  // Reads the directory at offset At. False when it cannot be read (too few bytes, too many
  // entries); it then stays empty and its chain ends.
  bool Load(TkivTiffReadContext& Context, int64_t At);
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

  TkivTiffIFD* Parent = nullptr;                // null for the root
  const TkivTiffReadContext* Context = nullptr; // the root's; null without a root

  virtual int32_t ItemSize() const { return 0; }
  // The class of the IFDs that offsets found in this item lead to.
  virtual const TkivTiffIFDClass& IFDClass() const;

  // The structure's; without a root Intel and 0.
  bool IsMotorola() const { return Context && Context->Motorola; }
  int64_t BaseOffset() const { return Context ? Context->Base : 0; }

  int32_t Level() const;
  TkivTiffIFD& IFD(int32_t Index) const { return static_cast<TkivTiffIFD&>(*Item(Index)); }

protected:
  // Follows a chain of IFD offsets, the first read at offset At.
  void ReadIFDChain(TkivTiffReadContext& Context, int64_t At);
};

// The entry class object: the class-level tests that pick an entry's class, and the virtual
// constructor.
class TkivTiffEntryClass : public TkivClassFamily<TkivTiffEntry> {
public:
  using TkivClassFamily::TkivClassFamily;

  // A directory asks CanRead only of the classes that accept the entry's tag.
  virtual bool AcceptsTag(uint16_t) const { return true; }
  virtual bool AcceptsType(uint16_t) const { return true; }
  virtual bool AcceptsCount(uint32_t) const { return true; }
  // Looks at the 12 entry bytes at offset At.
  virtual bool CanRead(const TkivBoundedReader& Reader, int64_t At) const;
  virtual const TkivTiffIFDClass& IFDClass() const;

  // Create() makes a free-standing entry; this one a new entry at the end of Parent's list.
  using TkivClassFamily::Create;
  TkivTiffEntry& Create(TkivTiffIFD& Parent) const;
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
  const TkivTiffIFDClass& IFDClass() const override { return Class.IFDClass(); }

  // Reads the 12 bytes at offset At and the values they lead to; whatever fails leaves what
  // was read.
  void Load(TkivTiffReadContext& Context, int64_t At);

  virtual bool IsOffsetValue() const;
  virtual int64_t OffsetDataSize() const;
  virtual void WriteHTML(TkivHTMLTABLE& Table) const;
  // Reads the values held from offset At on.
  virtual void ReadValues(TkivTiffReadContext& Context, int64_t At);
  virtual void WriteValueCell(TkivHTMLTR& Row) const;
  // The shown text of the value; when the tag's formatter refuses the entry S holds the raw
  // text.
  virtual TFormatResult GetValueText(std::string& S) const;
  virtual std::string GetName() const;

  // The count read from the entry. At most as many values as the data could supply are held;
  // the others read as empty.
  uint32_t ValueCount() const { return FCount; }
  int32_t HeldValues() const { return static_cast<int32_t>(Values.size()); }
  const TkivTiffValue& GetValue(int64_t Index) const;
  void SetValue(int64_t Index, TkivTiffValue Value);

protected:
  void AddNameCell(TkivHTMLTR& Row) const;

private:
  const TClass& Class;
  uint32_t FCount = 0;
  std::pmr::vector<TkivTiffValue> Values{&ListMemory()};
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
  void ReadValues(TkivTiffReadContext& Context, int64_t At) override;
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
  void ReadValues(TkivTiffReadContext& Context, int64_t At) override;
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
  TFormatResult GetValueText(std::string& S) const override;
  void WriteValueCell(TkivHTMLTR& Row) const override;
  void DecodeData(TStream& Stream) override;
};

// The entry class registry: asked in order, the first class that can read an entry wins.
using TkivTiffEntryClassList = TkivClassList<TkivTiffEntryClass>;
extern TkivTiffEntryClassList TiffEntryClassList;
void RegisterTiffEntryClass(const TkivTiffEntryClass& Class);

// ---- The root ----

class TkivTiff : public TkivTiffCustomItem {
public:
  TkivTiff() { Context = &ReadContext; }
  // The budget of the report the structure is part of; a structure read without one has a
  // budget of its own for each read.
  void SetWorkBudget(TkivWorkBudget& Budget) { ReportBudget = &Budget; }
  // Reads a structure whose header starts at the stream's position.
  void LoadFromStream(TStream& Stream);
  const TkivTiffIFDClass& IFDClass() const override;
  void WriteHTML(TkivHTMLItem& Parent) const;
  const TkivTiffReadContext& GetReadContext() const { return ReadContext; }

private:
  TkivTiffReadContext ReadContext;
  TkivWorkBudget* ReportBudget = nullptr;
  TkivWorkBudget OwnBudget;
};

// ---- Thumbnails of IFDs ----

class TkivCustomTiffBitmap : public kivInfo::TBitmap {
public:
  class TClass : public kivInfo::TBitmap::TClass {
  public:
    using kivInfo::TBitmap::TClass::TClass;
    using TInstanceBase = TkivCustomTiffBitmap;
    virtual bool CanLoad(const TkivTiffIFD&) const { return false; }
    // The picture an IFD points to: a new bitmap of this class, loaded from the IFD, its size
    // asked of Budget.
    std::unique_ptr<TkivCustomTiffBitmap> CreateFromIFD(const TkivTiffIFD& IFD,
                                                        const TkivBoundedReader& Reader,
                                                        TkivWorkBudget& Budget) const;
  };
  explicit TkivCustomTiffBitmap(const TClass& Class) : kivInfo::TBitmap(Class) {}
  // Base: an empty picture.
  virtual void LoadFromIFD(const TkivTiffIFD&, const TkivBoundedReader&, TkivWorkBudget&) {}
};

class TkivTiffJpegBitmap : public TkivCustomTiffBitmap {
public:
  static const TClass& ClassObject();
  using TkivCustomTiffBitmap::TkivCustomTiffBitmap;
  std::string GetCompression() const override { return "Jpeg"; }
  // Decodes the JPEG image at the IFD's JPEGInterchangeFormat offset; an empty picture when
  // that fails, and Refusal set when Budget refuses it.
  void LoadFromIFD(const TkivTiffIFD& IFD, const TkivBoundedReader& Reader,
                   TkivWorkBudget& Budget) override;
};

} // namespace kivTiffInfo2

void kivTiffInfo2_Initialize();
void kivTiffInfo2_Finalize();
