#pragma once
// The Photoshop resource segment: APP13 pieces with the identifier "Photoshop 3.0" and a NUL,
// whose payloads, joined, are one sequence of image-resource blocks.

#include <cstdint>
#include <memory>

#include "jpeg/kivJpegInfo.h"
#include "photoshop/kivAdobeResourceInfo.h"

class TkivJpegAdobeResourceSegment : public TkivJpegInfoSegment {
public:
  explicit TkivJpegAdobeResourceSegment(const TClass& Class);
  ~TkivJpegAdobeResourceSegment() override;
  static const TClass& ClassObject();

  // The most payload bytes one piece gets when the segment writes itself.
  static constexpr int64_t MaxPiecePayload = 32000;

  std::unique_ptr<TkivAdobeBlockList> Blocks;
  // What the report may still hold after this segment's blocks: the next resource segment of
  // the same file goes on from there.
  TkivAdobeBlockList::TAllowance Left;

  // The blocks' size with one piece header for every MaxPiecePayload bytes, as InitDefault
  // writes them; 0 without blocks.
  int64_t GetSize() const override;
  // Takes every consecutive piece at the stream's position, then decodes them.
  void LoadFromStream(TStream& Stream) override;
  // Joins the pieces' payloads and reads the blocks from them.
  void ParseData() override;
  // Writes the blocks again, in pieces.
  void InitDefault() override;
  void WriteDataHTML(TkivHTMLItem& Parent) override;
};

void kivJpegAdobeResourceSegment_Initialize();
