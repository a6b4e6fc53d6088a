#include "framework/kivDIBitmap.h"

#include <algorithm>
#include <map>

#include "framework/kivInfoStream.h"

void TkivDIBitmap::SetSize(int32_t Width, int32_t Height) {
  Width = std::max(Width, 0);
  Height = std::max(Height, 0);
  if (Width == FWidth && Height == FHeight) return;
  const size_t N = size_t(Width) * size_t(Height);
  std::vector<TkivColor> NewPixels(Format == TkivPixelFormat::pf24bit ? N : 0);
  std::vector<uint8_t> NewIndexes(Format == TkivPixelFormat::pf8bit ? N : 0);
  for (int32_t Y = 0; Y < std::min(Height, FHeight); ++Y)
    for (int32_t X = 0; X < std::min(Width, FWidth); ++X) {
      const size_t To = size_t(Y) * size_t(Width) + size_t(X);
      if (Format == TkivPixelFormat::pf24bit)
        NewPixels[To] = Pixels[IndexOf(X, Y)];
      else
        NewIndexes[To] = Indexes[IndexOf(X, Y)];
    }
  Pixels = std::move(NewPixels);
  Indexes = std::move(NewIndexes);
  FWidth = Width;
  FHeight = Height;
  Changed();
}

TkivColor TkivDIBitmap::GetPixel(int32_t X, int32_t Y) const {
  if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight) return {};
  return Format == TkivPixelFormat::pf24bit ? Pixels[IndexOf(X, Y)]
                                            : FPalette[Indexes[IndexOf(X, Y)]];
}

void TkivDIBitmap::SetPixel(int32_t X, int32_t Y, TkivColor Color) {
  if (X < 0 || Y < 0 || X >= FWidth || Y >= FHeight) return;
  if (Format == TkivPixelFormat::pf24bit)
    Pixels[IndexOf(X, Y)] = Color;
  else
    Indexes[IndexOf(X, Y)] = NearestIndex(Color);
  Changed();
}

void TkivDIBitmap::SetRow(int32_t Y, const TkivColor* Colors, int32_t Count) {
  if (Y < 0 || Y >= FHeight) return;
  Count = std::clamp(Count, 0, FWidth);
  const size_t Start = IndexOf(0, Y);
  if (Format == TkivPixelFormat::pf24bit)
    std::copy(Colors, Colors + Count, Pixels.begin() + std::ptrdiff_t(Start));
  else
    for (int32_t X = 0; X < Count; ++X)
      Indexes[Start + size_t(X)] = NearestIndex(Colors[X]);
  Changed();
}

void TkivDIBitmap::Draw(int32_t X, int32_t Y, const TkivDIBitmap& Source) {
  auto Notify = std::move(OnChange); // one notification for the whole drawing
  // The part of Source that falls on this picture, in Source's coordinates.
  const int32_t Left = std::max(0, -X), Right = std::min(Source.Width(), FWidth - X);
  const int32_t Top = std::max(0, -Y), Bottom = std::min(Source.Height(), FHeight - Y);
  std::vector<TkivColor> Row;
  for (int32_t SY = Top; SY < Bottom && Left < Right; ++SY) {
    if (Source.Format == TkivPixelFormat::pf24bit) {
      const auto From = Source.Pixels.begin() + std::ptrdiff_t(Source.IndexOf(Left, SY));
      Row.assign(From, From + (Right - Left));
    } else {
      Row.clear();
      for (int32_t SX = Left; SX < Right; ++SX)
        Row.push_back(Source.FPalette[Source.Indexes[Source.IndexOf(SX, SY)]]);
    }
    const size_t To = IndexOf(X + Left, Y + SY);
    if (Format == TkivPixelFormat::pf24bit)
      std::copy(Row.begin(), Row.end(), Pixels.begin() + std::ptrdiff_t(To));
    else
      for (size_t I = 0; I < Row.size(); ++I)
        Indexes[To + I] = NearestIndex(Row[I]);
  }
  OnChange = std::move(Notify);
  Changed();
}

uint8_t TkivDIBitmap::NearestIndex(TkivColor C) const {
  int Best = 0;
  long BestDistance = -1;
  for (int I = 0; I < 256; ++I) {
    const long DR = long(C.R) - FPalette[I].R, DG = long(C.G) - FPalette[I].G,
               DB = long(C.B) - FPalette[I].B;
    const long D = DR * DR + DG * DG + DB * DB;
    if (BestDistance < 0 || D < BestDistance) {
      Best = I;
      BestDistance = D;
      if (D == 0) break;
    }
  }
  return static_cast<uint8_t>(Best);
}

namespace {
// Median cut over the distinct colours of a picture, weighted by their pixel counts.
struct TBox {
  std::vector<std::pair<TkivColor, size_t>> Colors;
  int Channel() const {
    uint8_t Lo[3] = {255, 255, 255}, Hi[3] = {0, 0, 0};
    for (const auto& [C, N] : Colors) {
      const uint8_t V[3] = {C.R, C.G, C.B};
      for (int K = 0; K < 3; ++K) {
        Lo[K] = std::min(Lo[K], V[K]);
        Hi[K] = std::max(Hi[K], V[K]);
      }
    }
    int Best = 0;
    for (int K = 1; K < 3; ++K)
      if (Hi[K] - Lo[K] > Hi[Best] - Lo[Best]) Best = K;
    return Best;
  }
  TkivColor Mean() const {
    double S[3] = {0, 0, 0}, Total = 0;
    for (const auto& [C, N] : Colors) {
      S[0] += double(C.R) * double(N);
      S[1] += double(C.G) * double(N);
      S[2] += double(C.B) * double(N);
      Total += double(N);
    }
    auto Channel = [&](double V) {
      return static_cast<uint8_t>(std::clamp(V / Total + 0.5, 0.0, 255.0));
    };
    return {Channel(S[0]), Channel(S[1]), Channel(S[2])};
  }
};

uint8_t ChannelOf(const TkivColor& C, int K) {
  return K == 0 ? C.R : K == 1 ? C.G : C.B;
}
} // namespace

