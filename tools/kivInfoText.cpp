#include "kivInfoText.h"

#include <iconv.h>

#include <cerrno>
#include <nlohmann/json.hpp>

#include "framework/kivFormat.h"

namespace {

// Converts with iconv, calling Invalid for each input sequence that has no conversion; it
// appends its replacement and returns how many input bytes to pass over.
template <class TInvalid>
std::string Convert(const char* To, const char* From, const std::string& S, TInvalid Invalid) {
  const iconv_t Cd = ::iconv_open(To, From);
  if (Cd == reinterpret_cast<iconv_t>(-1)) return S;
  std::string Out;
  char Buffer[1024];
  char* In = const_cast<char*>(S.data());
  size_t InLeft = S.size();
  while (InLeft > 0) {
    char* OutPtr = Buffer;
    size_t OutLeft = sizeof Buffer;
    const size_t R = ::iconv(Cd, &In, &InLeft, &OutPtr, &OutLeft);
    const int Error = errno;
    Out.append(Buffer, size_t(OutPtr - Buffer));
    if (R != size_t(-1) || Error == E2BIG) continue;
    const size_t Skip =
        std::min(InLeft, Invalid(Out, reinterpret_cast<const uint8_t*>(In), InLeft));
    In += Skip;
    InLeft -= Skip;
  }
  ::iconv_close(Cd);
  return Out;
}

// Most names and values are ASCII, which every conversion here keeps as it is.
bool IsAscii(const std::string& S) {
  for (const char C : S)
    if (static_cast<uint8_t>(C) >= 0x80) return false;
  return true;
}

std::string Escaped(const std::string& Utf8) {
  std::string S;
  for (const char C : Utf8) {
    const auto B = static_cast<uint8_t>(C);
    if (B < 0x20 || B == 0x7F)
      S += Format("\\x%02X", B);
    else if (C == '\\')
      S += "\\\\";
    else
      S += C;
  }
  return S;
}

void AppendText(const TkivTreeItem& Item, int Depth, std::string& Out) {
  std::string Name = Item.GetName();
  if (Name.empty() || Name.back() != ':') Name += ':';
  Out.append(size_t(Depth) * 2, ' ').append(Escaped(AnsiToUtf8(Name)));
  const std::string Value = Item.GetValue();
  if (!Value.empty()) Out.append(" ").append(Escaped(AnsiToUtf8(Value)));
  Out += '\n';
  for (int32_t I = 0; I < Item.Count(); ++I)
    AppendText(Item.GetChild(I), Depth + 1, Out);
}

// The tree as nlohmann-json's dump of {"name", "value", "children"} objects writes it, without
// building the whole document first: a file's tree is thousands of items, and the library is
// asked for what it does best, the escaping of each string.
class TJsonWriter {
public:
  TJsonWriter(std::string& Out, int Indent)
      : Out(Out), Indent(Indent), Serializer(nlohmann::detail::output_adapter<char>(Out), ' ') {}

  void Item(const TkivTreeItem& Item, int Level) {
    Out += '{';
    Member("name", AnsiToUtf8(Item.GetName()), Level);
    Out += ',';
    Member("value", AnsiToUtf8(Item.GetValue()), Level);
    Out += ',';
    Break(Level + Indent);
    Out += Indent >= 0 ? "\"children\": [" : "\"children\":[";
    for (int32_t I = 0; I < Item.Count(); ++I) {
      if (I > 0) Out += ',';
      Break(Level + 2 * Indent);
      this->Item(Item.GetChild(I), Level + 2 * Indent);
    }
    if (Item.Count() > 0) Break(Level + Indent);
    Out += ']';
    Break(Level);
    Out += '}';
  }

private:
  std::string& Out;
  const int Indent;
  nlohmann::json Text;
  // One serializer for all the strings, appending to Out: made anew for each, it would clear
  // its buffer and ask the locale every time.
  nlohmann::detail::serializer<nlohmann::json> Serializer;

  void Break(int Level) {
    if (Indent < 0) return;
    Out += '\n';
    Out.append(size_t(Level), ' ');
  }
  void Member(const char* Name, std::string Value, int Level) {
    Break(Level + Indent);
    Out.append("\"").append(Name).append(Indent >= 0 ? "\": " : "\":");
    Text = std::move(Value);
    Serializer.dump(Text, false, false, 0);
  }
};

} // namespace

std::string NameForUtf8(const std::string& Name) {
  // Backslashes stay single: a name is shown, not read back.
  const std::string Visible = ShowControlBytes(Name);
  if (IsAscii(Visible)) return Visible;
  return Convert("UTF-8", "UTF-8", Visible, [](std::string& Out, const uint8_t* In, size_t) {
    Out += Format("\\x%02X", *In);
    return size_t(1);
  });
}

std::string AnsiToUtf8(const std::string& S) {
  if (IsAscii(S)) return S;
  return Convert("UTF-8", "CP1251", S, [](std::string& Out, const uint8_t*, size_t) {
    Out += "\xEF\xBF\xBD";
    return size_t(1);
  });
}

std::string Utf8ToAnsi(const std::string& S) {
  if (IsAscii(S)) return S;
  return Convert("CP1251", "UTF-8", S, [](std::string& Out, const uint8_t* In, size_t Left) {
    Out += '?';
    // Pass over the whole sequence: its lead byte and its continuation bytes.
    size_t N = 1;
    while (N < Left && (In[N] & 0xC0) == 0x80)
      ++N;
    return N;
  });
}

std::string InfoTreeText(const TkivTreeItem& Root) {
  std::string Out;
  AppendText(Root, 0, Out);
  return Out;
}

std::string InfoTreeJson(const TkivTreeItem& Root, int Indent) {
  std::string Out;
  TJsonWriter(Out, Indent).Item(Root, 0);
  Out += '\n';
  return Out;
}

std::unique_ptr<TkivTreeItem> FileInfoTree(const TkivSegmentList& List) {
  auto Root = std::make_unique<TkivTreeItem>();
  Root->Name = List.FileName;
  Root->Value = Format("%lld bytes", static_cast<long long>(List.FileSize));
  if (List.SummaryInfo) AddInfoCopy(*Root, *List.SummaryInfo);
  for (int32_t I = 0; I < List.Count(); ++I) {
    const TkivSegment& Segment = List.Segment(I);
    TkivTreeItem& Copy = AddInfoCopy(*Root, *Segment.Info);
    Copy.Value =
        Format("offset 0x%08llX, %lld %s", static_cast<unsigned long long>(Segment.FileOffset),
               static_cast<long long>(Segment.FileSize), Segment.FileSize == 1 ? "byte" : "bytes");
  }
  return Root;
}
