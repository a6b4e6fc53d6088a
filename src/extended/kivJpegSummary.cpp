#include "extended/kivJpegSummary.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "extended/kivExtendedDecoders.h"
#include "extended/kivIccProfile.h"
#include "extended/kivJpegStructure.h"
#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "framework/kivJpegBitmap.h"
#include "tiff/kivJpegExifSegment2.h"

namespace {

uint8_t MarkerOf(const TkivSegment& Segment) {
  const TMemoryStream& Data = Segment.Data;
  return Data.GetSize() >= 2 && Data.Memory()[0] == 0xFF ? Data.Memory()[1] : 0;
}

// Whether the segment's payload starts with Identifier.
bool HasIdentifier(const TkivSegment& Segment, std::string_view Identifier) {
  const TMemoryStream& Data = Segment.Data;
  return Data.GetSize() >= int64_t(4 + Identifier.size()) &&
         std::string_view(reinterpret_cast<const char*>(Data.Memory()) + 4, Identifier.size()) ==
             Identifier;
}

// Where the first image ends: after its end-of-image marker, or where the walk stopped.
int64_t FirstImageEnd(const TkivSegmentList& File) {
  int64_t End = 0;
  for (int32_t I = 0; I < File.Count(); ++I) {
    const TkivSegment& Segment = File.Segment(I);
    End = std::max(End, Segment.FileOffset + Segment.FileSize);
    if (MarkerOf(Segment) == 0xD9) break;
  }
  return End;
}

// The first image alone, read from the file in pieces: the decoder reads its bytes to the end
// of the stream. False with Why set when there is none.
bool FirstImage(TkivSegmentList& File, std::optional<TStreamRange>& Image, std::string& Why) {
  if (!File.Source) {
    Why = "the file's bytes are not at hand";
    return false;
  }
  TStream& Source = *File.Source;
  const int64_t Start = File.Count() > 0 ? File.Segment(0).FileOffset : 0;
  const int64_t Size = std::min(FirstImageEnd(File), Source.GetSize()) - Start;
  if (Size <= 0) {
    Why = "the file holds no image";
    return false;
  }
  Image.emplace(Source, Start, Size);
  return true;
}

void DescribePicture(TkivSegmentList& File, TkivDescription& Out) {
  std::optional<TStreamRange> Image;
  std::string Why;
  if (!FirstImage(File, Image, Why)) {
    Out.Problem("No picture: " + Why);
  } else if (Out.WantsPixels()) {
    auto Bitmap = TkivJpegBitmap::ClassObject().Create();
    auto& Jpeg = static_cast<TkivJpegBitmap&>(*Bitmap);
    Jpeg.MaxSide = SummaryPictureSide;
    Jpeg.ReadThumbnail(*Image, File.WorkBudget());
    if (!Jpeg.Failure.empty() && int64_t(Jpeg.Width()) * Jpeg.Height() <= 0)
      Out.Problem("No picture: " + Jpeg.Failure);
    else
      Out.Picture("Picture", std::move(Bitmap));
  } else {
    // What the picture would be, told as the page's back-ends tell a picture.
    try {
      const TkivPictureSize Size =
          TkivJpegImage().ReadSize(*Image, File.WorkBudget(), SummaryPictureSide);
      Out.Field("Picture", Format("%d x %d pixels", Size.Width, Size.Height));
    } catch (const EkivPictureRefused& E) {
      Out.Field("Picture", PictureRefusalText(E.Refusal));
    } catch (const Exception& E) {
      Out.Problem(std::string("No picture: ") + E.what());
    }
  }
}

std::string ColourText(const TkivJpegFrame& Frame, int AdobeTransform) {
  const size_t Count = Frame.Components.size();
  if (Count == 1) return "greyscale";
  if (Count == 3) {
    const bool RgbIds = Frame.Components[0].Id == 'R' && Frame.Components[1].Id == 'G' &&
                        Frame.Components[2].Id == 'B';
    return AdobeTransform == 0 || RgbIds ? "RGB" : "YCbCr";
  }
  if (Count == 4) return AdobeTransform == 2 ? "YCCK" : "CMYK";
  return {};
}

// The text of an entry, or empty; trailing blanks go (cameras pad their names).
std::string EntryText(const kivTiffInfo2::TkivTiffIFD* IFD, uint16_t Tag) {
  const kivTiffInfo2::TkivTiffEntry* Entry = IFD ? IFD->FindEntry(Tag) : nullptr;
  if (!Entry) return {};
  std::string S;
  try {
    Entry->GetValueText(S);
  } catch (const Exception&) {
    return {};
  }
  while (!S.empty() && (S.back() == ' ' || S.back() == '\0'))
    S.pop_back();
  return S;
}

const kivTiffInfo2::TkivTiffIFD* SubIFD(const kivTiffInfo2::TkivTiffIFD* IFD, uint16_t Tag) {
  const kivTiffInfo2::TkivTiffEntry* Entry = IFD ? IFD->FindEntry(Tag) : nullptr;
  return Entry && Entry->Count() > 0 ? &Entry->IFD(0) : nullptr;
}

void DescribeExif(const TkivSegmentList& File, TkivDescription& Out) {
  for (int32_t I = 0; I < File.Count(); ++I) {
    const auto* Exif = dynamic_cast<const TkivJpegExifSegment*>(&File.Segment(I));
    if (!Exif || !Exif->Tiff || Exif->Tiff->Count() == 0) continue;
    const kivTiffInfo2::TkivTiffIFD* Main = &Exif->Tiff->IFD(0);
    const std::string Make = EntryText(Main, 0x010F), Model = EntryText(Main, 0x0110);
    // Many models repeat the maker's name.
    const std::string Camera = Model.rfind(Make, 0) == 0
                                   ? Model
                                   : Make + (Make.empty() || Model.empty() ? "" : " ") + Model;
    if (!Camera.empty()) Out.Field("Camera", Camera);
    const std::string Software = EntryText(Main, 0x0131);
    if (!Software.empty()) Out.Field("Software", Software);
    std::string Date = EntryText(SubIFD(Main, 0x8769), 0x9003);
    const char* Which = "when the picture was taken";
    if (Date.empty()) {
      Date = EntryText(Main, 0x0132);
      Which = "when the file was last changed";
    }
    if (!Date.empty()) Out.Field("Date", Date, Which);
    return;
  }
}

// The ICC profile's pieces joined in sequence order, as far as they go without a gap.
std::string IccDescription(const TkivSegmentList& File, TkivWorkBudget& Budget) {
  static constexpr std::string_view Identifier{"ICC_PROFILE\0", 12};
  std::map<int, const TkivSegment*> Pieces;
  for (int32_t I = 0; I < File.Count(); ++I) {
    const TkivSegment& Segment = File.Segment(I);
    if (MarkerOf(Segment) == 0xE2 && HasIdentifier(Segment, Identifier) &&
        Segment.Data.GetSize() > 18)
      Pieces.emplace(Segment.Data.Memory()[16], &Segment);
  }
  // A description stands near the profile's start; a hostile profile of many pieces is not
  // copied whole for its name.
  constexpr int64_t MaxJoined = 1 << 20;
  TMemoryStream Profile;
  int Next = 1;
  for (const auto& [Sequence, Segment] : Pieces) {
    if (Sequence != Next++ || Profile.GetSize() >= MaxJoined) break;
    const int64_t Size = std::min(Segment->Data.GetSize() - 18, MaxJoined - Profile.GetSize());
    if (Budget.Take(TkivWork::BytesCopied, Size) < Size) break;
    Profile.WriteBuffer(Segment->Data.Memory() + 18, Size);
  }
  Profile.SetPosition(0);
  return IccProfileDescription(Profile);
}

void DescribeContents(const TkivSegmentList& File, TkivDescription& Out) {
  struct TKind {
    std::string Description;
    int32_t First;
    int Count;
  };
  std::vector<TKind> Kinds;
  for (int32_t I = 0; I < File.Count(); ++I) {
    const std::string Description = File.Segment(I).ClassType().GetDescription();
    auto Kind = std::find_if(Kinds.begin(), Kinds.end(),
                             [&](const TKind& K) { return K.Description == Description; });
    if (Kind == Kinds.end())
      Kinds.push_back({Description, I, 1});
    else
      ++Kind->Count;
  }
  TkivDescriptionTable Table(Out, "What the file carries", {"Kind", "Segments", "First"});
  for (const TKind& Kind : Kinds)
    Table.Row({Kind.Description, std::to_string(Kind.Count), std::to_string(Kind.First)},
              TkivMark::None, Format("segment%d", Kind.First));
}

} // namespace

