// The stand-in platform layer for machines other than Windows.

#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string_view>

#include "platform/kivCodePage.h"
#include "platform/kivIniFile.h"
#include "platform/kivLocale.h"
#include "platform/kivMessageBox.h"
#include "platform/kivStockIcons.h"
#include "platform/kivTempFiles.h"
#include "platform/portable/kivStandIn.h"

namespace kivPlatform {

void ShowErrorMessage(const std::string& Caption, const std::string& Text) {
  std::fprintf(stderr, "%s: %s\n", Caption.c_str(), Text.c_str());
}

std::string GetTempDirectory() {
  const char* Dir = std::getenv("TMPDIR");
  std::string S = Dir && *Dir ? Dir : "/tmp";
  if (S.back() != '/') S += '/';
  return S;
}

bool FileExists(const std::string& Path) {
  struct stat St;
  return ::lstat(Path.c_str(), &St) == 0;
}

bool DeleteFile(const std::string& Path) {
  return ::unlink(Path.c_str()) == 0;
}

TCreateResult CreateFileExclusive(const std::string& Path) {
  const int Fd = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (Fd < 0) return errno == EEXIST ? TCreateResult::Exists : TCreateResult::Failed;
  ::close(Fd);
  return TCreateResult::Created;
}

char DecimalSeparator() {
  const std::lconv* L = std::localeconv();
  return L && L->decimal_point && *L->decimal_point ? *L->decimal_point : '.';
}

std::string ShortDateFormat() {
  return ::nl_langinfo(D_FMT);
}

std::string LongTimeFormat() {
  return ::nl_langinfo(T_FMT);
}

namespace {
// Windows-1251 bytes 0x80..0xBF; 0x98 has no character and holds 0, which never matches (the
// characters below 0x80 map to themselves first). 0xC0..0xFF are U+0410..U+044F.
constexpr char16_t Cp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0000, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

} // namespace

int CharToWindows1251(char32_t C) {
  if (C < 0x80) return static_cast<int>(C);
  if (C >= 0x0410 && C <= 0x044F) return static_cast<int>(0xC0 + (C - 0x0410));
  for (int I = 0; I < 64; ++I)
    if (Cp1251High[I] == C) return 0x80 + I;
  return -1;
}

std::string WideToAnsi(const std::u16string& W) {
  std::string S;
  S.reserve(W.size());
  for (size_t I = 0; I < W.size(); ++I) {
    const char16_t U = W[I];
    // A surrogate pair is one character, and one '?'.
    if (U >= 0xD800 && U <= 0xDBFF && I + 1 < W.size() && W[I + 1] >= 0xDC00 && W[I + 1] <= 0xDFFF)
      ++I;
    const int B = CharToWindows1251(U);
    S += B < 0 ? '?' : static_cast<char>(B);
  }
  return S;
}

namespace {
std::string_view Trimmed(std::string_view S) {
  const size_t First = S.find_first_not_of(" \t\r");
  if (First == std::string_view::npos) return {};
  return S.substr(First, S.find_last_not_of(" \t\r") - First + 1);
}

bool SameName(std::string_view A, std::string_view B) {
  if (A.size() != B.size()) return false;
  for (size_t I = 0; I < A.size(); ++I) {
    const auto Lower = [](char C) { return C >= 'A' && C <= 'Z' ? char(C - 'A' + 'a') : C; };
    if (Lower(A[I]) != Lower(B[I])) return false;
  }
  return true;
}

// The leading decimal number of S, as the profile functions take it: 0 when there is none.
int32_t LeadingInteger(std::string_view S) {
  size_t I = 0;
  const bool Negative = I < S.size() && S[I] == '-';
  if (Negative || (I < S.size() && S[I] == '+')) ++I;
  int64_t Value = 0;
  for (; I < S.size() && S[I] >= '0' && S[I] <= '9'; ++I)
    Value = std::min<int64_t>(Value * 10 + (S[I] - '0'), INT32_MAX);
  return static_cast<int32_t>(Negative ? -Value : Value);
}
} // namespace

int32_t ReadIniInteger(const std::string& FileName, const std::string& Section,
                       const std::string& Key, int32_t Default) {
  std::ifstream File(FileName, std::ios::binary);
  bool InSection = false;
  for (std::string Line; std::getline(File, Line);) {
    const std::string_view Text = Trimmed(Line);
    if (Text.empty() || Text[0] == ';') continue;
    if (Text[0] == '[') {
      const size_t Close = Text.find(']');
      InSection =
          Close != std::string_view::npos && SameName(Trimmed(Text.substr(1, Close - 1)), Section);
      continue;
    }
    const size_t Equals = Text.find('=');
    if (InSection && Equals != std::string_view::npos &&
        SameName(Trimmed(Text.substr(0, Equals)), Key))
      return LeadingInteger(Trimmed(Text.substr(Equals + 1)));
  }
  return Default;
}

namespace {
std::atomic<int> IconLoads{0};
}

uint32_t LoadStockIcon(int32_t Id) {
  ++IconLoads;
  return static_cast<uint32_t>(Id);
}

int StockIconLoads() {
  return IconLoads;
}

} // namespace kivPlatform
