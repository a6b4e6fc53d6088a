// The field types, the tag tables of the TIFF structure and the formatters that turn raw
// values into words and units: constant data and pure functions, in the order of the tables.

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "framework/kivNumberText.h"
#include "platform/kivLocale.h"
#include "tiff/kivTiffInfo2.h"

namespace kivTiffInfo2 {

// ---- Field types ----

namespace {
const char* const TypeNames[18] = {
    "Byte",      "Ascii", "Short",  "Long", "Rational", "SByte",   "Undefined", "SShort", "SLong",
    "SRational", "Float", "Double", "IFD",  "Unicode",  "Complex", "Long8",     "SLong8", "IFD8"};
constexpr int32_t UnitSizes[14] = {1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8, 4, 2};
} // namespace

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
  static const char Digits[] = "0123456789ABCDEF";
  const char Text[7] = {'T',
                        'a',
                        'g',
                        Digits[Tag >> 12],
                        Digits[(Tag >> 8) & 15],
                        Digits[(Tag >> 4) & 15],
                        Digits[Tag & 15]};
  S.assign(Text, sizeof Text);
}

// ---- Value texts ----

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

std::optional<int64_t> ValueAsInteger(const TkivTiffValue& Value) {
  return std::visit(
      [](const auto& V) -> std::optional<int64_t> {
        if constexpr (std::is_integral_v<std::decay_t<decltype(V)>>)
          return V;
        else
          return std::nullopt;
      },
      Value);
}

// ---- What the formatters share ----

