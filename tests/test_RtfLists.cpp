// Lists and pictures in RTF as other word processors write them, and
// through our own RTF and native formats: where the text stands, what
// number it shows, how large a picture is.
#include "document/ListMarkers.h"
#include "document/pages/PageLayout.h"
#include "support/ToolSupport.h"
#include "wp/TextControl.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>

namespace {

using wp::TextControl;

// A résumé's lists as LibreOffice and Word write them: an outline-level
// heading with an empty \listtext, bullets (Symbol font) with a nested
// level, a numbered list "1. a." whose second level restarts under each
// item, an old-style \pn bullet, and a paragraph naming a list that the
// document does not define.
const char* const kListsRtf =
    "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Liberation Serif;}{\\f1\\fcharset2 Symbol;}"
    "{\\f2 Courier New;}}\n"
    "{\\*\\listtable"
    "{\\list\\listtemplateid1{\\listlevel\\levelnfc255{\\leveltext \\'00;}{\\levelnumbers;}"
    "\\fi0\\li0}\\listid1}"
    "{\\list\\listtemplateid2"
    "{\\listlevel\\levelnfc23\\levelstartat1{\\leveltext \\'01\\u8226 ?;}{\\levelnumbers;}\\f1"
    "\\fi-360\\li360}"
    "{\\listlevel\\levelnfc23{\\leveltext \\'01o;}{\\levelnumbers;}\\f2\\fi-360\\li720}\\listid2}"
    "{\\list\\listtemplateid3"
    "{\\listlevel\\levelnfc0{\\leveltext \\'02\\'00.;}{\\levelnumbers\\'01;}\\fi-360\\li360}"
    "{\\listlevel\\levelnfc4{\\leveltext \\'03(\\'01);}{\\levelnumbers\\'02;}\\fi-360\\li720}"
    "\\listid3}}\n"
    "{\\listoverridetable{\\listoverride\\listid1\\listoverridecount0\\ls1}"
    "{\\listoverride\\listid2\\listoverridecount0\\ls2}"
    "{\\listoverride\\listid3\\listoverridecount0\\ls3}}\n"
    "\\pard\\plain\\fs36\\b{\\listtext\\pard\\plain \\tab}\\ilvl0\\ls1 \\li0\\fi0 Experience\\par\n"
    "\\pard\\plain{\\listtext\\pard\\plain \\f1 \\'b7\\tab}\\ilvl0\\ls2 \\li360\\fi-360 "
    "Led a team of twelve engineers delivering payment services with measurable gains in "
    "reliability and cost while mentoring junior staff and presenting results to customers "
    "partners and the board every quarter\\par\n"
    "{\\listtext\\pard\\plain \\f2 o\\tab}\\ilvl1\\ls2 \\li720\\fi-360 Nested\\par\n"
    "\\pard{\\listtext 1.\\tab}\\ls3 One\\par\n"
    "\\pard{\\listtext (a)\\tab}\\ls3\\ilvl1 Sub a\\par\n"
    "\\pard{\\listtext (b)\\tab}\\ls3\\ilvl1 Sub b\\par\n"
    "\\pard{\\listtext 2.\\tab}\\ls3 Two\\par\n"
    "\\pard{\\listtext (a)\\tab}\\ls3\\ilvl1 Again a\\par\n"
    "\\pard{\\pntext\\f1\\'b7\\tab}{\\*\\pn\\pnlvlblt\\pnf1{\\pntxtb\\'b7}}\\fi-360\\li360 "
    "Old style\\par\n"
    "\\pard{\\listtext 7)\\tab}\\ls9 Unknown list}";

QTextBlock blockOf(const QTextDocument* doc, const QString& start) {
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        if (b.text().startsWith(start))
            return b;
    ADD_FAILURE() << "no paragraph starts with " << start.toStdString();
    return {};
}

// The left edge of a line of a paragraph, in inches from the text's left
// edge, as the page layout lays it out.
double lineInch(const QTextBlock& b, int line) {
    QTextLayout* layout = b.layout();
    if (!layout || line >= layout->lineCount())
        return -1;
    return (layout->position().x() + layout->lineAt(line).x()) / 1440.0;
}

void layOut(QTextDocument* doc) {
    doc->documentLayout()->setPaintDevice(wp::PageLayout::twipsDevice());
    doc->setTextWidth(6.5 * 1440);
    doc->documentLayout()->documentSize();
}

QString marker(const QTextBlock& b) {
    return b.textList() ? wp::docmodel::listMarker(b) : QStringLiteral("-");
}

// `expect` holds for `tx` and for its copies saved as RTF and in the native
// format and loaded again; each copy writes the RTF that `tx` writes.
void expectInEveryFormat(TextControl& tx, const std::function<void(TextControl&)>& expect) {
    expect(tx);
    const QByteArray rtf = tx.SaveToMemory(wp::fmt::Rtf);
    for (const int format : {wp::fmt::Rtf, wp::fmt::Native}) {
        SCOPED_TRACE(format);
        TextControl copy;
        ASSERT_TRUE(copy.LoadFromMemory(tx.SaveToMemory(format), format))
            << copy.lastError().toStdString();
        expect(copy);
        EXPECT_EQ(copy.SaveToMemory(wp::fmt::Rtf), rtf);
    }
}

// What a reader sees of the lists: each paragraph's text, marker and
// where its lines start (inches).
void expectResumeLists(QTextDocument* doc) {
    layOut(doc);
    const struct {
        const char* text;
        const char* marker;
        double inch;
    } paras[] = {{"Experience", "-", 0}, // no tab pushes the heading right
                 {"Nested", "o", 0.5},         {"One", "1.", 0.25}, {"Sub a", "(a)", 0.5},
                 {"Sub b", "(b)", 0.5},        {"Two", "2.", 0.25}, {"Again a", "(a)", 0.5},
                 {"Old style", "\u2022", 0.25}};
    for (const auto& p : paras) {
        const QTextBlock b = blockOf(doc, QString::fromUtf8(p.text));
        EXPECT_EQ(b.text(), QString::fromUtf8(p.text));
        EXPECT_EQ(marker(b), QString::fromUtf8(p.marker)) << p.text;
        EXPECT_NEAR(lineInch(b, 0), p.inch, 0.01) << p.text;
    }
    const QTextBlock led = blockOf(doc, QStringLiteral("Led a team"));
    EXPECT_EQ(marker(led), QStringLiteral("\u2022"));
    ASSERT_GE(led.layout()->lineCount(), 2);
    EXPECT_NEAR(lineInch(led, 0), 0.25, 0.01);
    EXPECT_NEAR(lineInch(led, 1), 0.25, 0.01); // wrapped lines hang at the text
}

} // namespace

