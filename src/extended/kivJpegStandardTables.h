#pragma once
// The JPEG tables that encoders take as they stand: libjpeg's quantization tables, which it
// scales for a quality, and the example Huffman tables of the JPEG standard (its Annex K),
// which most encoders use unchanged.

#include <cstdint>
#include <string_view>

// Where the coefficient at each place of the file's zigzag order stands in the 8 x 8 block
// (row by row).
extern const uint8_t ZigzagToNatural[64];

struct TkivStandardQuantTable {
  std::string_view Name; // "luminance", "chrominance"
  uint16_t Values[64];   // in natural order, for quality 50
};
extern const TkivStandardQuantTable StandardQuantTables[2];

// Whether Values are libjpeg's table for Quality (1 to 100): its own scaling of a standard
// table, each value limited to Limit (255 for 8-bit tables, as libjpeg makes them for baseline
// files; 32767 else). Most qualities differ at the first value, and are told at once.
bool IsScaledQuantTable(const TkivStandardQuantTable& Table, int Quality, uint16_t Limit,
                        const uint16_t Values[64]);

struct TkivStandardHuffmanTable {
  std::string_view Name; // "luminance DC" ...
  uint8_t Class;         // 0 DC, 1 AC
  uint8_t Counts[16];    // codes of each length 1 to 16
  const uint8_t* Symbols;
  uint8_t SymbolCount;
};
extern const TkivStandardHuffmanTable StandardHuffmanTables[4];
