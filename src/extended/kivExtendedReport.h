#pragma once
// The extended parts of a report: after each segment's own report, what the extended decoders
// find in it, each under a heading of its own, in the page and in the information tree.
//
// A segment's bytes may hold several marker segments (the viewer reads consecutive pieces of
// some kinds as one); each is a piece here. In a whole file the pieces of data split over
// several segments are gathered: those of one decoder with the same key are joined in order,
// and the decoder describes the joined data once, after the segment of the first piece; what
// is missing, repeated or overlapping is said there. A whole that lacks pieces is not joined:
// each piece is described alone, after its own segment. A segment that stands alone has its
// pieces described alone.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "extended/kivExtendedDecoders.h"
#include "framework/kivInfo.h"

// Which decoder describes the marker segment Segment (Size bytes); FindExtendedDecoder.
using TkivFindDecoder = const TkivExtendedDecoder* (*)(const uint8_t* Segment, int64_t Size);

class TkivExtendedReport final : public IkivSegmentReportExtension {
public:
  // For segments that stand alone (File null: each segment file is its own report), or for the
  // segments of File; the decoders are those Find names (the table's, but for tests).
  explicit TkivExtendedReport(const TkivSegmentList* File = nullptr,
                              TkivFindDecoder Find = FindExtendedDecoder);
  ~TkivExtendedReport() override;
  TkivExtendedReport(const TkivExtendedReport&) = delete;
  TkivExtendedReport& operator=(const TkivExtendedReport&) = delete;

  // The extended parts of Segment at the end of Parent.
  void WriteSegmentHTML(TkivSegment& Segment, TkivHTMLItem& Parent) override;
  // The summary that opens a whole JPEG file's page (other lists have none).
  void WriteListSummaryHTML(TkivSegmentList& List, TkivHTMLItem& Parent) override;
  // The same parts added to the segment's information tree.
  void FillSegmentInfo(TkivSegment& Segment);
  // The summary as the list's own information tree (SummaryInfo).
  void FillListInfo(TkivSegmentList& List);

  // One marker segment inside a segment's bytes, with its decoder.
  struct TPieceAt {
    TkivSegment* Segment;
    int32_t SegmentIndex; // in the file; -1 alone
    int64_t Offset, Size; // in Segment->Data: FF, marker, length, payload
    const TkivExtendedDecoder* Decoder;
    TkivPiece Header = {}; // for decoders of data split over several segments
    uint8_t Marker() const { return Segment->Data.Memory()[Offset + 1]; }
  };
  // One description: of a piece, or of a whole joined from pieces.
  struct TPart {
    const TkivExtendedDecoder* Decoder;
    size_t At;                  // the piece after whose segment the part is described
    std::vector<size_t> Pieces; // into Pieces, in the order of the whole
    bool Whole;                 // what the decoder is told
    bool Joined;                // the pieces' data joined make the whole
    std::vector<std::string> Problems = {};
    std::vector<int64_t> Skips = {}; // by offset: bytes at each piece's start the one before held
  };
  static constexpr size_t NoPiece = size_t(-1);
  // What a segment shows: a part, or (Piece set) one of its pieces that the segment holds while
  // the part is described after another segment.
  struct TShownPart {
    size_t Part;
    size_t Piece;
  };

private:
  void AddPieces(TkivSegment& Segment, int32_t Index);
  // Records the part, shown after the segment of its piece At, and the other pieces of the
  // whole as shown after their own segments.
  void AddPart(TPart Part, const std::vector<size_t>& Elsewhere);
  void Gather();
  // The pieces of one whole, in file order: joined when they make the whole, else each alone.
  void AddWhole(const std::vector<size_t>& InFileOrder);
  const std::vector<TShownPart>& PartsOf(TkivSegment& Segment);
  void Describe(const TShownPart& Shown, TkivDescription& Out);

  const TkivSegmentList* File;
  TkivFindDecoder Find;
  std::vector<TPieceAt> Pieces;
  std::vector<TPart> Parts;
  std::map<const TkivSegment*, std::vector<TShownPart>> Shown;
};

// The marker segments inside Bytes, one after another, each as its offset and size (cut at the
// end of Bytes); a marker without a length, or bytes that start no segment, end the walk. The
// stream's position is left as it was.
std::vector<std::pair<int64_t, int64_t>> MarkerSegmentsIn(TStream& Bytes);
