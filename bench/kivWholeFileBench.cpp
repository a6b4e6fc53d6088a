// Whole files: the report of a real camera JPEG of several megabytes in process, the speed
// of passing over entropy-coded data, the peak memory of the command on a 50 MB JPEG, and the
// page of a file of three images against the page of its first image alone.

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "extended/kivJpegSummary.h"
#include "framework/kivInfo.h"
#include "framework/kivJpegBitmap.h"
#include "framework/kivJpegImage.h"
#include "host/kivModules.h"
#include "host/kivReportPipeline.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegInfo.h"

namespace fs = std::filesystem;
extern char** environ;

namespace {

// Entropy-coded data as an encoder writes it: random bytes, each FF followed by a stuffed
// zero, and a restart marker every 64 KiB; appended in pieces to Out.
template <class TOut> void WriteEntropyData(size_t Size, TOut&& Out) {
  std::mt19937_64 Random(42);
  std::string S;
  for (size_t Written = 0; Written < Size;) {
    S.clear();
    while (S.size() < 65536) {
      const uint64_t R = Random();
      for (int I = 0; I < 8; ++I) {
        const char C = static_cast<char>(R >> (8 * I));
        S += C;
        if (C == '\xFF') S += '\0';
      }
    }
    S += "\xFF\xD0";
    Out(S);
    Written += S.size();
  }
}

// A baseline JPEG's structure around Size bytes of entropy-coded data.
template <class TOut> void WriteBigJpeg(size_t Size, TOut&& Out) {
  std::string Head("\xFF\xD8\xFF\xDB\x00\x43\x00", 7);
  Head += std::string(64, '\x01');
  Head += std::string("\xFF\xC0\x00\x0B\x08\x10\x00\x10\x00\x01\x01\x11\x00", 13);
  Head += std::string("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00", 10);
  Out(Head);
  WriteEntropyData(Size, Out);
  Out(std::string("\xFF\xD9"));
}

std::string BigJpeg(size_t Size) {
  std::string Jpeg;
  WriteBigJpeg(Size, [&](const std::string& S) { Jpeg += S; });
  return Jpeg;
}

void WriteBigJpegFile(const fs::path& Path, size_t Size) {
  std::ofstream Out(Path, std::ios::binary);
  WriteBigJpeg(Size, [&](const std::string& S) { Out.write(S.data(), std::streamsize(S.size())); });
}

// The page as the command writes it: plain, with the extended parts but without the summary's
// picture (the file is not kept), or with all of them; the differences are what the extended
// parts and the picture cost.
enum class TPage { Plain, Extended, WithPicture };
void BM_WholeFile(benchmark::State& State, const fs::path& Path, TPage Page) {
  for (auto _ : State) {
    auto List = std::make_unique<TkivJpegFile>();
    List->FileName = Path.filename().string();
    TFileStream File(Path.string(), TFileMode::OpenRead);
    List->LoadFromStream(File);
    if (Page == TPage::WithPicture)
      List->Source = std::make_unique<TFileStream>(Path.string(), TFileMode::OpenRead);
    TMemoryStream Html;
    WriteListPage(*List, Html, {.Extended = Page != TPage::Plain});
    benchmark::DoNotOptimize(Html.GetSize());
  }
  State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(fs::file_size(Path)));
}

// The summary's picture of a 12-megapixel JPEG: decoded at 1/8 scale.
void BM_SummaryPicture(benchmark::State& State) {
  TkivDIBitmap Source;
  Source.SetSize(4000, 3000);
  for (int32_t Y = 0; Y < 3000; ++Y)
    for (int32_t X = 0; X < 4000; ++X)
      Source.SetPixel(X, Y, {uint8_t(X ^ Y), uint8_t(X * 3), uint8_t(Y * 5)});
  TkivJpegImage Encoder;
  Encoder.Assign(Source);
  TMemoryStream Jpeg;
  Encoder.SaveToStream(Jpeg);
  for (auto _ : State) {
    Jpeg.SetPosition(0);
    TkivJpegBitmap Picture(TkivJpegBitmap::ClassObject());
    Picture.MaxSide = SummaryPictureSide;
    TkivWorkBudget Budget;
    Picture.ReadThumbnail(Jpeg, Budget);
    benchmark::DoNotOptimize(Picture.Width());
  }
}

