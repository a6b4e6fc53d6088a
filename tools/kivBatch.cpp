#include "kivBatch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <utility>
#include <vector>

#include "framework/kivFormat.h"
#include "host/kivReportPipeline.h"
#include "jpeg/kivJpegFile.h"
#include "kivCleanup.h"
#include "kivFiles.h"
#include "kivInfoText.h"
#include "platform/kivTempFiles.h"
#include "tiff/kivTiffInfo.h"

namespace fs = std::filesystem;

namespace {

// ---- Finding the files ----

struct TFound {
  std::string Path;     // as given, or the directory given joined with the names below it
  std::string Relative; // the name the file's page takes in the output directory
};

// Says a skipped or failed entry on standard error, above the progress line.
class TProgress {
public:
  explicit TProgress(bool Terminal) : Terminal(Terminal) {}

  void Say(const std::string& Message) {
    Clear();
    std::cerr << "kivmrk: " << Message << "\n";
    Shown = false;
    Update(Done, Found, true);
  }

  // Shown on a terminal only, once the run has taken a second, at most ten times a second.
  void Update(size_t NewDone, size_t NewFound, bool Force = false) {
    Done = NewDone;
    Found = NewFound;
    if (!Terminal || Found == 0) return;
    const auto Now = std::chrono::steady_clock::now();
    if (Now - Start < std::chrono::seconds(1)) return;
    if (!Force && Shown && Now - Last < std::chrono::milliseconds(100)) return;
    Last = Now;
    std::cerr << "\rkivmrk: " << Done << " of " << Found << " files" << std::flush;
    Shown = true;
  }

  // The last count stays on its line.
  void Finish() {
    if (!Shown) return;
    Update(Done, Found, true);
    std::cerr << "\n";
    Shown = false;
  }

private:
  void Clear() {
    if (Shown) std::cerr << "\r\033[K";
  }

  bool Terminal;
  bool Shown = false;
  size_t Done = 0, Found = 0;
  const std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point Last;
};

// What an error record or message says about a failed system call.
std::string SystemError(int Error) {
  return std::strerror(Error);
}

// What the run has to do: the files in order, the entries that fail before they are read.
struct TWork {
  struct TItem {
    TFound File;
    std::string Error; // set: the entry failed (an error record), no file to read
  };
  std::vector<TItem> Items;
  // The directories being walked, by device and inode: one met again is a link loop.
  std::set<std::pair<dev_t, ino_t>> Walking;
};

class TFinder {
public:
  TFinder(TWork& Work, TProgress& Progress, bool Recursive)
      : Work(Work), Progress(Progress), Recursive(Recursive) {}

  void AddInput(const std::string& Path) {
    struct stat Info;
    if (::stat(Path.c_str(), &Info) != 0) {
      Fail({Path, fs::path(Path).filename().string()}, "cannot read: " + SystemError(errno));
      return;
    }
    if (S_ISDIR(Info.st_mode)) {
      if (!Recursive) {
        Fail({Path, ""}, "is a directory (use -r to report the files in it)");
        return;
      }
      Walk(Path, "", Info);
      return;
    }
    std::string Name = fs::path(Path).filename().string();
    AddEntry({Path, Name.empty() ? Path : Name}, Info);
  }

private:
  void Fail(TFound File, const std::string& Error) {
    Work.Items.push_back({std::move(File), Error});
  }

  // A regular file is reported; what else is not a directory is skipped unread.
  void AddEntry(TFound File, const struct stat& Info) {
    if (S_ISREG(Info.st_mode)) {
      Work.Items.push_back({std::move(File), ""});
      return;
    }
    const char* What = S_ISFIFO(Info.st_mode)                           ? "a FIFO"
                       : S_ISCHR(Info.st_mode) || S_ISBLK(Info.st_mode) ? "a device"
                       : S_ISSOCK(Info.st_mode)                         ? "a socket"
                                                                        : "not a regular file";
    Progress.Say(NameForUtf8(File.Path) + ": " + What + "; skipped");
  }

