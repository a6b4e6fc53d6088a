#include "framework/kivInfo.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "base/kivException.h"
#include "framework/kivBase64.h"
#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "platform/kivMessageBox.h"
#include "platform/kivStockIcons.h"
#include "platform/kivTempFiles.h"

// ---- Information tree ----

TkivTreeItem::~TkivTreeItem() {
  // The children go with this item's list, and need not look for themselves in it.
  for (int32_t I = 0; I < Count(); ++I)
    GetChild(I).Parent = nullptr;
  // An item freed by its parent's list is already out of it.
  if (Parent && Parent->IndexOf(this) >= 0) (void)Parent->Extract(this).release();
  Parent = nullptr;
}

void TkivTreeItem::Process(void*) {}

void TkivTreeItem::ForEach(void* Arg) {
  Process(Arg);
  for (int32_t I = 0; I < Count(); ++I)
    GetChild(I).ForEach(Arg);
}

int32_t TkivTreeItem::GetHeight() const {
  if (Object) {
    const auto* Graphic = dynamic_cast<const TkivDIBitmap*>(Object);
    return Graphic ? Graphic->Height() + 2 : 2;
  }
  return Height;
}

TkivTreeItem& TkivTreeItem::AddChild(std::unique_ptr<TkivTreeItem> Child) {
  Child->Parent = this;
  return Add(std::move(Child));
}

void TkivTreeItem::RemoveChild(TkivTreeItem& Child) {
  const int32_t Index = IndexOf(&Child);
  Child.Parent = nullptr;
  if (Index >= 0) Delete(Index);
}

int32_t TkivTreeItem::IndexInParent() const {
  return Parent ? Parent->IndexOf(this) : 0;
}

int32_t TkivTreeItem::Level() const {
  return Parent ? Parent->Level() + 1 : 0;
}

TkivTreeItem& AddInfoItem(TkivTreeItem& Parent, uint32_t Icon, const std::string& Name,
                          const std::string& Value) {
  TkivTreeItem& Item = Parent.AddChild(std::make_unique<TkivTreeItem>());
  Item.Icon = Icon;
  Item.Name = Name;
  Item.Value = Value;
  return Item;
}

TkivTreeItem& AddInfoInt(TkivTreeItem& Parent, uint32_t Icon, const std::string& Name,
                         int32_t Value) {
  return AddInfoItem(Parent, Icon, Name, std::to_string(Value));
}

TkivTreeItem& AddInfoObject(TkivTreeItem& Parent, uint32_t Icon, const std::string& Name,
                            TObject* Obj) {
  TkivTreeItem& Item = AddInfoItem(Parent, Icon, Name, {});
  Item.Object = Obj;
  return Item;
}

TkivTreeItem& AddInfoCopy(TkivTreeItem& Parent, const TkivTreeItem& Source) {
  // Through the getters: items of other trees may compute their name and value.
  TkivTreeItem& Copy = AddInfoItem(Parent, Source.GetIcon(), Source.GetName(), Source.GetValue());
  Copy.Object = Source.Object;
  for (int32_t I = 0; I < Source.Count(); ++I)
    AddInfoCopy(Copy, Source.GetChild(I));
  return Copy;
}

// ---- Segments ----

TkivSegment* CurrentSegment = nullptr;

void TkivSegment::TClass::GetFlags(TkivSegmentFlags& Flags) const {
  if (IsInfoSegment()) Flags |= sfInfoSegment;
}

TkivSegment& TkivSegment::TClass::Create(TkivSegmentList& Owner, bool AppendAtEnd) const {
  std::unique_ptr<TkivSegment> Segment = NewInstance();
  Segment->Owner = &Owner;
  if (AppendAtEnd) return Owner.Add(std::move(Segment));
  int32_t Index = 0;
  while (Index < Owner.Count() && Owner.Segment(Index).ClassType().Order() < Order())
    ++Index;
  TkivSegment& Inserted = Owner.Insert(Index, std::move(Segment));
  Inserted.Notify(TkivSegmentNotification::Reordered);
  return Inserted;
}

const TkivSegment::TClass& TkivSegment::ClassObject() {
  static const TkivClassOf<TkivSegment> Class("TkivSegment");
  return Class;
}

TkivSegment::TkivSegment(const TClass& Class) : Class(Class) {
  Info = std::make_unique<TkivTreeItem>();
  Info->Name = Class.GetDescription();
  Info->Header = true;
  Class.GetFlags(Flags);
}

