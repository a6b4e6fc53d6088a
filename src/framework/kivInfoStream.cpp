#include "framework/kivInfoStream.h"

#include <algorithm>
#include <array>
#include <span>

#include "base/kivException.h"

int64_t BytesLeft(const TStream& Stream) {
  return Stream.GetSize() - Stream.GetPosition();
}

bool HasBytes(const TStream& Stream, int64_t Count) {
  return BytesLeft(Stream) >= Count;
}

int32_t Min(int32_t A, int32_t B) {
  return A < B ? A : B;
}

uint8_t ReadByte(TStream& Stream) {
  uint8_t B;
  Stream.ReadBuffer(&B, 1);
  return B;
}

uint8_t ReadByteOr(TStream& Stream, uint8_t Default) {
  return HasBytes(Stream, 1) ? ReadByte(Stream) : Default;
}

void WriteByte(TStream& Stream, uint8_t B) {
  Stream.WriteBuffer(&B, 1);
}

uint16_t Swap16(uint16_t W) {
  return static_cast<uint16_t>((W >> 8) | (W << 8));
}

uint32_t Swap32(uint32_t L) {
  return (L >> 24) | ((L >> 8) & 0xFF00u) | ((L << 8) & 0xFF0000u) | (L << 24);
}

uint16_t ReadWord(TStream& Stream, bool BigEndian) {
  uint8_t B[2];
  Stream.ReadBuffer(B, 2);
  const uint16_t W = static_cast<uint16_t>(B[0] | (B[1] << 8));
  return BigEndian ? Swap16(W) : W;
}

void WriteWord(TStream& Stream, uint16_t W, bool BigEndian) {
  if (BigEndian) W = Swap16(W);
  const uint8_t B[2] = {static_cast<uint8_t>(W), static_cast<uint8_t>(W >> 8)};
  Stream.WriteBuffer(B, 2);
}

uint32_t ReadLong(TStream& Stream, bool BigEndian) {
  uint8_t B[4];
  Stream.ReadBuffer(B, 4);
  const uint32_t L = B[0] | (B[1] << 8) | (B[2] << 16) | (static_cast<uint32_t>(B[3]) << 24);
  return BigEndian ? Swap32(L) : L;
}

void WriteLong(TStream& Stream, uint32_t L, bool BigEndian) {
  if (BigEndian) L = Swap32(L);
  const uint8_t B[4] = {static_cast<uint8_t>(L), static_cast<uint8_t>(L >> 8),
                        static_cast<uint8_t>(L >> 16), static_cast<uint8_t>(L >> 24)};
  Stream.WriteBuffer(B, 4);
}

std::string ReadString(TStream& Stream, int64_t Length) {
  if (Length <= 0) return {};
  std::string S(static_cast<size_t>(std::clamp<int64_t>(BytesLeft(Stream), 0, Length)), '\0');
  Stream.ReadBuffer(S.data(), static_cast<int64_t>(S.size()));
  if (static_cast<int64_t>(S.size()) < Length) throw EReadError();
  return S;
}

void WriteString(TStream& Stream, std::string_view S) {
  Stream.WriteBuffer(S.data(), static_cast<int64_t>(S.size()));
}

std::string ReadCountedString(TStream& Stream) {
  return ReadString(Stream, ReadByte(Stream));
}

void WriteCountedString(TStream& Stream, const std::string& S) {
  const size_t N = std::min<size_t>(S.size(), 255);
  WriteByte(Stream, static_cast<uint8_t>(N));
  Stream.WriteBuffer(S.data(), static_cast<int64_t>(N));
}

std::string ReadZString(TStream& Stream) {
  // A block at a time, up to the zero byte; a stream without one is read to its end.
  std::string S;
  char Block[256];
  for (;;) {
    const int64_t Start = Stream.GetPosition();
    const int64_t N = Stream.Read(Block, sizeof Block);
    if (N <= 0) throw EReadError();
    const char* Zero = std::find(Block, Block + N, '\0');
    S.append(Block, size_t(Zero - Block));
    if (Zero != Block + N) {
      Stream.SetPosition(Start + (Zero - Block) + 1);
      return S;
    }
  }
}

