#pragma once
// Gain-map metadata: the ISO 21496-1 block of APP2 "urn:iso:std:iso:ts:21496:-1\0", in the
// primary image's short form (the versions alone) and in the gain map's full form; and the
// gain-map XMP: Ultra HDR's fields and container directory, Apple's gain map.

#include "extended/kivExtendedDecoders.h"

void DescribeIsoGainMap(const TkivExtendedInput& Input, TkivDescription& Out);

class TkivXmlDocument;

// What an XMP packet read says of gain maps; nothing when it says nothing of them.
void DescribeGainMapXmp(const TkivXmlDocument& Document, const TkivExtendedInput& Input,
                        TkivDescription& Out);