TkivSegment::~TkivSegment() {
  if (CurrentSegment == this) CurrentSegment = nullptr;
  Notify(TkivSegmentNotification::Deleted);
}

void TkivSegment::ParseData() {
  Data.SetPosition(0);
}

void TkivSegment::InitDefault() {
  Modified = true;
}

void TkivSegment::LoadFromStream(TStream& Stream) {
  Modified = false;
  Data.Clear();
  const int64_t Left = BytesLeft(Stream);
  if (Left > 0) Data.CopyFrom(Stream, Left);
  Data.SetPosition(0);
}

void TkivSegment::SaveToStream(TStream& Stream) {
  Data.SetPosition(0);
  Stream.CopyFrom(Data, Data.GetSize());
  Modified = false;
}

void TkivSegment::Refresh() {
  Data.SetPosition(0);
  Info->Clear();
  FillInfo();
  Notify(TkivSegmentNotification::Changed);
}

void TkivSegment::FillInfo() {
  if (!(Flags & sfNoSizeInfo))
    AddInfoItem(*Info, 0, "Segment size:", std::to_string(Data.GetSize()));
}

bool TkivSegment::IsCurrent() const {
  return CurrentSegment == this;
}

void TkivSegment::SetCurrent(bool Flag) {
  if (Flag == IsCurrent()) return;
  CurrentSegment = Flag ? this : nullptr;
}

void TkivSegment::Notify(TkivSegmentNotification Kind) {
  if (Owner) Owner->NotifySegment(Kind, this);
}

TkivWorkBudget& TkivSegment::WorkBudget() {
  if (Owner) return Owner->WorkBudget();
  // A segment that stands alone is read into Data before anything asks the budget.
  OwnBudget.CarriedBy(Data.GetSize());
  return OwnBudget;
}

TkivWorkBudget& TkivSegmentList::WorkBudget() {
  Budget.CarriedBy(FileSize);
  return Budget;
}

// ---- Segment lists and registries ----

const TkivSegmentList::TClass& TkivSegmentList::ClassObject() {
  static const TkivClassOf<TkivSegmentList> Class("TkivSegmentList");
  return Class;
}

TkivSegmentListClassList SegmentListClassList;
TkivSegmentClassList SegmentClassList;
uint32_t ErrorIcon = 0, WarningIcon = 0, InfoIcon = 0;

const TkivSegment::TClass& TkivSegmentList::GetFirstSegmentClass() const {
  return SegmentClassList[0];
}

const TkivSegmentClassList& TkivSegmentList::GetSegmentClassList() const {
  return SegmentClassList;
}

TkivSegmentList::~TkivSegmentList() {
  // The segments tell their owner when they go, so they must go while the list and its
  // listeners are still whole.
  Clear();
}

void TkivSegmentList::LoadFromStream(TStream& Stream) {
  Clear();
  FileSize = Stream.GetSize();
  const TkivSegment::TClass* Class = &GetFirstSegmentClass();
  if (!HasBytes(Stream, 1) || !Class->CanRead(Stream)) return;
  while (Class) {
    const TkivSegment& Segment = LoadSegment(*Class, Stream);
    // Every step must advance, or the walk would never end.
    if (Segment.FileSize <= 0 || !HasBytes(Stream, 1)) return;
    Class = GetSegmentClassList().FindReader(Stream);
  }
}

TkivSegment& TkivSegmentList::LoadSegment(const TkivSegment::TClass& Class, TStream& Stream) {
  const int64_t Start = Stream.GetPosition();
  TkivSegment& Segment = Class.Create(*this, true);
  Segment.FileOffset = Start;
  Segment.LoadFromStream(Stream);
  Segment.FileSize = Stream.GetPosition() - Start;
  return Segment;
}

void TkivSegmentList::WriteHTML(TkivHTMLItem& Parent) {
  for (int32_t I = 0; I < Count(); ++I)
    WriteSegmentHTML(Segment(I), Parent);
}

