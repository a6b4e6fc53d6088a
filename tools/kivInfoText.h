#pragma once
// The information tree as text for people (indented "name: value" lines) and as JSON
// (objects with "name", "value" and "children"), both in UTF-8; and the conversions between
// the page's 8-bit code page and UTF-8.

#include <string>

#include "framework/kivInfo.h"

// A file name (bytes) made fit for UTF-8 text: each byte that is not part of a valid UTF-8
// sequence, and each control character, becomes the text \xNN.
std::string NameForUtf8(const std::string& Name);
// Windows-1251 text to UTF-8; a byte without a character becomes U+FFFD.
std::string AnsiToUtf8(const std::string& S);
// UTF-8 text to Windows-1251; what the code page cannot show becomes "?".
std::string Utf8ToAnsi(const std::string& S);

// One line per item, indented by two spaces a level. Control characters and backslashes are
// written as escapes (\xNN, \\), so that nothing from the data reaches a terminal raw.
std::string InfoTreeText(const TkivTreeItem& Root);
// The tree as one JSON object and a line end, indented by Indent spaces a level; on one line
// when Indent is negative.
std::string InfoTreeJson(const TkivTreeItem& Root, int Indent = 2);

// The tree the command prints for a whole file: the file's name and size, and under it each
// segment's tree, whose value says where the segment stands in the file.
std::unique_ptr<TkivTreeItem> FileInfoTree(const TkivSegmentList& List);
