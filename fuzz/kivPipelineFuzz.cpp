// The whole report pipeline on arbitrary bytes, through the stream entry the file loader
// uses: class choice, loading, decoding and writing the page with its extended parts (which
// hold the viewer's page), then the extended parts of the information tree. The entry ends a
// run on the library's own failures and on exhausted memory; anything else it lets through is
// a fault.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "framework/kivInfo.h"
#include "host/kivModules.h"
#include "host/kivReportPipeline.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitializeModules();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TMemoryStream File(std::string(reinterpret_cast<const char*>(Data), Size));
  std::unique_ptr<TkivSegment> Segment;
  if (LoadSegment(File, Segment, [](TMemoryStream&) {}, {.Extended = true}) ==
      TkivLoadResult::Shown)
    FillExtendedInfo(*Segment);
  return 0;
}
