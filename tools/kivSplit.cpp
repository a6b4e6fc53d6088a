#include "kivSplit.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::string Hex(size_t Offset) {
  char Buffer[32];
  std::snprintf(Buffer, sizeof Buffer, "0x%zX", Offset);
  return Buffer;
}

bool WriteSegment(const std::filesystem::path& Directory, int Index, unsigned Marker,
                  const std::vector<char>& Bytes, size_t Start, size_t Size) {
  char Name[32];
  std::snprintf(Name, sizeof Name, "%04d_FF%02X.MRK", Index, Marker);
  std::ofstream Out(Directory / Name, std::ios::binary | std::ios::trunc);
  Out.write(Bytes.data() + Start, static_cast<std::streamsize>(Size));
  return static_cast<bool>(Out);
}

} // namespace

TkivSplitResult SplitJpegFile(const std::string& JpegFile, const std::string& Directory) {
  TkivSplitResult Result;
  std::ifstream In(JpegFile, std::ios::binary);
  if (!In) return {0, "cannot read " + JpegFile};
  const std::vector<char> Bytes{std::istreambuf_iterator<char>(In), {}};
  if (In.bad()) return {0, "cannot read " + JpegFile};
  const auto At = [&](size_t I) { return static_cast<unsigned char>(Bytes[I]); };
  if (Bytes.size() < 2 || At(0) != 0xFF || At(1) != 0xD8)
    return {0, JpegFile + ": not a JPEG file (no start-of-image marker)"};

  std::error_code Ec;
  std::filesystem::create_directories(Directory, Ec);
  if (!std::filesystem::is_directory(Directory)) return {0, "cannot create directory " + Directory};
  const auto Emit = [&](unsigned Marker, size_t Start, size_t Size) {
    if (!WriteSegment(Directory, Result.Written, Marker, Bytes, Start, Size)) {
      Result.Error = "cannot write a segment file in " + Directory;
      return false;
    }
    ++Result.Written;
    return true;
  };
  if (!Emit(0xD8, 0, 2)) return Result;

  size_t Pos = 2;
  while (true) {
    if (Pos >= Bytes.size()) {
      Result.Error = JpegFile + ": file ends at " + Hex(Pos) + " before the start of scan";
      return Result;
    }
    if (At(Pos) != 0xFF) {
      Result.Error = JpegFile + ": no marker at " + Hex(Pos);
      return Result;
    }
    // Fill bytes: any number of FF may stand before a marker code.
    size_t Start = Pos;
    while (Start + 1 < Bytes.size() && At(Start + 1) == 0xFF)
      ++Start;
    if (Start + 1 >= Bytes.size()) {
      Result.Error = JpegFile + ": file ends inside the marker at " + Hex(Start);
      return Result;
    }
    const unsigned Marker = At(Start + 1);
    if (Marker == 0xD9) return Result; // end of image before any scan: nothing more to cut
    if (Marker == 0x01 || (Marker >= 0xD0 && Marker <= 0xD8)) {
      if (!Emit(Marker, Start, 2)) return Result;
      Pos = Start + 2;
      continue;
    }
    if (Start + 4 > Bytes.size()) {
      Result.Error = JpegFile + ": file ends inside the length of the segment at " + Hex(Start);
      return Result;
    }
    const size_t Length = size_t(At(Start + 2)) << 8 | At(Start + 3);
    if (Length < 2) {
      Result.Error = JpegFile + ": invalid segment length at " + Hex(Start);
      return Result;
    }
    if (Start + 2 + Length > Bytes.size()) {
      Result.Error =
          JpegFile + ": segment at " + Hex(Start) + " is cut short by the end of the file";
      return Result;
    }
    if (!Emit(Marker, Start, 2 + Length)) return Result;
    if (Marker == 0xDA) return Result;
    Pos = Start + 2 + Length;
  }
}
