#include "tiff/kivTiffTestSupport.h"

#include "base/kivStream.h"
#include "framework/kivHTML.h"
#include "framework/kivInfoStream.h"

using namespace kivTiffInfo2;

namespace kivTiffTest {

std::string W16(bool Motorola, uint16_t V) {
  TMemoryStream S;
  WriteWord(S, V, Motorola);
  return S.ToString();
}

std::string W32(bool Motorola, uint32_t V) {
  TMemoryStream S;
  WriteLong(S, V, Motorola);
  return S.ToString();
}

std::string BuildTiff(bool Motorola, const std::vector<std::vector<TEntryDef>>& IFDs,
                      uint32_t LastNext) {
  std::string Out = (Motorola ? "MM" : "II") + W16(Motorola, 42) + W32(Motorola, 8);
  for (size_t I = 0; I < IFDs.size(); ++I) {
    const auto& Entries = IFDs[I];
    const uint32_t Start = static_cast<uint32_t>(Out.size());
    uint32_t DataAt = Start + 2 + 12 * static_cast<uint32_t>(Entries.size()) + 4;
    std::string Data;
    Out += W16(Motorola, static_cast<uint16_t>(Entries.size()));
    for (const TEntryDef& E : Entries) {
      Out += W16(Motorola, E.Tag) + W16(Motorola, E.Type) + W32(Motorola, E.Count);
      if (E.Data.size() <= 4) {
        Out += E.Data + std::string(4 - E.Data.size(), '\0');
      } else {
        Out += W32(Motorola, DataAt + static_cast<uint32_t>(Data.size()));
        Data += E.Data;
      }
    }
    const uint32_t Next = Start + 2 + 12 * static_cast<uint32_t>(Entries.size()) + 4 +
                          static_cast<uint32_t>(Data.size());
    Out += W32(Motorola, I + 1 < IFDs.size() ? Next : LastNext);
    Out += Data;
  }
  return Out;
}

std::string RenderTiff(const std::string& Bytes) {
  TMemoryStream In(Bytes);
  TkivTiff Tiff;
  Tiff.LoadFromStream(In);
  TkivHTMLItem Root;
  Tiff.WriteHTML(Root);
  TMemoryStream Out;
  Root.WriteToStream(Out);
  return Out.ToString();
}

std::string ValueCell(const TkivTiffEntry& Entry) {
  TkivHTMLTR Row;
  Entry.WriteValueCell(Row);
  TMemoryStream Out;
  for (int32_t I = 0; I < Row.Count(); ++I)
    Row.GetChild(I).WriteToStream(Out);
  return Out.ToString();
}

std::string ValueCell(bool Motorola, const TEntryDef& Entry) {
  TMemoryStream In(BuildTiff(Motorola, {{Entry}}));
  TkivTiff Tiff;
  Tiff.LoadFromStream(In);
  if (Tiff.Count() == 0 || Tiff.IFD(0).Count() == 0) return "no entry";
  return ValueCell(Tiff.IFD(0).Entry(0));
}

} // namespace kivTiffTest
