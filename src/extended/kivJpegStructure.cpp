#include "extended/kivJpegStructure.h"

#include <algorithm>
#include <cmath>

#include "extended/kivJpegStandardTables.h"
#include "framework/kivFormat.h"
#include "framework/kivInfo.h"
#include "framework/kivInfoStream.h"
#include "framework/kivUtf8.h"
#include "jpeg/kivJpegInfo.h"

namespace {

constexpr TkivMark WrongIf(bool Wrong) {
  return Wrong ? TkivMark::Wrong : TkivMark::None;
}

// A component id as a number, with the letter some encoders use for it ('R', 'G', 'B').
std::string IdText(uint8_t Id) {
  if ((Id >= 'A' && Id <= 'Z') || (Id >= 'a' && Id <= 'z'))
    return Format("%u (%c)", unsigned(Id), char(Id));
  return std::to_string(Id);
}

// The marker of the segment at Index of File, or 0 when it starts with no marker.
uint8_t MarkerAt(const TkivSegmentList& File, int32_t Index) {
  const TMemoryStream& Data = File.Segment(Index).Data;
  return Data.GetSize() >= 2 && Data.Memory()[0] == 0xFF ? Data.Memory()[1] : 0;
}

} // namespace

bool IsFrameMarker(uint8_t Marker) {
  return Marker >= 0xC0 && Marker <= 0xCF && Marker != 0xC4 && Marker != 0xC8 && Marker != 0xCC;
}

bool IsProgressive(uint8_t Marker) {
  return IsFrameMarker(Marker) && (Marker & 3) == 2;
}

bool IsLossless(uint8_t Marker) {
  return IsFrameMarker(Marker) && (Marker & 3) == 3;
}

std::string ProcessText(uint8_t Marker) {
  // The viewer's own names of the frame markers, with the entropy coding they imply.
  for (const TkivIntSegmentDesc& Desc : IntSegmentDescs)
    if (Desc.Marker == Marker && IsFrameMarker(Marker))
      return std::string(Desc.Description) +
             (Marker >= 0xC8 ? ", arithmetic coding" : ", Huffman coding");
  return Format("not a frame marker (FF%02X)", unsigned(Marker));
}

void ReadFrame(TStream& Payload, uint8_t Marker, TkivJpegFrame& Frame) {
  Frame.Marker = Marker;
  Frame.Precision = ReadByte(Payload);
  Frame.Height = ReadWord(Payload, true);
  Frame.Width = ReadWord(Payload, true);
  Frame.DeclaredComponents = ReadByte(Payload);
  Frame.Components.clear();
  for (int I = 0; I < Frame.DeclaredComponents && HasBytes(Payload, 3); ++I) {
    TkivJpegComponent C;
    C.Id = ReadByte(Payload);
    const uint8_t Factors = ReadByte(Payload);
    C.H = Factors >> 4;
    C.V = Factors & 15;
    C.Table = ReadByte(Payload);
    Frame.Components.push_back(C);
  }
}

bool FindFrame(const TkivSegmentList& File, int32_t Index, TkivJpegFrame& Frame,
               int32_t* FrameIndex) {
  for (int32_t I = std::min(Index, File.Count()) - 1; I >= 0; --I) {
    const uint8_t Marker = MarkerAt(File, I);
    if (Marker == 0xD8) return false; // the start of this image: it has no frame before
    if (!IsFrameMarker(Marker)) continue;
    TkivBytesView Bytes(File.Segment(I));
    Bytes.SetPosition(4);
    try {
      ReadFrame(Bytes, Marker, Frame);
    } catch (const EReadError&) {
      return false;
    }
    if (FrameIndex) *FrameIndex = I;
    return true;
  }
  return false;
}

std::string SamplingFactorsText(const TkivJpegFrame& Frame) {
  std::string S;
  for (const TkivJpegComponent& C : Frame.Components)
    S += (S.empty() ? "" : ", ") + Format("%ux%u", unsigned(C.H), unsigned(C.V));
  return S;
}

