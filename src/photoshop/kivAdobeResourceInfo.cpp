#include "photoshop/kivAdobeResourceInfo.h"

#include <algorithm>
#include <cmath>

#include "base/kivException.h"
#include "framework/kivFormat.h"
#include "framework/kivInfo.h"
#include "framework/kivInfoStream.h"
#include "framework/kivNumberText.h"

const std::array<TkivAdobeResourceName, 57> AdobeResourceNames = {{
    {1000, "Photoshop2Info?"},
    {1001, "MacintoshPrintInfo?"},
    {1002, "XMLData?"},
    {1003, "Photoshop2ColorTable?"},
    {1005, "ResolutionInfo?"},
    {1006, "AlphaChannelNames?"},
    {1007, "DisplayInfo?"},
    {1008, "Caption?"},
    {1009, "BorderInformation?"},
    {1010, "BackgroundColor?"},
    {1011, "PrintFlags?"},
    {1012, "BW_HalftoningInfo?"},
    {1013, "ColorHalftoningInfo?"},
    {1014, "DuotoneHalftoningInfo?"},
    {1015, "BW_TransferFunc?"},
    {1016, "ColorTransferFunc?"},
    {1017, "DuotoneTransferFunc?"},
    {1018, "DuotoneImageInfo?"},
    {1019, "EffectiveBW?"},
    {1020, "Obsolete1?"},
    {1021, "EPSOptions?"},
    {1022, "QuickMaskInfo?"},
    {1023, "Obsolete2"},
    {1024, "LayerStateInfo?"},
    {1025, "WorkingPath?"},
    {1026, "LayersGroupInfo?"},
    {1027, "Obsolete3?"},
    {1028, "IPTC?"},
    {1029, "RawImageMode?"},
    {1030, "JPEG quality?"},
    {1032, "GridGuidesInfo?"},
    {1033, "ThumbnailOld?"},
    {1034, "CopyrightFlag?"},
    {1035, "URL?"},
    {1036, "Thumbnail?"},
    {1037, "GlobalAngle?"},
    {1038, "ColorSamplersResource??"},
    {1039, "ICC_Profile?"},
    {1040, "Watermark?"},
    {1041, "ICC_Untagged?"},
    {1042, "EffectsVisible?"},
    {1043, "SpotHalftone?"},
    {1044, "IDsBaseValue?"},
    {1045, "UnicodeAlphaChannelNames?"},
    {1046, "IndexedColorTableCount?"},
    {1047, "TansparentIndex?"},
    {1049, "Global Altitude?"},
    {1050, "Slices?"},
    {1051, "WorkflowURL?"},
    {1052, "JumpToXPEP?"},
    {1053, "AlphaIdentifiers?"},
    {1054, "URLList?"},
    {1057, "VersionInfo?"},
    {1058, "Exif?"},
    {1060, "XMP?"},
    {2999, "ClippingPathName?"},
    {10000, "PrintFlagsInfo?"},
}};

// ---- Blocks ----

const TkivAdobeBlock::TClass& TkivAdobeBlock::ClassObject() {
  static const TkivClassOf<TkivAdobeBlock> Class("TkivAdobeBlock");
  return Class;
}

bool TkivAdobeBlock::TClass::CanRead(TStream& Stream) const {
  const int64_t Position = Stream.GetPosition();
  bool Result = false;
  try {
    Result = HasBytes(Stream, 4) && IsSignature(ReadString(Stream, 4)) && HasBytes(Stream, 2) &&
             AcceptsID(ReadWord(Stream, true));
  } catch (const EReadError&) {
    Result = false;
  }
  Stream.SetPosition(Position);
  return Result;
}

namespace {
// A name field (length byte, characters, pad) has an even length.
bool NameNeedsPad(size_t Length) {
  return (Length + 1) % 2 == 1;
}

size_t SavedNameLength(const std::string& Name) {
  return std::min<size_t>(Name.size(), 255);
}
} // namespace

std::string TkivAdobeBlock::DefaultName() const {
  return Format("Block %.4X", unsigned(ID));
}

