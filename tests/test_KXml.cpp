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

    // A failed load leaves an empty document.
    EXPECT_FALSE(x.LoadXml("<page_size><b>"));
    EXPECT_EQ(x.ChildValue("a"), "");
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
}

TEST(KXml, handlesIntoRemovedSubtreesStayUsable) {
    KXml x, y;
    ASSERT_TRUE(x.LoadXml("<r><a><b k=\"1\">t</b></a><c><d/></c><e/></r>"));
    ASSERT_TRUE(y.LoadXml("<s/>"));
    auto b = x.FindNode("b");
    auto a = x.ChildNode("a");
    x.RemoveChild("a");
    a.reset(); // the removed element goes; its child lives on in the handle
    y.AppendNode(b);
    EXPECT_EQ(y.Xml(), "<s><b k=\"1\">t</b></s>");
    EXPECT_EQ(x.Xml(), "<r><c><d/></c><e/></r>");

    // Replacing a child's content drops the elements inside it.
    auto d = x.FindNode("d");
    x.SetChildValue("c", "v");
    d->SetAttribute("n", "2");
    d->AddChild("f", "g");
    y.AppendNode(d);
    EXPECT_EQ(y.Xml(), "<s><b k=\"1\">t</b><d n=\"2\"><f>g</f></d></s>");
    EXPECT_EQ(x.Xml(), "<r><c>v</c><e/></r>");

    // A removed element keeps its whole subtree while a handle holds it.
    auto e = x.ChildNode("e");
    e->AddChild("h", "i");
    x.RemoveChild("e");
    EXPECT_EQ(e->ChildCount(), 1);
    EXPECT_EQ(e->FindNode("h")->Text(), "i");
    e->AppendNode(y.ChildNode("d"));
    EXPECT_EQ(e->ChildAt(1)->TagName(), "d");
    EXPECT_EQ(y.Xml(), "<s><b k=\"1\">t</b></s>");
}

namespace {
QString nested(int depth) {
    return QString("<n>").repeated(depth) + "x" + QString("</n>").repeated(depth);
}
} // namespace

TEST(KXml, deepDocumentsAreBoundedOnLoadAndNeverRecurse) {
    KXml x;
    EXPECT_TRUE(x.LoadXml(nested(1000)));
    EXPECT_EQ(x.Text(), "x");
    EXPECT_FALSE(x.LoadXml(nested(1001))) << "deeper than the limit loads like bad XML";
    EXPECT_EQ(x.Xml(), "");
    EXPECT_FALSE(x.LoadXml(nested(200000)));

    // Handles build trees of any depth: writing, searching, reading the text
    // and freeing them must not recurse per level.
    const int depth = 200000;
    x.CreateRoot("n");
    wp::KXmlRef at = x.SelectNode("n");
    for (int i = 1; i < depth; ++i)
        at = at->AddChild("n");
    at->SetAttribute("id", "leaf");
    at->SetChildValue("v", "deep");
    EXPECT_EQ(x.Xml(), QString("<n>").repeated(depth - 1) + "<n id=\"leaf\"><v>deep</v></n>" +
                           QString("</n>").repeated(depth - 1));
    EXPECT_EQ(x.FindNode("v")->Text(), "deep");
    EXPECT_EQ(x.FindByAttribute(nullptr, "n", "id", "leaf")->ChildValue("v"), "deep");
    EXPECT_EQ(x.FindNode("missing"), nullptr);
    EXPECT_EQ(x.Text(), "deep");
    at.reset();
    x.CreateRoot("gone"); // frees the deep tree
    EXPECT_EQ(x.Xml(), "<gone/>");
}
