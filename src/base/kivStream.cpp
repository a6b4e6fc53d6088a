#include "base/kivStream.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include <sys/types.h>

#include "base/kivException.h"

namespace {
// 64-bit file positions; long is 32 bits wide on Windows.
int Seek64(std::FILE* File, int64_t Offset, int Origin) {
#if defined(_WIN32)
  return _fseeki64(File, Offset, Origin);
#else
  return fseeko(File, static_cast<off_t>(Offset), Origin);
#endif
}

int64_t Tell64(std::FILE* File) {
#if defined(_WIN32)
  return _ftelli64(File);
#else
  return static_cast<int64_t>(ftello(File));
#endif
}
} // namespace

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count <= 0) return;
  if (Read(Buffer, Count) != Count) throw EReadError();
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count <= 0) return;
  if (Write(Buffer, Count) != Count) throw EWriteError();
}

void TStream::CopyFrom(TStream& Source, int64_t Count) {
  uint8_t Chunk[8192];
  while (Count > 0) {
    const int64_t N = std::min<int64_t>(Count, sizeof Chunk);
    Source.ReadBuffer(Chunk, N);
    WriteBuffer(Chunk, N);
    Count -= N;
  }
}

void TMemoryStream::SetPosition(int64_t NewPosition) {
  Position = std::max<int64_t>(0, NewPosition);
}

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  const int64_t N = std::min(Count, Size - Position);
  if (N <= 0) return 0;
  std::memcpy(Buffer, Bytes.get() + Position, static_cast<size_t>(N));
  Position += N;
  return N;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  const int64_t End = Position + Count;
  if (End > Capacity) Grow(End);
  // Writing beyond the end leaves zeros in the gap.
  if (Position > Size) std::memset(Bytes.get() + Size, 0, static_cast<size_t>(Position - Size));
  std::memcpy(Bytes.get() + Position, Buffer, static_cast<size_t>(Count));
  Position = End;
  Size = std::max(Size, End);
  return Count;
}

void TMemoryStream::Grow(int64_t Needed) {
  Reserve(std::max({Needed, 2 * Capacity, int64_t(256)}));
}

void TMemoryStream::Clear() {
  Size = 0;
  Position = 0;
}

void TMemoryStream::Reserve(int64_t NewCapacity) {
  if (NewCapacity <= Capacity) return;
  auto NewBytes = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(NewCapacity));
  if (Size > 0) std::memcpy(NewBytes.get(), Bytes.get(), static_cast<size_t>(Size));
  Bytes = std::move(NewBytes);
  Capacity = NewCapacity;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  NewSize = std::max<int64_t>(0, NewSize);
  if (NewSize > Capacity) Reserve(NewSize);
  if (NewSize > Size) std::memset(Bytes.get() + Size, 0, static_cast<size_t>(NewSize - Size));
  Size = NewSize;
  Position = std::min(Position, Size);
}

std::string TMemoryStream::ToString() const {
  return Size > 0 ? std::string(reinterpret_cast<const char*>(Bytes.get()), size_t(Size))
                  : std::string();
}

void TMemoryStream::LoadFromString(const std::string& S) {
  Clear();
  Write(S.data(), static_cast<int64_t>(S.size()));
  Position = 0;
}

TFileStream::TFileStream(const std::string& FileName, TFileMode Mode) {
  std::error_code Ec;
  if (Mode == TFileMode::OpenRead && !std::filesystem::is_regular_file(FileName, Ec))
    throw EFOpenError(FileName);
  File = std::fopen(FileName.c_str(), Mode == TFileMode::OpenRead ? "rb" : "wb");
  if (!File) throw EFOpenError(FileName);
  if (Mode == TFileMode::OpenRead) {
    // The window is the buffer.
    std::setvbuf(File, nullptr, _IONBF, 0);
    if (Seek64(File, 0, SEEK_END) != 0 || (Size = Tell64(File)) < 0 ||
        Seek64(File, 0, SEEK_SET) != 0) {
      // Directories and other unseekable things open but cannot be read as files.
      std::fclose(File);
      File = nullptr;
      throw EFOpenError(FileName);
    }
  }
}

TFileStream::~TFileStream() {
  if (File) std::fclose(File);
}

int64_t TFileStream::GetSize() const {
  return Size;
}

int64_t TFileStream::GetPosition() const {
  return Position;
}

void TFileStream::SetPosition(int64_t NewPosition) {
  Position = std::max<int64_t>(0, NewPosition);
}

int64_t TFileStream::ReadAt(int64_t From, void* Buffer, int64_t Count) {
  if (FilePosition != From && Seek64(File, From, SEEK_SET) != 0) {
    FilePosition = -1;
    return 0;
  }
  const int64_t N = static_cast<int64_t>(std::fread(Buffer, 1, static_cast<size_t>(Count), File));
  FilePosition = From + N;
  return N;
}

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0 || Position >= Size) return 0;
  Count = std::min(Count, Size - Position);
  auto* To = static_cast<uint8_t*>(Buffer);
  int64_t Done = 0;
  // What the window holds first, then the rest: a large read goes straight to the caller.
  if (Position >= WindowStart && Position < WindowStart + WindowLength) {
    Done = std::min(Count, WindowStart + WindowLength - Position);
    std::memcpy(To, Window.get() + (Position - WindowStart), static_cast<size_t>(Done));
  }
  if (Done < Count) {
    if (Count - Done >= WindowSize) {
      Done += ReadAt(Position + Done, To + Done, Count - Done);
    } else {
      if (!Window) Window = std::make_unique_for_overwrite<uint8_t[]>(WindowSize);
      WindowStart = Position + Done;
      WindowLength = ReadAt(WindowStart, Window.get(), std::min(WindowSize, Size - WindowStart));
      const int64_t More = std::min(Count - Done, WindowLength);
      std::memcpy(To + Done, Window.get(), static_cast<size_t>(More));
      Done += More;
    }
  }
  Position += Done;
  return Done;
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  WindowLength = 0;
  if (FilePosition != Position && Seek64(File, Position, SEEK_SET) != 0) {
    FilePosition = -1;
    return 0;
  }
  const int64_t N = static_cast<int64_t>(std::fwrite(Buffer, 1, static_cast<size_t>(Count), File));
  Position += N;
  FilePosition = Position;
  Size = std::max(Size, Position);
  return N;
}

TStreamRange::TStreamRange(TStream& Whole, int64_t Offset, int64_t Size)
    : Whole(Whole), Offset(std::clamp<int64_t>(Offset, 0, Whole.GetSize())),
      Size(std::clamp<int64_t>(Size, 0, Whole.GetSize() - this->Offset)) {}

void TStreamRange::SetPosition(int64_t NewPosition) {
  Position = std::max<int64_t>(NewPosition, 0);
}

int64_t TStreamRange::Read(void* Buffer, int64_t Count) {
  const int64_t N = std::clamp<int64_t>(Size - Position, 0, std::max<int64_t>(Count, 0));
  if (N == 0) return 0;
  Whole.SetPosition(Offset + Position);
  const int64_t Got = Whole.Read(Buffer, N);
  Position += std::max<int64_t>(Got, 0);
  return Got;
}