  void Walk(const std::string& Directory, const std::string& Relative, const struct stat& Info) {
    const std::pair<dev_t, ino_t> Key{Info.st_dev, Info.st_ino};
    if (!Work.Walking.insert(Key).second) {
      Progress.Say(NameForUtf8(Directory) +
                   ": a directory already being walked (a symbolic-link loop); skipped");
      return;
    }
    std::error_code Ec;
    std::vector<std::string> Names;
    for (fs::directory_iterator It(Directory, Ec), End; !Ec && It != End; It.increment(Ec))
      Names.push_back(It->path().filename().string());
    if (Ec) {
      Fail({Directory, Relative}, "cannot read the directory: " + Ec.message());
      Work.Walking.erase(Key);
      return;
    }
    std::sort(Names.begin(), Names.end());
    const std::string Prefix =
        Directory.empty() || Directory.back() == '/' ? Directory : Directory + "/";
    for (const std::string& Name : Names) {
      const std::string Path = Prefix + Name;
      const std::string Below = Relative.empty() ? Name : Relative + "/" + Name;
      struct stat Entry;
      if (::stat(Path.c_str(), &Entry) != 0) {
        // Links that lead nowhere or in a circle; an entry gone since the listing.
        const int Error = errno;
        struct stat Link;
        if (::lstat(Path.c_str(), &Link) == 0 && S_ISLNK(Link.st_mode))
          Progress.Say(NameForUtf8(Path) + ": a symbolic link that leads nowhere (" +
                       SystemError(Error) + "); skipped");
        else
          Fail({Path, Below}, "cannot read: " + SystemError(Error));
        continue;
      }
      if (S_ISDIR(Entry.st_mode))
        Walk(Path, Below, Entry);
      else
        AddEntry({Path, Below}, Entry);
    }
    Work.Walking.erase(Key);
  }

  TWork& Work;
  TProgress& Progress;
  bool Recursive;
};

// ---- Reporting one file ----

struct TReport {
  std::string Error; // set when the file could not be reported
  std::string Kind;
  int64_t Size = 0;
  std::unique_ptr<TkivSegmentList> List;
  std::unique_ptr<TkivSegment> Segment;

  // The information tree, for text and JSON.
  std::unique_ptr<TkivTreeItem> FileTree;
  const TkivTreeItem* Tree() const {
    return FileTree ? FileTree.get() : Segment ? Segment->Info.get() : nullptr;
  }
};

std::string KindOf(const TkivSegmentList& List) {
  if (&List.ClassType() == &TkivJpegFile::ClassObject()) return "JPEG file";
  if (&List.ClassType() == &kivTiffInfo::TkivTiffSegmentList::ClassObject()) return "TIFF file";
  return "whole file";
}

std::string LoadError(TkivLoadResult Result) {
  if (Result == TkivLoadResult::NotOpened) return "cannot read";
  const std::string& Fault = LastFault();
  return "the report could not be built" +
         (Fault.empty() ? std::string() : " (internal error: " + Fault + ")");
}

class TReporter {
public:
  explicit TReporter(const TkivBatchOptions& Options) : Options(Options) {}

  // Loads the file and builds its page (into Page) or its tree. A file that is no longer a
  // regular file, or is gone, fails without being opened for reading.
  TReport Report(const std::string& Path, std::string* Page) const {
    TReport Report;
    struct stat Info;
    const int Fd = ::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (Fd < 0) {
      Report.Error = "cannot read: " + SystemError(errno);
      return Report;
    }
    const bool Regular = ::fstat(Fd, &Info) == 0 && S_ISREG(Info.st_mode);
    ::close(Fd);
    if (!Regular) {
      Report.Error = "cannot read: no longer a regular file";
      return Report;
    }
    Report.Size = static_cast<int64_t>(Info.st_size);
    if (!Options.Segment && !IsSegmentFileName(Path) && ReportWholeFile(Path, Report, Page))
      return Report;
    ReportSegment(Path, Report, Page);
    return Report;
  }

private:
  static bool IsSegmentFileName(const std::string& Path) {
    std::string Extension = fs::path(Path).extension().string();
    std::transform(Extension.begin(), Extension.end(), Extension.begin(),
                   [](unsigned char C) { return static_cast<char>(std::toupper(C)); });
    return Extension == ".MRK";
  }

