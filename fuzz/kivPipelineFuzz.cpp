// Runs the whole report pipeline on arbitrary bytes: class choice, loading, decoding and
// writing the page.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "framework/kivInfo.h"
#include "host/kivModules.h"
#include "host/kivReportPipeline.h"
#include "jpeg/kivJpegInfo.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitializeModules();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TMemoryStream File(std::string(reinterpret_cast<const char*>(Data), Size));
  try {
    const TkivSegment::TClass* Class = JpegSegmentClassList.FindReader(File);
    if (!Class) return 0;
    std::unique_ptr<TkivSegment> Segment = Class->Create();
    Segment->LoadFromStream(File);
    TMemoryStream Html;
    WriteReportPage(*Segment, Html);
  } catch (const std::exception&) {
    // Decoders may refuse data with an exception; the pipeline discards it.
  }
  return 0;
}
