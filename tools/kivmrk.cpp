// kivmrk: writes the report page of a JPEG marker segment file or of a whole JPEG or TIFF
// file, prints the information tree as text or JSON, or cuts a JPEG file into segment files.

#include <CLI/CLI.hpp>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>
#include <vector>

#include "base/kivException.h"
#include "host/kivModules.h"
#include "host/kivReportPipeline.h"
#include "kivBatch.h"
#include "kivCleanup.h"
#include "kivFdStream.h"
#include "kivFiles.h"
#include "kivInfoText.h"
#include "kivSplit.h"
#include "platform/kivTempFiles.h"

namespace {

const char* const Usage =
    "Usage: kivmrk [--segment] [--extended | --no-extended] [--text | --json] FILE\n"
    "              [-o OUTPUT [--inline]]\n"
    "       kivmrk [-r] (--text | --json) [-o OUTPUT] FILE...\n"
    "       kivmrk [-r] -o OUTDIR [--inline] FILE...\n"
    "       kivmrk split JPEG DIR\n"
    "\n"
    "Writes the HTML report of FILE to standard output, or to OUTPUT with -o.\n"
    "\n"
    "A file named *.MRK holds one JPEG marker segment and gets the page the viewer shows.\n"
    "A whole JPEG file gets one page with a table of contents and the report of every\n"
    "segment; a TIFF file gets the report of its directories and its strip picture. Any\n"
    "other file is read as a segment file. A page on standard output carries its pictures\n"
    "inside it (data: URLs); with -o the pictures are written as kivBMP<n>.bmp beside the\n"
    "page, as the viewer does, unless --inline is given.\n"
    "\n"
    "The extended report adds after each segment's report what the viewer leaves as hex:\n"
    "frame headers, quantization and Huffman tables, scan headers and more, decoded. Whole\n"
    "files get it unless --no-extended is given; segment files only with --extended.\n"
    "\n"
    "Given several files, or -r, kivmrk reports each in turn: with --text or --json one\n"
    "record per file (JSON Lines, each object with the file's path), with -o one page per\n"
    "file in the directory OUTDIR and an index.html that links them. -r walks directories;\n"
    "FIFOs, devices and links that lead nowhere are skipped. A file that fails leaves an\n"
    "error record and the run goes on; the exit status is then 1.\n"
    "\n"
    "split cuts the JPEG file JPEG into one segment file per marker segment, the ones\n"
    "after the scans included, named NNNN_FFxx.MRK in DIR; entropy-coded data is skipped.\n"
    "\n"
    "  -o OUTPUT      write the page (or the text) to OUTPUT\n"
    "  -r             report the files in the directories given, and in those below\n"
    "  --inline       with -o, the pictures inside the page, no files beside it\n"
    "  --segment      read FILE as one marker segment, whatever its name and content\n"
    "  --extended     add the extended report to the page or tree of a segment file\n"
    "  --no-extended  leave the extended report out of the page or tree of a whole file\n"
    "  --text         print the information tree as indented \"name: value\" lines\n"
    "  --json         print the information tree as JSON\n"
    "  --help         show this text\n"
    "  --version      show the version\n"
    "\n"
    "Exit status: 0 when the page or tree was written, 1 on an error (with several files:\n"
    "when any failed), 2 without arguments.\n";

int Fail(const std::string& Message) {
  std::cerr << "kivmrk: " << Message << "\n";
  return 1;
}

enum class TOutputKind { Html, Text, Json };

// Whether the extended report is written: as the kind of file decides, or as asked.
enum class TExtended { ByFile, On, Off };

struct TOptions {
  std::string File, Output;
  bool Segment = false, Inline = false;
  TOutputKind Kind = TOutputKind::Html;
  TExtended Extended = TExtended::ByFile;
  // Whole files get the extended report unless it is turned off, segment files only when asked.
  TkivReportOptions Report(bool WholeFile) const {
    return {.Extended = Extended == TExtended::On || (WholeFile && Extended == TExtended::ByFile)};
  }

  // Pictures beside the page only for a page written to a file without --inline.
  bool PicturesBeside() const { return Kind == TOutputKind::Html && !Output.empty() && !Inline; }
};

// Where the output goes: standard output, or a file written only once the output is whole.
// Only a regular file is replaced: a device, a FIFO, a directory or a symbolic link at the
// output's name is refused, so that the page never lands on something it was not meant for.
class TOutput {
public:
  ~TOutput() {
    if (Fd >= 0) ::close(Fd);
  }

