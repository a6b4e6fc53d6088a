#pragma once
// The JPEG's own structure segments, decoded: frame headers, quantization and Huffman tables,
// scan headers, restart intervals and numbers of lines; and what the whole-file summary asks
// of them (the frame, the subsampling, the quality of the quantization tables).

#include <cstdint>
#include <string>
#include <vector>

#include "extended/kivExtendedDecoders.h"

struct TkivJpegComponent {
  uint8_t Id = 0, H = 0, V = 0, Table = 0;
};

struct TkivJpegFrame {
  uint8_t Marker = 0;
  uint8_t Precision = 0;
  uint16_t Height = 0, Width = 0;
  uint8_t DeclaredComponents = 0;
  // Those the segment holds: at most the declared ones, whole ones only.
  std::vector<TkivJpegComponent> Components;
};

bool IsFrameMarker(uint8_t Marker);
bool IsProgressive(uint8_t Marker);
bool IsLossless(uint8_t Marker);
// The coding process in words: "Baseline DCT, Huffman coding".
std::string ProcessText(uint8_t Marker);

// Reads a frame header from Payload (at the byte after the length field); the components
// that the bytes hold, never more than are declared.
void ReadFrame(TStream& Payload, uint8_t Marker, TkivJpegFrame& Frame);
// The frame header that governs the segment at Index of File: the last one before it.
// FrameIndex, when given, receives where it stands. False when there is none.
bool FindFrame(const TkivSegmentList& File, int32_t Index, TkivJpegFrame& Frame,
               int32_t* FrameIndex = nullptr);

// The chroma subsampling named ("4:2:0"), or the components' sampling factors ("2x2, 1x1").
std::string SubsamplingText(const TkivJpegFrame& Frame);
// The sampling factors of every component: "2x2, 1x1, 1x1".
std::string SamplingFactorsText(const TkivJpegFrame& Frame);

struct TkivQuantTable {
  uint8_t Precision = 0, Id = 0;
  int Count = 0;            // values read; 64 for a whole table
  uint16_t Values[64] = {}; // in natural order
};
// Reads one table of a quantization table segment; the values the bytes hold (a table cut
// short has Count below 64). Throws EkivDescribeError for a precision of no known size.
void ReadQuantTable(TStream& Payload, TkivQuantTable& Table);

struct TkivQuantQuality {
  bool Known = false; // false for a table cut short
  bool Exact = false; // libjpeg's table for Quality, to the value
  int Quality = 0;
  // The highest quality that gives the same table: low qualities limit every value to 255
  // alike, so that several give one table.
  int LastQuality = 0;
  std::string_view Standard; // the standard table it was compared with
};
TkivQuantQuality QualityOf(const TkivQuantTable& Table);
// "libjpeg quality 90", "libjpeg quality 1 to 4", or "about 87 (an estimate)".
std::string QualityText(const TkivQuantQuality& Quality);

void DescribeFrame(const TkivExtendedInput& Input, TkivDescription& Out);
void DescribeQuantTables(const TkivExtendedInput& Input, TkivDescription& Out);
void DescribeHuffmanTables(const TkivExtendedInput& Input, TkivDescription& Out);
void DescribeScan(const TkivExtendedInput& Input, TkivDescription& Out);
void DescribeRestartInterval(const TkivExtendedInput& Input, TkivDescription& Out);
void DescribeNumberOfLines(const TkivExtendedInput& Input, TkivDescription& Out);
// The application segments that carry coding settings: Adobe's (APP14) and Ducky (APP12).
void DescribeAdobe(const TkivExtendedInput& Input, TkivDescription& Out);
void DescribeDucky(const TkivExtendedInput& Input, TkivDescription& Out);
