#include "host/kivModules.h"

#include "framework/kivInfo.h"
#include "framework/kivInfoTrace.h"
#include "framework/kivObjectList.h"
#include "jpeg/kivJpegAdobeSegment.h"
#include "jpeg/kivJpegCommentSegment.h"
#include "jpeg/kivJpegDuckySegment.h"
#include "jpeg/kivJpegFPXRSegment.h"
#include "jpeg/kivJpegH3X0Segment.h"
#include "jpeg/kivJpegHPSCSegment.h"
#include "jpeg/kivJpegICCProfileSegment.h"
#include "jpeg/kivJpegInfo.h"
#include "jpeg/kivJpegJfifSegment.h"
#include "jpeg/kivJpegJfxxSegment.h"
#include "jpeg/kivJpegMSOFFICESegment.h"
#include "jpeg/kivJpegSiemensSegment.h"
#include "jpeg/kivJpegUnicodeCommentSegment.h"
#include "jpeg/kivJpegXMPSegment.h"
#include "photoshop/kivAdobeResourceInfo.h"
#include "photoshop/kivJpegAdobeResourceSegment.h"
#include "tiff/kivJpegExifSegment2.h"
#include "tiff/kivTiffInfo.h"
#include "tiff/kivTiffInfo2.h"
#include "tiff/kivTiffStripOffsetInfo.h"

namespace {

struct TModule {
  void (*Initialize)();
  void (*Finalize)();
};

// Order matters: the JPEG segment class list puts each class at its front, so decoded
// segments register after the generic classes, in the reverse of the order they are asked.
const TModule Modules[] = {
    {kivObjectList_Initialize, kivObjectList_Finalize},
    {kivInfoTrace_Initialize, kivInfoTrace_Finalize},
    {kivInfo_Initialize, kivInfo_Finalize},
    {kivJpegInfo_Initialize, kivJpegInfo_Finalize},
    // Decoded segments: one line each, in registration order.
    {kivJpegFPXRSegment_Initialize, nullptr},
    {kivJpegDuckySegment_Initialize, nullptr},
    {kivJpegAdobeSegment_Initialize, nullptr},
    {kivJpegICCProfileSegment_Initialize, nullptr},
    {kivJpegXMPSegment_Initialize, nullptr},
    {kivJpegAdobeResourceSegment_Initialize, nullptr},
    {kivJpegMSOFFICESegment_Initialize, nullptr},
    {kivJpegUnicodeCommentSegment_Initialize, nullptr},
    {kivJpegSiemensSegment_Initialize, nullptr},
    {kivJpegH3X0Segment_Initialize, nullptr},
    {kivJpegHPSCSegment_Initialize, nullptr},
    {kivJpegExifSegment2_Initialize, nullptr},
    {kivJpegCommentSegment_Initialize, nullptr},
    {kivJpegJfxxSegment_Initialize, nullptr},
    {kivJpegJfifSegment_Initialize, nullptr},
    {kivAdobeResourceInfo_Initialize, kivAdobeResourceInfo_Finalize},
    {kivTiffInfo2_Initialize, kivTiffInfo2_Finalize},
    // The standalone TIFF tree; the strip-offset entry registers after the unit's own.
    {kivTiffInfo_Initialize, kivTiffInfo_Finalize},
    {kivTiffStripOffsetInfo_Initialize, nullptr},
};

int StartCount = 0;

} // namespace

void InitializeModules(TkivStartUp What) {
  if (StartCount++ == 0)
    for (const TModule& Module : Modules)
      if (Module.Initialize) Module.Initialize();
  if (What == TkivStartUp::Full) InitializeSystemResources();
}

void InitializeSystemResources() {
  // A local static is initialised once, and other threads wait until it is.
  static const bool Loaded = (kivInfo_LoadIcons(), true);
  (void)Loaded;
}

void FinalizeModules() {
  if (StartCount == 0 || --StartCount > 0) return;
  for (auto It = std::rbegin(Modules); It != std::rend(Modules); ++It)
    if (It->Finalize) It->Finalize();
}