int64_t TkivAdobeBlock::GetSize() {
  const int64_t D = GetDataSize();
  if (D == 0) return 0;
  const size_t NameLength = SavedNameLength(Name);
  return D + int64_t(NameLength) + int64_t(Signature.size()) + 2 + 1 + 4 +
         (NameNeedsPad(NameLength) ? 1 : 0) + (D % 2 == 1 ? 1 : 0);
}

namespace {
// Reads a record up to its data: signature, ID, name with its pad, and size. Returns the data
// bytes the record takes: at most those left, except for a size of 2^31 or more (compared as a
// signed number), which asks for more than there is.
int64_t ReadRecordHead(TStream& Stream, std::string& Signature, uint16_t& ID, std::string& Name) {
  Signature = ReadString(Stream, 4);
  ID = ReadWord(Stream, true);
  const uint8_t NameLength = ReadByte(Stream);
  Name = ReadString(Stream, NameLength);
  if (NameNeedsPad(NameLength)) (void)ReadByte(Stream);
  const uint32_t Size = ReadLong(Stream, true);
  const int64_t Left = BytesLeft(Stream);
  return static_cast<int32_t>(Size) < Left ? int64_t(Size) : Left;
}

// Moves past the record at the stream's position as loading it would, holding nothing.
void SkipRecord(TStream& Stream) {
  std::string Signature, Name;
  uint16_t ID = 0;
  const int64_t Count = ReadRecordHead(Stream, Signature, ID, Name);
  const int64_t Left = BytesLeft(Stream);
  Stream.SetPosition(Stream.GetPosition() + std::min(Count, Left));
  if (Count > Left) throw EReadError();
  if (Count % 2 == 1) (void)ReadByte(Stream);
}
} // namespace

void TkivAdobeBlock::LoadFromStream(TStream& Stream) {
  Data.Clear();
  const int64_t Count = ReadRecordHead(Stream, Signature, ID, Name);
  const int64_t Left = BytesLeft(Stream);
  if (Count != 0) {
    // Whatever there is goes into Data, in room of its size, before a size that promised more
    // fails.
    Data.Reserve(std::min(Count, Left));
    Data.CopyFrom(Stream, std::min(Count, Left));
    if (Count > Left) throw EReadError();
  }
  if (Count % 2 == 1) (void)ReadByte(Stream);
  OwnValuesLeft = TkivAdobeBlockList::MaxValues;
  DataLoaded();
}

int64_t TkivAdobeBlock::TakeValues(int64_t Count) {
  int64_t& Left = ValuesLeft ? *ValuesLeft : OwnValuesLeft;
  int64_t Granted = std::clamp<int64_t>(Count, 0, Left);
  if (Budget) Granted = Budget->Take(TkivWork::Values, Granted);
  Left -= Granted;
  return Granted;
}

void TkivAdobeBlock::SaveToStream(TStream& Stream) {
  if (GetDataSize() == 0) return;
  PrepareSave();
  WriteString(Stream, Signature);
  WriteWord(Stream, ID, true);
  WriteCountedString(Stream, Name);
  if (NameNeedsPad(SavedNameLength(Name))) WriteByte(Stream, 0);
  const int64_t Size = Data.GetSize();
  WriteLong(Stream, uint32_t(Size), true);
  Data.SetPosition(0);
  Stream.CopyFrom(Data, Size);
  if (Size % 2 == 1) WriteByte(Stream, 0);
}

void TkivAdobeBlock::WriteHTML(TkivHTMLTABLE& Table, bool ShowType, bool ShowName) {
  TkivHTMLTR& Row = AddRow(Table);
  const int32_t Rows = RowCount();
  const std::string BlockName = GetName();
  // The cells before the data as page text of the row: a row a block, whatever the data.
  AddTextCell(Row, BlockName,
              {.RowSpan = Rows, .BgColor = YellowColorIf(BlockName == DefaultName())});
  const TkivHTMLCellOptions Spanned{.RowSpan = Rows};
  if (ShowType) AddTextCell(Row, Signature, Spanned);
  AddTextCell(Row, Format("%.4X", unsigned(ID)), Spanned);
  if (ShowName) AddTextCell(Row, Name, Spanned);
  AddTextCell(Row, std::to_string(GetDataSize()), Spanned);
  WriteDataHTML(Row);
  if (ReadError) AddTextCell(AddRow(Table), "Read error", "Red");
}

