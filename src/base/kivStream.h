#pragma once
// Seekable byte streams with 64-bit size and position: the abstract stream, a growable memory
// stream, a range of another stream and a file stream.

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

class TStream {
public:
  TStream() = default;
  TStream(const TStream&) = delete;
  TStream& operator=(const TStream&) = delete;
  virtual ~TStream() = default;

  virtual int64_t GetSize() const = 0;
  virtual int64_t GetPosition() const = 0;
  // Positions beyond the end are allowed; reads there deliver nothing.
  virtual void SetPosition(int64_t Position) = 0;
  // Reads up to Count bytes; returns how many were read.
  virtual int64_t Read(void* Buffer, int64_t Count) = 0;
  // Writes up to Count bytes; returns how many were written.
  virtual int64_t Write(const void* Buffer, int64_t Count) = 0;

  // Delivers exactly Count bytes, or consumes what is left and throws EReadError.
  void ReadBuffer(void* Buffer, int64_t Count);
  void WriteBuffer(const void* Buffer, int64_t Count);
  // Copies Count bytes from Source's position (reading errors as ReadBuffer does).
  void CopyFrom(TStream& Source, int64_t Count);
};

class TMemoryStream : public TStream {
public:
  TMemoryStream() = default;
  // A stream holding Bytes, positioned at 0.
  explicit TMemoryStream(const std::string& Bytes) { LoadFromString(Bytes); }
  int64_t GetSize() const override { return Size; }
  int64_t GetPosition() const override { return Position; }
  void SetPosition(int64_t NewPosition) override;
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;

  // Empties the stream; the room it had stays.
  void Clear();
  // Bytes added by growing are zero.
  void SetSize(int64_t NewSize);
  // Room for Capacity bytes in all, so that writing up to there never moves the bytes.
  void Reserve(int64_t NewCapacity);
  const uint8_t* Memory() const { return Bytes.get(); }
  // The whole content as a byte string, whatever the position.
  std::string ToString() const;
  void LoadFromString(const std::string& S);

private:
  // The bytes are held without being zeroed first: a page is written into a stream a few
  // bytes at a time, and each write is one copy.
  std::unique_ptr<uint8_t[]> Bytes;
  int64_t Size = 0;
  int64_t Capacity = 0;
  int64_t Position = 0;
  // Makes room for at least Needed bytes, at least doubling the room.
  void Grow(int64_t Needed);
};

// Size bytes of another stream from Offset on, read as a stream of their own (positions count
// from Offset) without being copied; read only. The other stream's position is its own
// business: each read seeks it first.
class TStreamRange : public TStream {
public:
  TStreamRange(TStream& Whole, int64_t Offset, int64_t Size);
  int64_t GetSize() const override { return Size; }
  int64_t GetPosition() const override { return Position; }
  void SetPosition(int64_t NewPosition) override;
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void*, int64_t) override { return 0; }

private:
  TStream& Whole;
  int64_t Offset, Size;
  int64_t Position = 0;
};

enum class TFileMode { OpenRead, Create };

class TFileStream : public TStream {
public:
  // OpenRead: an existing file, read only. Create: a new or truncated file for writing.
  TFileStream(const std::string& FileName, TFileMode Mode);
  ~TFileStream() override;

  int64_t GetSize() const override;
  int64_t GetPosition() const override;
  void SetPosition(int64_t Position) override;
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;

private:
  // Decoders read a few bytes at a time and move about: reads are served from a window of the
  // file, and the file itself is only sought when the window is filled or bytes written.
  static constexpr int64_t WindowSize = 64 * 1024;
  std::FILE* File = nullptr;
  int64_t Position = 0;
  int64_t Size = 0;
  int64_t FilePosition = 0; // where the C library's stream stands
  std::unique_ptr<uint8_t[]> Window;
  int64_t WindowStart = 0, WindowLength = 0;
  // Reads up to Count bytes at From straight from the file.
  int64_t ReadAt(int64_t From, void* Buffer, int64_t Count);
};
