#pragma once
// The user's locale: the texts that formatted numbers, dates and times depend on.

#include <string>

namespace kivPlatform {
char DecimalSeparator();
// Formats of the C library's strftime for the short date and the long time.
std::string ShortDateFormat();
std::string LongTimeFormat();
} // namespace kivPlatform