  // A temporary file beside the output is claimed before anything else is written there, so
  // that an output that cannot be written leaves no thumbnail files behind; the output is
  // written to it and renamed into place, so that an existing file keeps its bytes unless the
  // new content is whole. False with Error set when the output cannot be written.
  bool Prepare(const std::string& OutputPath, bool WithThumbnails) {
    Path = OutputPath;
    if (Path.empty()) return true;
    std::error_code Ec;
    File = std::filesystem::absolute(Path, Ec);
    if (Ec || LookAtName() == TName::Refused) return false;
    for (int N = 0; Fd < 0 && N < 1000; ++N) {
      const std::string Name = File.string() + "." + std::to_string(N) + ".tmp";
      // Held open from here on: the bytes go to this file, not to whatever may later be put
      // under its name.
      Fd = ::open(Name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
      if (Fd >= 0) {
        Temp = Name;
        kivCleanup::Remember(Temp);
      } else if (errno != EEXIST) {
        return false;
      }
    }
    if (Fd < 0) return false;
    if (WithThumbnails) {
      // The pictures of the page this one replaces go once it is in place.
      if (LookAtName() == TName::Regular) OldPictures = PicturesOfPage(File.string());
      std::string Dir = File.parent_path().string();
      if (Dir.empty() || Dir.back() != '/') Dir += '/';
      kivInfo::SetTempDirectory(Dir);
    }
    return true;
  }

  // Why Prepare or Write failed, for the error line.
  std::string Error() const { return "cannot write " + Path + Reason; }

  // Thumbnails stay beside an output that was written; those of a failed run go.
  void KeepThumbnails(bool Written) const { kivInfo::SetKeepTempFiles(!Path.empty() && Written); }

  // Removes the temporary file of a run that wrote nothing.
  void Abandon() {
    if (Fd >= 0) ::close(Fd);
    Fd = -1;
    if (!Temp.empty()) {
      kivPlatform::DeleteFile(Temp);
      kivCleanup::Forget(Temp);
    }
    Temp.clear();
  }

  // Where bytes written as they come go: the temporary file, or standard output.
  int Descriptor() const { return Path.empty() ? STDOUT_FILENO : Fd; }

  // Puts what was written through Descriptor in place.
  int Commit() {
    if (Path.empty()) return 0;
    const bool Closed = ::close(Fd) == 0;
    Fd = -1;
    if (Closed && MoveIntoPlace()) return 0;
    Abandon();
    return Fail(Error());
  }

  int Write(const std::string& Bytes) {
    if (Path.empty()) {
      std::fwrite(Bytes.data(), 1, Bytes.size(), stdout);
      return std::fflush(stdout) == 0 ? 0 : Fail("cannot write the output");
    }
    const bool Written = WriteAll(Fd, Bytes) && ::close(Fd) == 0;
    Fd = -1;
    if (Written && MoveIntoPlace()) return 0;
    Abandon();
    return Fail(Error());
  }

private:
  enum class TName { Free, Regular, Refused };
  // What the output's name holds: the name itself, not what a link there points to.
  TName LookAtName() {
    struct stat Status;
    if (::lstat(File.c_str(), &Status) != 0) return errno == ENOENT ? TName::Free : TName::Refused;
    if (S_ISREG(Status.st_mode)) return TName::Regular;
    Reason = ": not a regular file";
    return TName::Refused;
  }

  // Puts the output in place together with the pictures it refers to (a signal that comes now
  // leaves both, or, before, neither), then removes the pictures of the page it replaced.
  bool MoveIntoPlace() {
    {
      const kivCleanup::TSignalsHeld Held;
      if (!Rename()) return false;
      kivCleanup::KeepAll();
    }
    RemovePictures(OldPictures);
    return true;
  }

  // Renames the written temporary file to the output's name, looked at once more just before.
  // A free name is taken only while it stays free; a regular file is replaced by the rename,
  // which never writes through what the name holds.
  bool Rename() {
    for (int Tries = 0; Tries < 3; ++Tries) {
      switch (LookAtName()) {
      case TName::Refused:
        return false;
      case TName::Regular:
        return Replace();
      case TName::Free:
        if (::renameat2(AT_FDCWD, Temp.c_str(), AT_FDCWD, File.c_str(), RENAME_NOREPLACE) == 0) {
          Temp.clear();
          return true;
        }
        // A file system that cannot keep the name free gets the plain rename; a name taken
        // meanwhile is looked at again.
        if (errno == EINVAL) return Replace();
        if (errno != EEXIST) return false;
        break;
      }
    }
    return false;
  }

  bool Replace() {
    if (::rename(Temp.c_str(), File.c_str()) != 0) return false;
    Temp.clear();
    return true;
  }

  std::string Path;
  std::vector<std::string> OldPictures;
  std::filesystem::path File;
  std::string Temp;
  std::string Reason;
  int Fd = -1;
};

int LoadFailure(TkivLoadResult Result, const std::string& FileName) {
  if (Result == TkivLoadResult::NotOpened) return Fail("cannot read " + FileName);
  const std::string& Fault = LastFault();
  return Fail(FileName + ": the report could not be built" +
              (Fault.empty() ? "" : " (internal error: " + Fault + ")"));
}

std::string TreeOutput(const TkivTreeItem& Tree, TOutputKind Kind) {
  return Kind == TOutputKind::Json ? InfoTreeJson(Tree) : InfoTreeText(Tree);
}

// A segment file: the viewer's page, or the segment's information tree.
int ReportSegment(const TOptions& Options) {
  TOutput Output;
  if (!Options.Output.empty() && !Output.Prepare(Options.Output, Options.PicturesBeside()))
    return Fail(Output.Error());
  std::string Bytes;
  std::unique_ptr<TkivSegment> Segment;
  TkivLoadResult Result;
  const TkivReportOptions Report = Options.Report(false);
  if (Options.Kind == TOutputKind::Html) {
    Result = LoadFile(
        Options.File, Segment, [&](TMemoryStream& Stream) { Bytes = Stream.ToString(); }, Report);
  } else {
    Result = ReadSegmentFile(Options.File, Segment);
    if (Result == TkivLoadResult::Shown) {
      try {
        if (Report.Extended) FillExtendedInfo(*Segment);
        Bytes = TreeOutput(*Segment->Info, Options.Kind);
      } catch (const Exception&) {
        Result = TkivLoadResult::Failed;
      }
    }
  }
  if (Result != TkivLoadResult::Shown) {
    Segment.reset();
    Output.Abandon();
    return LoadFailure(Result, Options.File);
  }
  // The thumbnails are kept only once the output is written.
  const int Status = Output.Write(Bytes);
  Output.KeepThumbnails(Status == 0);
  Segment.reset();
  kivInfo::SetKeepTempFiles(false);
  return Status;
}

// A whole file, when a segment list class can read it; -1 when none can.
int ReportWholeFile(const TOptions& Options) {
  TOutput Output;
  if (!Options.Output.empty() && !Output.Prepare(Options.Output, Options.PicturesBeside()))
    return Fail(Output.Error());
  std::unique_ptr<TkivSegmentList> List;
  TkivLoadResult Result = LoadSegmentList(Options.File, List);
  if (Result == TkivLoadResult::NotRead) {
    Output.Abandon();
    return -1;
  }
  std::string Bytes;
  bool Streamed = false;
  if (Result == TkivLoadResult::Shown) {
    // The page is 8-bit text in the viewer's code page; file names are UTF-8.
    List->FileName = Utf8ToAnsi(List->FileName);
    const TkivReportOptions Report = Options.Report(true);
    try {
      if (Options.Kind == TOutputKind::Html) {
        // The page goes out as it is built: it may be many times the file's size.
        TkivFdStream Html(Output.Descriptor());
        Streamed = true;
        WriteListPage(*List, Html, Report);
      } else {
        if (Report.Extended) FillExtendedInfo(*List);
        Bytes = TreeOutput(*FileInfoTree(*List), Options.Kind);
      }
    } catch (const EWriteError&) {
      List.reset();
      Output.Abandon();
      return Fail(Options.Output.empty() ? "cannot write the output" : Output.Error());
    } catch (const Exception&) {
      Result = TkivLoadResult::Failed;
    } catch (const std::bad_alloc&) {
      Result = TkivLoadResult::Failed;
    }
  }
  if (Result != TkivLoadResult::Shown) {
    List.reset();
    Output.Abandon();
    return LoadFailure(Result, Options.File);
  }
  const int Status = Streamed ? Output.Commit() : Output.Write(Bytes);
  Output.KeepThumbnails(Status == 0);
  List.reset();
  kivInfo::SetKeepTempFiles(false);
  return Status;
}

bool IsSegmentFileName(const std::string& FileName) {
  std::string Extension = std::filesystem::path(FileName).extension().string();
  std::transform(Extension.begin(), Extension.end(), Extension.begin(),
                 [](unsigned char C) { return static_cast<char>(std::toupper(C)); });
  return Extension == ".MRK";
}

int Split(const std::string& Jpeg, const std::string& Directory) {
  const TkivSplitResult Result = SplitJpegFile(Jpeg, Directory);
  if (!Result.Error.empty())
    return Fail(Result.Error + " (" + std::to_string(Result.Written) + " segment files written)");
  if (!Result.Warning.empty()) std::cerr << "kivmrk: warning: " << Result.Warning << "\n";
  return 0;
}

int Run(int argc, char** argv) {
  if (argc <= 1) {
    std::cerr << Usage;
    return 2;
  }
  CLI::App App("kivmrk");
  App.set_help_flag();
  App.allow_extras();
  bool Help = false, Version = false, Text = false, Json = false, Extended = false,
       NoExtended = false, Recursive = false;
  std::vector<std::string> Files;
  TOptions Options;
  App.add_flag("-h,--help", Help);
  App.add_flag("--version", Version);
  App.add_option("-o", Options.Output);
  App.add_flag("-r", Recursive);
  App.add_flag("--segment", Options.Segment);
  App.add_flag("--inline", Options.Inline);
  App.add_flag("--text", Text);
  App.add_flag("--json", Json);
  App.add_flag("--extended", Extended);
  App.add_flag("--no-extended", NoExtended);
  App.add_option("FILE", Files);
  CLI::App* SplitCommand = App.add_subcommand("split");
  SplitCommand->allow_extras();
  std::string Jpeg, Directory;
  SplitCommand->add_option("JPEG", Jpeg);
  SplitCommand->add_option("DIR", Directory);
  try {
    App.parse(argc, argv);
  } catch (const CLI::ParseError& E) {
    // The only parse errors left are options that lack their value.
    return Fail(E.get_name() == "ArgumentMismatch" ? "-o needs a file name (see --help)"
                                                   : std::string(E.what()) + " (see --help)");
  }
  if (Help) {
    std::cout << Usage;
    return 0;
  }
  if (Version) {
    std::cout << "kivmrk " << KIV_VERSION << "\n";
    return 0;
  }
  if (*SplitCommand) {
    if (Jpeg.empty() || Directory.empty() || !SplitCommand->remaining().empty())
      return Fail("split needs a JPEG file and a directory (see --help)");
    return Split(Jpeg, Directory);
  }
  for (const std::string& Extra : App.remaining())
    return Fail("unknown option " + Extra + " (see --help)");
  if (Text && Json) return Fail("--text and --json exclude each other (see --help)");
  if (Extended && NoExtended)
    return Fail("--extended and --no-extended exclude each other (see --help)");
  Options.Extended = Extended ? TExtended::On : NoExtended ? TExtended::Off : TExtended::ByFile;
  if (Files.empty()) return Fail("no FILE given (see --help)");
  Options.Kind = Json ? TOutputKind::Json : Text ? TOutputKind::Text : TOutputKind::Html;
  if (Recursive || Files.size() > 1) {
    if (Options.Kind == TOutputKind::Html && Options.Output.empty())
      return Fail("several files need --text, --json or -o OUTDIR (see --help)");
    TkivBatchOptions Batch{.Inputs = Files,
                           .Recursive = Recursive,
                           .Kind = Json   ? TkivBatchOutput::Json
                                   : Text ? TkivBatchOutput::Text
                                          : TkivBatchOutput::Html,
                           .Output = Options.Output,
                           .Segment = Options.Segment,
                           .Inline = Options.Inline,
                           .Extended = {}};
    if (Extended || NoExtended) Batch.Extended = Extended;
    return RunBatch(Batch);
  }
  Options.File = Files.front();
  kivInfo::SetPictureReferences(Options.PicturesBeside() ? kivInfo::TkivPictureReferences::Files
                                                         : kivInfo::TkivPictureReferences::Inline);
  if (!Options.Segment && !IsSegmentFileName(Options.File)) {
    const int Status = ReportWholeFile(Options);
    if (Status >= 0) return Status;
    std::cerr << "kivmrk: " << Options.File
              << " is neither a JPEG nor a TIFF file; it is read as a segment file\n";
  }
  return ReportSegment(Options);
}

} // namespace

int main(int argc, char** argv) {
  kivCleanup::Install();
  InitializeModules();
  int Status = 1;
  // The one guard for faults of ours that no report caught.
  try {
    Status = Run(argc, argv);
  } catch (const std::exception& E) {
    Status = Fail(std::string("internal error: ") + E.what());
  }
  FinalizeModules();
  return Status;
}
