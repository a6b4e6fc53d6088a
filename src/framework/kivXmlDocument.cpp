#include "framework/kivXmlDocument.h"

#include <expat.h>

#include <algorithm>
#include <memory>

namespace {

// Between a namespace URI, the local name and the prefix in the names expat reports; no XML
// name or URI holds it.
constexpr char Separator = '\x01';

void SplitName(const char* Full, std::string& Uri, std::string& Name, std::string& Prefix) {
  std::string_view S(Full);
  const size_t First = S.find(Separator);
  if (First == S.npos) {
    Name = S;
    return;
  }
  Uri = S.substr(0, First);
  const size_t Second = S.find(Separator, First + 1);
  Name = S.substr(First + 1, Second == S.npos ? S.npos : Second - First - 1);
  if (Second != S.npos) Prefix = S.substr(Second + 1);
}

struct TParser {
  TkivXmlDocument& Document;
  XML_Parser Parser;
  int64_t MaxNodes;
  std::vector<TkivXmlNode*> Open;
  std::vector<std::pair<std::string, std::string>> Declared; // for the next element

  std::vector<TkivXmlNode>& Children() {
    return Open.empty() ? Document.Nodes : Open.back()->Children;
  }
  void Stop(std::string Why) {
    if (Document.Error.empty()) Document.Error = std::move(Why);
    XML_StopParser(Parser, XML_FALSE);
  }
  TkivXmlNode* Add(TkivXmlNode::TKind Kind) {
    if (++Document.NodeCount > MaxNodes) {
      Stop("more than " + std::to_string(MaxNodes) + " nodes");
      return nullptr;
    }
    TkivXmlNode& Node = Children().emplace_back();
    Node.Kind = Kind;
    Node.Offset = XML_GetCurrentByteIndex(Parser);
    return &Node;
  }
  static TParser& Of(void* Data) { return *static_cast<TParser*>(Data); }

  static void XMLCALL Start(void* Data, const XML_Char* Name, const XML_Char** Attributes) {
    TParser& P = Of(Data);
    if (P.Open.size() >= size_t(TkivXmlDocument::MaxDepth)) {
      P.Stop("elements nest more than " + std::to_string(TkivXmlDocument::MaxDepth) + " deep");
      return;
    }
    TkivXmlNode* Node = P.Add(TkivXmlNode::TKind::Element);
    if (!Node) return;
    SplitName(Name, Node->Uri, Node->Name, Node->Prefix);
    for (const XML_Char** A = Attributes; A[0] && A[1]; A += 2) {
      TkivXmlAttribute& Attribute = Node->Attributes.emplace_back();
      SplitName(A[0], Attribute.Uri, Attribute.Name, Attribute.Prefix);
      Attribute.Value = A[1];
    }
    Node->Namespaces = std::move(P.Declared);
    P.Declared.clear();
    P.Open.push_back(Node);
  }
  static void XMLCALL End(void* Data, const XML_Char*) {
    TParser& P = Of(Data);
    if (P.Open.empty()) return;
    P.Open.back()->End = XML_GetCurrentByteIndex(P.Parser) + XML_GetCurrentByteCount(P.Parser);
    P.Open.pop_back();
  }
  static void XMLCALL Characters(void* Data, const XML_Char* Text, int Length) {
    TParser& P = Of(Data);
    std::vector<TkivXmlNode>& Children = P.Children();
    if (Children.empty() || Children.back().Kind != TkivXmlNode::TKind::Text) {
      if (!P.Add(TkivXmlNode::TKind::Text)) return;
    }
    Children.back().Text.append(Text, size_t(std::max(Length, 0)));
  }
  static void XMLCALL Instruction(void* Data, const XML_Char* Target, const XML_Char* Text) {
    TParser& P = Of(Data);
    if (TkivXmlNode* Node = P.Add(TkivXmlNode::TKind::Instruction)) {
      Node->Name = Target;
      Node->Text = Text;
    }
  }
  static void XMLCALL Comment(void* Data, const XML_Char* Text) {
    TParser& P = Of(Data);
    if (TkivXmlNode* Node = P.Add(TkivXmlNode::TKind::Comment)) Node->Text = Text;
  }
  static void XMLCALL Namespace(void* Data, const XML_Char* Prefix, const XML_Char* Uri) {
    Of(Data).Declared.emplace_back(Prefix ? Prefix : "", Uri ? Uri : "");
  }
  static void XMLCALL Doctype(void* Data, const XML_Char*, const XML_Char*, const XML_Char*, int) {
    Of(Data).Stop("a document type declaration, which is not read");
  }
  static void XMLCALL Entity(void* Data, const XML_Char*, int, const XML_Char*, int,
                             const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
    Of(Data).Stop("an entity declaration, which is not read");
  }
};

struct TFreeParser {
  void operator()(XML_Parser Parser) const { XML_ParserFree(Parser); }
};

std::string Escaped(std::string_view Text, bool InAttribute) {
  std::string S;
  S.reserve(Text.size());
  for (const char C : Text) {
    switch (C) {
    case '&':
      S += "&amp;";
      break;
    case '<':
      S += "&lt;";
      break;
    case '>':
      S += "&gt;";
      break;
    case '"':
      S += InAttribute ? "&quot;" : "\"";
      break;
    case '\n':
    case '\t':
    case '\r':
      if (InAttribute) {
        S += C == '\n' ? "&#10;" : C == '\t' ? "&#9;" : "&#13;";
        break;
      }
      [[fallthrough]];
    default:
      S += C;
    }
  }
  return S;
}

bool OnlySpace(std::string_view Text) {
  return Text.find_first_not_of(" \t\r\n") == Text.npos;
}

// Deep documents are still shown whole; their indent stops growing.
constexpr size_t MaxIndent = 64;

void Write(const TkivXmlNode& Node, size_t Depth, std::string& Out) {
  const std::string Indent(std::min(Depth * 2, MaxIndent), ' ');
  switch (Node.Kind) {
  case TkivXmlNode::TKind::Text:
    if (!OnlySpace(Node.Text)) Out += Indent + Escaped(Node.Text, false) + "\n";
    return;
  case TkivXmlNode::TKind::Instruction:
    Out += Indent + "<?" + Node.Name + (Node.Text.empty() ? "" : " ") + Node.Text + "?>\n";
    return;
  case TkivXmlNode::TKind::Comment:
    Out += Indent + "<!--" + Node.Text + "-->\n";
    return;
  case TkivXmlNode::TKind::Element:
    break;
  }
  Out += Indent + "<" + Node.QName();
  for (const auto& [Prefix, Uri] : Node.Namespaces)
    Out += " xmlns" + (Prefix.empty() ? "" : ":" + Prefix) + "=\"" + Escaped(Uri, true) + "\"";
  for (const TkivXmlAttribute& A : Node.Attributes)
    Out += " " + A.QName() + "=\"" + Escaped(A.Value, true) + "\"";
  const bool Empty = std::all_of(Node.Children.begin(), Node.Children.end(), [](const auto& C) {
    return C.Kind == TkivXmlNode::TKind::Text && OnlySpace(C.Text);
  });
  if (Empty) {
    Out += "/>\n";
    return;
  }
  // An element that holds text alone keeps it on its own line.
  if (Node.Children.size() == 1 && Node.Children[0].Kind == TkivXmlNode::TKind::Text) {
    Out += ">" + Escaped(Node.Children[0].Text, false) + "</" + Node.QName() + ">\n";
    return;
  }
  Out += ">\n";
  for (const TkivXmlNode& Child : Node.Children)
    Write(Child, Depth + 1, Out);
  Out += Indent + "</" + Node.QName() + ">\n";
}

} // namespace

