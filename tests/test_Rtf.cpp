// RTF in and out of the document control.
#include "document/TextControlDocument.h"
#include "support/TestSupport.h"
#include "support/ZipSupport.h"
#include "test_TextControlSample.h"
#include "wp/TextControl.h"

#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

QTextCharFormat formatAt(TextControl& tx, const QString& text) {
    const int pos = tx.document()->toPlainText().indexOf(text);
    EXPECT_GE(pos, 0) << text.toStdString();
    QTextCursor c(tx.document());
    c.setPosition(pos + 1);
    return c.charFormat();
}

} // namespace

TEST(Rtf, roundTripKeepsPageFormattingFieldsTablesHeadersAndProperties) {
    TextControl tx;
    buildSample(tx);
    const QStringList keys{wp::info::Title,    wp::info::Subject, wp::info::Author,
                           wp::info::Manager,  wp::info::Company, wp::info::Category,
                           wp::info::Keywords, wp::info::Comments};
    for (const QString& key : keys)
        tx.setDocumentProperty(key, key + QStringLiteral(" \u00e9{\\}"));
    const QByteArray saved = tx.SaveToMemory(wp::fmt::Rtf);

    TextControl copy;
    ASSERT_TRUE(copy.LoadFromMemory(saved, wp::fmt::Rtf)) << copy.lastError().toStdString();
    EXPECT_EQ(plain(copy), plain(tx));
    wp::PageFormat expected = tx.pageFormat();
    expected.headerPosition = 709; // RTF keeps whole twips
    EXPECT_EQ(copy.pageFormat(), expected);
    for (const QString& key : keys)
        EXPECT_EQ(copy.documentProperty(key), key + QStringLiteral(" \u00e9{\\}"));
    expectSampleKept(copy, tx);
    QTextTable* t = copy.table(1000);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->rows(), 2);
    EXPECT_EQ(t->columns(), 3);
    EXPECT_EQ(t->cellAt(1, 2).firstCursorPosition().block().text(), QStringLiteral("cell text"));
    EXPECT_EQ(formatAt(copy, QStringLiteral("Jane Doe")).fontPointSize(), 14);
    EXPECT_EQ(copy.document()->firstBlock().blockFormat().topMargin(), 120);

    // What we write, we read back to the same RTF.
    EXPECT_EQ(copy.SaveToMemory(wp::fmt::Rtf), saved);
}

