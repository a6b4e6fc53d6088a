#include "kivSplit.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "base/kivException.h"
#include "base/kivStream.h"
#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegInfo.h"
#include "kivFiles.h"

namespace {

// The marker segments a segment's bytes hold, as (start, size) in its data: one for most, one
// per piece for a class that gathers consecutive pieces. Only whole segments count: a marker
// without a length, or marker, length and as many payload bytes as the length asks for.
std::vector<std::pair<int64_t, int64_t>> MarkerSegments(const TkivSegment& Segment) {
  std::vector<std::pair<int64_t, int64_t>> Pieces;
  const std::string Bytes = Segment.Data.ToString();
  const auto At = [&](size_t I) { return static_cast<uint8_t>(Bytes[I]); };
  if (TkivJpegFile::MarkerText(Segment).empty()) return Pieces;
  if (At(1) == 0xD8 || TkivJpegMarkerSegment::ClassOf(At(1))) {
    if (Bytes.size() == 2) Pieces.emplace_back(0, 2);
    return Pieces;
  }
  for (size_t Start = 0; Start + 4 <= Bytes.size() && At(Start) == 0xFF;) {
    const size_t Size = 2 + (size_t(At(Start + 2)) << 8 | At(Start + 3));
    if (Start + Size > Bytes.size()) break;
    Pieces.emplace_back(int64_t(Start), int64_t(Size));
    Start += Size;
  }
  return Pieces;
}

// Writes one segment file; the error text when it cannot be written. A segment file left by
// an earlier run is replaced; anything else under its name is left as it is.
std::string WriteSegment(const std::filesystem::path& Directory, int Index, TkivSegment& Segment,
                         int64_t Start, int64_t Size) {
  Segment.Data.SetPosition(Start + 1);
  const uint8_t Marker = ReadByte(Segment.Data);
  const std::string Name = (Directory / Format("%04d_FF%02X.MRK", Index, Marker)).string();
  // The bytes as read: a segment's own SaveToStream may write them otherwise, or not at all.
  Segment.Data.SetPosition(Start);
  const std::string Bytes = ReadString(Segment.Data, Size);
  bool NotRegular = false;
  const int Fd = OpenRegularFileForWriting(Name, NotRegular);
  if (Fd < 0)
    return NotRegular ? Name + " is not a regular file; it is left as it is"
                      : "cannot create " + Name;
  const bool Written = WriteAll(Fd, Bytes);
  return ::close(Fd) == 0 && Written ? std::string() : "cannot write " + Name;
}

} // namespace

TkivSplitResult SplitJpegFile(const std::string& JpegFile, const std::string& Directory) {
  TkivSplitResult Result;
  TkivJpegFile List;
  try {
    TFileStream In(JpegFile, TFileMode::OpenRead);
    if (!TkivJpegSignatireSegment::ClassObject().CanRead(In))
      return {0, JpegFile + ": not a JPEG file (no start-of-image marker)", {}};
    List.LoadFromStream(In);
  } catch (const Exception&) {
    return {0, "cannot read " + JpegFile, {}};
  }

  std::error_code Ec;
  std::filesystem::create_directories(Directory, Ec);
  if (!std::filesystem::is_directory(Directory))
    return {0, "cannot create directory " + Directory, {}};
  for (int32_t I = 0; I < List.Count(); ++I) {
    TkivSegment& Segment = List.Segment(I);
    if (const auto* Error = dynamic_cast<const TkivJpegFileError*>(&Segment)) {
      const std::string Text =
          JpegFile + ": " +
          Format("at offset 0x%llX, ", static_cast<unsigned long long>(Segment.FileOffset)) +
          Error->Message;
      (Error->Lost ? Result.Error : Result.Warning) = Text;
      continue;
    }
    for (const auto& [Start, Size] : MarkerSegments(Segment)) {
      Result.Error = WriteSegment(Directory, Result.Written, Segment, Start, Size);
      if (!Result.Error.empty()) return Result;
      ++Result.Written;
    }
  }
  return Result;
}
