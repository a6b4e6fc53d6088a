#include "extended/kivExtendedReport.h"

#include <algorithm>
#include <cstring>
#include <tuple>

#include "base/kivException.h"
#include "extended/kivDescriptionHTML.h"
#include "extended/kivDescriptionTree.h"
#include "extended/kivJpegSummary.h"
#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "framework/kivUtf8.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegInfo.h"

namespace {

// The payload of a piece after its decoder's identifier: from the identifier's end to the end
// of the payload the length declares (or of the bytes at hand).
TkivBytesView PayloadOf(const TkivExtendedReport::TPieceAt& Piece) {
  const uint8_t* Bytes = Piece.Segment->Data.Memory() + Piece.Offset;
  const int64_t Start = 4 + int64_t(Piece.Decoder->Identifier.size());
  return TkivBytesView(Bytes + Start, Piece.Size - Start);
}

// The piece's own data in the whole: its payload from the header's DataStart on.
int64_t DataSize(const TkivExtendedReport::TPieceAt& Piece) {
  return std::max<int64_t>(PayloadOf(Piece).GetSize() - Piece.Header.DataStart, 0);
}

std::string SegmentsText(const std::vector<int32_t>& Indexes) {
  // A whole has as many pieces as a file has segments; the list stays short.
  constexpr size_t Shown = 16;
  std::string S;
  for (size_t I = 0; I < Indexes.size() && I < Shown; ++I)
    S += (I == 0 ? "" : I + 1 == Indexes.size() ? " and " : ", ") + std::to_string(Indexes[I]);
  if (Indexes.size() > Shown) S += Format(" and %zu more", Indexes.size() - Shown);
  return S;
}

std::string RangeText(int64_t First, int64_t Last) {
  return First == Last ? std::to_string(First)
                       : std::to_string(First) + " to " + std::to_string(Last);
}

void RunDecoder(const TkivExtendedDecoder& Decoder, const TkivExtendedInput& Input,
                TkivDescription& Out) {
  try {
    Decoder.Describe(Input, Out);
  } catch (const EReadError&) {
    Out.Problem("The data ends inside a field; what the description shows was read before");
    return;
  } catch (const EkivDecodeError& E) {
    Out.Problem(E.Message());
  }
  // Every byte is accounted for: what the decoder did not read is shown as it is.
  const int64_t Left = BytesLeft(Input.Payload);
  if (Left > 0) Out.Hex("Not decoded", Input.Payload, Left);
}

} // namespace

std::vector<std::pair<int64_t, int64_t>> MarkerSegmentsIn(TStream& Bytes) {
  std::vector<std::pair<int64_t, int64_t>> Found;
  const int64_t Saved = Bytes.GetPosition();
  Bytes.SetPosition(0);
  while (HasBytes(Bytes, 4)) {
    const int64_t Offset = Bytes.GetPosition();
    if (ReadByte(Bytes) != 0xFF) break;
    const uint8_t Marker = ReadByte(Bytes);
    // Markers without a length, and what is no marker at all.
    if (Marker == 0x00 || Marker == 0x01 || Marker == 0xFF || (Marker >= 0xD0 && Marker <= 0xD9))
      break;
    const uint16_t Length = ReadWord(Bytes, true);
    if (Length < 2) break;
    const int64_t Size = std::min<int64_t>(2 + Length, Bytes.GetSize() - Offset);
    Found.emplace_back(Offset, Size);
    Bytes.SetPosition(Offset + Size);
  }
  Bytes.SetPosition(Saved);
  return Found;
}

TkivExtendedReport::TkivExtendedReport(const TkivSegmentList* File, TkivFindDecoder Find)
    : File(File), Find(Find) {
  if (File) Gather();
}

TkivExtendedReport::~TkivExtendedReport() = default;

void TkivExtendedReport::AddPieces(TkivSegment& Segment, int32_t Index) {
  // Only marker segments: the pieces of a file that are none (entropy-coded data, trailing
  // data) may hold any bytes.
  if (!dynamic_cast<const TkivJpegSegment*>(&Segment)) return;
  for (const auto& [Offset, Size] : MarkerSegmentsIn(Segment.Data)) {
    const TkivExtendedDecoder* Decoder = Find(Segment.Data.Memory() + Offset, Size);
    if (Decoder) Pieces.push_back({&Segment, Index, Offset, Size, Decoder});
  }
}

