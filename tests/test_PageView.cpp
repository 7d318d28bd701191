// The editing view on a layout of its own: sheets on a desk, the caret and
// selection following keys and mouse, zoom, Tab in tables. (Typing across a
// page break, draft view and the field pointer: test_PageLayoutControl.)
#include "document/pages/PageLayout.h"
#include "document/pages/PageView.h"
#include "support/PageSupport.h"

#include <QImage>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <gtest/gtest.h>
#include <memory>

using wp::PageLayout;
using wp::PageView;
using wptest::keepShot;

namespace {

struct Fixture {
    QTextDocument doc;
    QTextDocument header;
    PageLayout layout;
    std::unique_ptr<PageView> view;

    explicit Fixture(int paragraphs) {
        doc.setDefaultFont(QFont(QStringLiteral("Liberation Serif"), 12));
        wptest::addParagraphs(&doc, paragraphs, QStringLiteral("Paragraph %1 of the letter"));
        header.setDefaultFont(QFont(QStringLiteral("Liberation Sans"), 10));
        header.setPlainText(QStringLiteral("Jane Doe — curriculum vitae"));
        layout.setDocument(&doc);
        layout.setHeaderFooterDocument(wp::hf::Header, &header);
        wp::PageFormat f;
        f.headerFooter = wp::hf::Header;
        layout.setPageFormat(f);
        view = std::make_unique<PageView>(&layout);
        view->resize(900, 700);
        view->show();
        view->activateWindow();
        view->setFocus();
        QApplication::processEvents();
    }
};

} // namespace

TEST(PageView, keysAndMouseSelectAndTheViewShowsZoomedSheetsOnADesk) {
    Fixture f(120);
    ASSERT_EQ(f.layout.pageCount(), 3);
    int selections = 0;
    QObject::connect(f.view.get(), &PageView::selectionChanged, [&] { ++selections; });
    QTest::keyClick(f.view.get(), Qt::Key_Right, Qt::ShiftModifier);
    QTest::keyClick(f.view.get(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(f.view->textCursor().selectedText(), QStringLiteral("Pa"));
    EXPECT_EQ(selections, 2);
    keepShot(f.view->grab().toImage(), QStringLiteral("pageview-selection.png"));

    // A click on page 2's third line puts the caret there.
    f.view->verticalScrollBar()->setValue(f.view->pageOrigin(2).y() +
                                          f.view->verticalScrollBar()->value() - 20);
    const int target = f.layout.positionAt(2, 3, 4);
    const auto [page, rect] = f.layout.caretRect(target);
    ASSERT_EQ(page, 2);
    const double s = f.view->pixelsPerTwip();
    const QPoint click =
        f.view->pageOrigin(2) + QPoint(int(rect.left() * s) + 1, int(rect.center().y() * s));
    QTest::mouseClick(f.view->viewport(), Qt::LeftButton, {}, click);
    EXPECT_EQ(f.view->textCursor().position(), target);
    EXPECT_FALSE(f.view->textCursor().hasSelection());

    // The sheets: white pages on a grey desk, with a gap between pages.
    const QImage shot = f.view->viewport()->grab().toImage();
    keepShot(shot, QStringLiteral("pageview-pagebreak.png"));
    const QPoint o2 = f.view->pageOrigin(2);
    EXPECT_EQ(QColor(shot.pixel(o2.x() + 5, o2.y() + 5)), QColor(Qt::white));
    EXPECT_EQ(QColor(shot.pixel(o2.x() - 8, o2.y() + 5)), QColor(0x9a, 0x9a, 0x9a));
    if (o2.y() > 10) {
        EXPECT_NE(QColor(shot.pixel(o2.x() + 5, o2.y() - 8)), QColor(Qt::white));
    }

    // Zoom scales the sheets; zero is refused.
    const int w100 = f.view->pageOrigin(2).y() - f.view->pageOrigin(1).y();
    f.view->setZoom(50);
    const int w50 = f.view->pageOrigin(2).y() - f.view->pageOrigin(1).y();
    EXPECT_NEAR(w50 - 16, (w100 - 16) / 2.0, 1);
    f.view->setZoom(0);
    EXPECT_EQ(f.view->zoom(), 50);
}

// Tab in a table goes to the next cell (its text selected, so typing
// replaces it), Shift+Tab back, Tab in the last cell adds a row; outside a
// table Tab is a tab character.
TEST(PageView, tabInATableMovesBetweenCellsAndAddsARowAfterTheLast) {
    Fixture f(1);
    QTextCursor c(&f.doc);
    c.movePosition(QTextCursor::End);
    QTextTable* table = c.insertTable(2, 2);
    f.view->setTextCursor(table->cellAt(0, 0).firstCursorPosition());
    for (const char* text : {"a", "b", "c", "old"}) {
        QTest::keyClicks(f.view.get(), QLatin1String(text));
        QTest::keyClick(f.view.get(), Qt::Key_Tab);
    }
    ASSERT_EQ(table->rows(), 3);
    QTest::keyClicks(f.view.get(), QStringLiteral("e"));
    QTest::keyClick(f.view.get(), Qt::Key_Backtab, Qt::ShiftModifier);
    QTest::keyClicks(f.view.get(), QStringLiteral("d"));
    auto text = [table](int r, int col) {
        return table->cellAt(r, col).firstCursorPosition().block().text();
    };
    EXPECT_EQ(QStringList({text(0, 0), text(0, 1), text(1, 0), text(1, 1), text(2, 0), text(2, 1)}),
              QStringList({"a", "b", "c", "d", "e", ""}));
    // Shift+Tab in the first cell stays there.
    f.view->setTextCursor(table->cellAt(0, 0).firstCursorPosition());
    QTest::keyClick(f.view.get(), Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_EQ(table->cellAt(f.view->textCursor()), table->cellAt(0, 0));
    EXPECT_FALSE(f.doc.toPlainText().contains(u'\t'));

    f.view->setTextCursor(QTextCursor(&f.doc));
    QTest::keyClick(f.view.get(), Qt::Key_Tab);
    EXPECT_TRUE(f.doc.firstBlock().text().startsWith(u'\t'));
}
