#include "extended/kivGainMap.h"

#include <cmath>
#include <string>
#include <vector>

#include "framework/kivFormat.h"
#include "framework/kivInfoStream.h"
#include "framework/kivNumberText.h"

namespace {

// The flags byte of the full form.
constexpr uint8_t MultiChannel = 0x80, UseBaseColourSpace = 0x40, CommonDenominator = 0x08,
                  BackwardDirection = 0x04;

// A fraction as stored; Denominator 0 is wrong.
struct TFraction {
  int64_t N = 0;
  uint32_t D = 1;
};

std::string FractionText(const TFraction& F) {
  std::string S = std::to_string(F.N) + "/" + std::to_string(F.D);
  if (F.D == 0) return S + " (a denominator of 0)";
  return S + " = " + ShortFixedToText(static_cast<long double>(F.N) / F.D, 6);
}

class TReader {
public:
  TReader(TStream& In, bool Common, uint32_t Denominator)
      : In(In), Common(Common), Denominator(Denominator) {}
  TFraction Signed() { return Read(true); }
  TFraction Unsigned() { return Read(false); }

private:
  TFraction Read(bool IsSigned) {
    const uint32_t Raw = ReadLong(In, true);
    TFraction F;
    F.N = IsSigned ? int64_t(int32_t(Raw)) : int64_t(Raw);
    F.D = Common ? Denominator : ReadLong(In, true);
    return F;
  }
  TStream& In;
  bool Common;
  uint32_t Denominator;
};

} // namespace

void DescribeIsoGainMap(const TkivExtendedInput& Input, TkivDescription& Out) {
  TStream& In = Input.Payload;
  const uint16_t Minimum = ReadWord(In, true);
  const uint16_t Writer = ReadWord(In, true);
  Out.Field("Minimum version", Minimum, Minimum == 0 ? "" : "a version this reader does not know",
            Minimum == 0 ? TkivMark::None : TkivMark::Unknown);
  Out.Field("Writer version", Writer, Writer < Minimum ? "below the minimum version" : "",
            Writer < Minimum ? TkivMark::Wrong : TkivMark::None);
  if (!HasBytes(In, 1)) {
    Out.Field("Form", "versions only", "as the primary image carries it");
    return;
  }
  // The fields of other versions are not known.
  if (Minimum != 0) return;
  const uint8_t Flags = ReadByte(In);
  const int Channels = Flags & MultiChannel ? 3 : 1;
  const bool Common = Flags & CommonDenominator;
  Out.Field("Form", "full", "as the gain map carries it");
  Out.Field("Channels", Channels, Channels == 3 ? "one set of values per colour" : "one for all");
  Out.Field("Colour space of the gain map math",
            Flags & UseBaseColourSpace ? "the base image's" : "the alternate image's");
  Out.Field("Direction", Flags & BackwardDirection ? "backward" : "forward",
            Flags & BackwardDirection ? "the base image is the HDR one" : "the base image is SDR");
  const uint8_t Reserved =
      Flags & ~(MultiChannel | UseBaseColourSpace | CommonDenominator | BackwardDirection);
  if (Reserved)
    Out.Field("Reserved flags", Format("0x%02X", Reserved), "set, though reserved",
              TkivMark::Unknown);
  uint32_t Denominator = 1;
  if (Common) {
    Denominator = ReadLong(In, true);
    Out.Field("Common denominator", int64_t(Denominator),
              Denominator == 0 ? "a denominator of 0" : "",
              Denominator == 0 ? TkivMark::Wrong : TkivMark::None);
  } else {
    Out.Field("Common denominator", "none", "each value has its own");
  }
  TReader Read(In, Common, Denominator);
  std::vector<std::string> Zero;
  const auto Show = [&](const char* Name, const TFraction& F, const char* Note) {
    if (F.D == 0) Zero.push_back(Name);
    Out.Field(Name, FractionText(F), Note, F.D == 0 ? TkivMark::Wrong : TkivMark::None);
  };
  const TFraction BaseHeadroom = Read.Unsigned();
  Show("Base HDR headroom", BaseHeadroom, "log2");
  const TFraction AlternateHeadroom = Read.Unsigned();
  Show("Alternate HDR headroom", AlternateHeadroom, "log2");
  {
    TkivDescriptionTable Table(Out, "Per channel",
                               {"Channel", "Gain map minimum (log2)", "Gain map maximum (log2)",
                                "Gamma", "Base offset", "Alternate offset"});
    static const char* const Names[] = {"red", "green", "blue"};
    for (int C = 0; C < Channels; ++C) {
      const TFraction Values[] = {Read.Signed(), Read.Signed(), Read.Unsigned(), Read.Signed(),
                                  Read.Signed()};
      std::vector<std::string> Row = {Channels == 1 ? "all" : Names[C]};
      bool Wrong = false;
      for (const TFraction& F : Values) {
        Row.push_back(FractionText(F));
        Wrong = Wrong || F.D == 0;
      }
      // A gamma of 0 or below raises nothing to a power.
      Wrong = Wrong || Values[2].N == 0;
      if (Wrong) Zero.push_back(Format("channel %s", Row[0].c_str()));
      Table.Row(Row, Wrong ? TkivMark::Wrong : TkivMark::None);
    }
  }
  for (const std::string& Name : Zero)
    Out.Problem(Name + ": a denominator of 0, or a gamma of 0");
}