void TkivSegmentList::WriteSegmentHTML(TkivSegment& Segment, TkivHTMLItem& Parent) {
  const int32_t Before = Parent.Count();
  try {
    Segment.WriteHTML(Parent);
    if (ReportExtension) ReportExtension->WriteSegmentHTML(Segment, Parent);
  } catch (const Exception&) {
    // Our own failures (data, a picture's file) cost this segment's report only; anything
    // else is a fault and goes on to the entry point's guard.
    while (Parent.Count() > Before)
      Parent.Delete(Parent.Count() - 1);
    AddText(Parent, "The report of this segment could not be written: " + ExceptionText());
    AddLineBreak(Parent);
  }
  if (Page) Page->WriteDone(Parent);
}

void TkivSegmentList::NotifySegment(TkivSegmentNotification Kind, TkivSegment* Segment) {
  for (int32_t I = Listeners.Count() - 1; I >= 0; --I) {
    auto* Listener = dynamic_cast<IkivSegmentNotify*>(Listeners.Item(I));
    if (!Listener) continue;
    try {
      switch (Kind) {
      case TkivSegmentNotification::Added:
        Listener->SegmentAdded(this, Segment);
        break;
      case TkivSegmentNotification::Deleted:
        Listener->SegmentDeleted(this, Segment);
        break;
      case TkivSegmentNotification::Changed:
        Listener->SegmentChanged(this, Segment);
        break;
      case TkivSegmentNotification::Reordered:
        Listener->SegmentsReordered(this);
        break;
      }
    } catch (...) {
      kivPlatform::ShowErrorMessage("Error", "Error on " + std::to_string(int(Kind)));
    }
  }
}

void TkivSegmentList::Notify(TObject* Item, TListNotification Action) {
  if (Action == TListNotification::Added)
    NotifySegment(TkivSegmentNotification::Added, static_cast<TkivSegment*>(Item));
  if (Action == TListNotification::Deleted)
    NotifySegment(TkivSegmentNotification::Deleted, static_cast<TkivSegment*>(Item));
  // An extracted segment is free-standing from now on.
  if (Action == TListNotification::Extracted) static_cast<TkivSegment*>(Item)->Owner = nullptr;
  TkivTraceObjectList::Notify(Item, Action);
}

void RegisterSegmentListClass(const TkivSegmentList::TClass& Class) {
  SegmentListClassList.Insert(0, Class);
}

const TkivSegmentList::TClass* FindSegmentListClass(TStream& Stream) {
  return SegmentListClassList.FindReader(Stream);
}

void kivInfo_Initialize() {
  RegisterSegmentListClass(TkivSegmentList::ClassObject());
  SegmentClassList.Add(TkivSegment::ClassObject());
}

void kivInfo_LoadIcons() {
  ErrorIcon = kivPlatform::LoadStockIcon(32513);
  WarningIcon = kivPlatform::LoadStockIcon(32515);
  InfoIcon = kivPlatform::LoadStockIcon(32516);
}

void kivInfo_Finalize() {
  SegmentClassList.Clear();
  SegmentListClassList.Clear();
}

// ---- Thumbnail bitmaps ----

