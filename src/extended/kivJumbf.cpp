#include "extended/kivJumbf.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <vector>

#include "extended/kivJpegSummary.h"
#include "framework/kivFormat.h"
#include "framework/kivInfo.h"
#include "framework/kivInfoStream.h"
#include "framework/kivJpegBitmap.h"
#include "framework/kivJpegImage.h"
#include "platform/kivDigest.h"

namespace {

using TJson = nlohmann::json;

// Real manifests nest five or six levels; a hostile tree stops here, and so do the values of
// JSON and CBOR content (the CBOR reader recurses once a level).
constexpr int MaxDepth = 64;
// JSON or CBOR content larger than this is shown in hex only: manifests keep theirs to a few
// kilobytes (signatures with their certificates to some tens).
constexpr int64_t MaxContent = int64_t(1) << 20;
// The text shown of one content box; and the bytes of a byte string shown in hex.
constexpr size_t MaxText = size_t(256) << 10;
constexpr size_t MaxBinaryShown = 48;
// Unknown content is shown up to this many bytes.
constexpr int64_t MaxHexShown = 256;
// Exclusion ranges of a hard binding; real ones have one or two.
constexpr size_t MaxExclusions = 1000;

// The content types of description boxes, by UUID. The ISO family ends in
// 0011-0010-8000-00AA00389B71 after a four-character code.
struct TContentType {
  std::string_view Uuid; // hex, lower case
  std::string_view Name;
  std::string_view Meaning;
};
const TContentType ContentTypes[] = {
    {"6332706100110010800000aa00389b71", "c2pa", "manifest store"},
    {"63326d6100110010800000aa00389b71", "c2ma", "standard manifest"},
    {"6332756d00110010800000aa00389b71", "c2um", "update manifest"},
    {"6332617300110010800000aa00389b71", "c2as", "assertion store"},
    {"6332636c00110010800000aa00389b71", "c2cl", "claim"},
    {"6332637300110010800000aa00389b71", "c2cs", "claim signature"},
    {"6332766300110010800000aa00389b71", "c2vc", "credential store"},
    {"6332646200110010800000aa00389b71", "c2db", "databox store"},
    {"6a736f6e00110010800000aa00389b71", "json", "JSON content"},
    {"63626f7200110010800000aa00389b71", "cbor", "CBOR content"},
    {"786d6c2000110010800000aa00389b71", "xml", "XML content"},
    {"7575696400110010800000aa00389b71", "uuid", "UUID content"},
    {"6579d6fbdba2446bb2ac1b82feeb89d1", "codestream", "JPEG 2000 codestream"},
    {"40cb0c32bb8a489da70b2ad6f47f4369", "embedded file", "a file with its media type"},
};
constexpr std::string_view IsoSuffix = "00110010800000aa00389b71";

// Box types.
struct TBoxType {
  std::string_view Type;
  std::string_view Meaning;
};
const TBoxType BoxTypes[] = {
    {"jumb", "superbox"},
    {"jumd", "description box"},
    {"json", "JSON content"},
    {"cbor", "CBOR content"},
    {"bfdb", "embedded file description"},
    {"bidb", "embedded file data"},
    {"uuid", "UUID content"},
    {"xml ", "XML content"},
    {"jp2c", "codestream"},
    {"c2sh", "salt hash"},
    {"free", "free space"},
};

std::string HexOf(std::string_view Bytes) {
  return kivPlatform::DigestHex(std::string(Bytes));
}

bool Printable(std::string_view S) {
  return std::all_of(S.begin(), S.end(), [](char C) { return C >= 0x20 && C < 0x7F; });
}

std::string TypeText(const std::string& Type) {
  const std::string Shown = Printable(Type) ? "'" + Type + "'" : "0x" + HexOf(Type);
  for (const TBoxType& T : BoxTypes)
    if (T.Type == Type) return Shown + " (" + std::string(T.Meaning) + ")";
  return Shown;
}

TkivMark WrongIfNot(bool Ok) {
  return Ok ? TkivMark::None : TkivMark::Wrong;
}

// A text ended by a zero byte, read no further than End; without its zero, the bytes to End.
std::string ZeroEnded(TStream& In, int64_t End) {
  const int64_t Start = In.GetPosition();
  const std::string Bytes = ReadString(In, std::max<int64_t>(End - Start, 0));
  const size_t Zero = Bytes.find('\0');
  if (Zero == std::string::npos) return Bytes;
  In.SetPosition(Start + int64_t(Zero) + 1);
  return Bytes.substr(0, Zero);
}

std::string UuidText(const std::string& Hex) {
  return Hex.substr(0, 8) + "-" + Hex.substr(8, 4) + "-" + Hex.substr(12, 4) + "-" +
         Hex.substr(16, 4) + "-" + Hex.substr(20);
}

const TContentType* FindContentType(const std::string& Hex) {
  for (const TContentType& T : ContentTypes)
    if (T.Uuid == Hex) return &T;
  return nullptr;
}

// A JSON value built from a reader's events, with its depth and values bounded. The CBOR
// reader and the JSON parser both drive it; returning false stops them.
class TBoundedJson {
public:
  explicit TBoundedJson(TkivWorkBudget& Budget) : Budget(Budget) {}
  TJson Root;
  std::string Error;

