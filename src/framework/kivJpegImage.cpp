#include "framework/kivJpegImage.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <string>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

#include "base/kivException.h"
#include "framework/kivInfoStream.h"

// libjpeg reports fatal errors through error_exit, which must not return. It jumps back to
// the setjmp in Decode or Encode below; those frames hold no object with a destructor
// between the setjmp and the libjpeg calls, so the jump skips nothing that needs cleaning
// up. Everything with a destructor lives in the state objects of the callers.

namespace {

// libjpeg's whole-picture buffers (progressive and multi-scan pictures) stay below this.
constexpr long MaxLibraryMemory = 512L * 1024 * 1024;

struct TErrorManager {
  jpeg_error_mgr Pub;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX];
};

void ErrorExit(j_common_ptr Info) {
  auto* Err = reinterpret_cast<TErrorManager*>(Info->err);
  (*Info->err->format_message)(Info, Err->Message);
  std::longjmp(Err->Jump, 1);
}

// Warnings (corrupt data that libjpeg works around) and trace messages are dropped.
void OutputMessage(j_common_ptr) {}
void EmitMessage(j_common_ptr, int) {}

void InitErrorManager(TErrorManager& Err) {
  jpeg_std_error(&Err.Pub);
  Err.Pub.error_exit = ErrorExit;
  Err.Pub.output_message = OutputMessage;
  Err.Pub.emit_message = EmitMessage;
  Err.Message[0] = 0;
}

// libjpeg calls the monitor before each row of units it reads, and a scan's header is read
// before its first row: the decode stops before it walks a scan beyond those allowed.
struct TProgress {
  jpeg_progress_mgr Pub;
  int64_t MaxScans = TkivWorkBudget::MaxScans;
  bool Stopped = false;
};

void ProgressMonitor(j_common_ptr Info) {
  auto* Progress = reinterpret_cast<TProgress*>(Info->progress);
  if (Info->is_decompressor &&
      reinterpret_cast<j_decompress_ptr>(Info)->input_scan_number > Progress->MaxScans) {
    Progress->Stopped = true;
    auto* Err = reinterpret_cast<TErrorManager*>(Info->err);
    std::snprintf(Err->Message, sizeof Err->Message, "Too many scans");
    std::longjmp(Err->Jump, 1);
  }
}

// The 8 x 8 blocks of all components, from the sizes libjpeg works out with the header.
int64_t CodedUnits(const jpeg_decompress_struct& Info) {
  int64_t Units = 0;
  for (int C = 0; C < Info.num_components; ++C)
    Units += int64_t(Info.comp_info[C].width_in_blocks) * Info.comp_info[C].height_in_blocks;
  return Units;
}

// A source that reads the stream in pieces, so that a large picture is never copied whole.
// libjpeg calls it from C: it throws nothing (a stream's Read reports failure by its count).
struct TSource {
  jpeg_source_mgr Pub;
  TStream* Stream;
  std::vector<JOCTET> Buffer;
};

constexpr int64_t SourceBufferSize = 64 * 1024;

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr Info) {
  auto* S = reinterpret_cast<TSource*>(Info->src);
  const int64_t N = S->Stream->Read(S->Buffer.data(), int64_t(S->Buffer.size()));
  if (N <= 0) {
    // The data ends: an end-of-image marker ends the picture, as libjpeg's own sources do.
    WARNMS(Info, JWRN_JPEG_EOF);
    S->Buffer[0] = 0xFF;
    S->Buffer[1] = JPEG_EOI;
    S->Pub.bytes_in_buffer = 2;
  } else {
    S->Pub.bytes_in_buffer = size_t(N);
  }
  S->Pub.next_input_byte = S->Buffer.data();
  return TRUE;
}

void SkipInputData(j_decompress_ptr Info, long Count) {
  auto* S = reinterpret_cast<TSource*>(Info->src);
  if (Count <= 0) return;
  if (size_t(Count) <= S->Pub.bytes_in_buffer) {
    S->Pub.next_input_byte += Count;
    S->Pub.bytes_in_buffer -= size_t(Count);
    return;
  }
  const int64_t Beyond = int64_t(Count) - int64_t(S->Pub.bytes_in_buffer);
  TStream& Stream = *S->Stream;
  Stream.SetPosition(std::min(Stream.GetPosition() + Beyond, Stream.GetSize()));
  S->Pub.bytes_in_buffer = 0;
}

