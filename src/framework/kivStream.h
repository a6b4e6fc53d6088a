#pragma once
// Seekable byte streams with 64-bit size and position: the abstract stream, a growable memory
// stream and a file stream.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

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
  int64_t GetSize() const override { return static_cast<int64_t>(Bytes.size()); }
  int64_t GetPosition() const override { return Position; }
  void SetPosition(int64_t NewPosition) override;
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void* Buffer, int64_t Count) override;

  void Clear();
  void SetSize(int64_t Size);
  // Room for Capacity bytes in all, so that writing up to there never moves the bytes.
  void Reserve(int64_t Capacity);
  const uint8_t* Memory() const { return Bytes.data(); }
  // The whole content as a byte string, whatever the position.
  std::string ToString() const { return std::string(Bytes.begin(), Bytes.end()); }
  void LoadFromString(const std::string& S);

private:
  std::vector<uint8_t> Bytes;
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
  std::FILE* File = nullptr;
  int64_t Position = 0;
  int64_t Size = 0;
};
