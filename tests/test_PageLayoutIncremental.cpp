// Pages worked out again from the page of an edit must be the pages a pass
// over the whole document gives: random edits (fixed seeds) on documents with
// tables that cross pages, paragraphs kept with the next one, widow and
// orphan control, page breaks and page-number headers.
#include "document/TextControlDocument.h"
#include "document/pages/PageLayout.h"
#include "wp/TextControl.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextTable>
#include <gtest/gtest.h>
#include <memory>
#include <random>

using wp::PageFormat;
using wp::PageLayout;
namespace docmodel = wp::docmodel;

namespace {

const QString kWords = QStringLiteral(
    "Managed a team of eleven engineers delivering payment services to four countries, cut "
    "release time from weeks to days and mentored new hires while keeping the load fair ");

// One unit of body text: paragraphs of several kinds and a table, about a
// page long; `rows` makes the table cross pages.
void addUnit(QTextCursor& c, std::mt19937& rng, int rows) {
    auto pick = [&rng](int n) { return int(rng() % unsigned(n)); };
    for (int i = 0; i < 5; ++i) {
        QTextBlockFormat f;
        switch (pick(6)) {
        case 0:
            f.setProperty(wp::prop::KeepWithNext, true);
            break;
        case 1:
            f.setProperty(docmodel::WidowControl, true);
            break;
        case 2:
            f.setProperty(wp::prop::KeepTogether, true);
            break;
        case 3:
            f.setTopMargin(12);
            f.setBottomMargin(6);
            break;
        case 4:
            if (pick(4) == 0)
                f.setPageBreakPolicy(pick(2) ? QTextFormat::PageBreak_AlwaysBefore
                                             : QTextFormat::PageBreak_AlwaysAfter);
            break;
        default:
            break;
        }
        c.insertBlock(f);
        c.insertText(kWords.left(40 + pick(kWords.size() - 40)).repeated(1 + pick(4)));
    }
    QTextTableFormat tf;
    tf.setBorder(1);
    tf.setCellPadding(3);
    tf.setHeaderRowCount(pick(2));
    QTextTable* t = c.insertTable(rows, 3, tf);
    for (int r = 0; r < rows; ++r)
        for (int col = 0; col < 3; ++col)
            t->cellAt(r, col).firstCursorPosition().insertText(
                kWords.left(10 + pick(60)).repeated(1 + pick(2)));
    // Now and then a table in a cell, and two cells of a row merged.
    if (pick(3) == 0)
        t->cellAt(pick(rows), 1).lastCursorPosition().insertTable(2, 2, tf);
    if (rows > 2 && pick(2) == 0)
        t->mergeCells(1 + pick(rows - 2), 0, 2, 1);
    c.movePosition(QTextCursor::End);
}

std::unique_ptr<QTextDocument> headerDoc(const QString& text) {
    auto doc = std::make_unique<QTextDocument>();
    QTextCursor c(doc.get());
    c.insertText(text);
    QTextCharFormat field;
    field.setProperty(docmodel::PageFieldKind, int(docmodel::PageNumber));
    c.insertText(QStringLiteral("1"), field);
    return doc;
}

struct Fixture {
    explicit Fixture(unsigned seed) : rng(seed) {
        body.setDefaultFont(QFont(QStringLiteral("Liberation Serif"), 12));
        QTextCursor c(&body);
        c.insertText(QStringLiteral("Start"));
        for (int u = 0; u < 12; ++u)
            addUnit(c, rng, u % 3 == 0 ? 45 : 4);
        docmodel::addSpaceAfterToNext(&body);
        format.headerFooter = wp::hf::Header | wp::hf::Footer | wp::hf::FirstPageHeader;
        for (PageLayout* l : {&inc, &ref}) {
            l->setDocument(&body);
            l->setPageFormat(format);
            l->setHeaderFooterDocument(wp::hf::Header, header.get());
            l->setHeaderFooterDocument(wp::hf::FirstPageHeader, first.get());
            l->setHeaderFooterDocument(wp::hf::Footer, footer.get());
        }
    }
    int pick(int n) { return n <= 0 ? 0 : int(rng() % unsigned(n)); }
    int anywhere() { return pick(body.characterCount() - 1); }
    int pageStart() { return std::max(0, inc.positionAt(1 + pick(inc.pageCount()), 1, 0)); }

