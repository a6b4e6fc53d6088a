#pragma once
// The work one report may cost. The library runs inside someone else's process (often a
// 32-bit one), so a hostile file of a few kilobytes must not cost more than a normal one:
// every decoder that draws a picture asks the report's budget first, with the size the
// picture declares, before anything is allocated for it; decoders that multiply entries,
// values or copies count them here as well.
//
// One budget per report run, reached through the decoders' context: a segment asks its
// owner list, or uses its own when it stands alone.

#include <algorithm>
#include <cstdint>
#include <string>

#include "base/kivException.h"

enum class TkivPictureVerdict {
  Granted,
  TooLarge,     // beyond what any thumbnail or preview has
  OverBudget,   // the report's pictures together would exceed its pixel budget
  TooFewBytes,  // more than the bytes that carry the picture can hold
  TooManyScans, // more scans than a picture of its size and bytes may cost
  TooMany,      // the report has as many pictures as it shows
};

// A picture the budget refused, with the size its header declared; for the verdicts that
// weigh the picture's data, its bytes, and the scans it was allowed.
struct TkivPictureRefusal {
  TkivPictureVerdict Verdict = TkivPictureVerdict::Granted;
  int64_t Width = 0;
  int64_t Height = 0;
  int64_t Bytes = 0;
  int64_t Scans = 0;
};

// The line a page shows where a refused picture would be.
std::string PictureRefusalText(const TkivPictureRefusal& Refusal);

// Thrown by picture decoders when the budget refuses their picture.
class EkivPictureRefused : public EkivDecodeError {
public:
  explicit EkivPictureRefused(const TkivPictureRefusal& Refusal)
      : EkivDecodeError(PictureRefusalText(Refusal)), Refusal(Refusal) {}
  TkivPictureRefusal Refusal;
};

enum class TkivWork { Entries, Values, BytesCopied, BytesDumped };

class TkivWorkBudget {
public:
  // The largest picture decoded. The largest embedded previews are a few megapixels, and a
  // picture inside a marker segment has at most 64 KiB of data; 4096 x 4096 stays well above
  // both while a single picture keeps to about 50 MB of pixels.
  static constexpr int64_t MaxPictureSide = 4096;
  static constexpr int64_t MaxPicturePixels = MaxPictureSide * MaxPictureSide;
  // All pictures of one report: one of the largest, or hundreds of ordinary thumbnails; so a
  // hostile report costs what one large picture costs, a fraction of a second.
  static constexpr int64_t MaxReportPixels = MaxPicturePixels;
  // The pictures one report shows. A camera's file has a thumbnail or two, a file of several
  // images a picture each, and the richest real files a few dozen; beyond a few hundred a page
  // only leaves thousands of files beside it and takes a browser long to show, so the rest are
  // counted and named by their number.
  static constexpr int64_t MaxReportPictures = 256;
  // What bytes can carry. Every coded unit of a compressed picture (a JPEG's 8 x 8 block of
  // one component) takes at least one bit of its data, so a picture with more units than
  // eight per byte is declared over data that is not there, and decoding it only makes up
  // pixels. Encoders that end a flat picture early do leave the rest to the decoder, so up to
  // FreeUnits (a megapixel of grey, a few milliseconds to decode) come on top, whatever the
  // bytes.
  static constexpr int64_t MaxUnitsPerByte = 8;
  static constexpr int64_t FreeUnits = 16384;
  // The units Bytes can carry.
  static constexpr int64_t UnitsCarried(int64_t Bytes) {
    return (Bytes > 0 ? Bytes : 0) * MaxUnitsPerByte + FreeUnits;
  }
  // A report's pictures together, in pixels: one grey unit of 64 pixels for each unit its
  // bytes carry. Pictures that share their bytes (several directories pointing at one
  // thumbnail) are weighed here.
  static constexpr int64_t PixelsPerUnit = 64;
  // Each scan of a picture walks all the units it covers. Encoders write up to about ten
  // scans, a dozen or two for the most elaborate progressions; no picture is decoded over
  // more scans than this, nor over more than ten passes of the units its bytes carry, which
  // still allows real pictures (below two units a byte) forty scans and more.
  static constexpr int64_t MaxScans = 100;
  static constexpr int64_t ScanPasses = 10;
  // Far above what the largest files need, so that only multiplied work reaches them.
  static constexpr int64_t MaxEntries = int64_t(1) << 22;
  static constexpr int64_t MaxValues = int64_t(1) << 26;
  static constexpr int64_t MaxBytesCopied = int64_t(256) * 1024 * 1024;
  // The bytes one report shows as hex dumps. Every byte dumped is about five bytes of page,
  // held until its segment's report is written; a camera's file dumps well under a megabyte,
  // while a file of hundreds of gathered pieces would otherwise make a page ten times its
  // size. The bytes beyond are counted on the page, not shown.
  static constexpr int64_t MaxBytesDumped = int64_t(4) * 1024 * 1024;

  TkivWorkBudget() = default;
  // A report with fewer pixels for its pictures (decoder fuzzing, which explores structure).
  explicit TkivWorkBudget(int64_t ReportPixels) : ReportPixels(ReportPixels) {}

  // Asks for a picture of Width x Height pixels; a granted picture is counted.
  TkivPictureVerdict TakePicture(int64_t Width, int64_t Height);
  // The same for a compressed picture of Units coded units carried by Bytes bytes.
  TkivPictureVerdict TakePicture(int64_t Width, int64_t Height, int64_t Units, int64_t Bytes);
  // True, counting the picture as left out, when the report has as many pictures as it shows:
  // asked before anything of a picture is decoded.
  bool LeaveOutPicture();
  // The scans a compressed picture of Units coded units in Bytes bytes may be decoded over.
  static int64_t ScansAllowed(int64_t Units, int64_t Bytes);
  // The report is read from Bytes bytes (the largest told counts): its pictures together may
  // have no more pixels than those bytes can carry.
  void CarriedBy(int64_t Bytes) { ReportBytes = std::max(ReportBytes, Bytes); }
  // Grants up to Count of Kind (what is left when less) and counts what it granted.
  int64_t Take(TkivWork Kind, int64_t Count);

  int64_t PixelsTaken() const { return Pixels; }
  // The pictures refused because the report had shown as many as it may.
  int64_t PicturesLeftOut() const { return LeftOut; }
  int64_t Taken(TkivWork Kind) const { return Used[static_cast<int>(Kind)]; }

private:
  int64_t ReportPixels = MaxReportPixels;
  int64_t ReportBytes = 0; // unknown while 0
  int64_t Pixels = 0;
  int64_t Pictures = 0;
  int64_t LeftOut = 0;
  int64_t Used[4] = {};
};