std::string SubsamplingText(const TkivJpegFrame& Frame) {
  const std::vector<TkivJpegComponent>& C = Frame.Components;
  if (C.size() == 1) return "none (one component)";
  for (const TkivJpegComponent& Each : C)
    if (Each.H < 1 || Each.H > 4 || Each.V < 1 || Each.V > 4) return SamplingFactorsText(Frame);
  // Named when the two chroma components share their factors and divide the first's (and a
  // fourth, the K of YCCK, samples as the first does).
  const bool Named = (C.size() == 3 || (C.size() == 4 && C[3].H == C[0].H && C[3].V == C[0].V)) &&
                     C[1].H == C[2].H && C[1].V == C[2].V && C[0].H % C[1].H == 0 &&
                     C[0].V % C[1].V == 0;
  if (Named) {
    struct TName {
      int H, V;
      const char* Name;
    };
    static constexpr TName Names[] = {
        {1, 1, "4:4:4"}, {2, 1, "4:2:2"}, {2, 2, "4:2:0"}, {1, 2, "4:4:0"}, {4, 1, "4:1:1"},
    };
    for (const TName& N : Names)
      if (C[0].H / C[1].H == N.H && C[0].V / C[1].V == N.V) return N.Name;
  }
  bool Equal = C.size() > 1;
  for (const TkivJpegComponent& Each : C)
    Equal = Equal && Each.H == C[0].H && Each.V == C[0].V;
  return Equal ? "4:4:4" : SamplingFactorsText(Frame);
}

// ---- Frame header ----

void DescribeFrame(const TkivExtendedInput& Input, TkivDescription& Out) {
  TkivJpegFrame Frame;
  TStream& In = Input.Payload;
  Out.Field("Process", ProcessText(Input.Marker));
  Frame.Marker = Input.Marker;
  Frame.Precision = ReadByte(In);
  const uint8_t P = Frame.Precision;
  const bool PrecisionOk = IsLossless(Input.Marker) ? P >= 2 && P <= 16
                           : Input.Marker == 0xC0   ? P == 8
                                                    : P == 8 || P == 12;
  Out.Field("Precision", P,
            PrecisionOk ? "bits per sample" : "bits per sample: not one this process allows",
            WrongIf(!PrecisionOk));
  Frame.Height = ReadWord(In, true);
  Frame.Width = ReadWord(In, true);
  // libjpeg refuses larger pictures.
  constexpr int MaxSide = 65500;
  Out.Field("Width", Frame.Width,
            Frame.Width == 0        ? "a picture without columns"
            : Frame.Width > MaxSide ? "pixels: more than the 65500 that libjpeg decodes"
                                    : "pixels",
            WrongIf(Frame.Width == 0 || Frame.Width > MaxSide));
  Out.Field("Height", Frame.Height,
            Frame.Height == 0        ? "lines: set by a DNL segment after the first scan"
            : Frame.Height > MaxSide ? "lines: more than the 65500 that libjpeg decodes"
                                     : "lines",
            WrongIf(Frame.Height > MaxSide));
  const int Count = Frame.DeclaredComponents = ReadByte(In);
  const char* Kind = Count == 1   ? "greyscale"
                     : Count == 3 ? "three colours: YCbCr, or RGB"
                     : Count == 4 ? "four colours: CMYK or YCCK"
                     : Count == 0 ? "a frame needs at least one"
                     : Count > 10 ? "more than the 10 that libjpeg reads"
                                  : "no colour space has so many";
  Out.Field("Number of components", Count, Kind,
            Count == 0 || Count > 10 || (Count > 4 && IsProgressive(Input.Marker)) ? TkivMark::Wrong
            : Count == 2 || Count > 4 ? TkivMark::Unknown
                                      : TkivMark::None);
  const int64_t Left = BytesLeft(In);
  if (Left < Count * 3)
    Out.Problem(Format("The frame declares %d components (%d bytes), but only %lld bytes "
                       "follow; the whole ones are shown",
                       Count, Count * 3, static_cast<long long>(Left)));
  std::vector<std::string> Problems;
  {
    TkivDescriptionTable Table(Out, "Components", {"Id", "Sampling factors", "Quantization table"});
    for (int I = 0; I < Count && HasBytes(In, 3); ++I) {
      TkivJpegComponent C;
      C.Id = ReadByte(In);
      const uint8_t Factors = ReadByte(In);
      C.H = Factors >> 4;
      C.V = Factors & 15;
      C.Table = ReadByte(In);
      const bool BadFactors = C.H < 1 || C.H > 4 || C.V < 1 || C.V > 4;
      const bool Repeated =
          std::any_of(Frame.Components.begin(), Frame.Components.end(),
                      [&](const TkivJpegComponent& Other) { return Other.Id == C.Id; });
      if (BadFactors)
        Problems.push_back(Format("Component %u: sampling factors of 1 to 4 are allowed, not %ux%u",
                                  unsigned(C.Id), unsigned(C.H), unsigned(C.V)));
      if (C.Table > 3)
        Problems.push_back(Format("Component %u: quantization table %u; there are 0 to 3",
                                  unsigned(C.Id), unsigned(C.Table)));
      if (Repeated)
        Problems.push_back(Format("Component %u appears more than once", unsigned(C.Id)));
      Table.Row(
          {IdText(C.Id), Format("%ux%u", unsigned(C.H), unsigned(C.V)), std::to_string(C.Table)},
          WrongIf(BadFactors || C.Table > 3 || Repeated));
      Frame.Components.push_back(C);
    }
  }
  for (const std::string& Problem : Problems)
    Out.Problem(Problem);
  if (!Frame.Components.empty()) {
    int Blocks = 0;
    for (const TkivJpegComponent& C : Frame.Components)
      Blocks += C.H * C.V;
    Out.Field("Subsampling", SubsamplingText(Frame),
              Frame.Components.size() > 1 ? SamplingFactorsText(Frame) : "");
    if (Frame.Components.size() > 1 && Blocks > 10)
      Out.Problem(Format("An MCU would hold %d blocks; at most 10 are allowed", Blocks));
  }
}

