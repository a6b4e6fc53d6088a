#pragma once
// The table of extended decoders: which decoder describes a segment, keyed by the segment's
// marker and the identifier its payload starts with; and what a decoder is handed.

#include <cstdint>
#include <string>
#include <string_view>

#include "base/kivException.h"
#include "base/kivStream.h"
#include "extended/kivDescription.h"
#include "framework/kivWorkBudget.h"

class TkivSegment;
class TkivSegmentList;

// Bytes that someone else keeps, read as a stream; nothing is copied. Decoders read other
// segments of the file through it (a scan header its frame), leaving their streams alone.
class TkivBytesView final : public TStream {
public:
  TkivBytesView(const uint8_t* Bytes, int64_t Size);
  // The bytes of a segment's data stream.
  explicit TkivBytesView(const TkivSegment& Segment);
  int64_t GetSize() const override { return Size; }
  int64_t GetPosition() const override { return Position; }
  void SetPosition(int64_t NewPosition) override;
  int64_t Read(void* Buffer, int64_t Count) override;
  int64_t Write(const void*, int64_t) override { return 0; }

private:
  const uint8_t* Bytes;
  int64_t Size;
  int64_t Position = 0;
};

// What a decoder reads and where it stands.
struct TkivExtendedInput {
  // The payload after the identifier, positioned at 0. For data split over several segments
  // and Whole: the pieces' own data (each after its piece header) joined in order.
  TStream& Payload;
  // The segment the payload came from (for joined pieces, the first piece).
  const TkivSegment& Segment;
  // The report's budget: pictures, entries, values and copied bytes are asked of it.
  TkivWorkBudget& Budget;
  // The whole file the segment was read from, or null for a segment that stands alone.
  const TkivSegmentList* File = nullptr;
  // False when the payload is one piece of data split over several segments and the whole
  // is not at hand (a segment file of one piece, or a file that lacks some of the pieces): the
  // payload is then the piece's as it stands, its header included, and the decoder shows the
  // piece's own fields and what it can of the rest.
  bool Whole = true;
  // The segment's marker: one decoder may serve several (the frame headers do).
  uint8_t Marker = 0;
  // Where Segment stands in File; -1 for a segment that stands alone.
  int32_t Index = -1;
};

// Thrown by a decoder that cannot go on with data that contradicts itself; the message is
// shown as a problem where the description stops.
class EkivDescribeError : public EkivDecodeError {
public:
  using EkivDecodeError::EkivDecodeError;
};

using TkivDescribe = void (*)(const TkivExtendedInput& Input, TkivDescription& Out);

// Data split over several segments: the whole a piece belongs to and its place in it.
enum class TkivPieceOrder : uint8_t {
  None,        // every segment is whole
  BySequence,  // pieces carry a sequence number, 1 to Total (ICC profiles, JUMBF boxes)
  ByOffset,    // pieces carry the byte offset of their data in the whole (extended XMP)
  InFileOrder, // the pieces follow one another in the file and carry no place of their own
               // (resource blocks split over consecutive segments)
};

struct TkivPiece {
  // The whole the piece belongs to: a GUID, a box instance; empty when a file has one.
  std::string Key;
  // Its sequence number or the offset of its data in the whole, as the decoder's order says;
  // not used in file order.
  int64_t Place = 0;
  // How many pieces, or bytes, the whole declares; 0 when the piece does not say (the whole is
  // then complete when its places leave no gap).
  int64_t Total = 0;
  // Where the piece's own data starts in the payload after the identifier.
  int64_t DataStart = 0;
};

// Reads a piece's header from the payload after the identifier; false when the bytes are no
// piece (the segment is then described alone).
using TkivReadPiece = bool (*)(TStream& Payload, TkivPiece& Piece);

struct TkivExtendedDecoder {
  uint8_t Marker;
  // The exact bytes after the length field; empty for every segment of the marker.
  std::string_view Identifier;
  // The heading of the extended part.
  std::string_view Title;
  TkivDescribe Describe;
  TkivPieceOrder Pieces = TkivPieceOrder::None;
  TkivReadPiece ReadPiece = nullptr;
};

// The decoder for a segment whose bytes (FF, marker, length, payload) are Segment, or null.
// The longest identifier that matches wins, so that a specific row goes before a general one.
const TkivExtendedDecoder* FindExtendedDecoder(const uint8_t* Segment, int64_t Size);
