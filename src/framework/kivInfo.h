#pragma once
// The segment model: segments and their class objects, segment lists with their listeners,
// the information tree, the class registries; and the report building blocks that every
// decoder shares (report tables, hex dumps, "Extra info", thumbnail rows and files).

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/kivStream.h"
#include "framework/kivClassObject.h"
#include "framework/kivDIBitmap.h"
#include "framework/kivHTML.h"
#include "framework/kivInfoTrace.h"
#include "framework/kivWorkBudget.h"

class TkivSegment;
class TkivSegmentList;

// ---- Information tree ----

class TkivTreeItem : public TkivTraceObjectList {
public:
  TkivTreeItem() = default;
  ~TkivTreeItem() override;

  uint32_t Icon = 0;
  std::string Name;
  std::string Value;
  bool Header = false;
  TObject* Object = nullptr; // not owned
  int32_t Height = 0;
  TkivTreeItem* Parent = nullptr;

  virtual void Process(void* Arg);
  void ForEach(void* Arg);
  virtual uint32_t GetIcon() const { return Icon; }
  virtual std::string GetName() const { return Name; }
  virtual std::string GetValue() const { return Value; }
  virtual bool GetHeader() const { return Header; }
  virtual int32_t GetHeight() const;

  TkivTreeItem& AddChild(std::unique_ptr<TkivTreeItem> Child);
  void RemoveChild(TkivTreeItem& Child);
  TkivTreeItem& GetChild(int32_t Index) const { return static_cast<TkivTreeItem&>(*Item(Index)); }
  int32_t IndexInParent() const;
  int32_t Level() const;
};

TkivTreeItem& AddInfoItem(TkivTreeItem& Parent, uint32_t Icon, const std::string& Name,
                          const std::string& Value);
TkivTreeItem& AddInfoInt(TkivTreeItem& Parent, uint32_t Icon, const std::string& Name,
                         int32_t Value);
TkivTreeItem& AddInfoObject(TkivTreeItem& Parent, uint32_t Icon, const std::string& Name,
                            TObject* Obj);
TkivTreeItem& AddInfoCopy(TkivTreeItem& Parent, const TkivTreeItem& Source);

// ---- Segments ----

// What a segment list tells its listeners; an error message names the kind by its number.
enum class TkivSegmentNotification : uint8_t { Added, Deleted, Changed, Reordered };

// Flag elements of a segment, as bit values.
enum : uint8_t { sfNoSizeInfo = 1, sfInfoSegment = 2, sfStructure = 8 };
using TkivSegmentFlags = uint8_t;

class TkivSegment : public TkivTraceObject {
public:
  // The class object: the class-level operations, answered without an instance, and the
  // virtual constructor.
  class TClass : public TkivClassFamily<TkivSegment> {
  public:
    using TkivClassFamily::TkivClassFamily;
    virtual bool IsInfoSegment() const { return false; }
    virtual void GetFlags(TkivSegmentFlags& Flags) const;
    virtual uint8_t Order() const { return 127; }
    virtual std::string GetDescription() const { return "Custom data section"; }
    virtual std::string GetShortName() const { return "Data"; }
    // Answers from the bytes at the stream's position and leaves the position unchanged.
    virtual bool CanRead(TStream&) const { return true; }

    // Create() makes a free-standing segment, in no list; this one a segment owned by Owner:
    // appended, or inserted at its ordered position.
    using TkivClassFamily::Create;
    TkivSegment& Create(TkivSegmentList& Owner, bool AppendAtEnd) const;
  };
  static const TClass& ClassObject();

  explicit TkivSegment(const TClass& Class);
  ~TkivSegment() override;

  const TClass& ClassType() const { return Class; }

  TMemoryStream Data;
  bool Modified = false;
  TkivSegmentList* Owner = nullptr;
  TkivSegmentFlags Flags = 0;
  std::unique_ptr<TkivTreeItem> Info;
  // Where the segment stands in the file its list was read from, and how many of the file's
  // bytes it took; both 0 for a segment that was not read as part of a file.
  int64_t FileOffset = 0;
  int64_t FileSize = 0;
  // What the report refers to beyond the segment's own decoding (the pictures of its extended
  // parts): kept as long as the segment, since the page refers to their files.
  TOwningList ReportObjects;

  virtual int64_t GetSize() const { return Data.GetSize(); }
  virtual void ParseData();
  virtual void InitDefault();
  virtual void LoadFromStream(TStream& Stream);
  virtual void SaveToStream(TStream& Stream);
  virtual void Refresh();
  virtual void FillInfo();
  virtual void WriteHTML(TkivHTMLItem&) {}

  bool IsCurrent() const;
  void SetCurrent(bool Flag);
  void Notify(TkivSegmentNotification Kind);
  // The budget of the report the segment belongs to: its list's, or its own when it stands
  // alone (a segment file is one report). Either is carried by the report's bytes: the
  // list's file, or the segment's data.
  TkivWorkBudget& WorkBudget();

private:
  const TClass& Class;
  TkivWorkBudget OwnBudget;
};