TEST(Rtf, characterAndParagraphFormattingRoundTrips) {
    TextControl tx;
    QTextCursor c(tx.document());
    QTextCharFormat f;
    f.setFontItalic(true);
    f.setFontUnderline(true);
    f.setForeground(QColor(255, 0, 0));
    c.insertText(QStringLiteral("red italic"), f);
    QTextCharFormat g;
    g.setFontStrikeOut(true);
    g.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    g.setBackground(QColor(0, 255, 0));
    g.setFontFamilies({QStringLiteral("Courier New")});
    g.setFontPointSize(9);
    c.insertText(QStringLiteral("sup"), g);
    QTextCharFormat small;
    small.setFontCapitalization(QFont::SmallCaps);
    c.insertText(QStringLiteral("small"), small);
    QTextBlockFormat b;
    b.setAlignment(Qt::AlignJustify);
    b.setLeftMargin(720);
    b.setRightMargin(360);
    b.setTextIndent(-360);
    b.setTopMargin(240);
    b.setBottomMargin(120);
    b.setLineHeight(150, QTextBlockFormat::ProportionalHeight);
    b.setBackground(QColor(255, 255, 0));
    b.setTabPositions(
        {QTextOption::Tab(96, QTextOption::LeftTab), QTextOption::Tab(624, QTextOption::RightTab)});
    c.insertBlock(b);
    c.insertText(QStringLiteral("tab\there\u2028line"), QTextCharFormat());
    QTextBlockFormat r;
    r.setAlignment(Qt::AlignRight);
    c.insertBlock(r);
    c.insertText(QStringLiteral("right"));

    TextControl copy;
    ASSERT_TRUE(copy.LoadFromMemory(tx.SaveToMemory(wp::fmt::Rtf), wp::fmt::Rtf));
    const QTextCharFormat a = formatAt(copy, QStringLiteral("red"));
    EXPECT_TRUE(a.fontItalic());
    EXPECT_TRUE(a.fontUnderline());
    EXPECT_EQ(a.foreground().color(), QColor(255, 0, 0));
    const QTextCharFormat s = formatAt(copy, QStringLiteral("sup"));
    EXPECT_TRUE(s.fontStrikeOut());
    EXPECT_EQ(s.verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_EQ(s.background().color(), QColor(0, 255, 0));
    EXPECT_EQ(s.fontFamilies().toStringList(), QStringList{QStringLiteral("Courier New")});
    EXPECT_EQ(s.fontPointSize(), 9);
    // Small capitals come back as capitals, lowercase letters smaller,
    // and are written as small capitals again.
    const QTextCharFormat sc = formatAt(copy, QStringLiteral("small"));
    EXPECT_EQ(sc.fontCapitalization(), QFont::AllUppercase);
    EXPECT_EQ(wp::docmodel::fileCase(sc), std::make_pair(QFont::SmallCaps, 12.0));
    EXPECT_NEAR(sc.fontPointSize(), 9.6, 0.01);
    const QTextBlock second = copy.document()->firstBlock().next();
    EXPECT_EQ(second.text(), QStringLiteral("tab\there\u2028line"));
    const QTextBlockFormat bf = second.blockFormat();
    EXPECT_EQ(bf.alignment(), Qt::AlignJustify);
    EXPECT_EQ(bf.leftMargin(), 720);
    EXPECT_EQ(bf.rightMargin(), 360);
    EXPECT_EQ(bf.textIndent(), -360);
    EXPECT_EQ(bf.topMargin(), 240);
    EXPECT_EQ(bf.bottomMargin(), 120);
    EXPECT_EQ(bf.lineHeightType(), QTextBlockFormat::ProportionalHeight);
    EXPECT_EQ(bf.lineHeight(), 150);
    const QList<QTextOption::Tab> tabs = wp::docmodel::wordTabs(bf);
    ASSERT_EQ(tabs.size(), 2);
    EXPECT_EQ(tabs[0].position, 96);
    EXPECT_EQ(tabs[1].position, 624);
    EXPECT_EQ(tabs[1].type, QTextOption::RightTab);
    EXPECT_EQ(bf.background().color(), QColor(255, 255, 0));
    EXPECT_EQ(copy.document()->lastBlock().blockFormat().alignment(), Qt::AlignRight);
}

TEST(Rtf, readsWhatOtherWordProcessorsWrite) {
    // Word-like: style sheet, generator, lists, bookmarks, a PAGE field, a
    // MERGEFIELD with switches, a footnote's mark, a table with a vertical
    // merge, \binN.
    const QByteArray data =
        "{\\rtf1\\ansi\\ansicpg1252\\deff0\\deflang1033"
        "{\\fonttbl{\\f0\\froman\\fcharset0\\fprq2{\\*\\panose 02020603050405020304}Times New "
        "Roman;}{\\f1\\fswiss\\fcharset0 Arial;}}\r\n"
        "{\\colortbl;\\red0\\green0\\blue0;\\red255\\green0\\blue0;}\n"
        "{\\stylesheet{\\ql \\snext0 Normal;}{\\*\\cs10 \\additive Default Paragraph Font;}}\n"
        "{\\*\\generator Microsoft Word 16;}{\\info{\\title Resume}{\\author "
        "J\\'f6rg}{\\*\\company ACME}{\\creatim\\yr2024\\mo1\\dy2}{\\doccomm Notes}}"
        "\\paperw11906\\paperh16838\\margl1134\\margr1134\\margt1417\\margb1134"
        "\\sectd\\headery709\\footery567\\titlepg"
        "{\\header \\pard\\plain Page {\\field{\\*\\fldinst PAGE}{\\fldrslt 1}}\\par}"
        "{\\footerf \\pard\\plain First footer\\par}"
        "\\pard\\plain\\qc\\f1\\fs28\\b Title line\\b0\\par"
        "\\pard\\plain {\\*\\bkmkstart here}Dear {\\field{\\*\\fldinst { MERGEFIELD "
        "contact_name \\\\* MERGEFORMAT }}{\\fldrslt {\\cf2 \\'abContact\\'bb}}}, "
        "hello{\\*\\bkmkend here}.{\\super\\chftn}{\\footnote\\pard{\\super\\chftn} A note.}"
        "{\\pict\\wmetafile8 0102ff}\\par"
        "{\\listtext \\'95\\tab}\\pard\\plain Bullet item\\par"
        "\\trowd\\trgaph108\\trleft0\\clvmgf\\clbrdrt\\brdrs\\cellx3000\\cellx6000\n"
        "\\pard\\intbl A1\\cell B1\\cell\\row"
        "\\trowd\\trgaph108\\clvmrg\\cellx3000\\cellx6000\\pard\\intbl \\cell B2\\cell\\row"
        "\\pard\\plain After {\\field{\\*\\fldinst HYPERLINK \"http://x\"}{\\fldrslt link}}"
        "{\\*\\unknowndest skipped {\\b text}}\\unknownword {\\object{\\*\\objdata \\bin3 "
        "{}}x}}\\par"
        "\\page\\pard\\plain Second page}";
    TextControl tx;
    ASSERT_TRUE(tx.LoadFromMemory(data, wp::fmt::Rtf)) << tx.lastError().toStdString();
    const QString text = plain(tx);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Title line\nDear \u00abContact\u00bb, hello.1\n"
                                               "\u2022\tBullet item\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("After link\nSecond page"))) << text.toStdString();

    EXPECT_EQ(tx.PageWidth(), 11906);
    EXPECT_EQ(tx.PageMarginT(), 1417);
    EXPECT_EQ(tx.HeaderFooterPosition(1), 709);
    EXPECT_EQ(tx.HeaderFooterPosition(4), 567);
    EXPECT_EQ(tx.HeaderFooter(),
              wp::hf::Header | wp::hf::FirstPageHeader | wp::hf::FirstPageFooter);
    EXPECT_EQ(tx.headerFooterDocument(wp::hf::Header)->toPlainText(), QStringLiteral("Page 1"));
    EXPECT_EQ(tx.documentProperty(wp::info::Title), QStringLiteral("Resume"));
    EXPECT_EQ(tx.documentProperty(wp::info::Author), QStringLiteral("J\u00f6rg"));
    EXPECT_EQ(tx.documentProperty(wp::info::Company), QStringLiteral("ACME"));
    EXPECT_EQ(tx.documentProperty(wp::info::Comments), QStringLiteral("Notes"));

    // The MERGEFIELD is a field; PAGE and HYPERLINK left their text.
    EXPECT_EQ(fields(tx), QStringList{QStringLiteral("contact_name=\u00abContact\u00bb")});
    EXPECT_EQ(formatAt(tx, QStringLiteral("Contact")).foreground().color(), QColor(255, 0, 0));

    const QTextCharFormat title = formatAt(tx, QStringLiteral("Title"));
    EXPECT_EQ(title.fontWeight(), QFont::Bold);
    EXPECT_EQ(title.fontPointSize(), 14);
    EXPECT_EQ(title.fontFamilies().toStringList(), QStringList{QStringLiteral("Arial")});
    EXPECT_EQ(tx.document()->defaultFont().family(), QStringLiteral("Times New Roman"));

    const auto tables = tableIds(tx);
    ASSERT_EQ(tables.size(), 1);
    QTextTable* t = tx.table(tables.front());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->rows(), 2);
    EXPECT_EQ(t->columns(), 2);
    EXPECT_EQ(t->cellAt(0, 0).rowSpan(), 2);
    EXPECT_EQ(t->cellAt(1, 1).firstCursorPosition().block().text(), QStringLiteral("B2"));
    EXPECT_GT(t->format().border(), 0);
    EXPECT_EQ(tx.document()->lastBlock().blockFormat().pageBreakPolicy(),
              QTextFormat::PageBreak_AlwaysBefore);
}

