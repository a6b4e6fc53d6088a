// Times the report pipeline from bytes to the page in memory: class choice, loading,
// decoding and writing, for the largest segments, the sample files and the hostile inputs of
// the tests (with the pixels each report decoded). Each benchmark also counts the heap
// allocations of one render ("allocations"): a render takes a few large pieces, not one per
// line or per byte.
//
//   kivmrk_bench --write-segments DIR   writes the synthetic segments as DIR/<name>.MRK, for
//                                       measuring the command on them (bench/peak-memory.sh)

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "framework/kivInfo.h"
#include "host/kivModules.h"
#include "host/kivReportPipeline.h"

namespace {
int64_t Allocations = 0;
} // namespace

// Every heap allocation of the program is counted (the benchmarks run on one thread).
void* operator new(std::size_t Size) {
  ++Allocations;
  if (void* P = std::malloc(Size == 0 ? 1 : Size)) return P;
  throw std::bad_alloc();
}

void operator delete(void* P) noexcept {
  std::free(P);
}

void operator delete(void* P, std::size_t) noexcept {
  std::free(P);
}

namespace {

// One run of the pipeline's stream entry; returns the pixels the report decoded.
int64_t RenderOnce(const std::string& Bytes) {
  TMemoryStream File(Bytes);
  std::unique_ptr<TkivSegment> Segment;
  int64_t PageSize = 0;
  LoadSegment(File, Segment, [&](TMemoryStream& Html) { PageSize = Html.GetSize(); });
  benchmark::DoNotOptimize(PageSize);
  return Segment ? Segment->WorkBudget().PixelsTaken() : 0;
}

void BM_Render(benchmark::State& State, const std::string& Bytes) {
  const int64_t Before = Allocations;
  int64_t Pixels = 0;
  for (auto _ : State)
    Pixels = RenderOnce(Bytes);
  State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(Bytes.size()));
  State.counters["allocations"] =
      benchmark::Counter(double(Allocations - Before), benchmark::Counter::kAvgIterations);
  State.counters["pixels"] = double(Pixels);
}

// An APP15 segment of the largest length: shown as a hex dump of every byte.
std::string LargestGenericSegment() {
  std::string Bytes = "\xFF\xEF\xFF\xFF";
  for (int I = 0; Bytes.size() < 65537; ++I)
    Bytes += static_cast<char>(I * 7);
  return Bytes;
}

// An EXIF segment in Motorola order: IFD0 with 99 resolutions and an EXIF offset to a
// sub-IFD of 100 exposure times, every value out of line.
std::string ExifSegment() {
  const auto W16 = [](std::string& S, uint32_t V) {
    S += static_cast<char>(V >> 8);
    S += static_cast<char>(V);
  };
  const auto W32 = [&](std::string& S, uint32_t V) {
    W16(S, V >> 16);
    W16(S, V & 0xFFFF);
  };
  const auto WriteIFD = [&](std::string& T, uint16_t Tag, uint32_t N, uint32_t SubIFD) {
    const uint32_t Start = static_cast<uint32_t>(T.size());
    const uint32_t Data = Start + 2 + 12 * 100 + 4;
    W16(T, 100);
    for (uint32_t I = 0; I < N; ++I) {
      W16(T, Tag);
      W16(T, 5);
      W32(T, 1);
      W32(T, Data + 8 * I);
    }
    if (N < 100) {
      W16(T, 0x8769);
      W16(T, 4);
      W32(T, 1);
      W32(T, SubIFD);
    }
    W32(T, 0);
    for (uint32_t I = 0; I < N; ++I) {
      W32(T, I + 1);
      W32(T, 60);
    }
  };
  std::string Tiff = "MM";
  W16(Tiff, 42);
  W32(Tiff, 8);
  const uint32_t SubIFD = 8 + 2 + 1200 + 4 + 99 * 8;
  WriteIFD(Tiff, 0x011A, 99, SubIFD);
  WriteIFD(Tiff, 0x829A, 100, 0);
  std::string Bytes = "\xFF\xE1";
  W16(Bytes, static_cast<uint32_t>(Tiff.size() + 8));
  Bytes += std::string("Exif\0\0", 6) + Tiff;
  return Bytes;
}

// The largest EXIF segment: a chain of full 100-entry directories (Intel order) of inline
// Orientation values, as many as 64 KiB hold.
std::string LargestExifSegment() {
  std::string Tiff("II\x2A\0\x08\0\0\0", 8);
  const auto W16 = [&](uint32_t V) {
    Tiff += static_cast<char>(V);
    Tiff += static_cast<char>(V >> 8);
  };
  const size_t DirectorySize = 2 + 100 * 12 + 4;
  const size_t Directories = (65535 - 2 - 6 - 8) / DirectorySize;
  for (size_t D = 0; D < Directories; ++D) {
    W16(100);
    for (uint32_t I = 0; I < 100; ++I) {
      W16(0x0112), W16(3), W16(1), W16(0), W16(1 + I % 8), W16(0);
    }
    const uint32_t Next = D + 1 < Directories ? uint32_t(8 + (D + 1) * DirectorySize) : 0;
    W16(Next & 0xFFFF), W16(Next >> 16);
  }
  const size_t Length = Tiff.size() + 8;
  return std::string("\xFF\xE1") + static_cast<char>(Length >> 8) + static_cast<char>(Length) +
         std::string("Exif\0\0", 6) + Tiff;
}

