#include "extended/kivIccProfile.h"

#include <algorithm>

#include "base/kivException.h"
#include "framework/kivInfoStream.h"
#include "framework/kivUtf8.h"

namespace {
constexpr uint32_t Signature(const char (&S)[5]) {
  return uint32_t(uint8_t(S[0])) << 24 | uint32_t(uint8_t(S[1])) << 16 |
         uint32_t(uint8_t(S[2])) << 8 | uint32_t(uint8_t(S[3]));
}
// A description longer than this is no name.
constexpr int64_t MaxDescription = 4096;

std::string ReadDescription(TStream& In, int64_t TagStart, int64_t TagSize) {
  In.SetPosition(TagStart);
  const uint32_t Type = ReadLong(In, true);
  ReadLong(In, true); // reserved
  if (Type == Signature("desc")) {
    const int64_t Count = std::min<int64_t>({ReadLong(In, true), TagSize - 12, MaxDescription});
    std::string Text = ReadString(In, std::min(Count, BytesLeft(In)));
    Text.resize(std::min(Text.size(), Text.find('\0')));
    return Text;
  }
  if (Type != Signature("mluc")) return {};
  const uint32_t Records = ReadLong(In, true), RecordSize = ReadLong(In, true);
  if (Records == 0 || RecordSize < 12) return {};
  ReadLong(In, true); // language and country of the first record
  const int64_t Length = std::min<int64_t>(ReadLong(In, true), MaxDescription * 2);
  const int64_t Offset = ReadLong(In, true);
  if (Offset >= TagSize) return {};
  In.SetPosition(TagStart + Offset);
  const int64_t Bytes = std::min({Length, TagSize - Offset, BytesLeft(In)}) & ~int64_t(1);
  std::string Text = WideToUtf8(ReadWideString(In, Bytes, true));
  Text.resize(std::min(Text.size(), Text.find('\0')));
  return Text;
}
} // namespace

std::string IccProfileDescription(TStream& Profile) {
  const int64_t Start = Profile.GetPosition();
  try {
    if (!HasBytes(Profile, 132)) return {};
    Profile.SetPosition(Start + 128);
    // Each entry takes 12 bytes, so the count is bounded by what follows.
    const int64_t Tags = std::min<int64_t>(ReadLong(Profile, true), BytesLeft(Profile) / 12);
    for (int64_t I = 0; I < Tags; ++I) {
      const uint32_t Tag = ReadLong(Profile, true);
      const int64_t Offset = ReadLong(Profile, true), Size = ReadLong(Profile, true);
      if (Tag != Signature("desc")) continue;
      if (Size < 12 || Offset + Size > Profile.GetSize() - Start) return {};
      return ReadDescription(Profile, Start + Offset, Size);
    }
  } catch (const EReadError&) {
  }
  return {};
}
