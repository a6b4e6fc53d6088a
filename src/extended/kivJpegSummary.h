#pragma once
// The summary that opens a whole JPEG file's page: the picture itself at a reduced scale, its
// size and coding, camera, software and date from EXIF, the ICC profile's name, and what the
// file carries, each kind linked to its first section.

#include <cstdint>

#include "extended/kivDescription.h"

class TkivSegmentList;

// The longest side of the summary's picture: enough to recognise the picture and see its
// colours, at a cost of a 1/8-scale decode for today's camera pictures.
constexpr int32_t SummaryPictureSide = 512;

// The heading of the summary.
constexpr const char* SummaryTitle = "Summary";

// Describes the file; its picture is decoded from File.Source (the bytes of the first image)
// on File's budget.
void DescribeJpegSummary(TkivSegmentList& File, TkivDescription& Out);
