// Copying a document through the control's formats (native, RTF) beside
// Qt's own copies of the same QTextDocument: clone() and an HTML round trip.
// Documents of about 2, 20 and 200 Letter pages: each page a heading, five
// paragraphs of body text with two fields, and a small table (the
// "pages" counter is the body's page count at Letter size).
#include "document/TextControlDocument.h"
#include "document/formats/NativeFormat.h"
#include "document/formats/docx/DocxReader.h"
#include "document/formats/docx/DocxWriter.h"
#include "document/formats/rtf/RtfReader.h"
#include "document/formats/rtf/RtfWriter.h"
#include "wp/TextControl.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QImage>
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
void BM_RoundTripNative_wp(benchmark::State& state) {
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
BENCHMARK(BM_RoundTripNative_wp)->Arg(2)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_RoundTripRtf_wp(benchmark::State& state) {
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
BENCHMARK(BM_RoundTripRtf_wp)->Arg(2)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);

// What a preview pays: the host's SaveToMemory and the copy's LoadFromMemory,
// which hands the new documents to the copy's page layout.
void BM_ControlCopy_wp(benchmark::State& state) {
    wp::TextControl& tx = document(static_cast<int>(state.range(0)));
    wp::TextControl copy;
    for (auto _ : state)
        if (!copy.LoadFromMemory(tx.SaveToMemory(wp::fmt::Native), wp::fmt::Native))
            state.SkipWithError("native load failed");
}
BENCHMARK(BM_ControlCopy_wp)->Arg(2)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_RtfSave_wp(benchmark::State& state) {
    wp::TextControl& tx = document(static_cast<int>(state.range(0)));
    for (auto _ : state)
        benchmark::DoNotOptimize(tx.SaveToMemory(wp::fmt::Rtf));
}
BENCHMARK(BM_RtfSave_wp)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_RtfRead_wp(benchmark::State& state) {
    wp::TextControl& tx = document(static_cast<int>(state.range(0)));
    const QByteArray data = tx.SaveToMemory(wp::fmt::Rtf);
    for (auto _ : state) {
        wp::docmodel::DocumentContent copy;
        benchmark::DoNotOptimize(wp::RtfReader::read(data, copy, nullptr));
    }
}
BENCHMARK(BM_RtfRead_wp)->Arg(200)->Unit(benchmark::kMillisecond);

// The same document as a Word document, beside the RTF figures above.
void BM_DocxSave_wp(benchmark::State& state) {
    wp::TextControl& tx = document(static_cast<int>(state.range(0)));
    qint64 bytes = 0;
    for (auto _ : state)
        bytes = tx.SaveToMemory(wp::fmt::Docx).size();
    state.counters["bytes"] = double(bytes);
}
BENCHMARK(BM_DocxSave_wp)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_DocxRead_wp(benchmark::State& state) {
    wp::TextControl& tx = document(static_cast<int>(state.range(0)));
    const QByteArray data = tx.SaveToMemory(wp::fmt::Docx);
    for (auto _ : state) {
        wp::docmodel::DocumentContent copy;
        if (!wp::DocxReader::read(data, copy, nullptr))
            state.SkipWithError("docx read failed");
    }
}
BENCHMARK(BM_DocxRead_wp)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_ControlCopy_QtClone(benchmark::State& state) {
    wp::TextControl& tx = document(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        std::unique_ptr<QTextDocument> copy(tx.document()->clone());
        benchmark::DoNotOptimize(copy.get());
    }
    counters(state, tx, 0);
}
BENCHMARK(BM_ControlCopy_QtClone)->Arg(2)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);

void BM_RoundTrip_QtHtml(benchmark::State& state) {
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
BENCHMARK(BM_RoundTrip_QtHtml)->Arg(2)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond);

} // namespace
