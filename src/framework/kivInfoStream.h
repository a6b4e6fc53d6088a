#pragma once
// The checked stream operations every decoder reads and writes through. A read that finds
// fewer bytes than it needs consumes what is left and throws EReadError.

#include <cstdint>
#include <string>
#include <string_view>

#include "framework/kivStream.h"

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

void WriteHTMLEscaped(TStream& Stream, std::string_view S);
// The escaped text of S appended to Out: the bytes that WriteHTMLEscaped would write.
void AppendHTMLEscaped(std::string& Out, std::string_view S);
