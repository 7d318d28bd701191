// Word documents (.docx): what we write we read back, through RTF and back
// again, and a package that is damaged or hostile is refused with a reason.
#include "document/ListMarkers.h"
#include "support/ZipSupport.h"
#include "test_TextControlSample.h"
#include "wp/TextControl.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// A package of the given parts, as bytes.
QByteArray package(const QList<QPair<QString, QByteArray>>& parts) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("p.docx"));
    EXPECT_TRUE(wptest::makeZip(path, parts));
    return wptest::fileBytes(path);
}

const QByteArray kTypes =
    "<?xml version=\"1.0\"?><Types "
    "xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"/>";
const QByteArray kRootRels =
    "<?xml version=\"1.0\"?><Relationships "
    "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
    "Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/"
    "officeDocument\" Target=\"word/document.xml\"/></Relationships>";
const QByteArray kDocument =
    "<?xml version=\"1.0\"?><w:document "
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body><w:p><w:r>"
    "<w:t>Hello</w:t></w:r></w:p></w:body></w:document>";

} // namespace

TEST(Docx, rtfToDocxToRtfKeepsTextFieldsTablesListsAndProperties) {
    // A letter as other word processors write it: a numbered list starting
    // at 3 with a bulleted level under it, merge fields, a table with our id.
    const QByteArray rtf =
        "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}{\\f1 Arial;}}"
        "{\\*\\listtable{\\list\\listtemplateid1{\\listlevel\\levelnfc0\\levelstartat3"
        "{\\leveltext\\'02\\'00.;}{\\levelnumbers\\'01;}\\li720\\fi-360}{\\listlevel\\levelnfc23"
        "{\\leveltext\\'01\\u8226 ?;}{\\levelnumbers;}\\li1440\\fi-360}\\listid7}}"
        "{\\*\\listoverridetable{\\listoverride\\listid7\\listoverridecount0\\ls1}}"
        "{\\info{\\title CV of Jane}{\\author Jane Doe}{\\manager M}{\\company C}{\\category K}"
        "{\\keywords k1, k2}{\\doccomm Notes}{\\subject S}}"
        "\\paperw11906\\paperh16838\\margl1134\\margr1134\\margt1000\\margb1000"
        "{\\pard\\qc\\f1\\fs32\\b Jane Doe\\par}"
        "\\pard Dear {\\field{\\*\\fldinst MERGEFIELD contact_name}{\\fldrslt Contact Name}},\\par"
        "\\pard\\ls1\\ilvl0 First\\par\\pard\\ls1\\ilvl1 Sub item\\par\\pard\\ls1\\ilvl0 "
        "Second\\par"
        "\\trowd{\\*\\wptblid 42}\\clbrdrt\\brdrs\\cellx3000\\clcbpat0\\cellx6000\\pard\\intbl "
        "A1\\cell"
        "\\pard\\intbl {\\field{\\*\\fldinst MERGEFIELD \"job title\"}{\\fldrslt Job "
        "Title}}\\cell\\row"
        "\\trowd\\clvmgf\\cellx3000\\cellx6000\\pard\\intbl B1\\cell\\pard\\intbl B2\\cell\\row"
        "\\pard After {\\field{\\*\\fldinst MERGEFIELD company}{\\fldrslt }}\\par}";
    TextControl original;
    ASSERT_TRUE(original.LoadFromMemory(rtf, wp::fmt::Rtf)) << original.lastError().toStdString();

    TextControl viaDocx;
    ASSERT_TRUE(viaDocx.LoadFromMemory(original.SaveToMemory(wp::fmt::Docx), wp::fmt::Docx))
        << viaDocx.lastError().toStdString();
    TextControl back;
    ASSERT_TRUE(back.LoadFromMemory(viaDocx.SaveToMemory(wp::fmt::Rtf), wp::fmt::Rtf));

    for (TextControl* copy : {&viaDocx, &back}) {
        SCOPED_TRACE(copy == &back ? "back in RTF" : "as docx");
        EXPECT_EQ(plain(*copy), plain(original));
        EXPECT_EQ(fields(*copy), fields(original));
        EXPECT_EQ(fields(*copy),
                  (QStringList{QStringLiteral("contact_name=Contact Name"),
                               QStringLiteral("job title=Job Title"), QStringLiteral("company=")}));
        EXPECT_EQ(tableIds(*copy), QList<qint16>{42});
        QTextTable* t = copy->table(42);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->rows(), 2);
        EXPECT_EQ(t->columns(), 2);
        EXPECT_EQ(t->format().border(), original.table(42)->format().border());
        EXPECT_EQ(wp::docmodel::listMarkers(copy->document()),
                  wp::docmodel::listMarkers(original.document()));
        EXPECT_EQ(copy->documentProperties(), original.documentProperties());
        EXPECT_EQ(copy->pageFormat(), original.pageFormat());
    }
    // The markers themselves: the list starts at 3 and its bullets stay bullets.
    const std::vector<QString> markers = wp::docmodel::listMarkers(back.document());
    for (const char16_t* m : {u"3.", u"4.", u"\u2022"})
        EXPECT_NE(std::find(markers.begin(), markers.end(), QString::fromUtf16(m)), markers.end());
    EXPECT_EQ(original.documentProperty(wp::info::Manager), QStringLiteral("M"));

    // Everything of the sample document: headers, first-page footer, ids.
    TextControl tx;
    buildSample(tx);
    TextControl copy;
    ASSERT_TRUE(copy.LoadFromMemory(tx.SaveToMemory(wp::fmt::Docx), wp::fmt::Docx));
    EXPECT_EQ(plain(copy), plain(tx));
    expectSampleKept(copy, tx);
}

