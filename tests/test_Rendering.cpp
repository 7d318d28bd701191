// What a reader sees on drawn pages: tab stops on a private copy of the
// document, pictures scaled smoothly, a read-only view without a caret, and
// the file the print dialog offers when there is no printer.
#include "document/pages/PageView.h"
#include "preview/modPrintDlg.h"
#include "support/PageSupport.h"
#include "support/TestSupport.h"
#include "support/ToolSupport.h"
#include "wp/TextControl.h"
#include "wp/hooks.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocumentFragment>
#include <QtEndian>
#include <bit>
#include <gtest/gtest.h>
#include <memory>

namespace {

using wp::TextControl;

// A Letter page with inch margins, in Liberation Serif; a paragraph follows.
const QByteArray kLetter = "{\\rtf1\\ansi\\paperw12240\\paperh15840\\margl1440\\margr1440"
                           "\\margt1440{\\fonttbl{\\f0 Liberation Serif;}}\\pard";

std::unique_ptr<TextControl> fromRtf(const QByteArray& rtf) {
    auto tx = std::make_unique<TextControl>();
    EXPECT_TRUE(tx->LoadFromMemory(rtf, wp::fmt::Rtf));
    return tx;
}

// The copy the preview and the stepper make: native data, same page format.
std::unique_ptr<TextControl> privateCopy(TextControl& tx) {
    auto copy = std::make_unique<TextControl>();
    EXPECT_TRUE(copy->LoadFromMemory(tx.SaveToMemory(wp::fmt::Native), wp::fmt::Native));
    copy->setPageFormat(tx.pageFormat());
    return copy;
}

// Page 1 drawn by the control at 100 % on a white image of `dpi`.
QImage drawnPage(TextControl& tx, int dpi) {
    const wp::PageFormat f = tx.pageFormat();
    QImage img(f.width * dpi / 1440, f.height * dpi / 1440, QImage::Format_RGB32);
    img.setDotsPerMeterX(qRound(dpi / 0.0254));
    img.setDotsPerMeterY(qRound(dpi / 0.0254));
    img.fill(Qt::white);
    QPainter painter(&img);
    tx.setPrintDevice(&painter);
    tx.PrintPage(1);
    tx.setPrintDevice(nullptr);
    return img;
}

// RTF that shows `img` as a PNG of `goal` (twips) square.
QByteArray rtfPicture(const QImage& img, int goal = 1440) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return QByteArrayLiteral("{\\pict\\pngblip\\picw") + QByteArray::number(img.width()) +
           "\\pich" + QByteArray::number(img.height()) + "\\picwgoal" + QByteArray::number(goal) +
           "\\pichgoal" + QByteArray::number(goal) + ' ' + png.toHex() + '}';
}

// An inch of one colour, 8 by 8 pixels.
QByteArray rtfPicture(QColor colour) {
    QImage img(8, 8, QImage::Format_RGB32);
    img.fill(colour);
    return rtfPicture(img);
}

// A page's pixels near `colour` black, the rest white.
QImage maskOf(const QImage& page, QColor colour) {
    QImage mask(page.size(), QImage::Format_RGB32);
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            const int off = std::abs(c.red() - colour.red()) +
                            std::abs(c.green() - colour.green()) +
                            std::abs(c.blue() - colour.blue());
            mask.setPixel(x, y, off < 60 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
        }
    return mask;
}

// Pixels of a page near `colour`.
int pixelsOf(const QImage& page, QColor colour) {
    const QImage mask = maskOf(page, colour);
    const auto* pixels = reinterpret_cast<const QRgb*>(mask.constBits());
    return int(std::count(pixels, pixels + mask.width() * mask.height(), qRgb(0, 0, 0)));
}

// The box of the pixels of a page near `colour`.
QRect boxOf(const QImage& page, QColor colour) {
    return wptest::inkBox(maskOf(page, colour), qRgb(255, 255, 255));
}

// Little-endian values of `bits` bits each.
template <typename T> QByteArray littleEndian(std::initializer_list<T> values) {
    QByteArray out;
    for (T v : values) {
        const T le = qToLittleEndian(v);
        out.append(reinterpret_cast<const char*>(&le), sizeof le);
    }
    return out;
}

