// Pagination in twips: page breaks, table rows, headers and footers, and the
// same pages on every device the pages are drawn on.
#include "document/pages/PageLayout.h"
#include "support/PageSupport.h"
#include "support/ToolSupport.h"
#include "wp/Error.h"
#include "wp/TextControl.h"

#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <gtest/gtest.h>
#include <memory>

using wp::PageFormat;
using wp::PageLayout;
using namespace wptest;

namespace {

std::unique_ptr<QTextDocument> paragraphs(int n, const QString& prefix = QStringLiteral("Line")) {
    auto doc = std::make_unique<QTextDocument>();
    doc->setDefaultFont(QFont(QStringLiteral("Liberation Serif"), 12));
    addParagraphs(doc.get(), n, prefix + QStringLiteral(" %1"));
    return doc;
}

QImage drawn(const PageLayout& layout, int page, double zoom, QRgb background = 0xff808080) {
    const QSizeF size = layout.pageSize() * zoom / 100.0 * 96.0 / 1440.0;
    QImage img(int(size.width()) + 20, int(size.height()) + 20, QImage::Format_ARGB32);
    img.fill(background);
    QPainter p(&img);
    layout.drawPage(&p, page, zoom);
    return img;
}

// Each page's text, as laid out, of a PDF of the layout's pages.
QStringList pdfPages(const PageLayout& layout) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pages.pdf"));
    QPdfWriter writer(path);
    writer.setResolution(1200);
    writer.setPageSize(
        QPageSize(layout.pageSize() / 1440.0, QPageSize::Inch, QString(), QPageSize::ExactMatch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter p(&writer);
    for (int page = 1; page <= layout.pageCount(); ++page) {
        if (page > 1)
            writer.newPage();
        layout.drawPage(&p, page, 100);
    }
    p.end();
    return pdfPageTexts(path, true);
}

} // namespace

TEST(PageLayout, breaksBetweenLinesAndKeepsTheSamePagesOnEveryDevice) {
    auto doc = paragraphs(300);
    PageLayout layout;
    layout.setDocument(doc.get());
    const int pages = layout.pageCount();
    ASSERT_GT(pages, 5);
    // Every line is on one page, in order, and every page's text stays
    // inside the body area.
    QStringList lines, expected;
    for (int p = 1; p <= pages; ++p) {
        for (int l = 1; l <= layout.lineCount(p); ++l)
            lines << layout.lineText(p, l);
        EXPECT_LE(layout.lineCount(p) * 200, layout.bodyRect(p).height() + 1);
    }
    for (int i = 1; i <= 300; ++i)
        expected << QStringLiteral("Line %1").arg(i);
    EXPECT_EQ(lines, expected);

    // Drawing at any zoom draws the same slice: the ink of a page scales
    // with the zoom and the pagination is untouched.
    for (int p : {1, pages}) {
        const QRect ink100 = inkBox(drawn(layout, p, 100, 0xffffffff), 0xffffffff);
        ASSERT_FALSE(ink100.isNull());
        for (const double zoom : {50.0, 200.0}) {
            const QRect ink = inkBox(drawn(layout, p, zoom, 0xffffffff), 0xffffffff);
            // Two pixels of rounding at half size, more when enlarged.
            EXPECT_NEAR(ink.top(), ink100.top() * zoom / 100, 2 + (zoom - 50) / 150) << zoom;
            EXPECT_NEAR(ink.bottom(), ink100.bottom() * zoom / 100, 2 + (zoom - 50) / 75) << zoom;
        }
    }
}

TEST(PageLayout, pageSizeAndMarginsDecideThePagesEvenWhenTheyLeaveNoBody) {
    auto doc = paragraphs(120);
    PageLayout layout;
    layout.setDocument(doc.get());
    EXPECT_EQ(layout.pageCount(), 3); // 46 lines of 276 twips a Letter page
    PageFormat small;
    small.width = 8000;
    small.height = 8000;
    small.marginT = small.marginB = 1000;
    layout.setPageFormat(small);
    EXPECT_EQ(layout.pageCount(), 6); // 21 a small page
    EXPECT_EQ(layout.bodyRect(1), QRectF(1440, 1000, 8000 - 2880, 6000));
    // A text width below one twip does not hang the layout.
    PageFormat silly = small;
    silly.marginL = silly.marginR = 5000;
    layout.setPageFormat(silly);
    EXPECT_GE(layout.pageCount(), 1);

    // Margins that leave no body still give each page a line.
    doc = paragraphs(10);
    QTextDocument header;
    header.setPlainText(QStringLiteral("Header"));
    layout.setDocument(doc.get());
    PageFormat tall;
    tall.marginT = tall.marginB = 7920; // 5.5 inches each on an 11-inch page
    layout.setPageFormat(tall);
    // Never more pages than lines; each page shows a whole line of text.
    EXPECT_LE(layout.pageCount(), 10);
    EXPECT_EQ(layout.lineText(1, 1), QStringLiteral("Line 1"));
    const QRectF body = layout.bodyRect(1);
    EXPECT_GE(body.height(), 240);
    EXPECT_GE(body.top(), 0);
    EXPECT_LE(body.bottom(), tall.height);
    // A header distance below the sheet's foot, a footer above its head.
    PageFormat hf = tall;
    hf.marginT = hf.marginB = 720;
    hf.headerPosition = hf.footerPosition = 20000;
    hf.headerFooter = wp::hf::Header | wp::hf::Footer;
    layout.setHeaderFooterDocument(wp::hf::Header, &header);
    layout.setHeaderFooterDocument(wp::hf::Footer, &header);
    layout.setPageFormat(hf);
    EXPECT_LE(layout.pageCount(), 10);
    int lines = 0;
    for (int p = 1; p <= layout.pageCount(); ++p)
        lines += layout.lineCount(p);
    EXPECT_EQ(lines, 10);

    // An emptied document keeps one blank page, and so does a destroyed one.
    doc->setPlainText(QString());
    EXPECT_EQ(layout.pageCount(), 1);
    EXPECT_EQ(layout.lineCount(1), 1);
    doc.reset();
    EXPECT_EQ(layout.pageCount(), 1);
    EXPECT_NO_THROW(drawn(layout, 1, 100));
}

TEST(PageLayout, explicitPageBreaksStartANewPage) {
    auto doc = paragraphs(6);
    auto setBreak = [&doc](int block, QTextFormat::PageBreakFlags policy) {
        QTextBlockFormat f;
        f.setPageBreakPolicy(policy);
        QTextCursor(doc->findBlockByNumber(block)).mergeBlockFormat(f);
    };
    setBreak(3, QTextFormat::PageBreak_AlwaysBefore);
    setBreak(4, QTextFormat::PageBreak_AlwaysAfter);
    PageLayout layout;
    layout.setDocument(doc.get());
    ASSERT_EQ(layout.pageCount(), 3);
    EXPECT_EQ(layout.lineText(1, layout.lineCount(1)), QStringLiteral("Line 3"));
    EXPECT_EQ(layout.lineText(2, 1), QStringLiteral("Line 4"));
    EXPECT_EQ(layout.lineText(3, 1), QStringLiteral("Line 6"));
    // A paragraph kept together moves to the next page whole, and so does
    // a heading kept with the paragraph after it.
    {
        auto kept = paragraphs(44);
        QTextCursor k(kept.get());
        k.movePosition(QTextCursor::End);
        QTextBlockFormat keep;
        keep.setProperty(wp::prop::KeepTogether, true);
        k.insertBlock(keep);
        k.insertText(
            QStringLiteral("One two three four five six seven eight nine ten ").repeated(12));
        PageLayout kl;
        kl.setDocument(kept.get());
        const int pos = kept->lastBlock().position();
        EXPECT_EQ(kl.pageAndLine(pos), std::make_pair(2, 1));
        EXPECT_GE(kl.lineCount(2), 5); // still wrapped into lines
        EXPECT_EQ(kl.lineText(1, kl.lineCount(1)), QStringLiteral("Line 44"));
        keep.setProperty(wp::prop::KeepTogether, false);
        k.setBlockFormat(keep);
        EXPECT_EQ(kl.pageAndLine(pos), std::make_pair(1, 45));

        QTextBlockFormat withNext;
        withNext.setProperty(wp::prop::KeepWithNext, true);
        QTextCursor(kept->findBlockByNumber(43)).setBlockFormat(withNext);
        EXPECT_EQ(kl.pageAndLine(pos), std::make_pair(1, 45));
        keep.setProperty(wp::prop::KeepTogether, true);
        k.setBlockFormat(keep);
        // "Line 44" now goes with the kept paragraph onto page 2.
        EXPECT_EQ(kl.lineText(2, 1), QStringLiteral("Line 44"));
        EXPECT_EQ(kl.lineText(1, kl.lineCount(1)), QStringLiteral("Line 43"));
    }
    // Removing the break brings the text back.
    setBreak(3, QTextFormat::PageBreak_Auto);
    EXPECT_EQ(layout.pageCount(), 2);
}

TEST(PageLayout, tablesBreakBetweenRowsNeverInsideOne) {
    auto doc = paragraphs(30, QStringLiteral("Intro"));
    QTextCursor c(doc.get());
    c.movePosition(QTextCursor::End);
    QTextTableFormat tf;
    tf.setBorder(1);
    tf.setCellPadding(4);
    tf.setCellSpacing(0);
    tf.setBorderCollapse(true);
    const int rows = 40;
    QTextTable* table = c.insertTable(rows, 2, tf);
    for (int r = 0; r < rows; ++r) {
        table->cellAt(r, 0).firstCursorPosition().insertText(QStringLiteral("Row %1").arg(r));
        // Rows of three lines, so that a row met by the page end would split.
        table->cellAt(r, 1).firstCursorPosition().insertText(
            QStringLiteral("first\nsecond\nthird of %1").arg(r));
    }
    PageLayout layout;
    layout.setDocument(doc.get());
    ASSERT_GE(layout.pageCount(), 3);
    int lastRowOnPage = -1;
    for (int r = 0; r < rows; ++r) {
        const int page0 = layout.pageAndLine(table->cellAt(r, 0).firstPosition()).first;
        const int page1 = layout.pageAndLine(table->cellAt(r, 1).firstPosition()).first;
        const int page2 = layout.pageAndLine(table->cellAt(r, 1).lastPosition()).first;
        EXPECT_EQ(page0, page1) << "row " << r;
        EXPECT_EQ(page1, page2) << "row " << r;
        EXPECT_GE(page0, lastRowOnPage);
        lastRowOnPage = page0;
    }
    // Page 2 starts with a whole row: its first line is a row's first cell.
    auto rowOpeningPage2 = [&] {
        for (int r = 0; r < rows; ++r)
            if (layout.pageAndLine(table->cellAt(r, 0).firstPosition()) == std::make_pair(2, 1))
                return r;
        return -1;
    };
    EXPECT_GE(rowOpeningPage2(), 1);

    // With a header row, every page the table goes on to starts with it; on
    // every page the last row's bottom border stays above the bottom margin.
    tf.setHeaderRowCount(1);
    table->setFormat(tf);
    const QStringList texts = pdfPages(layout);
    for (int p = 1; p <= texts.size(); ++p) {
        const QString first = texts[p - 1].trimmed().section(QLatin1Char('\n'), 0, 0);
        EXPECT_TRUE(p == 1 || first.startsWith(QStringLiteral("Row 0"))) << p << qPrintable(first);
        const QImage page = drawn(layout, p, 100, 0xffffffff);
        EXPECT_LE(inkBox(page, 0xffffffff).bottom(), (15840 - 1440) / 15 + 1) << p;
        keepShot(page, QStringLiteral("table-page%1.png").arg(p));
    }
    // A click on the repeated header lands on the page's first row, and the
    // first row's caret sits below the repeated header.
    const int row = rowOpeningPage2();
    ASSERT_GT(row, 0);
    const auto caret = layout.caretRect(table->cellAt(row, 0).firstPosition());
    EXPECT_EQ(caret.first, 2);
    // Below the three-line header row.
    EXPECT_GT(caret.second.top(), layout.bodyRect(2).top() + 3 * 276);
    EXPECT_EQ(layout.hitTest(caret.first, caret.second.center() + QPointF(1, 0)),
              table->cellAt(row, 0).firstPosition());
}

TEST(PageLayout, aRowTallerThanAPageIsCutAcrossPages) {
    auto doc = paragraphs(3);
    QTextCursor c(doc.get());
    c.movePosition(QTextCursor::End);
    QTextTable* table = c.insertTable(2, 2);
    QStringList lines;
    for (int i = 1; i <= 120; ++i)
        lines << QStringLiteral("cell line %1").arg(i);
    table->cellAt(0, 1).firstCursorPosition().insertText(lines.join(QLatin1Char('\n')));
    table->cellAt(1, 0).firstCursorPosition().insertText(QStringLiteral("after"));
    PageLayout layout;
    layout.setDocument(doc.get());
    ASSERT_GE(layout.pageCount(), 3);
    // Every line is on exactly one page, and no page draws below its body.
    int total = 0;
    for (int p = 1; p <= layout.pageCount(); ++p) {
        total += layout.lineCount(p);
        const QRect ink = inkBox(drawn(layout, p, 100, 0xffffffff), 0xffffffff);
        EXPECT_LE(ink.bottom(), layout.bodyRect(p).bottom() / 15 + 1) << p;
    }
    EXPECT_EQ(total, 3 + 1 + 120 + 1 + 1 + 1); // paragraphs, four cells, the block after
    EXPECT_EQ(layout.pageAndLine(table->cellAt(1, 0).firstPosition()).first, layout.pageCount());
}

TEST(PageLayout, positionsMapToPageAndLineAndBack) {
    auto doc = std::make_unique<QTextDocument>();
    doc->setDefaultFont(QFont(QStringLiteral("Liberation Serif"), 12));
    QString text;
    for (int i = 0; i < 60; ++i)
        text += QStringLiteral("A longer paragraph that wraps over more than one line of the page "
                               "so that line numbers and page numbers both matter here. %1\n")
                    .arg(i);
    doc->setPlainText(text);
    PageLayout layout;
    layout.setDocument(doc.get());
    ASSERT_GE(layout.pageCount(), 2);
    EXPECT_EQ(layout.pageAndLine(0), std::make_pair(1, 1));
    EXPECT_EQ(layout.positionAt(1, 1, 0), 0);
    for (int p = 1; p <= layout.pageCount(); ++p) {
        for (int l = 1; l <= layout.lineCount(p); ++l) {
            const int pos = layout.positionAt(p, l, 3);
            ASSERT_GE(pos, 0);
            EXPECT_EQ(layout.pageAndLine(pos), std::make_pair(p, l));
            // The caret of that position is drawn on the same page, and a
            // click on the caret finds the position again.
            const auto caret = layout.caretRect(pos);
            EXPECT_EQ(caret.first, p);
            EXPECT_EQ(layout.hitTest(p, caret.second.center() + QPointF(1, 0)), pos);
        }
    }
    EXPECT_EQ(layout.positionAt(1, 0, 0), -1);
    EXPECT_EQ(layout.positionAt(layout.pageCount() + 1, 1, 0), -1);
    EXPECT_EQ(layout.positionAt(1, layout.lineCount(1) + 1, 0), -1);
    // A column beyond the line's end stays on that line.
    const int end = layout.positionAt(1, 1, 10000);
    EXPECT_EQ(layout.pageAndLine(end), std::make_pair(1, 1));
    // A click in the left margin goes to the start of that line.
    const QRectF body = layout.bodyRect(1);
    EXPECT_EQ(layout.hitTest(1, QPointF(100, body.top() + 10)), 0);
}
