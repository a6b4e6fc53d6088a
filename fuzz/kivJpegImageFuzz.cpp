// The JPEG image object on arbitrary bytes, as every JPEG thumbnail is decoded: the budget
// is asked before libjpeg allocates, and libjpeg's failures come back as exceptions.

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include "base/kivException.h"
#include "framework/kivDIBitmap.h"
#include "framework/kivJpegImage.h"
#include "framework/kivWorkBudget.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  TMemoryStream Stream(std::string(reinterpret_cast<const char*>(Data), Size));
  TkivWorkBudget Budget;
  TkivJpegImage Image;
  try {
    Image.LoadFromStream(Stream, Budget);
  } catch (const Exception&) {
  } catch (const std::bad_alloc&) {
  }
  if (Image.Width() > 0 && Image.Width() <= 256 && Image.Height() <= 256) {
    TkivDIBitmap Canvas;
    Canvas.SetSize(Image.Width(), Image.Height());
    Image.Draw(Canvas, 0, 0);
  }
  return 0;
}
