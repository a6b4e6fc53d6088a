#pragma once
// Cuts a JPEG file into one segment file per marker segment, through the whole-file walk:
// every marker segment, those after the scans included; entropy-coded data and trailing data
// are skipped.

#include <string>

struct TkivSplitResult {
  int Written = 0;     // segment files written
  std::string Error;   // empty when every marker segment of the file was written
  std::string Warning; // a flaw that cost no segment, such as a missing end-of-image marker
};

TkivSplitResult SplitJpegFile(const std::string& JpegFile, const std::string& Directory);
