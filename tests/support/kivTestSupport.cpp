#include "support/kivTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <memory>
#include <unistd.h>

#include "framework/kivInfo.h"
#include "host/kivReportPipeline.h"

namespace kivTest {

std::string ReadFileBytes(const std::filesystem::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), {});
}

void WriteFileBytes(const std::filesystem::path& Path, const std::string& Bytes) {
  std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
  Out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
}

TTempDir::TTempDir() {
  static std::atomic<int> Counter{0};
  FPath = std::filesystem::temp_directory_path() /
          ("kivtest-" + std::to_string(::getpid()) + "-" + std::to_string(Counter++));
  std::filesystem::remove_all(FPath);
  std::filesystem::create_directories(FPath);
}

TTempDir::~TTempDir() {
  std::error_code Ec;
  std::filesystem::remove_all(FPath, Ec);
}

std::string RenderPage(const std::string& Bytes, const std::string& ThumbnailDir) {
  TTempDir Dir;
  const auto File = Dir.Path() / "segment.MRK";
  WriteFileBytes(File, Bytes);
  kivInfo::SetTempDirectory(ThumbnailDir.empty() ? Dir.Dir() : ThumbnailDir);
  std::string Page;
  std::unique_ptr<TkivSegment> Segment;
  LoadFile(File.string(), Segment, [&](TMemoryStream& Html) { Page = Html.ToString(); });
  Segment.reset();
  kivInfo::SetTempDirectory({});
  return Page;
}

std::string Golden(const std::string& Name) {
  const auto Path = std::filesystem::path(KIV_GOLDEN_DIR) / Name;
  if (!std::filesystem::exists(Path)) return "missing golden page " + Path.string();
  return ReadFileBytes(Path);
}

std::filesystem::path CorpusDir() {
  const std::filesystem::path Path(KIV_CORPUS_DIR);
  return std::filesystem::is_directory(Path) ? Path : std::filesystem::path();
}

std::string Hex(const std::string& Text) {
  std::string Bytes;
  std::string Digits;
  for (char C : Text) {
    if (C == ' ' || C == '\n') continue;
    Digits += C;
    if (Digits.size() == 2) {
      Bytes += static_cast<char>(std::stoi(Digits, nullptr, 16));
      Digits.clear();
    }
  }
  return Bytes;
}

} // namespace kivTest