TEST(RtfLists, readsListsWithHangingIndentsAndTheirOwnNumbersAndKeepsThemInBothFormats) {
    TextControl tx;
    ASSERT_TRUE(tx.LoadFromMemory(kListsRtf, wp::fmt::Rtf)) << tx.lastError().toStdString();
    // A list the document does not define keeps its number as text.
    const QTextBlock unknown = blockOf(tx.document(), QStringLiteral("7)"));
    EXPECT_EQ(unknown.text(), QStringLiteral("7)\tUnknown list"));
    EXPECT_EQ(unknown.textList(), nullptr);

    const QByteArray rtf = tx.SaveToMemory(wp::fmt::Rtf);
    // Readers that know no lists still see the numbers.
    EXPECT_TRUE(rtf.contains("{\\listtext\\pard\\plain (b)\\tab}")) << rtf.constData();
    expectInEveryFormat(tx, [](TextControl& copy) { expectResumeLists(copy.document()); });
}

namespace {

// A solid picture of `w` × `h` pixels as PNG or JPEG hex.
QByteArray pictureHex(int w, int h, QColor color, const char* format) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return data.toHex();
}

// A résumé photo (PNG, 1.2 × 1.5 inch, with a WMF fallback that must not
// show), a JPEG logo scaled to half in the header, a JPEG in a table cell
// and a WMF we cannot draw (1 × 0.5 inch).
QByteArray picturesRtf() {
    const QByteArray photo = pictureHex(120, 150, Qt::red, "PNG");
    const QByteArray logo = pictureHex(96, 48, Qt::blue, "JPEG");
    return "{\\rtf1\\ansi{\\header \\pard{\\pict\\jpegblip\\picw96\\pich48\\picscalex50"
           "\\picscaley50\n" +
           logo +
           "}\\par}\n"
           "\\pard{\\*\\shppict{\\pict\\pngblip\\picw120\\pich150\\picwgoal1728\\pichgoal2160\n" +
           photo +
           "}}{\\nonshppict{\\pict\\wmetafile8\\picw100\\pich100 0100090000}}\\par\n"
           "\\trowd\\cellx2880\\cellx5760\\pard\\intbl "
           "Logo\\cell{\\pict\\jpegblip\\picw96\\pich48 " +
           logo +
           "}\\cell\\row\n"
           "\\pard Frame {\\pict\\wmetafile8\\picw2540\\pich1270\\picwgoal1440\\pichgoal720 "
           "010009000003}\\par}";
}