// A WMF whose 100 x 100 window has its left half blue.
QByteArray wmfLeftHalfBlue() {
    using W = quint16;
    return littleEndian<W>({1, 9, 0x300, 0, 0, 2, 0, 0, 0}) + // header, two objects
           littleEndian<W>({5, 0, 0x020B, 0, 0}) +            // window origin
           littleEndian<W>({5, 0, 0x020C, 100, 100}) +        // window extent
           littleEndian<W>({7, 0, 0x02FC, 0, 0, 0xFF, 0}) +   // a solid blue brush
           littleEndian<W>({8, 0, 0x02FA, 5, 0, 0, 0, 0}) +   // no pen
           littleEndian<W>({4, 0, 0x012D, 0}) + littleEndian<W>({4, 0, 0x012D, 1}) +
           littleEndian<W>({7, 0, 0x041B, 100, 50, 0, 0}) + // rectangle: bottom, right, top, left
           littleEndian<W>({3, 0, 0});
}

// An EMF whose frame, 100 x 100 pixels of its device, has its right half red.
QByteArray emfRightHalfRed() {
    using D = quint32;
    return littleEndian<D>({1,       88, 0, 0, 99, 99, 0, 0,    2540, 2540, 0x464D4520,
                            0x10000, 0,  0, 2, 0,  0,  0, 1000, 1000, 254,  254}) +
           littleEndian<D>({39, 24, 1, 0, 0xFF, 0}) +   // a solid red brush
           littleEndian<D>({37, 12, 1}) +               // selected
           littleEndian<D>({37, 12, 0x80000008}) +      // the stock null pen
           littleEndian<D>({43, 24, 50, 0, 100, 100}) + // rectangle
           littleEndian<D>({14, 20, 0, 16, 20});
}

} // namespace

// A date after a right tab stop at the right margin ends at the margin on a
// native copy of the document (the preview's) drawn as a page; also when the
// file lists its stops out of order.
TEST(Rendering, RightTabStopReachesTheMarginOnACopy) {
    for (const char* stops : {"\\tqc\\tx4000\\tqr\\tx9360", "\\tqr\\tx9360\\tqc\\tx4000"}) {
        SCOPED_TRACE(stops);
        const auto tx =
            fromRtf(kLetter + stops + "\\f0\\fs24 Lead\\tab Engineer\\tab 2018 to PRESENT\\par}");
        ASSERT_EQ(tx->PageMarginR(), 1440);
        const auto copy = privateCopy(*tx);
        const double marginInch = (tx->PageWidth() - tx->PageMarginR()) / 1440.0;
        constexpr int dpi = 144;
        const QImage page = drawnPage(*copy, dpi);
        const QRect ink = wptest::inkBox(page, qRgb(255, 255, 255));
        EXPECT_NEAR((ink.right() + 1) / double(dpi), marginInch, 0.05);
        wptest::keepShot(page, QStringLiteral("rendering-tab.png"));
    }
}

