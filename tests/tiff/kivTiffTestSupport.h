#pragma once
// Hand-built TIFF structures for the TIFF tests: entries laid out in IFDs with their
// out-of-line data after each directory, in either byte order.

#include <cstdint>
#include <string>
#include <vector>

#include "tiff/kivTiffInfo2.h"

namespace kivTiffTest {

std::string W16(bool Motorola, uint16_t V);
std::string W32(bool Motorola, uint32_t V);

struct TEntryDef {
  uint16_t Tag;
  uint16_t Type;
  uint32_t Count;
  std::string Data; // up to 4 bytes stand in the entry, more go out of line
};

// Header, then each IFD in turn with its data behind it; each next-IFD field points at the
// following IFD, the last at LastNext.
std::string BuildTiff(bool Motorola, const std::vector<std::vector<TEntryDef>>& IFDs,
                      uint32_t LastNext = 0);

// The report of a structure read from Bytes, written from a bare element.
std::string RenderTiff(const std::string& Bytes);

// The first entry of the first IFD of a structure with that one entry, and its value cell.
std::string ValueCell(bool Motorola, const TEntryDef& Entry);
std::string ValueCell(const kivTiffInfo2::TkivTiffEntry& Entry);

} // namespace kivTiffTest