struct Picture {
    QSizeF inches;
    QSize pixels;
};

// The pictures of a document in order: their size on the page (from the
// laid-out line) and the pixels of the image drawn.
std::vector<Picture> pictures(QTextDocument* doc) {
    layOut(doc);
    std::vector<Picture> found;
    auto scan = [&](QTextFrame* frame, auto&& self) -> void {
        for (auto it = frame->begin(); !it.atEnd(); ++it) {
            if (QTextFrame* child = it.currentFrame()) {
                self(child, self);
                continue;
            }
            const QTextBlock b = it.currentBlock();
            for (auto f = b.begin(); !f.atEnd(); ++f) {
                const QTextFragment frag = f.fragment();
                if (!frag.charFormat().isImageFormat())
                    continue;
                const int at = frag.position() - b.position();
                const QTextLine line = b.layout()->lineForTextPosition(at);
                const QTextImageFormat img = frag.charFormat().toImageFormat();
                const QImage image =
                    doc->resource(QTextDocument::ImageResource, QUrl(img.name())).value<QImage>();
                const double width = line.cursorToX(at + 1) - line.cursorToX(at);
                found.push_back({QSizeF(width / 1440.0, line.ascent() / 1440.0), image.size()});
            }
        }
    };
    scan(doc->rootFrame(), scan);
    return found;
}

void expectPictures(TextControl& tx) {
    const auto body = pictures(tx.document());
    ASSERT_EQ(body.size(), 3u); // the fallback of the photo is not shown
    EXPECT_NEAR(body[0].inches.width(), 1.2, 0.01);
    EXPECT_NEAR(body[0].inches.height(), 1.5, 0.01);
    EXPECT_EQ(body[0].pixels, QSize(120, 150));
    EXPECT_NEAR(body[1].inches.width(), 1.0, 0.01); // 96 pixels at 96 dpi
    EXPECT_EQ(body[1].pixels, QSize(96, 48));
    EXPECT_NEAR(body[2].inches.width(), 1.0, 0.01); // the frame keeps the metafile's size
    EXPECT_NEAR(body[2].inches.height(), 0.5, 0.01);
    const auto header = pictures(tx.headerFooterDocument(wp::hf::Header));
    ASSERT_EQ(header.size(), 1u);
    EXPECT_NEAR(header[0].inches.width(), 0.5, 0.01);
    EXPECT_NEAR(header[0].inches.height(), 0.25, 0.01);
    EXPECT_EQ(tx.document()->toPlainText().count(QChar::ObjectReplacementCharacter), 3);

    // The photo is drawn where it stands, in its colour.
    QImage page(700, 700, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    painter.scale(96.0 / 1440, 96.0 / 1440);
    tx.document()->documentLayout()->draw(&painter, {});
    painter.end();
    EXPECT_EQ(page.pixelColor(57, 72), QColor(Qt::red)); // 0.6 × 0.75 inch
    EXPECT_EQ(page.pixelColor(130, 72), QColor(Qt::white));
}

} // namespace

TEST(RtfPictures, picturesShowAtTheirSizeInBodyHeaderAndCellsAndSurviveBothFormats) {
    TextControl tx;
    ASSERT_TRUE(tx.LoadFromMemory(picturesRtf(), wp::fmt::Rtf)) << tx.lastError().toStdString();
    expectInEveryFormat(tx, expectPictures);

    // Damaged data neither fails nor shows garbage: odd hex, junk inside
    // the data, a PNG header with nothing after it.
    ASSERT_TRUE(tx.LoadFromMemory("{\\rtf1{\\pict\\pngblip\\picwgoal1440\\pichgoal1440 89504e47zz0}"
                                  "after}",
                                  wp::fmt::Rtf))
        << tx.lastError().toStdString();
    const auto found = pictures(tx.document());
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NEAR(found[0].inches.width(), 1.0, 0.01); // an empty frame of its size
    EXPECT_TRUE(tx.document()->toPlainText().endsWith(QStringLiteral("after")));
}

