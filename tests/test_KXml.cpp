// KXml: the XML operations the library relies on.
#include "support/TestSupport.h"
#include "wp/KXml.h"

#include <gtest/gtest.h>

using wp::KXml;

TEST(KXml, loadReadAndWriteValues) {
    KXml x;
    ASSERT_TRUE(x.LoadXml("<page_size width=\"12240\" height=\"15840\"><a>1</a><b/></page_size>"));
    EXPECT_EQ(x.AttributeValue("width"), "12240");
    EXPECT_EQ(x.AttributeValue("missing"), "");
    EXPECT_EQ(x.ChildValue("a"), "1");
    EXPECT_EQ(x.ChildValue("b"), "");
    EXPECT_EQ(x.ChildValue("c"), "");
    EXPECT_TRUE(x.HasChild("b"));
    EXPECT_FALSE(x.HasChild("c"));
    x.SetAttribute("width", "11909");
    x.SetChildValue("a", "2");
    x.SetChildValue("c", "new");
    EXPECT_EQ(x.Xml(),
              "<page_size width=\"11909\" height=\"15840\"><a>2</a><b/><c>new</c></page_size>");
}

TEST(KXml, failedLoadLeavesAnEmptyDocument) {
    KXml x;
    ASSERT_TRUE(x.LoadXml("<a><b>1</b></a>"));
    EXPECT_FALSE(x.LoadXml("<a><b>"));
    EXPECT_EQ(x.ChildCount(), 0);
    EXPECT_EQ(x.ChildValue("b"), "");
    EXPECT_EQ(x.Xml(), "");
    EXPECT_EQ(x.SelectNode("b"), nullptr);
}

TEST(KXml, buildNavigateAndMove) {
    KXml x;
    x.CreateRoot("tbl");
    x.AddAttribute("table_id", "12");
    auto first = x.AddChild("row", "r1");
    auto second = x.AddChild("row", "r2");
    x.AddChild("note", "n");
    ASSERT_EQ(x.ChildCount(), 3);
    EXPECT_EQ(x.ChildAt(1)->Text(), "r2");
    EXPECT_EQ(x.ChildAt(3), nullptr);
    EXPECT_EQ(x.ChildAt(-1), nullptr);
    x.AppendNode(first); // moves, does not copy
    EXPECT_EQ(x.ChildCount(), 3);
    EXPECT_EQ(x.ChildAt(2)->Text(), "r1");
    x.RemoveChild("note");
    EXPECT_EQ(x.Xml(), "<tbl table_id=\"12\"><row>r2</row><row>r1</row></tbl>");
    EXPECT_EQ(x.ChildNode("row")->Text(), "r2");
    EXPECT_EQ(x.ChildNode("none"), nullptr);
    second->SetAttribute("k", "v");
    EXPECT_EQ(x.AttributeValue("table_id"), "12");
    EXPECT_EQ(x.ChildAt(0)->AttributeValue("k"), "v");
}

TEST(KXml, searchesBelowAndByAttribute) {
    KXml x;
    ASSERT_TRUE(x.LoadXml("<root><runmode><deep><template_stepper_formsize width=\"800\"/>"
                          "</deep></runmode><options><option sort=\"a01\">x</option>"
                          "<group><option sort=\"a08\">d MMMM yyyy</option></group>"
                          "<option sort=\"a08\">second</option></options></root>"));
    auto runmode = x.ChildNode("runmode");
    ASSERT_TRUE(runmode);
    auto size = runmode->FindNode("template_stepper_formsize");
    ASSERT_TRUE(size);
    EXPECT_EQ(size->AttributeValue("width"), "800");
    EXPECT_EQ(x.SelectNode("nothing"), nullptr);
    EXPECT_TRUE(x.SelectNode("deep"));
    auto a08 = x.FindByAttribute(nullptr, "option", "sort", "a08");
    ASSERT_TRUE(a08);
    EXPECT_EQ(a08->Text(), "d MMMM yyyy");
    EXPECT_EQ(x.FindByAttribute(nullptr, "option", "sort", "zz"), nullptr);
    auto group = x.FindNode("group");
    EXPECT_EQ(x.FindByAttribute(group, "option", "sort", "a01"), nullptr);
}

TEST(KXml, writesBackWhatItReadInTheSameOrder) {
    const QString text = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><!-- host --><page_size z=\"1\" a=\"&amp;2\" "
        "m=\"3\"><x:e xmlns:x=\"urn:x\">t &lt; u</x:e>\n  <![CDATA[<raw>]]><?pi "
        "data?></page_size>");
    KXml x;
    ASSERT_TRUE(x.LoadXml(text));
    EXPECT_EQ(x.Xml(), text);
    EXPECT_FALSE(x.LoadXml("<a/><b/>")) << "two roots";
    EXPECT_FALSE(x.LoadXml(""));
    KXml other;
    ASSERT_TRUE(other.LoadXml("<r><moved k=\"v\"/></r>"));
    ASSERT_TRUE(x.LoadXml("<a/>"));
    x.AppendNode(other.ChildAt(0)); // leaves the other document
    EXPECT_EQ(x.Xml(), "<a><moved k=\"v\"/></a>");
    EXPECT_EQ(other.Xml(), "<r/>");
}
