#include "framework/kivJpegBitmap.h"

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
  // A thumbnail that cannot be decoded, or not held in memory, must not cost the page:
  // whatever goes wrong, the picture shows what could be decoded.
  try {
    FJpegImage->LoadFromStream(Stream, Budget);
  } catch (const EkivPictureRefused& E) {
    Refusal = E.Refusal;
  } catch (...) {
  }
  try {
    SetSize(FJpegImage->Width(), FJpegImage->Height());
    FJpegImage->Draw(*this, 0, 0);
  } catch (...) {
  }
  FEncodedData->Clear();
  const int64_t Consumed = Stream.GetPosition() - Start;
  Stream.SetPosition(Start);
  if (Consumed > 0) FEncodedData->CopyFrom(Stream, Consumed);
  FChanged = false;
}

int64_t TkivJpegBitmap::GetDataSize() {
  if (FChanged) {
    FJpegImage->Assign(*this);
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