TEST(RtfScripts, chineseJapaneseKoreanAndRightToLeftTextPrintAndReadBack) {
    TextControl tx;
    ASSERT_TRUE(tx.LoadFromMemory("{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}}"
                                  "\\pard \\u20013?\\u25991?\\u31616?\\u21382? "
                                  "\\u26085?\\u26412?\\u35486? \\u54620?\\u44397?\\u50612?\\par"
                                  "\\pard\\rtlpar \\u1513?\\u1500?\\u1493?\\u1501?\\par}",
                                  wp::fmt::Rtf));
    const QTextBlock hebrew = tx.document()->lastBlock();
    EXPECT_EQ(hebrew.blockFormat().layoutDirection(), Qt::RightToLeft);
    layOut(tx.document());
    const QTextLine line = hebrew.layout()->lineAt(0);
    EXPECT_NEAR(line.cursorToX(0) / 1440.0, 6.5, 0.02); // the first letter stands at the right
    EXPECT_TRUE(tx.SaveToMemory(wp::fmt::Rtf).contains("\\rtlpar"));

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("scripts.pdf"));
    ASSERT_TRUE(tx.exportPdf(pdf)) << tx.lastPdfError().toStdString();
    // A font covers every character, so each one is in the PDF's text (Qt
    // names some ideographs by their compatible radicals: compare in NFKC).
    const QString text =
        wptest::pdfPageTexts(pdf).join(QString()).normalized(QString::NormalizationForm_KC);
    EXPECT_TRUE(text.contains(QStringLiteral("中文简历 日本語 한국어"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("שלום"))) << text.toStdString();
}

TEST(RtfLists, overridesRestartTheirListAndMayStartElsewhereAlsoAfterSaving) {
    // Two overrides of one list: each numbers on its own, the second from 4.
    const char* rtf =
        "{\\rtf1\\ansi{\\*\\listtable{\\list{\\listlevel\\levelnfc0\\levelstartat1"
        "{\\leveltext \\'02\\'00.;}{\\levelnumbers\\'01;}\\fi-360\\li360}"
        "{\\listlevel\\levelnfc4{\\leveltext \\'04\\'00.\\'01.;}{\\levelnumbers\\'01\\'03;}"
        "\\fi-720\\li1080}\\listid7}}"
        "{\\listoverridetable{\\listoverride\\listid7\\listoverridecount0\\ls1}"
        "{\\listoverride\\listid7\\listoverridecount1{\\lfolevel\\listoverridestartat"
        "\\levelstartat4}\\ls2}}\n"
        "\\pard\\ls1 A\\par\\pard\\ls1 B\\par\\pard\\ls2 C\\par\\pard\\ls2\\ilvl1 C1\\par"
        "\\pard\\ls2\\ilvl1 C2\\par\\pard\\ls2 D\\par\\pard\\ls2\\ilvl1 D1\\par\\pard\\ls1 E}";
    const QStringList items{"A", "B", "C", "C1", "C2", "D", "D1", "E"};
    const QStringList numbers{"1.", "2.", "4.", "4.a.", "4.b.", "5.", "5.a.", "3."};
    TextControl tx;
    ASSERT_TRUE(tx.LoadFromMemory(rtf, wp::fmt::Rtf)) << tx.lastError().toStdString();
    expectInEveryFormat(tx, [&](TextControl& copy) {
        for (int i = 0; i < items.size(); ++i)
            EXPECT_EQ(marker(blockOf(copy.document(), items[i])), numbers[i])
                << items[i].toStdString();
    });
    EXPECT_TRUE(tx.SaveToMemory(wp::fmt::Rtf).contains("{\\listtext\\pard\\plain 4.a.\\tab}"));

    // Counting past the letters and the roman numbers.
    EXPECT_EQ(wp::docmodel::formatNumber(27, wp::docmodel::LowerLetter), QStringLiteral("aa"));
    EXPECT_EQ(wp::docmodel::formatNumber(1994, wp::docmodel::UpperRoman),
              QStringLiteral("MCMXCIV"));
    EXPECT_EQ(wp::docmodel::formatNumber(4000, wp::docmodel::LowerRoman), QStringLiteral("4000"));
    EXPECT_EQ(wp::docmodel::formatNumber(0, wp::docmodel::UpperLetter), QStringLiteral("0"));
}
