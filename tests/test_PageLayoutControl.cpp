// The control's page members: PrintZoom, PrintDevice, PrintPage,
// CurrentPages, ViewMode, CurrentInputPosition from the layout, the editing
// view inside the control and PDF export.
#include "document/pages/PageLayout.h"
#include "document/pages/PageView.h"
#include "support/PageSupport.h"
#include "support/TestSupport.h"
#include "support/ToolSupport.h"
#include "wp/Error.h"
#include "wp/TextControl.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

using wp::TextControl;
using namespace wptest;

namespace {

// Shows the control with the focus, as the user has it.
void shown(TextControl& tx) {
    tx.resize(900, 700);
    tx.show();
    tx.activateWindow();
    tx.setFocus();
    QApplication::processEvents();
}

void fill(TextControl& tx, int paragraphs) {
    addParagraphs(tx.document(), paragraphs, QStringLiteral("Paragraph %1"));
}

// Each page's text in the control's PDF (none when the export fails).
QStringList pdfPages(TextControl& tx) {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("pages.pdf"));
    return tx.exportPdf(pdf) ? pdfPageTexts(pdf) : QStringList();
}

// A viewport point on a page of the control's view, given in page twips;
// the view scrolls the page into sight first.
QPoint onSheet(wp::PageView* view, int page, QPointF twips) {
    QScrollBar* bar = view->verticalScrollBar();
    const double s = view->pixelsPerTwip();
    bar->setValue(bar->value() + view->pageOrigin(page).y() + int(twips.y() * s) -
                  view->viewport()->height() / 2);
    return view->pageOrigin(page) + (twips * s).toPoint();
}

// A double-click as the user gives it: a click, then the second press.
void doubleClick(wp::PageView* view, QPoint at) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}

// The darkest grey in a rectangle of the view's viewport.
int darkest(wp::PageView* view, QRect r) {
    const QImage img = view->viewport()->grab().toImage();
    int least = 255;
    r &= img.rect();
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            least = std::min(least, qGray(img.pixel(x, y)));
    return least;
}

// The page layout of the control's editing view.
const wp::PageLayout* layoutOf(TextControl& tx) {
    return qobject_cast<wp::PageView*>(tx.editView())->pageLayout();
}

} // namespace

TEST(TextControlPages, printPageDrawsTheSheetAtPrintZoomAndRefusesWhatItCannotDraw) {
    TextControl tx;
    fill(tx, 100);
    EXPECT_EQ(tx.CurrentPages(), 3);
    EXPECT_EQ(tx.PrintZoom(), 100);
    EXPECT_EQ(tx.ViewMode(), 2);

    auto sheet = [&](qint16 zoom, int page) {
        QImage img(900, 1100, QImage::Format_ARGB32);
        img.fill(0xff404040);
        QPainter p(&img);
        p.translate(10, 20); // the page goes to the painter's origin
        tx.setPrintZoom(zoom);
        tx.setPrintDevice(&p);
        tx.PrintPage(page);
        p.end();
        return inkBox(img, 0xff404040);
    };
    EXPECT_EQ(sheet(100, 1), QRect(10, 20, 816, 1056));
    EXPECT_EQ(sheet(50, 3), QRect(10, 20, 408, 528));
    EXPECT_EQ(sheet(25, 2), QRect(10, 20, 204, 264));
    // A page turned sideways keeps its own size.
    tx.setPageWidth(15840);
    tx.setPageHeight(12240);
    EXPECT_EQ(sheet(50, 1), QRect(10, 20, 528, 408));
    EXPECT_EQ(tx.CurrentPages(), 4);

    QImage img(100, 100, QImage::Format_ARGB32);
    QPainter p(&img);
    tx.setPrintDevice(&p);
    for (int bad : {0, 5, -3})
        EXPECT_EQ(errorOf([&] { tx.PrintPage(bad); }).number, wp::err::SubscriptOutOfRange) << bad;
    EXPECT_TRUE(errorOf([&] { tx.PrintPage(5); }).description.contains(QStringLiteral("5")));
    p.end();
    EXPECT_THROW(tx.PrintPage(1), wp::Error); // the painter no longer paints
    tx.setPrintDevice(nullptr);
    EXPECT_EQ(errorOf([&] { tx.PrintPage(1); }).number, wp::err::ObjectNotSet);
    EXPECT_THROW(tx.setPrintZoom(0), wp::Error);
    EXPECT_THROW(tx.setPrintZoom(-5), wp::Error);
    EXPECT_EQ(tx.PrintZoom(), 50);
}