  bool null() { return Put(nullptr) != nullptr; }
  bool boolean(bool B) { return Put(B) != nullptr; }
  bool number_integer(TJson::number_integer_t N) { return Put(N) != nullptr; }
  bool number_unsigned(TJson::number_unsigned_t N) { return Put(N) != nullptr; }
  bool number_float(TJson::number_float_t F, const TJson::string_t&) { return Put(F) != nullptr; }
  bool string(TJson::string_t& S) { return Put(std::move(S)) != nullptr; }
  bool binary(TJson::binary_t& B) { return Put(TJson::binary(std::move(B))) != nullptr; }
  bool start_object(size_t) { return Open(TJson::object()); }
  bool key(TJson::string_t& K) {
    Key = std::move(K);
    return true;
  }
  bool end_object() { return Close(); }
  bool start_array(size_t) { return Open(TJson::array()); }
  bool end_array() { return Close(); }
  bool parse_error(size_t, const std::string&, const nlohmann::detail::exception& E) {
    Error = E.what();
    return false;
  }

private:
  TkivWorkBudget& Budget;
  std::vector<TJson*> Open_;
  std::string Key;

  TJson* Put(TJson Value) {
    if (Budget.Take(TkivWork::Values, 1) < 1) {
      Error = "more values than this report has left";
      return nullptr;
    }
    if (Open_.empty()) {
      Root = std::move(Value);
      return &Root;
    }
    TJson& Parent = *Open_.back();
    if (Parent.is_array()) {
      Parent.push_back(std::move(Value));
      return &Parent.back();
    }
    TJson& Slot = Parent[Key];
    Slot = std::move(Value);
    return &Slot;
  }
  bool Open(TJson Value) {
    if (Open_.size() >= size_t(MaxDepth)) {
      Error = Format("values nested deeper than %d levels", MaxDepth);
      return false;
    }
    TJson* At = Put(std::move(Value));
    if (!At) return false;
    Open_.push_back(At);
    return true;
  }
  bool Close() {
    if (!Open_.empty()) Open_.pop_back();
    return true;
  }
};

// Readable text of a value: JSON with byte strings as h'hex'.
void Diagnostic(const TJson& V, size_t Indent, std::string& S) {
  if (S.size() > MaxText) return;
  const std::string Pad(Indent + 2, ' ');
  switch (V.type()) {
  case TJson::value_t::object:
  case TJson::value_t::array: {
    const bool Object = V.is_object();
    if (V.empty()) {
      S += Object ? "{}" : "[]";
      return;
    }
    S += Object ? "{\n" : "[\n";
    size_t N = 0;
    for (auto It = V.begin(); It != V.end(); ++It) {
      S += Pad;
      if (Object) S += TJson(It.key()).dump(-1, ' ', false, TJson::error_handler_t::replace) + ": ";
      Diagnostic(*It, Indent + 2, S);
      S += ++N < V.size() ? ",\n" : "\n";
      if (S.size() > MaxText) {
        S += "...";
        return;
      }
    }
    S += std::string(Indent, ' ') + (Object ? "}" : "]");
    return;
  }
  case TJson::value_t::binary: {
    const auto& B = V.get_binary();
    const std::string_view Bytes(reinterpret_cast<const char*>(B.data()),
                                 std::min(B.size(), MaxBinaryShown));
    S += "h'" + HexOf(Bytes) + "'";
    if (B.size() > MaxBinaryShown) S += Format(" ... (%zu bytes)", B.size());
    return;
  }
  default:
    S += V.dump(-1, ' ', false, TJson::error_handler_t::replace);
  }
}

struct TBox {
  int64_t Start = 0, Data = 0, End = 0;
  std::string Type;
};

// The hard binding found in a manifest.
struct TBinding {
  std::string Manifest;
  TJson Value;
};

class TJumbfReader {
public:
  TJumbfReader(const TkivExtendedInput& Input, TkivDescription& Out) : Input(Input), Out(Out) {}