  bool Extended(bool WholeFile) const { return Options.Extended.value_or(WholeFile); }

  // False when no segment list class reads the file: it is then read as a segment file.
  bool ReportWholeFile(const std::string& Path, TReport& Report, std::string* Page) const {
    TkivLoadResult Result = LoadSegmentList(Path, Report.List);
    if (Result == TkivLoadResult::NotRead) return false;
    if (Result == TkivLoadResult::Shown) {
      Report.Kind = KindOf(*Report.List);
      Report.List->FileName = Utf8ToAnsi(Report.List->FileName);
      const TkivReportOptions ReportOptions{.Extended = Extended(true)};
      try {
        if (Page) {
          TMemoryStream Html;
          WriteListPage(*Report.List, Html, ReportOptions);
          *Page = Html.ToString();
        } else {
          if (ReportOptions.Extended) FillExtendedInfo(*Report.List);
          Report.FileTree = FileInfoTree(*Report.List);
        }
      } catch (const Exception&) {
        Result = TkivLoadResult::Failed;
      } catch (const std::bad_alloc&) {
        Result = TkivLoadResult::Failed;
      }
    }
    if (Result != TkivLoadResult::Shown) {
      Report.List.reset();
      Report.Error = LoadError(Result);
    }
    return true;
  }

  void ReportSegment(const std::string& Path, TReport& Report, std::string* Page) const {
    const TkivReportOptions ReportOptions{.Extended = Extended(false)};
    TkivLoadResult Result;
    if (Page) {
      Result = LoadFile(
          Path, Report.Segment, [&](TMemoryStream& Html) { *Page = Html.ToString(); },
          ReportOptions);
    } else {
      Result = ReadSegmentFile(Path, Report.Segment);
      if (Result == TkivLoadResult::Shown && ReportOptions.Extended) {
        try {
          FillExtendedInfo(*Report.Segment);
        } catch (const Exception&) {
          Result = TkivLoadResult::Failed;
        }
      }
    }
    if (Result == TkivLoadResult::Shown) {
      Report.Kind = "segment file: " + Report.Segment->ClassType().GetDescription();
    } else {
      Report.Segment.reset();
      Report.Error = LoadError(Result);
    }
  }

  const TkivBatchOptions& Options;
};

// ---- Writing ----

// A file that is written whole or not at all: bytes go to a temporary file beside it, which
// takes its place at the end. Only a regular file is replaced.
class TAtomicFile {
public:
  ~TAtomicFile() { Abandon(); }