void TkivAdobeBlock::WriteDataHTML(TkivHTMLTR& Row) {
  Data.SetPosition(0);
  TkivWorkBudget Own;
  AddCell(Row).AddChild(CreateHexDumpTable(Data, true, GetDataSize(), Budget ? *Budget : Own));
}

int32_t TkivAdobeBlock::RowCount() const {
  return ReadError ? 2 : 1;
}

void TkivAdobeBlock::DataLoaded() {
  Data.SetPosition(0);
}

void TkivAdobeBlock::PrepareSave() {
  Signature = "8BIM";
}

uint32_t TkivAdobeBlock::GetDataSize() {
  return uint32_t(Data.GetSize());
}

std::string TkivAdobeBlock::GetName() const {
  return DefaultName();
}

const TkivAdobeBlock::TClass& TkivAdobe8BIMBlock::ClassObject() {
  static const TkivClassOf<TkivAdobe8BIMBlock> Class("TkivAdobe8BIMBlock");
  return Class;
}

void TkivAdobe8BIMBlock::PrepareSave() {
  Signature = "8BIM";
}

std::string TkivAdobe8BIMBlock::GetName() const {
  if (ID >= 2000 && ID <= 2998) return "Path Information?";
  const auto* Found = std::find_if(AdobeResourceNames.begin(), AdobeResourceNames.end(),
                                   [this](const TkivAdobeResourceName& N) { return N.ID == ID; });
  return Found != AdobeResourceNames.end() ? Found->Name : DefaultName();
}

void TkivAdobeKnown8BIMBlock::WriteHTML(TkivHTMLTABLE& Table, bool ShowType, bool ShowName) {
  TkivAdobe8BIMBlock::WriteHTML(Table, ShowType, ShowName);
  if (ExtraData.GetSize() == 0) return;
  TkivHTMLTD& Cell = AddColorCell(AddRow(Table), "Yellow");
  AddText(Cell, "Extra info");
  ExtraData.SetPosition(0);
  TkivWorkBudget Own;
  Cell.AddChild(CreateHexDumpTable(ExtraData, false, ExtraData.GetSize(), Budget ? *Budget : Own));
}

int32_t TkivAdobeKnown8BIMBlock::RowCount() const {
  return TkivAdobe8BIMBlock::RowCount() + (ExtraData.GetSize() != 0 ? 1 : 0);
}

void TkivAdobeKnown8BIMBlock::DataLoaded() {
  Data.SetPosition(0);
  ValuesLeftOut = 0;
  ExtraData.Clear();
  DecodeData();
  ExtraData.TakeRest();
}

void TkivAdobeKnown8BIMBlock::PrepareSave() {
  TkivAdobe8BIMBlock::PrepareSave();
  ExtraData.Clear();
}

std::string TkivAdobeKnown8BIMBlock::GetName() const {
  std::string S = TkivAdobe8BIMBlock::GetName();
  if (!S.empty() && S.back() == '?') S.pop_back();
  return S;
}

namespace {
class TPHUTBlockClass : public TkivClassOf<TkivAdobePHUTBlock> {
public:
  using TkivClassOf::TkivClassOf;
  bool IsSignature(const std::string& Signature) const override { return Signature == "PHUT"; }
};
} // namespace

const TkivAdobeBlock::TClass& TkivAdobePHUTBlock::ClassObject() {
  static const TPHUTBlockClass Class("TkivAdobePHUTBlock");
  return Class;
}

void TkivAdobePHUTBlock::PrepareSave() {
  Signature = "PHUT";
}

// ---- Block list ----

void TkivAdobeBlockList::LoadFromStream(TStream& Stream, bool KeepTrailing,
                                        TkivWorkBudget& Budget) {
  TAllowance Left;
  LoadFromStream(Stream, KeepTrailing, Budget, Left);
}