// A registry of segment classes; the JPEG segment class list is one too.
using TkivSegmentClassList = TkivClassList<TkivSegment::TClass>;

extern TkivSegment* CurrentSegment;

// The change notification interface of segment-list listeners: one method per kind.
class IkivSegmentNotify {
public:
  virtual ~IkivSegmentNotify() = default;
  virtual void SegmentAdded(TObject* Sender, TkivSegment* Segment) = 0;
  virtual void SegmentDeleted(TObject* Sender, TkivSegment* Segment) = 0;
  virtual void SegmentChanged(TObject* Sender, TkivSegment* Segment) = 0;
  virtual void SegmentsReordered(TObject* Sender) = 0;
};

// What a report adds after each segment's own report: the extended parts (src/extended).
class IkivSegmentReportExtension {
public:
  virtual ~IkivSegmentReportExtension() = default;
  virtual void WriteSegmentHTML(TkivSegment& Segment, TkivHTMLItem& Parent) = 0;
  // What opens a whole file's page, after its heading.
  virtual void WriteListSummaryHTML(TkivSegmentList& List, TkivHTMLItem& Parent) = 0;
};

class TkivSegmentList : public TkivTraceObjectList {
public:
  class TClass : public TkivClassFamily<TkivSegmentList> {
  public:
    using TkivClassFamily::TkivClassFamily;
    // Whether the stream, at its position, starts like a whole file of this format; the
    // position is left unchanged. The plain list is no format.
    virtual bool CanRead(TStream&) const { return false; }
  };
  static const TClass& ClassObject();

  explicit TkivSegmentList(const TClass& Class) : Class(Class) {}
  ~TkivSegmentList() override;

  const TClass& ClassType() const { return Class; }

  // Listeners are owned; those that implement IkivSegmentNotify are told about changes.
  TOwningList Listeners;
  // The name the file is shown under, and the size of the stream it was read from.
  std::string FileName;
  int64_t FileSize = 0;
  // Set by the report pipeline while it writes a page with the extended parts; not owned.
  IkivSegmentReportExtension* ReportExtension = nullptr;
  // Set by the report pipeline while it writes a page as it is built: each segment's report
  // is written out once complete. Not owned.
  TkivHTMLPageWriter* Page = nullptr;
  // The stream the file was read from, kept open for what reads beyond the bytes the segments
  // keep (the summary's picture); null when none was kept.
  std::unique_ptr<TStream> Source;
  // The summary's information tree, once filled, and the objects (pictures) that the summary's
  // page and tree refer to.
  std::unique_ptr<TkivTreeItem> SummaryInfo;
  TOwningList ReportObjects;

  virtual const TkivSegment::TClass& GetFirstSegmentClass() const;
  virtual const TkivSegmentClassList& GetSegmentClassList() const;
  // Reads a whole file from the stream's position: the first segment by
  // GetFirstSegmentClass, then at each position the first class of GetSegmentClassList that
  // can read there, until the stream ends or a segment takes no byte.
  virtual void LoadFromStream(TStream& Stream);
  // The report of the whole file; here each segment's report in order.
  virtual void WriteHTML(TkivHTMLItem& Parent);

  TkivSegment& Segment(int32_t Index) const { return static_cast<TkivSegment&>(*Item(Index)); }
  void NotifySegment(TkivSegmentNotification Kind, TkivSegment* Segment);
  // One report for all its segments, carried by FileSize bytes.
  TkivWorkBudget& WorkBudget();

protected:
  void Notify(TObject* Item, TListNotification Action) override;
  // Creates a segment of Class at the end of the list and loads it from the stream's
  // position, recording where it stood and how many bytes it took.
  TkivSegment& LoadSegment(const TkivSegment::TClass& Class, TStream& Stream);
  // Writes a segment's report into Parent, and after it what ReportExtension adds; a report that
  // fails leaves a line saying so in place of what it had written, so that one segment cannot
  // cost the page. The report then goes to Page, when there is one.
  void WriteSegmentHTML(TkivSegment& Segment, TkivHTMLItem& Parent);

private:
  const TClass& Class;
  TkivWorkBudget Budget;
};

using TkivSegmentListClassList = TkivClassList<TkivSegmentList::TClass>;

extern TkivSegmentListClassList SegmentListClassList;
// The first registered segment list class that can read the stream as a whole file, or null.
const TkivSegmentList::TClass* FindSegmentListClass(TStream& Stream);
// The generic registry: TkivSegment alone.
extern TkivSegmentClassList SegmentClassList;
void RegisterSegmentListClass(const TkivSegmentList::TClass& Class);

extern uint32_t ErrorIcon, WarningIcon, InfoIcon;

void kivInfo_Initialize();
void kivInfo_Finalize();
// The system's stock icons into ErrorIcon, WarningIcon and InfoIcon (0 until then). Not part of
// the start-up: it needs the user-interface library, which a load routine must not call.
void kivInfo_LoadIcons();

// ---- Thumbnail bitmaps and report blocks ----

namespace kivInfo {

class TBitmap : public TkivDIBitmap {
public:
  class TClass : public TkivClassFamily<TBitmap> {
  public:
    using TkivClassFamily::TkivClassFamily;
  };
  static const TClass& ClassObject();

