#pragma once
// The report pipeline: one segment file becomes one HTML page. The viewer window and the
// command-line tool run the same code.

#include <functional>
#include <memory>
#include <string>

#include "framework/kivInfo.h"

// The single line after the page's horizontal rule.
extern const char* const CreditLine;

enum class TkivLoadResult {
  NotOpened, // the file could not be opened; nothing was created
  NotRead,   // no class accepted the bytes
  Failed,    // loading or rendering raised; the segment may exist, nothing was shown
  Shown,     // ShowHTML received the page
};

using TkivShowHTML = std::function<void(TMemoryStream& Html)>;

// How a report is written.
struct TkivReportOptions {
  // The extended parts after each segment's own report: in the page, and (FillExtendedInfo)
  // in the information tree. Off, the page is the viewer's, byte for byte.
  bool Extended = false;
};

// Reads the segment at Stream's position into Segment (which outlives the run) and hands the
// page to ShowHTML. The library's own failures and running out of memory end the run as
// Failed; any other exception is a fault and passes.
TkivLoadResult LoadSegment(TStream& Stream, std::unique_ptr<TkivSegment>& Segment,
                           const TkivShowHTML& ShowHTML, const TkivReportOptions& Options = {});

// LoadSegment on the file FileName. One protected run: every exception is discarded, every
// stream and the document released; a fault (an exception that is not one of the library's
// failures) is kept for LastFault.
TkivLoadResult LoadFile(const std::string& FileName, std::unique_ptr<TkivSegment>& Segment,
                        const TkivShowHTML& ShowHTML, const TkivReportOptions& Options = {});

// The message of the fault that ended the last run of LoadFile, ReadSegmentFile or
// LoadSegmentList; empty when it ended without one.
const std::string& LastFault();

// Loads FileName into Segment as LoadFile does, without writing a page.
TkivLoadResult ReadSegmentFile(const std::string& FileName, std::unique_ptr<TkivSegment>& Segment);

// Renders a segment into a complete page (document, report, footer).
void WriteReportPage(TkivSegment& Segment, TStream& Html, const TkivReportOptions& Options = {});

// Whole files: the first registered segment list class that can read FileName loads it.
// NotRead when no class can (the file is then read as a segment file, with LoadFile).
TkivLoadResult LoadSegmentList(const std::string& FileName, std::unique_ptr<TkivSegmentList>& List);

// Renders a whole file into a complete page (document, the list's report, footer).
void WriteListPage(TkivSegmentList& List, TStream& Html, const TkivReportOptions& Options = {});

// Adds the extended parts to the information tree of a segment that stands alone, or of every
// segment of a whole file.
void FillExtendedInfo(TkivSegment& Segment);
void FillExtendedInfo(TkivSegmentList& List);
