#pragma once
// ICC profiles: what the whole-file summary asks of a profile (its description).

#include <string>

#include "base/kivStream.h"

// The profile's description (tag 'desc': a textDescriptionType of version 2, or the first
// record of a multiLocalizedUnicodeType of version 4) as UTF-8, from a stream that holds the
// profile from its position on; empty when the profile has none or it cannot be read.
std::string IccProfileDescription(TStream& Profile);