  // The boxes from the stream's position to End.
  void Boxes(int64_t End, int Depth) {
    TStream& In = Input.Payload;
    while (In.GetPosition() < End) {
      if (BytesLeft(In) < 8 || End - In.GetPosition() < 8) {
        Out.Problem(Format("%lld bytes after the last box are too few for a box header",
                           static_cast<long long>(End - In.GetPosition())));
        In.SetPosition(End);
        return;
      }
      if (Input.Budget.Take(TkivWork::Entries, 1) < 1) {
        Out.Problem("More boxes than this report has left; the rest are not read");
        In.SetPosition(End);
        return;
      }
      TBox Box;
      if (!ReadHeader(End, Box)) {
        In.SetPosition(End);
        return;
      }
      if (Box.Type == "jumb")
        Superbox(Box, Depth);
      else
        Content(Box);
      In.SetPosition(Box.End);
    }
  }

  std::vector<TBinding> Bindings;
  // The label of the last manifest of the store: the active one.
  std::string ActiveManifest;

private:
  const TkivExtendedInput& Input;
  TkivDescription& Out;
  std::string Manifest;  // the manifest being read
  std::string MediaType; // of the embedded file being read
  std::string Label;     // of the superbox being read

  bool ReadHeader(int64_t End, TBox& Box) {
    TStream& In = Input.Payload;
    Box.Start = In.GetPosition();
    const uint32_t Length = ReadLong(In, true);
    Box.Type = ReadString(In, 4);
    int64_t Declared = Length;
    std::string Note;
    if (Length == 1) {
      const uint64_t High = ReadLong(In, true), Low = ReadLong(In, true);
      const uint64_t Extended = (High << 32) | Low;
      Declared = Extended > uint64_t(INT64_MAX) ? INT64_MAX : int64_t(Extended);
      Note = Format("extended length %llu", static_cast<unsigned long long>(Extended));
      if (Declared < 16) {
        Out.Problem(Format("Box %s declares the extended length %llu, less than its header; "
                           "the boxes after it are not read",
                           TypeText(Box.Type).c_str(), static_cast<unsigned long long>(Extended)));
        return false;
      }
    } else if (Length == 0) {
      Declared = End - Box.Start;
      Note = "length 0: the box runs to the end";
    } else if (Length < 8) {
      Out.Problem(Format("Box %s declares %u bytes, less than its header; the boxes after it "
                         "are not read",
                         TypeText(Box.Type).c_str(), unsigned(Length)));
      return false;
    }
    Box.Data = In.GetPosition();
    Box.End = Declared > End - Box.Start ? End : Box.Start + Declared;
    if (Declared > End - Box.Start) {
      Out.Problem(Format("Box %s declares %lld bytes, but only %lld are left; what there is "
                         "is read",
                         TypeText(Box.Type).c_str(), static_cast<long long>(Declared),
                         static_cast<long long>(End - Box.Start)));
    }
    if (!Note.empty()) Out.Field("Box length", Note);
    return true;
  }

