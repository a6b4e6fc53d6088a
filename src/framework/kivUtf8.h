#pragma once
// UTF-8 text, as the metadata of today's files carries it, to UTF-16 and to the page's 8-bit
// code page.

#include <string>
#include <string_view>

// Each malformed sequence becomes U+FFFD; nothing is dropped silently.
std::u16string Utf8ToWide(std::string_view Utf8);
// The system's ANSI code page; what it cannot show becomes "?".
std::string Utf8ToAnsiText(std::string_view Utf8);
// UTF-16 text as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string WideToUtf8(std::u16string_view Wide);
// UTF-8 text as escaped page text in Windows-1251, the code page the page declares: each
// character that the code page lacks becomes a numeric character reference ("&#8364;").
// Control bytes show as "\xHH" (tabs and line ends kept), and every entity is closed: the
// page's parts that are ours.
std::string Utf8ToPageHtml(std::string_view Utf8);
// The same for 8-bit text in the page's code page (a file's name).
std::string PageHtml(std::string_view Text);