TEST(TextControlPages, viewModeSwitchesBetweenSheetsAndDraftAndDrawingWorksInBoth) {
    TextControl tx;
    fill(tx, 60);
    shown(tx);
    auto* view = qobject_cast<wp::PageView*>(tx.editView());
    EXPECT_FALSE(view->draft());
    const int gapped = view->pageOrigin(2).y() - view->pageOrigin(1).y();

    const qint16 old = tx.ViewMode();
    tx.setViewMode(0);
    EXPECT_TRUE(view->draft());
    // Draft: the body slices join, so page 2 begins where page 1's text ends.
    const int joined = view->pageOrigin(2).y() - view->pageOrigin(1).y();
    EXPECT_LT(joined, gapped - 100);
    EXPECT_NEAR(joined, view->pageLayout()->sliceHeight(1) * view->pixelsPerTwip(), 1);
    // A click on page 2's second line finds its text.
    tx.setCurrentInputPosition(2, 2, 3);
    const QRect caret = view->caretViewportRect();
    tx.setCurrentInputPosition(2, 2, 8); // same line: the view does not scroll
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, caret.center() + QPoint(1, 0));
    EXPECT_EQ(tx.CurrentInputPosition(), (QList<qint32>{2, 2, 3}));
    keepShot(tx.grab().toImage(), QStringLiteral("control-draft.png"));
    EXPECT_EQ(tx.CurrentPages(), 2);
    QImage img(816, 1056, QImage::Format_ARGB32);
    img.fill(Qt::black);
    QPainter p(&img);
    tx.setPrintDevice(&p);
    tx.setViewMode(2);
    tx.PrintPage(2);
    tx.setViewMode(old);
    p.end();
    EXPECT_EQ(QColor(img.pixel(5, 5)), QColor(Qt::white));
    EXPECT_FALSE(view->draft());
    EXPECT_EQ(view->pageOrigin(2).y() - view->pageOrigin(1).y(), gapped);
    EXPECT_THROW(tx.setViewMode(3), wp::Error);
    EXPECT_THROW(tx.setViewMode(-1), wp::Error);
}