TEST(Rtf, unicodeAndCodePageCharacters) {
    // What we write: cp1252 as \'hh, the rest as \uN; both read back.
    const char16_t* written = u"\u00e9\u20ac \u4e2d\U0001F600 \u0161";
    TextControl tx;
    tx.setSelText(QString::fromUtf16(written));
    const QByteArray out = tx.SaveToMemory(wp::fmt::Rtf);
    EXPECT_TRUE(out.contains("\\'e9\\'80")) << out.constData();
    EXPECT_TRUE(out.contains("\\u20013?")) << out.constData();
    const std::pair<const char*, const char16_t*> cases[] = {
        // \uN with its fallback skipped (\uc2 skips two), a surrogate pair,
        // cp1252 specials, a cp1250 font and a Shift_JIS font.
        {"{\\rtf1\\ansi\\ansicpg1252{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset238 Arial CE;}"
         "{\\f2\\fcharset128 MS Mincho;}}\\uc2 A\\u20013\\'3f\\'3fB\\uc1\\u-10179?\\u-8704?"
         "C\\'80\\'93x\\'94 {\\f1 \\'9a\\'e8}{\\f2 \\'82\\'a0}\\u233\\'e9}",
         u"A\u4e2dB\U0001F600C\u20ac\u201cx\u201d \u0161\u010d\u3042\u00e9"},
        // Double-byte code pages: a list's bullet byte, a lead byte without
        // its trail, stays apart from the GBK text after it; Big5 likewise.
        {"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}{\\f1\\fcharset134 SimSun;}"
         "{\\f2\\fcharset136 PMingLiU;}}{\\listtext\\f1 \\'b7\\tab}\\f1 \\'c4\\'e3\\'ba\\'c3\\par"
         "\\f2 \\'a4\\'a4\\'a4\\'e5}",
         u"\u00b7\t\u4f60\u597d\n\u4e2d\u6587"},
        // A document code page other than 1252.
        {"{\\rtf1\\ansi\\ansicpg1251 \\'cf\\'f0\\'e8}", u"\u041f\u0440\u0438"},
        // TextEdit's Mac Japanese: code page 10001 and character set 78.
        {"{\\rtf1\\mac\\ansicpg10001{\\fonttbl\\f0\\fcharset78 HiraKakuPro-W3;}"
         "\\f0 \\'82\\'cd\\'82\\'b6}",
         u"\u306f\u3058"},
        {out.constData(), written},
        // Bullets of symbol fonts become Unicode bullets.
        {"{\\rtf1{\\fonttbl{\\f0 Arial;}{\\f3\\fcharset2 Symbol;}{\\f4 Wingdings;}}"
         "{\\listtext\\f3 \\'b7\\tab}A\\par{\\f3 \\u-3913?}B\\par{\\f4 \\'a7\\'fc}C}",
         u"\u2022\tA\n\u2022B\n\u25aa\u2713C"},
    };
    for (const auto& [in, out] : cases) {
        ASSERT_TRUE(tx.LoadFromMemory(in, wp::fmt::Rtf)) << in;
        EXPECT_EQ(plain(tx), QString::fromUtf16(out)) << in;
    }
    // The last case's symbol font bullet is shown in the text's font.
    EXPECT_TRUE(formatAt(tx, QStringLiteral("\u2022B")).fontFamilies().toStringList().isEmpty());
}

