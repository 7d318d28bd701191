// The control's page members: PrintZoom, PrintDevice, PrintPage,
// CurrentPages, ViewMode, CurrentInputPosition from the layout, the editing
// view inside the control and PDF export.
#include "document/pages/PageLayout.h"
#include "document/pages/PageView.h"
#include "wp/Error.h"
#include "wp/TextControl.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

using wp::TextControl;

namespace {

void fill(TextControl& tx, int paragraphs) {
    QTextCursor c(tx.document());
    for (int i = 1; i <= paragraphs; ++i) {
        if (i > 1)
            c.insertBlock();
        c.insertText(QStringLiteral("Paragraph %1").arg(i));
    }
}

QRect inkBox(const QImage& img, QRgb background) {
    int left = img.width(), top = img.height(), right = -1, bottom = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (img.pixel(x, y) != background) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

QString pdfText(const QString& pdf, int page) {
    QProcess proc;
    proc.start(QStringLiteral("pdftotext"),
               {QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                QString::number(page), pdf, QStringLiteral("-")});
    proc.waitForFinished(30000);
    return QString::fromUtf8(proc.readAllStandardOutput());
}

int pdfPageCount(const QString& pdf) {
    QProcess proc;
    proc.start(QStringLiteral("pdfinfo"), {pdf});
    proc.waitForFinished(30000);
    for (const QString& line : QString::fromUtf8(proc.readAllStandardOutput()).split('\n'))
        if (line.startsWith(QStringLiteral("Pages:")))
            return line.mid(6).trimmed().toInt();
    return -1;
}

void keepShot(const QImage& img, const QString& name) {
    const QString dir = qEnvironmentVariable("WP_SHOTS");
    if (!dir.isEmpty())
        img.save(dir + QLatin1Char('/') + name);
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
    for (int bad : {0, 5, -3}) {
        try {
            tx.PrintPage(bad);
            ADD_FAILURE() << bad;
        } catch (const wp::Error& e) {
            EXPECT_EQ(e.number, wp::err::SubscriptOutOfRange);
        }
    }
    tx.setPrintDevice(nullptr);
    try {
        tx.PrintPage(1);
        ADD_FAILURE();
    } catch (const wp::Error& e) {
        EXPECT_EQ(e.number, wp::err::ObjectNotSet);
    }
    EXPECT_THROW(tx.setPrintZoom(0), wp::Error);
    EXPECT_THROW(tx.setPrintZoom(-5), wp::Error);
    EXPECT_EQ(tx.PrintZoom(), 50);
}

TEST(TextControlPages, viewModeSwitchesBetweenSheetsAndDraftAndDrawingWorksInBoth) {
    TextControl tx;
    fill(tx, 60);
    tx.resize(900, 700);
    tx.show();
    QApplication::processEvents();
    auto* view = qobject_cast<wp::PageView*>(tx.editView());
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->draft());
    const int gapped = view->pageOrigin(2).y() - view->pageOrigin(1).y();

    const qint16 old = tx.ViewMode();
    tx.setViewMode(0);
    EXPECT_TRUE(view->draft());
    // Draft: the body slices join, so page 2 begins where page 1's text ends.
    const int joined = view->pageOrigin(2).y() - view->pageOrigin(1).y();
    EXPECT_LT(joined, gapped - 100);
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
    tx.resize(900, 700);
    tx.show();
    tx.activateWindow();
    tx.setFocus();
    QApplication::processEvents();
    ASSERT_EQ(tx.CurrentPages(), 1);
    tx.setSelStart(tx.document()->characterCount() - 1);
    EXPECT_EQ(tx.CurrentInputPosition(), (QList<qint32>{1, 46, 12}));

    QWidget* view = tx.editView();
    QTest::keyClick(view, Qt::Key_Return);
    QTest::keyClicks(view, QStringLiteral("Next"));
    EXPECT_EQ(tx.CurrentPages(), 2);
    EXPECT_EQ(tx.CurrentInputPosition(), (QList<qint32>{2, 1, 4}));
    EXPECT_EQ(tx.SelStart(), tx.document()->characterCount() - 1);
    QTest::keyClick(view, Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_EQ(tx.SelLength(), 1);
    EXPECT_EQ(tx.SelText(), QStringLiteral("t"));
    keepShot(tx.grab().toImage(), QStringLiteral("control-typed-page2.png"));

    // The control's caret moves the view's.
    tx.setCurrentInputPosition(1, 1, 0);
    EXPECT_EQ(tx.SelStart(), 0);
    EXPECT_EQ(tx.SelLength(), 0);
    EXPECT_EQ(qobject_cast<wp::PageView*>(view)->textCursor().position(), 0);
    tx.setCurrentInputPosition(2, 1, 2);
    EXPECT_EQ(tx.SelText(), QString());
    EXPECT_EQ(tx.CurrentInputPosition(), (QList<qint32>{2, 1, 2}));
    EXPECT_THROW(tx.setCurrentInputPosition(3, 1, 0), wp::Error);
    // Typing in the view goes in at the control's caret.
    QTest::keyClicks(view, QStringLiteral("X"));
    EXPECT_EQ(tx.document()->lastBlock().text(), QStringLiteral("NeXxt"));
}

TEST(TextControlPages, typingNextToAFieldStaysOutOfItAndTheFieldPointerComesFromTheHandler) {
    TextControl tx;
    QTextCursor c(tx.document());
    c.insertText(QStringLiteral("Dear "));
    tx.setSelStart(5);
    const qint16 id = tx.FieldInsert(QStringLiteral("Contact"), QStringLiteral("contact_name"));
    ASSERT_NE(id, 0);
    tx.resize(900, 700);
    tx.show();
    tx.activateWindow();
    tx.setFocus();
    QApplication::processEvents();
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
    EXPECT_EQ(tx.CurrentPages(), 1);
    ASSERT_TRUE(tx.LoadFromMemory(source.SaveToMemory(wp::fmt::Native), wp::fmt::Native))
        << qPrintable(tx.lastError());
    EXPECT_EQ(tx.CurrentPages(), source.CurrentPages());
    EXPECT_GE(tx.CurrentPages(), 4);
    EXPECT_EQ(tx.CurrentInputPosition(), (QList<qint32>{1, 1, 0}));

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
    ASSERT_TRUE(tx.exportPdf(pdf));
    ASSERT_EQ(pdfPageCount(pdf), tx.CurrentPages());
    EXPECT_TRUE(pdfText(pdf, 1).contains(QStringLiteral("Title")));
    EXPECT_TRUE(pdfText(pdf, 1).contains(QStringLiteral("First foot")));
    EXPECT_FALSE(pdfText(pdf, 1).contains(QStringLiteral("Every page")));
    for (int p = 2; p <= tx.CurrentPages(); ++p) {
        EXPECT_TRUE(pdfText(pdf, p).contains(QStringLiteral("Every page"))) << p;
        EXPECT_TRUE(pdfText(pdf, p).contains(QStringLiteral("Footer text"))) << p;
    }
    tx.setHeaderFooter(5);
    ASSERT_TRUE(tx.exportPdf(pdf));
    EXPECT_TRUE(pdfText(pdf, 1).contains(QStringLiteral("Every page")));
    EXPECT_FALSE(pdfText(pdf, 1).contains(QStringLiteral("Title")));
    EXPECT_EQ(tx.PrintZoom(), 100);

    EXPECT_FALSE(tx.exportPdf(dir.filePath(QStringLiteral("missing/dir/out.pdf"))));
    EXPECT_TRUE(tx.lastPdfError().contains(QStringLiteral("missing/dir/out.pdf")));

    // A sideways page stays sideways in the PDF.
    tx.setPageWidth(15840);
    tx.setPageHeight(12240);
    ASSERT_TRUE(tx.exportPdf(pdf));
    EXPECT_EQ(pdfPageCount(pdf), tx.CurrentPages());
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {pdf});
    info.waitForFinished(30000);
    EXPECT_TRUE(
        QString::fromUtf8(info.readAllStandardOutput()).contains(QStringLiteral("792 x 612")));
}

TEST(TextControlPages, rtfSpacingAndIndentsLandAtTheirTwipsOnThePage) {
    TextControl tx;
    const QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}"
                           "\\pard\\fs24 One\\par\\pard\\sb720\\li720 Two\\par"
                           "\\pard\\sl-600\\slmult0 Three\\par\\pard\\sl-600\\slmult0 Four\\par"
                           "\\pard\\keep\\keepn " +
                           QByteArray("Kept lines still wrap at the margin. ").repeated(20) +
                           "\\par}";
    ASSERT_TRUE(tx.LoadFromMemory(rtf, wp::fmt::Rtf)) << qPrintable(tx.lastError());
    auto* view = qobject_cast<wp::PageView*>(tx.editView());
    const wp::PageLayout* layout = view->pageLayout();
    const QTextDocument* doc = tx.document();
    const QRectF one = layout->caretRect(doc->findBlockByNumber(0).position()).second;
    const QRectF two = layout->caretRect(doc->findBlockByNumber(1).position()).second;
    const QRectF three = layout->caretRect(doc->findBlockByNumber(2).position()).second;
    EXPECT_EQ(one.left(), tx.PageMarginL());
    EXPECT_EQ(two.left(), tx.PageMarginL() + 720);
    // A 12-point line is 276 twips; half an inch of space comes before "Two".
    EXPECT_NEAR(two.top() - one.top(), 276 + 720, 2);
    // Exact line heights of 600 twips.
    const QRectF four = layout->caretRect(doc->findBlockByNumber(3).position()).second;
    EXPECT_NEAR(four.top() - three.top(), 600, 2);
    // A paragraph kept together still wraps into lines.
    const QTextBlock kept = doc->findBlockByNumber(4);
    EXPECT_TRUE(kept.blockFormat().boolProperty(wp::prop::KeepTogether));
    EXPECT_TRUE(kept.blockFormat().boolProperty(wp::prop::KeepWithNext));
    EXPECT_GT(layout->caretRect(kept.position() + kept.length() - 1).second.top(),
              layout->caretRect(kept.position()).second.top() + 1000);
}