// An HPSC thumbnail of 512 x 255 pixels in four pieces, the first three of the largest length.
std::string HpscSegments() {
  std::string Bytes;
  const auto Word = [&Bytes](uint32_t V) {
    for (int Shift = 24; Shift >= 0; Shift -= 8)
      Bytes += static_cast<char>(V >> Shift);
  };
  int64_t Left = 512 * 255 * 2;
  for (uint32_t Piece = 1; Left > 0; ++Piece) {
    const int64_t N = std::min<int64_t>(Left, 65496);
    Bytes += "\xFF\xE4";
    Bytes += static_cast<char>((N + 38) >> 8);
    Bytes += static_cast<char>(N + 38);
    Bytes += "HPSC";
    for (const uint32_t V : {2u, 512u, 255u, 1u, Piece, 2u, 1u, 0u})
      Word(V);
    for (int64_t I = 0; I < N; ++I)
      Bytes += static_cast<char>(I * 13);
    Left -= N;
  }
  return Bytes;
}

// The largest Photoshop resource segment of the smallest blocks: one table row each.
std::string LargestResourceSegment() {
  const std::string Block("8BIM\x04\x04\0\0\0\0\0\x02\x1C\x02", 14);
  std::string Payload;
  while (Payload.size() + Block.size() <= 65535 - 16)
    Payload += Block;
  const size_t Length = Payload.size() + 16;
  return std::string("\xFF\xED") + static_cast<char>(Length >> 8) + static_cast<char>(Length) +
         std::string("Photoshop 3.0\0", 14) + Payload;
}

// Four megabytes of empty Photoshop blocks in consecutive pieces of the largest size, as
// tests/regression/make-inputs.py --large writes them: a table shows a fixed number of them.
std::string EmptyResourceBlocks() {
  const std::string Block("8BIM\x04\0\0\0\0\0\0\0", 12);
  std::string Payload;
  for (int I = 0; I < (4 << 20) / 12; ++I)
    Payload += Block;
  std::string Bytes;
  for (size_t At = 0; At < Payload.size(); At += 65519) {
    const size_t N = std::min<size_t>(65519, Payload.size() - At), Length = N + 16;
    Bytes += std::string("\xFF\xED") + static_cast<char>(Length >> 8) + static_cast<char>(Length) +
             std::string("Photoshop 3.0\0", 14) + Payload.substr(At, N);
  }
  return Bytes;
}

std::string FileBytes(const std::filesystem::path& Path) {
  std::ifstream In(Path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(In), {});
}

} // namespace

int main(int argc, char** argv) {
  const std::pair<const char*, std::string> Synthetic[] = {
      {"APP15_64KiB", LargestGenericSegment()},
      {"EXIF_200_entries", ExifSegment()},
      {"EXIF_64KiB", LargestExifSegment()},
      {"HPSC_4_pieces", HpscSegments()},
      {"APP13_64KiB_blocks", LargestResourceSegment()},
  };
  if (argc == 3 && std::strcmp(argv[1], "--write-segments") == 0) {
    for (const auto& [Name, Bytes] : Synthetic)
      std::ofstream(std::filesystem::path(argv[2]) / (std::string(Name) + ".MRK"), std::ios::binary)
          << Bytes;
    return 0;
  }
  InitializeModules();
  const std::string Thumbs = std::filesystem::temp_directory_path() / "kivmrk-bench/";
  std::filesystem::create_directories(Thumbs);
  kivInfo::SetTempDirectory(Thumbs);
  for (const auto& [Name, Bytes] : Synthetic)
    benchmark::RegisterBenchmark(("Render/" + std::string(Name)).c_str(), BM_Render, Bytes);
  for (const auto& Entry : std::filesystem::directory_iterator(KIV_SAMPLES_DIR))
    benchmark::RegisterBenchmark(("Render/" + Entry.path().filename().string()).c_str(), BM_Render,
                                 FileBytes(Entry.path()));
  // The hostile inputs of the tests: each must cost about what a normal segment costs.
  for (const auto& Entry : std::filesystem::directory_iterator(KIV_REGRESSION_DIR))
    if (Entry.path().extension() == ".MRK")
      benchmark::RegisterBenchmark(("Render/hostile/" + Entry.path().filename().string()).c_str(),
                                   BM_Render, FileBytes(Entry.path()));
  benchmark::RegisterBenchmark("Render/hostile/photoshop-4mb-of-empty-blocks.MRK", BM_Render,
                               EmptyResourceBlocks())
      ->Unit(benchmark::kMillisecond);
  // A real camera's EXIF segment with its thumbnail, when the shared corpus is there.
  const std::filesystem::path Camera = KIV_CORPUS_DIR "/segments/kphotoalbum__search/0002_FFE1.MRK";
  if (std::filesystem::exists(Camera))
    benchmark::RegisterBenchmark("Render/corpus_camera_EXIF", BM_Render, FileBytes(Camera));
  // An image editor's Photoshop resources with their thumbnail.
  const std::filesystem::path Editor =
      KIV_CORPUS_DIR "/segments/opencv-doc__ellipses/0002_FFED.MRK";
  if (std::filesystem::exists(Editor))
    benchmark::RegisterBenchmark("Render/corpus_editor_APP13", BM_Render, FileBytes(Editor));
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(Thumbs);
  FinalizeModules();
  return 0;
}