void TkivExtendedReport::AddPart(TPart Part, const std::vector<size_t>& Elsewhere) {
  const size_t Index = Parts.size();
  const TkivSegment* At = Pieces[Part.At].Segment;
  Parts.push_back(std::move(Part));
  Shown[At].push_back({Index, NoPiece});
  for (const size_t Piece : Elsewhere)
    if (Pieces[Piece].Segment != At) Shown[Pieces[Piece].Segment].push_back({Index, Piece});
}

void TkivExtendedReport::Gather() {
  for (int32_t I = 0; I < File->Count(); ++I)
    AddPieces(File->Segment(I), I);
  // The pieces of each whole, in file order; wholes in the order of their first pieces.
  std::vector<std::vector<size_t>> Wholes;
  // Each image of a file has wholes of its own (a gain map its own ICC profile).
  std::map<std::tuple<const TkivExtendedDecoder*, int32_t, std::string>, size_t> WholeOf;
  const auto* Jpeg = dynamic_cast<const TkivJpegFile*>(File);
  const auto ImageOf = [&](int32_t Index) {
    int32_t Image = 0;
    if (Jpeg)
      for (size_t K = 1; K < Jpeg->Images.size() && Jpeg->Images[K].First <= Index; ++K)
        Image = int32_t(K);
    return Image;
  };
  for (size_t I = 0; I < Pieces.size(); ++I) {
    TPieceAt& Piece = Pieces[I];
    const TkivExtendedDecoder& Decoder = *Piece.Decoder;
    if (Decoder.Pieces == TkivPieceOrder::None) {
      AddPart({&Decoder, I, {I}, true, false}, {});
      continue;
    }
    bool IsPiece = true;
    if (Decoder.ReadPiece) {
      TkivBytesView Payload = PayloadOf(Piece);
      try {
        IsPiece = Decoder.ReadPiece(Payload, Piece.Header);
      } catch (const EReadError&) {
        IsPiece = false;
      }
      IsPiece =
          IsPiece && Piece.Header.DataStart >= 0 && Piece.Header.DataStart <= Payload.GetSize();
    } else if (Decoder.Pieces != TkivPieceOrder::InFileOrder) {
      IsPiece = false;
    }
    if (!IsPiece) {
      AddPart({&Decoder, I, {I}, false, false}, {});
      continue;
    }
    const auto Key = std::make_tuple(&Decoder, ImageOf(Piece.SegmentIndex), Piece.Header.Key);
    const auto [It, New] = WholeOf.try_emplace(Key, Wholes.size());
    if (New) Wholes.emplace_back();
    Wholes[It->second].push_back(I);
  }
  for (const std::vector<size_t>& Whole : Wholes)
    AddWhole(Whole);
}