  void Superbox(const TBox& Box, int Depth) {
    TStream& In = Input.Payload;
    if (Depth >= MaxDepth) {
      Out.Problem(Format("Superboxes nested deeper than %d levels are not read", MaxDepth));
      return;
    }
    // The description box names the superbox.
    TBox Description;
    std::string Uuid, Name, BoxLabel;
    uint8_t Toggles = 0;
    bool Described = false;
    if (Box.End - In.GetPosition() >= 8 && ReadHeader(Box.End, Description) &&
        Description.Type == "jumd") {
      Described = true;
      Uuid = HexOf(ReadString(In, std::min<int64_t>(16, Description.End - In.GetPosition())));
      if (In.GetPosition() < Description.End) Toggles = ReadByte(In);
      if (Toggles & 2) BoxLabel = ZeroEnded(In, Description.End);
    }
    const TContentType* Type = Described ? FindContentType(Uuid) : nullptr;
    if (Type)
      Name = Type->Name;
    else if (Uuid.size() == 32 && Uuid.substr(8) == IsoSuffix)
      Name = std::string(1, '\'') + ReadableCode(Uuid.substr(0, 8)) + "'";
    TkivDescriptionGroup Group(Out, "Superbox" + (BoxLabel.empty() ? "" : " " + BoxLabel));
    if (!Described) {
      Out.Problem("The superbox does not start with a description box ('jumd')");
      In.SetPosition(Box.Data);
      Boxes(Box.End, Depth + 1);
      return;
    }
    Out.Field("Content type", Uuid.size() == 32 ? UuidText(Uuid) : Uuid,
              Type           ? Format("%s: %s", Type->Name.data(), Type->Meaning.data())
              : Name.empty() ? "a type of no known name"
                             : Name,
              Type ? TkivMark::None : TkivMark::Unknown);
    std::string Flags;
    for (const auto& [Bit, Text] : {std::pair<int, const char*>{1, "requestable"},
                                    {2, "label"},
                                    {4, "ID"},
                                    {8, "hash"},
                                    {16, "private box"}})
      if (Toggles & Bit) Flags += (Flags.empty() ? "" : ", ") + std::string(Text);
    Out.Field("Toggles", Format("0x%02X", unsigned(Toggles)), Flags);
    if (Toggles & 2) Out.Field("Label", BoxLabel);
    if ((Toggles & 4) && Description.End - In.GetPosition() >= 4)
      Out.Field("ID", int64_t(ReadLong(In, true)));
    if ((Toggles & 8) && Description.End - In.GetPosition() >= 32)
      Out.Field("Hash", HexOf(ReadString(In, 32)), "SHA-256 of the superbox's content");
    In.SetPosition(Description.End);

    const std::string Saved = Manifest;
    if (Type && (Type->Name == "c2ma" || Type->Name == "c2um")) {
      Manifest = BoxLabel;
      // The store's last manifest is the active one.
      if (Depth == 1) ActiveManifest = BoxLabel;
    }
    const std::string SavedLabel = Label;
    Label = BoxLabel;
    MediaType.clear();
    Boxes(Box.End, Depth + 1);
    Label = SavedLabel;
    Manifest = Saved;
  }

  static std::string ReadableCode(const std::string& Hex) {
    std::string Code;
    for (size_t I = 0; I + 1 < Hex.size(); I += 2)
      Code += char(std::stoi(Hex.substr(I, 2), nullptr, 16));
    return Printable(Code) ? Code : Hex;
  }