// ---- Quantization tables ----

void ReadQuantTable(TStream& Payload, TkivQuantTable& Table) {
  const uint8_t PqTq = ReadByte(Payload);
  Table.Precision = PqTq >> 4;
  Table.Id = PqTq & 15;
  Table.Count = 0;
  if (Table.Precision > 1) return;
  const int Size = Table.Precision == 0 ? 1 : 2;
  for (; Table.Count < 64 && HasBytes(Payload, Size); ++Table.Count)
    Table.Values[ZigzagToNatural[Table.Count]] =
        Size == 1 ? ReadByte(Payload) : ReadWord(Payload, true);
}

TkivQuantQuality QualityOf(const TkivQuantTable& Table) {
  TkivQuantQuality Result;
  if (Table.Count < 64 || Table.Precision > 1) return Result;
  Result.Known = true;
  // Table 0 is libjpeg's luminance table, the others its chrominance table; either is tried.
  const int First = Table.Id == 0 ? 0 : 1;
  for (int N = 0; N < 2 && !Result.Exact; ++N) {
    const TkivStandardQuantTable& Standard = StandardQuantTables[(First + N) % 2];
    for (int Q = 1; Q <= 100; ++Q) {
      bool Equal = false;
      for (const uint16_t Limit : {uint16_t(255), uint16_t(32767)})
        Equal = Equal || IsScaledQuantTable(Standard, Q, Limit, Table.Values);
      if (Equal && !Result.Exact) {
        Result.Exact = true;
        Result.Quality = Q;
        Result.Standard = Standard.Name;
      }
      if (Equal) Result.LastQuality = Q;
      if (!Equal && Result.Exact) break;
    }
  }
  if (Result.Exact) return Result;
  // Otherwise the quality whose scaling comes nearest on average.
  const TkivStandardQuantTable& Standard = StandardQuantTables[First];
  double Percent = 0;
  for (int I = 0; I < 64; ++I)
    Percent += Table.Values[I] * 100.0 / Standard.Values[I];
  Percent /= 64;
  const double Q = Percent <= 100 ? (200 - Percent) / 2 : 5000 / std::max(Percent, 1.0);
  Result.Quality = std::clamp(int(std::lround(Q)), 1, 100);
  Result.Standard = Standard.Name;
  return Result;
}

