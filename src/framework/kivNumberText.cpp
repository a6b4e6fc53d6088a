#include "framework/kivNumberText.h"

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <ctime>

#include "framework/kivFormat.h"
#include "platform/kivLocale.h"

namespace {

// The C library writes its own decimal point; the report wants the user's.
std::string Localize(std::string S) {
  const std::lconv* L = std::localeconv();
  const char Point = L && L->decimal_point && *L->decimal_point ? *L->decimal_point : '.';
  const size_t At = S.find(Point);
  if (At != std::string::npos) S[At] = kivPlatform::DecimalSeparator();
  return S;
}

bool IsLeapYear(int Y) {
  return (Y % 4 == 0 && Y % 100 != 0) || Y % 400 == 0;
}

// Day of the week, 0 = Sunday, for the locale's date formats that name it.
int WeekDay(int Y, int M, int D) {
  static const int T[12] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (M < 3) Y -= 1;
  return (Y + Y / 4 - Y / 100 + Y / 400 + T[M - 1] + D) % 7;
}

std::string StrFTime(const std::string& Pattern, const std::tm& Tm) {
  if (Pattern.empty()) return {};
  char Buffer[256];
  const size_t N = std::strftime(Buffer, sizeof Buffer, Pattern.c_str(), &Tm);
  return std::string(Buffer, N);
}

} // namespace

std::string FloatToText(long double Value) {
  std::string S = Localize(Format("%.15LG", Value));
  const size_t E = S.find('E');
  if (E == std::string::npos) return S;
  std::string Mantissa = S.substr(0, E), Exponent = S.substr(E + 1);
  std::string Sign;
  if (!Exponent.empty() && (Exponent[0] == '+' || Exponent[0] == '-')) {
    if (Exponent[0] == '-') Sign = "-";
    Exponent.erase(0, 1);
  }
  while (Exponent.size() > 1 && Exponent[0] == '0')
    Exponent.erase(0, 1);
  return Mantissa + "E" + Sign + Exponent;
}

std::string FixedToText(long double Value, int Decimals) {
  if (!std::isfinite(Value)) return Localize(Format("%.*Lf", Decimals, Value));
  const std::string Scientific = Format("%.17Le", Value);
  const size_t E = Scientific.find('e');
  std::string Digits; // Digits[k] stands for 10^(Exponent - k)
  for (size_t I = 0; I < E; ++I)
    if (Scientific[I] >= '0' && Scientific[I] <= '9') Digits += Scientific[I];
  const int Exponent = std::atoi(Scientific.c_str() + E + 1);
  // The value times 10^Decimals, rounded, as decimal digits.
  const int Keep = Exponent + 1 + Decimals;
  std::string Scaled;
  if (Keep < 0) {
    Scaled = "0";
  } else if (Keep >= int(Digits.size())) {
    Scaled = Digits + std::string(size_t(Keep) - Digits.size(), '0');
  } else {
    Scaled.assign(1, '0').append(Digits, 0, size_t(Keep));
    if (Digits[size_t(Keep)] >= '5')
      for (size_t I = Scaled.size(); I-- > 0;) {
        if (Scaled[I] != '9') {
          ++Scaled[I];
          break;
        }
        Scaled[I] = '0';
      }
  }
  const size_t Width = size_t(Decimals) + 1; // at least one digit before the point
  while (Scaled.size() > Width && Scaled[0] == '0')
    Scaled.erase(0, 1);
  if (Scaled.size() < Width) Scaled.insert(0, Width - Scaled.size(), '0');
  if (Decimals > 0)
    Scaled.insert(Scaled.size() - size_t(Decimals), 1, kivPlatform::DecimalSeparator());
  return (Scientific[0] == '-' ? "-" : "") + Scaled;
}

std::string ShortFixedToText(long double Value, int Decimals) {
  std::string S = FixedToText(Value, Decimals);
  const char Separator = kivPlatform::DecimalSeparator();
  while (S.find(Separator) != std::string::npos && (S.back() == '0' || S.back() == Separator))
    S.pop_back();
  return S == "-0" ? "0" : S;
}

std::string RationalText(uint32_t Numerator, uint32_t Denominator) {
  return Format("%u/%u", Numerator, Denominator);
}

std::string RationalText(int32_t Numerator, int32_t Denominator) {
  return Format("%d/%d", Numerator, Denominator);
}

bool TextToInt64(const std::string& S, int64_t& Value) {
  size_t I = 0;
  bool Negative = false;
  if (I < S.size() && (S[I] == '+' || S[I] == '-')) Negative = S[I++] == '-';
  if (I == S.size()) return false;
  uint64_t V = 0;
  for (; I < S.size(); ++I) {
    if (S[I] < '0' || S[I] > '9') return false;
    if (V > (uint64_t(INT64_MAX) + 1 - uint64_t(S[I] - '0')) / 10) return false;
    V = V * 10 + uint64_t(S[I] - '0');
  }
  if (!Negative && V > uint64_t(INT64_MAX)) return false;
  Value = Negative ? static_cast<int64_t>(0 - V) : static_cast<int64_t>(V);
  return true;
}

std::optional<long double> RationalToFloat(const std::string& Text) {
  const size_t Slash = Text.find('/');
  int64_t N = 0, D = 0;
  if (Slash == std::string::npos || !TextToInt64(Text.substr(0, Slash), N) ||
      !TextToInt64(Text.substr(Slash + 1), D) || D == 0)
    return std::nullopt;
  return static_cast<long double>(N) / static_cast<long double>(D);
}

std::optional<int64_t> RoundHalfEven(long double Value) {
  if (!std::isfinite(Value) || Value >= 9.2e18L || Value <= -9.2e18L) return std::nullopt;
  return static_cast<int64_t>(std::nearbyintl(Value));
}

std::optional<std::string> DateTimeText(int Year, int Month, int Day, int Hour, int Minute,
                                        int Second) {
  static const int MonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1) return std::nullopt;
  if (Day > MonthDays[Month - 1] + (Month == 2 && IsLeapYear(Year) ? 1 : 0)) return std::nullopt;
  if (Hour < 0 || Hour > 23 || Minute < 0 || Minute > 59 || Second < 0 || Second > 59)
    return std::nullopt;
  std::tm Tm{};
  Tm.tm_year = Year - 1900;
  Tm.tm_mon = Month - 1;
  Tm.tm_mday = Day;
  Tm.tm_hour = Hour;
  Tm.tm_min = Minute;
  Tm.tm_sec = Second;
  Tm.tm_wday = WeekDay(Year, Month, Day);
  std::string Result = StrFTime(kivPlatform::ShortDateFormat(), Tm);
  if (Hour != 0 || Minute != 0 || Second != 0)
    Result.append(1, ' ').append(StrFTime(kivPlatform::LongTimeFormat(), Tm));
  return Result;
}