  void Content(const TBox& Box) {
    TStream& In = Input.Payload;
    const int64_t Size = Box.End - Box.Data;
    std::string Title = TypeText(Box.Type) + Format(", %lld bytes", static_cast<long long>(Size));
    if (Box.Type == "json" || Box.Type == "cbor") {
      if (Size > MaxContent) {
        Out.Problem(Format("%s: more than %lld bytes are shown in hex only", Title.c_str(),
                           static_cast<long long>(MaxContent)));
        Out.Hex(Title, In, std::min<int64_t>(Size, MaxHexShown));
        return;
      }
      std::string Bytes = ReadString(In, Size);
      // A signature is a tagged COSE structure (tag 18); the reader takes no tags, so the
      // leading ones are said in the title.
      for (int Tags = 0; Box.Type == "cbor" && !Bytes.empty() && Tags < 8; ++Tags) {
        const uint8_t B = uint8_t(Bytes[0]);
        if ((B < 0xC0 || B > 0xD8) || (B == 0xD8 && Bytes.size() < 2)) break;
        const unsigned Tag = B == 0xD8 ? uint8_t(Bytes[1]) : B - 0xC0u;
        Title += Format(", tag %u%s", Tag, Tag == 18 ? " (COSE_Sign1)" : "");
        Bytes.erase(0, B == 0xD8 ? 2 : 1);
      }
      TBoundedJson Value(Input.Budget);
      bool Ok = false;
      try {
        if (Box.Type == "cbor")
          Ok = TJson::sax_parse(Bytes, &Value, TJson::input_format_t::cbor);
        else
          Ok = TJson::sax_parse(Bytes, &Value);
      } catch (const TJson::parse_error& E) {
        Value.Error = E.what();
      }
      if (!Ok) {
        Out.Problem(Format("%s: not read as %s: %s", Title.c_str(),
                           Box.Type == "json" ? "JSON" : "CBOR", Value.Error.c_str()));
        TkivBytesView Raw(reinterpret_cast<const uint8_t*>(Bytes.data()), int64_t(Bytes.size()));
        Out.Hex(Title, Raw, std::min<int64_t>(Size, MaxHexShown));
        return;
      }
      std::string Text;
      if (Box.Type == "json")
        Text = Value.Root.dump(2, ' ', false, TJson::error_handler_t::replace);
      else
        Diagnostic(Value.Root, 0, Text);
      if (Text.size() > MaxText) Text = Text.substr(0, MaxText) + "...";
      Out.Text(Title, Text);
      if (Label.rfind("c2pa.hash.data", 0) == 0 && Value.Root.is_object())
        Bindings.push_back({Manifest, std::move(Value.Root)});
      return;
    }
    if (Box.Type == "bfdb" && Size >= 1) {
      const uint8_t Toggles = ReadByte(In);
      MediaType = ZeroEnded(In, Box.End);
      Out.Field("Media type", MediaType);
      if ((Toggles & 1) && In.GetPosition() < Box.End)
        Out.Field("File name", ZeroEnded(In, Box.End));
      return;
    }
    if (Box.Type == "bidb" && (MediaType == "image/jpeg" || MediaType == "image/jpg")) {
      EmbeddedPicture(Box);
      return;
    }
    if (Box.Type == "bidb") {
      Out.Field("Embedded file", Format("%lld bytes", static_cast<long long>(Size)), MediaType);
      return;
    }
    if (Box.Type == "c2sh" || Box.Type == "uuid" || Box.Type == "free" || Size <= MaxHexShown) {
      Out.Hex(Title, In, std::min<int64_t>(Size, MaxHexShown));
      return;
    }
    Out.Hex(Title + Format(" (the first %lld shown)", static_cast<long long>(MaxHexShown)), In,
            MaxHexShown);
  }

