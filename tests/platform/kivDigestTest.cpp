// Digests against the published test vectors, whole and fed in pieces.

#include <gtest/gtest.h>

#include "platform/kivDigest.h"

using namespace kivPlatform;

TEST(Digest, KnownVectors) {
  const std::string Million(1000000, 'a');
  const struct {
    TDigestKind Kind;
    std::string Input;
    const char* Hex;
  } Cases[] = {
      {TDigestKind::MD5, "", "d41d8cd98f00b204e9800998ecf8427e"},
      {TDigestKind::MD5, "abc", "900150983cd24fb0d6963f7d28e17f72"},
      {TDigestKind::MD5, Million, "7707d6ae4e027c70eea2a935c2296f21"},
      {TDigestKind::SHA256, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {TDigestKind::SHA256, "abc",
       "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {TDigestKind::SHA256, Million,
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& C : Cases) {
    EXPECT_EQ(DigestHex(DigestOf(C.Kind, C.Input.data(), C.Input.size())), C.Hex);
    // In uneven pieces, twice: Finish starts the digest again.
    TDigest Digest(C.Kind);
    for (int Round = 0; Round < 2; ++Round) {
      for (size_t At = 0, N = 1; At < C.Input.size(); At += N, N = N * 3 + 1)
        Digest.Update(C.Input.data() + At, std::min(N, C.Input.size() - At));
      EXPECT_EQ(DigestHex(Digest.Finish()), C.Hex) << "round " << Round;
    }
  }
}
