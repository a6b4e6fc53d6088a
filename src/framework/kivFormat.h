#pragma once
// printf-style formatting into a std::string, for the report's fixed format strings.

#include <string>

std::string Format(const char* Pattern, ...) __attribute__((format(printf, 1, 2)));
