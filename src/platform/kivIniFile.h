#pragma once
// Settings the host keeps for its plug-ins in an ini file of its own.

#include <cstdint>
#include <string>

namespace kivPlatform {
// The integer of Key in [Section] of the ini file FileName, read as the system's profile
// functions read it (names without regard to case; a value that is no number is 0); Default
// when the file, the section or the key is not there.
int32_t ReadIniInteger(const std::string& FileName, const std::string& Section,
                       const std::string& Key, int32_t Default);
} // namespace kivPlatform