TEST(TextControlPages, rtfSpaceAddsUpWritesBackAndWidowsMoveWithTheirParagraph) {
    TextControl tx;
    // 400 twips after "One" and 300 before "Two": 700 apart, as a word
    // processor lays it out; written back, each keeps its own.
    const QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}"
                           "\\pard\\fs24\\sa400 One\\par\\pard\\sb300 Two\\par}";
    ASSERT_TRUE(tx.LoadFromMemory(rtf, wp::fmt::Rtf)) << qPrintable(tx.lastError());
    auto* view = qobject_cast<wp::PageView*>(tx.editView());
    const wp::PageLayout* layout = view->pageLayout();
    const QTextDocument* doc = tx.document();
    const double one = layout->caretRect(doc->findBlockByNumber(0).position()).second.top();
    const double two = layout->caretRect(doc->findBlockByNumber(1).position()).second.top();
    EXPECT_NEAR(two - one, 276 + 700, 2);
    const QByteArray saved = tx.SaveToMemory(wp::fmt::Rtf);
    EXPECT_TRUE(saved.contains("\\sb300")) << saved.constData();
    EXPECT_FALSE(saved.contains("\\sb700")) << saved.constData();

    // A page break that would leave one line of a paragraph alone on either
    // page moves the break; without \widctlpar the page is filled.
    const QByteArray filler = QByteArray("\\pard Filler\\par").repeated(44);
    const QByteArray para =
        QByteArray("Widow and orphan text wraps over three lines here. ").repeated(5);
    for (const bool widows : {true, false}) {
        TextControl t;
        const QByteArray doc3 = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}\\fs24" +
                                filler + "\\pard" + (widows ? "\\widctlpar " : " ") + para +
                                "\\par}";
        ASSERT_TRUE(t.LoadFromMemory(doc3, wp::fmt::Rtf));
        const wp::PageLayout* l = qobject_cast<wp::PageView*>(t.editView())->pageLayout();
        const QTextBlock last = t.document()->lastBlock();
        ASSERT_GE(last.layout()->lineCount(), 3);
        const int firstPage = l->pageAndLine(last.position()).first;
        const int lastPage = l->pageAndLine(last.position() + last.length() - 1).first;
        ASSERT_EQ(l->pageCount(), 2);
        if (widows) {
            // Two lines fit on page 1; the third would be left alone on page 2.
            EXPECT_EQ(firstPage, 2);
        } else {
            EXPECT_EQ(firstPage, 1);
            EXPECT_EQ(lastPage, 2);
        }
    }
}
