// The JPEG's own structure segments: hand-built segments against their golden descriptions,
// and files that libjpeg itself writes, whose tables and scans it made.

#include <gtest/gtest.h>

#include <cstdio>
#include <jpeglib.h>
#include <nlohmann/json.hpp>

#include "extended/kivExtendedReport.h"
#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "jpeg/kivJpegFile.h"
#include "jpeg/kivJpegTestSupport.h"
#include "kivInfoText.h"
#include "support/kivTestSupport.h"

using namespace kivTest;

namespace {

const std::string SOI = Hex("FF D8"), EOI = Hex("FF D9");

std::unique_ptr<TkivJpegFile> FileOf(const std::string& Bytes) {
  auto List = std::make_unique<TkivJpegFile>();
  TMemoryStream Stream(Bytes);
  List->LoadFromStream(Stream);
  return List;
}

// The extended parts of every segment of a file, each as "index tree".
std::vector<std::string> Described(const std::string& Bytes) {
  auto List = FileOf(Bytes);
  TkivExtendedReport Report(List.get());
  std::vector<std::string> Trees;
  for (int32_t I = 0; I < List->Count(); ++I) {
    TkivSegment& Segment = List->Segment(I);
    const int32_t Before = Segment.Info->Count();
    Report.FillSegmentInfo(Segment);
    for (int32_t C = Before; C < Segment.Info->Count(); ++C)
      Trees.push_back(std::to_string(I) + " " + InfoTreeText(Segment.Info->GetChild(C)));
  }
  return Trees;
}

// The extended part of one segment that stands alone.
std::string DescribedAlone(const std::string& Bytes) {
  TMemoryStream Stream(Bytes);
  std::unique_ptr<TkivSegment> Segment = JpegSegmentClassList.FindReader(Stream)->Create();
  Segment->LoadFromStream(Stream);
  const int32_t Before = Segment->Info->Count();
  TkivExtendedReport().FillSegmentInfo(*Segment);
  std::string Text;
  for (int32_t C = Before; C < Segment->Info->Count(); ++C)
    Text += InfoTreeText(Segment->Info->GetChild(C));
  return Text;
}

// The lines of Text that contain Part.
std::vector<std::string> LinesWith(const std::string& Text, const std::string& Part) {
  std::vector<std::string> Lines;
  size_t Start = 0;
  while (Start < Text.size()) {
    const size_t End = Text.find('\n', Start);
    const std::string Line = Text.substr(Start, End - Start);
    if (Line.find(Part) != std::string::npos)
      Lines.push_back(Line.substr(Line.find_first_not_of(' ')));
    Start = End == std::string::npos ? Text.size() : End + 1;
  }
  return Lines;
}

std::string Joined(const std::vector<std::string>& Trees) {
  std::string S;
  for (const std::string& T : Trees)
    S += T;
  return S;
}

struct TEncoding {
  int Quality = 75;
  J_COLOR_SPACE Space = JCS_YCbCr; // of the input; CMYK is written as it stands
  int LumaH = 2, LumaV = 2;
  bool Progressive = false;
  bool Optimize = false;
};

// A 16 x 16 picture as libjpeg writes it with these settings.
std::string LibjpegFile(const TEncoding& E) {
  jpeg_compress_struct Info;
  jpeg_error_mgr Errors;
  Info.err = jpeg_std_error(&Errors);
  jpeg_create_compress(&Info);
  unsigned char* Buffer = nullptr;
  unsigned long Size = 0;
  jpeg_mem_dest(&Info, &Buffer, &Size);
  const int Components = E.Space == JCS_CMYK ? 4 : 3;
  Info.image_width = Info.image_height = 16;
  Info.input_components = Components;
  Info.in_color_space = E.Space == JCS_CMYK ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&Info);
  jpeg_set_quality(&Info, E.Quality, TRUE);
  Info.comp_info[0].h_samp_factor = E.LumaH;
  Info.comp_info[0].v_samp_factor = E.LumaV;
  Info.optimize_coding = E.Optimize;
  if (E.Progressive) jpeg_simple_progression(&Info);
  jpeg_start_compress(&Info, TRUE);
  std::vector<unsigned char> Row(16 * Components);
  for (int Y = 0; Y < 16; ++Y) {
    for (size_t X = 0; X < Row.size(); ++X)
      Row[X] = static_cast<unsigned char>(X * 7 + Y * 13);
    JSAMPROW Rows[1] = {Row.data()};
    jpeg_write_scanlines(&Info, Rows, 1);
  }
  jpeg_finish_compress(&Info);
  jpeg_destroy_compress(&Info);
  std::string Bytes(reinterpret_cast<const char*>(Buffer), Size);
  free(Buffer);
  return Bytes;
}