TEST(Rtf, malformedAndTruncatedRtfIsRefusedAndChangesNothing) {
    TextControl src;
    buildSample(src);
    const QByteArray good = src.SaveToMemory(wp::fmt::Rtf);
    TextControl tx;
    tx.setSelText(QStringLiteral("keep me"));
    QSignalSpy replaced(&tx, &TextControl::documentReplaced);
    const auto refused = [&](const QByteArray& data) {
        const bool ok = tx.LoadFromMemory(data, wp::fmt::Rtf);
        return !ok && plain(tx) == QStringLiteral("keep me") && !tx.lastError().isEmpty();
    };
    EXPECT_TRUE(refused(QByteArray()));
    EXPECT_TRUE(refused("plain text"));
    EXPECT_TRUE(refused("{\\rtf1 never closed"));
    EXPECT_TRUE(refused("{\\rtf1 {\\bin99999 x}}"));
    EXPECT_TRUE(refused("{\\rtf1 \\'4"));
    EXPECT_TRUE(refused("{\\rtf1 \\"));
    EXPECT_TRUE(refused("{\\rtf1 " + QByteArray(100000, '{') + QByteArray(100000, '}') + "}"));
    // Outlook nests mail bodies thousands deep: ten thousand groups load.
    TextControl scratch;
    ASSERT_TRUE(scratch.LoadFromMemory("{\\rtf1 " + QByteArray(10000, '{') + "\\b mail" +
                                           QByteArray(10000, '}') + " text}",
                                       wp::fmt::Rtf))
        << scratch.lastError().toStdString();
    EXPECT_EQ(plain(scratch), QStringLiteral("mail text"));
    // A short file that asks for a huge table: 500 rows under 256 columns.
    QByteArray wide = "{\\rtf1\\trowd";
    for (int i = 1; i <= 256; ++i)
        wide += "\\cellx" + QByteArray::number(i * 100);
    EXPECT_TRUE(refused(wide + QByteArray("\\intbl x\\cell\\row").repeated(500) + "}"));
    const int cuts[] = {6, 20, 100, int(good.size() / 2), int(good.size()) - 3};
    for (int cut : cuts)
        EXPECT_TRUE(refused(good.left(cut))) << "cut at " << cut;
    EXPECT_EQ(replaced.count(), 0);
    // Odd but complete input loads; what follows the document's group is ignored.
    EXPECT_TRUE(scratch.LoadFromMemory("{\\rtf1 a}}}garbage", wp::fmt::Rtf));
    EXPECT_EQ(plain(scratch), QStringLiteral("a"));
    // Lengths at the ends of the integer range.
    EXPECT_TRUE(scratch.LoadFromMemory("{\\rtf1\\paperw2147483647\\margl2147483647\\trowd"
                                       "\\trleft-2147483647\\cellx2147483647\\intbl a\\cell b"
                                       "\\cell\\row\\li-2147483647 c}",
                                       wp::fmt::Rtf));
    EXPECT_TRUE(scratch.SaveToMemory(wp::fmt::Rtf).startsWith("{\\rtf1"));
    EXPECT_TRUE(tx.LoadFromMemory("{\\rtf1 \\cell\\row\\cell \\trowd\\cellx-5 x\\intbl\\row "
                                  "\\fs-4 \\f99 \\cf99 a\\u-1 \\'zz\\uc99 b}",
                                  wp::fmt::Rtf))
        << tx.lastError().toStdString();
}

