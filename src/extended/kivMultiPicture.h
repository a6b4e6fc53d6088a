#pragma once
// The multi-picture index of APP2 "MPF\0": a TIFF structure whose first directory is the MP
// Index IFD (in the first image) and whose next, or only, directory is the MP Attribute IFD.
// Read with the EXIF reader's IFD machinery; described for the report, and read for the
// whole-file walk, which goes to the images the index names.

#include <cstdint>
#include <string>
#include <vector>

#include "extended/kivExtendedDecoders.h"

// One 16-byte entry of the MP Index IFD.
struct TkivMpEntry {
  uint32_t Attributes = 0; // flags (bits 31 to 27), format (26 to 24), type (23 to 0)
  uint32_t Size = 0;
  uint32_t Offset = 0; // from the TIFF header of the segment; 0 for the first image
  uint16_t Dependent1 = 0, Dependent2 = 0;
  uint32_t Type() const { return Attributes & 0xFFFFFF; }
  uint8_t Format() const { return (Attributes >> 24) & 7; }
  bool DependentParent() const { return (Attributes >> 31) & 1; }
  bool DependentChild() const { return (Attributes >> 30) & 1; }
  bool Representative() const { return (Attributes >> 29) & 1; }
};

struct TkivMpIndex {
  bool Motorola = false;
  int64_t DeclaredImages = -1; // B001; -1 when absent
  // The entries the data hold, in their order: never more than MaxEntries.
  std::vector<TkivMpEntry> Entries;
  // The entries B002 declares (its count / 16), which may be more than the data hold.
  int64_t DeclaredEntries = 0;
  static constexpr int64_t MaxEntries = 4096;
};

// Reads the index of an "MPF\0" payload (the bytes after the identifier); false when it holds
// no MP Index IFD.
bool ReadMpIndex(TStream& Payload, TkivWorkBudget& Budget, TkivMpIndex& Index);

// The type of an entry in words: "baseline primary image", "large thumbnail (class 2)",
// "gain map", "undefined".
std::string MpTypeText(uint32_t Type);

void DescribeMultiPicture(const TkivExtendedInput& Input, TkivDescription& Out);