TEST(JpegStructure, EveryQualityOfLibjpegIsNamedExactly) {
  // libjpeg's own tables for every quality, luminance and chrominance alike.
  for (int Q = 1; Q <= 100; ++Q) {
    const std::string Text = Joined(Described(LibjpegFile({.Quality = Q})));
    const std::vector<std::string> Lines = LinesWith(Text, "Quality:");
    ASSERT_EQ(Lines.size(), 2u) << Q;
    for (size_t N = 0; N < 2; ++N) {
      // Low qualities limit every value to 255, and several give one table: a range then.
      int First = 0, Last = 0;
      char Table[16] = {};
      const std::string& Line = Lines[N];
      const bool Range =
          std::sscanf(Line.c_str(), "Quality: libjpeg quality %d to %d (libjpeg's %15s", &First,
                      &Last, Table) == 3;
      if (!Range) {
        ASSERT_EQ(
            std::sscanf(Line.c_str(), "Quality: libjpeg quality %d (libjpeg's %15s", &First, Table),
            2)
            << Line;
        Last = First;
      }
      EXPECT_TRUE(First <= Q && Q <= Last) << Line;
      EXPECT_EQ(std::string(Table), N == 0 ? "luminance" : "chrominance");
      // Above the qualities whose values all reach 255 every quality has its own table.
      if (Q >= 10) {
        EXPECT_EQ(First, Last) << Line;
      }
    }
  }
}

TEST(JpegStructure, QuantizationTablesAsGrids) {
  // Quality 50 is the luminance table as it stands; quality 90 scales it to a fifth.
  std::string Q50, Q90, Own;
  const uint8_t Luminance[64] = {
      16, 11, 12,  14,  12,  10, 16, 14,  13,  14,  18,  17,  16, 19,  24,  40,
      26, 24, 22,  22,  24,  49, 35, 37,  29,  40,  58,  51,  61, 60,  57,  51,
      56, 55, 64,  72,  92,  78, 64, 68,  87,  69,  55,  56,  80, 109, 81,  87,
      95, 98, 103, 104, 103, 62, 77, 113, 121, 112, 100, 120, 92, 101, 103, 99}; // in zigzag order
  for (const uint8_t V : Luminance) {
    Q50 += char(V);
    Q90 += char(std::max((V * 20 + 50) / 100, 1));
    Own += char(V + 1);
  }
  const std::string Grid50 = "    Values in natural order:\n"
                             "      0:\n        0: 16\n        1: 11\n        2: 10\n"
                             "        3: 16\n        4: 24\n        5: 40\n        6: 51\n"
                             "        7: 61\n";
  const std::string Text = DescribedAlone(Segment(0xDB, '\0' + Q50 + '\1' + Q90 + '\x02' + Own));
  EXPECT_EQ(Text.substr(0, Text.find("      1:\n")),
            "Quantization tables:\n  Table 0:\n    Precision: 8 bits\n    Id: 0\n"
            "    Quality: libjpeg quality 50 (libjpeg's luminance table scaled for this quality, "
            "to the value)\n" +
                Grid50);
  EXPECT_EQ(LinesWith(Text, "Quality:"),
            (std::vector<std::string>{
                "Quality: libjpeg quality 50 (libjpeg's luminance table scaled for this quality, "
                "to the value)",
                "Quality: libjpeg quality 90 (libjpeg's luminance table scaled for this quality, "
                "to the value)",
                "Quality: about 67 (an estimate: the table is not libjpeg's chrominance table "
                "scaled for any quality)"}));
  // 16-bit values; and the last table cut short, which has no quality.
  std::string Wide = "\x10";
  for (int I = 0; I < 64; ++I)
    Wide += std::string("\x01") + char(I);
  const std::string WideText = DescribedAlone(Segment(0xDB, Wide + std::string("\x03\x05\x06", 3)));
  EXPECT_EQ(LinesWith(WideText, "Quality:"),
            (std::vector<std::string>{"Quality: about 6 (an estimate: the table is not libjpeg's "
                                      "luminance table scaled for any quality)",
                                      "Quality: not known (the table holds 2 of its 64 values)"}));
  EXPECT_NE(WideText.find("Precision: 16 bits\n"), std::string::npos);
  // Natural order from zigzag order: the first row holds zigzag places 0, 1, 5, 6, 14, 15, 27, 28.
  EXPECT_NE(WideText.find("      0:\n        0: 256\n        1: 257\n        2: 261\n"
                          "        3: 262\n        4: 270\n        5: 271\n        6: 283\n"
                          "        7: 284\n"),
            std::string::npos);
  // Values the cut table lacks are shown as such.
  EXPECT_NE(WideText.find("      0:\n        0: 5\n        1: 6\n        2: -\n"),
            std::string::npos);
}