void TkivDIBitmap::SetPixelFormat(TkivPixelFormat NewFormat) {
  if (NewFormat == Format) return;
  if (NewFormat == TkivPixelFormat::pf24bit) {
    Pixels.resize(Indexes.size());
    for (size_t I = 0; I < Indexes.size(); ++I)
      Pixels[I] = FPalette[Indexes[I]];
    Indexes.clear();
    Format = NewFormat;
    Changed();
    return;
  }
  std::map<uint32_t, size_t> Histogram;
  for (const TkivColor& C : Pixels)
    ++Histogram[uint32_t(C.R) << 16 | uint32_t(C.G) << 8 | C.B];
  std::vector<TBox> Boxes(1);
  for (const auto& [Key, N] : Histogram)
    Boxes[0].Colors.push_back({{uint8_t(Key >> 16), uint8_t(Key >> 8), uint8_t(Key)}, N});
  while (Boxes.size() < 256) {
    // Split the box with the most colours in it at the weighted median of its widest channel.
    auto It = std::max_element(Boxes.begin(), Boxes.end(), [](const TBox& A, const TBox& B) {
      return A.Colors.size() < B.Colors.size();
    });
    if (It->Colors.size() < 2) break;
    const int K = It->Channel();
    std::sort(It->Colors.begin(), It->Colors.end(), [K](const auto& A, const auto& B) {
      return ChannelOf(A.first, K) < ChannelOf(B.first, K);
    });
    size_t Total = 0, Half = 0, Cut = 1;
    for (const auto& P : It->Colors)
      Total += P.second;
    for (size_t I = 0; I + 1 < It->Colors.size(); ++I) {
      Half += It->Colors[I].second;
      Cut = I + 1;
      if (Half * 2 >= Total) break;
    }
    TBox Upper;
    Upper.Colors.assign(It->Colors.begin() + long(Cut), It->Colors.end());
    It->Colors.resize(Cut);
    Boxes.push_back(std::move(Upper));
  }
  FPalette = {};
  std::map<uint32_t, uint8_t> IndexOfColor;
  for (size_t B = 0; B < Boxes.size() && !Boxes[B].Colors.empty(); ++B) {
    FPalette[B] = Boxes[B].Mean();
    for (const auto& [C, N] : Boxes[B].Colors)
      IndexOfColor[uint32_t(C.R) << 16 | uint32_t(C.G) << 8 | C.B] = uint8_t(B);
  }
  Indexes.resize(Pixels.size());
  for (size_t I = 0; I < Pixels.size(); ++I)
    Indexes[I] =
        IndexOfColor[uint32_t(Pixels[I].R) << 16 | uint32_t(Pixels[I].G) << 8 | Pixels[I].B];
  Pixels.clear();
  Format = NewFormat;
  Changed();
}

void TkivDIBitmap::Changed() {
  if (OnChange) OnChange();
}

void TkivDIBitmap::SaveToStream(TStream& Stream) const {
  const bool Indexed = Format == TkivPixelFormat::pf8bit;
  const uint32_t RowSize = ((uint32_t(FWidth) * (Indexed ? 1 : 3)) + 3) & ~3u;
  const uint32_t PaletteSize = Indexed ? 256 * 4 : 0;
  const uint32_t Offset = 14 + 40 + PaletteSize;
  TMemoryStream Out;             // the headers; the rows go straight to Stream
  WriteWord(Out, 0x4D42, false); // "BM"
  WriteLong(Out, Offset + RowSize * uint32_t(FHeight), false);
  WriteLong(Out, 0, false);
  WriteLong(Out, Offset, false);
  WriteLong(Out, 40, false);
  WriteLong(Out, uint32_t(FWidth), false);
  WriteLong(Out, uint32_t(FHeight), false); // positive: rows bottom-up
  WriteWord(Out, 1, false);
  WriteWord(Out, Indexed ? 8 : 24, false);
  WriteLong(Out, 0, false); // BI_RGB
  WriteLong(Out, RowSize * uint32_t(FHeight), false);
  WriteLong(Out, 2835, false); // 72 dpi
  WriteLong(Out, 2835, false);
  WriteLong(Out, Indexed ? 256 : 0, false);
  WriteLong(Out, 0, false);
  if (Indexed)
    for (const TkivColor& C : FPalette) {
      const uint8_t Entry[4] = {C.B, C.G, C.R, 0};
      Out.WriteBuffer(Entry, 4);
    }
  Out.SetPosition(0);
  Stream.CopyFrom(Out, Out.GetSize());
  std::vector<uint8_t> Row(RowSize, 0);
  for (int32_t Y = FHeight - 1; Y >= 0; --Y) {
    const size_t Start = IndexOf(0, Y);
    if (Indexed) {
      std::copy(Indexes.begin() + std::ptrdiff_t(Start),
                Indexes.begin() + std::ptrdiff_t(Start + size_t(FWidth)), Row.begin());
    } else {
      uint8_t* To = Row.data();
      for (const TkivColor *C = &Pixels[Start], *End = C + FWidth; C != End; ++C, To += 3) {
        To[0] = C->B;
        To[1] = C->G;
        To[2] = C->R;
      }
    }
    Stream.WriteBuffer(Row.data(), RowSize);
  }
}
