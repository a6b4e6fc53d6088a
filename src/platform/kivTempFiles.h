#pragma once
// The temporary-files directory and the few file operations the thumbnail files need.

#include <string>

namespace kivPlatform {
// The directory, with its trailing separator.
std::string GetTempDirectory();
bool FileExists(const std::string& Path);
bool DeleteFile(const std::string& Path);
enum class TCreateResult { Created, Exists, Failed };
// Creates an empty file only when no file of that name exists yet.
TCreateResult CreateFileExclusive(const std::string& Path);
} // namespace kivPlatform
