#include "framework/kivBase64.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace {

constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The two characters of every 12 bits: a group of three bytes is two look-ups.
constexpr std::array<std::array<char, 2>, 4096> Pairs = [] {
  std::array<std::array<char, 2>, 4096> Table{};
  for (unsigned I = 0; I < 4096; ++I) Table[I] = {Alphabet[I >> 6], Alphabet[I & 63]};
  return Table;
}();

} // namespace

std::string EncodeBase64(std::string_view Bytes) {
  std::string Text;
  AppendBase64(Text, Bytes);
  return Text;
}

void AppendBase64(std::string& Text, std::string_view Bytes) {
  const size_t Start = Text.size();
  Text.resize(Start + (Bytes.size() + 2) / 3 * 4);
  char* Out = Text.data() + Start;
  const auto* In = reinterpret_cast<const uint8_t*>(Bytes.data());
  const uint8_t* const End = In + Bytes.size();
  // Three bytes make four characters; a last group of one or two is padded with '='.
  for (; End - In >= 3; In += 3, Out += 4) {
    const uint32_t Group = uint32_t(In[0]) << 16 | uint32_t(In[1]) << 8 | In[2];
    std::memcpy(Out, Pairs[Group >> 12].data(), 2);
    std::memcpy(Out + 2, Pairs[Group & 4095].data(), 2);
  }
  if (In == End) return;
  const bool Two = End - In == 2;
  const uint32_t Group = uint32_t(In[0]) << 16 | (Two ? uint32_t(In[1]) << 8 : 0);
  Out[0] = Alphabet[Group >> 18];
  Out[1] = Alphabet[(Group >> 12) & 63];
  Out[2] = Two ? Alphabet[(Group >> 6) & 63] : '=';
  Out[3] = '=';
}
