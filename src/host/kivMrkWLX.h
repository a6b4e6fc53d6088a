#pragma once
// The plug-in library: the three functions the host file manager calls, and the module's entry
// and exit, which run the one start-up and finalisation of the units.

#include <cstdint>

#include "platform/kivWindows.h"

// On Windows the .def file names the exports, undecorated.
#if defined(_WIN32)
#define KIV_EXPORT
#else
#define KIV_EXPORT __attribute__((visibility("default")))
#endif

// What the host tells its plug-ins after loading them: the size of this structure as the host
// knows it, the version of its plug-in interface, and the ini file it keeps plug-in settings
// in.
struct TkivListDefaultParams {
  int32_t size;
  uint32_t PluginInterfaceVersionLow;
  uint32_t PluginInterfaceVersionHi;
  char DefaultIniName[260];
};

// The section and key of the host's ini file that turn the extended report on (1) or off (0,
// the default).
extern const char* const SettingsSection;
extern const char* const ExtendedKey;

extern "C" {
// Writes the detect string, zero-terminated, into at most MaxLen bytes of DetectString.
KIV_EXPORT void KIV_STDCALL ListGetDetectString(char* DetectString, int32_t MaxLen);
// Creates the viewer window for FileToLoad as a child of ParentWin; null when that failed.
KIV_EXPORT kivPlatform::TWindow KIV_STDCALL ListLoad(kivPlatform::TWindow ParentWin,
                                                     char* FileToLoad, int32_t ShowFlags);
// Destroys a viewer window that ListLoad returned.
KIV_EXPORT void KIV_STDCALL ListCloseWindow(kivPlatform::TWindow ListWin);
// Remembers the host's ini file; each viewer reads its settings from there when it opens.
KIV_EXPORT void KIV_STDCALL ListSetDefaultParams(TkivListDefaultParams* Params);
}

// Files with extension MRK whose first byte is 0xFF. Where the host cannot test bytes, the
// extension alone, and ListLoad declines (a null handle) a file that does not start with 0xFF.
const char* PluginDetectString();

// Closes the viewers still open, as unloading the library does.
void CloseAllListWindows();