namespace kivInfo {

const TBitmap::TClass& TBitmap::ClassObject() {
  static const TkivClassOf<TBitmap> Class("TBitmap");
  return Class;
}

TBitmap::TBitmap(const TClass& Class) : Class(Class) {
  ++TraceObjectCount;
}

namespace {
std::string TempDirectoryOverride;
bool KeepTempFiles = false;
TkivTempFileWatcher TempFileWatcher = nullptr;
TkivPictureReferences PictureReferences = TkivPictureReferences::Files;
} // namespace

TBitmap::~TBitmap() {
  if (!FileName.empty() && !KeepTempFiles) {
    kivPlatform::DeleteFile(FileName);
    if (TempFileWatcher) TempFileWatcher(TkivTempFileEvent::Deleted, FileName);
  }
  --TraceObjectCount;
}

void TBitmap::CopyFrom(const TkivDIBitmap& Source) {
  SetSize(Source.Width(), Source.Height());
  Draw(0, 0, Source);
}

bool TBitmap::TakePicture(TkivWorkBudget& Budget, int64_t Width, int64_t Height) {
  Refusal = {Budget.TakePicture(Width, Height), Width, Height};
  if (!Refused()) Refusal = {};
  return !Refused();
}

void TBitmap::ReadThumbnail(TStream& Stream, TkivWorkBudget&) {
  Stream.SetPosition(Stream.GetSize());
}

std::string GetTempDirectory() {
  return TempDirectoryOverride.empty() ? kivPlatform::GetTempDirectory() : TempDirectoryOverride;
}

void SetTempDirectory(const std::string& Dir) {
  TempDirectoryOverride = Dir;
}

void SetKeepTempFiles(bool Keep) {
  KeepTempFiles = Keep;
}

void SetTempFileWatcher(TkivTempFileWatcher Watcher) {
  TempFileWatcher = Watcher;
}

namespace {
// Where the search for a free name goes on: within one report every number below Next was
// found taken, so a report of many pictures does not try all the names before each one again.
// A new report, directory or pattern starts from 0, so that numbers freed since are used.
struct TNameSearch {
  std::string Dir, Pattern;
  int32_t Next = 0;
} NameSearch;
} // namespace

void RestartTempFileNames() {
  NameSearch.Next = 0;
}

std::string MakeTempFileName(const char* Pattern, int32_t Limit) {
  const std::string Dir = GetTempDirectory();
  if (NameSearch.Dir != Dir || NameSearch.Pattern != Pattern) NameSearch = {Dir, Pattern, 0};
  // Claiming the name by creating the file keeps two processes from sharing one file.
  for (int32_t N = NameSearch.Next; N < Limit; ++N) {
    const std::string Path = Dir + Format(Pattern, N);
    if (TempFileWatcher) TempFileWatcher(TkivTempFileEvent::Creating, Path);
    const kivPlatform::TCreateResult Result = kivPlatform::CreateFileExclusive(Path);
    if (TempFileWatcher)
      TempFileWatcher(Result == kivPlatform::TCreateResult::Created ? TkivTempFileEvent::Created
                                                                    : TkivTempFileEvent::NotCreated,
                      Path);
    switch (Result) {
    case kivPlatform::TCreateResult::Created:
      NameSearch.Next = N + 1;
      return Path;
    case kivPlatform::TCreateResult::Exists:
      continue;
    case kivPlatform::TCreateResult::Failed:
      throw Exception("Cannot create file \"" + Path + "\"");
    }
  }
  throw Exception("No free temporary file name");
}

std::string GetTempFileName(TBitmap& Bitmap) {
  if (Bitmap.FileName.empty()) Bitmap.FileName = MakeTempFileName("kivBMP%d.bmp");
  TFileStream File(Bitmap.FileName, TFileMode::Create);
  Bitmap.SaveToStream(File);
  return Bitmap.FileName;
}

void SetPictureReferences(TkivPictureReferences Way) {
  PictureReferences = Way;
}

std::string FileUrl(std::string_view Path) {
  // What a URL may not hold, and what would end the attribute or start markup or an entity;
  // the separators of both systems and a drive's colon stay, so ordinary paths read as before.
  static const std::string_view Reserved = " \"#%&<>?^`{|}";
  static const char Digits[] = "0123456789ABCDEF";
  std::string Url = "file://";
  Url.reserve(Url.size() + Path.size());
  for (const char C : Path) {
    const auto B = uint8_t(C);
    if (B > 0x20 && B < 0x7F && Reserved.find(C) == std::string_view::npos) {
      Url += C;
    } else {
      Url += '%';
      Url += Digits[B >> 4];
      Url += Digits[B & 15];
    }
  }
  return Url;
}

std::string PictureSource(TBitmap& Bitmap) {
  if (PictureReferences == TkivPictureReferences::Files) return FileUrl(GetTempFileName(Bitmap));
  TMemoryStream Bmp;
  // Headers, palette and rows of three bytes at most: the file is written without moving.
  Bmp.Reserve(14 + 40 + 1024 + ((int64_t(Bitmap.Width()) * 3 + 3) & ~int64_t(3)) * Bitmap.Height());
  Bitmap.SaveToStream(Bmp);
  std::string Source = "data:image/bmp;base64,";
  AppendBase64(
      Source, std::string_view(reinterpret_cast<const char*>(Bmp.Memory()), size_t(Bmp.GetSize())));
  return Source;
}

void LoadThumbnail(TBitmap& Bitmap, TStream& Stream, TkivWorkBudget& Budget) {
  Bitmap.Refusal = {};
  if (HasBytes(Stream, 1)) Bitmap.ReadThumbnail(Stream, Budget);
}

void SaveThumbnail(TBitmap& Bitmap, TStream& Stream) {
  Bitmap.WriteThumbnail(Stream);
}

void ClearPicture(TBitmap& Bitmap) {
  Bitmap.SetWidth(0);
  Bitmap.SetHeight(0);
}

} // namespace kivInfo