    // The pages both ways: count, and each page's first line, where the
    // page's slice begins, its height and repeated table header.
    ::testing::AssertionResult samePages() {
        ref.invalidate();
        const int n = inc.pageCount();
        if (n != ref.pageCount())
            return ::testing::AssertionFailure()
                   << "pages " << n << " instead of " << ref.pageCount();
        for (int p = 1; p <= n; ++p) {
            const double y = inc.pageToDocument(p, QPointF()).y();
            const double yRef = ref.pageToDocument(p, QPointF()).y();
            if (inc.positionAt(p, 1, 0) != ref.positionAt(p, 1, 0) || std::abs(y - yRef) > 1e-6 ||
                inc.lineCount(p) != ref.lineCount(p) ||
                std::abs(inc.sliceHeight(p) - ref.sliceHeight(p)) > 1e-6 ||
                inc.repeatedHeaderHeight(p) != ref.repeatedHeaderHeight(p))
                return ::testing::AssertionFailure()
                       << "page " << p << " of " << n << " begins at " << inc.positionAt(p, 1, 0)
                       << " (y " << y << ", " << inc.lineCount(p) << " lines) instead of "
                       << ref.positionAt(p, 1, 0) << " (y " << yRef << ", " << ref.lineCount(p)
                       << " lines)";
        }
        const int pos = anywhere();
        if (inc.pageAndLine(pos) != ref.pageAndLine(pos))
            return ::testing::AssertionFailure() << "position " << pos << " on another line";
        return ::testing::AssertionSuccess();
    }

    QString edit() {
        QTextCursor c(&body);
        switch (pick(12)) {
        case 0:
        case 1: {
            c.setPosition(anywhere());
            c.insertText(kWords.left(1 + pick(kWords.size() - 1)));
            return QStringLiteral("insert text at %1").arg(c.position());
        }
        case 2: {
            c.setPosition(pick(2) ? pageStart() : anywhere());
            for (int i = pick(3); i >= 0; --i)
                c.insertBlock();
            return QStringLiteral("paragraph breaks at %1").arg(c.position());
        }
        case 3: {
            // Across a page break.
            const int at = pageStart();
            c.setPosition(std::max(0, at - pick(800)));
            c.setPosition(std::min(body.characterCount() - 1, at + pick(800)),
                          QTextCursor::KeepAnchor);
            c.removeSelectedText();
            return QStringLiteral("delete across the page break at %1").arg(at);
        }
        case 4: {
            if (inc.pageCount() > 40)
                return deleteTable(true);
            // Paste about ten pages.
            QTextDocument clip;
            QTextCursor cc(&clip);
            for (int u = 0; u < 9; ++u)
                addUnit(cc, rng, 5);
            c.setPosition(anywhere());
            c.insertFragment(QTextDocumentFragment(&clip));
            return QStringLiteral("paste at %1").arg(c.position());
        }
        case 5:
            return deleteTable(pick(2) == 0);
        case 6: {
            // The space before (and after) a paragraph.
            c.setPosition(anywhere());
            QTextBlockFormat f = c.blockFormat();
            const double own = f.topMargin() - f.doubleProperty(docmodel::SpaceAbove);
            const double before = pick(3) * 9.0;
            f.setTopMargin(f.topMargin() - own + before);
            if (pick(2))
                f.setBottomMargin(pick(3) * 7.0);
            c.setBlockFormat(f);
            return QStringLiteral("space before %1 at %2").arg(before).arg(c.position());
        }
        case 7: {
            c.setPosition(anywhere());
            QTextBlockFormat f = c.blockFormat();
            f.setProperty(wp::prop::KeepWithNext, !f.boolProperty(wp::prop::KeepWithNext));
            c.setBlockFormat(f);
            return QStringLiteral("keep with next at %1").arg(c.position());
        }
        case 8: {
            // In a table cell.
            const auto tables = docmodel::tables(&body);
            if (tables.empty())
                return QStringLiteral("nothing");
            QTextTable* t = tables[size_t(pick(int(tables.size())))];
            QTextCursor cell = t->cellAt(pick(t->rows()), pick(t->columns())).lastCursorPosition();
            cell.insertText(kWords.left(pick(kWords.size())));
            if (pick(3) == 0)
                cell.insertBlock();
            return QStringLiteral("text in a cell at %1").arg(cell.position());
        }
        case 9: {
            QTextCursor h(pick(2) ? header.get() : footer.get());
            h.movePosition(QTextCursor::End);
            if (pick(2))
                h.insertBlock();
            else
                h.deletePreviousChar();
            // Now and then the body changes before the pages are asked for.
            if (pick(2) == 0) {
                c.setPosition(anywhere());
                c.insertBlock();
                return QStringLiteral("header or footer and a paragraph break");
            }
            return QStringLiteral("header or footer");
        }
        case 10: {
            format.marginT = 1000 + pick(5) * 200;
            format.marginB = 1000 + pick(5) * 200;
            for (PageLayout* l : {&inc, &ref})
                l->setPageFormat(format);
            return QStringLiteral("page format");
        }
        default: {
            body.undo();
            return QStringLiteral("undo");
        }
        }
    }