std::string QualityText(const TkivQuantQuality& Quality) {
  if (!Quality.Known) return "not known";
  if (Quality.Exact && Quality.LastQuality > Quality.Quality)
    return Format("libjpeg quality %d to %d", Quality.Quality, Quality.LastQuality);
  if (Quality.Exact) return Format("libjpeg quality %d", Quality.Quality);
  return Format("about %d (an estimate)", Quality.Quality);
}

void DescribeQuantTables(const TkivExtendedInput& Input, TkivDescription& Out) {
  TStream& In = Input.Payload;
  while (HasBytes(In, 1)) {
    TkivQuantTable Table;
    ReadQuantTable(In, Table);
    TkivDescriptionGroup Group(Out, Format("Table %u", unsigned(Table.Id)));
    if (Table.Precision > 1) {
      Out.Field("Precision", Table.Precision, "neither 0 (8 bits) nor 1 (16 bits)",
                TkivMark::Wrong);
      throw EkivDescribeError("The size of the values is not known, so the rest is not read");
    }
    Out.Field("Precision", Table.Precision == 0 ? "8 bits" : "16 bits");
    Out.Field("Id", Table.Id, Table.Id > 3 ? "there are tables 0 to 3" : "", WrongIf(Table.Id > 3));
    const TkivQuantQuality Quality = QualityOf(Table);
    if (!Quality.Known)
      Out.Field("Quality", "not known", Format("the table holds %d of its 64 values", Table.Count),
                TkivMark::Wrong);
    else if (Quality.Exact)
      Out.Field("Quality", QualityText(Quality),
                Format(Quality.LastQuality > Quality.Quality
                           ? "libjpeg's %s table scaled for any of these qualities, to the value"
                           : "libjpeg's %s table scaled for this quality, to the value",
                       std::string(Quality.Standard).c_str()));
    else
      Out.Field("Quality", Format("about %d", Quality.Quality),
                Format("an estimate: the table is not libjpeg's %s table scaled for any quality",
                       std::string(Quality.Standard).c_str()),
                TkivMark::Unknown);
    {
      TkivDescriptionTable Grid(Out, "Values in natural order",
                                {"", "0", "1", "2", "3", "4", "5", "6", "7"});
      for (int Row = 0; Row < 8; ++Row) {
        std::vector<std::string> Cells{std::to_string(Row)};
        bool Zero = false;
        for (int Col = 0; Col < 8; ++Col) {
          const int At = Row * 8 + Col;
          // Values the file did not hold: those whose zigzag place is at or after Count.
          const bool Held = std::find(ZigzagToNatural, ZigzagToNatural + Table.Count, At) !=
                            ZigzagToNatural + Table.Count;
          Cells.push_back(Held ? std::to_string(Table.Values[At]) : "-");
          Zero = Zero || (Held && Table.Values[At] == 0);
        }
        Grid.Row(Cells, WrongIf(Zero));
      }
    }
    if (Table.Count < 64)
      Out.Problem(Format("The table holds only %d of its 64 values", Table.Count));
    if (std::count(Table.Values, Table.Values + Table.Count, 0) > 0)
      Out.Problem("A value of 0: no coefficient can be divided by it");
  }
}

// ---- Huffman tables ----

