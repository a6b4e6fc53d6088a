#pragma once
// Numbers, rationals and dates as the reports show them: the general and fixed-decimal texts
// of a number with the user's decimal separator, the "n/d" texts of rationals, and a date with
// its time in the user's short-date and long-time forms.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The general format: the shortest text with up to 15 significant digits; exponents as "E",
// a minus sign and no leading zeros ("1E20", "1.5E-7").
std::string FloatToText(long double Value);
// Decimals digits after the separator; halves round away from zero, reading the value to the
// 18 significant digits extended precision carries (45/8 gives "5.63", 3/20 gives "0.2").
std::string FixedToText(long double Value, int Decimals);
// FixedToText without the zeros that end the decimals, nor the separator when no decimal is
// left ("72", "72.5", "12.25"); a value that rounds to zero has no sign.
std::string ShortFixedToText(long double Value, int Decimals);

// "%u/%u" and "%d/%d": a rational as stored, never reduced.
std::string RationalText(uint32_t Numerator, uint32_t Denominator);
std::string RationalText(int32_t Numerator, int32_t Denominator);

// A decimal integer with an optional sign and nothing else; false when S is not one or does
// not fit.
bool TextToInt64(std::string_view S, int64_t& Value);
// "n/d" as numerator divided by denominator; none when the text is not a rational or the
// denominator is 0.
std::optional<long double> RationalToFloat(std::string_view Text);
// To the nearest integer, halves to the even neighbour; none beyond the 64-bit range.
std::optional<int64_t> RoundHalfEven(long double Value);

// The user's short date, a blank and the long time (the date alone at midnight); none when
// there is no such date or time.
std::optional<std::string> DateTimeText(int Year, int Month, int Day, int Hour, int Minute,
                                        int Second);
