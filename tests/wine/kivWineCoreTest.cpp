// The core's Windows services under Wine: digests from the system's CNG and XML from the expat
// linked in.
//
//   kivWineCoreTest

#include <cstdio>
#include <string>

#include "framework/kivXmlDocument.h"
#include "platform/kivDigest.h"

int main() {
  int Failed = 0;
  const auto Check = [&](bool Ok, const char* What) {
    if (!Ok) {
      ++Failed;
      std::printf("FAILED: %s\n", What);
    }
  };
  using namespace kivPlatform;
  Check(DigestHex(DigestOf(TDigestKind::MD5, "abc", 3)) == "900150983cd24fb0d6963f7d28e17f72",
        "MD5 of abc");
  TDigest Sha(TDigestKind::SHA256);
  Sha.Update("a", 1);
  Sha.Update("bc", 2);
  Check(DigestHex(Sha.Finish()) ==
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
        "SHA-256 of abc in two pieces");
  Check(DigestHex(Sha.Finish()) ==
            "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
        "SHA-256 started again");
  TkivXmlDocument Doc;
  Check(Doc.Parse("<a xmlns='urn:a'><b>t</b></a>") && Doc.Root() && Doc.Root()->Is("urn:a", "a"),
        "XML read");
  Check(!Doc.Parse("<!DOCTYPE a [<!ENTITY e 'x'>]><a>&e;</a>"), "a DTD refused");
  std::printf("kivWineCoreTest: %s\n", Failed ? "failed" : "passed");
  return Failed ? 1 : 0;
}