void DescribeHuffmanTables(const TkivExtendedInput& Input, TkivDescription& Out) {
  TStream& In = Input.Payload;
  while (HasBytes(In, 1)) {
    const uint8_t TcTh = ReadByte(In);
    const int Class = TcTh >> 4, Id = TcTh & 15;
    TkivDescriptionGroup Group(Out, Class <= 1 ? Format("%s table %d", Class == 0 ? "DC" : "AC", Id)
                                               : Format("Table %d", Id));
    Out.Field("Class",
              Class == 0   ? "DC"
              : Class == 1 ? "AC"
                           : std::to_string(Class),
              Class > 1 ? "neither 0 (DC) nor 1 (AC)" : "", WrongIf(Class > 1));
    Out.Field("Id", Id, Id > 3 ? "there are tables 0 to 3" : "", WrongIf(Id > 3));
    uint8_t Counts[16];
    int Total = 0;
    for (uint8_t& Count : Counts)
      Total += Count = ReadByte(In);
    const int64_t Left = BytesLeft(In);
    const int Held = int(std::min<int64_t>(Total, Left));
    std::string SymbolBytes = ReadString(In, Held);
    bool Standard = false;
    for (const TkivStandardHuffmanTable& S : StandardHuffmanTables)
      if (!Standard && S.Class == Class && std::equal(Counts, Counts + 16, S.Counts) &&
          Held == S.SymbolCount &&
          std::equal(SymbolBytes.begin(), SymbolBytes.end(), S.Symbols,
                     [](char A, uint8_t B) { return uint8_t(A) == B; })) {
        Standard = true;
        Out.Field("Table", "standard table",
                  "the example table of the JPEG standard for " + std::string(S.Name) +
                      " coefficients");
      }
    if (!Standard) Out.Field("Table", "not a standard table");
    Out.Field("Codes", Total, Total > 256 ? "more than the 256 symbols there are" : "",
              WrongIf(Total > 256));
    // Codes are handed out in order of length; one of each length may not be all ones.
    int64_t Code = 0;
    int Next = 0;
    bool Overfull = false;
    {
      TkivDescriptionTable Lengths(Out, "Codes of each length", {"Length", "Codes", "Symbols"});
      for (int Length = 1; Length <= 16; ++Length) {
        Code += Counts[Length - 1];
        const bool Fits = Code < (int64_t(1) << Length);
        Overfull = Overfull || !Fits;
        Code <<= 1;
        std::string Text;
        for (int N = 0; N < Counts[Length - 1] && Next < Held; ++N, ++Next)
          Text += Format(N == 0 ? "%02X" : " %02X", unsigned(uint8_t(SymbolBytes[size_t(Next)])));
        Lengths.Row({std::to_string(Length), std::to_string(Counts[Length - 1]), Text},
                    WrongIf(!Fits));
      }
    }
    if (Overfull) Out.Problem("More codes than their lengths can hold");
    if (Total == 0) Out.Problem("The table holds no codes");
    if (Held < Total)
      Out.Problem(Format("The table declares %d symbols, but only %d bytes follow", Total, Held));
  }
}

// ---- Scan header ----

namespace {

// Where a scan stands among the scans of its frame: its number and how many there are. The
// walk is counted as entries on the budget, so that a file of thousands of scans costs no
// more than its size.
bool ScanPlace(const TkivExtendedInput& Input, int32_t FrameIndex, int& Number, int& Total) {
  const TkivSegmentList& File = *Input.File;
  int32_t End = FrameIndex + 1;
  while (End < File.Count()) {
    const uint8_t Marker = MarkerAt(File, End);
    if (IsFrameMarker(Marker) || Marker == 0xD8 || Marker == 0xD9) break;
    ++End;
  }
  if (Input.Budget.Take(TkivWork::Entries, End - FrameIndex) < End - FrameIndex) return false;
  Number = Total = 0;
  for (int32_t I = FrameIndex + 1; I < End; ++I)
    if (MarkerAt(File, I) == 0xDA) {
      ++Total;
      if (I <= Input.Index) ++Number;
    }
  return true;
}

// What a pass of a progressive scan does.
std::string PassText(int Ss, int Se, int Ah, int Al) {
  if (Ss == 0)
    return Ah == 0 ? Format("DC first pass, point transform %d", Al)
                   : Format("DC refinement, bit %d", Al);
  return Ah == 0 ? Format("AC first pass, coefficients %d to %d, point transform %d", Ss, Se, Al)
                 : Format("AC refinement, coefficients %d to %d, bit %d", Ss, Se, Al);
}

// The lossless predictors by number.
constexpr const char* Predictors[8] = {
    "none",
    "left",
    "above",
    "above left",
    "left + above - above left",
    "left + (above - above left) / 2",
    "above + (left - above left) / 2",
    "(left + above) / 2",
};

} // namespace

