#pragma once
// What phones leave after the last image: Samsung's trailer, whose directory ends the file
// ("SEFT"), and a motion photo's video (an MP4 file, its boxes one after another). Read while
// the file is walked; described like the extended parts.

#include <cstdint>
#include <string>
#include <vector>

#include "base/kivStream.h"
#include "extended/kivDescription.h"

struct TkivSamsungEntry {
  uint16_t Type = 0;
  std::string Name;
  int64_t Offset = 0, Size = 0; // of the entry's block, in the file
  std::string Content;          // what the block's data are, when known ("MP4 video, brand mp42")
  std::string Problem;
};

struct TkivSamsungTrailer {
  int64_t Start = 0;       // the first byte of the trailer: its first block, or its directory
  int64_t DirectoryAt = 0; // "SEFH"
  uint32_t Version = 0;
  int64_t DeclaredEntries = 0;
  std::vector<TkivSamsungEntry> Entries;
  std::vector<std::string> Problems;
  // More entries are not read: real trailers have a dozen.
  static constexpr int64_t MaxEntries = 256;
};

// Reads the trailer that ends File, whose blocks lie at or after From; false when the file
// does not end with one.
bool ReadSamsungTrailer(TStream& File, int64_t From, TkivSamsungTrailer& Trailer);
void DescribeSamsungTrailer(const TkivSamsungTrailer& Trailer, TkivDescription& Out);

struct TkivMp4Box {
  std::string Type;
  int64_t Offset = 0, Size = 0;
};

struct TkivMp4Video {
  std::string Brand;
  uint32_t MinorVersion = 0;
  std::vector<std::string> Compatible;
  std::vector<TkivMp4Box> Boxes; // the top-level boxes, at most MaxBoxes
  int64_t Size = 0;              // to the end of the last box that fits
  bool MoreBoxes = false;
  std::string Problem;
  static constexpr size_t MaxBoxes = 64;
};

// Whether an MP4 file starts at From: its first box is "ftyp".
bool StartsMp4(TStream& File, int64_t From, int64_t End);
// Reads the boxes from From to at most End.
void ReadMp4(TStream& File, int64_t From, int64_t End, TkivMp4Video& Video);
void DescribeMp4(const TkivMp4Video& Video, TkivDescription& Out);
