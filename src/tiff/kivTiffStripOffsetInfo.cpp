#include "tiff/kivTiffStripOffsetInfo.h"

#include <optional>
#include <vector>

#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "framework/kivJpegImage.h"

using kivTiffInfo::TkivTiffEntry;

namespace {

enum : uint16_t {
  TagImageWidth = 256,
  TagImageLength = 257,
  TagBitsPerSample = 258,
  TagCompression = 259,
  TagPhotometricInterpretation = 262,
  TagSamplesPerPixel = 277,
  TagStripByteCounts = 279,
};

bool IsShortOrLong(uint16_t FieldType) {
  return FieldType == 3 || FieldType == 4;
}

// The single integer of an entry of the given tag whose type passes, or none.
std::optional<int64_t> SingleValue(const kivTiffInfo::TkivTiffIFD& IFD, uint16_t Tag,
                                   bool (*TypeFits)(uint16_t)) {
  const TkivTiffEntry* Entry = IFD.FindEntry(Tag);
  if (!Entry || !TypeFits(Entry->FieldType) || Entry->Count() != 1 || Entry->Values.empty())
    return std::nullopt;
  return kivTiffInfo2::ValueAsInteger(Entry->Values[0]);
}

bool IsShort(uint16_t FieldType) {
  return FieldType == 3;
}

bool ShortIs(const kivTiffInfo::TkivTiffIFD& IFD, uint16_t Tag, int64_t Value) {
  return SingleValue(IFD, Tag, IsShort) == Value;
}

} // namespace

const TkivTiffEntry::TClass& TkivTiffStripOffsetInfo::ClassObject() {
  static const TkivClassOf<TkivTiffStripOffsetInfo> Class("TkivTiffStripOffsetInfo");
  return Class;
}

void TkivTiffStripOffsetInfo::WriteValueCell(TkivHTMLTR& Row) const {
  if (Bitmap) {
    WriteThumbnailRows(AddReportTable(AddCell(Row)), *Bitmap, true);
    return;
  }
  TkivTiffEntry::WriteValueCell(Row);
  if (!PictureNote.empty()) {
    TkivHTMLTD& Cell = static_cast<TkivHTMLTD&>(Row.GetChild(Row.Count() - 1));
    AddLineBreak(Cell);
    AddText(Cell, PictureNote);
  }
}

void TkivTiffStripOffsetInfo::LoadData(const TkivBoundedReader& Reader) {
  Bitmap.reset();
  PictureNote.clear();
  const kivTiffInfo::TkivTiffIFD* IFD = this->IFD();
  if (!IFD) return;
  const std::optional<int64_t> Width = SingleValue(*IFD, TagImageWidth, IsShortOrLong);
  const std::optional<int64_t> Height = SingleValue(*IFD, TagImageLength, IsShortOrLong);
  const std::optional<int64_t> ByteCount = SingleValue(*IFD, TagStripByteCounts, IsShortOrLong);
  const std::optional<int64_t> Offset = IsShortOrLong(FieldType) && Count() == 1 && !Values.empty()
                                            ? kivTiffInfo2::ValueAsInteger(Values[0])
                                            : std::nullopt;
  const TkivTiffEntry* Bits = IFD->FindEntry(TagBitsPerSample);
  const bool EightBits = Bits && Bits->FieldType == 3 && Bits->Count() == 3 &&
                         Bits->Values.size() == 3 &&
                         std::all_of(Bits->Values.begin(), Bits->Values.end(),
                                     [](const kivTiffInfo2::TkivTiffValue& V) {
                                       return kivTiffInfo2::ValueAsInteger(V) == 8;
                                     });
  if (!Width || !Height || !ByteCount || !Offset || !EightBits ||
      !ShortIs(*IFD, TagCompression, 1) || !ShortIs(*IFD, TagPhotometricInterpretation, 2) ||
      !ShortIs(*IFD, TagSamplesPerPixel, 3))
    return;
  if (*Width <= 0 || *Height <= 0) return;
  // A picture larger than the file could hold is not built: it would cost more than the file.
  // Asked by division, so that sides of up to 32 bits each cannot overflow the product.
  if (*Width > Reader.Size() / 3 / *Height) {
    PictureNote = Format("The %lld x %lld picture is larger than the file's data; not shown",
                         static_cast<long long>(*Width), static_cast<long long>(*Height));
    return;
  }
  TkivWorkBudget OwnBudget;
  TkivSegment* Segment = OwnerSegment();
  const TkivPictureRefusal Refusal{
      (Segment ? Segment->WorkBudget() : OwnBudget).TakePicture(*Width, *Height), *Width, *Height};
  if (Refusal.Verdict != TkivPictureVerdict::Granted) {
    PictureNote = PictureRefusalText(Refusal);
    return;
  }
  const int64_t Pixels = *Width * *Height;
  Bitmap = std::make_unique<TkivRGBBitmap>(TkivRGBBitmap::ClassObject());
  Bitmap->SetSize(int32_t(*Width), int32_t(*Height));
  int64_t At = *Offset;
  int64_t Left = std::min({Pixels * 3, *ByteCount, Reader.BytesFrom(At)});
  std::vector<TkivColor> Row;
  for (int32_t Y = 0; Left >= 3; ++Y) {
    const int64_t InRow = std::min<int64_t>(*Width, Left / 3);
    const std::string Bytes = Reader.Bytes(At, InRow * 3);
    At += InRow * 3;
    Row.resize(size_t(InRow));
    for (size_t X = 0; X < Row.size(); ++X)
      Row[X] = {uint8_t(Bytes[3 * X]), uint8_t(Bytes[3 * X + 1]), uint8_t(Bytes[3 * X + 2])};
    Bitmap->SetRow(Y, Row.data(), int32_t(Row.size()));
    Left -= InRow * 3;
  }
}

void kivTiffStripOffsetInfo_Initialize() {
  kivTiffInfo::RegisterTiffEntryClass(TkivTiffStripOffsetInfo::ClassObject());
}