void DescribeScan(const TkivExtendedInput& Input, TkivDescription& Out) {
  TStream& In = Input.Payload;
  TkivJpegFrame Frame;
  int32_t FrameIndex = -1;
  const bool HasFrame = Input.File && FindFrame(*Input.File, Input.Index, Frame, &FrameIndex);
  if (Input.File && !HasFrame) Out.Problem("No frame header comes before this scan");
  const int Count = ReadByte(In);
  Out.Field("Number of components", Count,
            Count == 0  ? "a scan needs at least one"
            : Count > 4 ? "a scan holds at most 4"
                        : "",
            WrongIf(Count == 0 || Count > 4));
  const int64_t Left = BytesLeft(In);
  const bool WholeList = Left >= int64_t(Count) * 2 + 3;
  if (!WholeList)
    Out.Problem(Format("The scan declares %d components, which with the three bytes after them "
                       "take %d bytes, but only %lld follow; the whole ones are shown",
                       Count, Count * 2 + 3, static_cast<long long>(Left)));
  const int Held = WholeList ? Count : int(std::min<int64_t>(Count, Left / 2));
  const bool Baseline = HasFrame && Frame.Marker == 0xC0;
  std::vector<std::string> Problems;
  {
    TkivDescriptionTable Table(Out, "Components", {"Id", "DC table", "AC table"});
    for (int I = 0; I < Held; ++I) {
      const uint8_t Id = ReadByte(In), Tables = ReadByte(In);
      const int Dc = Tables >> 4, Ac = Tables & 15, MaxTable = Baseline ? 1 : 3;
      const bool InFrame =
          !HasFrame || std::any_of(Frame.Components.begin(), Frame.Components.end(),
                                   [&](const TkivJpegComponent& C) { return C.Id == Id; });
      if (!InFrame)
        Problems.push_back(Format("Component %u is not a component of the frame", unsigned(Id)));
      if (Dc > MaxTable || Ac > MaxTable)
        Problems.push_back(Format("Component %u: Huffman tables 0 to %d are allowed here",
                                  unsigned(Id), MaxTable));
      Table.Row({IdText(Id), std::to_string(Dc), std::to_string(Ac)},
                WrongIf(!InFrame || Dc > MaxTable || Ac > MaxTable));
    }
  }
  for (const std::string& Problem : Problems)
    Out.Problem(Problem);
  if (!WholeList) return; // the rest is shown as it stands
  const int Ss = ReadByte(In), Se = ReadByte(In), AhAl = ReadByte(In);
  const int Ah = AhAl >> 4, Al = AhAl & 15;
  if (HasFrame && IsLossless(Frame.Marker)) {
    Out.Field("Predictor", Ss, Ss >= 1 && Ss <= 7 ? Predictors[Ss] : "there are predictors 1 to 7",
              WrongIf(Ss < 1 || Ss > 7));
    Out.Field("Point transform", Al, "bits", WrongIf(Se != 0 || Ah != 0));
    return;
  }
  const bool Progressive = HasFrame && IsProgressive(Frame.Marker);
  const bool Sequential = HasFrame && !Progressive;
  const bool BadRange = Se > 63 || Ss > Se || (Sequential && (Ss != 0 || Se != 63)) ||
                        (Progressive && (Ss == 0) != (Se == 0));
  Out.Field("Spectral selection", Format("%d to %d", Ss, Se),
            BadRange ? (Sequential ? "a sequential scan holds coefficients 0 to 63"
                                   : "not a range of coefficients a scan can hold")
                     : "coefficients in zigzag order",
            WrongIf(BadRange));
  const bool BadBits =
      (Sequential && AhAl != 0) || (Progressive && Ah != 0 && Ah != Al + 1) || Al > 13;
  Out.Field("Successive approximation", Format("high %d, low %d", Ah, Al),
            BadBits ? (Sequential ? "a sequential scan uses 0 and 0"
                                  : "a refinement pass refines one bit")
                    : "bit positions",
            WrongIf(BadBits));
  if (Progressive) {
    if (Ss != 0 && Count != 1) Out.Problem("An AC pass holds one component");
    int Number = 0, Total = 0;
    if (ScanPlace(Input, FrameIndex, Number, Total))
      Out.Field("Pass", Format("%d of %d", Number, Total), PassText(Ss, Se, Ah, Al));
    else
      Out.Field("Pass", PassText(Ss, Se, Ah, Al),
                "its place is not counted: the report's budget "
                "for entries is spent");
  } else if (!HasFrame) {
    Out.Field("Frame", "not at hand", "the scan is not checked against its frame");
  }
}

