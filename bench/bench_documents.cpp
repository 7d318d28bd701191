// Copying a document through the control's formats (native, RTF) beside
// Qt's own copies of the same QTextDocument: clone() and an HTML round trip.
// Documents of about 2, 20 and 200 Letter pages: each page a heading, five
// paragraphs of body text with two fields, and a small table (the
// "pages" counter is the body's page count at Letter size).
#include "document/TextControlDocument.h"
#include "document/formats/NativeFormat.h"
#include "document/formats/rtf/RtfReader.h"
#include "document/formats/rtf/RtfWriter.h"
#include "document/pages/PageLayout.h"
#include "wp/TextControl.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {

const QString kWords = QStringLiteral(
    "Managed a team of twelve engineers delivering payment services with measurable "
    "gains in reliability and cost while mentoring junior staff and presenting results "
    "to customers partners and the board every quarter ");

void fill(wp::TextControl& tx, int pages) {
    QTextCursor c(tx.document());
    c.beginEditBlock();
    QTextCharFormat heading;
    heading.setFontWeight(QFont::Bold);
    heading.setFontPointSize(14);
    heading.setFontFamilies({QStringLiteral("Arial")});
    QTextCharFormat body;
    QTextCharFormat italic;
    italic.setFontItalic(true);
    QTextBlockFormat para;
    para.setBottomMargin(120);
    para.setAlignment(Qt::AlignJustify);
    for (int p = 0; p < pages; ++p) {
        if (p > 0)
            c.insertBlock(QTextBlockFormat());
        c.insertText(QStringLiteral("Experience %1").arg(p + 1), heading);
        for (int i = 0; i < 5; ++i) {
            c.insertBlock(para);
            c.insertText(kWords, body);
            c.insertText(QStringLiteral("Acme Corporation"), italic);
            c.insertText(QStringLiteral(" ") + kWords, body);
            if (i < 2) {
                tx.setTextCursor(c);
                tx.FieldInsert(QStringLiteral("Contact Name"), QStringLiteral("contact_name"));
                c = tx.textCursor();
            }
        }
        c.insertBlock(QTextBlockFormat());
        QTextTable* t = c.insertTable(3, 3);
        for (int r = 0; r < 3; ++r)
            for (int k = 0; k < 3; ++k)
                t->cellAt(r, k).firstCursorPosition().insertText(QStringLiteral("Cell %1").arg(k));
        c.setPosition(t->lastPosition() + 1);
    }
    c.endEditBlock();
}

// One document per size, shared by all benchmarks of that size.
wp::TextControl& document(int pages) {
    static std::map<int, std::unique_ptr<wp::TextControl>> docs;
    auto& slot = docs[pages];
    if (!slot) {
        slot = std::make_unique<wp::TextControl>();
        fill(*slot, std::max(1, pages * 4 / 5)); // a unit fills about 1.25 pages
    }
    return *slot;
}

// Pages of the body laid out on Letter paper with 1-inch margins, in twips.
int pageCount(QTextDocument* doc) {
    std::unique_ptr<QTextDocument> copy(doc->clone());
    QImage device(1, 1, QImage::Format_RGB32);
    device.setDotsPerMeterX(qRound(1440 / 0.0254));
    device.setDotsPerMeterY(qRound(1440 / 0.0254));
    copy->documentLayout()->setPaintDevice(&device);
    copy->setPageSize(QSizeF(12240 - 2880, 15840 - 2880));
    return copy->pageCount();
}

void counters(benchmark::State& state, wp::TextControl& tx, qint64 bytes) {
    state.counters["pages"] = pageCount(tx.document());
    state.counters["bytes"] = static_cast<double>(bytes);
}

