#pragma once
// Many files in one run: the text or JSON tree of each file, one after the other (JSON Lines),
// or one page per file in a directory with an index page that links them. A file that fails
// leaves an error record and the run goes on; directories are walked with -r, and what is no
// regular file (FIFOs, devices, sockets, links that lead nowhere) is skipped, never opened.

#include <optional>
#include <string>
#include <vector>

enum class TkivBatchOutput { Html, Text, Json };

struct TkivBatchOptions {
  std::vector<std::string> Inputs; // files, and with Recursive directories
  bool Recursive = false;
  TkivBatchOutput Kind = TkivBatchOutput::Html;
  // Html: the directory of the pages (created when missing); Text and Json: the file that
  // receives all records, standard output when empty.
  std::string Output;
  bool Segment = false; // every file read as one marker segment
  bool Inline = false;  // pages carry their pictures; no picture files
  // The extended report: as the kind of file decides when unset.
  std::optional<bool> Extended;
};

// Runs the batch; the exit status: 0 when every file was reported, 1 when any failed.
int RunBatch(const TkivBatchOptions& Options);