void TermSource(j_decompress_ptr) {}

struct TDecodeState {
  jpeg_decompress_struct Info{};
  TErrorManager Error{};
  TProgress Progress{};
  int64_t Bytes = 0; // that carry the picture
  bool Created = false;
  TkivWorkBudget* Budget = nullptr;
  TkivPictureRefusal Refusal;
  TSource Source{};
  TkivDIBitmap* Picture = nullptr;
  int32_t MaxSide = 0;
  bool Pixels = true; // false: the headers only, for the picture's size
  int32_t FrameWidth = 0, FrameHeight = 0;
  int32_t Width = 0, Height = 0;
  std::vector<JSAMPLE> Row;
  std::vector<TkivColor> Colors;

  ~TDecodeState() {
    if (Created) jpeg_destroy_decompress(&Info);
  }
};

// One decoded row of 1, 3 or 4 components per pixel as RGB colours.
void ToColors(const JSAMPLE* P, std::vector<TkivColor>& Colors, int Components, bool InvertedCmyk) {
  switch (Components) {
  case 1:
    for (TkivColor& C : Colors) {
      C = {P[0], P[0], P[0]};
      P += 1;
    }
    break;
  case 3:
    for (TkivColor& C : Colors) {
      C = {P[0], P[1], P[2]};
      P += 3;
    }
    break;
  default:
    // Adobe writes CMYK inverted (0 = full ink); others write it plain.
    for (TkivColor& C : Colors) {
      const unsigned Cy = InvertedCmyk ? P[0] : 255u - P[0], M = InvertedCmyk ? P[1] : 255u - P[1],
                     Y = InvertedCmyk ? P[2] : 255u - P[2], K = InvertedCmyk ? P[3] : 255u - P[3];
      C = {uint8_t((Cy * K + 127) / 255), uint8_t((M * K + 127) / 255),
           uint8_t((Y * K + 127) / 255)};
      P += 4;
    }
    break;
  }
}

