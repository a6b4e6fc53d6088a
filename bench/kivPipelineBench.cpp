// Times the report pipeline from bytes to the page in memory: class choice, loading,
// decoding and writing, for a 64 KiB segment and for the sample files.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "framework/kivInfo.h"
#include "host/kivModules.h"
#include "host/kivReportPipeline.h"
#include "jpeg/kivJpegInfo.h"

namespace {

void RenderOnce(const std::string& Bytes) {
  TMemoryStream File(Bytes);
  const TkivSegment::TClass* Class = JpegSegmentClassList->FindReader(File);
  std::unique_ptr<TkivSegment> Segment = Class->Create();
  Segment->LoadFromStream(File);
  TMemoryStream Html;
  WriteReportPage(*Segment, Html);
  benchmark::DoNotOptimize(Html.GetSize());
}

void BM_Render(benchmark::State& State, const std::string& Bytes) {
  for (auto _ : State)
    RenderOnce(Bytes);
  State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(Bytes.size()));
}

// An APP15 segment of the largest length: shown as a hex dump of every byte.
std::string LargestGenericSegment() {
  std::string Bytes = "\xFF\xEF\xFF\xFF";
  for (int I = 0; Bytes.size() < 65537; ++I)
    Bytes += static_cast<char>(I * 7);
  return Bytes;
}

} // namespace

int main(int argc, char** argv) {
  InitializeModules();
  const std::string Thumbs = std::filesystem::temp_directory_path() / "kivmrk-bench/";
  std::filesystem::create_directories(Thumbs);
  kivInfo::SetTempDirectory(Thumbs);
  benchmark::RegisterBenchmark("Render/APP15_64KiB", BM_Render, LargestGenericSegment());
  for (const auto& Entry : std::filesystem::directory_iterator(KIV_SAMPLES_DIR)) {
    std::ifstream In(Entry.path(), std::ios::binary);
    benchmark::RegisterBenchmark(("Render/" + Entry.path().filename().string()).c_str(), BM_Render,
                                 std::string(std::istreambuf_iterator<char>(In), {}));
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::filesystem::remove_all(Thumbs);
  FinalizeModules();
  return 0;
}
