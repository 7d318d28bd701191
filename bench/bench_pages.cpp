// Pages: layout, drawing one page, typing, pasting and PDF export of
// documents of about 2, 20 and 200 Letter pages, each beside Qt's own
// paginated QTextDocument doing the same work in the same run (BM_X beside
// BM_X_Qt).
#include "document/pages/PageLayout.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextTable>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {

constexpr double kTwips = 1440.0;
const wp::PageFormat kLetter; // 8.5 × 11 in, 1-inch margins

// Units of seven paragraphs of three to five lines and a small table; 1.8
// units fill about one Letter page.
std::unique_ptr<QTextDocument> makeDocument(int approxPages) {
    const int units = std::max(1, int(approxPages * 1.8));
    auto doc = std::make_unique<QTextDocument>();
    doc->setDefaultFont(QFont(QStringLiteral("Liberation Serif"), 12));
    static const QString words = QStringLiteral(
        "Managed a team of eleven engineers delivering payment services to four "
        "countries, cut release time from weeks to days and mentored new hires while "
        "keeping the on-call load fair and the customers informed of every change ");
    QTextCursor c(doc.get());
    c.beginEditBlock();
    QTextTableFormat tf;
    tf.setBorder(1);
    tf.setCellPadding(4);
    tf.setCellSpacing(0);
    tf.setBorderCollapse(true);
    for (int p = 0; p < units; ++p) {
        for (int i = 0; i < 7; ++i) {
            if (p + i > 0)
                c.insertBlock();
            c.insertText(words.left(200 + (i * 37) % 180));
        }
        QTextTable* t = c.insertTable(3, 3, tf);
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < 3; ++col)
                t->cellAt(r, col).firstCursorPosition().insertText(
                    QStringLiteral("cell %1.%2").arg(r).arg(col));
        c.movePosition(QTextCursor::End);
    }
    c.endEditBlock();
    return doc;
}

// One document per size, with our layout and a Qt-paginated copy on the
// same 1440-dpi device.
struct Subject {
    std::unique_ptr<QTextDocument> doc;
    std::unique_ptr<QTextDocument> qtDoc;
    wp::PageLayout layout;
    int pages = 0;
    int qtPages = 0;
};

Subject& subject(int approxPages) {
    static std::map<int, std::unique_ptr<Subject>> cache;
    auto& s = cache[approxPages];
    if (!s) {
        s = std::make_unique<Subject>();
        s->doc = makeDocument(approxPages);
        s->layout.setDocument(s->doc.get());
        s->pages = s->layout.pageCount();
        s->qtDoc.reset(s->doc->clone());
        s->qtDoc->documentLayout()->setPaintDevice(wp::PageLayout::twipsDevice());
        s->qtDoc->setDocumentMargin(0);
        // Qt paginates the body area; the margins are added when drawing.
        s->qtDoc->setPageSize(QSizeF(kLetter.width - kLetter.marginL - kLetter.marginR,
                                     kLetter.height - kLetter.marginT - kLetter.marginB));
        s->qtPages = s->qtDoc->pageCount();
    }
    return *s;
}

void setCounters(benchmark::State& state, const Subject& s) {
    state.counters["pages"] = s.pages;
    state.counters["qt_pages"] = s.qtPages;
}

// --- layout ---------------------------------------------------------------

void BM_Layout(benchmark::State& state) {
    Subject& s = subject(int(state.range(0)));
    for (auto _ : state) {
        s.doc->markContentsDirty(0, s.doc->characterCount());
        s.layout.invalidate();
        benchmark::DoNotOptimize(s.layout.pageCount());
    }
    setCounters(state, s);
}

void BM_Layout_Qt(benchmark::State& state) {
    Subject& s = subject(int(state.range(0)));
    for (auto _ : state) {
        s.qtDoc->markContentsDirty(0, s.qtDoc->characterCount());
        benchmark::DoNotOptimize(s.qtDoc->pageCount());
    }
    setCounters(state, s);
}

// --- one page, the middle one, at whole-page size (fitted into a 700-pixel
// high area) and at 100 % on a 96-dpi image --------------------------------

double wholePageZoom() {
    return 700.0 / (kLetter.height / kTwips * 96.0) * 100.0;
}

