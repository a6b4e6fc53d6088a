#include "kivSplit.h"

#include <cstdio>
#include <filesystem>
#include <memory>

#include "framework/kivFormat.h"
#include "framework/kivStream.h"
#include "jpeg/kivJpegInfo.h"

namespace {

// A marker segment whose bytes are all there: a marker without a length, or marker, length
// and as many payload bytes as the length asks for.
bool IsWholeMarkerSegment(const TkivSegment& Segment) {
  const std::string Marker = TkivJpegFile::MarkerText(Segment);
  if (Marker.empty()) return false;
  if (TkivJpegMarkerSegment::ClassOf(static_cast<uint8_t>(Segment.Data.Memory()[1])) ||
      Marker == "FFD8")
    return Segment.Data.GetSize() == 2;
  if (Segment.Data.GetSize() < 4) return false;
  const int64_t Length = Segment.Data.Memory()[2] << 8 | Segment.Data.Memory()[3];
  return Segment.Data.GetSize() == 2 + Length;
}

bool WriteSegment(const std::filesystem::path& Directory, int Index, TkivSegment& Segment) {
  const std::filesystem::path Name =
      Directory / Format("%04d_%s.MRK", Index, TkivJpegFile::MarkerText(Segment).c_str());
  try {
    // The bytes as read: a segment's own SaveToStream may write them otherwise, or not at all.
    TFileStream Out(Name.string(), TFileMode::Create);
    Segment.Data.SetPosition(0);
    Out.CopyFrom(Segment.Data, Segment.Data.GetSize());
    return true;
  } catch (...) {
    return false;
  }
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
  } catch (...) {
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
    if (!IsWholeMarkerSegment(Segment)) continue;
    if (!WriteSegment(Directory, Result.Written, Segment)) {
      Result.Error = "cannot write a segment file in " + Directory;
      return Result;
    }
    ++Result.Written;
  }
  return Result;
}