// ---- Report blocks ----

std::string FormatCannotDecode(const std::string& Value) {
  return Format("%s (%s)", Value.c_str(), "cannot decode");
}

std::unique_ptr<TkivHTMLTABLE> CreateReportTable() {
  return std::make_unique<TkivHTMLTABLE>(TkivHTMLTableOptions{.Border = 1, .CellPadding = 5});
}

TkivHTMLTABLE& AddReportTable(TkivHTMLItem& Parent) {
  return Parent.AddChild(CreateReportTable());
}

void AddTextCell(TkivHTMLTR& Row, std::string_view Text, const std::string& BgColor) {
  static const TkivHTMLCellOptions Plain;
  if (BgColor.empty())
    AddTextCell(Row, Text, Plain);
  else
    AddTextCell(Row, Text, TkivHTMLCellOptions{.BgColor = BgColor});
}

void AddTextCell(TkivHTMLTR& Row, std::string_view Text, const TkivHTMLCellOptions& Options,
                 std::string_view LeadingHtml) {
  AppendCell(TrailingRun(Row), Options, LeadingHtml, Text);
}

TkivHTMLTR& AddTextRow(TkivHTMLTABLE& Table, std::initializer_list<std::string> Texts) {
  TkivHTMLTR& Row = AddRow(Table);
  for (const std::string& Text : Texts)
    AddTextCell(Row, Text);
  return Row;
}

namespace {
// The cells of a hex dump's body row: the offset, hex and text columns, each a preformatted
// block whose lines are separated by line breaks, as the block's text and line-break elements
// would be written. A column at a time, into text reserved once for all three.
void AppendHexDumpCells(std::pmr::string& S, std::string_view Bytes, bool ShowOffsets) {
  static const char Digits[] = "0123456789ABCDEF";
  const size_t Lines = (Bytes.size() + 15) / 16;
  const size_t Breaks = Lines > 0 ? 4 * (Lines - 1) : 0;
  size_t TextSize = 0; // the bytes below 32, shown as blanks, are never escaped
  EscapeHTML(Bytes, [&TextSize](std::string_view Piece) { TextSize += Piece.size(); });
  S.reserve(S.size() + 3 * 20 + (ShowOffsets ? 8 * Lines + Breaks : 0) +
            (3 * Bytes.size() - Lines + Breaks) + TextSize + Breaks);
  char Line[4 + 16 * 3];
  std::memcpy(Line, "<BR>", 4);
  if (ShowOffsets) {
    S += "<TD><PRE>";
    for (size_t L = 0; L < Lines; ++L) {
      // At least eight digits.
      const uint64_t Offset = 16 * uint64_t(L);
      int Shift = 28;
      while (Shift < 60 && (Offset >> (Shift + 4)) != 0)
        Shift += 4;
      char* End = Line + 4;
      for (; Shift >= 0; Shift -= 4)
        *End++ = Digits[(Offset >> Shift) & 15];
      S.append(L == 0 ? Line + 4 : Line, End);
    }
    S += "</PRE></TD>";
  }
  S += "<TD><PRE>";
  for (size_t L = 0; L < Lines; ++L) {
    const std::string_view Part = Bytes.substr(16 * L, 16);
    char* End = Line + 4;
    for (size_t I = 0; I < Part.size(); ++I) {
      if (I > 0) *End++ = ' ';
      *End++ = Digits[uint8_t(Part[I]) >> 4];
      *End++ = Digits[uint8_t(Part[I]) & 15];
    }
    S.append(L == 0 ? Line + 4 : Line, End);
  }
  S += "</PRE></TD><TD><PRE>";
  for (size_t L = 0; L < Lines; ++L) {
    const std::string_view Part = Bytes.substr(16 * L, 16);
    char Text[16];
    for (size_t I = 0; I < Part.size(); ++I)
      Text[I] = uint8_t(Part[I]) < 32 ? ' ' : Part[I];
    if (L > 0) S += "<BR>";
    EscapeHTML(std::string_view(Text, Part.size()), [&S](std::string_view Piece) { S += Piece; });
  }
  S += "</PRE></TD>";
}
} // namespace

