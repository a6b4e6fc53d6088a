#pragma once
// Base64 (the standard alphabet, padded), for pictures carried inside a page as data: URLs.

#include <string>
#include <string_view>

std::string EncodeBase64(std::string_view Bytes);
// Appends the encoding of Bytes to Text: a page's picture is its URL's prefix and a megabyte
// of text, written once where it stays.
void AppendBase64(std::string& Text, std::string_view Bytes);