TEST(Docx, damagedOrHostilePackagesAreRefusedAndChangeNothing) {
    TextControl tx;
    buildSample(tx);
    const QString before = plain(tx);
    const QByteArray good = package({{"[Content_Types].xml", kTypes},
                                     {"_rels/.rels", kRootRels},
                                     {"word/document.xml", kDocument}});
    {
        TextControl small;
        ASSERT_TRUE(small.LoadFromMemory(good, wp::fmt::Docx)) << small.lastError().toStdString();
        EXPECT_EQ(plain(small), QStringLiteral("Hello"));
    }
    QByteArray outside = kRootRels;
    outside.replace("word/document.xml", "../../etc/passwd");
    QByteArray dtd = kDocument;
    dtd.replace("<w:document", "<!DOCTYPE d [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
                               "\"&a;&a;&a;&a;&a;&a;&a;&a;\">]><w:document");
    dtd.replace("Hello", "&b;&b;&b;&b;&b;&b;&b;&b;");
    // 70 MB of one character packs into a few hundred kilobytes.
    QByteArray bomb = kDocument;
    bomb.replace("Hello", QByteArray(70 * 1024 * 1024, 'a'));
    QByteArray unclosed = kDocument;
    unclosed.chop(20);
    const struct {
        const char* what;
        QByteArray data;
        const char* reason;
    } cases[] = {
        {"not a zip", "{\\rtf1 not a package}", "not a ZIP package"},
        {"truncated", good.left(good.size() / 2), "not a ZIP package"},
        {"no main part", package({{"[Content_Types].xml", kTypes}}), "names no main part"},
        {"main part missing", package({{"_rels/.rels", kRootRels}}),
         "has no part word/document.xml"},
        {"outside the package",
         package({{"_rels/.rels", outside}, {"word/document.xml", kDocument}}),
         "outside the package"},
        {"entity expansion", package({{"_rels/.rels", kRootRels}, {"word/document.xml", dtd}}),
         "document type declaration"},
        {"zip bomb", package({{"_rels/.rels", kRootRels}, {"word/document.xml", bomb}}),
         "is too large"},
        {"unclosed XML", package({{"_rels/.rels", kRootRels}, {"word/document.xml", unclosed}}),
         "damaged XML in word/document.xml"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(tx.LoadFromMemory(c.data, wp::fmt::Docx));
        EXPECT_TRUE(tx.lastError().contains(QLatin1String(c.reason)))
            << tx.lastError().toStdString();
        EXPECT_EQ(plain(tx), before);
    }
}