// ---- Restart interval, number of lines ----

void DescribeRestartInterval(const TkivExtendedInput& Input, TkivDescription& Out) {
  const uint16_t Interval = ReadWord(Input.Payload, true);
  Out.Field("Restart interval", Interval,
            Interval == 0 ? "no restart markers" : "MCUs between restart markers");
}

void DescribeNumberOfLines(const TkivExtendedInput& Input, TkivDescription& Out) {
  const uint16_t Lines = ReadWord(Input.Payload, true);
  TkivJpegFrame Frame;
  const bool HasFrame = Input.File && FindFrame(*Input.File, Input.Index, Frame);
  if (Lines == 0)
    Out.Field("Number of lines", Lines, "a picture without lines", TkivMark::Wrong);
  else if (HasFrame && Frame.Height != 0)
    Out.Field("Number of lines", Lines,
              Format("the frame header already gives %u lines", unsigned(Frame.Height)),
              TkivMark::Wrong);
  else
    Out.Field("Number of lines", Lines, "the picture's height, which its frame header left as 0");
}

// ---- Adobe (APP14) and Ducky (APP12) ----

void DescribeAdobe(const TkivExtendedInput& Input, TkivDescription& Out) {
  TStream& In = Input.Payload;
  // The identifier's zero byte is the high byte of the version.
  Out.Field("Version", ReadByte(In));
  const uint16_t Flags0 = ReadWord(In, true);
  Out.Field("Flags 0", Format("0x%04X", unsigned(Flags0)),
            Flags0 & 0x8000 ? "the encoder blended samples when it subsampled" : "");
  Out.Field("Flags 1", Format("0x%04X", unsigned(ReadWord(In, true))));
  const uint8_t Transform = ReadByte(In);
  static constexpr const char* Transforms[] = {"none", "YCbCr", "YCCK"};
  static constexpr const char* Notes[] = {"the components are RGB or CMYK as they stand",
                                          "converted to RGB", "converted to CMYK"};
  if (Transform < 3)
    Out.Field("Colour transform", Transforms[Transform], Notes[Transform]);
  else
    Out.Field("Colour transform", Transform, "not a transform of this segment", TkivMark::Unknown);
}

void DescribeDucky(const TkivExtendedInput& Input, TkivDescription& Out) {
  TStream& In = Input.Payload;
  // Blocks of a 16-bit tag, a 16-bit size and the data, until tag 0; the identifier's zero
  // byte is the high byte of the first tag.
  int Tag = ReadByte(In);
  while (Tag != 0) {
    const uint16_t Size = ReadWord(In, true);
    const int64_t Left = BytesLeft(In);
    if (Size > Left) {
      Out.Problem(Format("Block %d declares %u bytes, but only %lld follow", Tag, unsigned(Size),
                         static_cast<long long>(Left)));
      return;
    }
    const int64_t End = In.GetPosition() + Size;
    if (Tag == 1 && Size == 4) {
      Out.Field("Quality", ReadLong(In, true), "percent");
    } else if ((Tag == 2 || Tag == 3) && Size >= 4) {
      // A count of UTF-16 characters, then the characters.
      const uint32_t Chars = ReadLong(In, true);
      const int64_t Held = std::min<int64_t>(Chars, (Size - 4) / 2);
      const std::string Text = WideToUtf8(ReadWideString(In, Held * 2, true));
      Out.Field(Tag == 2 ? "Comment" : "Copyright", Text,
                Held < Chars ? Format("the block holds %lld of its %u characters",
                                      static_cast<long long>(Held), unsigned(Chars))
                             : "",
                WrongIf(Held < Chars));
    } else {
      Out.Hex(Format("Block %d", Tag), In, Size);
    }
    if (In.GetPosition() < End) Out.Hex("Rest of the block", In, End - In.GetPosition());
    if (!HasBytes(In, 2)) return;
    Tag = ReadWord(In, true);
  }
}