// The extended page of a file held in memory.
void BM_Page(benchmark::State& State, const std::string& Bytes) {
  for (auto _ : State) {
    TMemoryStream Stream(Bytes);
    TkivJpegFile List;
    List.LoadFromStream(Stream);
    TMemoryStream Html;
    WriteListPage(List, Html, {.Extended = true});
    benchmark::DoNotOptimize(Html.GetSize());
  }
}

// A small JPEG whose consecutive Photoshop pieces hold about Size bytes of grid-and-guide
// blocks of 13,000 guides each, as tests/regression/make-inputs.py --large writes them.
std::string GridGuidesFile(size_t Size) {
  const auto BE32 = [](uint32_t V) {
    return std::string{char(V >> 24), char(V >> 16), char(V >> 8), char(V)};
  };
  const uint32_t Guides = 13000;
  std::string Block = std::string("8BIM\x04\x08\0\0", 8) + BE32(16 + 5 * Guides) + BE32(1) +
                      BE32(576) + BE32(576) + BE32(Guides);
  for (uint32_t I = 0; I < Guides; ++I)
    Block += std::string("\0\0\x01\0\x01", 5);
  std::string Payload;
  for (size_t I = 0; I < Size / Block.size(); ++I)
    Payload += Block;
  std::string Bytes("\xFF\xD8", 2);
  for (size_t At = 0; At < Payload.size(); At += 65519) {
    const size_t N = std::min<size_t>(65519, Payload.size() - At), Length = N + 16;
    Bytes += std::string("\xFF\xED") + char(Length >> 8) + char(Length) +
             std::string("Photoshop 3.0\0", 14) + Payload.substr(At, N);
  }
  return Bytes + BigJpeg(0).substr(2);
}

void BM_EntropyScan(benchmark::State& State) {
  static const std::string Bytes = BigJpeg(64 << 20);
  TMemoryStream Stream(Bytes);
  for (auto _ : State) {
    Stream.SetPosition(0);
    TkivJpegFile List;
    List.LoadFromStream(Stream);
    benchmark::DoNotOptimize(List.Count());
  }
  State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(Bytes.size()));
}

void BM_EntropyScanFile(benchmark::State& State, const fs::path& Path) {
  for (auto _ : State) {
    TFileStream File(Path.string(), TFileMode::OpenRead);
    TkivJpegFile List;
    List.LoadFromStream(File);
    benchmark::DoNotOptimize(List.Count());
  }
  State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(fs::file_size(Path)));
}

// The command's peak resident memory on a 50 MB JPEG, against the file's size plus 16 MiB.
// A child's peak counts its parent's memory at the moment it was started, so this runs
// first, while this process holds nothing large.
void BM_CommandPeakMemory(benchmark::State& State, const fs::path& Path) {
  const fs::path Page = Path.parent_path() / "page.html";
  const std::string Cli = KIV_CLI, File = Path.string(), Output = Page.string();
  for (auto _ : State) {
    char* Argv[] = {const_cast<char*>(Cli.c_str()), const_cast<char*>(File.c_str()),
                    const_cast<char*>("-o"), const_cast<char*>(Output.c_str()), nullptr};
    pid_t Pid;
    if (posix_spawn(&Pid, Cli.c_str(), nullptr, nullptr, Argv, environ) != 0) {
      State.SkipWithError("cannot run kivmrk");
      return;
    }
    int Status = 0;
    struct rusage Usage {};
    wait4(Pid, &Status, 0, &Usage);
    const double PeakMiB = double(Usage.ru_maxrss) / 1024;
    const double LimitMiB = double(fs::file_size(Path)) / (1 << 20) + 16;
    State.counters["peak_MiB"] = PeakMiB;
    State.counters["limit_MiB"] = LimitMiB;
    if (!WIFEXITED(Status) || WEXITSTATUS(Status) != 0) State.SkipWithError("kivmrk failed");
    if (PeakMiB > LimitMiB) State.SkipWithError("peak memory above the file's size + 16 MiB");
  }
}

} // namespace