// Returns false when libjpeg failed (the message is in S.Error.Message) or the budget refused
// the picture (S.Refusal). Rows decoded before a failure stay in the picture.
bool Decode(TDecodeState& S) {
  if (setjmp(S.Error.Jump)) {
    if (S.Progress.Stopped)
      S.Refusal = {TkivPictureVerdict::TooManyScans, S.Info.image_width, S.Info.image_height,
                   S.Bytes, S.Progress.MaxScans};
    return false;
  }
  jpeg_create_decompress(&S.Info);
  S.Created = true;
  S.Info.mem->max_memory_to_use = MaxLibraryMemory;
  S.Progress.Pub.progress_monitor = ProgressMonitor;
  S.Info.progress = &S.Progress.Pub;
  S.Source.Pub.init_source = InitSource;
  S.Source.Pub.fill_input_buffer = FillInputBuffer;
  S.Source.Pub.skip_input_data = SkipInputData;
  S.Source.Pub.resync_to_restart = jpeg_resync_to_restart;
  S.Source.Pub.term_source = TermSource;
  S.Info.src = &S.Source.Pub;
  jpeg_read_header(&S.Info, TRUE);
  S.FrameWidth = int32_t(S.Info.image_width);
  S.FrameHeight = int32_t(S.Info.image_height);
  // Rows and columns decoded for each one kept, beyond libjpeg's own scaling.
  JDIMENSION Step = 1;
  if (S.MaxSide > 0) {
    const JDIMENSION Side = std::max(S.Info.image_width, S.Info.image_height);
    const JDIMENSION MaxSide = JDIMENSION(S.MaxSide);
    S.Info.scale_num = 1;
    S.Info.scale_denom = 1;
    while (S.Info.scale_denom < 8 && (Side + S.Info.scale_denom - 1) / S.Info.scale_denom > MaxSide)
      S.Info.scale_denom *= 2;
    const JDIMENSION Scaled = (Side + S.Info.scale_denom - 1) / S.Info.scale_denom;
    Step = (Scaled + MaxSide - 1) / MaxSide;
  }
  jpeg_calc_output_dimensions(&S.Info);
  const JDIMENSION Width = (S.Info.output_width + Step - 1) / Step,
                   Height = (S.Info.output_height + Step - 1) / Step;
  // The frame header is read and nothing is allocated for the picture yet.
  // The frame's units are decoded whatever the scale.
  const int64_t Units = CodedUnits(S.Info);
  S.Refusal = {S.Budget->TakePicture(Width, Height, Units, S.Bytes), Width, Height, S.Bytes};
  if (S.Refusal.Verdict != TkivPictureVerdict::Granted) return false;
  S.Refusal = {};
  S.Width = int32_t(Width);
  S.Height = int32_t(Height);
  if (!S.Pixels) return true;
  S.Progress.MaxScans = TkivWorkBudget::ScansAllowed(Units, S.Bytes);
  switch (S.Info.jpeg_color_space) {
  case JCS_GRAYSCALE:
    S.Info.out_color_space = JCS_GRAYSCALE;
    break;
  case JCS_CMYK:
  case JCS_YCCK:
    S.Info.out_color_space = JCS_CMYK;
    break;
  default:
    S.Info.out_color_space = JCS_RGB;
    break;
  }
  jpeg_start_decompress(&S.Info);
  const int Components = S.Info.output_components;
  if (Components != 1 && Components != 3 && Components != 4)
    ERREXIT(&S.Info, JERR_BAD_J_COLORSPACE);
  const bool InvertedCmyk = S.Info.saw_Adobe_marker;
  S.Picture->SetSize(int32_t(Width), int32_t(Height));
  S.Row.resize(size_t(S.Info.output_width) * size_t(Components));
  S.Colors.resize(S.Info.output_width);
  while (S.Info.output_scanline < S.Info.output_height) {
    JSAMPROW Rows[1] = {S.Row.data()};
    if (jpeg_read_scanlines(&S.Info, Rows, 1) != 1) break;
    const JDIMENSION Y = S.Info.output_scanline - 1;
    if (Y % Step != 0) continue;
    ToColors(S.Row.data(), S.Colors, Components, InvertedCmyk);
    // The pixels kept move to the row's start, one in Step.
    for (JDIMENSION X = 1; Step > 1 && X * Step < S.Info.output_width; ++X)
      S.Colors[X] = S.Colors[X * Step];
    S.Picture->SetRow(int32_t(Y / Step), S.Colors.data(), int32_t(Width));
  }
  jpeg_finish_decompress(&S.Info);
  return true;
}

// A destination that grows a byte vector.
struct TDestination {
  jpeg_destination_mgr Pub;
  std::vector<uint8_t>* Bytes;
};

void InitDestination(j_compress_ptr Info) {
  auto* D = reinterpret_cast<TDestination*>(Info->dest);
  D->Pub.next_output_byte = D->Bytes->data();
  D->Pub.free_in_buffer = D->Bytes->size();
}

boolean EmptyOutputBuffer(j_compress_ptr Info) {
  auto* D = reinterpret_cast<TDestination*>(Info->dest);
  const size_t Used = D->Bytes->size();
  bool Grown = true;
  try {
    D->Bytes->resize(Used * 2);
  } catch (...) {
    Grown = false;
  }
  if (!Grown) ERREXIT1(Info, JERR_OUT_OF_MEMORY, 0);
  D->Pub.next_output_byte = D->Bytes->data() + Used;
  D->Pub.free_in_buffer = D->Bytes->size() - Used;
  return TRUE;
}

void TermDestination(j_compress_ptr Info) {
  auto* D = reinterpret_cast<TDestination*>(Info->dest);
  D->Bytes->resize(D->Bytes->size() - D->Pub.free_in_buffer);
}

struct TEncodeState {
  jpeg_compress_struct Info{};
  TErrorManager Error{};
  TDestination Destination{};
  bool Created = false;
  const TkivDIBitmap* Picture = nullptr;
  int Quality = 90;
  std::vector<uint8_t> Bytes = std::vector<uint8_t>(4096);
  std::vector<JSAMPLE> Row;

