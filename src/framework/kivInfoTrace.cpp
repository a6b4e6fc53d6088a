#include "framework/kivInfoTrace.h"

#include <string>

#include "platform/kivMessageBox.h"

int32_t TraceObjectCount = 0;

void kivInfoTrace_Initialize() {
  TraceObjectCount = 0;
}

void kivInfoTrace_Finalize() {
  if (TraceObjectCount == 0) return;
  // "Error !!!" / "Not all Trace objects were freed !!! Left %d", in Windows-1251.
  kivPlatform::ShowErrorMessage(
      "\xCE\xF8\xE8\xE1\xEA\xE0 !!!",
      "\xCD\xE5 \xE2\xF1\xE5 Trace \xEE\xE1\xFA\xE5\xEA\xF2\xFB \xF3\xE4\xE0\xEB\xE5\xED\xFB "
      "\xE8\xE7 \xEF\xE0\xEC\xFF\xF2\xE8 !!! \xCE\xF1\xF2\xE0\xEB\xEE\xF1\xFC " +
          std::to_string(TraceObjectCount));
}
