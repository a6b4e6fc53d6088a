#pragma once
// What the host file manager's plug-in interface understands on this platform.

namespace kivPlatform {
// Whether the host's detect-string parser evaluates byte tests such as [0]=255. Where it does
// not, the plug-in asks for the extension alone and tests the file's first byte itself.
bool HostTestsFileBytes();
} // namespace kivPlatform
