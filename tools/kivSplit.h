#pragma once
// Cuts a JPEG file into one segment file per marker segment, from the start-of-image marker
// up to the start-of-scan header.

#include <string>

struct TkivSplitResult {
  int Written = 0;   // segment files written
  std::string Error; // empty when the file was split up to its start of scan
};

TkivSplitResult SplitJpegFile(const std::string& JpegFile, const std::string& Directory);
