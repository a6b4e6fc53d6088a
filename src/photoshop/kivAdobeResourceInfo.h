#pragma once
// Photoshop image resources: the resource block record and its classes, the owning block
// list that reads a sequence of blocks and shows it as one table, the block registry, the
// resource name table, and the decoded block types.
//
// The body is split by what changes together: kivAdobeResourceInfo.cpp the block record, the
// list, the registry, the names and the shared number texts; kivAdobeResourceBlocks.cpp the
// decoded block classes.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/kivStream.h"
#include "framework/kivClassObject.h"
#include "framework/kivHTML.h"
#include "framework/kivInfoTrace.h"
#include "framework/kivJpegBitmap.h"
#include "framework/kivWorkBudget.h"

// ---- Blocks ----

// One image-resource block: signature, 16-bit ID, name and data.
class TkivAdobeBlock : public TkivTraceObject {
public:
  class TClass : public TkivClassFamily<TkivAdobeBlock> {
  public:
    using TkivClassFamily::TkivClassFamily;
    // Does the 4-character signature name this class's blocks.
    virtual bool IsSignature(const std::string& Signature) const { return Signature == "8BIM"; }
    virtual bool AcceptsID(uint16_t) const { return true; }
    // Asks IsSignature and AcceptsID about the block at the stream's position, and leaves
    // the position where it was.
    virtual bool CanRead(TStream& Stream) const;
  };
  static const TClass& ClassObject();

  explicit TkivAdobeBlock(const TClass& Class) : Class(Class) {}
  const TClass& ClassType() const { return Class; }

  std::string Signature = "8BIM";
  uint16_t ID = 0;
  std::string Name;
  TMemoryStream Data;
  bool ReadError = false; // set by the list: loading failed
  // The report's work budget while the list reads or writes the block; null otherwise.
  TkivWorkBudget* Budget = nullptr;
  // The values (guides, flags, names) the report may still hold while the list reads the
  // block; null otherwise (a block read on its own may hold as many as a report).
  int64_t* ValuesLeft = nullptr;
  // The values of the data that were neither held nor shown: past what the report and the
  // budget allow. A block that left any out saves its data as read.
  int64_t ValuesLeftOut = 0;

  // Grants up to Count values of those the report and the budget have left, and counts them.
  int64_t TakeValues(int64_t Count);

  // The bytes the block takes when saved; 0 when it has no data (it is then left out).
  virtual int64_t GetSize();
  // Reads one record and leaves the stream after its data pad; throws on a short stream,
  // which a failing read leaves at its end.
  virtual void LoadFromStream(TStream& Stream);
  virtual void SaveToStream(TStream& Stream);
  // Appends the block's rows to the block table.
  virtual void WriteHTML(TkivHTMLTABLE& Table, bool ShowType, bool ShowName);
  // Appends the data cell to the block's first row.
  virtual void WriteDataHTML(TkivHTMLTR& Row);
  // The rows the block takes in the table.
  virtual int32_t RowCount() const;
  virtual void DataLoaded();
  virtual void PrepareSave();
  virtual uint32_t GetDataSize();
  virtual std::string GetName() const;

  // "Block " and the ID in four hexadecimal digits: the name of an ID without one.
  std::string DefaultName() const;

private:
  const TClass& Class;
  // What a block read on its own may still hold; set as each load starts.
  int64_t OwnValuesLeft = 0;
};

// An "8BIM" block shown undecoded, named from the resource name table.
class TkivAdobe8BIMBlock : public TkivAdobeBlock {
public:
  using TkivAdobeBlock::TkivAdobeBlock;
  static const TClass& ClassObject();
  void PrepareSave() override;
  std::string GetName() const override;
};

// The base of the decoded blocks: fields decoded from Data while loading, the bytes they
// leave over in ExtraData, and the table name without its "?".
class TkivAdobeKnown8BIMBlock : public TkivAdobe8BIMBlock {
public:
  using TkivAdobe8BIMBlock::TkivAdobe8BIMBlock;

  // The bytes of Data the fields leave, read where Data holds them.
  TMemoryStreamTail ExtraData{Data};

  void WriteHTML(TkivHTMLTABLE& Table, bool ShowType, bool ShowName) override;
  int32_t RowCount() const override;
  void DataLoaded() override;
  void PrepareSave() override;
  std::string GetName() const override;
  // Reads the fields from Data, which stands at 0.
  virtual void DecodeData() {}
};

