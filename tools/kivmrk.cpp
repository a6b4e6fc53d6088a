// kivmrk: writes the report page of a JPEG marker segment file, or cuts a JPEG file into
// segment files.

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "framework/kivInfo.h"
#include "host/kivModules.h"
#include "host/kivReportPipeline.h"
#include "kivSplit.h"
#include "platform/kivTempFiles.h"

namespace {

const char* const Usage =
    "Usage: kivmrk FILE [-o PAGE.html]\n"
    "       kivmrk split JPEG DIR\n"
    "\n"
    "Writes the HTML report of FILE, a file holding one JPEG marker segment, to standard\n"
    "output, or to PAGE.html with -o. With -o the thumbnail pictures are written as\n"
    "kivBMP<n>.bmp beside the page and kept; otherwise they are temporary files that are\n"
    "removed when the command ends.\n"
    "\n"
    "split cuts the JPEG file JPEG into one segment file per marker segment, from the\n"
    "start-of-image marker up to the start-of-scan header, named NNNN_FFxx.MRK in DIR.\n"
    "\n"
    "  -o PAGE.html   write the page to PAGE.html\n"
    "  --help         show this text\n"
    "  --version      show the version\n";

int Fail(const std::string& Message) {
  std::cerr << "kivmrk: " << Message << "\n";
  return 1;
}

// The page's name with any '%' doubled, so that it can serve as a file-name pattern.
std::string AsPattern(const std::string& Name) {
  std::string Pattern;
  for (char C : Name) {
    Pattern += C;
    if (C == '%') Pattern += '%';
  }
  return Pattern;
}

// Writes the page to a new file beside Page and renames it over Page, so that a failed write
// leaves an existing page as it was.
bool WritePage(const std::filesystem::path& Page, const std::string& Temp,
               const std::string& Html) {
  {
    std::ofstream Out(Temp, std::ios::binary | std::ios::trunc);
    Out.write(Html.data(), static_cast<std::streamsize>(Html.size()));
    Out.close();
    if (!Out) return false;
  }
  std::error_code Ec;
  std::filesystem::rename(Temp, Page, Ec);
  return !Ec;
}

int Report(const std::string& FileName, const std::string& PagePath) {
  // With -o the thumbnails are written beside the page and kept only once the page is there:
  // the page goes to a temporary file, claimed before anything else is written, and is then
  // renamed into place.
  std::filesystem::path Page;
  std::string Temp;
  if (!PagePath.empty()) {
    std::error_code Ec;
    Page = std::filesystem::absolute(PagePath, Ec);
    if (Ec || std::filesystem::is_directory(Page, Ec)) return Fail("cannot write " + PagePath);
    std::string Dir = Page.parent_path().string();
    if (Dir.empty() || Dir.back() != '/') Dir += '/';
    kivInfo::SetTempDirectory(Dir);
    try {
      Temp = kivInfo::MakeTempFileName((AsPattern(Page.filename().string()) + ".%d.tmp").c_str());
    } catch (const std::exception&) {
      return Fail("cannot write " + PagePath);
    }
  }
  std::string Html;
  std::unique_ptr<TkivSegment> Segment;
  const TkivLoadResult Result =
      LoadFile(FileName, Segment, [&](TMemoryStream& Stream) { Html = Stream.ToString(); });
  int Status = 0;
  switch (Result) {
  case TkivLoadResult::NotOpened:
    Status = Fail("cannot read " + FileName);
    break;
  case TkivLoadResult::NotRead:
  case TkivLoadResult::Failed:
    Status = Fail(FileName + ": the report could not be built");
    break;
  case TkivLoadResult::Shown:
    if (Page.empty()) {
      std::fwrite(Html.data(), 1, Html.size(), stdout);
      if (std::fflush(stdout) != 0) Status = Fail("cannot write the page");
    } else if (!WritePage(Page, Temp, Html)) {
      Status = Fail("cannot write " + PagePath);
    }
    break;
  }
  if (!Temp.empty() && Status != 0) kivPlatform::DeleteFile(Temp);
  // Thumbnails stay beside a page that was written; those of a failed run go with it.
  kivInfo::SetKeepTempFiles(!Page.empty() && Status == 0);
  Segment.reset();
  kivInfo::SetKeepTempFiles(false);
  return Status;
}

int Run(const std::vector<std::string>& Args) {
  if (Args.empty()) {
    std::cerr << Usage;
    return 2;
  }
  if (Args[0] == "--help" || Args[0] == "-h") {
    std::cout << Usage;
    return 0;
  }
  if (Args[0] == "--version") {
    std::cout << "kivmrk " << KIV_VERSION << "\n";
    return 0;
  }
  if (Args[0] == "split") {
    if (Args.size() != 3) return Fail("split needs a JPEG file and a directory (see --help)");
    const TkivSplitResult Result = SplitJpegFile(Args[1], Args[2]);
    if (!Result.Error.empty())
      return Fail(Result.Error + " (" + std::to_string(Result.Written) + " segment files written)");
    return 0;
  }
  std::string File, Page;
  for (size_t I = 0; I < Args.size(); ++I) {
    if (Args[I] == "-o") {
      if (++I >= Args.size()) return Fail("-o needs a file name (see --help)");
      Page = Args[I];
    } else if (Args[I].size() > 1 && Args[I][0] == '-') {
      return Fail("unknown option " + Args[I] + " (see --help)");
    } else if (File.empty()) {
      File = Args[I];
    } else {
      return Fail("only one FILE may be given (see --help)");
    }
  }
  if (File.empty()) return Fail("no FILE given (see --help)");
  return Report(File, Page);
}

} // namespace

int main(int argc, char** argv) {
  InitializeModules();
  const int Status = Run(std::vector<std::string>(argv + 1, argv + argc));
  FinalizeModules();
  return Status;
}