void TkivAdobeBlockList::LoadFromStream(TStream& Stream, bool KeepTrailing, TkivWorkBudget& Budget,
                                        TAllowance& Left) {
  Clear();
  TrailingData.Clear();
  BlocksLeftOut = 0;
  // Every pass takes at least the signature and ID that the class saw, so the loop ends.
  while (const TkivAdobeBlock::TClass* Class = FindAdobeBlockClass(Stream)) {
    if (Left.Blocks <= 0 || Budget.Take(TkivWork::Entries, 1) < 1) {
      ++BlocksLeftOut;
      try {
        SkipRecord(Stream);
      } catch (const EReadError&) {
      }
      continue;
    }
    --Left.Blocks;
    TkivAdobeBlock& Block = Add(Class->Create());
    Block.Budget = &Budget;
    Block.ValuesLeft = &Left.Values;
    try {
      Block.LoadFromStream(Stream);
      Block.ReadError = false;
    } catch (const EReadError&) {
      Block.ReadError = true;
    } catch (const EkivDecodeError&) {
      Block.ReadError = true;
    }
    Block.Budget = nullptr;
    Block.ValuesLeft = nullptr;
  }
  const int64_t Rest = BytesLeft(Stream);
  if (KeepTrailing && Rest > 0) TrailingData.CopyFrom(Stream, Rest);
}

void TkivAdobeBlockList::SaveToStream(TStream& Stream) {
  for (int32_t I = 0; I < Count(); ++I)
    Block(I).SaveToStream(Stream);
}

int64_t TkivAdobeBlockList::GetSize() {
  int64_t Size = 0;
  for (int32_t I = 0; I < Count(); ++I)
    Size += Block(I).GetSize();
  return Size;
}

void TkivAdobeBlockList::WriteHTML(TkivHTMLItem& Parent, TkivWorkBudget& Budget) {
  bool ShowName = false, ShowType = false;
  for (int32_t I = 0; I < Count(); ++I) {
    ShowName = ShowName || !Block(I).Name.empty();
    ShowType = ShowType || Block(I).Signature != "8BIM";
  }
  AddLineBreak(Parent);
  TkivHTMLTABLE& Table = AddReportTable(Parent);
  TkivHTMLTR& Header = AddRow(Table);
  int32_t Columns = 4;
  AddTextCell(Header, "Block");
  if (ShowType) {
    AddTextCell(Header, "Type");
    ++Columns;
  }
  AddTextCell(Header, "ID");
  if (ShowName) {
    AddTextCell(Header, "Name");
    ++Columns;
  }
  AddTextCell(Header, "Size");
  AddTextCell(Header, "Data");
  for (int32_t I = 0; I < Count(); ++I) {
    TkivAdobeBlock& B = Block(I);
    B.Budget = &Budget;
    struct TUnset {
      TkivAdobeBlock& B;
      ~TUnset() { B.Budget = nullptr; }
    } Unset{B};
    B.WriteHTML(Table, ShowType, ShowName);
  }
  if (BlocksLeftOut > 0)
    AddTextCell(AddRow(Table),
                Format("%lld blocks not shown: one report shows at most %lld blocks",
                       static_cast<long long>(BlocksLeftOut), static_cast<long long>(MaxBlocks)),
                {.ColSpan = Columns});
  if (TrailingData.GetSize() != 0)
    WriteExtraInfo(AddCell(AddRow(Table, {.BgColor = "Yellow"}), {.ColSpan = Columns}),
                   TrailingData, Budget);
}

std::string ValuesNotShownText(int64_t Count, const char* What) {
  return Format("%lld %s not shown: one report shows at most %lld guides, flags and names",
                static_cast<long long>(Count), What,
                static_cast<long long>(TkivAdobeBlockList::MaxValues));
}

// ---- Registry ----

TkivAdobeBlockClassList AdobeBlockClassList;

void RegisterAdobeBlockClass(const TkivAdobeBlock::TClass& Class) {
  AdobeBlockClassList.Insert(0, Class);
}

const TkivAdobeBlock::TClass* FindAdobeBlockClass(TStream& Stream) {
  return AdobeBlockClassList.FindReader(Stream);
}

