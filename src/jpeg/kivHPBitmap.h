#pragma once
// The YCbCr 4:2:2 thumbnail of the HPSC and H3X0 segments, and what the two segments share.
// The picture is spread over consecutive segments (pieces), each with the same marker,
// identifier and header, so the byte coder keeps its state from one piece to the next.

#include <cstdint>
#include <string>
#include <vector>

#include "jpeg/kivJpegInfo.h"

// Groups of four bytes Cb, Y0, Cr, Y1 give two pixels sharing Cb and Cr; pixels run row by
// row from the top-left corner. The segments drive the coder directly.
class TkivHPBitmap : public kivInfo::TBitmap {
public:
  explicit TkivHPBitmap(const TClass& Class) : TBitmap(Class) {}
  static const TClass& ClassObject();

  std::string GetCompression() const override { return "None, YCrCb, 2 bytes per pixel"; }
  int64_t GetDataSize() override;

  // Empties the picture, then sizes it Width x Height as the report's budget allows (the
  // header declares the size in 32-bit words); false, the picture left empty and the refusal
  // kept for the page, when it does not.
  bool SizePicture(uint32_t Width, uint32_t Height, TkivWorkBudget& Budget);
  // Before the first piece: the coder starts at the first pixel.
  void ResetCoder();
  // Decodes the next Count bytes of Stream, as far as it holds them, into the next pixels.
  void DecodeBytes(TStream& Stream, int64_t Count);
  // Writes the next Count bytes of the picture's stream form.
  void EncodeBytes(TStream& Stream, int64_t Count);

private:
  void EmitPixel();
  int32_t State = 0;
  uint8_t Y = 0, Y1 = 0, Cr = 128, Cb = 128; // Y1: the encoder's second luma of a group
  int64_t PixelCounter = 0;
};

// HPSC and H3X0: a thumbnail segment made of pieces. A piece is FF, marker, length, the
// identifier, the header words (big-endian; word 1 the width, word 2 the height, word 4 the
// piece number), then its pixel bytes; pieces follow one another until the picture's
// W x H x 2 bytes are there. Every piece is kept in Data; nothing is extra data.
class TkivHPSegment : public TkivJpegThumbnailSegment {
public:
  class TClass : public TkivJpegThumbnailSegment::TClass {
  public:
    using TkivJpegThumbnailSegment::TClass::TClass;
    const kivInfo::TBitmap::TClass& GetThumbnailClass() const override {
      return TkivHPBitmap::ClassObject();
    }
  };

  // DefaultHeader: the words of a new segment (their count is the header's); PiecePixelBytes:
  // the most pixel bytes one written piece carries.
  TkivHPSegment(const TClass& Class, std::vector<uint32_t> DefaultHeader, int64_t PiecePixelBytes);

  // The header of the first piece.
  std::vector<uint32_t> Header;
  uint32_t PictureWidth() const { return Header[1]; }
  uint32_t PictureHeight() const { return Header[2]; }

  TkivHPBitmap& Bitmap();
  void LoadFromStream(TStream& Stream) override;
  void ParseData() override;
  void InitDefault() override;
  void WriteDataHTML(TkivHTMLItem& Parent) override;
  void FillInfo() override;

private:
  // Reads one piece's FF, marker, length, identifier and header (into PieceHeader), copying
  // the whole piece to Destination when given; answers the piece's pixel bytes. A piece too
  // short for its header has none: with no destination its bytes are skipped.
  int64_t ReadPiece(TStream& Source, TStream* Destination,
                    std::vector<uint32_t>& PieceHeader) const;
  const std::vector<uint32_t> DefaultHeader;
  const int64_t PiecePixelBytes;
};
