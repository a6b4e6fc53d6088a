#pragma once
// Message digests of the system's own libraries: MD5 (the GUID of extended XMP, the IPTC
// digest) and SHA-256 (content credentials' hard bindings), fed in pieces so that a file is
// hashed without being copied.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace kivPlatform {

enum class TDigestKind : uint8_t { MD5, SHA256 };

class TDigest {
public:
  explicit TDigest(TDigestKind Kind);
  ~TDigest();
  TDigest(const TDigest&) = delete;
  TDigest& operator=(const TDigest&) = delete;

  void Update(const void* Bytes, size_t Count);
  // The digest of everything given so far, as its raw bytes (16 or 32); the digest starts
  // again empty.
  std::string Finish();

private:
  struct TImpl;
  std::unique_ptr<TImpl> Impl;
};

// The digest of Count bytes at once.
inline std::string DigestOf(TDigestKind Kind, const void* Bytes, size_t Count) {
  TDigest Digest(Kind);
  Digest.Update(Bytes, Count);
  return Digest.Finish();
}

// Raw digest bytes as lower-case hex digits.
inline std::string DigestHex(const std::string& Digest) {
  static const char Digits[] = "0123456789abcdef";
  std::string Hex;
  for (const char C : Digest) {
    Hex += Digits[uint8_t(C) >> 4];
    Hex += Digits[uint8_t(C) & 15];
  }
  return Hex;
}

} // namespace kivPlatform