  std::string Open(const std::string& Target) {
    Path = Target;
    struct stat Info;
    if (::lstat(Path.c_str(), &Info) == 0 && !S_ISREG(Info.st_mode))
      return "cannot write " + NameForUtf8(Path) + ": not a regular file";
    for (int N = 0; !File && N < 1000; ++N) {
      Temp = Path + "." + std::to_string(N) + ".tmp";
      const int Fd = ::open(Temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (Fd >= 0) {
        kivCleanup::Remember(Temp);
        File = ::fdopen(Fd, "wb");
        if (!File) ::close(Fd);
      } else if (errno != EEXIST) {
        break;
      }
    }
    if (!File) {
      const int Error = errno;
      Abandon();
      return "cannot write " + NameForUtf8(Path) + ": " + SystemError(Error);
    }
    return {};
  }

  bool Write(const std::string& Bytes) {
    return File && std::fwrite(Bytes.data(), 1, Bytes.size(), File) == Bytes.size();
  }

  // The file put in place together with the pictures it refers to: a signal that comes now
  // leaves both, or, before, neither.
  std::string Commit() {
    const bool Closed = File && std::fclose(File) == 0;
    File = nullptr;
    const kivCleanup::TSignalsHeld Held;
    if (Closed && ::rename(Temp.c_str(), Path.c_str()) == 0) {
      Temp.clear();
      kivCleanup::KeepAll();
      return {};
    }
    const std::string Error = "cannot write " + NameForUtf8(Path) + ": " + SystemError(errno);
    Abandon();
    return Error;
  }

  void Abandon() {
    if (File) std::fclose(File);
    File = nullptr;
    if (!Temp.empty()) {
      ::unlink(Temp.c_str());
      kivCleanup::Forget(Temp);
    }
    Temp.clear();
  }

private:
  std::string Path, Temp;
  std::FILE* File = nullptr;
};

std::string JsonRecord(const std::string& Path, const TReport& Report) {
  // The tree is written as it is, without being parsed again.
  const std::string Start = "{\"path\":" + nlohmann::json(NameForUtf8(Path)).dump();
  if (!Report.Error.empty())
    return Start + ",\"error\":" + nlohmann::json(Report.Error).dump() + "}\n";
  std::string Tree = InfoTreeJson(*Report.Tree(), -1);
  Tree.pop_back();
  return Start + ",\"kind\":" + nlohmann::json(Report.Kind).dump() +
         ",\"size\":" + std::to_string(Report.Size) + ",\"tree\":" + Tree + "}\n";
}

std::string TextRecord(const std::string& Path, const TReport& Report) {
  const std::string Header = "==> " + ShowControlBytes(Path) + " <==\n";
  if (!Report.Error.empty()) return Header + "error: " + Report.Error + "\n";
  return Header + InfoTreeText(*Report.Tree());
}

std::string HtmlEscaped(const std::string& Utf8) {
  std::string Out;
  for (const char C : Utf8) {
    switch (C) {
    case '&':
      Out += "&amp;";
      break;
    case '<':
      Out += "&lt;";
      break;
    case '>':
      Out += "&gt;";
      break;
    case '"':
      Out += "&quot;";
      break;
    default:
      Out += C;
    }
  }
  return Out;
}

// A relative URL for a path: each byte but letters, digits, "-._~" and "/" percent-encoded.
std::string UrlOf(const std::string& Relative) {
  std::string Out;
  for (const char C : Relative) {
    const auto B = static_cast<uint8_t>(C);
    if (std::isalnum(B) || std::strchr("-._~/", C))
      Out += C;
    else
      Out += Format("%%%02X", B);
  }
  return Out;
}

struct TIndexRow {
  std::string Path, Page, Picture, Kind, Error;
  int64_t Size = 0;
};

std::string IndexPage(const std::vector<TIndexRow>& Rows, size_t Failed) {
  std::string Html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">\n<title>kivmrk: " +
                     std::to_string(Rows.size()) +
                     " files</title>\n<style>th{text-align:left}td{padding:2px "
                     "8px}img{max-width:96px;max-height:96px}"
                     ".error{color:#c00}</style>\n</head><body>\n<h1>" +
                     std::to_string(Rows.size()) + (Rows.size() == 1 ? " file" : " files");
  if (Failed > 0) Html += ", " + std::to_string(Failed) + " failed";
  Html += "</h1>\n<table>\n<tr><th>File</th><th>Size</th><th>Kind</th><th>Picture</th></tr>\n";
  for (const TIndexRow& Row : Rows) {
    const std::string Name = HtmlEscaped(NameForUtf8(Row.Path));
    if (!Row.Error.empty()) {
      Html += "<tr><td>" + Name +
              "</td><td></td><td class=\"error\" colspan=\"2\">error: " + HtmlEscaped(Row.Error) +
              "</td></tr>\n";
      continue;
    }
    Html += "<tr><td><a href=\"" + UrlOf(Row.Page) + "\">" + Name + "</a></td><td>" +
            std::to_string(Row.Size) + "</td><td>" + HtmlEscaped(Row.Kind) + "</td><td>";
    if (!Row.Picture.empty()) Html += "<img src=\"" + UrlOf(Row.Picture) + "\" alt=\"\">";
    Html += "</td></tr>\n";
  }
  return Html + "</table>\n</body></html>\n";
}

// The picture file of the first picture on a page whose pictures are files, or empty.
std::string FirstPictureFile(const std::string& Page) {
  const std::string Mark = "SRC=\"file://";
  const size_t At = Page.find(Mark);
  if (At == std::string::npos) return {};
  const size_t Begin = At + Mark.size(), End = Page.find('"', Begin);
  if (End == std::string::npos) return {};
  return fs::path(Page.substr(Begin, End - Begin)).filename().string();
}

// Removes the picture files an earlier run left in Directory.
void RemoveOldPictures(const std::string& Directory) {
  std::vector<std::string> Old;
  std::error_code Ec;
  for (fs::directory_iterator It(Directory, Ec), End; !Ec && It != End; It.increment(Ec))
    if (IsPictureFileName(It->path().filename().string())) Old.push_back(It->path().string());
  RemovePictures(Old);
}

// The page names taken in this run: a second file of the same name gets "~2", "~3", ...
std::string UniquePageName(std::set<std::string>& Taken, const std::string& Relative) {
  std::string Name = Relative + ".html";
  for (int N = 2; !Taken.insert(Name).second; ++N)
    Name = Relative + "~" + std::to_string(N) + ".html";
  return Name;
}

int RunPages(const TkivBatchOptions& Options, const TWork& Work, TProgress& Progress) {
  std::error_code Ec;
  fs::create_directories(Options.Output, Ec);
  if (!fs::is_directory(Options.Output, Ec)) {
    std::cerr << "kivmrk: cannot write into " << ShowControlBytes(Options.Output)
              << ": not a directory\n";
    return 1;
  }
  const std::string OutDir = fs::absolute(Options.Output, Ec).string() + "/";
  kivInfo::SetPictureReferences(Options.Inline ? kivInfo::TkivPictureReferences::Inline
                                               : kivInfo::TkivPictureReferences::Files);
  const TReporter Reporter(Options);
  std::vector<TIndexRow> Rows;
  std::set<std::string> Taken{"index.html"};
  size_t Failed = 0;
  for (size_t I = 0; I < Work.Items.size(); ++I) {
    const TWork::TItem& Item = Work.Items[I];
    TIndexRow Row;
    Row.Path = Item.File.Path;
    Row.Error = Item.Error;
    if (Row.Error.empty()) {
      const std::string Relative = Item.File.Relative.empty() ? "file" : Item.File.Relative;
      Row.Page = UniquePageName(Taken, Relative);
      const std::string PagePath = OutDir + Row.Page;
      const std::string Pictures = PagePath.substr(0, PagePath.size() - 5) + ".files/";
      fs::create_directories(fs::path(PagePath).parent_path(), Ec);
      if (!Options.Inline) {
        fs::create_directories(Pictures, Ec);
        RemoveOldPictures(Pictures);
        kivInfo::SetTempDirectory(Pictures);
      }
      std::string Page;
      TReport Report = Reporter.Report(Item.File.Path, &Page);
      Row.Error = Report.Error;
      if (Row.Error.empty()) {
        TAtomicFile File;
        Row.Error = File.Open(PagePath);
        if (Row.Error.empty() && !File.Write(Page)) Row.Error = "cannot write " + Row.Page;
        if (Row.Error.empty()) Row.Error = File.Commit();
      }
      // The pictures stay beside a page that was written.
      kivInfo::SetKeepTempFiles(Row.Error.empty());
      Report.List.reset();
      Report.Segment.reset();
      kivInfo::SetKeepTempFiles(false);
      if (!Options.Inline) {
        fs::remove(Pictures, Ec); // only when it holds no picture
        if (Row.Error.empty()) {
          const std::string Picture = FirstPictureFile(Page);
          if (!Picture.empty())
            Row.Picture = Row.Page.substr(0, Row.Page.size() - 5) + ".files/" + Picture;
        }
      }
      Row.Kind = Report.Kind;
      Row.Size = Report.Size;
    }
    if (!Row.Error.empty()) {
      ++Failed;
      Progress.Say(ShowControlBytes(Item.File.Path) + ": " + Row.Error);
    }
    Rows.push_back(std::move(Row));
    Progress.Update(I + 1, Work.Items.size());
  }
  kivInfo::SetTempDirectory("");
  TAtomicFile Index;
  std::string Error = Index.Open(OutDir + "index.html");
  if (Error.empty() && !Index.Write(IndexPage(Rows, Failed))) Error = "cannot write index.html";
  if (Error.empty()) Error = Index.Commit();
  Progress.Finish();
  if (!Error.empty()) {
    std::cerr << "kivmrk: " << Error << "\n";
    return 1;
  }
  return Failed > 0 ? 1 : 0;
}

int RunRecords(const TkivBatchOptions& Options, const TWork& Work, TProgress& Progress) {
  TAtomicFile File;
  if (!Options.Output.empty()) {
    const std::string Error = File.Open(Options.Output);
    if (!Error.empty()) {
      std::cerr << "kivmrk: " << Error << "\n";
      return 1;
    }
  }
  const auto Write = [&](const std::string& Bytes) {
    if (!Options.Output.empty()) return File.Write(Bytes);
    return std::fwrite(Bytes.data(), 1, Bytes.size(), stdout) == Bytes.size();
  };
  kivInfo::SetPictureReferences(kivInfo::TkivPictureReferences::Inline);
  const TReporter Reporter(Options);
  size_t Failed = 0;
  bool Written = true;
  for (size_t I = 0; I < Work.Items.size() && Written; ++I) {
    const TWork::TItem& Item = Work.Items[I];
    TReport Report;
    Report.Error = Item.Error;
    if (Report.Error.empty()) Report = Reporter.Report(Item.File.Path, nullptr);
    if (!Report.Error.empty()) {
      ++Failed;
      Progress.Say(ShowControlBytes(Item.File.Path) + ": " + Report.Error);
    }
    const bool Json = Options.Kind == TkivBatchOutput::Json;
    std::string Record =
        Json ? JsonRecord(Item.File.Path, Report) : TextRecord(Item.File.Path, Report);
    if (!Json && I > 0) Record.insert(0, "\n");
    Written = Write(Record);
    Progress.Update(I + 1, Work.Items.size());
  }
  Progress.Finish();
  std::string Error;
  if (!Options.Output.empty())
    Error = Written ? File.Commit() : "cannot write " + ShowControlBytes(Options.Output);
  else if (!Written || std::fflush(stdout) != 0)
    Error = "cannot write the output";
  if (!Error.empty()) {
    std::cerr << "kivmrk: " << Error << "\n";
    return 1;
  }
  return Failed > 0 ? 1 : 0;
}

} // namespace

int RunBatch(const TkivBatchOptions& Options) {
  TProgress Progress(::isatty(STDERR_FILENO) == 1);
  TWork Work;
  TFinder Finder(Work, Progress, Options.Recursive);
  for (const std::string& Input : Options.Inputs)
    Finder.AddInput(Input);
  return Options.Kind == TkivBatchOutput::Html ? RunPages(Options, Work, Progress)
                                               : RunRecords(Options, Work, Progress);
}