// A boxed paragraph's box stands around its text, apart from it by the
// border's space, on the page and on a copy read back from RTF; the text
// moves down by the room the box takes above it. A shade fills its paragraph.
TEST(Rendering, BoxedParagraphIsDrawnInsideItsBoxAndAShadedOneFilled) {
    const auto plain = fromRtf(kLetter + "\\f0 Boxed\\par}");
    const auto boxed = fromRtf(kLetter + "\\box\\brdrs\\brdrw20\\brsp100\\f0 Boxed\\par}");
    const auto copy = fromRtf(boxed->SaveToMemory(wp::fmt::Rtf));
    constexpr int dpi = 96; // a pixel is 15 twips: the margins at 96 and 720
    const QRect text = wptest::inkBox(drawnPage(*plain, dpi), qRgb(255, 255, 255));
    ASSERT_FALSE(text.isEmpty());
    for (TextControl* tx : {boxed.get(), copy.get()}) {
        const QImage page = drawnPage(*tx, dpi);
        const QRect box = wptest::inkBox(page, qRgb(255, 255, 255));
        // 100 twips of space and the line beyond the text: 8 pixels.
        EXPECT_NEAR(box.left(), 96 - 8, 1);
        EXPECT_NEAR(box.right(), 720 + 7, 1);
        EXPECT_EQ(box.top(), 96); // the box begins the page at its top margin
        EXPECT_GT(box.bottom(), text.bottom() + 8);
        // Inside the box, beside the text, the page is white.
        EXPECT_EQ(page.pixel(400, (box.top() + box.bottom()) / 2), qRgb(255, 255, 255));
        // The text itself stands lower by the box's room above it.
        const QRect inner =
            wptest::inkBox(page.copy(box.adjusted(3, 3, -3, -3)), qRgb(255, 255, 255));
        EXPECT_NEAR(box.top() + 3 + inner.top(), text.top() + 8, 1);
    }
    // A shade of a quarter black fills the paragraph light grey.
    const QImage shaded = drawnPage(*fromRtf(kLetter + "\\shading2500\\f0 Shaded\\par}"), dpi);
    EXPECT_NEAR(qGray(shaded.pixel(400, (text.top() + text.bottom()) / 2)), 191, 2);
}

// A bad tab stop in native data is refused, the document left as it was.
TEST(Rendering, NativeDataWithABadTabStopIsRefused) {
    const auto tx = fromRtf("{\\rtf1\\ansi\\pard\\tqr\\tx5000 a\\tab b\\par}");
    QByteArray data = tx->SaveToMemory(wp::fmt::Native);
    // A tab stop is written as its tag, its position (a little-endian
    // double) and its kind.
    const double pos = tx->document()->firstBlock().blockFormat().tabPositions().value(0).position;
    const quint64 bits = qToLittleEndian(std::bit_cast<quint64>(pos));
    const QByteArray tab = char(13) + QByteArray(reinterpret_cast<const char*>(&bits), 8) +
                           char(QTextOption::RightTab);
    const qsizetype at = data.indexOf(tab);
    ASSERT_GE(at, 0);
    data[at + 9] = char(9);
    TextControl other;
    ASSERT_TRUE(other.LoadFromMemory("{\\rtf1 kept\\par}", wp::fmt::Rtf));
    EXPECT_FALSE(other.LoadFromMemory(data, wp::fmt::Native));
    EXPECT_EQ(other.document()->toPlainText().trimmed(), QStringLiteral("kept"));
}

// A picture blown up from 2 x 2 pixels to 2 inches blends its pixels rather
// than showing four hard squares.
TEST(Rendering, ScaledPictureIsDrawnSmoothly) {
    QImage checker(2, 2, QImage::Format_RGB32);
    checker.setPixel(0, 0, qRgb(0, 0, 0));
    checker.setPixel(1, 1, qRgb(0, 0, 0));
    checker.setPixel(1, 0, qRgb(255, 255, 255));
    checker.setPixel(0, 1, qRgb(255, 255, 255));
    const auto tx = fromRtf("{\\rtf1\\ansi\\pard" + rtfPicture(checker, 2880) + "\\par}");
    const QImage page = drawnPage(*tx, 96);
    const QRect box = wptest::inkBox(page, qRgb(255, 255, 255));
    ASSERT_GE(box.width(), 150);
    int blended = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) {
            const int g = qGray(page.pixel(x, y));
            blended += g > 40 && g < 215;
        }
    EXPECT_GT(blended, box.width() * box.height() / 10);
}