void TkivExtendedReport::AddWhole(const std::vector<size_t>& InFileOrder) {
  const TkivExtendedDecoder& Decoder = *Pieces[InFileOrder.front()].Decoder;
  TPart Part{&Decoder, InFileOrder.front(), {}, true, true};
  bool Complete = true;
  const auto PlaceOf = [this](size_t I) { return Pieces[I].Header.Place; };
  std::vector<size_t> Ordered = InFileOrder;
  if (Decoder.Pieces != TkivPieceOrder::InFileOrder)
    std::stable_sort(Ordered.begin(), Ordered.end(),
                     [&](size_t A, size_t B) { return PlaceOf(A) < PlaceOf(B); });
  const int64_t Total = Pieces[InFileOrder.front()].Header.Total;
  for (const size_t I : InFileOrder)
    if (Pieces[I].Header.Total != Total) {
      Part.Problems.push_back(Format("The pieces declare different totals: %lld and %lld; the "
                                     "first piece's is used",
                                     static_cast<long long>(Total),
                                     static_cast<long long>(Pieces[I].Header.Total)));
      break;
    }
  if (Decoder.Pieces == TkivPieceOrder::InFileOrder) {
    Part.Pieces = Ordered;
  } else if (Decoder.Pieces == TkivPieceOrder::BySequence) {
    int64_t Last = 0; // the place of the last piece taken
    for (const size_t I : Ordered) {
      const int64_t Place = PlaceOf(I);
      if (Place < 1 || (Total > 0 && Place > Total)) {
        Part.Problems.push_back(Format("Piece %lld lies outside 1 to %lld and is not used",
                                       static_cast<long long>(Place),
                                       static_cast<long long>(Total > 0 ? Total : Last)));
        continue;
      }
      if (Place == Last) {
        Part.Problems.push_back(Format("Piece %lld appears more than once; the first is used",
                                       static_cast<long long>(Place)));
        continue;
      }
      if (Place > Last + 1) {
        Complete = false;
        Part.Problems.push_back("Missing: piece " + RangeText(Last + 1, Place - 1));
      }
      Part.Pieces.push_back(I);
      Last = Place;
    }
    if (Total > Last) {
      Complete = false;
      Part.Problems.push_back("Missing: piece " + RangeText(Last + 1, Total));
    }
  } else {
    int64_t End = 0; // the bytes of the whole that the pieces taken cover
    for (const size_t I : Ordered) {
      const int64_t Place = PlaceOf(I), Size = DataSize(Pieces[I]);
      if (Place < 0) {
        Part.Problems.push_back(Format("A piece declares the offset %lld and is not used",
                                       static_cast<long long>(Place)));
        continue;
      }
      if (Place + Size <= End) {
        Part.Problems.push_back(Format("The piece at offset %lld repeats bytes of the pieces "
                                       "before it and is not used",
                                       static_cast<long long>(Place)));
        continue;
      }
      if (Place > End) {
        Complete = false;
        Part.Problems.push_back("Missing: bytes " + RangeText(End, Place - 1));
      } else if (Place < End) {
        Part.Problems.push_back(Format("The piece at offset %lld overlaps the one before it by "
                                       "%lld bytes; those are taken from the one before",
                                       static_cast<long long>(Place),
                                       static_cast<long long>(End - Place)));
      }
      Part.Pieces.push_back(I);
      Part.Skips.push_back(std::max<int64_t>(End - Place, 0));
      End = Place + Size;
    }
    if (Total > End) {
      Complete = false;
      Part.Problems.push_back("Missing: bytes " + RangeText(End, Total - 1));
    } else if (Total > 0 && End > Total) {
      Part.Problems.push_back(Format("The pieces hold %lld bytes, more than the %lld the whole "
                                     "declares",
                                     static_cast<long long>(End), static_cast<long long>(Total)));
    }
  }
  if (Complete && !Part.Pieces.empty()) {
    AddPart(std::move(Part), InFileOrder);
    return;
  }
  // Without the whole, each piece is described alone, the first with what is wrong.
  Part.Problems.insert(Part.Problems.begin(),
                       "The pieces do not make the whole, so each is described alone");
  for (size_t N = 0; N < InFileOrder.size(); ++N) {
    TPart Alone{&Decoder, InFileOrder[N], {InFileOrder[N]}, false, false};
    if (N == 0) Alone.Problems = std::move(Part.Problems);
    AddPart(std::move(Alone), {});
  }
}

const std::vector<TkivExtendedReport::TShownPart>&
TkivExtendedReport::PartsOf(TkivSegment& Segment) {
  if (!File && !Shown.count(&Segment)) {
    // A segment that stands alone: each of its pieces alone, as the decoder reads it.
    const size_t First = Pieces.size();
    AddPieces(Segment, -1);
    for (size_t I = First; I < Pieces.size(); ++I)
      AddPart({Pieces[I].Decoder, I, {I}, Pieces[I].Decoder->Pieces == TkivPieceOrder::None, false},
              {});
  }
  static const std::vector<TShownPart> None;
  const auto It = Shown.find(&Segment);
  return It == Shown.end() ? None : It->second;
}