TEST(JpegStructure, BadQuantizationTables) {
  const struct {
    const char* Name;
    std::string Payload;
    std::vector<std::string> Expected; // lines with a mark or a problem
  } Cases[] = {
      {"a partial table",
       std::string("\x01\x05\x06", 3),
       {"Quality: not known (the table holds 2 of its 64 values)",
        "Problem: The table holds only 2 of its 64 values"}},
      {"precision 2",
       std::string("\x21\x05\x06", 3),
       {"Precision: 2 (neither 0 (8 bits) nor 1 (16 bits))",
        "Problem: The size of the values is not known, so the rest is not read",
        "Not decoded: 2 bytes"}},
      {"id 5 and a zero",
       "\x05" + std::string(64, '\0'),
       {"Id: 5 (there are tables 0 to 3)",
        "Problem: A value of 0: no coefficient can be divided by it"}},
  };
  for (const auto& Case : Cases) {
    const std::string Text = DescribedAlone(Segment(0xDB, Case.Payload));
    std::vector<std::string> Found;
    for (const char* Part : {"Quality: not", "Precision: 2", "Problem", "Not decoded", "Id: 5"})
      for (const std::string& Line : LinesWith(Text, Part))
        Found.push_back(Line);
    std::sort(Found.begin(), Found.end());
    std::vector<std::string> Expected = Case.Expected;
    std::sort(Expected.begin(), Expected.end());
    EXPECT_EQ(Found, Expected) << Case.Name << "\n" << Text;
  }
}

TEST(JpegStructure, FramesAndTheirSubsampling) {
  const struct {
    TEncoding Encoding;
    std::vector<std::string> Expected;
  } Cases[] = {
      {{},
       {"Process: Baseline DCT, Huffman coding",
        "Number of components: 3 (three colours: YCbCr, or RGB)",
        "Subsampling: 4:2:0 (2x2, 1x1, 1x1)"}},
      {{.LumaH = 1, .LumaV = 1},
       {"Process: Baseline DCT, Huffman coding",
        "Number of components: 3 (three colours: YCbCr, or RGB)",
        "Subsampling: 4:4:4 (1x1, 1x1, 1x1)"}},
      {{.LumaH = 2, .LumaV = 1, .Progressive = true},
       {"Process: Progressive DCT, Huffman coding",
        "Number of components: 3 (three colours: YCbCr, or RGB)",
        "Subsampling: 4:2:2 (2x1, 1x1, 1x1)"}},
      {{.Space = JCS_CMYK, .LumaH = 1, .LumaV = 1},
       {"Process: Baseline DCT, Huffman coding",
        "Number of components: 4 (four colours: CMYK or YCCK)",
        "Subsampling: 4:4:4 (1x1, 1x1, 1x1, 1x1)"}},
  };
  for (const auto& Case : Cases) {
    const std::string Text = Joined(Described(LibjpegFile(Case.Encoding)));
    std::vector<std::string> Found;
    for (const char* Part : {"Process:", "Number of components:", "Subsampling:"})
      Found.push_back(LinesWith(Text, Part).at(0));
    EXPECT_EQ(Found, Case.Expected);
    EXPECT_EQ(LinesWith(Text, "Width:"), std::vector<std::string>{"Width: 16 (pixels)"});
  }
  // A hand-built frame: 4:1:1 with component letters, then the whole of its description.
  EXPECT_EQ(DescribedAlone(Segment(0xC1, Hex("0C 00 20 00 40 03 52 41 00 47 11 01 42 11 01"))),
            "Frame header:\n  Process: Extended sequential DCT, Huffman coding\n"
            "  Precision: 12 (bits per sample)\n  Width: 64 (pixels)\n  Height: 32 (lines)\n"
            "  Number of components: 3 (three colours: YCbCr, or RGB)\n  Components:\n"
            "    82 (R):\n      Sampling factors: 4x1\n      Quantization table: 0\n"
            "    71 (G):\n      Sampling factors: 1x1\n      Quantization table: 1\n"
            "    66 (B):\n      Sampling factors: 1x1\n      Quantization table: 1\n"
            "  Subsampling: 4:1:1 (4x1, 1x1, 1x1)\n");
}