const TkivXmlAttribute* TkivXmlNode::Attribute(std::string_view NamespaceUri,
                                               std::string_view LocalName) const {
  for (const TkivXmlAttribute& A : Attributes)
    if (A.Uri == NamespaceUri && A.Name == LocalName) return &A;
  return nullptr;
}

std::string TkivXmlNode::InnerText() const {
  std::string S;
  for (const TkivXmlNode& Child : Children)
    if (Child.Kind == TKind::Text) S += Child.Text;
  return S;
}

std::vector<const TkivXmlNode*> TkivXmlNode::Elements() const {
  std::vector<const TkivXmlNode*> Found;
  for (const TkivXmlNode& Child : Children)
    if (Child.Kind == TKind::Element) Found.push_back(&Child);
  return Found;
}

bool TkivXmlDocument::Parse(std::string_view Bytes, int64_t MaxNodes) {
  Nodes.clear();
  NodeCount = 0;
  Error.clear();
  ErrorLine = ErrorColumn = 0;
  ErrorOffset = -1;
  const std::unique_ptr<XML_ParserStruct, TFreeParser> Parser(
      XML_ParserCreateNS(nullptr, Separator));
  if (!Parser) {
    Error = "the XML parser could not be created";
    return false;
  }
  XML_Parser P = Parser.get();
  TParser State{*this, P, MaxNodes, {}, {}};
  XML_SetUserData(P, &State);
  XML_SetReturnNSTriplet(P, 1);
  XML_SetParamEntityParsing(P, XML_PARAM_ENTITY_PARSING_NEVER);
  XML_SetElementHandler(P, TParser::Start, TParser::End);
  XML_SetCharacterDataHandler(P, TParser::Characters);
  XML_SetProcessingInstructionHandler(P, TParser::Instruction);
  XML_SetCommentHandler(P, TParser::Comment);
  XML_SetStartNamespaceDeclHandler(P, TParser::Namespace);
  XML_SetStartDoctypeDeclHandler(P, TParser::Doctype);
  XML_SetEntityDeclHandler(P, TParser::Entity);
  // Fed in pieces: expat takes an int's worth at a time.
  constexpr size_t Chunk = 1 << 20;
  bool Ok = true;
  for (size_t At = 0; Ok && (At < Bytes.size() || At == 0);) {
    const size_t N = std::min(Chunk, Bytes.size() - At);
    const bool Last = At + N == Bytes.size();
    Ok = XML_Parse(P, Bytes.data() + At, int(N), Last) == XML_STATUS_OK;
    At += N;
    if (Last) break;
  }
  if (Ok) return true;
  ErrorLine = int64_t(XML_GetCurrentLineNumber(P));
  ErrorColumn = int64_t(XML_GetCurrentColumnNumber(P)) + 1;
  ErrorOffset = int64_t(XML_GetCurrentByteIndex(P));
  if (Error.empty()) Error = XML_ErrorString(XML_GetErrorCode(P));
  return false;
}

const TkivXmlNode* TkivXmlDocument::Root() const {
  for (const TkivXmlNode& Node : Nodes)
    if (Node.Kind == TkivXmlNode::TKind::Element) return &Node;
  return nullptr;
}

std::string TkivXmlDocument::IndentedText(const TkivXmlNode& Node) {
  std::string Out;
  Write(Node, 0, Out);
  return Out;
}

std::string TkivXmlDocument::IndentedText() const {
  std::string Out;
  for (const TkivXmlNode& Node : Nodes)
    Write(Node, 0, Out);
  return Out;
}