TEST(Rtf, libreOfficeReadsOurRtfAndWeReadItsRtf) {
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    WP_REQUIRE_SERVICE(!soffice.isEmpty(), "LibreOffice is not installed");
    TextControl tx;
    buildSample(tx);
    QTemporaryDir dir;
    const QString ours = dir.filePath(QStringLiteral("ours.rtf"));
    ASSERT_TRUE(wptest::writeFile(ours, tx.SaveToMemory(wp::fmt::Rtf)));
    // LibreOffice writes its own RTF from ours, and plain text.
    const QString profile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("profile"))).toString();
    for (const QString& target :
         {QStringLiteral("txt:Text (encoded):UTF8"), QStringLiteral("rtf:Rich Text Format")}) {
        QDir(dir.path()).mkpath(QStringLiteral("out"));
        QProcess p;
        p.start(soffice, {QStringLiteral("-env:UserInstallation=") + profile,
                          QStringLiteral("--headless"), QStringLiteral("--convert-to"), target,
                          QStringLiteral("--outdir"), dir.filePath(QStringLiteral("out")), ours});
        ASSERT_TRUE(p.waitForFinished(180000));
    }
    const QString theirs =
        QString::fromUtf8(wptest::fileBytes(dir.filePath(QStringLiteral("out/ours.txt"))));
    for (const QString& piece :
         {QStringLiteral("Jane Doe"), QStringLiteral("Dear Contact Name, thank you \u00e9\u4e2d"),
          QStringLiteral("cell text"), QStringLiteral("Company"), QStringLiteral("Page two")})
        EXPECT_TRUE(theirs.contains(piece))
            << piece.toStdString() << " in " << theirs.toStdString();

    TextControl copy;
    ASSERT_TRUE(copy.LoadFromMemory(wptest::fileBytes(dir.filePath(QStringLiteral("out/ours.rtf"))),
                                    wp::fmt::Rtf))
        << copy.lastError().toStdString();
    const QString text = plain(copy);
    EXPECT_TRUE(text.contains(QStringLiteral("Dear Contact Name, thank you")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("second paragraph")));
    EXPECT_EQ(fields(copy), (QStringList{QStringLiteral("contact_name=Contact Name"),
                                         QStringLiteral("company=Company")}));
    EXPECT_EQ(tableIds(copy).size(), 1);
    EXPECT_EQ(copy.PageWidth(), 11906);
    EXPECT_EQ(copy.PageMarginL(), 1134);
    EXPECT_EQ(copy.headerFooterDocument(wp::hf::Header)->toPlainText(), QStringLiteral("Header"));
}