TEST(JpegStructure, BadFrames) {
  const struct {
    const char* Name;
    std::string Payload;
    std::vector<std::string> Expected; // the marked lines and the problems
  } Cases[] = {
      {"0 x 0, no components",
       Hex("08 00 00 00 00 00"),
       {"Width: 0 (a picture without columns)",
        "Number of components: 0 (a frame needs at least one)"}},
      {"65535 x 65535, 255 components in 6 bytes",
       Hex("08 FF FF FF FF FF 01 11 00 02 11"),
       {"Width: 65535 (pixels: more than the 65500 that libjpeg decodes)",
        "Height: 65535 (lines: more than the 65500 that libjpeg decodes)",
        "Number of components: 255 (more than the 10 that libjpeg reads)",
        "Problem: The frame declares 255 components (765 bytes), but only 5 bytes follow; the "
        "whole ones are shown",
        "Not decoded: 2 bytes"}},
      {"sampling factors 0 and 5, table 4, an id twice, precision 9",
       Hex("09 00 08 00 08 03 01 05 00 02 50 04 01 11 00"),
       {"Precision: 9 (bits per sample: not one this process allows)",
        "Problem: Component 1: sampling factors of 1 to 4 are allowed, not 0x5",
        "Problem: Component 2: sampling factors of 1 to 4 are allowed, not 5x0",
        "Problem: Component 2: quantization table 4; there are 0 to 3",
        "Problem: Component 1 appears more than once",
        "Subsampling: 0x5, 5x0, 1x1 (0x5, 5x0, 1x1)"}},
      {"an MCU of 16 blocks",
       Hex("08 00 08 00 08 02 01 44 00 02 11 00"),
       {"Problem: An MCU would hold 17 blocks; at most 10 are allowed"}},
      {"cut inside the height",
       Hex("08 00"),
       {"Problem: The data ends inside a field; what the description shows was read before"}},
  };
  for (const auto& Case : Cases) {
    const std::string Text = DescribedAlone(Segment(0xC0, Case.Payload));
    std::vector<std::string> Found;
    for (const char* Part : {"Problem", "Not decoded", "Subsampling: 0", "libjpeg", "(a ",
                             "(bits per sample:", "255 ("})
      for (const std::string& Line : LinesWith(Text, Part))
        if (std::find(Found.begin(), Found.end(), Line) == Found.end()) Found.push_back(Line);
    std::sort(Found.begin(), Found.end());
    std::vector<std::string> Expected = Case.Expected;
    std::sort(Expected.begin(), Expected.end());
    EXPECT_EQ(Found, Expected) << Case.Name << "\n" << Text;
  }
}

TEST(JpegStructure, HuffmanTables) {
  // libjpeg's default tables are the standard's; optimised ones are the picture's own.
  const std::string Standard = Joined(Described(LibjpegFile({})));
  EXPECT_EQ(LinesWith(Standard, "Table: "),
            (std::vector<std::string>{
                "Table: standard table (the example table of the JPEG standard for luminance DC "
                "coefficients)",
                "Table: standard table (the example table of the JPEG standard for luminance AC "
                "coefficients)",
                "Table: standard table (the example table of the JPEG standard for chrominance "
                "DC coefficients)",
                "Table: standard table (the example table of the JPEG standard for chrominance "
                "AC coefficients)"}));
  const std::string Optimised = Joined(Described(LibjpegFile({.Optimize = true})));
  EXPECT_EQ(LinesWith(Optimised, "Table: not").size(), 4u);
  // A hand-built table: two codes of length 1 cannot be (one would be all ones), symbols short.
  EXPECT_EQ(DescribedAlone(Segment(0xC4, Hex("13 02 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
                                             "01 05"))),
            "Huffman tables:\n  AC table 3:\n    Class: AC\n    Id: 3\n"
            "    Table: not a standard table\n    Codes: 3\n    Codes of each length:\n"
            "      1:\n        Codes: 2\n        Symbols: 05\n"
            "      2:\n        Codes: 0\n        Symbols:\n"
            "      3:\n        Codes: 0\n        Symbols:\n"
            "      4:\n        Codes: 0\n        Symbols:\n"
            "      5:\n        Codes: 0\n        Symbols:\n"
            "      6:\n        Codes: 0\n        Symbols:\n"
            "      7:\n        Codes: 0\n        Symbols:\n"
            "      8:\n        Codes: 0\n        Symbols:\n"
            "      9:\n        Codes: 0\n        Symbols:\n"
            "      10:\n        Codes: 0\n        Symbols:\n"
            "      11:\n        Codes: 0\n        Symbols:\n"
            "      12:\n        Codes: 0\n        Symbols:\n"
            "      13:\n        Codes: 0\n        Symbols:\n"
            "      14:\n        Codes: 0\n        Symbols:\n"
            "      15:\n        Codes: 0\n        Symbols:\n"
            "      16:\n        Codes: 1\n        Symbols:\n"
            "    Problem: More codes than their lengths can hold\n"
            "    Problem: The table declares 3 symbols, but only 1 bytes follow\n");
  // A table that declares more codes than a byte has symbols reads no more than the segment.
  const std::string Many = Segment(0xC4, Hex("20 FF FF 00 00 00 00 00 00 00 00 00 00 00 00 00 00") +
                                             std::string(10, 'x'));
  EXPECT_EQ(LinesWith(DescribedAlone(Many), "Problem"),
            (std::vector<std::string>{"Problem: More codes than their lengths can hold",
                                      "Problem: The table declares 510 symbols, but only 10 bytes "
                                      "follow"}));
}

