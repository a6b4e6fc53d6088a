#pragma once
// Shared helpers of the test suites: bytes in and out of files, running the report pipeline
// on bytes, and comparing with golden pages.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "base/kivStream.h"
#include "framework/kivDIBitmap.h"

class TkivHTMLItem;

namespace kivTest {

std::string ReadFileBytes(const std::filesystem::path& Path);
void WriteFileBytes(const std::filesystem::path& Path, const std::string& Bytes);

// A fresh empty directory under the system's temporary directory, removed with the object.
class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  const std::filesystem::path& Path() const { return FPath; }
  // The path with a trailing separator, as the thumbnail file functions want it.
  std::string Dir() const { return FPath.string() + "/"; }

private:
  std::filesystem::path FPath;
};

// A run of the command: its exit status (-1 when it did not exit) and what it wrote.
struct TRun {
  int Status = -1;
  std::string Out, Err;
};
// Path quoted for the shell.
std::string Quoted(const std::filesystem::path& Path);
// Runs the command with the given (already quoted) arguments, after the shell commands Before,
// with nothing on its standard input.
TRun RunCli(const std::string& Args, const std::string& Before = {});

// The page the pipeline writes for a segment file holding Bytes; empty when the run failed.
// Thumbnail files go to ThumbnailDir when it is given.
std::string RenderPage(const std::string& Bytes, const std::string& ThumbnailDir = {});

// The golden page tests/golden/Name, or a failure message when it does not exist.
std::string Golden(const std::string& Name);

// The shared corpus of real JPEG files, or an empty path when it is not there.
std::filesystem::path CorpusDir();

// A picture as a reader that is not ours decoded it, row by row from the top.
struct TPicture {
  int Width = 0, Height = 0;
  std::vector<TkivColor> Pixels;
};
// The BMP file decoded by netpbm's bmptopnm: none when the tool is not installed, an empty
// picture when it cannot decode the file.
std::optional<TPicture> DecodeBmpWithNetpbm(const std::filesystem::path& Bmp);

// The page text an element writes, its children included.
std::string Html(const TkivHTMLItem& Item);

// A whole file's page without the summary that opens it (from its heading to the contents
// table), for comparing the rest with the pages of other runs.
std::string WithoutSummary(const std::string& Page);

// A 16- or 32-bit number as bytes in the byte order.
std::string Word(uint16_t V, bool BigEndian = true);
std::string Long(uint32_t V, bool BigEndian = true);

// Text holds Part.
bool Has(const std::string& Text, const std::string& Part);

// Bytes from a hex text such as "FF D8 00"; spaces are ignored.
std::string Hex(const std::string& Text);

} // namespace kivTest