void TkivExtendedReport::Describe(const TShownPart& Shown, TkivDescription& Out) {
  const TPart& Part = Parts[Shown.Part];
  const TPieceAt& First = Pieces[Part.At];
  if (Shown.Piece != NoPiece) {
    // A piece of a whole that is described after another segment.
    const TPieceAt& Piece = Pieces[Shown.Piece];
    std::string Place;
    switch (Part.Decoder->Pieces) {
    case TkivPieceOrder::BySequence:
      // Pieces that do not declare their count are told by their number alone.
      Place = Piece.Header.Total > 0
                  ? Format("%lld of %lld", static_cast<long long>(Piece.Header.Place),
                           static_cast<long long>(Piece.Header.Total))
                  : std::to_string(Piece.Header.Place);
      break;
    case TkivPieceOrder::ByOffset:
      Place = "bytes from " + std::to_string(Piece.Header.Place);
      break;
    default:
      Place = std::to_string(std::find(Part.Pieces.begin(), Part.Pieces.end(), Shown.Piece) -
                             Part.Pieces.begin() + 1) +
              " of " + std::to_string(Part.Pieces.size());
      break;
    }
    Out.Field("Piece", Place,
              "the whole is described after segment " + std::to_string(First.SegmentIndex));
    return;
  }
  TkivSegment& Segment = *First.Segment;
  TkivWorkBudget& Budget = Segment.WorkBudget();
  if (!Part.Joined) {
    for (const std::string& Problem : Part.Problems)
      Out.Problem(Problem);
    TkivBytesView Payload = PayloadOf(First);
    RunDecoder(*Part.Decoder,
               {Payload, Segment, Budget, File, Part.Whole, First.Marker(), First.SegmentIndex},
               Out);
    return;
  }
  std::vector<int32_t> Indexes;
  int64_t Size = 0;
  for (size_t N = 0; N < Part.Pieces.size(); ++N) {
    Indexes.push_back(Pieces[Part.Pieces[N]].SegmentIndex);
    Size += DataSize(Pieces[Part.Pieces[N]]) - (N < Part.Skips.size() ? Part.Skips[N] : 0);
  }
  Out.Field("Pieces", int64_t(Part.Pieces.size()), "joined from segments " + SegmentsText(Indexes));
  for (const std::string& Problem : Part.Problems)
    Out.Problem(Problem);
  // The joined data costs what the pieces hold, and only what the report has left.
  if (Budget.Take(TkivWork::BytesCopied, Size) < Size) {
    Out.Problem(Format("Not joined: the pieces' %lld bytes are more than this report has left "
                       "for copies",
                       static_cast<long long>(Size)));
    return;
  }
  TMemoryStream Joined;
  Joined.Reserve(Size);
  for (size_t N = 0; N < Part.Pieces.size(); ++N) {
    const TPieceAt& Piece = Pieces[Part.Pieces[N]];
    TkivBytesView Payload = PayloadOf(Piece);
    Payload.SetPosition(Piece.Header.DataStart + (N < Part.Skips.size() ? Part.Skips[N] : 0));
    Joined.CopyFrom(Payload, BytesLeft(Payload));
  }
  Joined.SetPosition(0);
  RunDecoder(*Part.Decoder,
             {Joined, Segment, Budget, File, true, First.Marker(), First.SegmentIndex}, Out);
}

void TkivExtendedReport::WriteSegmentHTML(TkivSegment& Segment, TkivHTMLItem& Parent) {
  for (const TShownPart& Shown : PartsOf(Segment)) {
    AddText(Parent.Create<TkivHTMLH3>(), Utf8ToPageHtml(Parts[Shown.Part].Decoder->Title), true);
    TkivDescriptionHTML Out(Parent, Segment.ReportObjects, Segment.WorkBudget());
    Describe(Shown, Out);
    Out.Finish();
  }
}

void TkivExtendedReport::WriteListSummaryHTML(TkivSegmentList& List, TkivHTMLItem& Parent) {
  if (!dynamic_cast<TkivJpegFile*>(&List)) return;
  AddText(Parent.Create<TkivHTMLH3>(), SummaryTitle);
  TkivDescriptionHTML Out(Parent, List.ReportObjects, List.WorkBudget());
  DescribeJpegSummary(List, Out);
  Out.Finish();
}

void TkivExtendedReport::FillListInfo(TkivSegmentList& List) {
  if (!dynamic_cast<TkivJpegFile*>(&List)) return;
  List.SummaryInfo = std::make_unique<TkivTreeItem>();
  List.SummaryInfo->Name = SummaryTitle;
  TkivDescriptionTree Out(*List.SummaryInfo, List.ReportObjects);
  DescribeJpegSummary(List, Out);
}

void TkivExtendedReport::FillSegmentInfo(TkivSegment& Segment) {
  for (const TShownPart& Shown : PartsOf(Segment)) {
    TkivTreeItem& Root =
        AddInfoItem(*Segment.Info, 0, Utf8ToAnsiText(Parts[Shown.Part].Decoder->Title), {});
    TkivDescriptionTree Out(Root, Segment.ReportObjects);
    Describe(Shown, Out);
  }
}