TEST(JpegStructure, AProgressiveFilesScansAndTheirPasses) {
  const std::string Text = Joined(Described(LibjpegFile({.Progressive = true})));
  // libjpeg's simple progression for three components.
  EXPECT_EQ(LinesWith(Text, "Pass:"),
            (std::vector<std::string>{
                "Pass: 1 of 10 (DC first pass, point transform 1)",
                "Pass: 2 of 10 (AC first pass, coefficients 1 to 5, point transform 2)",
                "Pass: 3 of 10 (AC first pass, coefficients 1 to 63, point transform 1)",
                "Pass: 4 of 10 (AC first pass, coefficients 1 to 63, point transform 1)",
                "Pass: 5 of 10 (AC first pass, coefficients 6 to 63, point transform 2)",
                "Pass: 6 of 10 (AC refinement, coefficients 1 to 63, bit 1)",
                "Pass: 7 of 10 (DC refinement, bit 0)",
                "Pass: 8 of 10 (AC refinement, coefficients 1 to 63, bit 0)",
                "Pass: 9 of 10 (AC refinement, coefficients 1 to 63, bit 0)",
                "Pass: 10 of 10 (AC refinement, coefficients 1 to 63, bit 0)"}));
  EXPECT_EQ(LinesWith(Text, "Problem"), std::vector<std::string>{});
}

TEST(JpegStructure, ScanHeaders) {
  const std::string Frame = Segment(0xC0, Hex("08 00 10 00 10 03 01 22 00 02 11 01 03 11 01"));
  const std::string Scan = Segment(0xDA, Hex("03 01 00 02 11 03 11 00 3F 00"));
  EXPECT_EQ(Described(SOI + Frame + Scan + Hex("00 00") + EOI).at(1),
            "2 Scan header:\n  Number of components: 3\n  Components:\n"
            "    1:\n      DC table: 0\n      AC table: 0\n"
            "    2:\n      DC table: 1\n      AC table: 1\n"
            "    3:\n      DC table: 1\n      AC table: 1\n"
            "  Spectral selection: 0 to 63 (coefficients in zigzag order)\n"
            "  Successive approximation: high 0, low 0 (bit positions)\n");
  const struct {
    const char* Name;
    std::string Bytes;
    std::vector<std::string> Expected;
  } Cases[] = {
      {"a component not in the frame, a table baseline lacks, a range it does not use",
       SOI + Frame + Segment(0xDA, Hex("01 07 22 01 3F 10")) + EOI,
       {"Problem: Component 7 is not a component of the frame",
        "Problem: Component 7: Huffman tables 0 to 1 are allowed here",
        "Spectral selection: 1 to 63 (a sequential scan holds coefficients 0 to 63)",
        "Successive approximation: high 1, low 0 (a sequential scan uses 0 and 0)"}},
      {"no frame before it", SOI + Scan + EOI, {"Problem: No frame header comes before this scan"}},
      {"a component list longer than the segment",
       SOI + Frame + Segment(0xDA, Hex("04 01 00 02")) + EOI,
       {"Problem: The scan declares 4 components, which with the three bytes after them take 11 "
        "bytes, but only 3 follow; the whole ones are shown"}},
  };
  for (const auto& Case : Cases) {
    const std::string Text = Joined(Described(Case.Bytes));
    std::vector<std::string> Found = LinesWith(Text, "Problem");
    for (const char* Part : {"(a sequential"})
      for (const std::string& Line : LinesWith(Text, Part))
        Found.push_back(Line);
    EXPECT_EQ(Found, Case.Expected) << Case.Name << "\n" << Text;
  }
  // A scan alone: its own fields, not checked.
  EXPECT_EQ(
      LinesWith(DescribedAlone(Scan), "Frame:"),
      std::vector<std::string>{"Frame: not at hand (the scan is not checked against its frame)"});
}

