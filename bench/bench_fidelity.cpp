// A two-page RTF résumé loaded and drawn page by page, on an image and as a
// PDF, beside Qt's own QTextDocument doing the same with the same content
// as HTML. Argument 1: a photo beside the name and bulleted, nested and
// numbered lists, as word processors write them; argument 0: the same
// words as plain paragraphs without the photo.
#include "wp/TextControl.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextFormat>
#include <benchmark/benchmark.h>
#include <vector>

namespace {

const QByteArray kWords =
    "Managed a team of twelve engineers delivering payment services with measurable "
    "gains in reliability and cost while mentoring junior staff and presenting results "
    "to customers partners and the board every quarter";

QByteArray photoJpeg() {
    QImage photo(600, 750, QImage::Format_RGB32);
    for (int y = 0; y < photo.height(); ++y)
        for (int x = 0; x < photo.width(); ++x)
            photo.setPixel(x, y, qRgb(x * 255 / 600, y * 255 / 750, (x * y) % 256));
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    photo.save(&buffer, "JPEG", 85);
    return jpeg;
}

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
    if (rich)
        rtf += "{\\*\\shppict{\\pict\\jpegblip\\picw600\\pich750\\picwgoal1728\\pichgoal2160\n" +
               photoJpeg().toHex() + "}}";
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
            rtf += kWords + "\\par\n";
        }
    }
    return rtf + "}";
}

const QByteArray& resume(bool rich) {
    static const QByteArray plain = resumeRtf(false), full = resumeRtf(true);
    return rich ? full : plain;
}

void load(benchmark::State& state, wp::TextControl& tx) {
    if (!tx.LoadFromMemory(resume(state.range(0) != 0), wp::fmt::Rtf))
        state.SkipWithError("RTF load failed");
}

// Every page of the control at 100 % on a Letter-sized image (96 dpi).
void BM_ResumeImage_wp(benchmark::State& state) {
    QImage page(816, 1056, QImage::Format_RGB32);
    int pages = 0;
    for (auto _ : state) {
        wp::TextControl tx;
        load(state, tx);
        pages = tx.CurrentPages();
        for (int i = 1; i <= pages; ++i) {
            page.fill(Qt::white);
            QPainter painter(&page);
            tx.setPrintDevice(&painter);
            tx.PrintPage(i);
            tx.setPrintDevice(nullptr);
        }
    }
    state.counters["pages"] = pages;
    state.counters["bytes"] = static_cast<double>(resume(state.range(0) != 0).size());
}

// The control's own PDF export to a file.
void BM_ResumePdf_wp(benchmark::State& state) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("resume.pdf"));
    int pages = 0;
    for (auto _ : state) {
        wp::TextControl tx;
        load(state, tx);
        if (!tx.exportPdf(file))
            state.SkipWithError("PDF export failed");
        pages = tx.CurrentPages();
    }
    state.counters["pages"] = pages;
}

// Qt's side: the same résumé as HTML with its photo as a resource, laid
// out like the control's pages: in twips (the document's lengths are
// twips), Letter size less 1-inch margins, and drawn scaled to the device.
struct QtResume {
    QString html;
    std::vector<std::pair<QUrl, QVariant>> images;
    QImage twips{1, 1, QImage::Format_RGB32};

    explicit QtResume(bool rich) {
        wp::TextControl source;
        source.LoadFromMemory(resume(rich), wp::fmt::Rtf);
        html = source.document()->toHtml();
        for (const QTextFormat& f : source.document()->allFormats())
            if (f.isImageFormat()) {
                const QUrl name(f.toImageFormat().name());
                images.emplace_back(
                    name, source.document()->resource(QTextDocument::ImageResource, name));
            }
        twips.setDotsPerMeterX(qRound(1440 / 0.0254));
        twips.setDotsPerMeterY(qRound(1440 / 0.0254));
    }

    void load(QTextDocument& doc) {
        doc.documentLayout()->setPaintDevice(&twips);
        for (const auto& [name, image] : images)
            doc.addResource(QTextDocument::ImageResource, name, image);
        doc.setHtml(html);
        doc.setPageSize(QSizeF(12240 - 2880, 15840 - 2880));
    }

    // Page i (from 0) inside 1-inch margins of a device of dpi dots per inch.
    static void drawPage(QTextDocument& doc, QPainter& painter, int i, double dpi) {
        const QSizeF size = doc.pageSize();
        painter.save();
        painter.scale(dpi / 1440, dpi / 1440);
        painter.translate(1440, 1440 - size.height() * i);
        doc.drawContents(&painter, QRectF(QPointF(0, size.height() * i), size));
        painter.restore();
    }
};

void BM_ResumeImage_Qt(benchmark::State& state) {
    QtResume source(state.range(0) != 0);
    QImage page(816, 1056, QImage::Format_RGB32);
    int pages = 0;
    for (auto _ : state) {
        QTextDocument doc;
        source.load(doc);
        pages = doc.pageCount();
        for (int i = 0; i < pages; ++i) {
            page.fill(Qt::white);
            QPainter painter(&page);
            QtResume::drawPage(doc, painter, i, 96);
        }
    }
    state.counters["pages"] = pages;
}

void BM_ResumePdf_Qt(benchmark::State& state) {
    QtResume source(state.range(0) != 0);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("resume.pdf"));
    int pages = 0;
    for (auto _ : state) {
        QPdfWriter writer(file);
        writer.setResolution(1200);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait,
                                         QMarginsF(0, 0, 0, 0)));
        QPainter painter(&writer);
        QTextDocument doc;
        source.load(doc);
        pages = doc.pageCount();
        for (int i = 0; i < pages; ++i) {
            if (i > 0)
                writer.newPage();
            QtResume::drawPage(doc, painter, i, 1200);
        }
        if (!painter.end())
            state.SkipWithError("PDF write failed");
    }
    state.counters["pages"] = pages;
}

} // namespace

BENCHMARK(BM_ResumeImage_wp)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResumeImage_Qt)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResumePdf_wp)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ResumePdf_Qt)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
