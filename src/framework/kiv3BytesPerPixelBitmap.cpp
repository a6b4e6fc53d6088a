#include "framework/kiv3BytesPerPixelBitmap.h"

#include <algorithm>

#include "framework/kivInfoStream.h"

const kivInfo::TBitmap::TClass& Tkiv3BytesPerPixelBitmap::ClassObject() {
  static const TkivClassOf<Tkiv3BytesPerPixelBitmap> Class("Tkiv3BytesPerPixelBitmap");
  return Class;
}

void Tkiv3BytesPerPixelBitmap::ReadThumbnail(TStream& Stream, TkivWorkBudget& Budget) {
  const int32_t W = ReadByteOr(Stream, 0);
  const int32_t H = ReadByteOr(Stream, 0);
  const int64_t N = std::min<int64_t>(int64_t(W) * H * 3, BytesLeft(Stream));
  if (!TakePicture(Budget, W, H)) {
    // The pixels are the picture's, shown or not.
    Stream.SetPosition(Stream.GetPosition() + N / 3 * 3);
    return;
  }
  SetPixelFormat(TkivPixelFormat::pf24bit);
  SetSize(W, H);
  for (int64_t I = 0; I < N / 3; ++I) {
    const uint8_t R = ReadByte(Stream), G = ReadByte(Stream), B = ReadByte(Stream);
    SetPixel(int32_t(I % W), int32_t(I / W), {R, G, B});
  }
}

// Only the low bytes of the size fit the form; the size and the pixels written agree.
void Tkiv3BytesPerPixelBitmap::WriteThumbnail(TStream& Stream) {
  const int32_t W = Width() & 0xFF, H = Height() & 0xFF;
  WriteByte(Stream, uint8_t(W));
  WriteByte(Stream, uint8_t(H));
  for (int32_t Y = 0; Y < H; ++Y)
    for (int32_t X = 0; X < W; ++X) {
      const TkivColor C = GetPixel(X, Y);
      const uint8_t Pixel[3] = {C.R, C.G, C.B};
      Stream.WriteBuffer(Pixel, 3);
    }
}

int64_t Tkiv3BytesPerPixelBitmap::GetDataSize() {
  return int64_t(Width() & 0xFF) * (Height() & 0xFF) * 3 + 2;
}