// The formats themselves: write the control's documents and read them into
// fresh documents, as clone() copies one without laying it out.
void BM_NativeSaveLoad(benchmark::State& state) {
    wp::TextControl& tx = document(static_cast<int>(state.range(0)));
    const auto parts = wp::docmodel::DocumentParts{
        tx.document(),
        {tx.headerFooterDocument(wp::hf::Header), tx.headerFooterDocument(wp::hf::FirstPageHeader),
         tx.headerFooterDocument(wp::hf::Footer), tx.headerFooterDocument(wp::hf::FirstPageFooter)},
        tx.pageFormat(),
        tx.BaseLine(),
        tx.Tag(),
        tx.documentProperties()};
    qint64 bytes = 0;
    for (auto _ : state) {
        const QByteArray data = wp::NativeFormat::write(parts);
        bytes = data.size();
        wp::docmodel::DocumentContent copy;
        if (!wp::NativeFormat::read(data, copy, nullptr))
            state.SkipWithError("native load failed");
    }
    counters(state, tx, bytes);
}
BENCHMARK(BM_NativeSaveLoad)->Arg(2)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_RtfSaveLoad(benchmark::State& state) {
    wp::TextControl& tx = document(static_cast<int>(state.range(0)));
    const auto parts = wp::docmodel::DocumentParts{
        tx.document(),
        {tx.headerFooterDocument(wp::hf::Header), tx.headerFooterDocument(wp::hf::FirstPageHeader),
         tx.headerFooterDocument(wp::hf::Footer), tx.headerFooterDocument(wp::hf::FirstPageFooter)},
        tx.pageFormat(),
        tx.BaseLine(),
        tx.Tag(),
        tx.documentProperties()};
    qint64 bytes = 0;
    for (auto _ : state) {
        const QByteArray data = wp::RtfWriter::write(parts);
        bytes = data.size();
        wp::docmodel::DocumentContent copy;
        if (!wp::RtfReader::read(data, copy, nullptr))
            state.SkipWithError("RTF load failed");
    }
    counters(state, tx, bytes);
}
BENCHMARK(BM_RtfSaveLoad)->Arg(2)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);