std::u16string ReadWideString(TStream& Stream, int64_t ByteCount, bool BigEndian) {
  const std::string Bytes = ReadString(Stream, ByteCount / 2 * 2);
  std::u16string W(Bytes.size() / 2, u'\0');
  for (size_t I = 0; I < W.size(); ++I) {
    const auto U = static_cast<uint16_t>(uint8_t(Bytes[2 * I]) | uint8_t(Bytes[2 * I + 1]) << 8);
    W[I] = static_cast<char16_t>(BigEndian ? Swap16(U) : U);
  }
  return W;
}

void WriteWideString(TStream& Stream, const std::u16string& W, bool BigEndian) {
  for (char16_t U : W)
    WriteWord(Stream, static_cast<uint16_t>(U), BigEndian);
}

std::u16string SwapWideString(const std::u16string& W) {
  std::u16string R(W);
  for (char16_t& U : R)
    U = static_cast<char16_t>(Swap16(static_cast<uint16_t>(U)));
  return R;
}

namespace {
// What follows the names "lt" and "gt" in HTML's longer named character references
// ("&ltimes;"); "amp" and "quot" begin no others. Written without its semicolon, an entity
// followed by one of these would be read as that other character.
constexpr std::string_view LtContinuations[] = {
    "cc;", "cir;", "dot;", "hree;", "imes;", "larr;", "quest;", "rPar;", "ri;", "rie;", "rif;"};
constexpr std::string_view GtContinuations[] = {"cc;",      "cir;",      "dot;",   "lPar;",
                                                "quest;",   "rapprox;",  "rarr;",  "rdot;",
                                                "reqless;", "reqqless;", "rless;", "rsim;"};

struct TEscape {
  char Byte;
  const char* Text;
  // The same entity closed, for where the bytes after it would continue it.
  const char* Closed;
  std::span<const std::string_view> Continuations;
};
constexpr TEscape EscapeTable[] = {{'&', "&amp", "&amp;", {}},
                                   {'<', "&lt", "&lt;", LtContinuations},
                                   {'>', "&gt", "&gt;", GtContinuations},
                                   {'"', "&quot", "&quot;", {}}};

// For every byte value, 1 + its index in EscapeTable, or 0 for a byte that passes unchanged.
constexpr std::array<uint8_t, 256> EscapeIndex = [] {
  std::array<uint8_t, 256> Index{};
  for (size_t I = 0; I < std::size(EscapeTable); ++I)
    Index[static_cast<uint8_t>(EscapeTable[I].Byte)] = static_cast<uint8_t>(I + 1);
  return Index;
}();

} // namespace

size_t HTMLPlainLength(std::string_view S) {
  size_t I = 0;
  while (I < S.size() && EscapeIndex[static_cast<uint8_t>(S[I])] == 0)
    ++I;
  return I;
}

std::string_view HTMLReplacement(std::string_view S, TkivEntities Form) {
  const TEscape& Escape = EscapeTable[EscapeIndex[static_cast<uint8_t>(S.front())] - 1];
  if (Form == TkivEntities::Closed) return Escape.Closed;
  const std::string_view After = S.substr(1);
  for (const std::string_view Continuation : Escape.Continuations)
    if (After.starts_with(Continuation)) return Escape.Closed;
  return Escape.Text;
}

void WriteHTMLEscaped(TStream& Stream, std::string_view S) {
  EscapeHTML(S, [&Stream](std::string_view Piece) {
    Stream.WriteBuffer(Piece.data(), static_cast<int64_t>(Piece.size()));
  });
}

void AppendHTMLEscaped(std::string& Out, std::string_view S, TkivEntities Form) {
  EscapeHTML(
      S, [&Out](std::string_view Piece) { Out.append(Piece); }, Form);
}
