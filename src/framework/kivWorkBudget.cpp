#include "framework/kivWorkBudget.h"

#include <algorithm>

#include "framework/kivFormat.h"

namespace {
constexpr int64_t Limits[] = {TkivWorkBudget::MaxEntries, TkivWorkBudget::MaxValues,
                              TkivWorkBudget::MaxBytesCopied, TkivWorkBudget::MaxBytesDumped};

// Sides beyond 32 bits are no picture at all; keep the product from overflowing.
bool IsTooLarge(int64_t Width, int64_t Height) {
  return Width < 0 || Height < 0 || Width > INT32_MAX || Height > INT32_MAX ||
         Width * Height > TkivWorkBudget::MaxPicturePixels;
}
} // namespace

std::string PictureRefusalText(const TkivPictureRefusal& Refusal) {
  const auto W = static_cast<long long>(Refusal.Width), H = static_cast<long long>(Refusal.Height);
  switch (Refusal.Verdict) {
  case TkivPictureVerdict::TooLarge:
    return Format("Not decoded: the picture declares %lld x %lld pixels, more than a thumbnail "
                  "may have (%lld x %lld)",
                  W, H, static_cast<long long>(TkivWorkBudget::MaxPictureSide),
                  static_cast<long long>(TkivWorkBudget::MaxPictureSide));
  case TkivPictureVerdict::OverBudget:
    return Format("Not decoded: the picture declares %lld x %lld pixels, more than this report "
                  "has left for pictures",
                  W, H);
  case TkivPictureVerdict::TooFewBytes:
    return Format("Not decoded: the picture declares %lld x %lld pixels, more than its %lld "
                  "bytes can hold",
                  W, H, static_cast<long long>(Refusal.Bytes));
  case TkivPictureVerdict::TooManyScans:
    return Format("Not decoded: the picture has more than %lld scans, more than a picture of "
                  "%lld x %lld pixels in %lld bytes may have",
                  static_cast<long long>(Refusal.Scans), W, H,
                  static_cast<long long>(Refusal.Bytes));
  case TkivPictureVerdict::TooMany:
    return Format("Not shown: this report shows %lld pictures at most",
                  static_cast<long long>(TkivWorkBudget::MaxReportPictures));
  case TkivPictureVerdict::Granted:
    break;
  }
  return {};
}

TkivPictureVerdict TkivWorkBudget::TakePicture(int64_t Width, int64_t Height) {
  if (IsTooLarge(Width, Height)) return TkivPictureVerdict::TooLarge;
  // The smaller of the fixed budget and what the report's bytes carry, without overflowing.
  const int64_t Limit = ReportBytes > 0 && UnitsCarried(ReportBytes) < ReportPixels / PixelsPerUnit
                            ? UnitsCarried(ReportBytes) * PixelsPerUnit
                            : ReportPixels;
  if (Width * Height > Limit - Pixels) return TkivPictureVerdict::OverBudget;
  if (Width * Height > 0) {
    if (Pictures >= MaxReportPictures) {
      ++LeftOut;
      return TkivPictureVerdict::TooMany;
    }
    ++Pictures;
  }
  Pixels += Width * Height;
  return TkivPictureVerdict::Granted;
}

TkivPictureVerdict TkivWorkBudget::TakePicture(int64_t Width, int64_t Height, int64_t Units,
                                               int64_t Bytes) {
  // The size first: a picture that no thumbnail may be is named so whatever its data.
  if (IsTooLarge(Width, Height)) return TkivPictureVerdict::TooLarge;
  if (Units > UnitsCarried(Bytes)) return TkivPictureVerdict::TooFewBytes;
  return TakePicture(Width, Height);
}

bool TkivWorkBudget::LeaveOutPicture() {
  if (Pictures < MaxReportPictures) return false;
  ++LeftOut;
  return true;
}

int64_t TkivWorkBudget::ScansAllowed(int64_t Units, int64_t Bytes) {
  if (Units <= 0) return MaxScans;
  // Bytes of a picture in memory stay far below the 2^56 at which the product would overflow.
  return std::clamp<int64_t>(ScanPasses * UnitsCarried(Bytes) / Units, 1, MaxScans);
}

int64_t TkivWorkBudget::Take(TkivWork Kind, int64_t Count) {
  const int I = static_cast<int>(Kind);
  const int64_t Granted = std::clamp<int64_t>(Count, 0, Limits[I] - Used[I]);
  Used[I] += Granted;
  return Granted;
}