  explicit TBitmap(const TClass& Class);
  ~TBitmap() override;

  const TClass& ClassType() const { return Class; }

  std::string FileName;
  TObject* Owner = nullptr; // the segment or block that decoded the picture
  // Set when the report's budget refused to decode the picture: the page says so, with the
  // declared size, where the picture would be.
  TkivPictureRefusal Refusal;
  bool Refused() const { return Refusal.Verdict != TkivPictureVerdict::Granted; }

  virtual void CopyFrom(const TkivDIBitmap& Source);
  virtual std::string GetCompression() const { return "Unknown"; }
  // Every picture's size is asked of Budget before it is decoded.
  virtual void ReadThumbnail(TStream& Stream, TkivWorkBudget& Budget);
  virtual void WriteThumbnail(TStream&) {}
  virtual int64_t GetDataSize() { return 0; }

protected:
  // Asks Budget for a picture of Width x Height; false, with Refusal set, when it refuses.
  bool TakePicture(TkivWorkBudget& Budget, int64_t Width, int64_t Height);

private:
  const TClass& Class;
};

// Chooses the bitmap's file on first use (claiming the name), then writes the picture to it.
std::string GetTempFileName(TBitmap& Bitmap);
// Creates the first free file Pattern % N (N = 0, 1, ... below Limit) in the temporary-files
// directory; throws when all of them exist.
constexpr int32_t MaxTempFileNumber = 1000000;
// Within a report the search goes on after the last number it chose.
std::string MakeTempFileName(const char* Pattern, int32_t Limit = MaxTempFileNumber);
// The next search starts from 0 again: called as each report begins.
void RestartTempFileNames();
std::string GetTempDirectory();
// Thumbnail files go to Dir (with its trailing separator) instead of the system's directory;
// empty restores the system's.
void SetTempDirectory(const std::string& Dir);
// Keeps the files when their bitmaps are freed: for pages saved by the user, whose pictures
// must outlive the run.
void SetKeepTempFiles(bool Keep);
// Told of each temporary file as it is made and as it is deleted, so that a command stopped by
// a signal can remove what it made: Creating comes before each try to create a file, and
// Created (with its path) or NotCreated after it, so that the command may hold its signals in
// between. None by default.
enum class TkivTempFileEvent { Creating, Created, NotCreated, Deleted };
using TkivTempFileWatcher = void (*)(TkivTempFileEvent Event, const std::string& Path);
void SetTempFileWatcher(TkivTempFileWatcher Watcher);
// How a page refers to its pictures: by the file each bitmap is written to (the viewer's way),
// or with the picture itself inside the page as a data: URL, for a page that travels alone.
enum class TkivPictureReferences { Files, Inline };
void SetPictureReferences(TkivPictureReferences Way);
// The file: URL of Path, with what a URL may not hold percent-encoded (blanks, quotes, angle
// brackets, percent signs, control and non-ASCII bytes).
std::string FileUrl(std::string_view Path);
// The SRC of Bitmap's picture on a page, the way chosen; every picture on a page takes it here.
std::string PictureSource(TBitmap& Bitmap);
void LoadThumbnail(TBitmap& Bitmap, TStream& Stream, TkivWorkBudget& Budget);
void SaveThumbnail(TBitmap& Bitmap, TStream& Stream);
void ClearPicture(TBitmap& Bitmap);

} // namespace kivInfo

std::string FormatCannotDecode(const std::string& Value);
// A detached table with Border 1 and CellPadding 5, and one created under Parent.
std::unique_ptr<TkivHTMLTABLE> CreateReportTable();
TkivHTMLTABLE& AddReportTable(TkivHTMLItem& Parent);
// A cell holding Text (escaped), and a row of such cells. The cells are page text in the row's
// trailing run (TrailingRun), not elements: most of a report is such cells. LeadingHtml is page
// text written before Text as it is (an indentation of character references, for instance).
void AddTextCell(TkivHTMLTR& Row, std::string_view Text, const std::string& BgColor = {});
void AddTextCell(TkivHTMLTR& Row, std::string_view Text, const TkivHTMLCellOptions& Options,
                 std::string_view LeadingHtml = {});
TkivHTMLTR& AddTextRow(TkivHTMLTABLE& Table, std::initializer_list<std::string> Texts);
// A hex dump of Count bytes from the stream's position; the bytes beyond what Budget has left
// for dumps are passed over, and a row says how many.
std::unique_ptr<TkivHTMLTABLE> CreateHexDumpTable(TStream& Stream, bool ShowOffsets, int64_t Count,
                                                  TkivWorkBudget& Budget);
void WriteExtraInfo(TkivHTMLItem& Parent, TStream& Stream, TkivWorkBudget& Budget);
void WriteThumbnailRows(TkivHTMLTABLE& Table, kivInfo::TBitmap& Bitmap, bool WithHeading);
void AddThumbnailInfo(TkivTreeItem& InfoParent, kivInfo::TBitmap& Bitmap);
void AddMailNotice(TkivTreeItem& InfoParent);
