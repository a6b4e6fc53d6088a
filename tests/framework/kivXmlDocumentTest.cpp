// XML read into a tree: names with their namespaces, the indented text, and what is refused.

#include <gtest/gtest.h>

#include "framework/kivXmlDocument.h"

TEST(XmlDocument, NamesNamespacesAndIndentedText) {
  TkivXmlDocument Doc;
  ASSERT_TRUE(Doc.Parse("<?xpacket begin='' id='W'?><x:a xmlns:x='urn:x' xmlns='urn:d' "
                        "x:k='1 &amp; &quot;2&quot;'>\n  <b>t &lt; u</b><c/>\n<!--n--></x:a>"
                        "<?xpacket end='w'?>"))
      << Doc.Error;
  const TkivXmlNode* Root = Doc.Root();
  ASSERT_TRUE(Root);
  EXPECT_TRUE(Root->Is("urn:x", "a"));
  EXPECT_EQ(Root->QName(), "x:a");
  ASSERT_TRUE(Root->Attribute("urn:x", "k"));
  EXPECT_EQ(Root->Attribute("urn:x", "k")->Value, "1 & \"2\"");
  const auto Elements = Root->Elements();
  ASSERT_EQ(Elements.size(), 2u);
  EXPECT_TRUE(Elements[0]->Is("urn:d", "b"));
  EXPECT_EQ(Elements[0]->InnerText(), "t < u");
  EXPECT_EQ(Doc.IndentedText(),
            "<?xpacket begin='' id='W'?>\n"
            "<x:a xmlns:x=\"urn:x\" xmlns=\"urn:d\" x:k=\"1 &amp; &quot;2&quot;\">\n"
            "  <b>t &lt; u</b>\n  <c/>\n  <!--n-->\n</x:a>\n<?xpacket end='w'?>\n");
}

TEST(XmlDocument, RefusesWhatIsNotWellFormedOrCostsTooMuch) {
  std::string Deep;
  for (int I = 0; I < 300; ++I)
    Deep += "<a>";
  std::string Many = "<r>";
  for (int I = 0; I < 100; ++I)
    Many += "<e/>";
  Many += "</r>";
  const struct {
    const char* Name;
    std::string Xml;
    int64_t MaxNodes;
    const char* Error;
  } Cases[] = {
      {"billion laughs",
       "<!DOCTYPE l [<!ENTITY a \"aaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]><l>&b;</l>", 1000,
       "a document type declaration, which is not read"},
      {"external entity", "<!DOCTYPE l SYSTEM \"file:///etc/passwd\"><l/>", 1000,
       "a document type declaration, which is not read"},
      {"undeclared entity", "<l>&a;</l>", 1000, "undefined entity"},
      {"deep", Deep, 1000, "elements nest more than 200 deep"},
      {"many", Many, 50, "more than 50 nodes"},
      {"cut short", "<a><b></a>", 1000, "mismatched tag"},
      {"empty", "", 1000, "no element found"},
  };
  for (const auto& C : Cases) {
    TkivXmlDocument Doc;
    EXPECT_FALSE(Doc.Parse(C.Xml, C.MaxNodes)) << C.Name;
    EXPECT_EQ(Doc.Error, C.Error) << C.Name;
    EXPECT_LE(Doc.NodeCount, C.MaxNodes + 1) << C.Name;
  }
}
