#pragma once
// OLE for the browser control, on the thread that creates the control. Each successful
// initialisation is balanced by one release on the same thread.

namespace kivPlatform {
// False when OLE cannot be used on this thread (then no release is due).
bool OleInitialize();
void OleUninitialize();
} // namespace kivPlatform
