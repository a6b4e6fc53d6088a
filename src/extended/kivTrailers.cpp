#include "extended/kivTrailers.h"

#include <algorithm>

#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"

namespace {

std::string OffsetText(int64_t Offset) {
  return Format("0x%08llX", static_cast<unsigned long long>(Offset));
}

// A box type as text: four characters, those that are not printable as "?".
std::string FourCC(const std::string& Bytes) {
  std::string S = Bytes;
  for (char& C : S)
    if (C < 0x20 || C > 0x7E) C = '?';
  return S;
}

// What the data of a block at Position are, when they start like an MP4 file.
std::string ContentAt(TStream& File, int64_t Position, int64_t End) {
  if (!StartsMp4(File, Position, End)) return {};
  File.SetPosition(Position + 8);
  return "MP4 video, brand " + FourCC(ReadString(File, 4));
}

} // namespace

bool ReadSamsungTrailer(TStream& File, int64_t From, TkivSamsungTrailer& Trailer) {
  const int64_t Size = File.GetSize();
  if (Size - From < 8 + 12) return false;
  File.SetPosition(Size - 8);
  const uint32_t Length = ReadLong(File, false);
  if (ReadString(File, 4) != "SEFT") return false;
  Trailer = {};
  // The directory: "SEFH", version, count, then 12 bytes per entry.
  if (Length < 12 || int64_t(Length) > Size - 8 - From) {
    Trailer.Start = Trailer.DirectoryAt = Size - 8;
    Trailer.Problems.push_back(Format(
        "The directory's length, %u bytes, does not fit between the image and the end", Length));
    return true;
  }
  const int64_t At = Size - 8 - Length;
  Trailer.Start = Trailer.DirectoryAt = At;
  File.SetPosition(At);
  if (ReadString(File, 4) != "SEFH") {
    Trailer.Problems.push_back("The directory does not start with SEFH");
    return true;
  }
  Trailer.Version = ReadLong(File, false);
  Trailer.DeclaredEntries = ReadLong(File, false);
  const int64_t Room = (int64_t(Length) - 12) / 12;
  if (Trailer.DeclaredEntries > Room)
    Trailer.Problems.push_back(Format("The directory declares %lld entries; its %u bytes hold %lld",
                                      static_cast<long long>(Trailer.DeclaredEntries), Length,
                                      static_cast<long long>(Room)));
  const int64_t Count = std::min({Trailer.DeclaredEntries, Room, TkivSamsungTrailer::MaxEntries});
  if (Count < std::min(Trailer.DeclaredEntries, Room))
    Trailer.Problems.push_back(
        Format("Only the first %lld entries are read", static_cast<long long>(Count)));
  for (int64_t I = 0; I < Count; ++I) {
    File.SetPosition(At + 12 + 12 * I);
    TkivSamsungEntry E;
    (void)ReadWord(File, false);
    E.Type = ReadWord(File, false);
    const uint32_t Back = ReadLong(File, false);
    E.Size = ReadLong(File, false);
    E.Offset = At - int64_t(Back);
    if (Back == 0 || E.Offset < From || E.Offset + E.Size > At) {
      E.Problem = "the block does not lie between the image and the directory";
    } else {
      Trailer.Start = std::min(Trailer.Start, E.Offset);
      // The block: 2 bytes, its type again, the length of its name, the name, the data.
      File.SetPosition(E.Offset);
      (void)ReadWord(File, false);
      const uint16_t Type = ReadWord(File, false);
      const uint32_t NameLength = ReadLong(File, false);
      if (NameLength > E.Size - 8 || NameLength > 1024) {
        E.Problem = Format("the name's length, %u, exceeds the block", NameLength);
      } else {
        E.Name = ReadString(File, NameLength);
        if (Type != E.Type) E.Problem = Format("the block's own type is 0x%04X", unsigned(Type));
        E.Content = ContentAt(File, E.Offset + 8 + NameLength, E.Offset + E.Size);
      }
    }
    Trailer.Entries.push_back(std::move(E));
  }
  return true;
}

