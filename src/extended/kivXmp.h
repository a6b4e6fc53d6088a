#pragma once
// XMP: the packet of APP1 "http://ns.adobe.com/xap/1.0/\0" as indented XML and as a table of its
// properties, and extended XMP (APP1 "http://ns.adobe.com/xmp/extension/\0"): pieces of a packet
// too large for one segment, joined by their GUID and checked against it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "extended/kivExtendedDecoders.h"

class TkivXmlDocument;
struct TkivXmlNode;

void DescribeXmp(const TkivExtendedInput& Input, TkivDescription& Out);
void DescribeExtendedXmp(const TkivExtendedInput& Input, TkivDescription& Out);
// An extended piece's header: the GUID (upper-cased, the whole's key), the full length and the
// piece's offset in the whole.
bool ReadExtendedXmpPiece(TStream& Payload, TkivPiece& Piece);

// The value of xmpNote:HasExtendedXMP in a packet read, or empty.
std::string ExtendedXmpGuid(const TkivXmlDocument& Document);

// The rdf:Description elements of a packet read.
std::vector<const TkivXmlNode*> XmpDescriptions(const TkivXmlDocument& Document);
// A property of the descriptions, given as an attribute or as an element: its value, or the items
// of the array it holds; none when no description has it.
std::optional<std::vector<std::string>>
XmpProperty(const std::vector<const TkivXmlNode*>& Descriptions, std::string_view Namespace,
            std::string_view Name);
// The element property of that name, or null.
const TkivXmlNode* XmpElement(const std::vector<const TkivXmlNode*>& Descriptions,
                              std::string_view Namespace, std::string_view Name);