// What a preview pays: the host's SaveToMemory and the copy's LoadFromMemory,
// which hands the new documents to the copy's page layout.
void BM_ControlCopyNative(benchmark::State& state) {
    wp::TextControl& tx = document(static_cast<int>(state.range(0)));
    wp::TextControl copy;
    for (auto _ : state)
        if (!copy.LoadFromMemory(tx.SaveToMemory(wp::fmt::Native), wp::fmt::Native))
            state.SkipWithError("native load failed");
}
BENCHMARK(BM_ControlCopyNative)->Arg(2)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_RtfSave(benchmark::State& state) {
    wp::TextControl& tx = document(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(tx.SaveToMemory(wp::fmt::Rtf));
}
BENCHMARK(BM_RtfSave)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_RtfRead(benchmark::State& state) {
    wp::TextControl& tx = document(static_cast<int>(state.range(0)));
    const QByteArray data = tx.SaveToMemory(wp::fmt::Rtf);
    for (auto _ : state) {
        wp::docmodel::DocumentContent copy;
        benchmark::DoNotOptimize(wp::RtfReader::read(data, copy, nullptr));
    }
}
BENCHMARK(BM_RtfRead)->Arg(200)->Unit(benchmark::kMillisecond);

// A two-page RTF résumé as word processors write it: a photo beside the
// name and bulleted, nested and numbered lists (argument 1), or the same
// words as plain paragraphs without the photo (argument 0).
QByteArray resumeRtf(bool rich) {
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0 Times New Roman;}{\\f1\\fcharset2 "
                     "Symbol;}}\n";
    if (rich)
        rtf += "{\\*\\listtable{\\list{\\listlevel\\levelnfc23{\\leveltext\\'01\\'b7;}"
               "\\f1\\fi-360\\li360}{\\listlevel\\levelnfc23{\\leveltext\\'01o;}\\fi-360"
               "\\li720}\\listid1}{\\list{\\listlevel\\levelnfc0{\\leveltext\\'02\\'00.;}"
               "\\fi-360\\li360}\\listid2}}{\\listoverridetable{\\listoverride\\listid1\\ls1}"
               "{\\listoverride\\listid2\\ls2}}\n";
    rtf += "\\pard\\fs36\\b Jane Doe\\b0\\fs24 ";
    if (rich) {
        QImage photo(600, 750, QImage::Format_RGB32);
        for (int y = 0; y < photo.height(); ++y)
            for (int x = 0; x < photo.width(); ++x)
                photo.setPixel(x, y, qRgb(x * 255 / 600, y * 255 / 750, (x * y) % 256));
        QByteArray jpeg;
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        photo.save(&buffer, "JPEG", 85);
        rtf += "{\\*\\shppict{\\pict\\jpegblip\\picw600\\pich750\\picwgoal1728\\pichgoal2160\n" +
               jpeg.toHex() + "}}";
    }
    rtf += "\\par\n";
    for (int section = 0; section < 6; ++section) {
        rtf += "\\pard\\sb240\\b Experience " + QByteArray::number(section + 1) + "\\b0\\par\n";
        for (int item = 0; item < 5; ++item) {
            const bool nested = item == 2;
            const bool numbered = section % 3 == 2;
            rtf += "\\pard ";
            if (rich)
                rtf += numbered ? "{\\listtext " + QByteArray::number(item + 1) + ".\\tab}\\ls2 "
                                : QByteArray(nested ? "{\\listtext o\\tab}\\ls1\\ilvl1 "
                                                    : "{\\listtext\\f1 \\'b7\\tab}\\ls1 ");
            rtf += kWords.toLatin1() + "\\par\n";
        }
    }
    return rtf + "}";
}

// Loading the résumé into the control and drawing its pages at 100 %.
void BM_ResumeLoadDraw(benchmark::State& state) {
    const QByteArray rtf = resumeRtf(state.range(0) != 0);
    QImage page(816, 1056, QImage::Format_RGB32);
    int pages = 0;
    for (auto _ : state) {
        wp::TextControl tx;
        if (!tx.LoadFromMemory(rtf, wp::fmt::Rtf))
            state.SkipWithError("RTF load failed");
        wp::PageLayout layout;
        layout.setDocument(tx.document());
        layout.setPageFormat(tx.pageFormat());
        pages = layout.pageCount();
        for (int i = 1; i <= pages; ++i) {
            QPainter painter(&page);
            layout.drawPage(&painter, i, 100);
        }
    }
    state.counters["pages"] = pages;
    state.counters["bytes"] = static_cast<double>(rtf.size());
}
BENCHMARK(BM_ResumeLoadDraw)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// Qt's own load and draw of the same résumé as HTML (its lists and photo
// included), on a plain QTextDocument.
void BM_QtBaseline_ResumeHtmlLoadDraw(benchmark::State& state) {
    wp::TextControl source;
    source.LoadFromMemory(resumeRtf(state.range(0) != 0), wp::fmt::Rtf);
    const QString html = source.document()->toHtml();
    std::vector<std::pair<QUrl, QVariant>> images;
    for (const QTextFormat& f : source.document()->allFormats())
        if (f.isImageFormat()) {
            const QUrl name(f.toImageFormat().name());
            images.emplace_back(name,
                                source.document()->resource(QTextDocument::ImageResource, name));
        }
    QImage page(816, 1056, QImage::Format_RGB32);
    for (auto _ : state) {
        QTextDocument doc;
        for (const auto& [name, image] : images)
            doc.addResource(QTextDocument::ImageResource, name, image);
        doc.setHtml(html);
        doc.setPageSize(QSizeF(624, 864));
        for (int i = 0; i < doc.pageCount(); ++i) {
            QPainter painter(&page);
            painter.translate(0, -864.0 * i);
            doc.drawContents(&painter, QRectF(0, 864.0 * i, 624, 864));
        }
    }
}
BENCHMARK(BM_QtBaseline_ResumeHtmlLoadDraw)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_QtBaseline_Clone(benchmark::State& state) {
    wp::TextControl& tx = document(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::unique_ptr<QTextDocument> copy(tx.document()->clone());
        benchmark::DoNotOptimize(copy.get());
    }
    counters(state, tx, 0);
}
BENCHMARK(BM_QtBaseline_Clone)->Arg(2)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_QtBaseline_HtmlRoundTrip(benchmark::State& state) {
    wp::TextControl& tx = document(static_cast<int>(state.range(0)));
    qint64 bytes = 0;
    for (auto _ : state) {
        const QString html = tx.document()->toHtml();
        bytes = html.size() * 2;
        QTextDocument copy;
        copy.setHtml(html);
        benchmark::DoNotOptimize(copy.characterCount());
    }
    counters(state, tx, bytes);
}
BENCHMARK(BM_QtBaseline_HtmlRoundTrip)->Arg(2)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);

} // namespace
