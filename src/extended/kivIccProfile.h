#pragma once
// ICC profiles (APP2 "ICC_PROFILE\0", in pieces of a sequence number and a count): the header,
// the tag table, and the tags a reader asks about (description, copyright, white point, tone
// curves); and what the whole-file summary asks of a profile (its description).

#include <string>

#include "base/kivStream.h"
#include "extended/kivExtendedDecoders.h"

void DescribeIccProfile(const TkivExtendedInput& Input, TkivDescription& Out);
// A piece's header: its sequence number (from 1) and the count of pieces.
bool ReadIccProfilePiece(TStream& Payload, TkivPiece& Piece);

// The profile's description (tag 'desc': a textDescriptionType of version 2, or the first
// record of a multiLocalizedUnicodeType of version 4) as UTF-8, from a stream that holds the
// profile from its position on; empty when the profile has none or it cannot be read.
std::string IccProfileDescription(TStream& Profile);