int main(int argc, char** argv) {
  InitializeModules();
  const fs::path Work = fs::temp_directory_path() / "kivmrk-file-bench";
  fs::create_directories(Work);
  kivInfo::SetTempDirectory(Work.string() + "/");
  const fs::path Big = Work / "big.jpg";
  WriteBigJpegFile(Big, 50 << 20);
  benchmark::RegisterBenchmark("Command/peak_memory_50MB", BM_CommandPeakMemory, Big)
      ->Iterations(1)
      ->Unit(benchmark::kMillisecond);
  // Real camera files of several megabytes, EXIF with a thumbnail, when the corpus is there.
  for (const char* Name : {"texlive-publishers-doc__mla-example-image.jpg",
                           "texlive-pictures-doc__flowers__pdf0.jpg"}) {
    const fs::path Path = fs::path(KIV_CORPUS_DIR) / "jpeg" / Name;
    if (!fs::exists(Path)) continue;
    for (const auto& [Page, Name] : {std::pair{TPage::Plain, "/plain"},
                                     {TPage::Extended, "/extended_without_picture"},
                                     {TPage::WithPicture, "/extended"}})
      benchmark::RegisterBenchmark(("WholeFile/" + Path.stem().string() + Name).c_str(),
                                   BM_WholeFile, Path, Page)
          ->Unit(benchmark::kMillisecond);
  }
  benchmark::RegisterBenchmark("SummaryPicture/12MP_at_1_8", BM_SummaryPicture)
      ->Unit(benchmark::kMillisecond);
  // A gain-map file's primary and gain map, the gain map once more after them: three images,
  // whose page should cost at most twice the first image's plus the two pictures.
  const fs::path GainMap =
      fs::path(KIV_CORPUS_DIR) / "modern" / "libavif__seine_sdr_gainmap_srgb.jpg";
  if (fs::exists(GainMap)) {
    std::ifstream In(GainMap, std::ios::binary);
    const std::string Bytes((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
    TMemoryStream Stream(Bytes);
    TkivJpegFile List;
    List.LoadFromStream(Stream);
    if (List.Images.size() == 2) {
      const std::string First = Bytes.substr(0, size_t(List.Images[0].Size));
      const std::string Second = Bytes.substr(size_t(List.Images[1].Offset));
      benchmark::RegisterBenchmark("MultiImage/first_image", BM_Page, First)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark("MultiImage/gain_map_alone", BM_Page, Second)
          ->Unit(benchmark::kMillisecond);
      benchmark::RegisterBenchmark("MultiImage/three_images", BM_Page, Bytes + Second)
          ->Unit(benchmark::kMillisecond);
    }
  }
  // Hostile files of pictures by the thousand: four EXIF segments of 3,600 thumbnails each, and
  // 9,990 JFXX thumbnails; a report shows a fixed number of them whatever the file holds.
  std::ifstream ExifIn(fs::path(KIV_REGRESSION_DIR) / "exif-3600-thumbnails-1x1.MRK",
                       std::ios::binary);
  const std::string Exif((std::istreambuf_iterator<char>(ExifIn)),
                         std::istreambuf_iterator<char>());
  std::string Jfxx("\xFF\xD8", 2);
  for (int I = 0; I < 9990; ++I)
    Jfxx += std::string("\xFF\xE0\x00\x0D"
                        "JFXX\x00\x13\x01\x01\x80\x40\x20",
                        15);
  benchmark::RegisterBenchmark("Render/hostile/exif-4-segments-of-3600-thumbnails.jpg", BM_Page,
                               std::string("\xFF\xD8", 2) + Exif + Exif + Exif + Exif + "\xFF\xD9")
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("Render/hostile/jfxx-9990-rgb-thumbnails.jpg", BM_Page,
                               Jfxx + "\xFF\xD9")
      ->Unit(benchmark::kMillisecond);
  // Sixteen megabytes of Photoshop grid-and-guide blocks: a table shows a fixed number of guides.
  benchmark::RegisterBenchmark("Render/hostile/photoshop-16mb-of-grid-guides.jpg", BM_Page,
                               GridGuidesFile(16 << 20))
      ->Unit(benchmark::kMillisecond);
  const fs::path ScanFile = Work / "scan.jpg";
  WriteBigJpegFile(ScanFile, 64 << 20);
  benchmark::RegisterBenchmark("EntropyScan/file_64MiB", BM_EntropyScanFile, ScanFile)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("EntropyScan/memory_64MiB", BM_EntropyScan)
      ->Unit(benchmark::kMillisecond);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(Work);
  FinalizeModules();
  return 0;
}