class TkivAdobePHUTBlock : public TkivAdobeBlock {
public:
  using TkivAdobeBlock::TkivAdobeBlock;
  static const TClass& ClassObject();
  void PrepareSave() override;
};

// The blocks read from one payload, and the bytes after the last block that could be read.
class TkivAdobeBlockList : public TkivTraceObjectList {
public:
  // A real file's resources are a few dozen blocks, a thousand with every path; each block held
  // costs a row or more of the page, so a report's blocks beyond are passed over and counted,
  // however many segments hold them.
  static constexpr int64_t MaxBlocks = 4096;
  // The guides, flags and names a report's blocks hold and show together: far above what real
  // blocks have, while a payload of guides would otherwise make a row of every 5 bytes.
  static constexpr int64_t MaxValues = 10000;
  // What a report may still hold; its lists read one after the other from the same.
  struct TAllowance {
    int64_t Blocks = MaxBlocks;
    int64_t Values = MaxValues;
  };

  TMemoryStream TrailingData;
  // The blocks passed over, past the report's MaxBlocks or the budget's entries; a save leaves
  // them out.
  int64_t BlocksLeftOut = 0;

  TkivAdobeBlock& Block(int32_t Index) const { return static_cast<TkivAdobeBlock&>(*Item(Index)); }
  // Reads blocks until no class takes the bytes at the position; a block that fails to load
  // is kept and marked. The rest goes to TrailingData when KeepTrailing. Each block held is an
  // entry of Budget, the report's, and its values and pictures are asked of it too.
  void LoadFromStream(TStream& Stream, bool KeepTrailing, TkivWorkBudget& Budget);
  // The same for a list of a report that Left says what it may still hold.
  void LoadFromStream(TStream& Stream, bool KeepTrailing, TkivWorkBudget& Budget, TAllowance& Left);
  // The blocks in order, without the trailing bytes.
  void SaveToStream(TStream& Stream);
  int64_t GetSize();
  // A line break and the block table; what it dumps as hex is asked of Budget.
  void WriteHTML(TkivHTMLItem& Parent, TkivWorkBudget& Budget);
};

// The line a block table shows where it left out Count of its guides, flags or names (What).
std::string ValuesNotShownText(int64_t Count, const char* What);

// ---- The registry ----

using TkivAdobeBlockClassList = TkivClassList<TkivAdobeBlock::TClass>;
// Index 0 is asked first.
extern TkivAdobeBlockClassList AdobeBlockClassList;
// Puts the class at the front of the registry.
void RegisterAdobeBlockClass(const TkivAdobeBlock::TClass& Class);
// The first registered class that can read the block at the stream's position, or null.
const TkivAdobeBlock::TClass* FindAdobeBlockClass(TStream& Stream);

// ---- Resource names ----

struct TkivAdobeResourceName {
  uint16_t ID;
  const char* Name;
};
// A trailing "?" marks a resource shown undecoded.
extern const std::array<TkivAdobeResourceName, 57> AdobeResourceNames;

// ---- Numbers and names of the decoded blocks ----

// A signed 16.16 fixed-point number: a signed integer word and a fraction word.
using TkivAdobeFixed = int32_t;

TkivAdobeFixed ReadFixed(TStream& Stream);
void WriteFixed(TStream& Stream, TkivAdobeFixed Value);
long double FixedToFloat(TkivAdobeFixed Value);
TkivAdobeFixed FloatToFixed(long double Value);
// Digits decimals at most, without trailing zeros: 72, 72.5, 300.125.
std::string FormatFixed(TkivAdobeFixed Value, int Digits);
std::string FormatReal(int Digits, long double Value);
std::string UnitName(uint16_t Unit);
bool IsUnit(uint16_t Unit);
bool IsResolutionUnit(uint16_t Unit);
std::string ShapeName(int32_t Shape);
bool IsShape(int32_t Shape);
std::string ThumbnailFormatName(uint32_t Format);

// ---- Decoded blocks: values ----

class TkivAdobeCardinalBlock : public TkivAdobeKnown8BIMBlock {
public:
  using TkivAdobeKnown8BIMBlock::TkivAdobeKnown8BIMBlock;
  uint32_t Value = 0;
  void DecodeData() override;
  void PrepareSave() override;
  uint32_t GetDataSize() override { return 4; }
  void WriteDataHTML(TkivHTMLTR& Row) override;
};