TEST(JpegStructure, LinesRestartsAdobeAndDucky) {
  const std::string Frame0 = Segment(0xC0, Hex("08 00 00 00 10 01 01 11 00"));
  const std::string Scan = Segment(0xDA, Hex("01 01 00 00 3F 00"));
  const std::string Adobe = Segment(0xEE, "Adobe" + Hex("00 64 80 00 00 00 02"));
  // Quality 80, a comment "Hi" and a copyright cut short.
  const std::string Ducky =
      Segment(0xEC, "Ducky" + Hex("00 01 00 04 00 00 00 50 00 02 00 08 00 00 00 02 00 48 00 69 "
                                  "00 03 00 06 00 00 00 05 00 41 00 00"));
  EXPECT_EQ(Described(SOI + Adobe + Ducky + Frame0 + Scan + Hex("00") +
                      Segment(0xDC, Hex("00 20")) + Segment(0xDD, Hex("00 00")) + EOI),
            (std::vector<std::string>{
                "1 Adobe:\n  Version: 100\n  Flags 0: 0x8000 (the encoder blended samples when it "
                "subsampled)\n  Flags 1: 0x0000\n  Colour transform: YCCK (converted to CMYK)\n",
                "2 Ducky:\n  Quality: 80 (percent)\n  Comment: Hi\n"
                "  Copyright: A (the block holds 1 of its 5 characters)\n",
                "3 Frame header:\n  Process: Baseline DCT, Huffman coding\n"
                "  Precision: 8 (bits per sample)\n  Width: 16 (pixels)\n"
                "  Height: 0 (lines: set by a DNL segment after the first scan)\n"
                "  Number of components: 1 (greyscale)\n  Components:\n"
                "    1:\n      Sampling factors: 1x1\n      Quantization table: 0\n"
                "  Subsampling: none (one component)\n",
                "4 Scan header:\n  Number of components: 1\n  Components:\n"
                "    1:\n      DC table: 0\n      AC table: 0\n"
                "  Spectral selection: 0 to 63 (coefficients in zigzag order)\n"
                "  Successive approximation: high 0, low 0 (bit positions)\n",
                "6 Number of lines:\n  Number of lines: 32 (the picture's height, which its frame "
                "header left as 0)\n",
                "7 Restart interval:\n  Restart interval: 0 (no restart markers)\n"}));
  // A Ducky block longer than the segment.
  EXPECT_EQ(DescribedAlone(Segment(0xEC, "Ducky" + Hex("00 01 00 09 00 00"))),
            "Ducky:\n  Problem: Block 1 declares 9 bytes, but only 2 follow\n"
            "  Not decoded: 2 bytes\n");
}

TEST(JpegStructure, JsonOfTheExtendedFieldsParsesBack) {
  auto List = FileOf(LibjpegFile({.Quality = 90}));
  TkivExtendedReport Report(List.get());
  std::vector<std::string> Qualities;
  for (int32_t I = 0; I < List->Count(); ++I) {
    TkivSegment& Segment = List->Segment(I);
    const int32_t Before = Segment.Info->Count();
    Report.FillSegmentInfo(Segment);
    for (int32_t C = Before; C < Segment.Info->Count(); ++C) {
      const nlohmann::json Tree = nlohmann::json::parse(InfoTreeJson(Segment.Info->GetChild(C)));
      if (Tree["name"] != "Quantization tables") continue;
      for (const auto& Table : Tree["children"])
        for (const auto& Field : Table["children"])
          if (Field["name"] == "Quality") Qualities.push_back(Field["value"]);
    }
  }
  EXPECT_EQ(Qualities, (std::vector<std::string>{"libjpeg quality 90 (libjpeg's luminance table "
                                                 "scaled for this quality, to the value)",
                                                 "libjpeg quality 90 (libjpeg's chrominance table "
                                                 "scaled for this quality, to the value)"}));
}

} // namespace