// Pictures come only from the document's own data. HTML pasted in that
// names pictures elsewhere (a file, a device, the network, a relative path)
// shows empty frames and reads nothing; a picture copied within the document
// and one loaded into the selection are drawn from their data.
TEST(Rendering, PicturesComeOnlyFromTheDocumentsOwnData) {
    QTemporaryDir dir;
    const QString photo = dir.filePath(QStringLiteral("photo.png"));
    QImage red(40, 30, QImage::Format_RGB32);
    red.fill(Qt::red);
    ASSERT_TRUE(red.save(photo));
    QWidget window;
    auto* tx = new TextControl(&window);
    tx->resize(700, 600);
    ASSERT_TRUE(
        tx->LoadFromMemory("{\\rtf1\\ansi A" + rtfPicture(Qt::green) + "\\par}", wp::fmt::Rtf));
    window.show();
    QWidget* view = tx->editView();
    const auto drawn = [&](QColor colour) { return pixelsOf(drawnPage(*tx, 96), colour); };
    const int oneInch = drawn(Qt::green);
    ASSERT_GT(oneInch, 80 * 80);

    // What a copy of the whole text puts on the clipboard, pasted at its end.
    auto* own = new QMimeData;
    own->setHtml(QTextDocumentFragment(tx->document()).toHtml());
    QApplication::clipboard()->setMimeData(own);
    tx->setSelStart(tx->document()->characterCount() - 1);
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    EXPECT_GE(drawn(Qt::green), 2 * oneInch - 200);

    const QString html = QStringLiteral(
        "<p>B<img src=\"%1\" width=\"96\" height=\"96\"><img src=\"%2\" width=\"96\" "
        "height=\"48\"><img src=\"photo.png\"><img src=\"file:///dev/zero\">"
        "<img src=\"http://127.0.0.1:9/x.png\" width=\"20\" height=\"20\"></p>");
    auto* mime = new QMimeData;
    mime->setHtml(html.arg(QUrl::fromLocalFile(photo).toString(), photo));
    QApplication::clipboard()->setMimeData(mime);
    const QString cwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    QDir::setCurrent(cwd);
    EXPECT_TRUE(tx->document()->toPlainText().contains(QLatin1Char('B')));
    EXPECT_EQ(drawn(Qt::red), 0);
    const QByteArray rtf = tx->SaveToMemory(wp::fmt::Rtf);
    EXPECT_EQ(rtf.count("\\pngblip"), 2) << "only the document's own pictures have pixels";
    EXPECT_TRUE(rtf.contains("\\picwgoal1440\\pichgoal720")) << "an empty frame keeps its size";

    tx->setSelStart(tx->document()->characterCount() - 1);
    ASSERT_TRUE(tx->LoadFromMemory("{\\rtf1\\ansi C" + rtfPicture(Qt::blue) + "\\par}",
                                   wp::fmt::Rtf, true));
    EXPECT_GT(drawn(Qt::blue), 80 * 80);
}

// Metafiles are drawn where they draw, at their frame's size, also after
// the document was saved as RTF and read again; a damaged one draws nothing,
// a cropped one its part.
TEST(Rendering, MetafilesAreDrawnWhereTheyDraw) {
    const QByteArray wmf = wmfLeftHalfBlue(), emf = emfRightHalfRed();
    QByteArray damaged = emf;
    damaged.replace(88 + 24 + 12 + 12 + 4, 4,
                    littleEndian<quint32>({0xFFFFFF00})); // its rectangle's size
    const QByteArray goal = "\\picw2540\\pich2540\\picwgoal1440\\pichgoal1440 ";
    const auto tx = fromRtf("{\\rtf1\\ansi\\margl1440\\margt1440\\pard{\\pict\\wmetafile8" + goal +
                            wmf.toHex() + "}\\par{\\pict\\emfblip" + goal + emf.toHex() +
                            "}\\par{\\pict\\emfblip" + goal + damaged.toHex() + "}\\par}");
    const QByteArray saved = tx->SaveToMemory(wp::fmt::Rtf);
    EXPECT_EQ(saved.count("\\wmetafile8"), 1);
    EXPECT_EQ(saved.count("\\emfblip"), 2);
    const auto again = fromRtf(saved);
    for (TextControl* doc : {tx.get(), again.get()}) {
        const QImage page = drawnPage(*doc, 96);
        wptest::keepShot(page, QStringLiteral("rendering-metafiles.png"));
        const QRect blue = boxOf(page, Qt::blue), red = boxOf(page, Qt::red);
        EXPECT_NEAR(blue.left(), 96, 2);
        EXPECT_NEAR(blue.width(), 48, 2);
        EXPECT_NEAR(blue.height(), 96, 2);
        EXPECT_NEAR(red.left(), 96 + 48, 2);
        EXPECT_NEAR(red.width(), 48, 2);
        EXPECT_NEAR(red.top(), blue.bottom() + 1, 24) << "the EMF stands below the WMF";
        EXPECT_NEAR(pixelsOf(page, Qt::red), red.width() * red.height(), red.width() * 2)
            << "the damaged copy draws nothing";
    }
    // Cropped to its blue half, the picture is half an inch of blue; cropped
    // to the other half, it shows none.
    for (const char* crop : {"\\piccropr720", "\\piccropl720"}) {
        const bool blueHalf = crop[8] == 'r';
        const auto cropped =
            fromRtf("{\\rtf1\\ansi\\margl1440\\margt1440\\pard{\\pict\\wmetafile8" + goal + crop +
                    " " + wmf.toHex() + "}\\par}");
        const auto cropAgain = fromRtf(cropped->SaveToMemory(wp::fmt::Rtf));
        const auto cropCopy = privateCopy(*cropped);
        for (TextControl* doc : {cropped.get(), cropAgain.get(), cropCopy.get()}) {
            const QImage page = drawnPage(*doc, 96);
            const QRect blue = boxOf(page, Qt::blue);
            EXPECT_EQ(blue.isEmpty(), !blueHalf) << crop;
            if (blueHalf) {
                EXPECT_NEAR(blue.width(), 48, 2);
                EXPECT_NEAR(pixelsOf(page, Qt::blue), 48 * 96, 300);
            }
        }
    }
}

