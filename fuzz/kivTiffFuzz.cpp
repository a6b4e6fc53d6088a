// The TIFF structure reader on arbitrary bytes, as it reads the EXIF data of a segment: the
// header, IFD chains, entries, special entries and IFD thumbnails, then the report.

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include "base/kivException.h"
#include "framework/kivHTML.h"
#include "framework/kivWorkBudget.h"
#include "host/kivModules.h"
#include "tiff/kivTiffInfo2.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitializeModules();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TMemoryStream Stream(std::string(reinterpret_cast<const char*>(Data), Size));
  // Pictures are the JPEG target's; here a small budget keeps executions fast, and larger
  // pictures take the path of refused ones.
  TkivWorkBudget Budget(256 * 256);
  kivTiffInfo2::TkivTiff Tiff;
  Tiff.SetWorkBudget(Budget);
  try {
    Tiff.LoadFromStream(Stream);
    TkivHTMLHTML Document;
    Tiff.WriteHTML(Document.Body());
    TMemoryStream Html;
    Document.WriteToStream(Html);
  } catch (const Exception&) {
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
