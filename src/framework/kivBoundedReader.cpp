#include "framework/kivBoundedReader.h"

#include <algorithm>
#include <cstring>

#include "base/kivException.h"
#include "framework/kivInfoStream.h"

TkivBoundedReader::TkivBoundedReader(TStream& Stream, int64_t Start, int64_t Size, bool BigEndian)
    : Stream(&Stream), Memory(dynamic_cast<const TMemoryStream*>(&Stream)),
      FStart(std::clamp<int64_t>(Start, 0, Stream.GetSize())),
      FSize(std::clamp<int64_t>(Size, 0, Stream.GetSize() - FStart)), FBigEndian(BigEndian) {}

TkivBoundedReader TkivBoundedReader::Rest(TStream& Stream, bool BigEndian) {
  return TkivBoundedReader(Stream, Stream.GetPosition(), Stream.GetSize() - Stream.GetPosition(),
                           BigEndian);
}

void TkivBoundedReader::Read(int64_t Offset, void* Buffer, int64_t Count) const {
  if (!Holds(Offset, Count)) throw EReadError();
  if (Count == 0) return;
  const int64_t At = FStart + Offset;
  if (Memory) {
    // A stream that shrank since the range was taken is not read beyond its end.
    if (Count > Memory->GetSize() - At) throw EReadError();
    std::memcpy(Buffer, Memory->Memory() + At, size_t(Count));
    return;
  }
  const int64_t Position = Stream->GetPosition();
  Stream->SetPosition(At);
  const int64_t Got = Stream->Read(Buffer, Count);
  Stream->SetPosition(Position);
  if (Got != Count) throw EReadError();
}

uint8_t TkivBoundedReader::Byte(int64_t Offset) const {
  uint8_t B;
  Read(Offset, &B, 1);
  return B;
}

uint16_t TkivBoundedReader::Word(int64_t Offset) const {
  uint8_t B[2];
  Read(Offset, B, 2);
  const auto W = static_cast<uint16_t>(B[0] | (B[1] << 8));
  return FBigEndian ? Swap16(W) : W;
}

uint32_t TkivBoundedReader::Long(int64_t Offset) const {
  uint8_t B[4];
  Read(Offset, B, 4);
  const uint32_t L = B[0] | (B[1] << 8) | (B[2] << 16) | (static_cast<uint32_t>(B[3]) << 24);
  return FBigEndian ? Swap32(L) : L;
}

std::string TkivBoundedReader::Bytes(int64_t Offset, int64_t Count) const {
  // Checked before the string is made: a count never costs more than the bytes there.
  if (!Holds(Offset, Count)) throw EReadError();
  std::string S(size_t(Count), '\0');
  Read(Offset, S.data(), Count);
  return S;
}

TkivBoundedReader TkivBoundedReader::Sub(int64_t Offset, int64_t Size) const {
  TkivBoundedReader R(*this);
  const int64_t From = std::clamp<int64_t>(Offset, 0, FSize);
  R.FStart = FStart + From;
  R.FSize = Offset < 0 || Offset > FSize ? 0 : std::clamp<int64_t>(Size, 0, FSize - From);
  return R;
}

TkivBoundedReader TkivBoundedReader::WithByteOrder(bool BigEndian) const {
  TkivBoundedReader R(*this);
  R.FBigEndian = BigEndian;
  return R;
}

TStreamRange TkivBoundedReader::AsStream() const {
  static TMemoryStream Nothing;
  return TStreamRange(Stream ? *Stream : Nothing, FStart, FSize);
}
