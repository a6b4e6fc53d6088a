#pragma once
// XML read by expat into a small tree, for the metadata that files carry as XML (XMP). The
// data is untrusted: no document type declaration is accepted (so no entity is ever declared,
// expanded or fetched), elements nest at most MaxDepth deep, and a document holds at most
// MaxNodes nodes. Names keep their namespace URI and the prefix the document used.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct TkivXmlAttribute {
  std::string Uri, Name, Prefix, Value;
  std::string QName() const { return Prefix.empty() ? Name : Prefix + ":" + Name; }
};

struct TkivXmlNode {
  enum class TKind : uint8_t { Element, Text, Instruction, Comment };
  TKind Kind = TKind::Element;
  // An element's name; an instruction's target in Name.
  std::string Uri, Name, Prefix;
  // A text's characters, an instruction's data, a comment's text.
  std::string Text;
  std::vector<TkivXmlAttribute> Attributes;
  // The namespaces the element declares: prefix (empty for the default) and URI.
  std::vector<std::pair<std::string, std::string>> Namespaces;
  std::vector<TkivXmlNode> Children;
  // Where the node starts in the input, and where an element's end tag ends.
  int64_t Offset = 0, End = 0;

  std::string QName() const { return Prefix.empty() ? Name : Prefix + ":" + Name; }
  bool Is(std::string_view NamespaceUri, std::string_view LocalName) const {
    return Kind == TKind::Element && Uri == NamespaceUri && Name == LocalName;
  }
  // The attribute of that name, or null.
  const TkivXmlAttribute* Attribute(std::string_view NamespaceUri,
                                    std::string_view LocalName) const;
  // The element's text: its text children joined.
  std::string InnerText() const;
  // The element children, in order.
  std::vector<const TkivXmlNode*> Elements() const;
};

class TkivXmlDocument {
public:
  static constexpr int32_t MaxDepth = 200;
  // A node costs about a hundred bytes, a few times what its markup takes at the least.
  static constexpr int64_t DefaultMaxNodes = 1 << 20;

  // Reads Bytes (UTF-8, or what their declaration or byte-order mark names); false when they
  // are no well-formed document or are refused, with Error said. The nodes read before the
  // error are kept.
  bool Parse(std::string_view Bytes, int64_t MaxNodes = DefaultMaxNodes);

  // The top level: instructions and comments around the root element.
  std::vector<TkivXmlNode> Nodes;
  // The root element, or null.
  const TkivXmlNode* Root() const;
  int64_t NodeCount = 0;

  std::string Error;
  int64_t ErrorLine = 0, ErrorColumn = 0, ErrorOffset = -1;

  // The nodes as indented XML text: one element, instruction or comment a line, its
  // namespace declarations and attributes kept, text and values escaped, texts that are only
  // white space left out.
  std::string IndentedText() const;
  static std::string IndentedText(const TkivXmlNode& Node);
};
