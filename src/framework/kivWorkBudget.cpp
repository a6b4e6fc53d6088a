#include "framework/kivWorkBudget.h"

#include <algorithm>

#include "framework/kivFormat.h"

namespace {
constexpr int64_t Limits[] = {TkivWorkBudget::MaxEntries, TkivWorkBudget::MaxValues,
                              TkivWorkBudget::MaxBytesCopied};
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
  case TkivPictureVerdict::Granted:
    break;
  }
  return {};
}

TkivPictureVerdict TkivWorkBudget::TakePicture(int64_t Width, int64_t Height) {
  // Sides beyond 32 bits are no picture at all; keep the product from overflowing.
  if (Width < 0 || Height < 0 || Width > INT32_MAX || Height > INT32_MAX ||
      Width * Height > MaxPicturePixels)
    return TkivPictureVerdict::TooLarge;
  if (Width * Height > ReportPixels - Pixels) return TkivPictureVerdict::OverBudget;
  Pixels += Width * Height;
  return TkivPictureVerdict::Granted;
}

int64_t TkivWorkBudget::Take(TkivWork Kind, int64_t Count) {
  const int I = static_cast<int>(Kind);
  const int64_t Granted = std::clamp<int64_t>(Count, 0, Limits[I] - Used[I]);
  Used[I] += Granted;
  return Granted;
}
