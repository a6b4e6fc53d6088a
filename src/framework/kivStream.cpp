#include "framework/kivStream.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include <sys/types.h>

#include "framework/kivException.h"

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
  const int64_t Left = GetSize() - Position;
  const int64_t N = std::min(Count, Left);
  if (N <= 0) return 0;
  std::memcpy(Buffer, Bytes.data() + Position, static_cast<size_t>(N));
  Position += N;
  return N;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  const int64_t End = Position + Count;
  if (End > GetSize()) Bytes.resize(static_cast<size_t>(End));
  std::memcpy(Bytes.data() + Position, Buffer, static_cast<size_t>(Count));
  Position = End;
  return Count;
}

void TMemoryStream::Clear() {
  Bytes.clear();
  Position = 0;
}

void TMemoryStream::SetSize(int64_t Size) {
  Bytes.resize(static_cast<size_t>(std::max<int64_t>(0, Size)));
  Position = std::min(Position, GetSize());
}

void TMemoryStream::LoadFromString(const std::string& S) {
  Bytes.assign(S.begin(), S.end());
  Position = 0;
}

TFileStream::TFileStream(const std::string& FileName, TFileMode Mode) {
  std::error_code Ec;
  if (Mode == TFileMode::OpenRead && !std::filesystem::is_regular_file(FileName, Ec))
    throw EFOpenError(FileName);
  File = std::fopen(FileName.c_str(), Mode == TFileMode::OpenRead ? "rb" : "wb");
  if (!File) throw EFOpenError(FileName);
  if (Mode == TFileMode::OpenRead) {
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
  Seek64(File, Position, SEEK_SET);
}

int64_t TFileStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0 || Position >= Size) return 0;
  const int64_t N = static_cast<int64_t>(
      std::fread(Buffer, 1, static_cast<size_t>(std::min(Count, Size - Position)), File));
  Position += N;
  return N;
}

int64_t TFileStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  const int64_t N = static_cast<int64_t>(std::fwrite(Buffer, 1, static_cast<size_t>(Count), File));
  Position += N;
  Size = std::max(Size, Position);
  return N;
}
