#include "extended/kivExtendedDecoders.h"

#include <algorithm>
#include <cstring>

#include "extended/kivJpegStructure.h"

namespace {
// By marker; within a marker, identifiers in any order (the longest match wins).
const TkivExtendedDecoder Decoders[] = {
    {0xDD, {}, "Restart interval", DescribeRestartInterval},
};
} // namespace

const TkivExtendedDecoder* FindExtendedDecoder(const uint8_t* Segment, int64_t Size) {
  // FF, the marker and the length come before the identifier, which lies inside the payload
  // that the length declares as well as inside the bytes at hand.
  if (Size < 4 || Segment[0] != 0xFF) return nullptr;
  const int64_t Payload = std::min<int64_t>(Size - 4, ((Segment[2] << 8) | Segment[3]) - 2);
  const TkivExtendedDecoder* Found = nullptr;
  for (const TkivExtendedDecoder& Decoder : Decoders) {
    if (Decoder.Marker != Segment[1]) continue;
    const size_t Length = Decoder.Identifier.size();
    if (int64_t(Length) > Payload ||
        std::memcmp(Segment + 4, Decoder.Identifier.data(), Length) != 0)
      continue;
    if (!Found || Length > Found->Identifier.size()) Found = &Decoder;
  }
  return Found;
}