QImage pageImage(double zoom) {
    QImage img(int(kLetter.width / kTwips * 96 * zoom / 100) + 1,
               int(kLetter.height / kTwips * 96 * zoom / 100) + 1,
               QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::gray);
    return img;
}

void drawPageWp(benchmark::State& state, double zoom) {
    Subject& s = subject(int(state.range(0)));
    QImage img = pageImage(zoom);
    const int page = (s.pages + 1) / 2;
    for (auto _ : state) {
        QPainter p(&img);
        s.layout.drawPage(&p, page, zoom);
    }
    setCounters(state, s);
}

// What QTextDocument::print does for one page: a white sheet, the painter
// moved to the page's slice of the paginated layout and clipped to it.
void drawPageQt(benchmark::State& state, double zoom) {
    Subject& s = subject(int(state.range(0)));
    QImage img = pageImage(zoom);
    const int page = (s.qtPages + 1) / 2;
    const QSizeF body = s.qtDoc->pageSize();
    for (auto _ : state) {
        QPainter p(&img);
        p.scale(zoom / 100.0 * img.logicalDpiX() / kTwips,
                zoom / 100.0 * img.logicalDpiY() / kTwips);
        p.fillRect(QRectF(0, 0, kLetter.width, kLetter.height), Qt::white);
        p.translate(kLetter.marginL, kLetter.marginT - (page - 1) * body.height());
        const QRectF view(0, (page - 1) * body.height(), body.width(), body.height());
        p.setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.clip = view;
        ctx.palette.setColor(QPalette::Text, Qt::black);
        s.qtDoc->documentLayout()->draw(&p, ctx);
    }
    setCounters(state, s);
}

void BM_DrawPageWhole(benchmark::State& state) {
    drawPageWp(state, wholePageZoom());
}
void BM_DrawPageWhole_Qt(benchmark::State& state) {
    drawPageQt(state, wholePageZoom());
}
void BM_DrawPage100(benchmark::State& state) {
    drawPageWp(state, 100);
}
void BM_DrawPage100_Qt(benchmark::State& state) {
    drawPageQt(state, 100);
}

// --- PDF export, per page ----------------------------------------------------