void DescribeSamsungTrailer(const TkivSamsungTrailer& Trailer, TkivDescription& Out) {
  Out.Field("Directory", OffsetText(Trailer.DirectoryAt));
  Out.Field("Version", int64_t(Trailer.Version));
  Out.Field("Number of entries", Trailer.DeclaredEntries);
  if (!Trailer.Entries.empty()) {
    TkivDescriptionTable Table(Out, "Entries", {"Type", "Name", "Offset", "Size", "Content"});
    for (const TkivSamsungEntry& E : Trailer.Entries)
      Table.Row({Format("0x%04X", unsigned(E.Type)), E.Name, OffsetText(E.Offset),
                 std::to_string(E.Size), E.Problem.empty() ? E.Content : E.Problem},
                E.Problem.empty() ? TkivMark::None : TkivMark::Wrong);
  }
  for (const std::string& P : Trailer.Problems)
    Out.Problem(P);
}

bool StartsMp4(TStream& File, int64_t From, int64_t End) {
  if (End - From < 16) return false;
  File.SetPosition(From);
  const uint32_t Size = ReadLong(File, true);
  return ReadString(File, 4) == "ftyp" && Size >= 16 && Size <= End - From;
}

void ReadMp4(TStream& File, int64_t From, int64_t End, TkivMp4Video& Video) {
  Video = {};
  File.SetPosition(From);
  const uint32_t TypeSize = ReadLong(File, true);
  (void)ReadString(File, 4);
  Video.Brand = FourCC(ReadString(File, 4));
  Video.MinorVersion = ReadLong(File, true);
  for (uint32_t At = 16; At + 4 <= TypeSize && Video.Compatible.size() < 16; At += 4)
    Video.Compatible.push_back(FourCC(ReadString(File, 4)));
  // The top-level boxes: each says its size, 1 for a 64-bit size after the type, 0 for the rest.
  int64_t Position = From;
  while (End - Position >= 8) {
    File.SetPosition(Position);
    int64_t Size = ReadLong(File, true);
    const std::string Type = FourCC(ReadString(File, 4));
    if (Size == 1) {
      if (End - Position < 16) break;
      const uint64_t High = ReadLong(File, true);
      Size = int64_t(std::min<uint64_t>((High << 32) | ReadLong(File, true), uint64_t(INT64_MAX)));
    } else if (Size == 0) {
      Size = End - Position;
    }
    if (Size < 8 || Size > End - Position) {
      Video.Problem = Format("The box %s at %s declares %lld bytes; %lld are left", Type.c_str(),
                             OffsetText(Position).c_str(), static_cast<long long>(Size),
                             static_cast<long long>(End - Position));
      break;
    }
    if (Video.Boxes.size() < TkivMp4Video::MaxBoxes)
      Video.Boxes.push_back({Type, Position, Size});
    else
      Video.MoreBoxes = true;
    Position += Size;
  }
  Video.Size = Position - From;
}

void DescribeMp4(const TkivMp4Video& Video, TkivDescription& Out) {
  Out.Field("Format", "MP4 video");
  Out.Field("Brand", Video.Brand);
  Out.Field("Minor version", int64_t(Video.MinorVersion));
  std::string Compatible;
  for (const std::string& B : Video.Compatible)
    Compatible += (Compatible.empty() ? "" : ", ") + B;
  Out.Field("Compatible brands", Compatible);
  {
    TkivDescriptionTable Table(Out, "Boxes", {"Type", "Offset", "Size"});
    for (const TkivMp4Box& B : Video.Boxes)
      Table.Row({B.Type, OffsetText(B.Offset), std::to_string(B.Size)});
  }
  if (Video.MoreBoxes) Out.Problem("More boxes follow than are shown");
  if (!Video.Problem.empty()) Out.Problem(Video.Problem);
}