namespace {

constexpr TFormatResult Decoded = TFormatResult::Decoded;
constexpr TFormatResult NotDecoded = TFormatResult::NotDecoded;
constexpr TFormatResult Refused = TFormatResult::Refused;

// "1/n sec" for an exposure of 1/Reciprocal seconds. An exposure of over two seconds has no
// such form (n would round to 0, "1/0 sec"): it is shown in seconds.
std::optional<std::string> ExposureText(long double Reciprocal) {
  const std::optional<int64_t> N = RoundHalfEven(Reciprocal);
  if (!N) return std::nullopt;
  if (*N != 0) return "1/" + std::to_string(*N) + " sec";
  if (!(Reciprocal > 0)) return std::nullopt;
  return FloatToText(1.0L / Reciprocal) + " sec";
}

std::optional<int64_t> ToInt64(const std::string& S) {
  int64_t V = 0;
  if (!TextToInt64(S, V)) return std::nullopt;
  return V;
}

// Whether the entry has one of Types and, for Count of 0 and above, that count.
bool Fits(const TkivTiffEntry& Entry, std::initializer_list<uint16_t> Types, int64_t Count) {
  if (std::find(Types.begin(), Types.end(), Entry.FieldType) == Types.end()) return false;
  return Count < 0 || Entry.ValueCount() == Count;
}

struct TCodeName {
  int64_t Code;
  const char* Name;
};

// The word for the single value of type FieldType from List; undecoded for a code that List
// does not know.
template <uint16_t FieldType, const auto& List>
TFormatResult Enumerated(const TkivTiffEntry& Entry, const std::string& Raw, std::string& Result) {
  if (!Fits(Entry, {FieldType}, 1)) return Refused;
  const std::optional<int64_t> Code = ValueAsInteger(Entry.GetValue(0));
  if (!Code) return Refused;
  for (const TCodeName& Item : List)
    if (Item.Code == *Code) {
      Result = Item.Name;
      return Decoded;
    }
  Result = FormatCannotDecode(Raw);
  return NotDecoded;
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

// Bit 0 reduced resolution and bit 1 one page of many, as TIFF defines them; bit 2 (the
// transparency mask in TIFF) carries the remaining text.
TFormatResult FormatSubfileFlags(const TkivTiffEntry& Entry, const std::string&,
                                 std::string& Result) {
  if (!Fits(Entry, {ftLong}, 1)) return Refused;
  static const char* const Texts[3] = {"Reduced-resolution", "A single page of a multi-page",
                                       "Full-resolution"};
  const std::optional<int64_t> Flags = ValueAsInteger(Entry.GetValue(0));
  if (!Flags) return Refused;
  Result.clear();
  for (int Bit = 0; Bit < 3; ++Bit)
    if (*Flags & (int64_t(1) << Bit)) {
      if (!Result.empty()) Result += ", ";
      Result += Texts[Bit];
    }
  Result += " image";
  return Decoded;
}

TFormatResult FormatRationalNumber(const TkivTiffEntry& Entry, const std::string& Raw,
                                   std::string& Result) {
  if (!Fits(Entry, {ftRational, ftSRational}, 1)) return Refused;
  const std::optional<long double> V = RationalToFloat(Raw);
  if (!V) return Refused;
  Result = FloatToText(*V);
  return Decoded;
}

// YYYY:MM:DD HH:MM:SS; the characters between the numbers are not looked at.
TFormatResult FormatDateTime(const TkivTiffEntry& Entry, const std::string& Raw,
                             std::string& Result) {
  if (!Fits(Entry, {ftAscii}, 20)) return Refused;
  static constexpr size_t Starts[6] = {0, 5, 8, 11, 14, 17};
  int Fields[6];
  for (int I = 0; I < 6; ++I) {
    if (Starts[I] >= Raw.size()) return Refused;
    const std::optional<int64_t> V = ToInt64(Raw.substr(Starts[I], I == 0 ? 4 : 2));
    if (!V) return Refused;
    Fields[I] = static_cast<int>(*V);
  }
  const std::optional<std::string> Text =
      DateTimeText(Fields[0], Fields[1], Fields[2], Fields[3], Fields[4], Fields[5]);
  if (!Text) return Refused;
  Result = *Text;
  return Decoded;
}

TFormatResult FormatNotSupported(const TkivTiffEntry&, const std::string&, std::string& Result) {
  Result = "Not supported yet";
  return NotDecoded;
}

TFormatResult FormatExposureTime(const TkivTiffEntry& Entry, const std::string& Raw,
                                 std::string& Result) {
  if (!Fits(Entry, {ftRational}, 1)) return Refused;
  const std::optional<long double> V = RationalToFloat(Raw);
  const std::optional<std::string> Text = V ? ExposureText(1.0L / *V) : std::nullopt;
  if (!Text) return Refused;
  Result = *Text;
  return Decoded;
}

TFormatResult FormatFNumber(const TkivTiffEntry& Entry, const std::string& Raw,
                            std::string& Result) {
  if (!Fits(Entry, {ftRational}, 1)) return Refused;
  const std::optional<long double> V = RationalToFloat(Raw);
  if (!V) return Refused;
  Result = FixedToText(*V, 1);
  Result.insert(Result.begin(), 'F');
  return Decoded;
}

TFormatResult FormatVersion(const TkivTiffEntry& Entry, const std::string&, std::string& Result) {
  if (!Fits(Entry, {ftUndefined}, 4)) return Refused;
  int D[4];
  for (int I = 0; I < 4; ++I) {
    const std::optional<int64_t> V = ValueAsInteger(Entry.GetValue(I));
    if (!V || *V < '0' || *V > '9') return Refused;
    D[I] = static_cast<int>(*V - '0');
  }
  Result = FixedToText(D[0] * 10 + D[1] + D[2] / 10.0L + D[3] / 100.0L, 2);
  const size_t At = Result.find(kivPlatform::DecimalSeparator());
  if (At != std::string::npos) Result[At] = '.';
  return Decoded;
}

TFormatResult FormatComponents(const TkivTiffEntry& Entry, const std::string& Raw,
                               std::string& Result) {
  if (!Fits(Entry, {ftUndefined}, 4)) return Refused;
  Result.clear();
  for (int I = 0; I < 4; ++I) {
    const std::optional<int64_t> V = ValueAsInteger(Entry.GetValue(I));
    if (!V) return Refused;
    if (*V == 0) break;
    if (*V < 1 || *V > 6) {
      Result = FormatCannotDecode(Raw);
      return NotDecoded;
    }
    Result += ComponentNames[*V - 1];
  }
  return Decoded;
}

TFormatResult FormatShutterSpeed(const TkivTiffEntry& Entry, const std::string& Raw,
                                 std::string& Result) {
  if (!Fits(Entry, {ftSRational}, 1)) return Refused;
  const std::optional<long double> V = RationalToFloat(Raw);
  const std::optional<std::string> Text = V ? ExposureText(std::pow(2.0L, *V)) : std::nullopt;
  if (!Text) return Refused;
  Result = FixedToText(*V, 2) + " (" + *Text + ")";
  return Decoded;
}

TFormatResult FormatExposureValue(const TkivTiffEntry& Entry, const std::string& Raw,
                                  std::string& Result) {
  if (!Fits(Entry, {ftSRational}, 1)) return Refused;
  const std::optional<long double> V = RationalToFloat(Raw);
  if (!V) return Refused;
  Result = FixedToText(*V, 1) + " EV";
  return Decoded;
}

TFormatResult FormatUserComment(const TkivTiffEntry& Entry, const std::string& Raw,
                                std::string& Result) {
  if (!Fits(Entry, {ftAscii, ftUnicode, ftUndefined}, -1)) return Refused;
  if (Entry.FieldType != ftUndefined) {
    Result = Raw;
    return Decoded;
  }
  Result.clear();
  for (int32_t I = 8; I < Entry.HeldValues(); ++I) {
    const std::optional<int64_t> V = ValueAsInteger(Entry.GetValue(I));
    if (!V) return Refused;
    Result += static_cast<char>(*V);
  }
  return Decoded;
}

TFormatResult FormatDigitalZoom(const TkivTiffEntry& Entry, const std::string& Raw,
                                std::string& Result) {
  if (!Fits(Entry, {ftRational}, 1)) return Refused;
  const std::optional<int64_t> Numerator = ToInt64(Raw.substr(0, Raw.find('/')));
  if (!Numerator) return Refused;
  if (*Numerator == 0) {
    Result = "Not used";
    return Decoded;
  }
  const std::optional<long double> V = RationalToFloat(Raw);
  if (!V) return Refused;
  Result = FloatToText(*V);
  return Decoded;
}

TFormatResult FormatFocalLength35(const TkivTiffEntry& Entry, const std::string& Raw,
                                  std::string& Result) {
  if (!Fits(Entry, {ftShort}, 1)) return Refused;
  const std::optional<int64_t> V = ValueAsInteger(Entry.GetValue(0));
  if (!V) return Refused;
  Result = *V == 0 ? "Unknown" : Raw + " mm";
  return Decoded;
}

} // namespace

// ---- Tag tables ----

const TTagNameRec MainTagTable[138] = {
    {0x000B, "ACDCComment"},
    {0x00FE, "NewSubFileType", FormatSubfileFlags},
    {0x00FF, "SubFileType", Enumerated<ftShort, SubfileTypes>},
    {0x0100, "ImageWidth", nullptr, "%s pixels"},
    {0x0101, "ImageLength", nullptr, "%s pixels"},
    {0x0102, "BitsPerSample", nullptr, "%s bits"},
    {0x0103, "Compression", Enumerated<ftShort, Compressions>},
    {0x0106, "PhotometricInterpretation", Enumerated<ftShort, Photometrics>},
    {0x0107, "ThreshHolding", Enumerated<ftShort, Thresholdings>},
    {0x0108, "CellWidth"},
    {0x0109, "CellLength"},
    {0x010A, "FillOrder", Enumerated<ftShort, FillOrders>},
    {0x010D, "DocumentName"},
    {0x010E, "ImageDescription"},
    {0x010F, "Make"},
    {0x0110, "Model"},
    {0x0111, "StripOffset"},
    {0x0112, "Orientation", Enumerated<ftShort, Orientations>},
    {0x0115, "SamplePerPixel"},
    {0x0116, "RowPerStrip"},
    {0x0117, "StripByteCounts"},
    {0x0118, "MinSampleValue"},
    {0x0119, "MaxSampleValue"},
    {0x011A, "XResolution", FormatRationalNumber},
    {0x011B, "YResolution", FormatRationalNumber},
    {0x011C, "PlanarConfiguration", Enumerated<ftShort, PlanarConfigurations>},
    {0x011D, "PageName"},
    {0x011E, "XPosition"},
    {0x011F, "YPosition"},
    {0x0120, "FreeOffset"},
    {0x0121, "FreeByteCount"},
    {0x0122, "GrayResponceUnit"},
    {0x0123, "GrayResponceCurve"},
    {0x0124, "T4Options"},
    {0x0125, "T5Options"},
    {0x0128, "ResolutionUnit", Enumerated<ftShort, ResolutionUnits>},
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
    {0x0213, "YCbCrPositioning", Enumerated<ftShort, YCbCrPositionings>},
    {0x0214, "ReferenceBlackWhite"},
    {0x02BC, "XML Metadata", FormatNotSupported},
    {0x83BB, "IPTC/NAA", FormatNotSupported},
    {0x8649, "AdobeResource", FormatNotSupported},
    {0x8769, "ExifOffset"},
    {0x8298, "Copyright"},
    {0x829A, "ExposureTime", FormatExposureTime},
    {0x829D, "FNumber", FormatFNumber},
    {0x8822, "ExposureProgram", Enumerated<ftShort, ExposurePrograms>},
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
    {0x9207, "MeteringMode", Enumerated<ftShort, MeteringModes>},
    {0x9208, "LightSource", Enumerated<ftShort, LightSources>},
    {0x9209, "Flash"},
    {0x920A, "FocalLength", FormatRationalNumber, "%s mm"},
    {0x9214, "SubjectArea"},
    {0x927C, "MakerNote", FormatNotSupported},
    {0x9286, "UserComment", FormatUserComment},
    {0x9290, "SubsecTime"},
    {0x9291, "SubsecTimeOriginal"},
    {0x9292, "SubsecTimeDigitized"},
    {0xA000, "FlashPixVersion", FormatVersion},
    {0xA001, "ColorSpace", Enumerated<ftShort, ColorSpaces>},
    {0xA002, "PixelXDimension"},
    {0xA003, "PixelYDimension"},
    {0xA004, "RelatedSoundFile"},
    {0xA005, "InteroperabilityOffset"},
    {0xA20B, "FlashEnergy", FormatRationalNumber, "%s BCPS"},
    {0xA20C, "SpatialFrequencyResponse", FormatNotSupported},
    {0xA20E, "FocalPlaneXResolution", FormatRationalNumber},
    {0xA20F, "FocalPlaneYResolution", FormatRationalNumber},
    {0xA210, "FocalPlaneResolutionUnit", Enumerated<ftShort, ResolutionUnits>},
    {0xA214, "SubjectLocation"},
    {0xA215, "ExposureIndex"},
    {0xA217, "SensingMethod", Enumerated<ftShort, SensingMethods>},
    {0xA300, "FileSource", Enumerated<ftUndefined, FileSources>},
    {0xA301, "SceneType", Enumerated<ftUndefined, SceneTypes>},
    {0xA302, "CFAPattern"},
    {0xA401, "CustomRendered", Enumerated<ftShort, CustomRendereds>},
    {0xA402, "ExposureMode", Enumerated<ftShort, ExposureModes>},
    {0xA403, "WhiteBalance", Enumerated<ftShort, WhiteBalances>},
    {0xA404, "DigitalZoomRatio", FormatDigitalZoom},
    {0xA405, "FocalLengthIn35mmFilm", FormatFocalLength35},
    {0xA406, "SceneCaptureType", Enumerated<ftShort, SceneCaptureTypes>},
    {0xA407, "GainControl", Enumerated<ftShort, GainControls>},
    {0xA408, "Contrast", Enumerated<ftShort, ContrastsAndSharpnesses>},
    {0xA409, "Saturation", Enumerated<ftShort, Saturations>},
    {0xA40A, "Sharpness", Enumerated<ftShort, ContrastsAndSharpnesses>},
    {0xA40B, "DeviseSettingDescription", FormatNotSupported},
    {0xA40C, "SubjectDistanceRange", Enumerated<ftShort, SubjectDistanceRanges>},
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

} // namespace kivTiffInfo2
