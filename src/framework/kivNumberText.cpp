#include "framework/kivNumberText.h"

#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <string_view>

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

// The first Precision (at most 18) significant digits of Value, rounded as the C library rounds
// them (to nearest, halves to even, from the exact value): Value is about Digits * 10^(Exponent
// - Precision + 1), with 10^(Precision - 1) <= Digits < 10^Precision. Exact integer arithmetic in
// 128 bits; false for 0, infinities and NaN and for values too large or too small for it, which
// the C library then writes. A report writes thousands of numbers.
bool SignificantDigits(long double Value, int Precision, uint64_t& Digits, int& Exponent) {
#ifndef __SIZEOF_INT128__
  (void)Value, (void)Precision, (void)Digits, (void)Exponent;
  return false;
#else
  using UInt128 = unsigned __int128;
  if (std::numeric_limits<long double>::digits > 64 || !std::isfinite(Value) || Value == 0)
    return false;
  // |Value| = Mantissa * 2^Shift exactly.
  int BinaryExponent = 0;
  const long double Fraction = std::frexp(std::fabs(Value), &BinaryExponent);
  const auto Mantissa = static_cast<uint64_t>(std::ldexp(Fraction, 64));
  const int Shift = BinaryExponent - 64;
  uint64_t Low = 1; // 10^(Precision - 1)
  for (int I = 1; I < Precision; ++I)
    Low *= 10;
  const auto BitWidth = [](UInt128 V) {
    const auto High = static_cast<uint64_t>(V >> 64);
    return High != 0 ? 64 + int(std::bit_width(High)) : int(std::bit_width(uint64_t(V)));
  };
  // log10(2) underestimates by less than one: the loop corrects the guess.
  int X = static_cast<int>(std::floor((BinaryExponent - 1) * 0.30102999566398120L));
  for (int Attempt = 0; Attempt < 3; ++Attempt) {
    // |Value| * 10^K = Num / Den.
    const int K = Precision - 1 - X;
    if (K > 27 || K < -27) return false;
    UInt128 Power5 = 1;
    for (int I = 0; I < (K < 0 ? -K : K); ++I)
      Power5 *= 5;
    UInt128 Num = UInt128(Mantissa) * (K >= 0 ? Power5 : 1);
    UInt128 Den = K < 0 ? Power5 : 1;
    const int Two = Shift + K;
    if (Two >= 0) {
      if (BitWidth(Num) + Two > 126) return false;
      Num <<= Two;
    } else {
      if (BitWidth(Den) - Two > 126) return false;
      Den <<= -Two;
    }
    UInt128 Q = Num / Den;
    const UInt128 Rem = Num % Den;
    if (Q < Low) {
      --X;
      continue;
    }
    if (Q >= UInt128(Low) * 10) {
      ++X;
      continue;
    }
    if (2 * Rem > Den || (2 * Rem == Den && (Q & 1) != 0)) ++Q;
    if (Q == UInt128(Low) * 10) {
      Q = Low;
      ++X;
    }
    Digits = static_cast<uint64_t>(Q);
    Exponent = X;
    return true;
  }
  return false;
#endif
}

// The general format of printf's "%.15LG", written from the significant digits.
std::string GeneralText(bool Negative, uint64_t Digits, int Exponent) {
  char Text[16];
  const auto Length = size_t(std::to_chars(Text, Text + sizeof Text, Digits).ptr - Text);
  std::string_view D(Text, Length);
  while (D.size() > 1 && D.back() == '0')
    D.remove_suffix(1);
  std::string S = Negative ? "-" : "";
  if (Exponent < -4 || Exponent >= 15) {
    S += D[0];
    if (D.size() > 1) S.append(1, kivPlatform::DecimalSeparator()).append(D.substr(1));
    S += Exponent < 0 ? "E-" : "E";
    S += std::to_string(Exponent < 0 ? -Exponent : Exponent);
  } else if (Exponent < 0) {
    S.append(1, '0').append(1, kivPlatform::DecimalSeparator());
    S.append(size_t(-Exponent - 1), '0').append(D);
  } else {
    const size_t Whole = size_t(Exponent) + 1;
    S.append(D.substr(0, Whole));
    if (D.size() < Whole) S.append(Whole - D.size(), '0');
    if (D.size() > Whole) S.append(1, kivPlatform::DecimalSeparator()).append(D.substr(Whole));
  }
  return S;
}

} // namespace

std::string FloatToText(long double Value) {
  uint64_t Digits = 0;
  int Power = 0;
  if (SignificantDigits(Value, 15, Digits, Power))
    return GeneralText(std::signbit(Value), Digits, Power);
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
  std::string Digits; // Digits[k] stands for 10^(Exponent - k)
  int Exponent = 0;
  bool Negative = std::signbit(Value);
  uint64_t Significant = 0;
  if (SignificantDigits(Value, 18, Significant, Exponent)) {
    Digits = std::to_string(Significant);
  } else {
    const std::string Scientific = Format("%.17Le", Value);
    const size_t E = Scientific.find('e');
    for (size_t I = 0; I < E; ++I)
      if (Scientific[I] >= '0' && Scientific[I] <= '9') Digits += Scientific[I];
    Exponent = std::atoi(Scientific.c_str() + E + 1);
    Negative = Scientific[0] == '-';
  }
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
  return (Negative ? "-" : "") + Scaled;
}

std::string ShortFixedToText(long double Value, int Decimals) {
  std::string S = FixedToText(Value, Decimals);
  const char Separator = kivPlatform::DecimalSeparator();
  while (S.find(Separator) != std::string::npos && (S.back() == '0' || S.back() == Separator))
    S.pop_back();
  return S == "-0" ? "0" : S;
}

namespace {
// "n/d" in decimal; an EXIF structure holds thousands of rationals.
template <class T> std::string RationalDigits(T Numerator, T Denominator) {
  char N[16], D[16];
  const char* NEnd = std::to_chars(N, N + sizeof N, Numerator).ptr;
  const char* DEnd = std::to_chars(D, D + sizeof D, Denominator).ptr;
  std::string Text(N, size_t(NEnd - N));
  Text += '/';
  Text.append(D, size_t(DEnd - D));
  return Text;
}
} // namespace

std::string RationalText(uint32_t Numerator, uint32_t Denominator) {
  return RationalDigits(Numerator, Denominator);
}

std::string RationalText(int32_t Numerator, int32_t Denominator) {
  return RationalDigits(Numerator, Denominator);
}

bool TextToInt64(std::string_view S, int64_t& Value) {
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

std::optional<long double> RationalToFloat(std::string_view Text) {
  const size_t Slash = Text.find('/');
  int64_t N = 0, D = 0;
  if (Slash == std::string_view::npos || !TextToInt64(Text.substr(0, Slash), N) ||
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
