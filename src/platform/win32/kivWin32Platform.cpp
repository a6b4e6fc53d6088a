// The platform services of the core on Windows: temporary files, the user's locale, the ANSI
// code page, message boxes and stock icons.

#include <windows.h>

// Our own function names, not the Windows macros.
#undef DeleteFile

#include <algorithm>
#include <string>

#include "platform/kivCodePage.h"
#include "platform/kivIniFile.h"
#include "platform/kivLocale.h"
#include "platform/kivMessageBox.h"
#include "platform/kivStockIcons.h"
#include "platform/kivTempFiles.h"

namespace kivPlatform {

void ShowErrorMessage(const std::string& Caption, const std::string& Text) {
  MessageBoxA(nullptr, Text.c_str(), Caption.c_str(), MB_OK | MB_ICONERROR);
}

std::string GetTempDirectory() {
  char Buffer[MAX_PATH + 1];
  const DWORD N = GetTempPathA(sizeof Buffer, Buffer);
  std::string S = N > 0 && N < sizeof Buffer ? std::string(Buffer, N) : std::string(".\\");
  if (S.back() != '\\' && S.back() != '/') S += '\\';
  return S;
}

bool FileExists(const std::string& Path) {
  return GetFileAttributesA(Path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool DeleteFile(const std::string& Path) {
  return DeleteFileA(Path.c_str()) != 0;
}

TCreateResult CreateFileExclusive(const std::string& Path) {
  const HANDLE File = CreateFileA(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (File == INVALID_HANDLE_VALUE) {
    const DWORD Error = GetLastError();
    return Error == ERROR_FILE_EXISTS || Error == ERROR_ALREADY_EXISTS ? TCreateResult::Exists
                                                                       : TCreateResult::Failed;
  }
  CloseHandle(File);
  return TCreateResult::Created;
}

namespace {

std::string LocaleText(LCTYPE Type) {
  char Buffer[128];
  const int N = GetLocaleInfoA(LOCALE_USER_DEFAULT, Type, Buffer, sizeof Buffer);
  return N > 1 ? std::string(Buffer, static_cast<size_t>(N - 1)) : std::string();
}

// A date or time picture of the locale ("dd.MM.yyyy", "H:mm:ss") as a strftime pattern of the
// C runtime, whose '#' flag drops leading zeros.
std::string PictureToStrFTime(const std::string& Picture) {
  struct TField {
    char Letter;
    const char* ByCount[4]; // for 1, 2, 3 and 4 or more letters
  };
  static const TField Fields[] = {
      {'d', {"%#d", "%d", "%a", "%A"}}, {'M', {"%#m", "%m", "%b", "%B"}},
      {'y', {"%#y", "%y", "%Y", "%Y"}}, {'h', {"%#I", "%I", "%I", "%I"}},
      {'H', {"%#H", "%H", "%H", "%H"}}, {'m', {"%#M", "%M", "%M", "%M"}},
      {'s', {"%#S", "%S", "%S", "%S"}}, {'t', {"%p", "%p", "%p", "%p"}},
      {'g', {"", "", "", ""}}, // the era is left out
  };
  std::string Result;
  for (size_t I = 0; I < Picture.size();) {
    const char C = Picture[I];
    if (C == '\'') {
      // Quoted text; two quotes stand for one.
      for (++I; I < Picture.size(); ++I) {
        if (Picture[I] == '\'') {
          if (I + 1 < Picture.size() && Picture[I + 1] == '\'') {
            Result += '\'';
            ++I;
            continue;
          }
          ++I;
          break;
        }
        Result += Picture[I] == '%' ? std::string("%%") : std::string(1, Picture[I]);
      }
      continue;
    }
    size_t Count = 1;
    while (I + Count < Picture.size() && Picture[I + Count] == C)
      ++Count;
    const TField* Field = nullptr;
    for (const TField& F : Fields)
      if (F.Letter == C) Field = &F;
    if (Field)
      Result += Field->ByCount[std::min<size_t>(Count, 4) - 1];
    else
      for (size_t J = 0; J < Count; ++J)
        Result += C == '%' ? std::string("%%") : std::string(1, C);
    I += Count;
  }
  return Result;
}

} // namespace

char DecimalSeparator() {
  const std::string S = LocaleText(LOCALE_SDECIMAL);
  return S.empty() ? '.' : S[0];
}

std::string ShortDateFormat() {
  return PictureToStrFTime(LocaleText(LOCALE_SSHORTDATE));
}

std::string LongTimeFormat() {
  return PictureToStrFTime(LocaleText(LOCALE_STIMEFORMAT));
}

std::string WideToAnsi(const std::u16string& W) {
  if (W.empty()) return {};
  const auto* Text = reinterpret_cast<const wchar_t*>(W.data());
  const int Length = static_cast<int>(W.size());
  const int N = WideCharToMultiByte(CP_ACP, 0, Text, Length, nullptr, 0, nullptr, nullptr);
  if (N <= 0) return std::string(W.size(), '?');
  std::string S(static_cast<size_t>(N), '\0');
  WideCharToMultiByte(CP_ACP, 0, Text, Length, S.data(), N, nullptr, nullptr);
  return S;
}

int CharToWindows1251(char32_t C) {
  if (C < 0x80) return static_cast<int>(C);
  if (C > 0xFFFF || (C >= 0xD800 && C < 0xE000)) return -1;
  const wchar_t W = static_cast<wchar_t>(C);
  char B = 0;
  BOOL UsedDefault = FALSE;
  // No best fit: a character the code page lacks must not pass as a look-alike.
  const int N =
      WideCharToMultiByte(1251, WC_NO_BEST_FIT_CHARS, &W, 1, &B, 1, nullptr, &UsedDefault);
  return N == 1 && !UsedDefault ? static_cast<uint8_t>(B) : -1;
}

int32_t ReadIniInteger(const std::string& FileName, const std::string& Section,
                       const std::string& Key, int32_t Default) {
  return static_cast<int32_t>(
      GetPrivateProfileIntA(Section.c_str(), Key.c_str(), Default, FileName.c_str()));
}

uint32_t LoadStockIcon(int32_t Id) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(
      LoadIconA(nullptr, MAKEINTRESOURCEA(static_cast<uintptr_t>(Id)))));
}

} // namespace kivPlatform
