// Digests from nettle, the library the system's own tools hash with.

#include <nettle/md5.h>
#include <nettle/sha2.h>

#include <variant>

#include "platform/kivDigest.h"

namespace kivPlatform {

struct TDigest::TImpl {
  std::variant<md5_ctx, sha256_ctx> Context;
};

TDigest::TDigest(TDigestKind Kind) : Impl(std::make_unique<TImpl>()) {
  if (Kind == TDigestKind::MD5) {
    md5_init(&Impl->Context.emplace<md5_ctx>());
  } else {
    sha256_init(&Impl->Context.emplace<sha256_ctx>());
  }
}

TDigest::~TDigest() = default;

void TDigest::Update(const void* Bytes, size_t Count) {
  const auto* Data = static_cast<const uint8_t*>(Bytes);
  if (auto* Md5 = std::get_if<md5_ctx>(&Impl->Context))
    md5_update(Md5, Count, Data);
  else
    sha256_update(&std::get<sha256_ctx>(Impl->Context), Count, Data);
}

std::string TDigest::Finish() {
  std::string Digest;
  if (auto* Md5 = std::get_if<md5_ctx>(&Impl->Context)) {
    Digest.resize(MD5_DIGEST_SIZE);
    md5_digest(Md5, Digest.size(), reinterpret_cast<uint8_t*>(Digest.data()));
  } else {
    Digest.resize(SHA256_DIGEST_SIZE);
    sha256_digest(&std::get<sha256_ctx>(Impl->Context), Digest.size(),
                  reinterpret_cast<uint8_t*>(Digest.data()));
  }
  return Digest;
}

} // namespace kivPlatform
