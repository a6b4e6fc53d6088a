#include "framework/kiv1BytesPerPixelBitmap.h"

#include <algorithm>
#include <unordered_map>

#include "framework/kivInfoStream.h"

namespace {
uint32_t Key(TkivColor C) {
  return uint32_t(C.R) << 16 | uint32_t(C.G) << 8 | C.B;
}
} // namespace

const kivInfo::TBitmap::TClass& Tkiv1BytesPerPixelBitmap::ClassObject() {
  static const TkivClassOf<Tkiv1BytesPerPixelBitmap> Class("Tkiv1BytesPerPixelBitmap");
  return Class;
}

void Tkiv1BytesPerPixelBitmap::ReadThumbnail(TStream& Stream, TkivWorkBudget& Budget) {
  const int32_t W = ReadByteOr(Stream, 0);
  const int32_t H = ReadByteOr(Stream, 0);
  const int64_t PaletteBytes = std::min<int64_t>(768, BytesLeft(Stream));
  const std::string Palette = ReadString(Stream, PaletteBytes);
  std::copy(Palette.begin(), Palette.end(), ColorTable.begin());
  const int64_t N = std::min<int64_t>(int64_t(W) * H, BytesLeft(Stream));
  if (!TakePicture(Budget, W, H)) {
    // The pixels are the picture's, shown or not.
    Stream.SetPosition(Stream.GetPosition() + N);
    return;
  }
  SetPixelFormat(TkivPixelFormat::pf24bit);
  SetSize(W, H);
  for (int64_t I = 0; I < N; ++I)
    SetPixel(int32_t(I % W), int32_t(I / W), Entry(ReadByte(Stream)));
}

// Only the low bytes of the size fit the form; the size and the pixels written agree.
void Tkiv1BytesPerPixelBitmap::WriteThumbnail(TStream& Stream) {
  const int32_t W = Width() & 0xFF, H = Height() & 0xFF;
  WriteByte(Stream, uint8_t(W));
  WriteByte(Stream, uint8_t(H));
  Stream.WriteBuffer(ColorTable.data(), int64_t(ColorTable.size()));
  // The first entry of each colour; colours not in the palette are written as entry 0.
  std::unordered_map<uint32_t, uint8_t> IndexOf;
  for (int I = 255; I >= 0; --I)
    IndexOf[Key(Entry(I))] = uint8_t(I);
  for (int32_t Y = 0; Y < H; ++Y)
    for (int32_t X = 0; X < W; ++X) {
      const auto It = IndexOf.find(Key(GetPixel(X, Y)));
      WriteByte(Stream, It == IndexOf.end() ? 0 : It->second);
    }
}

int64_t Tkiv1BytesPerPixelBitmap::GetDataSize() {
  return int64_t(Width() & 0xFF) * (Height() & 0xFF) + 770;
}

bool Tkiv1BytesPerPixelBitmap::FillPalette() {
  std::unordered_map<uint32_t, int> Filled;
  for (int32_t Y = 0; Y < Height(); ++Y)
    for (int32_t X = 0; X < Width(); ++X) {
      const TkivColor C = GetPixel(X, Y);
      if (Filled.count(Key(C))) continue;
      if (Filled.size() == 256) return false;
      const size_t I = Filled.size();
      Filled[Key(C)] = int(I);
      ColorTable[I * 3] = C.R;
      ColorTable[I * 3 + 1] = C.G;
      ColorTable[I * 3 + 2] = C.B;
    }
  return true;
}

void Tkiv1BytesPerPixelBitmap::CopyFrom(const TkivDIBitmap& Source) {
  TBitmap::CopyFrom(Source);
  if (FillPalette()) return;
  SetPixelFormat(TkivPixelFormat::pf8bit);
  FillPalette();
  // Back to 24 bits: the colours are now the reduced ones, and later pixels are set as
  // given instead of being matched to the reduction's palette.
  SetPixelFormat(TkivPixelFormat::pf24bit);
}
