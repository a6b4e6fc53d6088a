#pragma once
// The work one report may cost. The library runs inside someone else's process (often a
// 32-bit one), so a hostile file of a few kilobytes must not cost more than a normal one:
// every decoder that draws a picture asks the report's budget first, with the size the
// picture declares, before anything is allocated for it; decoders that multiply entries,
// values or copies count them here as well.
//
// One budget per report run, reached through the decoders' context: a segment asks its
// owner list, or uses its own when it stands alone.

#include <cstdint>
#include <string>

#include "base/kivException.h"

enum class TkivPictureVerdict {
  Granted,
  TooLarge,   // beyond what any thumbnail or preview has
  OverBudget, // the report's pictures together would exceed its pixel budget
};

// A picture the budget refused, with the size its header declared.
struct TkivPictureRefusal {
  TkivPictureVerdict Verdict = TkivPictureVerdict::Granted;
  int64_t Width = 0;
  int64_t Height = 0;
};

// The line a page shows where a refused picture would be.
std::string PictureRefusalText(const TkivPictureRefusal& Refusal);

// Thrown by picture decoders when the budget refuses their picture.
class EkivPictureRefused : public Exception {
public:
  explicit EkivPictureRefused(const TkivPictureRefusal& Refusal)
      : Exception(PictureRefusalText(Refusal)), Refusal(Refusal) {}
  TkivPictureRefusal Refusal;
};

enum class TkivWork { Entries, Values, BytesCopied };

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
  // Far above what the largest files need, so that only multiplied work reaches them.
  static constexpr int64_t MaxEntries = int64_t(1) << 22;
  static constexpr int64_t MaxValues = int64_t(1) << 26;
  static constexpr int64_t MaxBytesCopied = int64_t(256) * 1024 * 1024;

  TkivWorkBudget() = default;
  // A report with fewer pixels for its pictures (decoder fuzzing, which explores structure).
  explicit TkivWorkBudget(int64_t ReportPixels) : ReportPixels(ReportPixels) {}

  // Asks for a picture of Width x Height pixels; a granted picture is counted.
  TkivPictureVerdict TakePicture(int64_t Width, int64_t Height);
  // Grants up to Count of Kind (what is left when less) and counts what it granted.
  int64_t Take(TkivWork Kind, int64_t Count);

  int64_t PixelsTaken() const { return Pixels; }
  int64_t Taken(TkivWork Kind) const { return Used[static_cast<int>(Kind)]; }

private:
  int64_t ReportPixels = MaxReportPixels;
  int64_t Pixels = 0;
  int64_t Used[3] = {};
};
