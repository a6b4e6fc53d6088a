#include <gtest/gtest.h>

#include "framework/kivHTML.h"
#include "framework/kivInfo.h"

namespace {

std::string Written(const TkivHTMLItem& Item) {
  TMemoryStream Out;
  Item.WriteToStream(Out);
  return Out.ToString();
}

} // namespace

TEST(HTML, AttributesInTheirOrder) {
  TkivHTMLTABLE Table(
      {.Border = 1,
       .CellPadding = 5,
       .CellSpacing = 2,
       .Align = haRight,
       .Size = {.Width = 80, .WidthInPercent = true, .Height = 20, .HeightInPercent = true},
       .BgColor = "Red",
       .Background = "t.png"});
  TkivHTMLTR& Row = AddRow(Table, {.Align = haLeft, .BgColor = "Yellow"});
  AddCell(Row, {.ColSpan = 2,
                .RowSpan = 3,
                .NoWrap = true,
                .Align = haCenter,
                .Size = {.Width = 50, .WidthInPercent = true, .Height = 10},
                .BgColor = "Yellow",
                .Background = "bg.png"});
  AddColorCell(Row, "Red", {.Size = {.Width = 7}});
  AddCell(Row);
  EXPECT_EQ(
      Written(Table),
      "\r  <TABLE BORDER=1 CELLPADDING=5 CELLSPACING=2 BGCOLOR=\"Red\" ALIGN=\"RIGHT\" "
      "WIDTH=80% HEIGHT=20% BACKGROUNF=\"t.png\">\r"
      "\r    <TR ALIGN=\"LEFT\" BGCOLOR=\"Yellow\">\r"
      "<TD COLSPAN=2 ROWSPAN=3 BGCOLOR=\"Yellow\" ALIGN=\"CENTER\" WIDTH=50% HEIGHT=10 NOWRAP "
      "BACKGROUNF=\"bg.png\"></TD>"
      "<TD BGCOLOR=\"Red\" WIDTH=7></TD>"
      "<TD></TD>"
      "    </TR>\r"
      "  </TABLE>\r");
}

TEST(HTML, ElementShapesAndNestedIndentation) {
  TkivHTMLBODY Body;
  AddText(Body.Create<TkivHTMLH1>(haCenter), "a<b&c");
  AddText(Body.Create<TkivHTMLH2>(), "h\"2\"");
  AddParagraph(Body);
  AddText(Body, "para");
  AddLineBreak(Body);
  AddText(Body, "<i>", true);
  // Attribute values are written as they are; IMG sizes never take "%".
  AddImage(Body, "file:///t/kivBMP0.bmp", "a<b", 50, 20);
  AddText(AddPre(Body), "pre");
  TkivHTMLTABLE& Outer = AddReportTable(Body);
  TkivHTMLTR& Row = AddRow(Outer);
  AddText(AddCell(Row, {.ColSpan = 2, .Align = haCenter}), "x");
  TkivHTMLTABLE& Inner = AddReportTable(AddCell(Row));
  AddText(AddCell(AddRow(Inner)), "y");
  EXPECT_EQ(Written(Body),
            "\r  <BODY>\r"
            "<H1 ALIGN=\"CENTER\">a&ltb&ampc</H1>"
            "<H2>h&quot2&quot</H2>"
            "<P>para<BR><i>"
            "\r    <IMG SRC=\"file:///t/kivBMP0.bmp\" ALT=\"a<b\" WIDTH=50 HEIGHT=20>\r"
            "<PRE>pre</PRE>"
            "\r    <TABLE BORDER=1 CELLPADDING=5>\r"
            "\r      <TR>\r"
            "<TD COLSPAN=2 ALIGN=\"CENTER\">x</TD>"
            "<TD>"
            "\r          <TABLE BORDER=1 CELLPADDING=5>\r"
            "\r            <TR>\r"
            "<TD>y</TD>"
            "            </TR>\r"
            "          </TABLE>\r"
            "</TD>"
            "      </TR>\r"
            "    </TABLE>\r"
            "  </BODY>\r");
}

TEST(HTML, DetachedElementsAttachLater) {
  auto Table = CreateReportTable();
  AddRow(*Table);
  EXPECT_EQ(Table->Parent, nullptr);
  TkivHTMLBODY Body;
  TkivHTMLTABLE& Attached = Body.AddChild(std::move(Table));
  EXPECT_EQ(Attached.Parent, &Body);
  EXPECT_EQ(Written(Body), "\r  <BODY>\r"
                           "\r    <TABLE BORDER=1 CELLPADDING=5>\r"
                           "\r      <TR>\r"
                           "      </TR>\r"
                           "    </TABLE>\r"
                           "  </BODY>\r");
}

TEST(HTML, BodyIsFoundAmongTheRootsChildren) {
  TkivHTMLHTML Document;
  TkivHTMLItem& Body = Document.GetChild(1);
  AddText(Document, "<HR>", true);
  Document.Create<TkivHTMLHEAD>();
  EXPECT_EQ(&Document.Body(), &Body);
  EXPECT_EQ(Document.IndexOfClass(typeid(TkivHTMLHEAD)), 0);
  EXPECT_EQ(Document.IndexOfClass(typeid(TkivHTMLHEAD), 1), 3);
  EXPECT_EQ(Document.IndexOfClass(typeid(TkivHTMLHEAD), 4), -1);
  // Exact classes only: every child is a subclass of TkivHTMLItem.
  EXPECT_EQ(Document.IndexOfClass(typeid(TkivHTMLItem)), -1);
}
