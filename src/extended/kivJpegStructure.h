#pragma once
// The JPEG's own structure segments, decoded: frame headers, tables, scan headers, restart
// intervals.

#include "extended/kivExtendedDecoders.h"

void DescribeRestartInterval(const TkivExtendedInput& Input, TkivDescription& Out);
