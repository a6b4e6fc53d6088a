#pragma once
// The window system as the viewer uses it: window handles, the user-data and window-procedure
// slots of a window, destroying a window, handing keys to the host's window, and the thread's
// message queue.

#include <cstdint>

// The calling convention of window procedures and of the plug-in's exported functions.
#if defined(_WIN32) && !defined(_WIN64)
#define KIV_STDCALL __stdcall
#else
#define KIV_STDCALL
#endif

namespace kivPlatform {

// A window of the platform's window system (a window handle on Windows); null is no window.
struct TWindowObject;
using TWindow = TWindowObject*;

using TWindowProc = intptr_t(KIV_STDCALL*)(TWindow Window, uint32_t Message, uintptr_t WParam,
                                           intptr_t LParam);

// Messages the viewer handles or sends.
constexpr uint32_t MsgDestroy = 0x0002;
constexpr uint32_t MsgKeyDown = 0x0100;

// Key codes.
constexpr uint16_t KeyTab = 9;
constexpr uint16_t KeyEscape = 27;

// The modifiers held while a key is pressed.
using TShiftState = uint32_t;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32;

// The parent window, or null for a top-level window.
TWindow GetParent(TWindow Window);
void* GetUserData(TWindow Window);
void SetUserData(TWindow Window, void* Data);
// Installs Proc as the window's procedure and returns the previous one.
TWindowProc SetWindowProc(TWindow Window, TWindowProc Proc);
intptr_t CallWindowProc(TWindowProc Proc, TWindow Window, uint32_t Message, uintptr_t WParam,
                        intptr_t LParam);
void DestroyWindow(TWindow Window);

// Hands a key to the host's window as if it had been typed there. Returns whether the key is
// thereby used up; a host that sees keys its own way may leave some of them to the caller.
bool ForwardKey(TWindow Host, uint16_t Key);

// Dispatches every message waiting in the thread's queue.
void ProcessMessages();
// Returns when a message arrives for the thread or Milliseconds have passed.
void WaitForMessage(int32_t Milliseconds);

} // namespace kivPlatform