  void EmbeddedPicture(const TBox& Box) {
    TStreamRange Data(Input.Payload, Box.Data, Box.End - Box.Data);
    if (Out.WantsPixels()) {
      auto Bitmap = TkivJpegBitmap::ClassObject().Create();
      auto& Jpeg = static_cast<TkivJpegBitmap&>(*Bitmap);
      Jpeg.MaxSide = SummaryPictureSide;
      Jpeg.ReadThumbnail(Data, Input.Budget);
      if (!Jpeg.Failure.empty() && int64_t(Jpeg.Width()) * Jpeg.Height() <= 0)
        Out.Problem("No picture: " + Jpeg.Failure);
      else
        Out.Picture("Embedded picture", std::move(Bitmap));
      return;
    }
    try {
      const TkivPictureSize Size = TkivJpegImage().ReadSize(Data, Input.Budget, SummaryPictureSide);
      Out.Field("Embedded picture", Format("%d x %d pixels", Size.Width, Size.Height));
    } catch (const EkivPictureRefused& E) {
      Out.Field("Embedded picture", PictureRefusalText(E.Refusal));
    } catch (const Exception& E) {
      Out.Problem(std::string("No picture: ") + E.what());
    }
  }
};

// The segments of the file that the bytes from Start to End cover.
std::string CoveredText(const TkivSegmentList& File, int64_t Start, int64_t End) {
  std::vector<int32_t> Covered;
  for (int32_t I = 0; I < File.Count(); ++I) {
    const TkivSegment& S = File.Segment(I);
    if (S.FileOffset < End && S.FileOffset + S.FileSize > Start) Covered.push_back(I);
  }
  if (Covered.empty()) return "no segment";
  std::string Text = Covered.size() == 1 ? "segment " : "segments ";
  constexpr size_t Shown = 8;
  for (size_t N = 0; N < Covered.size() && N < Shown; ++N)
    Text += (N ? ", " : "") + std::to_string(Covered[N]);
  if (Covered.size() > Shown) Text += Format(" and %zu more", Covered.size() - Shown);
  return Text;
}

int64_t IntegerOf(const TJson& V, const char* Name) {
  const auto It = V.find(Name);
  if (It == V.end() || !It->is_number_integer()) return -1;
  return It->is_number_unsigned() ? int64_t(std::min<uint64_t>(It->get<uint64_t>(), INT64_MAX))
                                  : It->get<int64_t>();
}

void DescribeBinding(const TBinding& Binding, bool Active, const TkivExtendedInput& Input,
                     TkivDescription& Out) {
  TkivDescriptionGroup Group(Out, "Hard binding (c2pa.hash.data)" +
                                      (Binding.Manifest.empty() ? "" : " of " + Binding.Manifest));
  const TJson& V = Binding.Value;
  const auto Alg = V.find("alg");
  const std::string Algorithm = Alg != V.end() && Alg->is_string() ? Alg->get<std::string>() : "";
  Out.Field("Algorithm", Algorithm.empty() ? "sha256" : Algorithm,
            Algorithm.empty() ? "not given: the claim's, SHA-256 by default" : "");
  const auto Hash = V.find("hash");
  std::string Expected;
  if (Hash != V.end() && Hash->is_binary())
    Expected.assign(Hash->get_binary().begin(), Hash->get_binary().end());
  Out.Field("Hash", HexOf(Expected), Expected.empty() ? "none given" : "",
            Expected.empty() ? TkivMark::Wrong : TkivMark::None);

  const TkivSegmentList* File = Input.File;
  const int64_t FileSize = File && File->Source ? File->Source->GetSize() : -1;
  std::vector<std::pair<int64_t, int64_t>> Ranges;
  bool RangesOk = true;
  const auto Exclusions = V.find("exclusions");
  if (Exclusions != V.end() && Exclusions->is_array()) {
    TkivDescriptionTable Table(Out, "Exclusions", {"Start", "Length", "End", "In the file"});
    for (const TJson& E : *Exclusions) {
      if (Ranges.size() >= MaxExclusions) {
        RangesOk = false;
        break;
      }
      const int64_t Start = E.is_object() ? IntegerOf(E, "start") : -1;
      const int64_t Length = E.is_object() ? IntegerOf(E, "length") : -1;
      if (Start < 0 || Length < 0 || Length > INT64_MAX - Start) {
        Table.Row({"?", "?", "", "not a range"}, TkivMark::Wrong);
        RangesOk = false;
        continue;
      }
      const bool Inside = FileSize < 0 || Start + Length <= FileSize;
      Table.Row({std::to_string(Start), std::to_string(Length), std::to_string(Start + Length),
                 File ? CoveredText(*File, Start, Start + Length) +
                            (Inside ? "" : ", beyond the file's end")
                      : ""},
                WrongIfNot(Inside));
      Ranges.emplace_back(Start, Start + Length);
    }
  }
  if (!Input.Whole) {
    Out.Field("Check", "not checked", "the box's pieces are not all at hand");
    return;
  }
  if (!Active) {
    Out.Field("Check", "not checked", "a manifest before the active one binds an earlier file");
    return;
  }
  if (!Input.File || !Input.File->Source) {
    Out.Field("Check", "not checked", "the file's bytes are not at hand");
    return;
  }
  if (Algorithm != "" && Algorithm != "sha256") {
    Out.Field("Check", "not checked", "the algorithm is not SHA-256", TkivMark::Unknown);
    return;
  }
  if (!RangesOk) {
    Out.Field("Check", "not checked", "the exclusions cannot be read", TkivMark::Wrong);
    return;
  }
  if (Input.Budget.Take(TkivWork::BytesCopied, FileSize) < FileSize) {
    Out.Field("Check", "not checked", "the file is more than this report has left to read");
    return;
  }
  std::sort(Ranges.begin(), Ranges.end());
  TStream& Source = *Input.File->Source;
  const int64_t Saved = Source.GetPosition();
  kivPlatform::TDigest Digest(kivPlatform::TDigestKind::SHA256);
  std::vector<char> Buffer(64 << 10);
  const auto Feed = [&](int64_t From, int64_t To) {
    Source.SetPosition(From);
    while (From < To) {
      const int64_t N = std::min<int64_t>(To - From, int64_t(Buffer.size()));
      Source.ReadBuffer(Buffer.data(), N);
      Digest.Update(Buffer.data(), size_t(N));
      From += N;
    }
  };
  int64_t At = 0;
  for (const auto& [Start, End] : Ranges) {
    if (Start > At) Feed(At, std::min(Start, FileSize));
    At = std::max(At, End);
  }
  if (At < FileSize) Feed(At, FileSize);
  Source.SetPosition(Saved);
  const std::string Computed = Digest.Finish();
  const bool Match = Computed == Expected;
  Out.Field("Check",
            Match ? "the file's bytes match the manifest"
                  : "the file's bytes do not match the manifest",
            "SHA-256 of the file outside the exclusions: " + HexOf(Computed), WrongIfNot(Match));
}

} // namespace