class TkivAdobeStringBlock : public TkivAdobeKnown8BIMBlock {
public:
  using TkivAdobeKnown8BIMBlock::TkivAdobeKnown8BIMBlock;
  std::string Value;
  void DecodeData() override;
  void PrepareSave() override;
  uint32_t GetDataSize() override { return uint32_t(Value.size()); }
  void WriteDataHTML(TkivHTMLTR& Row) override;
};

class TkivAdobeBooleanBlock : public TkivAdobeKnown8BIMBlock {
public:
  using TkivAdobeKnown8BIMBlock::TkivAdobeKnown8BIMBlock;
  bool Value = false;
  void DecodeData() override;
  void PrepareSave() override;
  uint32_t GetDataSize() override { return 1; }
  void WriteDataHTML(TkivHTMLTR& Row) override;
};

// Names, one a line.
class TkivAdobeListBlock : public TkivAdobeKnown8BIMBlock {
public:
  using TkivAdobeKnown8BIMBlock::TkivAdobeKnown8BIMBlock;
  std::vector<std::string> Strings;
  void WriteDataHTML(TkivHTMLTR& Row) override;
};

// ---- Decoded blocks: resolution, print and names ----

class TkivAdobePrintFlagsInfoBlock : public TkivAdobeKnown8BIMBlock {
public:
  explicit TkivAdobePrintFlagsInfoBlock(const TClass& Class);
  static const TClass& ClassObject();
  uint16_t Version = 1;
  bool CenterCropMarks = false;
  uint8_t Reserved = 0;
  uint32_t BleedWidth = 0;
  uint16_t BleedUnit = 1;
  void DecodeData() override;
  void PrepareSave() override;
  uint32_t GetDataSize() override { return 10; }
  void WriteDataHTML(TkivHTMLTR& Row) override;

private:
  void SetDefaults();
};

class TkivAdobeResolutionInfoBlock : public TkivAdobeKnown8BIMBlock {
public:
  explicit TkivAdobeResolutionInfoBlock(const TClass& Class);
  static const TClass& ClassObject();
  TkivAdobeFixed hRes = 0;
  uint16_t hResUnit = 1, widthUnit = 1;
  TkivAdobeFixed vRes = 0;
  uint16_t vResUnit = 1, heightUnit = 1;
  void DecodeData() override;
  void PrepareSave() override;
  uint32_t GetDataSize() override { return 16; }
  void WriteDataHTML(TkivHTMLTR& Row) override;

private:
  void SetDefaults();
};

class TkivAdobeBorderInfoBlock : public TkivAdobeKnown8BIMBlock {
public:
  using TkivAdobeKnown8BIMBlock::TkivAdobeKnown8BIMBlock;
  static const TClass& ClassObject();
  TkivAdobeFixed Width = 0;
  uint16_t Unit = 1;
  void DecodeData() override;
  void PrepareSave() override;
  uint32_t GetDataSize() override { return 6; }
  void WriteDataHTML(TkivHTMLTR& Row) override;
};

class TkivAdobePrintFlagsBlock : public TkivAdobeKnown8BIMBlock {
public:
  using TkivAdobeKnown8BIMBlock::TkivAdobeKnown8BIMBlock;
  static const TClass& ClassObject();
  std::vector<uint8_t> Flags = std::vector<uint8_t>(8);
  // Flag I, the array first extended with zeros to hold it.
  uint8_t Flag(size_t I);
  void DecodeData() override;
  void PrepareSave() override;
  uint32_t GetDataSize() override;
  void WriteDataHTML(TkivHTMLTR& Row) override;
};

class TkivAdobeAlphaChannelNamesBlock : public TkivAdobeListBlock {
public:
  using TkivAdobeListBlock::TkivAdobeListBlock;
  static const TClass& ClassObject();
  void DecodeData() override;
  void PrepareSave() override;
};

class TkivAdobeUnicodeAlphaChannelNamesBlock : public TkivAdobeListBlock {
public:
  using TkivAdobeListBlock::TkivAdobeListBlock;
  static const TClass& ClassObject();
  void DecodeData() override;
  // The names are not written back: a save writes the bytes as loaded.
  void PrepareSave() override {}
};

// A link only for the schemes that open a page or a mail; anything else is plain text.
class TkivAdobeURLBlock : public TkivAdobeStringBlock {
public:
  using TkivAdobeStringBlock::TkivAdobeStringBlock;
  static const TClass& ClassObject();
  void WriteDataHTML(TkivHTMLTR& Row) override;
};