std::unique_ptr<TkivHTMLTABLE> CreateHexDumpTable(TStream& Stream, bool ShowOffsets, int64_t Count,
                                                  TkivWorkBudget& Budget) {
  // Two rows of text: a dump is five elements and two texts whatever its size, and the
  // bytes are read in one go (at most those the stream holds).
  auto Table = CreateReportTable();
  TrailingRun(AddRow(*Table)).Html += ShowOffsets
                                          ? "<TD><PRE>Offset</PRE></TD><TD><PRE>Hex</PRE></TD>"
                                            "<TD><PRE>Text</PRE></TD>"
                                          : "<TD><PRE>Hex</PRE></TD><TD><PRE>Text</PRE></TD>";
  const int64_t Shown =
      Budget.Take(TkivWork::BytesDumped, std::clamp<int64_t>(Count, 0, BytesLeft(Stream)));
  const std::string Bytes = ReadString(Stream, Shown);
  AppendHexDumpCells(TrailingRun(AddRow(*Table)).Html, Bytes, ShowOffsets);
  if (Shown < Count) {
    // Passed over as reading them would: a dump of more than the stream holds fails.
    const int64_t Rest = Count - Shown;
    if (Rest > BytesLeft(Stream)) {
      Stream.SetPosition(Stream.GetSize());
      throw EReadError();
    }
    Stream.SetPosition(Stream.GetPosition() + Rest);
    AddTextCell(AddRow(*Table),
                Format("%lld bytes not shown: one report shows at most %lld bytes as hex",
                       static_cast<long long>(Rest),
                       static_cast<long long>(TkivWorkBudget::MaxBytesDumped)),
                {.ColSpan = ShowOffsets ? 3 : 2});
  }
  return Table;
}

void WriteExtraInfo(TkivHTMLItem& Parent, TStream& Stream, TkivWorkBudget& Budget) {
  if (Stream.GetSize() == 0) return;
  Stream.SetPosition(0);
  AddParagraph(Parent);
  AddText(Parent, "Extra info");
  Parent.AddChild(CreateHexDumpTable(Stream, true, Stream.GetSize(), Budget));
}

void WriteThumbnailRows(TkivHTMLTABLE& Table, kivInfo::TBitmap& Bitmap, bool WithHeading) {
  const int64_t W = Bitmap.Width(), H = Bitmap.Height();
  if (W * H <= 0 && !Bitmap.Refused()) return;
  if (WithHeading) AddText(AddCell(AddRow(Table), {.ColSpan = 2, .Align = haCenter}), "Thumbnail");
  AddTextRow(Table, {"Compression", Bitmap.GetCompression()});
  if (Bitmap.Refused()) {
    AddTextRow(Table, {"Image", PictureRefusalText(Bitmap.Refusal)});
    return;
  }
  AddTextRow(Table, {"Width", std::to_string(W)});
  AddTextRow(Table, {"Height", std::to_string(H)});
  TkivHTMLTR& Row = AddRow(Table);
  AddTextCell(Row, "Image");
  std::string Source;
  try {
    Source = kivInfo::PictureSource(Bitmap);
  } catch (const Exception& E) {
    // A picture file that cannot be written costs the picture, not the page.
    AddTextCell(Row, E.what());
    return;
  }
  AddImage(AddCell(Row), Source, Format("Thumbnail %dx%d", Bitmap.Width(), Bitmap.Height()),
           Bitmap.Width(), Bitmap.Height());
}

void AddThumbnailInfo(TkivTreeItem& InfoParent, kivInfo::TBitmap& Bitmap) {
  if (int64_t(Bitmap.Width()) * Bitmap.Height() <= 0 && !Bitmap.Refused()) return;
  TkivTreeItem& Item = AddInfoItem(InfoParent, 0, "Thumbnail", {});
  AddInfoItem(Item, 0, "Compression", Bitmap.GetCompression());
  if (Bitmap.Refused()) {
    AddInfoItem(Item, 0, "Image", PictureRefusalText(Bitmap.Refusal));
    return;
  }
  AddInfoInt(Item, 0, "Width", Bitmap.Width());
  AddInfoInt(Item, 0, "Height", Bitmap.Height());
  AddInfoObject(Item, 0, "Thumbnail", &Bitmap);
}

void AddMailNotice(TkivTreeItem& InfoParent) {
  AddInfoItem(InfoParent, WarningIcon,
              "If you have any information about this segment, please mail me", {});
}
