// The Photoshop image-resource block list on arbitrary bytes, as it reads the payload of the
// resource segments: the blocks, their decoded fields and thumbnails, then the block table.

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include "base/kivException.h"
#include "framework/kivHTML.h"
#include "framework/kivWorkBudget.h"
#include "host/kivModules.h"
#include "photoshop/kivAdobeResourceInfo.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitializeModules();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TMemoryStream Stream(std::string(reinterpret_cast<const char*>(Data), Size));
  // Pictures are the JPEG target's; a small budget keeps executions fast.
  TkivWorkBudget Budget(256 * 256);
  TkivAdobeBlockList Blocks;
  try {
    Blocks.LoadFromStream(Stream, true, Budget);
    TkivHTMLHTML Document;
    Blocks.WriteHTML(Document.Body(), Budget);
    TMemoryStream Html;
    Document.WriteToStream(Html);
  } catch (const Exception&) {
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
