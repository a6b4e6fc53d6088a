#include "support/kivTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "framework/kivHTML.h"
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

std::string Word(uint16_t V, bool BigEndian) {
  return BigEndian ? std::string{char(V >> 8), char(V)} : std::string{char(V), char(V >> 8)};
}

std::string Long(uint32_t V, bool BigEndian) {
  return BigEndian ? Word(uint16_t(V >> 16)) + Word(uint16_t(V))
                   : Word(uint16_t(V), false) + Word(uint16_t(V >> 16), false);
}

bool Has(const std::string& Text, const std::string& Part) {
  return Text.find(Part) != std::string::npos;
}

std::string Quoted(const std::filesystem::path& Path) {
  return "'" + Path.native() + "'";
}

TRun RunCli(const std::string& Args, const std::string& Before) {
  TTempDir Dir;
  const std::filesystem::path Out = Dir.Path() / "out", Err = Dir.Path() / "err";
  const std::string Command = Before + Quoted(KIV_CLI) + " " + Args + " >" + Quoted(Out) + " 2>" +
                              Quoted(Err) + " </dev/null";
  const int Raw = std::system(Command.c_str());
  return {WIFEXITED(Raw) ? WEXITSTATUS(Raw) : -1, ReadFileBytes(Out), ReadFileBytes(Err)};
}

std::string Golden(const std::string& Name) {
  const auto Path = std::filesystem::path(KIV_GOLDEN_DIR) / Name;
  if (!std::filesystem::exists(Path)) return "missing golden page " + Path.string();
  return ReadFileBytes(Path);
}

std::string Html(const TkivHTMLItem& Item) {
  TMemoryStream Out;
  Item.WriteToStream(Out);
  return Out.ToString();
}

std::filesystem::path CorpusDir() {
  const std::filesystem::path Path(KIV_CORPUS_DIR);
  return std::filesystem::is_directory(Path) ? Path : std::filesystem::path();
}

std::optional<TPicture> DecodeBmpWithNetpbm(const std::filesystem::path& Bmp) {
  if (std::system("command -v bmptopnm >/dev/null 2>&1") != 0) return std::nullopt;
  const std::string Command = "bmptopnm '" + Bmp.string() + "' 2>/dev/null";
  std::FILE* Pipe = ::popen(Command.c_str(), "r");
  if (!Pipe) return TPicture{};
  std::string Out;
  char Buffer[4096];
  for (size_t N; (N = std::fread(Buffer, 1, sizeof Buffer, Pipe)) > 0;)
    Out.append(Buffer, N);
  ::pclose(Pipe);
  // P6: three bytes a pixel; P5 (a grey picture): one.
  std::istringstream In(Out);
  std::string Magic;
  int MaxValue = 0;
  TPicture P;
  In >> Magic >> P.Width >> P.Height >> MaxValue;
  In.get();
  if ((Magic != "P6" && Magic != "P5") || MaxValue != 255 || P.Width < 0 || P.Height < 0)
    return TPicture{};
  for (int I = 0; I < P.Width * P.Height; ++I) {
    uint8_t C[3] = {};
    In.read(reinterpret_cast<char*>(C), Magic == "P6" ? 3 : 1);
    P.Pixels.push_back(Magic == "P6" ? TkivColor{C[0], C[1], C[2]} : TkivColor{C[0], C[0], C[0]});
  }
  if (!In) return TPicture{};
  return P;
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

std::string WithoutSummary(const std::string& Page) {
  const size_t Start = Page.find("<H3>Summary</H3>");
  if (Start == std::string::npos) return Page;
  const size_t Contents =
      Page.find("\r      <TABLE BORDER=1 CELLPADDING=5>\r\r        <TR>\r<TD>\xB9</TD>", Start);
  return Page.substr(0, Start) +
         Page.substr(Contents == std::string::npos ? Page.size() : Contents);
}

} // namespace kivTest