    QString deleteTable(bool pageLong) {
        for (QTextTable* t : docmodel::tables(&body)) {
            if (t->parentFrame() != body.rootFrame() || (pageLong && t->rows() < 30))
                continue;
            QTextCursor c(&body);
            c.setPosition(t->firstPosition() - 1);
            c.setPosition(t->lastPosition() + 1, QTextCursor::KeepAnchor);
            c.removeSelectedText();
            return QStringLiteral("delete a table at %1").arg(c.position());
        }
        return QStringLiteral("no table to delete");
    }

    std::mt19937 rng;
    QTextDocument body;
    PageFormat format;
    std::unique_ptr<QTextDocument> header = headerDoc(QStringLiteral("Page "));
    std::unique_ptr<QTextDocument> first = headerDoc(QStringLiteral("First page "));
    std::unique_ptr<QTextDocument> footer = headerDoc(QStringLiteral("Footer "));
    PageLayout inc, ref;
};

} // namespace

TEST(PageLayoutIncremental, randomEditsGiveThePagesOfAWholePass) {
    for (unsigned seed : {11u, 23u, 57u}) {
        Fixture f(seed);
        ASSERT_TRUE(f.samePages()) << "seed " << seed << " before any edit";
        const int fullBefore = f.inc.fullPasses();
        int formatChanges = 0;
        for (int i = 0; i < 120; ++i) {
            const QString what = f.edit();
            formatChanges += what == QStringLiteral("page format");
            ASSERT_TRUE(f.samePages())
                << "seed " << seed << ", edit " << i << ": " << what.toStdString();
        }
        // The edits were followed from their page, not by starting over.
        EXPECT_GT(f.inc.partialPasses(), 60) << "seed " << seed;
        EXPECT_LE(f.inc.fullPasses() - fullBefore, formatChanges + 5) << "seed " << seed;
    }
}

TEST(PageLayoutIncremental, spacingCarriedForThePreviousParagraphFollowsEdits) {
    QTextDocument doc;
    QTextCursor c(&doc);
    c.insertText(QStringLiteral("first"));
    QTextBlockFormat second;
    second.setTopMargin(4);
    c.insertBlock(second);
    c.insertText(QStringLiteral("second"));
    QTextBlockFormat f = doc.begin().blockFormat();
    f.setBottomMargin(10);
    c.setPosition(0);
    c.setBlockFormat(f);
    docmodel::addSpaceAfterToNext(&doc);
    PageLayout layout;
    layout.setDocument(&doc);
    auto spacing = [&doc](int block) {
        const QTextBlockFormat b = doc.findBlockByNumber(block).blockFormat();
        return std::make_pair(b.topMargin(), b.doubleProperty(docmodel::SpaceAbove));
    };
    ASSERT_EQ(spacing(1), std::make_pair(14.0, 10.0));

    // More space after the first paragraph: the second carries the new sum.
    f.setBottomMargin(20);
    c.setBlockFormat(f);
    EXPECT_EQ(spacing(1), std::make_pair(24.0, 20.0));
    // Splitting the first: its second half follows it with the same spacing.
    c.setPosition(3);
    c.insertBlock();
    EXPECT_EQ(spacing(1), std::make_pair(20.0, 20.0));
    EXPECT_EQ(spacing(2), std::make_pair(24.0, 20.0));
    // Joining them again, and undoing each step, gives the spacing back.
    c.deletePreviousChar();
    EXPECT_EQ(spacing(1), std::make_pair(24.0, 20.0));
    doc.undo();
    doc.undo();
    EXPECT_EQ(doc.blockCount(), 2);
    EXPECT_EQ(spacing(1), std::make_pair(24.0, 20.0));
    doc.undo();
    EXPECT_EQ(spacing(1), std::make_pair(14.0, 10.0));
    // A paragraph that now follows a table carries nothing for it.
    c.setPosition(doc.findBlockByNumber(1).position());
    c.insertTable(1, 1);
    EXPECT_EQ(spacing(1), std::make_pair(14.0, 10.0));
    EXPECT_EQ(spacing(doc.blockCount() - 1).second, 0.0);
}
