// The entries that decode their data (user comment, spatial frequency response, colour
// filter pattern) and the JPEG thumbnail of an IFD.

#include "base/kivException.h"
#include "framework/kivInfoStream.h"
#include "framework/kivJpegImage.h"
#include "framework/kivNumberText.h"
#include "platform/kivCodePage.h"
#include "tiff/kivTiffInfo2.h"

namespace kivTiffInfo2 {

namespace {

const char* const ColourNames[7] = {"Red", "Green", "Blue", "Cyan", "Magenta", "Yellow", "White"};

bool IsKnownCharSet(const std::string& S) {
  return S == "ASCII" || S == "UNICODE" || S == "JIS" || S.empty();
}

std::string CutAtNul(std::string S) {
  const size_t At = S.find('\0');
  if (At != std::string::npos) S.resize(At);
  return S;
}

// Blanks and control characters off both ends.
std::string Trim(const std::string& S) {
  size_t First = 0, Last = S.size();
  while (First < Last && static_cast<uint8_t>(S[First]) <= ' ')
    ++First;
  while (Last > First && static_cast<uint8_t>(S[Last - 1]) <= ' ')
    --Last;
  return S.substr(First, Last - First);
}

template <class TEntry> class TTagTypeClass : public TkivClassOf<TEntry> {
public:
  TTagTypeClass(std::string Name, uint16_t Tag) : TkivClassOf<TEntry>(std::move(Name)), Tag(Tag) {}
  bool AcceptsTag(uint16_t T) const override { return T == Tag; }
  bool AcceptsType(uint16_t FieldType) const override { return FieldType == ftUndefined; }

private:
  uint16_t Tag;
};

class TUserCommentClass : public TTagTypeClass<TkivTiffUserCommentEntry> {
public:
  using TTagTypeClass::TTagTypeClass;
  bool AcceptsCount(uint32_t Count) const override { return Count > 7; }
  bool CanRead(const TkivBoundedReader& Reader, int64_t At) const override {
    if (!TTagTypeClass::CanRead(Reader, At)) return false;
    try {
      const TkivTiffEntryFields Fields = *PeekEntryFields(Reader, At);
      const int64_t ValuesAt =
          EntryValuesAt(Reader, At, int64_t(Fields.Count) * TypeUnitSize(Fields.FieldType) > 4);
      return IsKnownCharSet(CutAtNul(Reader.Bytes(ValuesAt, 8)));
    } catch (const EReadError&) {
      return false;
    }
  }
};

} // namespace

void TkivTiffEntryEx::ReadValues(TkivTiffReadContext& Context, int64_t At) {
  const TkivBoundedReader& Reader = *Context.Reader;
  // Data that do not hold the count decode nothing. Otherwise only the values held are
  // copied: overlapping entries would multiply copies of the whole count.
  const int64_t Unit = TypeUnitSize(FieldType);
  int64_t N =
      int64_t(ValueCount()) * Unit <= Reader.BytesFrom(At) ? int64_t(HeldValues()) * Unit : 0;
  if (Context.Budget) N = Context.Budget->Take(TkivWork::BytesCopied, N);
  if (N > 0) {
    try {
      TMemoryStream Data(Reader.Bytes(At, N));
      DecodeData(Data);
    } catch (const EReadError&) {
      // What DecodeData had done stays.
    } catch (const EkivDecodeError&) {
    }
  }
  TkivTiffEntry::ReadValues(Context, At);
}

void TkivTiffCustomGridEntry::WriteValueCell(TkivHTMLTR& Row) const {
  if (Failed) {
    std::string S;
    GetValueText(S);
    AddTextCell(Row, FormatCannotDecode(S), YellowColorIf(true));
    return;
  }
  std::unique_ptr<TkivHTMLTABLE> Table = CreateReportTable();
  for (int32_t R = 0; R < Rows; ++R) {
    TkivHTMLTR& GridRow = AddRow(*Table);
    for (int32_t C = 0; C < Columns; ++C) {
      const size_t Index = size_t(Columns) * size_t(R) + size_t(C);
      AddTextCell(GridRow, Index < Cells.size() ? Cells[Index] : "(no)");
    }
  }
  AddCell(Row).AddChild(std::move(Table));
}

void TkivTiffGridEntry::DecodeData(TStream& Stream) {
  Columns = ReadWord(Stream, IsMotorola());
  StoredRows = ReadWord(Stream, IsMotorola());
  Rows = static_cast<uint16_t>(StoredRows + 1);
  // The grid never shows more cells than the entry has data bytes: the stored sizes can
  // promise billions of empty cells.
  const int64_t MaxCells = Stream.GetSize();
  const int64_t MaxRows = Columns > 0 ? MaxCells / Columns : MaxCells;
  if (Rows > MaxRows) Rows = static_cast<uint16_t>(MaxRows);
}

const TkivTiffEntry::TClass& TkivTiffSFREntry::ClassObject() {
  static const TTagTypeClass<TkivTiffSFREntry> Class("TkivTiffSFREntry", 0xA20C);
  return Class;
}

void TkivTiffSFREntry::DecodeData(TStream& Stream) {
  TkivTiffGridEntry::DecodeData(Stream);
  for (uint16_t C = 0; C < Columns; ++C)
    Cells.push_back(ReadZString(Stream));
  for (uint32_t R = 0; R < StoredRows; ++R)
    for (uint16_t C = 0; C < Columns; ++C) {
      if (!HasBytes(Stream, 8)) return;
      const uint32_t N = ReadLong(Stream, IsMotorola());
      const uint32_t D = ReadLong(Stream, IsMotorola());
      const std::string Raw = RationalText(N, D);
      const std::optional<long double> Value = RationalToFloat(Raw);
      Cells.push_back(Value ? FixedToText(*Value, 3) : Raw);
    }
}

const TkivTiffEntry::TClass& TkivTiffCFAPatternEntry::ClassObject() {
  static const TTagTypeClass<TkivTiffCFAPatternEntry> Class("TkivTiffCFAPatternEntry", 0xA302);
  return Class;
}

void TkivTiffCFAPatternEntry::DecodeData(TStream& Stream) {
  // A pattern written as ASCII digits reads as the same numbers. The dimensions are
  // big-endian whatever the structure's byte order.
  const TkivBoundedReader Pattern = TkivBoundedReader::Rest(Stream, true);
  DigitOffset = Pattern.Byte(0) >= '0' ? '0' : 0;
  Columns = static_cast<uint16_t>(ReadWord(Stream, true) - DigitOffset * 257);
  Rows = static_cast<uint16_t>(ReadWord(Stream, true) - DigitOffset * 257);
  if (Columns > 10 || Rows > 10) {
    Failed = true;
    return;
  }
  for (uint16_t R = 0; R < Rows; ++R)
    for (uint16_t C = 0; C < Columns; ++C) {
      if (!HasBytes(Stream, 1)) return;
      const auto V = static_cast<uint8_t>(ReadByte(Stream) - DigitOffset);
      Cells.push_back(V <= 6 ? ColourNames[V] : FormatCannotDecode(std::to_string(V)));
    }
}

const TkivTiffEntry::TClass& TkivTiffUserCommentEntry::ClassObject() {
  static const TUserCommentClass Class("TkivTiffUserCommentEntry", 0x9286);
  return Class;
}

void TkivTiffUserCommentEntry::DecodeData(TStream& Stream) {
  CharSet = CutAtNul(ReadString(Stream, 8));
  if (CharSet.empty()) CharSet = "Undefined";
  // UTF-16 in the structure's byte order.
  std::string S =
      CharSet == "UNICODE"
          ? kivPlatform::WideToAnsi(ReadWideString(Stream, BytesLeft(Stream), IsMotorola()))
          : ReadString(Stream, BytesLeft(Stream));
  Text = Trim(CutAtNul(S));
}

TFormatResult TkivTiffUserCommentEntry::GetValueText(std::string& S) const {
  S = "(" + CharSet + ") " + Text;
  return TFormatResult::Decoded;
}

void TkivTiffUserCommentEntry::WriteValueCell(TkivHTMLTR& Row) const {
  TkivHTMLTD& Cell = AddCell(Row);
  AddText(Cell, "Char set: " + CharSet);
  AddLineBreak(Cell);
  AddText(Cell, Text.empty() ? std::string("Text: no text") : "Text: " + Text);
}

// ---- Thumbnails ----

std::unique_ptr<TkivCustomTiffBitmap>
TkivCustomTiffBitmap::TClass::CreateFromIFD(const TkivTiffIFD& IFD, const TkivBoundedReader& Reader,
                                            TkivWorkBudget& Budget) const {
  std::unique_ptr<TkivCustomTiffBitmap> Bitmap = CreateInstance(*this);
  Bitmap->LoadFromIFD(IFD, Reader, Budget);
  return Bitmap;
}

namespace {
class TTiffJpegBitmapClass : public TkivClassOf<TkivTiffJpegBitmap> {
public:
  using TkivClassOf::TkivClassOf;
  bool CanLoad(const TkivTiffIFD& IFD) const override { return IFD.FindEntry(513) != nullptr; }
};
} // namespace

const TkivCustomTiffBitmap::TClass& TkivTiffJpegBitmap::ClassObject() {
  static const TTiffJpegBitmapClass Class("TkivTiffJpegBitmap");
  return Class;
}

void TkivTiffJpegBitmap::LoadFromIFD(const TkivTiffIFD& IFD, const TkivBoundedReader& Reader,
                                     TkivWorkBudget& Budget) {
  const TkivTiffEntry* Entry = IFD.FindEntry(513);
  const std::optional<int64_t> Offset = Entry ? ValueAsInteger(Entry->GetValue(0)) : std::nullopt;
  SetSize(0, 0);
  if (Budget.LeaveOutPicture()) {
    Refusal = {.Verdict = TkivPictureVerdict::TooMany};
    return;
  }
  if (!Offset) return;
  try {
    // The decoder reads as far as the picture goes; the stored length is not needed.
    TStreamRange Picture = Reader.Sub(*Offset, Reader.Size()).AsStream();
    TkivJpegImage Image;
    Image.LoadFromStream(Picture, Budget);
    CopyFrom(Image.Bitmap());
  } catch (const EkivPictureRefused& E) {
    SetSize(0, 0);
    Refusal = E.Refusal;
  } catch (const EkivDecodeError&) {
    SetSize(0, 0);
  } catch (const EReadError&) {
    SetSize(0, 0);
  }
}

} // namespace kivTiffInfo2
