#pragma once
// The checked stream operations every decoder reads and writes through. A read that finds
// fewer bytes than it needs consumes what is left and throws EReadError.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/kivStream.h"

int64_t BytesLeft(const TStream& Stream);
bool HasBytes(const TStream& Stream, int64_t Count);
int32_t Min(int32_t A, int32_t B);

uint8_t ReadByte(TStream& Stream);
uint8_t ReadByteOr(TStream& Stream, uint8_t Default);
void WriteByte(TStream& Stream, uint8_t B);
uint16_t ReadWord(TStream& Stream, bool BigEndian);
void WriteWord(TStream& Stream, uint16_t W, bool BigEndian);
uint32_t ReadLong(TStream& Stream, bool BigEndian);
void WriteLong(TStream& Stream, uint32_t L, bool BigEndian);
uint16_t Swap16(uint16_t W);
uint32_t Swap32(uint32_t L);

// Never allocates more than the bytes that are there.
std::string ReadString(TStream& Stream, int64_t Length);
void WriteString(TStream& Stream, std::string_view S);
std::string ReadCountedString(TStream& Stream);
void WriteCountedString(TStream& Stream, const std::string& S);
std::string ReadZString(TStream& Stream);
std::u16string ReadWideString(TStream& Stream, int64_t ByteCount, bool BigEndian);
void WriteWideString(TStream& Stream, const std::u16string& W, bool BigEndian);
std::u16string SwapWideString(const std::u16string& W);

// How a page writes an entity. The segments' reports write it as they always have, without
// its semicolon, closing it only where the letters after it would be read as a longer name
// ("&lt" before "imes;"); the parts of the page that are ours close every entity.
enum class TkivEntities { Short, Closed };
// How many bytes at the start of S a page shows as they are.
size_t HTMLPlainLength(std::string_view S);
// The entity text that stands in a page for the first byte of S, which HTMLPlainLength does
// not pass.
std::string_view HTMLReplacement(std::string_view S, TkivEntities Form = TkivEntities::Short);
// Hands Out the escaped text of S in pieces: each run of bytes shown as they are, whole, and
// each entity text.
template <class TOut>
void EscapeHTML(std::string_view S, TOut&& Out, TkivEntities Form = TkivEntities::Short) {
  while (!S.empty()) {
    const size_t Plain = HTMLPlainLength(S);
    if (Plain > 0) Out(S.substr(0, Plain));
    if (Plain == S.size()) break;
    Out(HTMLReplacement(S.substr(Plain), Form));
    S.remove_prefix(Plain + 1);
  }
}
void WriteHTMLEscaped(TStream& Stream, std::string_view S);
// The escaped text of S appended to Out: the bytes that WriteHTMLEscaped would write.
void AppendHTMLEscaped(std::string& Out, std::string_view S,
                       TkivEntities Form = TkivEntities::Short);