TEST(TextControlPages, inputPositionFollowsTheCaretTypedAcrossAPageBreak) {
    TextControl tx;
    fill(tx, 46);
    shown(tx);
    ASSERT_EQ(tx.CurrentPages(), 1);
    tx.setSelStart(tx.document()->characterCount() - 1);
    EXPECT_EQ(tx.CurrentInputPosition(), (QList<qint32>{1, 46, 12}));

    QWidget* view = tx.editView();
    QTest::keyClick(view, Qt::Key_Return);
    QTest::keyClicks(view, QStringLiteral("Next"));
    EXPECT_EQ(tx.CurrentPages(), 2);
    EXPECT_EQ(tx.CurrentInputPosition(), (QList<qint32>{2, 1, 4}));
    EXPECT_EQ(tx.SelStart(), tx.document()->characterCount() - 1);
    // The view scrolled to the caret on page 2.
    auto* pageView = qobject_cast<wp::PageView*>(view);
    EXPECT_TRUE(pageView->viewport()->rect().contains(pageView->caretViewportRect()));
    QTest::keyClick(view, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(tx.SelLength(), 1);
    EXPECT_EQ(tx.SelText(), QStringLiteral("t"));
    keepShot(tx.grab().toImage(), QStringLiteral("control-typed-page2.png"));

    // The control's caret moves the view's.
    tx.setCurrentInputPosition(1, 1, 0);
    EXPECT_EQ(tx.SelStart(), 0);
    EXPECT_EQ(tx.SelLength(), 0);
    EXPECT_EQ(pageView->textCursor().position(), 0);
    tx.setCurrentInputPosition(2, 1, 2);
    EXPECT_EQ(tx.CurrentInputPosition(), (QList<qint32>{2, 1, 2}));
    EXPECT_THROW(tx.setCurrentInputPosition(3, 1, 0), wp::Error);
    // Typing in the view goes in at the control's caret.
    QTest::keyClicks(view, QStringLiteral("X"));
    EXPECT_EQ(tx.document()->lastBlock().text(), QStringLiteral("NeXxt"));
    // Down from page 1's last line reaches page 2; Backspace at the start of
    // page 2 joins its paragraph to page 1.
    tx.setCurrentInputPosition(1, 46, 2);
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_EQ(tx.CurrentInputPosition()[0], 2);
    tx.setCurrentInputPosition(2, 1, 0);
    QTest::keyClick(view, Qt::Key_Backspace);
    EXPECT_EQ(tx.CurrentPages(), 1);
    EXPECT_EQ(tx.CurrentInputPosition(), (QList<qint32>{1, 46, 12}));
}

TEST(TextControlPages, typingNextToAFieldStaysOutOfItAndTheFieldPointerComesFromTheHandler) {
    TextControl tx;
    QTextCursor c(tx.document());
    c.insertText(QStringLiteral("Dear "));
    tx.setSelStart(5);
    const qint16 id = tx.FieldInsert(QStringLiteral("Contact"), QStringLiteral("contact_name"));
    shown(tx);
    auto* view = qobject_cast<wp::PageView*>(tx.editView());
    QTest::keyClicks(view, QStringLiteral(","));
    EXPECT_EQ(tx.document()->firstBlock().text(), QStringLiteral("Dear Contact,"));
    tx.setFieldCurrent(id);
    EXPECT_EQ(tx.FieldText(), QStringLiteral("Contact"));

    int askedFor = 0;
    QObject::connect(&tx, &TextControl::FieldSetCursor, [&](int fieldId, int& pointer) {
        askedFor = fieldId;
        pointer = 12;
    });
    QTextCursor at(tx.document());
    at.setPosition(8);
    view->setTextCursor(at);
    const QRect caret = view->caretViewportRect();
    QTest::mouseMove(view->viewport(), caret.center());
    EXPECT_EQ(askedFor, id);
    EXPECT_EQ(view->viewport()->cursor().shape(), Qt::ForbiddenCursor);
    // Outside the field the pointer is the text beam again.
    at.setPosition(2);
    view->setTextCursor(at);
    QTest::mouseMove(view->viewport(), view->caretViewportRect().center());
    EXPECT_EQ(view->viewport()->cursor().shape(), Qt::IBeamCursor);
}

TEST(TextControlPages, loadingAnotherDocumentRelaysAndPdfHasTheSamePagesWithHeadersAndFooters) {
    TextControl source;
    fill(source, 150);
    auto put = [&](int flag, const QString& text) {
        QTextCursor(source.headerFooterDocument(flag)).insertText(text);
    };
    put(wp::hf::Header, QStringLiteral("Every page"));
    put(wp::hf::FirstPageHeader, QStringLiteral("Title"));
    put(wp::hf::Footer, QStringLiteral("Footer text"));
    put(wp::hf::FirstPageFooter, QStringLiteral("First foot"));
    source.setHeaderFooter(15);
    source.setHeaderFooterPosition(wp::hf::Header, 400);

    TextControl tx;
    fill(tx, 3);
    ASSERT_TRUE(tx.LoadFromMemory(source.SaveToMemory(wp::fmt::Native), wp::fmt::Native))
        << qPrintable(tx.lastError());
    EXPECT_EQ(tx.CurrentPages(), source.CurrentPages());
    EXPECT_GE(tx.CurrentPages(), 4);
    EXPECT_EQ(tx.CurrentInputPosition(), (QList<qint32>{1, 1, 0}));

    // Each header heads its page and each footer ends it.
    QStringList pages = pdfPages(tx);
    ASSERT_EQ(pages.size(), tx.CurrentPages());
    EXPECT_TRUE(pages[0].trimmed().startsWith(QStringLiteral("Title"))) << qPrintable(pages[0]);
    EXPECT_TRUE(pages[0].trimmed().endsWith(QStringLiteral("First foot")));
    EXPECT_FALSE(pages[0].contains(QStringLiteral("Every page")));
    for (int p = 1; p < pages.size(); ++p) {
        EXPECT_TRUE(pages[p].trimmed().startsWith(QStringLiteral("Every page"))) << p;
        EXPECT_TRUE(pages[p].trimmed().endsWith(QStringLiteral("Footer text"))) << p;
    }
    tx.setHeaderFooter(5);
    pages = pdfPages(tx);
    EXPECT_TRUE(pages[0].trimmed().startsWith(QStringLiteral("Every page")));
    EXPECT_FALSE(pages[0].contains(QStringLiteral("Title")));
    // The header's ink begins at its distance from the top of the sheet.
    QImage sheet(816, 1056, QImage::Format_ARGB32);
    sheet.fill(Qt::white);
    QPainter painter(&sheet);
    tx.setPrintDevice(&painter);
    tx.PrintPage(2);
    painter.end();
    const QRect ink = inkBox(sheet.copy(0, 0, 816, 1440 / 15), 0xffffffff);
    EXPECT_GE(ink.top(), 400 / 15);
    EXPECT_LE(ink.top(), 400 / 15 + 10);
    // Without the flags no page has a header or a footer.
    tx.setHeaderFooter(0);
    for (const QString& page : pdfPages(tx))
        EXPECT_FALSE(page.contains(QRegularExpression(QStringLiteral("Every|Title|oot"))));

    QTemporaryDir dir;
    EXPECT_FALSE(tx.exportPdf(dir.filePath(QStringLiteral("missing/dir/out.pdf"))));
    EXPECT_TRUE(tx.lastPdfError().contains(QStringLiteral("missing/dir/out.pdf")));
}

TEST(TextControlPages, headersEditedInPlaceKeepTheirOwnUndoFollowTheFlagsAndPushTheBodyDown) {
    TextControl tx;
    fill(tx, 100);
    QTextCursor(tx.headerFooterDocument(wp::hf::Header)).insertText(QStringLiteral("Draft"));
    QTextCursor(tx.headerFooterDocument(wp::hf::FirstPageHeader))
        .insertText(QStringLiteral("Title"));
    QTextCursor(tx.headerFooterDocument(wp::hf::Footer)).insertText(QStringLiteral("Foot"));
    QTextCursor(tx.headerFooterDocument(wp::hf::FirstPageFooter))
        .insertText(QStringLiteral("First foot"));
    tx.setHeaderFooter(15);
    shown(tx);
    auto* view = qobject_cast<wp::PageView*>(tx.editView());
    const wp::PageLayout* layout = view->pageLayout();
    // A point on the first line of a page's header or footer.
    auto inArea = [&](int page, bool footer, double dx = 30) {
        const auto place = layout->headerFooterPlace(page, footer);
        return onSheet(view, page, place.origin + QPointF(dx, 120));
    };
    const QString body = tx.document()->toPlainText();
    tx.setSelStart(10);
    QTextDocument* header = tx.headerFooterDocument(wp::hf::Header);

    doubleClick(view, inArea(2, false, 1));
    ASSERT_EQ(tx.editedHeaderFooter(), wp::hf::Header);
    EXPECT_EQ(view->editedArea(), wp::hf::Header);
    EXPECT_EQ(view->editedAreaPage(), 2);
    EXPECT_EQ(tx.SelStart(), 0); // the header's caret, at the click
    // The body is dimmed, the header is not.
    const QRect caret = view->caretViewportRect();
    const double s = view->pixelsPerTwip();
    const QRect bodyText(view->pageOrigin(2) + QPoint(int(1440 * s), int(1500 * s)),
                         QSize(int(2000 * s), int(2000 * s)));
    EXPECT_GE(darkest(view, bodyText), 100);
    EXPECT_LT(darkest(view, caret.adjusted(0, 0, int(600 * s), 0)), 60);

    QTest::keyClicks(view, QStringLiteral("Confidential "));
    EXPECT_EQ(header->toPlainText(), QStringLiteral("Confidential Draft"));
    EXPECT_EQ(tx.SelStart(), 13);
    QTest::keyClick(view, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(tx.SelText(), QStringLiteral("Draft"));
    keepShot(view->grab().toImage(), QStringLiteral("control-header-editing.png"));
    tx.setFormatSelection(true);
    tx.setForeColor(255);
    EXPECT_EQ(QTextCursor(header->findBlockByNumber(0)).block().begin().fragment().text(),
              QStringLiteral("Confidential "));
    EXPECT_EQ(tx.ForeColor(), 255);
    EXPECT_EQ(tx.document()->toPlainText(), body);

    // Undo takes back the header's changes, never the body's.
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(tx.ForeColor(), 0);
    for (int i = 0; i < 20 && header->toPlainText() != QStringLiteral("Draft"); ++i)
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(header->toPlainText(), QStringLiteral("Draft"));
    EXPECT_EQ(tx.document()->toPlainText(), body);
    QTest::keyClick(view, Qt::Key_Home);
    QTest::keyClicks(view, QStringLiteral("Copy "));

    // Escape returns to the body and its caret.
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_EQ(tx.editedHeaderFooter(), 0);
    EXPECT_EQ(view->editedArea(), 0);
    EXPECT_EQ(tx.SelStart(), 10);
    QTest::keyClicks(view, QStringLiteral("X"));
    EXPECT_EQ(tx.document()->firstBlock().text(), QStringLiteral("Paragraph X1"));
    EXPECT_EQ(header->toPlainText(), QStringLiteral("Copy Draft"));
    EXPECT_LT(darkest(view, bodyText), 60);

    // Page 1 has its own header and footer; a tall one pushes the body down.
    const int linesBefore = layout->lineCount(1);
    doubleClick(view, inArea(1, true));
    EXPECT_EQ(tx.editedHeaderFooter(), wp::hf::FirstPageFooter);
    doubleClick(view, inArea(1, false));
    ASSERT_EQ(tx.editedHeaderFooter(), wp::hf::FirstPageHeader);
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(view, Qt::Key_Return);
        QTest::keyClicks(view, QStringLiteral("Address line"));
    }
    // Nine lines below a 720-twip distance pass the 1440-twip margin.
    const double headerBottom =
        720 +
        tx.headerFooterDocument(wp::hf::FirstPageHeader)->documentLayout()->documentSize().height();
    EXPECT_GT(headerBottom, 1440 + 1000);
    EXPECT_DOUBLE_EQ(layout->bodyRect(1).top(), headerBottom);
    EXPECT_DOUBLE_EQ(layout->bodyRect(2).top(), 1440);
    EXPECT_GE(layout->caretRect(0).second.top(), headerBottom);
    EXPECT_LT(layout->lineCount(1), linesBefore - 3);

    // A double-click into the body returns with the caret there.
    const QRectF third = layout->caretRect(layout->positionAt(1, 3, 0)).second;
    doubleClick(view, onSheet(view, 1, third.center() + QPointF(300, 0)));
    EXPECT_EQ(tx.editedHeaderFooter(), 0);
    EXPECT_EQ(tx.CurrentInputPosition()[1], 3);
    EXPECT_EQ(tx.SelLength(), 0);

    // Without header flags the top of a page is the body's: a double-click
    // there selects a word of the body's first line.
    tx.setHeaderFooter(wp::hf::Footer);
    doubleClick(view, onSheet(view, 2, QPointF(1500, 800)));
    EXPECT_EQ(tx.editedHeaderFooter(), 0);
    EXPECT_FALSE(tx.SelText().isEmpty());
    // Flags that take away the edited area end its editing; so does a load.
    doubleClick(view, inArea(2, true));
    ASSERT_EQ(tx.editedHeaderFooter(), wp::hf::Footer);
    EXPECT_THROW(tx.editHeaderFooter(wp::hf::Header), wp::Error);
    tx.setHeaderFooter(wp::hf::Header);
    EXPECT_EQ(tx.editedHeaderFooter(), 0);
    EXPECT_EQ(view->editedArea(), 0);
    tx.editHeaderFooter(wp::hf::Header);
    EXPECT_EQ(view->editedArea(), wp::hf::Header);
    EXPECT_EQ(view->textCursor().document(), tx.headerFooterDocument(wp::hf::Header));
    ASSERT_TRUE(tx.LoadFromMemory(tx.SaveToMemory(wp::fmt::Native), wp::fmt::Native));
    EXPECT_EQ(tx.editedHeaderFooter(), 0);
    EXPECT_EQ(view->editedArea(), 0);
    QTest::keyClicks(view, QStringLiteral("Z"));
    EXPECT_TRUE(tx.document()->firstBlock().text().startsWith(QLatin1Char('Z')));
}

TEST(TextControlPages, rtfSpacingIndentsAndWidowControlLandOnThePage) {
    const QByteArray head = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\fs24";
    // 400 twips after "Five" and 300 before "Six": 700 apart, as a word
    // processor lays it out; written back, each keeps its own.
    const QByteArray rtf = head +
                           "\\pard One\\par\\pard\\sb720\\li720 Two\\par"
                           "\\pard\\sa400 Five\\par\\pard\\sb300 Six\\par\\pard\\keep\\keepn " +
                           QByteArray("Kept lines still wrap at the margin. ").repeated(20) +
                           "\\par}";
    TextControl tx;
    ASSERT_TRUE(tx.LoadFromMemory(rtf, wp::fmt::Rtf)) << qPrintable(tx.lastError());
    const QTextDocument* doc = tx.document();
    auto caret = [&](int block, int offset = 0) {
        return layoutOf(tx)->caretRect(doc->findBlockByNumber(block).position() + offset).second;
    };
    EXPECT_EQ(caret(0).left(), tx.PageMarginL());
    EXPECT_EQ(caret(1).left(), tx.PageMarginL() + 720);
    // A 12-point line is 276 twips; half an inch of space comes before "Two".
    EXPECT_NEAR(caret(1).top() - caret(0).top(), 276 + 720, 2);
    EXPECT_NEAR(caret(3).top() - caret(2).top(), 276 + 700, 2);
    const QByteArray saved = tx.SaveToMemory(wp::fmt::Rtf);
    EXPECT_TRUE(saved.contains("\\sb300")) << saved.constData();
    EXPECT_FALSE(saved.contains("\\sb700")) << saved.constData();
    // A paragraph kept together still wraps into lines.
    const QTextBlock kept = doc->findBlockByNumber(4);
    EXPECT_TRUE(kept.blockFormat().boolProperty(wp::prop::KeepTogether));
    EXPECT_TRUE(kept.blockFormat().boolProperty(wp::prop::KeepWithNext));
    EXPECT_GT(caret(4, kept.length() - 1).top(), caret(4).top() + 1000);

    // A page break that would leave one line of a paragraph alone on either
    // page moves the break; without \widctlpar the page is filled.
    const QByteArray filler = QByteArray("\\pard Filler\\par").repeated(44);
    const QByteArray para =
        QByteArray("Widow and orphan text wraps over three lines here. ").repeated(5);
    for (const bool widows : {true, false}) {
        ASSERT_TRUE(tx.LoadFromMemory(head + filler + "\\pard" + (widows ? "\\widctlpar " : " ") +
                                          para + "\\par}",
                                      wp::fmt::Rtf));
        const wp::PageLayout* l = layoutOf(tx);
        const QTextBlock last = tx.document()->lastBlock();
        ASSERT_GE(last.layout()->lineCount(), 3);
        ASSERT_EQ(l->pageCount(), 2);
        // Two lines fit on page 1; the third would be left alone on page 2.
        EXPECT_EQ(l->pageAndLine(last.position()).first, widows ? 2 : 1);
        EXPECT_EQ(l->pageAndLine(last.position() + last.length() - 1).first, 2);
    }
}
