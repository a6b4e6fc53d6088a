// The HP thumbnail decoder and encoder on arbitrary bytes: the bytes read as HPSC and as H3X0
// pieces, the page written, then the picture encoded into pieces again, which must read back
// as the same picture.

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>

#include "base/kivException.h"
#include "framework/kivHTML.h"
#include "framework/kivInfo.h"
#include "host/kivModules.h"
#include "jpeg/kivJpegH3X0Segment.h"
#include "jpeg/kivJpegHPSCSegment.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitializeModules();
  return 0;
}

namespace {

// Pictures within a small budget keep executions fast: the decoder's work is in its pieces.
constexpr int64_t Pixels = 256 * 256;

TkivHPSegment& Load(const TkivSegment::TClass& Class, TkivSegmentList& List, TStream& Stream) {
  List.WorkBudget() = TkivWorkBudget(Pixels);
  TkivSegment& Segment = Class.Create(List, true);
  Segment.LoadFromStream(Stream);
  return static_cast<TkivHPSegment&>(Segment);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  for (const TkivSegment::TClass* Class :
       {&TkivJpegHPSCSegment::ClassObject(), &TkivJpegH3X0Segment::ClassObject()}) {
    try {
      TkivSegmentList List(TkivSegmentList::ClassObject());
      TMemoryStream Stream(std::string(reinterpret_cast<const char*>(Data), Size));
      TkivHPSegment& Hp = Load(*Class, List, Stream);
      TkivHTMLHTML Document;
      Hp.WriteHTML(Document.Body());
      TMemoryStream Html;
      Document.WriteToStream(Html);

      Hp.InitDefault();
      Hp.Data.SetPosition(0);
      TkivSegmentList Again(TkivSegmentList::ClassObject());
      const TkivHPSegment& Read = Load(*Class, Again, Hp.Data);
      if (Read.ThumbnailWidth() * Read.ThumbnailHeight() > 0 &&
          (Read.ThumbnailWidth() != Hp.ThumbnailWidth() ||
           Read.ThumbnailHeight() != Hp.ThumbnailHeight()))
        __builtin_trap();
    } catch (const Exception&) {
    } catch (const std::bad_alloc&) {
    }
  }
  return 0;
}
