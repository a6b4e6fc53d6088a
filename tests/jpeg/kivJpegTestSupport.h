#pragma once
// Helpers of the JPEG segment tests: segments from payloads, pages with their thumbnail files,
// golden pages of tests/golden, pictures checked through netpbm.

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/kivDIBitmap.h"
#include "framework/kivInfo.h"
#include "jpeg/kivJpegFile.h"
#include "support/kivTestSupport.h"

namespace kivTest {

// FF, Marker, the big-endian length of Payload + 2, then Payload.
std::string Segment(uint8_t Marker, const std::string& Payload);

// The page, with the thumbnail files kept in Dir for a look at them afterwards.
std::string Render(const std::string& Bytes, const TTempDir& Dir);

// The golden page Name (under tests/golden), with @DIR@ standing for Dir and @SIZE@ for Size.
std::string Expected(const std::string& Name, const TTempDir& Dir, const std::string& Size = {});

// Colors of {1, 2, 3} (no real colour) mark pixels that are not compared.
constexpr TkivColor AnyColor{1, 2, 3};
constexpr TkivColor Black{0, 0, 0}, Red{255, 0, 0}, Green{0, 255, 0}, Blue{0, 0, 255},
    White{255, 255, 255};

// The picture kivBMP0.bmp in Dir, decoded by netpbm, is W x H with these colours (each channel
// within Tolerance). Not checked when netpbm is not installed.
void ExpectBmp(const TTempDir& Dir, int W, int H, const std::vector<TkivColor>& Colors,
               int Tolerance = 0);

// A segment file, its golden page (@SIZE@ standing for the file's size) and its picture: W x H
// in Colors when W > 0, no picture file at all when W is 0.
struct TPageCase {
  const char* Golden;
  std::string Bytes;
  int W = 0, H = 0;
  std::vector<TkivColor> Colors = {};
  int Tolerance = 0;
};
// Each case rendered with a thumbnail directory of its own.
void ExpectPages(const std::vector<TPageCase>& Cases);

// Colors First, then Rest up to Count.
std::vector<TkivColor> Colors(std::vector<TkivColor> First, size_t Count,
                              TkivColor Rest = AnyColor);

// A baseline JPEG of W x H whose pixel (X, Y) is Pixel(X, Y).
std::string JpegOf(int W, int H, const std::function<TkivColor(int, int)>& Pixel);

// A segment of class T loaded from Bytes.
template <class T> std::unique_ptr<T> Load(const std::string& Bytes) {
  std::unique_ptr<TkivSegment> Segment = T::ClassObject().Create();
  TMemoryStream Stream(Bytes);
  Segment->LoadFromStream(Stream);
  return std::unique_ptr<T>(static_cast<T*>(Segment.release()));
}

// The corpus's segment files, sorted by image and name, with their bytes; none without a corpus.
struct TCorpusSegment {
  std::filesystem::path Path;
  std::string Bytes;
  const TkivSegment::TClass* Class; // the class that reads it
};
std::vector<TCorpusSegment> CorpusSegments();

// What the extended report adds to each segment of File, as text: each part after its
// segment's index when Numbered, and, given Only, only the parts of that name.
std::string ExtendedTree(TkivJpegFile& File, bool Numbered = true, const std::string& Only = {});
// The same for the whole file Bytes, which stay at hand as its source.
std::string ExtendedTree(const std::string& Bytes, bool Numbered = true,
                         const std::string& Only = {});

// The top items of the segment's information tree as "name=value".
std::vector<std::string> InfoNames(const TkivSegment& Segment);

} // namespace kivTest
