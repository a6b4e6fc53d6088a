// Digests from the system's cryptography (CNG, bcrypt.dll).

#include <windows.h>

#include <bcrypt.h>

#include <vector>

#include "base/kivException.h"
#include "platform/kivDigest.h"

namespace kivPlatform {

struct TDigest::TImpl {
  BCRYPT_ALG_HANDLE Algorithm = nullptr;
  BCRYPT_HASH_HANDLE Hash = nullptr;
  DWORD Size = 0;
  void Open() {
    if (BCryptCreateHash(Algorithm, &Hash, nullptr, 0, nullptr, 0, 0) < 0)
      throw Exception("The system cannot compute a digest");
  }
};

TDigest::TDigest(TDigestKind Kind) : Impl(std::make_unique<TImpl>()) {
  const wchar_t* Name = Kind == TDigestKind::MD5 ? BCRYPT_MD5_ALGORITHM : BCRYPT_SHA256_ALGORITHM;
  DWORD Got = 0;
  if (BCryptOpenAlgorithmProvider(&Impl->Algorithm, Name, nullptr, 0) < 0 ||
      BCryptGetProperty(Impl->Algorithm, BCRYPT_HASH_LENGTH, reinterpret_cast<PUCHAR>(&Impl->Size),
                        sizeof Impl->Size, &Got, 0) < 0)
    throw Exception("The system cannot compute a digest");
  Impl->Open();
}

TDigest::~TDigest() {
  if (Impl->Hash) BCryptDestroyHash(Impl->Hash);
  if (Impl->Algorithm) BCryptCloseAlgorithmProvider(Impl->Algorithm, 0);
}

void TDigest::Update(const void* Bytes, size_t Count) {
  auto* Data = static_cast<PUCHAR>(const_cast<void*>(Bytes));
  // CNG takes at most 4 GiB at a time.
  while (Count > 0) {
    const ULONG N = Count > 0x40000000 ? 0x40000000 : ULONG(Count);
    BCryptHashData(Impl->Hash, Data, N, 0);
    Data += N;
    Count -= N;
  }
}

std::string TDigest::Finish() {
  std::string Digest(Impl->Size, '\0');
  BCryptFinishHash(Impl->Hash, reinterpret_cast<PUCHAR>(Digest.data()), Impl->Size, 0);
  BCryptDestroyHash(Impl->Hash);
  Impl->Hash = nullptr;
  Impl->Open();
  return Digest;
}

} // namespace kivPlatform
