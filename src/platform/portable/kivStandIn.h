#pragma once
// The stand-in window system of the portable plug-in: windows with a parent, a style, the
// user-data and window-procedure slots, one message queue for the thread, and a browser control
// whose document keeps the page text it was given. The plug-in built over it exports these
// functions too, so that tests play the host's part: they create host windows, type keys, run
// the message queue and read back what the viewer showed.

#include <cstddef>
#include <cstdint>

#define KIV_STANDIN_API extern "C" __attribute__((visibility("default")))

// A window with a client area of 640 x 480; Parent null makes a top-level window. Key-down
// messages that reach it are recorded.
KIV_STANDIN_API void* kivStandInCreateWindow(void* Parent);
KIV_STANDIN_API void kivStandInDestroyWindow(void* Window);
KIV_STANDIN_API int kivStandInIsWindow(void* Window);
KIV_STANDIN_API void* kivStandInGetParent(void* Window);
// The first child window, or null.
KIV_STANDIN_API void* kivStandInGetFirstChild(void* Window);
KIV_STANDIN_API uint32_t kivStandInGetStyle(void* Window);
// The modifiers held from now on (kivPlatform's ss* bits).
KIV_STANDIN_API void kivStandInSetShiftState(uint32_t Shift);
// Posts a key-down message, as typing into Window does.
KIV_STANDIN_API void kivStandInPostKeyDown(void* Window, uint16_t Key);
// Posts a message on which Window destroys itself, as a host does that closes its viewer.
KIV_STANDIN_API void kivStandInPostClose(void* Window);
KIV_STANDIN_API void kivStandInProcessMessages();
// The key codes of the key-down messages that reached Window's procedure, oldest first, and
// forgets them; returns how many there were (at most MaxKeys are copied).
KIV_STANDIN_API size_t kivStandInTakeKeys(void* Window, uint16_t* Keys, size_t MaxKeys);
// The length of the page text that the browser document inside Window was given, or -1 when
// no page was loaded; the text goes to Buffer when it fits in Size bytes.
KIV_STANDIN_API int64_t kivStandInPageText(void* Window, char* Buffer, size_t Size);
// With Never set, browser controls created from now on never get a document.
KIV_STANDIN_API void kivStandInSetBrowserNeverReady(int Never);
// OLE initialisations not yet released.
KIV_STANDIN_API int kivStandInOleCount();
// Stock icons loaded so far (the system's user-interface library is not called at load).
KIV_STANDIN_API int kivStandInStockIconLoads();
KIV_STANDIN_API int kivStandInWindowCount();

namespace kivPlatform {
// The portable platform's count behind kivStandInStockIconLoads.
int StockIconLoads();
} // namespace kivPlatform