class TkivAdobeCopyRightBlock : public TkivAdobeBooleanBlock {
public:
  using TkivAdobeBooleanBlock::TkivAdobeBooleanBlock;
  static const TClass& ClassObject();
};

class TkivAdobeGlobalAngleBlock : public TkivAdobeCardinalBlock {
public:
  explicit TkivAdobeGlobalAngleBlock(const TClass& Class);
  static const TClass& ClassObject();
  void WriteDataHTML(TkivHTMLTR& Row) override;
};

class TkivAdobeGlobalAltitudeBlock : public TkivAdobeCardinalBlock {
public:
  using TkivAdobeCardinalBlock::TkivAdobeCardinalBlock;
  static const TClass& ClassObject();
};

// ---- Decoded blocks: halftone, transfer, guides and thumbnail ----

class TkivAdobeColorHalftoningBlock : public TkivAdobeKnown8BIMBlock {
public:
  struct TScreen {
    TkivAdobeFixed Frequency = 0;
    uint16_t Units = 0;
    TkivAdobeFixed Angle = 0;
    int16_t ShapeCode = 0; // negative: minus the length of the custom shape
    uint32_t Mics = 0;
    bool Accurate = false;
    bool Default = false;
  };
  using TkivAdobeKnown8BIMBlock::TkivAdobeKnown8BIMBlock;
  static const TClass& ClassObject();
  // C, M, Y and B.
  std::array<TScreen, 4> Screens{};
  std::array<std::string, 4> CustomShapes{};
  // Stores the shape text; a non-empty one sets the shape code to minus its length.
  void SetCustomShape(size_t Screen, const std::string& Shape);
  void DecodeData() override;
  void PrepareSave() override;
  uint32_t GetDataSize() override;
  void WriteDataHTML(TkivHTMLTR& Row) override;
};

class TkivAdobeColorTransferBlock : public TkivAdobeKnown8BIMBlock {
public:
  using TkivAdobeKnown8BIMBlock::TkivAdobeKnown8BIMBlock;
  static const TClass& ClassObject();
  // Tenths of a percent at the positions 0, 5, 10, 20, ... 90, 95, 100 of the C, M, Y and B
  // curves; 65535 where a curve has no point.
  std::array<std::array<uint16_t, 13>, 4> Points{};
  void DecodeData() override;
  void PrepareSave() override;
  uint32_t GetDataSize() override { return 112; }
  void WriteDataHTML(TkivHTMLTR& Row) override;
};

class TkivAdobeGridGuidesInfoBlock : public TkivAdobeKnown8BIMBlock {
public:
  struct TGuide {
    uint32_t Location = 0;
    uint8_t Direction = 0;
  };
  using TkivAdobeKnown8BIMBlock::TkivAdobeKnown8BIMBlock;
  static const TClass& ClassObject();
  uint32_t Version = 1;
  uint32_t GridCycle1 = 576;
  uint32_t GridCycle2 = 576;
  // Only the guides the data held and the list allowed: a count larger than the data is not
  // believed.
  std::vector<TGuide> Guides;
  // The guides the data held, with those left out.
  uint32_t Count() const { return uint32_t(int64_t(Guides.size()) + ValuesLeftOut); }
  void DecodeData() override;
  void PrepareSave() override;
  uint32_t GetDataSize() override { return 16 + 5 * Count(); }
  void WriteDataHTML(TkivHTMLTR& Row) override;
};

// IDs 1036 and 1033; the older kind (1033) stores its JPEG with red and blue exchanged.
class TkivAdobeThumbnailBlock : public TkivAdobeKnown8BIMBlock {
public:
  explicit TkivAdobeThumbnailBlock(const TClass& Class);
  ~TkivAdobeThumbnailBlock() override;
  static const TClass& ClassObject();
  uint32_t Format = 1;
  uint32_t Width = 0, Height = 0, WidthBytes = 0, Size = 0, CompressedSize = 0;
  uint16_t BitPixel = 24, Planes = 1;
  std::unique_ptr<TkivJpegBitmap> Bitmap;
  void DecodeData() override;
  void PrepareSave() override;
  uint32_t GetDataSize() override;
  void WriteDataHTML(TkivHTMLTR& Row) override;

private:
  void SetDefaults();
  // The row length of the bitmap at BitPixel bits a pixel, in whole 32-bit words.
  uint32_t RowBytes() const;
};

void kivAdobeResourceInfo_Initialize();
void kivAdobeResourceInfo_Finalize();
