#include <gtest/gtest.h>

#include "framework/kivHTML.h"
#include "framework/kivInfo.h"
#include "support/kivTestSupport.h"

using kivTest::Html;

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
      Html(Table),
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

TEST(HTML, ElementShapesAndIndentationOnceAttached) {
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
  // A table made apart takes its indentation from where it is attached.
  auto Outer = CreateReportTable();
  TkivHTMLTR& Row = AddRow(*Outer);
  AddText(AddCell(Row, {.ColSpan = 2, .Align = haCenter}), "x");
  TkivHTMLTABLE& Inner = AddReportTable(AddCell(Row));
  AddText(AddCell(AddRow(Inner)), "y");
  EXPECT_EQ(Outer->Parent, nullptr);
  EXPECT_EQ(Body.AddChild(std::move(Outer)).Parent, &Body);
  EXPECT_EQ(Html(Body), "\r  <BODY>\r"
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

TEST(HTML, APageWrittenWhileItIsBuiltIsThePageWrittenWhole) {
  // The same page built twice: written at the end, and written part by part as it is built.
  const auto Build = [](TkivHTMLHTML& Document, TkivHTMLPageWriter* Page) {
    TkivHTMLBODY& Body = Document.Body();
    for (int Part = 0; Part < 3; ++Part) {
      AddText(Body.Create<TkivHTMLH2>(), "Part <" + std::to_string(Part) + ">");
      TkivHTMLTABLE& Table = AddReportTable(Body);
      AddTextRow(Table, {"a", "b"});
      // Inside an element nothing is written yet: it is complete only with its element.
      if (Page) Page->WriteDone(Table);
      AddTextRow(Table, {"c", std::string(20000, 'd')});
      AddTextCell(AddRow(Table), "e");
      if (!Page) continue;
      Page->WriteDone(Body);
      EXPECT_EQ(Body.Count(), 0);
    }
    AddText(Document, "<HR>", true);
  };
  TkivHTMLHTML Whole;
  Build(Whole, nullptr);
  TMemoryStream Expected;
  Whole.WriteToStream(Expected);
  TkivHTMLHTML Streamed;
  TMemoryStream Written;
  TkivHTMLPageWriter Page(Streamed, Written);
  Build(Streamed, &Page);
  Page.Finish();
  EXPECT_EQ(Written.ToString(), Expected.ToString());
}

TEST(HTML, PagesLongerThanTheWritersBuffer) {
  TkivHTMLBODY Body;
  std::string Expected = "\r  <BODY>\r";
  for (int I = 0; I < 5000; ++I) {
    AddText(Body, std::to_string(I) + "<");
    Expected += std::to_string(I) + "&lt";
    if (I != 2500) continue;
    AddText(Body, std::string(40000, 'L'), true); // far longer than the buffer on its own
    Expected += std::string(40000, 'L');
  }
  EXPECT_EQ(Html(Body), Expected + "  </BODY>\r");
}

TEST(HTML, TextCellsAndCellElementsKeepTheirOrder) {
  TkivHTMLTABLE Table;
  TkivHTMLTR& Row = AddRow(Table);
  AddText(AddCell(Row, {.ColSpan = 2}), "e1");
  AddTextCell(Row, "a<b");
  AddTextCell(Row, "c", "Yellow");
  AddTextCell(Row, "n", {.ColSpan = 1, .RowSpan = 1, .BgColor = "Red"}, "&#160");
  AddText(AddCell(Row), "e2");
  AddTextCell(Row, "d");
  EXPECT_EQ(Html(Table), "\r  <TABLE>\r"
                         "\r    <TR>\r"
                         "<TD COLSPAN=2>e1</TD><TD>a&ltb</TD><TD BGCOLOR=\"Yellow\">c</TD>"
                         "<TD COLSPAN=1 ROWSPAN=1 BGCOLOR=\"Red\">&#160n</TD><TD>e2</TD>"
                         "<TD>d</TD>"
                         "    </TR>\r"
                         "  </TABLE>\r");
  // Consecutive text cells are one piece of page text.
  EXPECT_EQ(Row.Count(), 4);
}

// Elements share pooled memory: those that live stay whole while others are made and freed
// around them, and the memory is not given back while any are in use.
TEST(HTML, ElementsStayWholeWhileOthersComeAndGo) {
  TkivHTMLBODY Body;
  std::string Expected;
  for (int I = 0; I < 4000; ++I) {
    const std::string Text = std::string(size_t(I % 40), 'x') + std::to_string(I);
    AddText(Body, Text);
    Expected += Text;
    auto Gone = std::make_unique<TkivHTMLTABLE>();
    AddTextCell(AddRow(*Gone), Text);
    if (I % 2 == 0) continue;
    AddParagraph(Body);
    Expected += "<P>";
  }
  ReleaseListMemory();
  EXPECT_EQ(Html(Body), "\r  <BODY>\r" + Expected + "  </BODY>\r");
}