// A text box shows its words inside its border where the shape stands, and
// the paragraph beside it wraps short of it until it ends (or, where the
// shape says text does not wrap, runs on under it), also after the document
// was saved as RTF and read again, and in the preview's copy.
TEST(Rendering, TextBoxStandsWhereItIsAndTextWrapsBesideIt) {
    QByteArray filler;
    for (int i = 0; i < 200; ++i)
        filler += "filler ";
    for (const char* wrap : {"2", "3"}) {
        SCOPED_TRACE(wrap);
        const bool wraps = wrap[0] == '2'; // 3: text runs under the box
        const auto tx = fromRtf(kLetter +
                                "\\f0\\fs24 {\\shp{\\*\\shpinst\\shpleft5040\\shptop0\\shpright8640"
                                "\\shpbottom1440\\shpbxcolumn\\shpbypara\\shpwrk0\\shpwr" +
                                wrap +
                                "{\\sp{\\sn shapeType}{\\sv 202}}{\\shptxt \\pard Boxed "
                                "words{\\shp{\\*\\shpinst}}\\par}}}" +
                                filler + "\\par}");
        const auto again = fromRtf(tx->SaveToMemory(wp::fmt::Rtf));
        const auto copy = privateCopy(*tx);
        for (TextControl* doc : {tx.get(), again.get(), copy.get()}) {
            QTemporaryDir dir;
            const QString pdf = dir.filePath(QStringLiteral("box.pdf"));
            ASSERT_TRUE(doc->exportPdf(pdf)) << doc->lastPdfError().toStdString();
            const auto pages = wptest::pdfWords(pdf).pages;
            ASSERT_FALSE(pages.empty());
            const auto& words = pages[0];
            // The box's left edge is 3.5 inches from the page's, its text
            // 0.1 inch inside; its top is the paragraph's.
            const auto boxed = std::find_if(words.begin(), words.end(),
                                            [](const auto& w) { return w.text == u"Boxed"; });
            ASSERT_NE(boxed, words.end());
            EXPECT_NEAR(boxed->xMin, 72 + 252 + 7.2, 2);
            EXPECT_NEAR(boxed->yMin, 72 + 7.2, 4);
            // Lines two to four stand beside the box, the later ones below it.
            int beside = 0, under = 0, below = 0;
            for (const wptest::PdfWord& w : words) {
                if (w.text != u"filler")
                    continue;
                if (w.yMin > 72 + 12 && w.yMax < 72 + 72)
                    ++(w.xMax > 72 + 252 ? under : beside);
                else if (w.yMin > 72 + 74 && w.xMax > 72 + 252 + 36)
                    ++below;
            }
            EXPECT_GE(beside, 8);
            if (wraps)
                EXPECT_EQ(under, 0) << "words beside the box stay left of it";
            else
                EXPECT_GE(under, 8) << "text runs on under the box";
            EXPECT_GE(below, 8) << "below the box lines take the column's width";
        }
    }
}

