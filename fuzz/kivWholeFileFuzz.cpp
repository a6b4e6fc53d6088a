// Runs the whole-file reading on arbitrary bytes: the JPEG walk and the segment list class
// that the registry picks, their page with the extended parts, and the information tree with
// them as text and JSON.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "framework/kivInfo.h"
#include "host/kivModules.h"
#include "host/kivReportPipeline.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegInfo.h"
#include "kivInfoText.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitializeModules();
  return 0;
}

namespace {
void ReadWholeFile(TkivSegmentList& List, const std::string& Bytes) {
  // Kept, as the command keeps its file, so that the summary decodes the picture.
  List.Source = std::make_unique<TMemoryStream>(Bytes);
  List.LoadFromStream(*List.Source);
  TMemoryStream Html;
  WriteListPage(List, Html, {.Extended = true});
  FillExtendedInfo(List);
  const auto Tree = FileInfoTree(List);
  InfoTreeText(*Tree);
  InfoTreeJson(*Tree);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string Bytes(reinterpret_cast<const char*>(Data), Size);
  try {
    TkivJpegFile Jpeg;
    ReadWholeFile(Jpeg, Bytes);
    TMemoryStream File(Bytes);
    if (const TkivSegmentList::TClass* Class = FindSegmentListClass(File))
      if (Class != &TkivJpegFile::ClassObject()) ReadWholeFile(*Class->Create(), Bytes);
  } catch (const std::exception&) {
    // A whole file never fails as a whole; its pieces report their own failures.
    __builtin_trap();
  }
  return 0;
}
