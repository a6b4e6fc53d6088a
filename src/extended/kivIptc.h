#pragma once
// IPTC-IIM in Photoshop's image resources (APP13 "Photoshop 3.0\0"): the datasets of resource
// 1028 by number and name, their text in the character set dataset 1:90 names, dates and
// times formatted; and resource 1061, the MD5 digest of resource 1028, checked.

#include "extended/kivExtendedDecoders.h"

void DescribeIptc(const TkivExtendedInput& Input, TkivDescription& Out);
