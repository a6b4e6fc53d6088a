#pragma once
// OLE initialisation for the browser control.

namespace kivPlatform {
void OleInitialize();
void OleUninitialize();
} // namespace kivPlatform