bool ReadJumbfPiece(TStream& Payload, TkivPiece& Piece) {
  Piece.Key = std::to_string(ReadWord(Payload, true));
  Piece.Place = ReadLong(Payload, true);
  Piece.Total = 0;
  Piece.DataStart = Payload.GetPosition();
  // The pieces after the first repeat the box's header, which the whole holds once.
  if (Piece.Place > 1) {
    const uint32_t Length = ReadLong(Payload, true);
    ReadString(Payload, 4);
    Piece.DataStart += Length == 1 ? 16 : 8;
  }
  return true;
}

void DescribeJumbf(const TkivExtendedInput& Input, TkivDescription& Out) {
  TStream& In = Input.Payload;
  if (!Input.Whole) {
    Out.Field("Box instance", int64_t(ReadWord(In, true)));
    const uint32_t Sequence = ReadLong(In, true);
    Out.Field("Sequence number", int64_t(Sequence));
    if (Sequence != 1) {
      if (BytesLeft(In) >= 8) {
        const uint32_t Length = ReadLong(In, true);
        Out.Field("Box", TypeText(ReadString(In, 4)),
                  Format("its header repeated; %u bytes in all", unsigned(Length)));
      }
      Out.Field("Data", Format("%lld bytes", static_cast<long long>(BytesLeft(In))),
                "the continuation of the box, read with its first piece");
      In.SetPosition(In.GetSize());
      return;
    }
  } else if (BytesLeft(In) >= 8) {
    // The first box's length against what its pieces hold.
    const int64_t Start = In.GetPosition();
    const uint32_t Length = ReadLong(In, true);
    In.SetPosition(Start);
    if (Length > 1 && Length != BytesLeft(In))
      Out.Field("Box length", int64_t(Length),
                Format("the pieces hold %lld bytes", static_cast<long long>(BytesLeft(In))),
                TkivMark::Wrong);
  }
  TJumbfReader Reader(Input, Out);
  try {
    Reader.Boxes(In.GetSize(), 0);
  } catch (const EReadError&) {
    Out.Problem("The data ends inside a box; what the description shows was read before");
    In.SetPosition(In.GetSize());
  }
  for (const TBinding& Binding : Reader.Bindings)
    DescribeBinding(Binding, Binding.Manifest == Reader.ActiveManifest, Input, Out);
  Out.Field("Signature", "not checked", "No signature or certificate is checked");
}
