#pragma once
// Content credentials: JUMBF boxes carried by APP11 "JP" segments (box instance, sequence
// number, then the box's bytes; every piece repeats the box's header), joined per instance and
// shown as a tree of superboxes and content boxes; the hard binding of the active manifest
// (c2pa.hash.data) checked against the file's bytes. Signatures and certificates are not
// checked.

#include "extended/kivExtendedDecoders.h"

void DescribeJumbf(const TkivExtendedInput& Input, TkivDescription& Out);
// A piece's header: the box instance (the whole's key) and the sequence number; the pieces
// after the first drop the box header they repeat.
bool ReadJumbfPiece(TStream& Payload, TkivPiece& Piece);
