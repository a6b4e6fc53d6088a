#pragma once
// Gain-map metadata: the ISO 21496-1 block of APP2 "urn:iso:std:iso:ts:21496:-1\0", in the
// primary image's short form (the versions alone) and in the gain map's full form.

#include "extended/kivExtendedDecoders.h"

void DescribeIsoGainMap(const TkivExtendedInput& Input, TkivDescription& Out);
