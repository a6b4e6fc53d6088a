#include "tiff/kivTiffInfo2.h"

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <type_traits>

#include "framework/kivException.h"
#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "framework/kivJpegImage.h"
#include "platform/kivCodePage.h"
#include "platform/kivLocale.h"

namespace kivTiffInfo2 {

namespace {

// Directories nested deeper than this are not followed: real files nest three levels, and
// the readers and writers recurse once per level.
constexpr int32_t MaxIFDLevel = 32;

const char* const TypeNames[18] = {
    "Byte",      "Ascii", "Short",  "Long", "Rational", "SByte",   "Undefined", "SShort", "SLong",
    "SRational", "Float", "Double", "IFD",  "Unicode",  "Complex", "Long8",     "SLong8", "IFD8"};
constexpr int32_t UnitSizes[14] = {1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 2};

// "&#160" k times; the report indents by it.
std::string Indentation(int32_t K) {
  std::string S;
  for (int32_t I = 0; I < K; ++I)
    S += "&#160";
  return S;
}

TkivTiffValue ReadOneValue(TStream& Stream, uint16_t FieldType, bool Motorola) {
  switch (FieldType) {
  case ftAscii:
    return std::string(1, static_cast<char>(ReadByte(Stream)));
  case ftShort:
  case ftUnicode:
    return ReadWord(Stream, Motorola);
  case ftLong:
  case ftIFD:
    return ReadLong(Stream, Motorola);
  case ftRational: {
    const uint32_t N = ReadLong(Stream, Motorola);
    const uint32_t D = ReadLong(Stream, Motorola);
    return Format("%u/%u", N, D);
  }
  case ftSByte:
    return static_cast<int8_t>(ReadByte(Stream));
  case ftSShort:
    return static_cast<int16_t>(ReadWord(Stream, Motorola));
  case ftSLong:
    return static_cast<int32_t>(ReadLong(Stream, Motorola));
  case ftSRational: {
    const auto N = static_cast<int32_t>(ReadLong(Stream, Motorola));
    const auto D = static_cast<int32_t>(ReadLong(Stream, Motorola));
    return Format("%d/%d", N, D);
  }
  case ftFloat: {
    const uint32_t Bits = ReadLong(Stream, Motorola);
    float F;
    std::memcpy(&F, &Bits, sizeof F);
    return static_cast<double>(F);
  }
  case ftDouble: {
    const uint32_t First = ReadLong(Stream, Motorola);
    const uint32_t Second = ReadLong(Stream, Motorola);
    const uint64_t Bits =
        Motorola ? (uint64_t(First) << 32) | Second : (uint64_t(Second) << 32) | First;
    double D;
    std::memcpy(&D, &Bits, sizeof D);
    return D;
  }
  default:
    return ReadByte(Stream); // Byte, Undefined and every invalid type
  }
}

} // namespace

// ---- Field types ----

bool IsValidType(uint16_t FieldType) {
  return FieldType >= 1 && FieldType <= 14;
}

int32_t TypeUnitSize(uint16_t FieldType) {
  return IsValidType(FieldType) ? UnitSizes[FieldType - 1] : 1;
}

bool IsTextType(uint16_t FieldType) {
  return FieldType == ftAscii || FieldType == ftUnicode;
}

bool IsOffsetType(uint16_t FieldType) {
  return FieldType == ftLong || FieldType == ftIFD || FieldType == ftLong8 || FieldType == ftIFD8;
}

void GetTypeName(uint16_t FieldType, bool& Unknown, std::string& S) {
  Unknown = FieldType < 1 || FieldType > 18;
  S = Unknown ? "Type " + std::to_string(FieldType) : TypeNames[FieldType - 1];
}

void GetTagText(uint16_t Tag, std::string& S) {
  S = Format("Tag%.4X", Tag);
}

// ---- Value texts and number conversions ----

namespace {

// A formatter's refusal; the report then shows the raw text in red.
class EFormatterFailed : public Exception {
public:
  EFormatterFailed() : Exception("") {}
};

[[noreturn]] void Fail() {
  throw EFormatterFailed();
}

// The C library writes its own decimal point; the report wants the user's.
std::string Localize(std::string S) {
  const std::lconv* L = std::localeconv();
  const char Point = L && L->decimal_point && *L->decimal_point ? *L->decimal_point : '.';
  const size_t At = S.find(Point);
  if (At != std::string::npos) S[At] = kivPlatform::DecimalSeparator();
  return S;
}

// The general format: shortest text with up to 15 significant digits, exponents without
// plus sign or leading zeros.
std::string FloatToText(long double V) {
  std::string S = Localize(Format("%.15LG", V));
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

// Fixed decimals as people round them: the value to 18 significant digits (what extended
// precision carries), then halves away from zero, so 45/8 gives 5.63 and 3/20 gives 0.2.
std::string FixedText(long double V, int Decimals) {
  if (!std::isfinite(V)) return Localize(Format("%.*Lf", Decimals, V));
  const std::string Scientific = Format("%.17Le", V);
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
    Scaled = "0" + Digits.substr(0, size_t(Keep));
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

bool ParseInt64(const std::string& S, int64_t& Value) {
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

int64_t ToInt64(const std::string& S) {
  int64_t V;
  if (!ParseInt64(S, V)) Fail();
  return V;
}

// "n/d" as a number; a zero denominator fails.
long double RationalValue(const std::string& Raw) {
  const size_t Slash = Raw.find('/');
  if (Slash == std::string::npos) Fail();
  const int64_t N = ToInt64(Raw.substr(0, Slash));
  const int64_t D = ToInt64(Raw.substr(Slash + 1));
  if (D == 0) Fail();
  return static_cast<long double>(N) / static_cast<long double>(D);
}

// To the nearest integer, halves to the even neighbour.
int64_t RoundEven(long double V) {
  if (!std::isfinite(V) || V >= 9.2e18L || V <= -9.2e18L) Fail();
  return static_cast<int64_t>(std::nearbyintl(V));
}

void Require(const TkivTiffEntry& Entry, std::initializer_list<uint16_t> Types, int64_t Count) {
  if (std::find(Types.begin(), Types.end(), Entry.FieldType) == Types.end()) Fail();
  if (Count >= 0 && Entry.ValueCount() != Count) Fail();
}

int64_t IntegerValue(const TkivTiffValue& Value) {
  return std::visit(
      [](const auto& V) -> int64_t {
        using T = std::decay_t<decltype(V)>;
        if constexpr (std::is_integral_v<T>)
          return V;
        else
          Fail();
      },
      Value);
}

struct TCodeName {
  int64_t Code;
  const char* Name;
};

template <size_t N>
void Enumerate(const TkivTiffEntry& Entry, const std::string& Raw, std::string& Result,
               uint16_t FieldType, const TCodeName (&List)[N]) {
  Require(Entry, {FieldType}, 1);
  const int64_t Code = IntegerValue(Entry.GetValue(0));
  for (const TCodeName& Item : List)
    if (Item.Code == Code) {
      Result = Item.Name;
      return;
    }
  Result = FormatCannotDecode(Raw);
}

// ---- Word lists ----

constexpr TCodeName SubfileTypes[] = {{1, "Full-resolution image"},
                                      {2, "Reduced-resolution image"},
                                      {3, "A single page of a multi-page image "}};
constexpr TCodeName Compressions[] = {{1, "No comporession"},
                                      {2, "CCITT modified Huffman RLE"},
                                      {3, "CCITT Group 3 fax encoding"},
                                      {4, "CCITT Group 4 fax encoding"},
                                      {5, "Lempel-Ziv & Welch"},
                                      {6, "JPEG"},
                                      {7, "JPEG DCT compression"},
                                      {8, "Deflate compression, as recognized by Adobe"},
                                      {32766, "NeXT 2-bit RLE"},
                                      {32771, "#1 w/ word alignment"},
                                      {32773, "Macintosh RLE"},
                                      {32809, "ThunderScan RLE"},
                                      {32895, "IT8 CT w/padding"},
                                      {32896, "IT8 Linework RLE"},
                                      {32897, "IT8 Monochrome picture"},
                                      {32898, "IT8 Binary line art"},
                                      {32908, "Pixar companded 10bit LZW"},
                                      {32909, "Pixar companded 11bit ZIP"},
                                      {32946, "Deflate compression"},
                                      {32947, "Kodak DCS encoding"},
                                      {34661, "ISO JBIG"},
                                      {34676, "SGI Log Luminance RLE"},
                                      {34677, "SGI Log 24-bit packed"},
                                      {34712, "Leadtools JPEG2000"}};
constexpr TCodeName Photometrics[] = {{0, "WhiteIsZero"},
                                      {1, "BlackIsZero"},
                                      {2, "RGB"},
                                      {3, "Palette color"},
                                      {4, "Transparency mask"},
                                      {5, "CMYK"},
                                      {6, "YCbCr"},
                                      {8, "CIE L*a*b*"},
                                      {9, "ICC L*a*b*"},
                                      {10, "ITU L*a*b*"},
                                      {32803, "CFA (Color Filter Array)"},
                                      {32844, "CIE Log2(L)"},
                                      {32845, "CIE Log2(L) (u',v')"},
                                      {34892, "LinearRaw"}};
constexpr TCodeName Thresholdings[] = {
    {1, "b&w art scan"}, {2, "Dithered scan"}, {3, "Floyd-steinberg"}};
constexpr TCodeName FillOrders[] = {{1, "Most significant -> least"},
                                    {2, "Least significant -> most"}};
constexpr TCodeName Orientations[] = {
    {1, "No rotation, no flip"},
    {2, "No rotation, flipped horizontally"},
    {3, "Rotated 180 degrees, no flip"},
    {4, "No rotation, flipped vertically"},
    {5, "Rotated 90 degrees counter clockwise, flipped horizontally"},
    {6, "Rotated 90 degrees clockwise, no flip"},
    {7, "Rotated 90 degrees clockwise, flipped horizontally"},
    {8, "Rotated 90 degrees counter clockwise, no flip"}};
constexpr TCodeName PlanarConfigurations[] = {{1, "Chunky format"}, {2, "Planar format"}};
constexpr TCodeName ResolutionUnits[] = {{1, "No unit"}, {2, "Inch"}, {3, "Cm"}};
constexpr TCodeName YCbCrPositionings[] = {{1, "Centered"}, {2, "Cosited"}};
constexpr TCodeName ExposurePrograms[] = {
    {0, "Not defined"},       {1, "Manual"},           {2, "Normal program"},
    {3, "Aperture priority"}, {4, "Shutter priority"}, {5, "Creative program"},
    {6, "Action program"},    {7, "Portrait mode"},    {8, "Landscape mode"}};
constexpr TCodeName MeteringModes[] = {
    {0, "Unknown"}, {1, "Average"},   {2, "CenterWeightedAverage"},
    {3, "Spot"},    {4, "MultiSpot"}, {5, "Pattern"},
    {6, "Partial"}, {255, "Other"}};
constexpr TCodeName LightSources[] = {{0, "Unknown"},
                                      {1, "Daylight"},
                                      {2, "Fluorescent"},
                                      {3, "Tungsten"},
                                      {4, "Flash"},
                                      {9, "Fine weather"},
                                      {10, "Cloudy weather"},
                                      {11, "Shade"},
                                      {12, "Daylight fluorescent (D 5700 - 7100K)"},
                                      {13, "Day white fluorescent (N 4600 - 5400K)"},
                                      {14, "Cool white fluorescent (W 3900 - 4500K)"},
                                      {15, "White fluorescent (WW 3200 - 3700K)"},
                                      {17, "Standard light A"},
                                      {18, "Standard light B"},
                                      {19, "Standard light C"},
                                      {20, "D55"},
                                      {21, "D65"},
                                      {22, "D75"},
                                      {23, "D50"},
                                      {24, "ISO studio tungsten"},
                                      {255, "Other"}};
constexpr TCodeName ColorSpaces[] = {{1, "sRGB"}, {65535, "Uncalibrated"}};
constexpr TCodeName SensingMethods[] = {{1, "Not defined"},
                                        {2, "One-chip color area sensor"},
                                        {3, "Two-chip color area sensor"},
                                        {4, "Three-chip color area sensor"},
                                        {5, "Color sequential area sensor"},
                                        {7, "Trilinear sensor"},
                                        {8, "Color sequential linear sensor"}};
constexpr TCodeName FileSources[] = {
    {1, "Scanner of transparent type"}, {2, "Scanner of reflex type"}, {3, "DCS"}};
constexpr TCodeName SceneTypes[] = {{1, "A directly photographed image"}};
constexpr TCodeName CustomRendereds[] = {{0, "Normal process"}, {1, "Custom process"}};
constexpr TCodeName ExposureModes[] = {
    {0, "Auto exposure"}, {1, "Manual exposure"}, {2, "Auto bracket"}};
constexpr TCodeName WhiteBalances[] = {{0, "Auto white balance"}, {1, "Manual white balance"}};
constexpr TCodeName SceneCaptureTypes[] = {
    {0, "Standard"}, {1, "Landscape"}, {2, "Portrait"}, {3, "Night scene"}};
constexpr TCodeName GainControls[] = {{0, "None"},
                                      {1, "Low gain up"},
                                      {2, "High gain up"},
                                      {3, "Low gain down"},
                                      {4, "High gain down"}};
constexpr TCodeName ContrastsAndSharpnesses[] = {{0, "Normal"}, {1, "Soft"}, {2, "Hard"}};
constexpr TCodeName Saturations[] = {{0, "Normal"}, {1, "Low saturation"}, {2, "High saturation"}};
constexpr TCodeName SubjectDistanceRanges[] = {
    {0, "Unknown"}, {1, "Macro"}, {2, "Close view"}, {3, "Distant view"}};

const char* const ComponentNames[6] = {"Y", "Cb", "Cr", "R", "G", "B"};

// ---- Formatters ----

#define KIV_ENUM_FORMATTER(Name, Type, List)                                                       \
  void Name(const TkivTiffEntry& Entry, const std::string& Raw, std::string& Result) {             \
    Enumerate(Entry, Raw, Result, Type, List);                                                     \
  }

KIV_ENUM_FORMATTER(FormatSubfileType, ftShort, SubfileTypes)
KIV_ENUM_FORMATTER(FormatCompression, ftShort, Compressions)
KIV_ENUM_FORMATTER(FormatPhotometric, ftShort, Photometrics)
KIV_ENUM_FORMATTER(FormatThresholding, ftShort, Thresholdings)
KIV_ENUM_FORMATTER(FormatFillOrder, ftShort, FillOrders)
KIV_ENUM_FORMATTER(FormatOrientation, ftShort, Orientations)
KIV_ENUM_FORMATTER(FormatPlanarConfiguration, ftShort, PlanarConfigurations)
KIV_ENUM_FORMATTER(FormatResolutionUnit, ftShort, ResolutionUnits)
KIV_ENUM_FORMATTER(FormatYCbCrPositioning, ftShort, YCbCrPositionings)
KIV_ENUM_FORMATTER(FormatExposureProgram, ftShort, ExposurePrograms)
KIV_ENUM_FORMATTER(FormatMeteringMode, ftShort, MeteringModes)
KIV_ENUM_FORMATTER(FormatLightSource, ftShort, LightSources)
KIV_ENUM_FORMATTER(FormatColorSpace, ftShort, ColorSpaces)
KIV_ENUM_FORMATTER(FormatSensingMethod, ftShort, SensingMethods)
KIV_ENUM_FORMATTER(FormatFileSource, ftUndefined, FileSources)
KIV_ENUM_FORMATTER(FormatSceneType, ftUndefined, SceneTypes)
KIV_ENUM_FORMATTER(FormatCustomRendered, ftShort, CustomRendereds)
KIV_ENUM_FORMATTER(FormatExposureMode, ftShort, ExposureModes)
KIV_ENUM_FORMATTER(FormatWhiteBalance, ftShort, WhiteBalances)
KIV_ENUM_FORMATTER(FormatSceneCaptureType, ftShort, SceneCaptureTypes)
KIV_ENUM_FORMATTER(FormatGainControl, ftShort, GainControls)
KIV_ENUM_FORMATTER(FormatContrastAndSharpness, ftShort, ContrastsAndSharpnesses)
KIV_ENUM_FORMATTER(FormatSaturation, ftShort, Saturations)
KIV_ENUM_FORMATTER(FormatSubjectDistanceRange, ftShort, SubjectDistanceRanges)

#undef KIV_ENUM_FORMATTER

// Bit 0 reduced resolution and bit 1 one page of many, as TIFF defines them; bit 2 (the
// transparency mask in TIFF) carries the remaining text.
void FormatSubfileFlags(const TkivTiffEntry& Entry, const std::string&, std::string& Result) {
  Require(Entry, {ftLong}, 1);
  static const char* const Texts[3] = {"Reduced-resolution", "A single page of a multi-page",
                                       "Full-resolution"};
  const int64_t Flags = IntegerValue(Entry.GetValue(0));
  Result.clear();
  for (int Bit = 0; Bit < 3; ++Bit)
    if (Flags & (int64_t(1) << Bit)) {
      if (!Result.empty()) Result += ", ";
      Result += Texts[Bit];
    }
  Result += " image";
}

void FormatRationalNumber(const TkivTiffEntry& Entry, const std::string& Raw, std::string& Result) {
  Require(Entry, {ftRational, ftSRational}, 1);
  Result = FloatToText(RationalValue(Raw));
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

void FormatDateTime(const TkivTiffEntry& Entry, const std::string& Raw, std::string& Result) {
  Require(Entry, {ftAscii}, 20);
  const auto Field = [&Raw](size_t From, size_t Length) {
    if (From >= Raw.size()) Fail();
    return static_cast<int>(ToInt64(Raw.substr(From, Length)));
  };
  const int Year = Field(0, 4), Month = Field(5, 2), Day = Field(8, 2);
  const int Hour = Field(11, 2), Minute = Field(14, 2), Second = Field(17, 2);
  static const int MonthDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1) Fail();
  if (Day > MonthDays[Month - 1] + (Month == 2 && IsLeapYear(Year) ? 1 : 0)) Fail();
  if (Hour < 0 || Hour > 23 || Minute < 0 || Minute > 59 || Second < 0 || Second > 59) Fail();
  std::tm Tm{};
  Tm.tm_year = Year - 1900;
  Tm.tm_mon = Month - 1;
  Tm.tm_mday = Day;
  Tm.tm_hour = Hour;
  Tm.tm_min = Minute;
  Tm.tm_sec = Second;
  Tm.tm_wday = WeekDay(Year, Month, Day);
  Result = StrFTime(kivPlatform::ShortDateFormat(), Tm);
  if (Hour != 0 || Minute != 0 || Second != 0)
    Result += " " + StrFTime(kivPlatform::LongTimeFormat(), Tm);
}

void FormatExposureTime(const TkivTiffEntry& Entry, const std::string& Raw, std::string& Result) {
  Require(Entry, {ftRational}, 1);
  const long double V = RationalValue(Raw);
  Result = "1/" + std::to_string(RoundEven(1.0L / V)) + " sec";
}

void FormatFNumber(const TkivTiffEntry& Entry, const std::string& Raw, std::string& Result) {
  Require(Entry, {ftRational}, 1);
  Result = "F" + FixedText(RationalValue(Raw), 1);
}

void FormatVersion(const TkivTiffEntry& Entry, const std::string&, std::string& Result) {
  Require(Entry, {ftUndefined}, 4);
  int D[4];
  for (int I = 0; I < 4; ++I) {
    const int64_t V = IntegerValue(Entry.GetValue(I));
    if (V < '0' || V > '9') Fail();
    D[I] = static_cast<int>(V - '0');
  }
  Result = FixedText(D[0] * 10 + D[1] + D[2] / 10.0L + D[3] / 100.0L, 2);
  const size_t At = Result.find(kivPlatform::DecimalSeparator());
  if (At != std::string::npos) Result[At] = '.';
}

void FormatComponents(const TkivTiffEntry& Entry, const std::string& Raw, std::string& Result) {
  Require(Entry, {ftUndefined}, 4);
  Result.clear();
  for (int I = 0; I < 4; ++I) {
    const int64_t V = IntegerValue(Entry.GetValue(I));
    if (V == 0) return;
    if (V < 1 || V > 6) {
      Result = FormatCannotDecode(Raw);
      return;
    }
    Result += ComponentNames[V - 1];
  }
}

void FormatShutterSpeed(const TkivTiffEntry& Entry, const std::string& Raw, std::string& Result) {
  Require(Entry, {ftSRational}, 1);
  const long double V = RationalValue(Raw);
  Result = FixedText(V, 2) + " (1/" + std::to_string(RoundEven(std::pow(2.0L, V))) + " sec)";
}

void FormatExposureValue(const TkivTiffEntry& Entry, const std::string& Raw, std::string& Result) {
  Require(Entry, {ftSRational}, 1);
  Result = FixedText(RationalValue(Raw), 1) + " EV";
}

void FormatUserComment(const TkivTiffEntry& Entry, const std::string& Raw, std::string& Result) {
  Require(Entry, {ftAscii, ftUnicode, ftUndefined}, -1);
  if (Entry.FieldType != ftUndefined) {
    Result = Raw;
    return;
  }
  Result.clear();
  for (int32_t I = 8; I < Entry.HeldValues(); ++I)
    Result += static_cast<char>(IntegerValue(Entry.GetValue(I)));
}

void FormatDigitalZoom(const TkivTiffEntry& Entry, const std::string& Raw, std::string& Result) {
  Require(Entry, {ftRational}, 1);
  if (ToInt64(Raw.substr(0, Raw.find('/'))) == 0)
    Result = "Not used";
  else
    Result = FloatToText(RationalValue(Raw));
}

void FormatFocalLength35(const TkivTiffEntry& Entry, const std::string& Raw, std::string& Result) {
  Require(Entry, {ftShort}, 1);
  Result = IntegerValue(Entry.GetValue(0)) == 0 ? "Unknown" : Raw + " mm";
}

} // namespace

void FormatNotSupported(const TkivTiffEntry&, const std::string&, std::string& Result) {
  Result = "Not supported yet";
}

std::string ValueToText(const TkivTiffValue& Value) {
  return std::visit(
      [](const auto& V) -> std::string {
        using T = std::decay_t<decltype(V)>;
        if constexpr (std::is_same_v<T, std::monostate>)
          return {};
        else if constexpr (std::is_same_v<T, std::string>)
          return V;
        else if constexpr (std::is_same_v<T, double>)
          return FloatToText(V);
        else
          return std::to_string(V);
      },
      Value);
}

// ---- Tag tables ----

const TTagNameRec MainTagTable[138] = {
    {0x000B, "ACDCComment"},
    {0x00FE, "NewSubFileType", FormatSubfileFlags},
    {0x00FF, "SubFileType", FormatSubfileType},
    {0x0100, "ImageWidth", nullptr, "%s pixels"},
    {0x0101, "ImageLength", nullptr, "%s pixels"},
    {0x0102, "BitsPerSample", nullptr, "%s bits"},
    {0x0103, "Compression", FormatCompression},
    {0x0106, "PhotometricInterpretation", FormatPhotometric},
    {0x0107, "ThreshHolding", FormatThresholding},
    {0x0108, "CellWidth"},
    {0x0109, "CellLength"},
    {0x010A, "FillOrder", FormatFillOrder},
    {0x010D, "DocumentName"},
    {0x010E, "ImageDescription"},
    {0x010F, "Make"},
    {0x0110, "Model"},
    {0x0111, "StripOffset"},
    {0x0112, "Orientation", FormatOrientation},
    {0x0115, "SamplePerPixel"},
    {0x0116, "RowPerStrip"},
    {0x0117, "StripByteCounts"},
    {0x0118, "MinSampleValue"},
    {0x0119, "MaxSampleValue"},
    {0x011A, "XResolution", FormatRationalNumber},
    {0x011B, "YResolution", FormatRationalNumber},
    {0x011C, "PlanarConfiguration", FormatPlanarConfiguration},
    {0x011D, "PageName"},
    {0x011E, "XPosition"},
    {0x011F, "YPosition"},
    {0x0120, "FreeOffset"},
    {0x0121, "FreeByteCount"},
    {0x0122, "GrayResponceUnit"},
    {0x0123, "GrayResponceCurve"},
    {0x0124, "T4Options"},
    {0x0125, "T5Options"},
    {0x0128, "ResolutionUnit", FormatResolutionUnit},
    {0x0129, "PageNumber"},
    {0x012D, "TransferFunction"},
    {0x0131, "Software"},
    {0x0132, "DateTime", FormatDateTime},
    {0x013B, "Artist"},
    {0x013C, "HostComputer"},
    {0x013D, "Predictor"},
    {0x013E, "WhitePoint"},
    {0x013F, "PrimaryChromaticities"},
    {0x0140, "ColorMap"},
    {0x0141, "HalftoneHints"},
    {0x0142, "TileWidth"},
    {0x0143, "TileLength"},
    {0x0144, "TileOffset"},
    {0x0145, "TileByteCount"},
    {0x014C, "InkSet"},
    {0x014D, "InkNames"},
    {0x014E, "NumberOfInk"},
    {0x0150, "DotRange"},
    {0x0151, "TargetPrinter"},
    {0x0152, "ExtraSamples"},
    {0x0153, "SampleFormat"},
    {0x0154, "SMinSampleValue"},
    {0x0155, "SMaxSampleValue"},
    {0x0156, "TransferRange"},
    {0x0200, "JPEGProc"},
    {0x0201, "JPEGInterchangeFormat"},
    {0x0202, "JPEGInterchangeFormatLength"},
    {0x0203, "JPEGRestartInterval"},
    {0x0205, "JPEGLosslessPredictors"},
    {0x0206, "JPEGPointTransforms"},
    {0x0207, "JPEGQTables"},
    {0x0208, "JPEGDCTables"},
    {0x0209, "JPEGACTables"},
    {0x0211, "YCbCrCoefficients"},
    {0x0212, "YCbCrSubSampling"},
    {0x0213, "YCbCrPositioning", FormatYCbCrPositioning},
    {0x0214, "ReferenceBlackWhite"},
    {0x02BC, "XML Metadata", FormatNotSupported},
    {0x83BB, "IPTC/NAA", FormatNotSupported},
    {0x8649, "AdobeResource", FormatNotSupported},
    {0x8769, "ExifOffset"},
    {0x8298, "Copyright"},
    {0x829A, "ExposureTime", FormatExposureTime},
    {0x829D, "FNumber", FormatFNumber},
    {0x8822, "ExposureProgram", FormatExposureProgram},
    {0x8824, "SpectralSensitivity"},
    {0x8827, "ISOSpeedRatings"},
    {0x8828, "OECF", FormatNotSupported},
    {0x9000, "ExifVersion", FormatVersion},
    {0x9003, "DateTimeOriginal", FormatDateTime},
    {0x9004, "DateTimeDigitized", FormatDateTime},
    {0x9101, "ComponentsConfiguration", FormatComponents},
    {0x9102, "CompressedBitsPrePixel"},
    {0x9201, "ShutterSpeedValue", FormatShutterSpeed},
    {0x9202, "ApertureValue", FormatFNumber},
    {0x9203, "BrightnessValue", FormatExposureValue},
    {0x9204, "ExposureBiasValue", FormatExposureValue},
    {0x9205, "MaxApertureValue", FormatFNumber},
    {0x9206, "SubjectDistance", FormatRationalNumber, "%s meters"},
    {0x9207, "MeteringMode", FormatMeteringMode},
    {0x9208, "LightSource", FormatLightSource},
    {0x9209, "Flash"},
    {0x920A, "FocalLength", FormatRationalNumber, "%s mm"},
    {0x9214, "SubjectArea"},
    {0x927C, "MakerNote", FormatNotSupported},
    {0x9286, "UserComment", FormatUserComment},
    {0x9290, "SubsecTime"},
    {0x9291, "SubsecTimeOriginal"},
    {0x9292, "SubsecTimeDigitized"},
    {0xA000, "FlashPixVersion", FormatVersion},
    {0xA001, "ColorSpace", FormatColorSpace},
    {0xA002, "PixelXDimension"},
    {0xA003, "PixelYDimension"},
    {0xA004, "RelatedSoundFile"},
    {0xA005, "InteroperabilityOffset"},
    {0xA20B, "FlashEnergy", FormatRationalNumber, "%s BCPS"},
    {0xA20C, "SpatialFrequencyResponse", FormatNotSupported},
    {0xA20E, "FocalPlaneXResolution", FormatRationalNumber},
    {0xA20F, "FocalPlaneYResolution", FormatRationalNumber},
    {0xA210, "FocalPlaneResolutionUnit", FormatResolutionUnit},
    {0xA214, "SubjectLocation"},
    {0xA215, "ExposureIndex"},
    {0xA217, "SensingMethod", FormatSensingMethod},
    {0xA300, "FileSource", FormatFileSource},
    {0xA301, "SceneType", FormatSceneType},
    {0xA302, "CFAPattern"},
    {0xA401, "CustomRendered", FormatCustomRendered},
    {0xA402, "ExposureMode", FormatExposureMode},
    {0xA403, "WhiteBalance", FormatWhiteBalance},
    {0xA404, "DigitalZoomRatio", FormatDigitalZoom},
    {0xA405, "FocalLengthIn35mmFilm", FormatFocalLength35},
    {0xA406, "SceneCaptureType", FormatSceneCaptureType},
    {0xA407, "GainControl", FormatGainControl},
    {0xA408, "Contrast", FormatContrastAndSharpness},
    {0xA409, "Saturation", FormatSaturation},
    {0xA40A, "Sharpness", FormatContrastAndSharpness},
    {0xA40B, "DeviseSettingDescription", FormatNotSupported},
    {0xA40C, "SubjectDistanceRange", FormatSubjectDistanceRange},
    {0xA420, "ImageUniqueID"},
    {0xA500, "Gamma"},
    {0xC4A5, "PrintIM", FormatNotSupported},
};

const TTagNameRec InteroperabilityTagTable[5] = {
    {0x0001, "InteroperabilityIndex"}, {0x0002, "InteroperabilityVersion", FormatVersion},
    {0x1000, "RelatedImageFormat"},    {0x1001, "RelatedImageWidth"},
    {0x1002, "RelatedImageHeigth"},
};

TTagNameRec FindTagRec(const TTagNameRec* Table, size_t Count, uint16_t Tag) {
  for (size_t I = 0; I < Count; ++I)
    if (Table[I].Tag == Tag) return Table[I];
  TTagNameRec Rec;
  Rec.Tag = Tag;
  return Rec;
}

// ---- Directories ----

TkivTiffIFD& TkivTiffIFDClass::Create(TkivTiffCustomItem& Parent) const {
  std::unique_ptr<TkivTiffIFD> IFD = NewInstance();
  IFD->Parent = &Parent;
  return Parent.Add(std::move(IFD));
}

std::unique_ptr<TkivTiffIFD> TkivTiffIFDClass::NewInstance() const {
  return std::make_unique<TkivTiffIFD>(*this);
}

const TkivTiffIFD::TClass& TkivTiffIFD::ClassObject() {
  static const TClass Class("TkivTiffIFD");
  return Class;
}

TkivTiffIFD::~TkivTiffIFD() = default;

TkivTiffEntry& TkivTiffIFD::Entry(int32_t Index) const {
  return static_cast<TkivTiffEntry&>(*Item(Index));
}

const TkivTiffEntryClass& TkivTiffIFD::GetEntryClass(TStream& Stream) const {
  if (TiffEntryClassList)
    for (int32_t I = 0; I < TiffEntryClassList->Count(); ++I) {
      const TkivTiffEntryClass& Class = (*TiffEntryClassList)[I];
      if (Class.CanRead(Stream, IsMotorola(), BaseOffset())) return Class;
    }
  return TkivTiffEntry::ClassObject();
}

void TkivTiffIFD::GetTagRec(const TkivTiffEntry& Entry, TTagNameRec& Rec) const {
  Rec = TTagNameRec{};
  Rec.Tag = Entry.Tag;
}

bool TkivTiffIFD::IsMotorola() const {
  return Parent ? Parent->IsMotorola() : false;
}

int64_t TkivTiffIFD::BaseOffset() const {
  return Parent ? Parent->BaseOffset() : 0;
}

std::string TkivTiffIFD::GetName() const {
  return "IFD" + std::to_string(Parent ? Parent->IndexOf(this) : 0);
}

bool TkivTiffIFD::LoadFromStream(TStream& Stream) {
  Clear();
  Thumbnail.reset();
  if (!HasBytes(Stream, 2)) return false;
  const uint16_t N = ReadWord(Stream, IsMotorola());
  if (N > 100) return false;
  // The directory itself counts as one, so that even empty ones are bounded.
  if (Parent && !Parent->TakeEntries(int64_t(N) + 1)) return false;
  for (uint16_t I = 0; I < N; ++I) {
    TkivTiffEntry& Item = GetEntryClass(Stream).Create(*this);
    Item.LoadFromStream(Stream);
    TTagNameRec Rec;
    GetTagRec(Item, Rec);
    Item.TagRec = Rec;
  }
  if (Parent && TkivTiffJpegBitmap::ClassObject().CanLoad(*this)) {
    const int64_t Position = Stream.GetPosition();
    try {
      std::unique_ptr<TkivCustomTiffBitmap> Bitmap =
          TkivTiffJpegBitmap::ClassObject().CreateFromIFD(*this, Stream, Parent->WorkBudget());
      if (int64_t(Bitmap->Width()) * Bitmap->Height() != 0 || Bitmap->Refused())
        Thumbnail.reset(static_cast<TkivTiffJpegBitmap*>(Bitmap.release()));
    } catch (...) {
      Thumbnail.reset();
    }
    Stream.SetPosition(Position);
  }
  return true;
}

int32_t TkivTiffIFD::IndexOfTag(uint16_t Tag) const {
  for (int32_t I = 0; I < Count(); ++I)
    if (Entry(I).Tag == Tag) return I;
  return -1;
}

TkivTiffEntry* TkivTiffIFD::FindEntry(uint16_t Tag) const {
  const int32_t Index = IndexOfTag(Tag);
  return Index < 0 ? nullptr : &Entry(Index);
}

int32_t TkivTiffIFD::Level() const {
  return Parent ? Parent->Level() + 1 : 0;
}

void TkivTiffIFD::WriteHTML(TkivHTMLTABLE& Table) const {
  const int32_t L = Level();
  TkivHTMLTD& Heading = AddCell(AddRow(Table), 5);
  if (4 * L - 6 >= 0) AddText(Heading, Indentation(4 * L - 5), true);
  AddText(Heading, GetName());
  for (int32_t I = 0; I < Count(); ++I)
    Entry(I).WriteHTML(Table);
  if (Thumbnail) {
    TkivHTMLTR& Row = AddRow(Table);
    TkivHTMLTD& Label = AddCell(Row, 1);
    if (4 * L - 2 >= 0) AddText(Label, Indentation(4 * L - 1), true);
    AddText(Label, "Thumbnail");
    WriteThumbnailRows(AddReportTable(AddCell(Row, 4)), *Thumbnail, false);
  }
}

const TkivTiffIFD::TClass& TkivTiffFirstIFD::ClassObject() {
  static const TkivTiffIFDClassOf<TkivTiffFirstIFD> Class("TkivTiffFirstIFD");
  return Class;
}

void TkivTiffFirstIFD::GetTagRec(const TkivTiffEntry& Entry, TTagNameRec& Rec) const {
  Rec = FindTagRec(MainTagTable, std::size(MainTagTable), Entry.Tag);
}

const TkivTiffIFD::TClass& TkivTiffInteroperabilityIFD::ClassObject() {
  static const TkivTiffIFDClassOf<TkivTiffInteroperabilityIFD> Class("TkivTiffInteroperabilityIFD");
  return Class;
}

void TkivTiffInteroperabilityIFD::GetTagRec(const TkivTiffEntry& Entry, TTagNameRec& Rec) const {
  Rec = FindTagRec(InteroperabilityTagTable, std::size(InteroperabilityTagTable), Entry.Tag);
}

// ---- Items ----

TkivTiffCustomItem& TkivTiffCustomItem::Holder() {
  return Parent && Parent->Parent ? Parent->Parent->Holder() : *this;
}

const TkivTiffCustomItem& TkivTiffCustomItem::Holder() const {
  return Parent && Parent->Parent ? Parent->Parent->Holder() : *this;
}

int32_t TkivTiffCustomItem::AddOffset(uint32_t Offset) {
  TkivTiffCustomItem& H = Holder();
  if (&H != this) return H.AddOffset(Offset);
  Offsets.push_back(Offset);
  Visited.insert(Offset);
  return static_cast<int32_t>(Offsets.size()) - 1;
}

bool TkivTiffCustomItem::IsNewOffset(uint32_t Offset) const {
  const TkivTiffCustomItem& H = Holder();
  if (&H != this) return H.IsNewOffset(Offset);
  return Offset >= 8 && !Visited.contains(Offset);
}

bool TkivTiffCustomItem::TakeEntries(int64_t Count) {
  TkivTiffCustomItem& H = Holder();
  if (&H != this) return H.TakeEntries(Count);
  if (Count > EntryBudget || WorkBudget().Take(TkivWork::Entries, Count) < Count) return false;
  EntryBudget -= Count;
  return true;
}

int64_t TkivTiffCustomItem::TakeValues(int64_t Count) {
  TkivTiffCustomItem& H = Holder();
  if (&H != this) return H.TakeValues(Count);
  const int64_t Granted =
      WorkBudget().Take(TkivWork::Values, std::clamp<int64_t>(Count, 0, ValueBudget));
  ValueBudget -= Granted;
  return Granted;
}

TkivWorkBudget& TkivTiffCustomItem::WorkBudget() {
  TkivTiffCustomItem& H = Holder();
  if (&H != this) return H.WorkBudget();
  return ReportBudget ? *ReportBudget : OwnBudget;
}

void TkivTiffCustomItem::ResetLimits(int64_t DataSize) {
  Offsets.clear();
  Visited.clear();
  // Directories and values that do not overlap never come near these.
  EntryBudget = std::max<int64_t>(DataSize, 0) + 1;
  ValueBudget = 2 * std::max<int64_t>(DataSize, 0);
}

const TkivTiffIFDClass& TkivTiffCustomItem::IFDClass() const {
  return TkivTiffIFD::ClassObject();
}

int32_t TkivTiffCustomItem::Level() const {
  return Parent ? Parent->Level() + 1 : 0;
}

void TkivTiffCustomItem::ReadIFDChain(TStream& Stream) {
  for (;;) {
    const uint32_t Offset = ReadLong(Stream, IsMotorola());
    if (!IsNewOffset(Offset)) return;
    AddOffset(Offset);
    TkivTiffIFD& IFD = IFDClass().Create(*this);
    Stream.SetPosition(BaseOffset() + Offset);
    if (!IFD.LoadFromStream(Stream)) return;
  }
}

// ---- Entries ----

bool TkivTiffEntryClass::CanRead(TStream& Stream, bool Motorola, int64_t) const {
  if (!HasBytes(Stream, 12)) return false;
  const int64_t Position = Stream.GetPosition();
  const uint16_t Tag = ReadWord(Stream, Motorola);
  const uint16_t FieldType = ReadWord(Stream, Motorola);
  const uint32_t Count = ReadLong(Stream, Motorola);
  Stream.SetPosition(Position);
  return AcceptsTag(Tag) && AcceptsType(FieldType) && AcceptsCount(Count);
}

const TkivTiffIFDClass& TkivTiffEntryClass::IFDClass() const {
  return TkivTiffFirstIFD::ClassObject();
}

TkivTiffEntry& TkivTiffEntryClass::Create(TkivTiffIFD& Parent) const {
  std::unique_ptr<TkivTiffEntry> Entry = NewInstance();
  Entry->Parent = &Parent;
  return Parent.Add(std::move(Entry));
}

std::unique_ptr<TkivTiffEntry> TkivTiffEntryClass::NewInstance() const {
  return std::make_unique<TkivTiffEntry>(*this);
}

const TkivTiffEntry::TClass& TkivTiffEntry::ClassObject() {
  static const TClass Class("TkivTiffEntry");
  return Class;
}

bool TkivTiffEntry::IsMotorola() const {
  return Parent ? Parent->IsMotorola() : false;
}

int64_t TkivTiffEntry::BaseOffset() const {
  return Parent ? Parent->BaseOffset() : 0;
}

bool TkivTiffEntry::IsOffsetValue() const {
  return OffsetDataSize() > 0;
}

int64_t TkivTiffEntry::OffsetDataSize() const {
  const int64_t N = int64_t(FCount) * TypeUnitSize(FieldType);
  return N > 4 ? N : 0;
}

void TkivTiffEntry::LoadFromStream(TStream& Stream) {
  Clear();
  Values.clear();
  const int64_t Start = Stream.GetPosition();
  try {
    Tag = ReadWord(Stream, IsMotorola());
    FieldType = ReadWord(Stream, IsMotorola());
    FCount = ReadLong(Stream, IsMotorola());
    if (IsOffsetValue()) {
      const uint32_t Offset = ReadLong(Stream, IsMotorola());
      Stream.SetPosition(BaseOffset() + Offset);
    }
    // A count can promise far more than the data hold: hold only what can be there.
    const int64_t Supply = std::max<int64_t>(BytesLeft(Stream), 0) / TypeUnitSize(FieldType);
    Values.resize(static_cast<size_t>(TakeValues(std::min<int64_t>(FCount, Supply))));
    ReadValues(Stream);
  } catch (...) {
    // Whatever was read stays; values not read stay empty.
  }
  Stream.SetPosition(Start + 12);
}

void TkivTiffEntry::ReadValues(TStream& Stream) {
  for (auto& Value : Values)
    Value = ReadOneValue(Stream, FieldType, IsMotorola());
}

const TkivTiffValue& TkivTiffEntry::GetValue(int64_t Index) const {
  static const TkivTiffValue Empty;
  return Index >= 0 && Index < HeldValues() ? Values[size_t(Index)] : Empty;
}

void TkivTiffEntry::SetValue(int64_t Index, TkivTiffValue Value) {
  if (Index >= 0 && Index < HeldValues()) Values[size_t(Index)] = std::move(Value);
}

std::string TkivTiffEntry::GetName() const {
  if (*TagRec.Name) return TagRec.Name;
  std::string S;
  GetTagText(Tag, S);
  return S;
}

void TkivTiffEntry::GetValueText(std::string& S) const {
  if (FCount == 1) {
    S = ValueToText(GetValue(0));
  } else {
    S.clear();
    const char* Separator = IsTextType(FieldType) ? "" : " ";
    for (int32_t I = 0; I < HeldValues(); ++I) {
      if (I > 0) S += Separator;
      S += ValueToText(Values[size_t(I)]);
    }
  }
  if (TagRec.Formatter) {
    std::string Result;
    TagRec.Formatter(*this, S, Result);
    S = std::move(Result);
  }
  if (*TagRec.Format) {
    // The formats are "%s" and a unit; the text may hold NULs, so no printf here.
    std::string F = TagRec.Format;
    const size_t At = F.find("%s");
    if (At != std::string::npos) F.replace(At, 2, S);
    S = std::move(F);
  }
}

TkivHTMLTD& TkivTiffEntry::AddNameCell(TkivHTMLTR& Row) const {
  std::string TagText;
  GetTagText(Tag, TagText);
  const std::string Name = GetName();
  TkivHTMLTD& Cell = AddCell(Row, 1, 1, false, YellowColorIf(Name == TagText));
  const int32_t L = Level();
  if (4 * L - 6 >= 0) AddText(Cell, Indentation(4 * L - 5), true);
  AddText(Cell, Name);
  return Cell;
}

void TkivTiffEntry::WriteHTML(TkivHTMLTABLE& Table) const {
  TkivHTMLTR& Row = AddRow(Table);
  AddNameCell(Row);
  std::string S;
  GetTagText(Tag, S);
  AddTextCell(Row, S.substr(3));
  bool Unknown = false;
  GetTypeName(FieldType, Unknown, S);
  AddText(AddCell(Row, 1, 1, false, YellowColorIf(Unknown)), S);
  AddTextCell(Row, std::to_string(FCount));
  WriteValueCell(Row);
  for (int32_t I = 0; I < Count(); ++I)
    IFD(I).WriteHTML(Table);
}

void TkivTiffEntry::WriteValueCell(TkivHTMLTR& Row) const {
  std::string S;
  std::string Color;
  try {
    GetValueText(S);
    Color = YellowColorIf(TagRec.Formatter == FormatNotSupported ||
                          S.find("cannot decode") != std::string::npos);
  } catch (...) {
    Color = RedColorIf(true);
  }
  AddTextCell(Row, S, Color);
}

void TkivTiffOffsetEntry::ReadValues(TStream& Stream) {
  if (!IsOffsetType(FieldType) || ValueCount() != 1) return TkivTiffEntry::ReadValues(Stream);
  SetValue(0, std::string());
  if (Level() < MaxIFDLevel) ReadIFDChain(Stream);
}

namespace {
class TExifOffsetClass
    : public TkivTiffEntryClassOf<TkivTiffExifOffsetEntry, TkivTiffOffsetEntry::TClass> {
public:
  using TkivTiffEntryClassOf::TkivTiffEntryClassOf;
  bool AcceptsTag(uint16_t Tag) const override { return Tag == 0x8769; }
};

class TInteroperabilityOffsetClass
    : public TkivTiffEntryClassOf<TkivTiffInteroperabilityOffsetEntry,
                                  TkivTiffOffsetEntry::TClass> {
public:
  using TkivTiffEntryClassOf::TkivTiffEntryClassOf;
  bool AcceptsTag(uint16_t Tag) const override { return Tag == 0xA005; }
  const TkivTiffIFDClass& IFDClass() const override {
    return TkivTiffInteroperabilityIFD::ClassObject();
  }
};
} // namespace

const TkivTiffEntry::TClass& TkivTiffExifOffsetEntry::ClassObject() {
  static const TExifOffsetClass Class("TkivTiffExifOffsetEntry");
  return Class;
}

const TkivTiffEntry::TClass& TkivTiffInteroperabilityOffsetEntry::ClassObject() {
  static const TInteroperabilityOffsetClass Class("TkivTiffInteroperabilityOffsetEntry");
  return Class;
}

// ---- Entries that decode their data ----

namespace {

const char* const ColourNames[7] = {"Red", "Green", "Blue", "Cyan", "Magenta", "Yellow", "White"};

bool IsKnownCharSet(const std::string& S) {
  return S == "ASCII" || S == "UNICODE" || S == "JIS" || S.empty();
}

std::string CutAtNul(std::string S) {
  const size_t At = S.find('\0');
  if (At != std::string::npos) S.resize(At);
  return S;
}

// Blanks and control characters off both ends.
std::string Trim(const std::string& S) {
  size_t First = 0, Last = S.size();
  while (First < Last && static_cast<uint8_t>(S[First]) <= ' ')
    ++First;
  while (Last > First && static_cast<uint8_t>(S[Last - 1]) <= ' ')
    --Last;
  return S.substr(First, Last - First);
}

template <class TEntry>
class TTagTypeClass : public TkivTiffEntryClassOf<TEntry, TkivTiffEntryClass> {
public:
  TTagTypeClass(std::string Name, uint16_t Tag)
      : TkivTiffEntryClassOf<TEntry, TkivTiffEntryClass>(std::move(Name)), Tag(Tag) {}
  bool AcceptsTag(uint16_t T) const override { return T == Tag; }
  bool AcceptsType(uint16_t FieldType) const override { return FieldType == ftUndefined; }

private:
  uint16_t Tag;
};

class TUserCommentClass : public TTagTypeClass<TkivTiffUserCommentEntry> {
public:
  using TTagTypeClass::TTagTypeClass;
  bool AcceptsCount(uint32_t Count) const override { return Count > 7; }
  bool CanRead(TStream& Stream, bool Motorola, int64_t Base) const override {
    if (!TTagTypeClass::CanRead(Stream, Motorola, Base)) return false;
    const int64_t Position = Stream.GetPosition();
    bool Result = false;
    try {
      (void)ReadWord(Stream, Motorola);
      const uint16_t FieldType = ReadWord(Stream, Motorola);
      const uint32_t Count = ReadLong(Stream, Motorola);
      if (int64_t(Count) * TypeUnitSize(FieldType) > 4)
        Stream.SetPosition(Base + ReadLong(Stream, Motorola));
      Result = IsKnownCharSet(CutAtNul(ReadString(Stream, 8)));
    } catch (...) {
      Result = false;
    }
    Stream.SetPosition(Position);
    return Result;
  }
};

} // namespace

void TkivTiffEntryEx::ReadValues(TStream& Stream) {
  // Data that do not hold the count decode nothing. Otherwise only the values held are
  // copied: overlapping entries would multiply copies of the whole count.
  const int64_t Unit = TypeUnitSize(FieldType);
  const int64_t N = int64_t(ValueCount()) * Unit <= BytesLeft(Stream)
                        ? WorkBudget().Take(TkivWork::BytesCopied, int64_t(HeldValues()) * Unit)
                        : 0;
  if (N > 0) {
    const int64_t Position = Stream.GetPosition();
    try {
      TMemoryStream Data;
      Data.CopyFrom(Stream, N);
      Data.SetPosition(0);
      DecodeData(Data);
    } catch (...) {
      // What DecodeData had done stays.
    }
    Stream.SetPosition(Position);
  }
  TkivTiffEntry::ReadValues(Stream);
}

void TkivTiffCustomGridEntry::WriteValueCell(TkivHTMLTR& Row) const {
  if (Failed) {
    std::string S;
    try {
      GetValueText(S);
    } catch (...) {
    }
    AddTextCell(Row, FormatCannotDecode(S), YellowColorIf(true));
    return;
  }
  std::unique_ptr<TkivHTMLTABLE> Table = CreateReportTable();
  for (int32_t R = 0; R < Rows; ++R) {
    TkivHTMLTR& GridRow = AddRow(*Table);
    for (int32_t C = 0; C < Columns; ++C) {
      const size_t Index = size_t(Columns) * size_t(R) + size_t(C);
      AddTextCell(GridRow, Index < Cells.size() ? Cells[Index] : "(no)");
    }
  }
  AddCell(Row).AddChild(std::move(Table));
}

void TkivTiffGridEntry::DecodeData(TStream& Stream) {
  Columns = ReadWord(Stream, IsMotorola());
  StoredRows = ReadWord(Stream, IsMotorola());
  Rows = static_cast<uint16_t>(StoredRows + 1);
  // The grid never shows more cells than the entry has data bytes: the stored sizes can
  // promise billions of empty cells.
  const int64_t MaxCells = Stream.GetSize();
  const int64_t MaxRows = Columns > 0 ? MaxCells / Columns : MaxCells;
  if (Rows > MaxRows) Rows = static_cast<uint16_t>(MaxRows);
}

const TkivTiffEntry::TClass& TkivTiffSFREntry::ClassObject() {
  static const TTagTypeClass<TkivTiffSFREntry> Class("TkivTiffSFREntry", 0xA20C);
  return Class;
}

void TkivTiffSFREntry::DecodeData(TStream& Stream) {
  TkivTiffGridEntry::DecodeData(Stream);
  for (uint16_t C = 0; C < Columns; ++C)
    Cells.push_back(ReadZString(Stream));
  for (uint32_t R = 0; R < StoredRows; ++R)
    for (uint16_t C = 0; C < Columns; ++C) {
      if (!HasBytes(Stream, 8)) return;
      const uint32_t N = ReadLong(Stream, IsMotorola());
      const uint32_t D = ReadLong(Stream, IsMotorola());
      const std::string Raw = Format("%u/%u", N, D);
      try {
        Cells.push_back(FixedText(RationalValue(Raw), 3));
      } catch (const EFormatterFailed&) {
        Cells.push_back(Raw);
      }
    }
}

const TkivTiffEntry::TClass& TkivTiffCFAPatternEntry::ClassObject() {
  static const TTagTypeClass<TkivTiffCFAPatternEntry> Class("TkivTiffCFAPatternEntry", 0xA302);
  return Class;
}

void TkivTiffCFAPatternEntry::DecodeData(TStream& Stream) {
  // A pattern written as ASCII digits reads as the same numbers.
  const uint8_t First = ReadByte(Stream);
  Stream.SetPosition(Stream.GetPosition() - 1);
  DigitOffset = First >= '0' ? '0' : 0;
  // The dimensions are big-endian whatever the structure's byte order.
  Columns = static_cast<uint16_t>(ReadWord(Stream, true) - DigitOffset * 257);
  Rows = static_cast<uint16_t>(ReadWord(Stream, true) - DigitOffset * 257);
  if (Columns > 10 || Rows > 10) {
    Failed = true;
    return;
  }
  for (uint16_t R = 0; R < Rows; ++R)
    for (uint16_t C = 0; C < Columns; ++C) {
      if (!HasBytes(Stream, 1)) return;
      const auto V = static_cast<uint8_t>(ReadByte(Stream) - DigitOffset);
      Cells.push_back(V <= 6 ? ColourNames[V] : FormatCannotDecode(std::to_string(V)));
    }
}

const TkivTiffEntry::TClass& TkivTiffUserCommentEntry::ClassObject() {
  static const TUserCommentClass Class("TkivTiffUserCommentEntry", 0x9286);
  return Class;
}

void TkivTiffUserCommentEntry::DecodeData(TStream& Stream) {
  CharSet = CutAtNul(ReadString(Stream, 8));
  if (CharSet.empty()) CharSet = "Undefined";
  // UTF-16 in the structure's byte order.
  std::string S =
      CharSet == "UNICODE"
          ? kivPlatform::WideToAnsi(ReadWideString(Stream, BytesLeft(Stream), IsMotorola()))
          : ReadString(Stream, BytesLeft(Stream));
  Text = Trim(CutAtNul(S));
}

void TkivTiffUserCommentEntry::GetValueText(std::string& S) const {
  S = "(" + CharSet + ") " + Text;
}

void TkivTiffUserCommentEntry::WriteValueCell(TkivHTMLTR& Row) const {
  TkivHTMLTD& Cell = AddCell(Row);
  AddText(Cell, "Char set: " + CharSet);
  AddLineBreak(Cell);
  AddText(Cell, Text.empty() ? std::string("Text: no text") : "Text: " + Text);
}

// ---- Thumbnails ----

std::unique_ptr<TkivCustomTiffBitmap>
TkivCustomTiffBitmap::TClass::CreateFromIFD(const TkivTiffIFD&, TStream&, TkivWorkBudget&) const {
  return std::make_unique<TkivCustomTiffBitmap>(*this);
}

std::unique_ptr<kivInfo::TBitmap> TkivCustomTiffBitmap::TClass::Create() const {
  return std::make_unique<TkivCustomTiffBitmap>(*this);
}

namespace {
class TTiffJpegBitmapClass : public TkivCustomTiffBitmap::TClass {
public:
  using TkivCustomTiffBitmap::TClass::TClass;
  bool CanLoad(const TkivTiffIFD& IFD) const override { return IFD.FindEntry(513) != nullptr; }
  std::unique_ptr<TkivCustomTiffBitmap> CreateFromIFD(const TkivTiffIFD& IFD, TStream& Stream,
                                                      TkivWorkBudget& Budget) const override {
    auto Bitmap = std::make_unique<TkivTiffJpegBitmap>(*this);
    Bitmap->LoadFromIFD(IFD, Stream, Budget);
    return Bitmap;
  }
  std::unique_ptr<kivInfo::TBitmap> Create() const override {
    return std::make_unique<TkivTiffJpegBitmap>(*this);
  }
};
} // namespace

const TkivCustomTiffBitmap::TClass& TkivTiffJpegBitmap::ClassObject() {
  static const TTiffJpegBitmapClass Class("TkivTiffJpegBitmap");
  return Class;
}

void TkivTiffJpegBitmap::LoadFromIFD(const TkivTiffIFD& IFD, TStream& Stream,
                                     TkivWorkBudget& Budget) {
  try {
    const TkivTiffEntry* Entry = IFD.FindEntry(513);
    if (!Entry) Fail();
    Stream.SetPosition(IntegerValue(Entry->GetValue(0)) + IFD.BaseOffset());
    // The decoder reads as far as the picture goes; the stored length is not needed.
    TkivJpegImage Image;
    Image.LoadFromStream(Stream, Budget);
    CopyFrom(Image.Bitmap());
  } catch (const EkivPictureRefused& E) {
    SetSize(0, 0);
    Refusal = E.Refusal;
  } catch (...) {
    SetSize(0, 0);
  }
}

// ---- Registry ----

TkivTiffEntryClassList* TiffEntryClassList = nullptr;

void RegisterTiffEntryClass(const TkivTiffEntryClass& Class) {
  TiffEntryClassList->Add(Class);
}

// ---- The root ----

void TkivTiff::LoadFromStream(TStream& Stream) {
  Clear();
  Base = static_cast<uint32_t>(Stream.GetPosition());
  ResetLimits(BytesLeft(Stream));
  if (!HasBytes(Stream, 8)) return;
  Motorola = ReadString(Stream, 2) != "II";
  (void)ReadWord(Stream, Motorola); // the magic number
  ReadIFDChain(Stream);
}

const TkivTiffIFDClass& TkivTiff::IFDClass() const {
  return TkivTiffFirstIFD::ClassObject();
}

void TkivTiff::WriteHTML(TkivHTMLItem& Parent) const {
  AddText(Parent, std::string("Byte order: ") + (Motorola ? "Motorola (MM)" : "Intel (II)"));
  AddParagraph(Parent);
  TkivHTMLTABLE& Table = AddReportTable(Parent);
  AddTextRow(Table, {"Entry", "Tag", "Type", "Count", "Value"});
  for (int32_t I = 0; I < Count(); ++I)
    IFD(I).WriteHTML(Table);
}

} // namespace kivTiffInfo2

using namespace kivTiffInfo2;

void kivTiffInfo2_Initialize() {
  TiffEntryClassList = new TkivTiffEntryClassList;
  RegisterTiffEntryClass(TkivTiffExifOffsetEntry::ClassObject());
  RegisterTiffEntryClass(TkivTiffInteroperabilityOffsetEntry::ClassObject());
  RegisterTiffEntryClass(TkivTiffUserCommentEntry::ClassObject());
  RegisterTiffEntryClass(TkivTiffSFREntry::ClassObject());
  RegisterTiffEntryClass(TkivTiffCFAPatternEntry::ClassObject());
}

void kivTiffInfo2_Finalize() {
  delete TiffEntryClassList;
  TiffEntryClassList = nullptr;
}
