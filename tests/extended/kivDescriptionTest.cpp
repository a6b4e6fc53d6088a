// The two back-ends of a description: the same calls as page elements and as tree items.

#include <gtest/gtest.h>

#include "extended/kivDescriptionHTML.h"
#include "extended/kivDescriptionTree.h"
#include "kivInfoText.h"
#include "support/kivTestSupport.h"

using namespace kivTest;

namespace {

// A report table of the page, inside the body of a document, and its rows.
std::string Table(const std::string& Rows) {
  return "\r      <TABLE BORDER=1 CELLPADDING=5>\r" + Rows + "      </TABLE>\r";
}
std::string Tr(const std::string& Cells) {
  return "\r        <TR>\r" + Cells + "        </TR>\r";
}

// Every kind of call, the texts in UTF-8: "Café <Ж> €😀" has a letter the page's code page
// lacks, one it has, its euro sign and a character outside the 16-bit range.
void Describe(TkivDescription& Out) {
  Out.Field("Width", 640);
  Out.Field("Mode", "7", "not a known mode", TkivMark::Unknown);
  Out.Field("Name", "Caf\xC3\xA9 <\xD0\x96> \xE2\x82\xAC\xF0\x9F\x98\x80");
  {
    TkivDescriptionGroup Group(Out, "Table 0");
    Out.Field("Precision", "8 bits");
    TkivDescriptionTable Grid(Out, "Values", {"", "0", "1"});
    Grid.Row({"0", "16", "11"});
    Grid.Row({"1", "12", "x"}, TkivMark::Wrong);
  }
  Out.Text("XML", "<a>\n</a>");
  TMemoryStream Bytes(std::string("ABC"));
  Out.Hex("Rest", Bytes, 2);
  Out.Problem("Piece 2 is missing");
  auto Refused = kivInfo::TBitmap::ClassObject().Create();
  Refused->Refusal = {TkivPictureVerdict::TooLarge, 9000, 9000};
  Out.Picture("Preview", std::move(Refused));
}

const char* const RefusalText = "Not decoded: the picture declares 9000 x 9000 pixels, more than a "
                                "thumbnail may have (4096 x 4096)";

TEST(DescriptionHTML, EveryCallInThePagesOwnStyle) {
  TkivHTMLHTML Document;
  TOwningList Keep;
  TkivWorkBudget Budget;
  TkivDescriptionHTML Out(Document.Body(), Keep, Budget);
  Describe(Out);
  Out.Finish();
  std::string Page;
  for (int32_t I = 0; I < Document.Body().Count(); ++I)
    Page += Html(Document.Body().GetChild(I));
  const std::string Expected =
      Table(Tr("<TD>Width</TD><TD>640</TD><TD></TD>") +
            Tr("<TD>Mode</TD><TD BGCOLOR=\"Yellow\">7</TD>"
               "<TD BGCOLOR=\"Yellow\">not a known mode</TD>") +
            Tr("<TD>Name</TD><TD>Caf&#233; &lt;\xC6&gt; \x88&#128512;</TD><TD></TD>")) +
      "<P>Table 0" + Table(Tr("<TD>Precision</TD><TD>8 bits</TD>")) + "<P>Table 0 / Values" +
      Table(Tr("<TD></TD><TD>0</TD><TD>1</TD>") + Tr("<TD>0</TD><TD>16</TD><TD>11</TD>") +
            Tr("<TD BGCOLOR=\"Red\">1</TD><TD BGCOLOR=\"Red\">12</TD><TD BGCOLOR=\"Red\">x</TD>")) +
      "<P>XML" + Table(Tr("<TD><PRE>&lt;a&gt;\n&lt;/a&gt;</PRE></TD>")) + "<P>Rest" +
      Table(Tr("<TD><PRE>Offset</PRE></TD><TD><PRE>Hex</PRE></TD><TD><PRE>Text</PRE></TD>") +
            Tr("<TD><PRE>00000000</PRE></TD><TD><PRE>41 42</PRE></TD><TD><PRE>AB</PRE></TD>")) +
      Table(Tr("<TD BGCOLOR=\"Red\">Piece 2 is missing</TD>")) + "<P>Preview" +
      Table(Tr("<TD>Compression</TD><TD>Unknown</TD>") +
            Tr("<TD>Image</TD><TD>" + std::string(RefusalText) + "</TD>"));
  EXPECT_EQ(Page, Expected);
  EXPECT_EQ(Keep.Count(), 1);
}

TEST(DescriptionHTML, APictureGoesThroughItsThumbnailFile) {
  TTempDir Dir;
  kivInfo::SetTempDirectory(Dir.Dir());
  {
    TkivHTMLHTML Document;
    TOwningList Keep;
    TkivWorkBudget Budget;
    TkivDescriptionHTML Out(Document.Body(), Keep, Budget);
    auto Picture = kivInfo::TBitmap::ClassObject().Create();
    Picture->SetSize(2, 1);
    Out.Picture("Preview", std::move(Picture));
    Out.Picture("Empty", kivInfo::TBitmap::ClassObject().Create());
    Out.Finish();
    const std::string Page = Html(Document.Body());
    EXPECT_NE(Page.find("<TD>Width</TD><TD>2</TD>"), std::string::npos) << Page;
    EXPECT_NE(Page.find("SRC=\"file://" + Dir.Dir() + "kivBMP0.bmp\""), std::string::npos);
    EXPECT_NE(Page.find("<P>Empty" + Table(Tr("<TD>Image</TD><TD>No picture</TD>"))),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(Dir.Path() / "kivBMP0.bmp"));
  }
  // The file goes with the bitmap that Keep held.
  EXPECT_FALSE(std::filesystem::exists(Dir.Path() / "kivBMP0.bmp"));
  kivInfo::SetTempDirectory({});
}

TEST(DescriptionTree, EveryCallAsItems) {
  TkivTreeItem Root;
  Root.Name = "Root";
  TOwningList Keep;
  TkivDescriptionTree Out(Root, Keep);
  Describe(Out);
  // The tree holds the code page: the letters it lacks are question marks there.
  EXPECT_EQ(InfoTreeText(Root), "Root:\n"
                                "  Width: 640\n"
                                "  Mode: 7 (not a known mode)\n"
                                "  Name: Caf? <\xD0\x96> \xE2\x82\xAC?\n"
                                "  Table 0:\n"
                                "    Precision: 8 bits\n"
                                "    Values:\n"
                                "      0:\n"
                                "        0: 16\n"
                                "        1: 11\n"
                                "      1:\n"
                                "        0: 12\n"
                                "        1: x\n"
                                "  XML: <a>\\x0A</a>\n"
                                "  Rest: 2 bytes\n"
                                "  Problem: Piece 2 is missing\n"
                                "  Preview: " +
                                    std::string(RefusalText) + "\n");
  EXPECT_EQ(Root.GetChild(2).Icon, 0u);
  EXPECT_EQ(Root.GetChild(1).Icon, WarningIcon);
  EXPECT_EQ(Root.GetChild(6).Icon, ErrorIcon);
}

} // namespace