TEST(Rtf, tableMergesBackgroundsHeaderRowsAndNestedTables) {
    // Row 1: a horizontal merge (\\clmgf/\\clmrg) over two columns and a
    // coloured cell; row 2 has cells of other widths; row 3 holds a
    // paragraph and a nested table of two cells.
    TextControl tx;
    ASSERT_TRUE(tx.LoadFromMemory(
        "{\\rtf1{\\colortbl;\\red0\\green0\\blue255;}"
        "\\trowd\\trhdr\\trqc\\clmgf\\cellx2000\\clmrg\\cellx4000\\clcbpat1\\cellx6000"
        "\\pard\\intbl wide\\cell\\cell blue\\cell\\row"
        "\\trowd\\cellx3000\\cellx6000\\pard\\intbl left\\cell right\\cell\\row"
        "\\trowd\\cellx6000\\pard\\intbl outer\\par\\itap2 n1\\nestcell n2\\nestcell"
        "{\\*\\nesttableprops\\trowd\\cellx1000\\cellx2000\\nestrow}\\itap1 \\cell\\row"
        "\\pard after}",
        wp::fmt::Rtf))
        << tx.lastError().toStdString();
    ASSERT_EQ(tableIds(tx).size(), 2);
    QTextTable* t = tx.table(tableIds(tx).front());
    ASSERT_NE(t, nullptr);
    // Columns at the boundaries 2000, 3000, 4000 and 6000.
    EXPECT_EQ(t->columns(), 4);
    EXPECT_EQ(t->rows(), 3);
    EXPECT_EQ(t->cellAt(0, 0).columnSpan(), 3);
    EXPECT_EQ(t->cellAt(0, 0).firstCursorPosition().block().text(), QStringLiteral("wide"));
    EXPECT_EQ(t->cellAt(0, 3).format().background().color(), QColor(0, 0, 255));
    EXPECT_EQ(t->cellAt(1, 0).columnSpan(), 2);
    EXPECT_EQ(t->cellAt(1, 2).columnSpan(), 2);
    EXPECT_EQ(t->cellAt(1, 2).firstCursorPosition().block().text(), QStringLiteral("right"));
    EXPECT_EQ(t->cellAt(2, 0).columnSpan(), 4);
    EXPECT_EQ(t->format().headerRowCount(), 1);
    EXPECT_EQ(t->format().alignment(), Qt::AlignHCenter);
    auto expectNested = [](TextControl& doc, QTextTable* outer) {
        EXPECT_EQ(outer->cellAt(2, 0).firstCursorPosition().block().text(),
                  QStringLiteral("outer"));
        QTextTable* nested = doc.table(tableIds(doc).back());
        ASSERT_NE(nested, nullptr);
        EXPECT_EQ(nested->parentFrame(), outer);
        EXPECT_GT(nested->firstPosition(), outer->cellAt(2, 0).firstPosition());
        EXPECT_EQ(nested->rows(), 1);
        ASSERT_EQ(nested->columns(), 2);
        EXPECT_EQ(nested->cellAt(0, 0).firstCursorPosition().block().text(), QStringLiteral("n1"));
        EXPECT_EQ(nested->cellAt(0, 1).firstCursorPosition().block().text(), QStringLiteral("n2"));
        EXPECT_EQ(doc.document()->lastBlock().text(), QStringLiteral("after"));
    };
    expectNested(tx, t);
    // Written and read again, the cells keep their edges; the boundary at
    // 2000 that no cell edge uses any more is gone from the grid.
    TextControl copy;
    ASSERT_TRUE(copy.LoadFromMemory(tx.SaveToMemory(wp::fmt::Rtf), wp::fmt::Rtf));
    QTextTable* c = copy.table(tableIds(copy).front());
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->columns(), 3);
    EXPECT_EQ(c->cellAt(0, 0).columnSpan(), 2);
    EXPECT_EQ(c->cellAt(0, 2).format().background().color(), QColor(0, 0, 255));
    EXPECT_EQ(c->cellAt(1, 1).columnSpan(), 2);
    EXPECT_EQ(c->cellAt(1, 1).firstCursorPosition().block().text(), QStringLiteral("right"));
    EXPECT_EQ(c->cellAt(2, 0).columnSpan(), 3);
    expectNested(copy, c);
    // The native format keeps the nesting too.
    TextControl native;
    ASSERT_TRUE(native.LoadFromMemory(copy.SaveToMemory(wp::fmt::Native), wp::fmt::Native));
    expectNested(native, native.table(tableIds(native).front()));
}
