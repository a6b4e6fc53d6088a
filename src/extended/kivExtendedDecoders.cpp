#include "extended/kivExtendedDecoders.h"

#include <algorithm>
#include <cstring>

#include "extended/kivGainMap.h"
#include "extended/kivIccProfile.h"
#include "extended/kivIptc.h"
#include "extended/kivJpegStructure.h"
#include "extended/kivJumbf.h"
#include "extended/kivMultiPicture.h"
#include "extended/kivXmp.h"
#include "framework/kivInfo.h"

namespace {
// By marker; within a marker, identifiers in any order (the longest match wins).
const TkivExtendedDecoder Decoders[] = {
    {0xC0, {}, "Frame header", DescribeFrame},
    {0xC1, {}, "Frame header", DescribeFrame},
    {0xC2, {}, "Frame header", DescribeFrame},
    {0xC3, {}, "Frame header", DescribeFrame},
    {0xC4, {}, "Huffman tables", DescribeHuffmanTables},
    {0xC5, {}, "Frame header", DescribeFrame},
    {0xC6, {}, "Frame header", DescribeFrame},
    {0xC7, {}, "Frame header", DescribeFrame},
    {0xC9, {}, "Frame header", DescribeFrame},
    {0xCA, {}, "Frame header", DescribeFrame},
    {0xCB, {}, "Frame header", DescribeFrame},
    {0xCD, {}, "Frame header", DescribeFrame},
    {0xCE, {}, "Frame header", DescribeFrame},
    {0xCF, {}, "Frame header", DescribeFrame},
    {0xDA, {}, "Scan header", DescribeScan},
    {0xDB, {}, "Quantization tables", DescribeQuantTables},
    {0xDC, {}, "Number of lines", DescribeNumberOfLines},
    {0xDD, {}, "Restart interval", DescribeRestartInterval},
    // The identifiers as the viewer's segment classes take them, their zero byte included.
    {0xE1, {"http://ns.adobe.com/xap/1.0/\0", 29}, "XMP", DescribeXmp},
    {0xE1,
     {"http://ns.adobe.com/xmp/extension/\0", 35},
     "Extended XMP",
     DescribeExtendedXmp,
     TkivPieceOrder::ByOffset,
     ReadExtendedXmpPiece},
    {0xE2,
     {"ICC_PROFILE\0", 12},
     "ICC profile",
     DescribeIccProfile,
     TkivPieceOrder::BySequence,
     ReadIccProfilePiece},
    {0xE2, {"MPF\0", 4}, "Multi-picture index", DescribeMultiPicture},
    {0xE2,
     {"urn:iso:std:iso:ts:21496:-1\0", 28},
     "Gain map metadata (ISO 21496-1)",
     DescribeIsoGainMap},
    {0xEB,
     {"JP", 2},
     "Content credentials (JUMBF)",
     DescribeJumbf,
     TkivPieceOrder::BySequence,
     ReadJumbfPiece},
    {0xEC, {"Ducky\0", 6}, "Ducky", DescribeDucky},
    {0xED, {"Photoshop 3.0\0", 14}, "IPTC", DescribeIptc, TkivPieceOrder::InFileOrder},
    {0xEE, {"Adobe\0", 6}, "Adobe", DescribeAdobe},
};
} // namespace

TkivBytesView::TkivBytesView(const uint8_t* Bytes, int64_t Size)
    : Bytes(Bytes), Size(std::max<int64_t>(Size, 0)) {}

TkivBytesView::TkivBytesView(const TkivSegment& Segment)
    : TkivBytesView(Segment.Data.Memory(), Segment.Data.GetSize()) {}

void TkivBytesView::SetPosition(int64_t NewPosition) {
  Position = std::max<int64_t>(NewPosition, 0);
}

int64_t TkivBytesView::Read(void* Buffer, int64_t Count) {
  const int64_t N = std::clamp<int64_t>(Size - Position, 0, std::max<int64_t>(Count, 0));
  if (N > 0) std::memcpy(Buffer, Bytes + Position, size_t(N));
  Position += N;
  return N;
}

const TkivExtendedDecoder* FindExtendedDecoder(const uint8_t* Segment, int64_t Size) {
  // FF, the marker and the length come before the identifier, which lies inside the payload
  // that the length declares as well as inside the bytes at hand.
  if (Size < 4 || Segment[0] != 0xFF) return nullptr;
  const int64_t Payload = std::min<int64_t>(Size - 4, ((Segment[2] << 8) | Segment[3]) - 2);
  const TkivExtendedDecoder* Found = nullptr;
  for (const TkivExtendedDecoder& Decoder : Decoders) {
    if (Decoder.Marker != Segment[1]) continue;
    const size_t Length = Decoder.Identifier.size();
    // An empty identifier has no bytes to compare (and may have no address at all).
    if (int64_t(Length) > Payload ||
        (Length > 0 && std::memcmp(Segment + 4, Decoder.Identifier.data(), Length) != 0))
      continue;
    if (!Found || Length > Found->Identifier.size()) Found = &Decoder;
  }
  return Found;
}
