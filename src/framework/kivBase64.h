#pragma once
// Base64 (the standard alphabet, padded), for pictures carried inside a page as data: URLs.

#include <string>
#include <string_view>

std::string EncodeBase64(std::string_view Bytes);
