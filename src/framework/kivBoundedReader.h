#pragma once
// A view over a byte range of a stream with its byte order bound once. Reads take offsets
// counted from the range's start and are checked against the range: a read that would leave
// it throws EReadError and delivers nothing. Reading never moves the stream's position, so a
// look ahead needs nothing put back; sub-views share the stream and copy no bytes.

#include <cstdint>
#include <string>

#include "base/kivStream.h"

class TkivBoundedReader {
public:
  // Over nothing.
  TkivBoundedReader() = default;
  // Size bytes of Stream from Start on, both clamped to the stream.
  TkivBoundedReader(TStream& Stream, int64_t Start, int64_t Size, bool BigEndian);
  // The stream from its position to its end.
  static TkivBoundedReader Rest(TStream& Stream, bool BigEndian);

  int64_t Start() const { return FStart; }
  int64_t Size() const { return FSize; }
  bool BigEndian() const { return FBigEndian; }

  // Count bytes stand at Offset within the range.
  bool Holds(int64_t Offset, int64_t Count) const {
    return Offset >= 0 && Count >= 0 && Offset <= FSize && Count <= FSize - Offset;
  }
  // The bytes from Offset to the range's end; none outside it.
  int64_t BytesFrom(int64_t Offset) const {
    return Offset >= 0 && Offset <= FSize ? FSize - Offset : 0;
  }

  void Read(int64_t Offset, void* Buffer, int64_t Count) const;
  uint8_t Byte(int64_t Offset) const;
  uint16_t Word(int64_t Offset) const;
  uint32_t Long(int64_t Offset) const;
  std::string Bytes(int64_t Offset, int64_t Count) const;

  // Size bytes from Offset, cut to this range (empty when Offset is outside it); offsets in
  // it count from Offset.
  TkivBoundedReader Sub(int64_t Offset, int64_t Size) const;
  TkivBoundedReader WithByteOrder(bool BigEndian) const;
  // The range as a stream of its own, for decoders that read streams.
  TStreamRange AsStream() const;

private:
  TStream* Stream = nullptr;
  // The stream's bytes, when it holds them in memory: read without seeking.
  const TMemoryStream* Memory = nullptr;
  int64_t FStart = 0;
  int64_t FSize = 0;
  bool FBigEndian = false;
};