  ~TEncodeState() {
    if (Created) jpeg_destroy_compress(&Info);
  }
};

bool Encode(TEncodeState& S) {
  if (setjmp(S.Error.Jump)) return false;
  jpeg_create_compress(&S.Info);
  S.Created = true;
  S.Destination.Pub.init_destination = InitDestination;
  S.Destination.Pub.empty_output_buffer = EmptyOutputBuffer;
  S.Destination.Pub.term_destination = TermDestination;
  S.Destination.Bytes = &S.Bytes;
  S.Info.dest = &S.Destination.Pub;
  S.Info.image_width = JDIMENSION(S.Picture->Width());
  S.Info.image_height = JDIMENSION(S.Picture->Height());
  S.Info.input_components = 3;
  S.Info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&S.Info);
  jpeg_set_quality(&S.Info, S.Quality, TRUE);
  jpeg_start_compress(&S.Info, TRUE);
  S.Row.resize(size_t(S.Picture->Width()) * 3);
  while (S.Info.next_scanline < S.Info.image_height) {
    const int32_t Y = int32_t(S.Info.next_scanline);
    for (int32_t X = 0; X < S.Picture->Width(); ++X) {
      const TkivColor C = S.Picture->GetPixel(X, Y);
      S.Row[size_t(X) * 3] = C.R;
      S.Row[size_t(X) * 3 + 1] = C.G;
      S.Row[size_t(X) * 3 + 2] = C.B;
    }
    JSAMPROW Rows[1] = {S.Row.data()};
    jpeg_write_scanlines(&S.Info, Rows, 1);
  }
  jpeg_finish_compress(&S.Info);
  return true;
}

} // namespace

void TkivJpegImage::LoadFromStream(TStream& Stream, TkivWorkBudget& Budget, int32_t MaxSide) {
  Load(Stream, Budget, MaxSide, true);
}

TkivPictureSize TkivJpegImage::ReadSize(TStream& Stream, TkivWorkBudget& Budget, int32_t MaxSide) {
  return Load(Stream, Budget, MaxSide, false);
}

TkivPictureSize TkivJpegImage::Load(TStream& Stream, TkivWorkBudget& Budget, int32_t MaxSide,
                                    bool Pixels) {
  Picture.SetSize(0, 0);
  FFrameWidth = FFrameHeight = 0;
  TDecodeState State;
  State.Source.Stream = &Stream;
  State.Bytes = BytesLeft(Stream);
  // Small pictures (thumbnails) take a buffer of their size; two bytes stand for the end.
  State.Source.Buffer.resize(size_t(std::clamp<int64_t>(BytesLeft(Stream), 2, SourceBufferSize)));
  InitErrorManager(State.Error);
  State.Info.err = &State.Error.Pub;
  State.Budget = &Budget;
  State.Picture = &Picture;
  State.MaxSide = MaxSide;
  State.Pixels = Pixels;
  const bool Decoded = Decode(State);
  // All of the bytes count as consumed, as far as libjpeg read them or not.
  Stream.SetPosition(Stream.GetSize());
  FFrameWidth = State.FrameWidth;
  FFrameHeight = State.FrameHeight;
  if (Decoded) return {State.Width, State.Height};
  if (State.Refusal.Verdict != TkivPictureVerdict::Granted) throw EkivPictureRefused(State.Refusal);
  throw Exception(std::string("JPEG error: ") + State.Error.Message);
}

void TkivJpegImage::SaveToStream(TStream& Stream) const {
  if (int64_t(Picture.Width()) * Picture.Height() <= 0) return;
  TEncodeState State;
  InitErrorManager(State.Error);
  State.Info.err = &State.Error.Pub;
  State.Picture = &Picture;
  State.Quality = Quality;
  if (!Encode(State)) throw Exception(std::string("JPEG error: ") + State.Error.Message);
  Stream.WriteBuffer(State.Bytes.data(), int64_t(State.Bytes.size()));
}

void TkivJpegImage::Assign(const TkivDIBitmap& Source) {
  Picture.SetSize(0, 0);
  Picture.SetSize(Source.Width(), Source.Height());
  Picture.Draw(0, 0, Source);
}