// The stepper's letter is a read-only view: no caret, no pasting, and Tab
// leaves it; an editable view shows its caret where it stands.
TEST(Rendering, ReadOnlyViewHasNoCaretAndTakesNoText) {
    QWidget window;
    auto* tx = new TextControl(&window);
    window.resize(600, 500);
    tx->resize(600, 450);
    auto* next = new QLineEdit(&window);
    next->move(0, 460);
    ASSERT_TRUE(tx->LoadFromMemory("{\\rtf1 Hello\\par}", wp::fmt::Rtf));
    auto* view = qobject_cast<wp::PageView*>(tx->editView());
    ASSERT_NE(view, nullptr);
    window.show();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    view->setFocus();
    ASSERT_TRUE(view->hasFocus());

    auto caretInk = [&] {
        const QImage shot = view->viewport()->grab().toImage();
        const QRect caret = view->caretViewportRect();
        int dark = 0;
        for (int y = caret.top(); y <= caret.bottom(); ++y)
            for (int x = caret.left(); x <= caret.right(); ++x)
                dark += qGray(shot.pixel(x, y)) < 60;
        return dark;
    };
    EXPECT_GT(caretInk(), 0);

    view->setReadOnly(true);
    QTest::keyClick(view, Qt::Key_End);
    QApplication::clipboard()->setText(QStringLiteral("pasted"));
    QTest::keyClick(view, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(tx->document()->toPlainText().trimmed(), QStringLiteral("Hello"));
    EXPECT_EQ(tx->SelStart(), 5); // moving still works
    EXPECT_EQ(caretInk(), 0);
    QTest::keyClick(view, Qt::Key_Tab);
    EXPECT_TRUE(next->hasFocus());
}

// With no file chosen yet, the print dialog offers the document's title as a
// PDF; a file the current printer already prints to is kept.
TEST(Rendering, PrintDialogOffersTheDocumentAsAFile) {
    QString shown;
    wp::setPrintDialogHandler([&](QPrintDialog& dialog) {
        const auto edits = dialog.findChildren<QLineEdit*>(QStringLiteral("filename"));
        shown = edits.isEmpty() ? QStringLiteral("<no field>") : edits.first()->text();
        return int(QDialog::Rejected);
    });
    TextControl tx;
    ASSERT_TRUE(tx.LoadFromMemory("{\\rtf1 Hello\\par}", wp::fmt::Rtf));
    tx.setDocumentProperty(wp::info::Title, QStringLiteral("Jane: CV/2026"));
    qint32 flags = 0;
    wp::modPrintDlg::PrintDialogTX(&tx, flags);
    EXPECT_TRUE(shown.endsWith(QStringLiteral("/Jane_ CV_2026.pdf"))) << shown.toStdString();

    QTemporaryDir dir;
    const QString chosen = dir.filePath(QStringLiteral("chosen.pdf"));
    wp::currentPrinter().setOutputFileName(chosen);
    wp::modPrintDlg::PrintDialogTX(&tx, flags);
    EXPECT_EQ(shown, chosen);

    // A queue as the current printer is the one the dialog shows.
    const QStringList queues = QPrinterInfo::availablePrinterNames();
    if (!queues.isEmpty()) {
        wp::currentPrinter().setOutputFileName(QString());
        wp::currentPrinter().setPrinterName(queues.last());
        wp::setPrintDialogHandler([&](QPrintDialog& dialog) {
            const auto boxes = dialog.findChildren<QComboBox*>(QStringLiteral("printers"));
            shown = boxes.isEmpty() ? QStringLiteral("<no field>") : boxes.first()->currentText();
            return int(QDialog::Rejected);
        });
        wp::modPrintDlg::PrintDialogTX(&tx, flags);
        EXPECT_EQ(shown, queues.last());
    }
    wp::setPrintDialogHandler(nullptr);
}
