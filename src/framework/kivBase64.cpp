#include "framework/kivBase64.h"

#include <cstdint>

std::string EncodeBase64(std::string_view Bytes) {
  static constexpr char Alphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string Text;
  Text.reserve((Bytes.size() + 2) / 3 * 4);
  size_t I = 0;
  // Three bytes make four characters; a last group of one or two is padded with '='.
  for (; I + 3 <= Bytes.size(); I += 3) {
    const uint32_t Group = uint32_t(uint8_t(Bytes[I])) << 16 |
                           uint32_t(uint8_t(Bytes[I + 1])) << 8 | uint8_t(Bytes[I + 2]);
    for (int Shift = 18; Shift >= 0; Shift -= 6)
      Text += Alphabet[(Group >> Shift) & 63];
  }
  const size_t Left = Bytes.size() - I;
  if (Left > 0) {
    const uint32_t Group =
        uint32_t(uint8_t(Bytes[I])) << 16 | (Left == 2 ? uint32_t(uint8_t(Bytes[I + 1])) << 8 : 0);
    Text += Alphabet[Group >> 18];
    Text += Alphabet[(Group >> 12) & 63];
    Text += Left == 2 ? Alphabet[(Group >> 6) & 63] : '=';
    Text += '=';
  }
  return Text;
}