void BM_Pdf(benchmark::State& state) {
    Subject& s = subject(int(state.range(0)));
    for (auto _ : state) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QPdfWriter writer(&out);
        writer.setResolution(1200);
        writer.setPageSize(QPageSize(s.layout.pageSize() / kTwips, QPageSize::Inch, QString(),
                                     QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        QPainter p(&writer);
        for (int page = 1; page <= s.pages; ++page) {
            if (page > 1)
                writer.newPage();
            s.layout.drawPage(&p, page, 100);
        }
        p.end();
        benchmark::DoNotOptimize(out.size());
    }
    setCounters(state, s);
    state.counters["s_per_page"] = benchmark::Counter(
        s.pages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Pdf_Qt(benchmark::State& state) {
    Subject& s = subject(int(state.range(0)));
    for (auto _ : state) {
        QBuffer out;
        out.open(QIODevice::WriteOnly);
        QPdfWriter writer(&out);
        writer.setResolution(1200);
        writer.setPageSize(QPageSize(s.layout.pageSize() / kTwips, QPageSize::Inch, QString(),
                                     QPageSize::ExactMatch));
        writer.setPageMargins(QMarginsF(1, 1, 1, 1), QPageLayout::Inch);
        s.qtDoc->print(&writer);
        benchmark::DoNotOptimize(out.size());
    }
    setCounters(state, s);
    state.counters["s_per_page"] = benchmark::Counter(
        s.qtPages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// --- one keystroke in the middle of the document (a letter typed, then
// taken back by the next keystroke): the text goes in, the pages are worked
// out again and the page with the caret is drawn --------------------------

// Types a letter or, every other time, takes the last one back.
void keystroke(QTextCursor& c, bool& typed) {
    if (typed)
        c.deletePreviousChar();
    else
        c.insertText(QStringLiteral("x"));
    typed = !typed;
}

void BM_Keystroke(benchmark::State& state) {
    Subject& s = subject(int(state.range(0)));
    QImage img = pageImage(100);
    QTextCursor c(s.doc.get());
    c.setPosition(s.doc->characterCount() / 2);
    bool typed = false;
    const int full = s.layout.fullPasses();
    for (auto _ : state) {
        keystroke(c, typed);
        const int page = s.layout.pageAndLine(c.position()).first;
        QPainter p(&img);
        s.layout.drawPage(&p, page, 100);
    }
    if (typed)
        c.deletePreviousChar();
    setCounters(state, s);
    state.counters["full_passes"] = s.layout.fullPasses() - full;
}

void BM_Keystroke_Qt(benchmark::State& state) {
    Subject& s = subject(int(state.range(0)));
    QImage img = pageImage(100);
    QTextCursor c(s.qtDoc.get());
    c.setPosition(s.qtDoc->characterCount() / 2);
    const QSizeF body = s.qtDoc->pageSize();
    bool typed = false;
    for (auto _ : state) {
        keystroke(c, typed);
        const QRectF r = s.qtDoc->documentLayout()->blockBoundingRect(c.block());
        const int page = int(r.top() / body.height()) + 1;
        benchmark::DoNotOptimize(s.qtDoc->pageCount());
        QPainter p(&img);
        p.scale(img.logicalDpiX() / kTwips, img.logicalDpiY() / kTwips);
        p.translate(kLetter.marginL, kLetter.marginT - (page - 1) * body.height());
        const QRectF view(0, (page - 1) * body.height(), body.width(), body.height());
        p.setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.clip = view;
        s.qtDoc->documentLayout()->draw(&p, ctx);
    }
    if (typed)
        c.deletePreviousChar();
    setCounters(state, s);
}

// --- ten pages pasted into the middle of the document and the page count
// read; the paste is taken out again outside the timing --------------------

const QTextDocumentFragment& tenPages() {
    static const QTextDocumentFragment fragment(makeDocument(10).get());
    return fragment;
}

template <typename Paste, typename Count>
void pasteTenPages(benchmark::State& state, QTextDocument* doc, Paste paste, Count count) {
    const QTextDocumentFragment& fragment = tenPages();
    QTextCursor c(doc);
    for (auto _ : state) {
        const int at = doc->characterCount() / 2;
        c.setPosition(at);
        const int before = doc->characterCount();
        paste(c, fragment);
        benchmark::DoNotOptimize(count());
        state.PauseTiming();
        c.setPosition(at);
        c.setPosition(at + doc->characterCount() - before, QTextCursor::KeepAnchor);
        c.removeSelectedText();
        count();
        state.ResumeTiming();
    }
}

void BM_Paste(benchmark::State& state) {
    Subject& s = subject(int(state.range(0)));
    const int full = s.layout.fullPasses();
    pasteTenPages(
        state, s.doc.get(), [](QTextCursor& c, const auto& f) { c.insertFragment(f); },
        [&s] { return s.layout.pageCount(); });
    setCounters(state, s);
    state.counters["full_passes"] = s.layout.fullPasses() - full;
}

// The same paste, the pages then worked out from the start.
void BM_PasteFullPass(benchmark::State& state) {
    Subject& s = subject(int(state.range(0)));
    pasteTenPages(
        state, s.doc.get(),
        [&s](QTextCursor& c, const auto& f) {
            c.insertFragment(f);
            s.layout.invalidate();
        },
        [&s] { return s.layout.pageCount(); });
    setCounters(state, s);
}

void BM_Paste_Qt(benchmark::State& state) {
    Subject& s = subject(int(state.range(0)));
    pasteTenPages(
        state, s.qtDoc.get(), [](QTextCursor& c, const auto& f) { c.insertFragment(f); },
        [&s] { return s.qtDoc->pageCount(); });
    setCounters(state, s);
}

#define SIZES Arg(2)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_Layout)->SIZES;
BENCHMARK(BM_Layout_Qt)->SIZES;
BENCHMARK(BM_DrawPageWhole)->SIZES;
BENCHMARK(BM_DrawPageWhole_Qt)->SIZES;
BENCHMARK(BM_DrawPage100)->SIZES;
BENCHMARK(BM_DrawPage100_Qt)->SIZES;
BENCHMARK(BM_Keystroke)->SIZES;
BENCHMARK(BM_Keystroke_Qt)->SIZES;
BENCHMARK(BM_Paste)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PasteFullPass)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Paste_Qt)->Arg(200)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pdf)->SIZES;
BENCHMARK(BM_Pdf_Qt)->SIZES;

} // namespace