void kivAdobeResourceInfo_Initialize() {
  for (const TkivAdobeBlock::TClass* Class : {
           &TkivAdobe8BIMBlock::ClassObject(),
           &TkivAdobePHUTBlock::ClassObject(),
           &TkivAdobePrintFlagsInfoBlock::ClassObject(),
           &TkivAdobeResolutionInfoBlock::ClassObject(),
           &TkivAdobeAlphaChannelNamesBlock::ClassObject(),
           &TkivAdobeBorderInfoBlock::ClassObject(),
           &TkivAdobePrintFlagsBlock::ClassObject(),
           &TkivAdobeColorHalftoningBlock::ClassObject(),
           &TkivAdobeColorTransferBlock::ClassObject(),
           &TkivAdobeGridGuidesInfoBlock::ClassObject(),
           &TkivAdobeCopyRightBlock::ClassObject(),
           &TkivAdobeURLBlock::ClassObject(),
           &TkivAdobeThumbnailBlock::ClassObject(),
           &TkivAdobeGlobalAngleBlock::ClassObject(),
           &TkivAdobeUnicodeAlphaChannelNamesBlock::ClassObject(),
           &TkivAdobeGlobalAltitudeBlock::ClassObject(),
       })
    RegisterAdobeBlockClass(*Class);
}

void kivAdobeResourceInfo_Finalize() {
  AdobeBlockClassList.Clear();
}

// ---- Numbers and names ----

TkivAdobeFixed ReadFixed(TStream& Stream) {
  const uint16_t Integer = ReadWord(Stream, true);
  const uint16_t Fraction = ReadWord(Stream, true);
  return static_cast<TkivAdobeFixed>(uint32_t(Integer) << 16 | Fraction);
}

void WriteFixed(TStream& Stream, TkivAdobeFixed Value) {
  WriteWord(Stream, uint16_t(uint32_t(Value) >> 16), true);
  WriteWord(Stream, uint16_t(uint32_t(Value) & 0xFFFF), true);
}

long double FixedToFloat(TkivAdobeFixed Value) {
  return Value / 65536.0L;
}

TkivAdobeFixed FloatToFixed(long double Value) {
  return static_cast<TkivAdobeFixed>(std::llround(Value * 65536.0L));
}

std::string FormatFixed(TkivAdobeFixed Value, int Digits) {
  return ShortFixedToText(FixedToFloat(Value), Digits);
}

std::string FormatReal(int Digits, long double Value) {
  return ShortFixedToText(Value, Digits);
}

namespace {
struct TCodeName {
  int32_t Code;
  const char* Name;
};

constexpr TCodeName UnitNames[] = {
    {1, "Inch"}, {2, "Cm"}, {3, "Point"}, {4, "Pic"}, {5, "Column"},
};
constexpr TCodeName ShapeNames[] = {
    {0, "Round"}, {1, "Ellipse"}, {2, "Line"}, {3, "Square"}, {4, "Cross"}, {6, "Diamond"},
};
constexpr TCodeName ThumbnailFormatNames[] = {
    {0, "kRawRGB"},
    {1, "kJpegRGB"},
};

template <size_t N> std::string NameOf(const TCodeName (&Table)[N], int64_t Code) {
  for (const TCodeName& Entry : Table)
    if (Entry.Code == Code) return Entry.Name;
  return FormatCannotDecode(std::to_string(Code));
}
} // namespace

std::string UnitName(uint16_t Unit) {
  return NameOf(UnitNames, Unit);
}

bool IsUnit(uint16_t Unit) {
  return Unit >= 1 && Unit <= 5;
}

bool IsResolutionUnit(uint16_t Unit) {
  return Unit == 1 || Unit == 2;
}

std::string ShapeName(int32_t Shape) {
  return NameOf(ShapeNames, Shape);
}

bool IsShape(int32_t Shape) {
  return Shape >= 0 && Shape <= 6;
}

std::string ThumbnailFormatName(uint32_t Format) {
  return NameOf(ThumbnailFormatNames, Format);
}
