#include "framework/kivJpegBitmap.h"

#include "base/kivException.h"
#include "framework/kivInfoStream.h"

namespace {
void ExchangeRedBlue(TkivDIBitmap& Picture) {
  auto Notify = std::move(Picture.OnChange); // the caller stands for the whole change
  for (int32_t Y = 0; Y < Picture.Height(); ++Y)
    for (int32_t X = 0; X < Picture.Width(); ++X) {
      const TkivColor C = Picture.GetPixel(X, Y);
      Picture.SetPixel(X, Y, {C.B, C.G, C.R});
    }
  Picture.OnChange = std::move(Notify);
}
} // namespace

const kivInfo::TBitmap::TClass& TkivJpegBitmap::ClassObject() {
  static const TkivClassOf<TkivJpegBitmap> Class("TkivJpegBitmap");
  return Class;
}

TkivJpegBitmap::TkivJpegBitmap(const TClass& Class)
    : TBitmap(Class), FJpegImage(std::make_unique<TkivJpegImage>()),
      FEncodedData(std::make_unique<TMemoryStream>()) {}

TkivJpegBitmap::~TkivJpegBitmap() = default;

void TkivJpegBitmap::Changed() {
  FChanged = true;
  TBitmap::Changed();
}

void TkivJpegBitmap::ReadThumbnail(TStream& Stream, TkivWorkBudget& Budget) {
  const int64_t Start = Stream.GetPosition();
  if (Budget.LeaveOutPicture()) {
    // Beyond the pictures a report shows nothing is decoded; the bytes are kept as they are.
    Refusal = {.Verdict = TkivPictureVerdict::TooMany};
    SetSize(0, 0);
    FEncodedData->Clear();
    FEncodedData->CopyFrom(Stream, BytesLeft(Stream));
    FChanged = false;
    return;
  }
  // A thumbnail that cannot be decoded must not cost the page: the picture shows what could
  // be decoded.
  Failure.clear();
  try {
    FJpegImage->LoadFromStream(Stream, Budget, MaxSide);
  } catch (const EkivPictureRefused& E) {
    Refusal = E.Refusal;
  } catch (const EkivDecodeError& E) {
    Failure = E.what();
  } catch (const EReadError& E) {
    Failure = E.what();
  }
  SetSize(FJpegImage->Width(), FJpegImage->Height());
  FJpegImage->Draw(*this, 0, 0);
  if (BlueRedOrder) ExchangeRedBlue(*this);
  FEncodedData->Clear();
  FChanged = false;
  if (MaxSide > 0) {
    // A picture read to be shown small is read from a whole image, most of a file perhaps,
    // and reduced its bytes are not this picture's: they are not kept, and are encoded again
    // from the pixels should they be asked for.
    FChanged = Width() > 0 && Height() > 0;
    return;
  }
  const int64_t Consumed = Stream.GetPosition() - Start;
  Stream.SetPosition(Start);
  if (Consumed > 0) FEncodedData->CopyFrom(Stream, Consumed);
}

int64_t TkivJpegBitmap::GetDataSize() {
  if (FChanged) {
    if (BlueRedOrder) {
      TkivDIBitmap Stored;
      Stored.SetSize(Width(), Height());
      Stored.Draw(0, 0, *this);
      ExchangeRedBlue(Stored);
      FJpegImage->Assign(Stored);
    } else {
      FJpegImage->Assign(*this);
    }
    FEncodedData->Clear();
    FJpegImage->SaveToStream(*FEncodedData);
    FChanged = false;
  }
  return FEncodedData->GetSize();
}

void TkivJpegBitmap::WriteThumbnail(TStream& Stream) {
  const int64_t Size = GetDataSize();
  FEncodedData->SetPosition(0);
  if (Size > 0) Stream.CopyFrom(*FEncodedData, Size);
}
