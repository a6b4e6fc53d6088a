#pragma once
// Traced objects: every instance is counted in TraceObjectCount while it lives, so that the
// module can report at unload what was never freed.

#include <cstdint>

#include "framework/kivOwningList.h"

extern int32_t TraceObjectCount;

class TkivTraceObject : public TObject {
public:
  TkivTraceObject() { ++TraceObjectCount; }
  ~TkivTraceObject() override { --TraceObjectCount; }
};

class TkivTraceObjectList : public TOwningList {
public:
  explicit TkivTraceObjectList(bool OwnsObjects = true) : TOwningList(OwnsObjects) {
    ++TraceObjectCount;
  }
  ~TkivTraceObjectList() override { --TraceObjectCount; }
};

void kivInfoTrace_Initialize();
void kivInfoTrace_Finalize();