void DescribeJpegSummary(TkivSegmentList& File, TkivDescription& Out) {
  DescribePicture(File, Out);

  TkivJpegFrame Frame;
  int32_t FrameIndex = -1;
  for (int32_t I = 0; I < File.Count() && FrameIndex < 0; ++I)
    if (IsFrameMarker(MarkerOf(File.Segment(I)))) FindFrame(File, I + 1, Frame, &FrameIndex);
  if (FrameIndex >= 0) {
    Out.Field("Size", Format("%u x %u pixels", unsigned(Frame.Width), unsigned(Frame.Height)));
    int AdobeTransform = -1;
    for (int32_t I = 0; I < FrameIndex; ++I) {
      const TkivSegment& Segment = File.Segment(I);
      if (MarkerOf(Segment) == 0xEE && HasIdentifier(Segment, "Adobe") &&
          Segment.Data.GetSize() > 15)
        AdobeTransform = Segment.Data.Memory()[15];
    }
    Out.Field("Components", int64_t(Frame.Components.size()), ColourText(Frame, AdobeTransform));
    if (Frame.Components.size() > 1) Out.Field("Subsampling", SubsamplingText(Frame));
    Out.Field("Process", ProcessText(Frame.Marker));
    // The quality of the table the first component (the luminance) is quantized with.
    for (int32_t I = 0; I < File.Count() && !Frame.Components.empty(); ++I) {
      if (MarkerOf(File.Segment(I)) != 0xDB) continue;
      TkivBytesView Payload(File.Segment(I));
      Payload.SetPosition(4);
      bool Found = false;
      try {
        while (HasBytes(Payload, 1) && !Found) {
          TkivQuantTable Table;
          ReadQuantTable(Payload, Table);
          if (Table.Id != Frame.Components[0].Table) continue;
          const TkivQuantQuality Quality = QualityOf(Table);
          if (Quality.Known) Out.Field("Quality", QualityText(Quality));
          Found = true;
        }
      } catch (const EReadError&) {
      } catch (const EkivDescribeError&) {
      }
      if (Found) break;
    }
  } else {
    Out.Problem("No frame header: the size and coding of the picture are not known");
  }
  DescribeExif(File, Out);
  const std::string Icc = IccDescription(File, File.WorkBudget());
  if (!Icc.empty()) Out.Field("ICC profile", Icc);
  DescribeContents(File, Out);
}
