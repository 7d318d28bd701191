// The print preview on documents of about 2, 20 and 200 Letter pages, each
// figure beside Qt's own preview or printing of the same document in the
// same run: opening (copy, layout, first page painted), a page turn (next
// page painted) at whole page and at 100 %, and printing to PDF per page.
#include "preview/frmPrintPreview.h"
#include "preview/modPrintDlg.h"
#include "wp/TextControl.h"
#include "wp/hooks.h"

#include <QAction>
#include <QApplication>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTextDocument>
#include <benchmark/benchmark.h>
#include <map>
#include <memory>

namespace {

// Paragraphs of three to five lines, 15 to a Letter page, as RTF.
std::unique_ptr<wp::TextControl> makeHost(int approxPages) {
    static const QByteArray words =
        "Managed a team of eleven engineers delivering payment services to four "
        "countries, cut release time from weeks to days and mentored new hires while "
        "keeping the on-call load fair and the customers informed of every change ";
    QByteArray rtf = "{\\rtf1\\ansi{\\fonttbl{\\f0 Liberation Serif;}}\\f0\\fs24 ";
    const int paragraphs = approxPages * 15;
    for (int i = 0; i < paragraphs; ++i)
        rtf += words.left(200 + (i * 37) % 180) + "\\par ";
    rtf += "}";
    auto tx = std::make_unique<wp::TextControl>();
    tx->LoadFromMemory(rtf, wp::fmt::Rtf);
    return tx;
}

struct Subject {
    std::unique_ptr<wp::TextControl> host;
    std::unique_ptr<QTextDocument> qtDoc; // the same body for Qt's own printing
    int pages = 0;
};

Subject& subject(int approxPages) {
    static std::map<int, std::unique_ptr<Subject>> cache;
    auto& s = cache[approxPages];
    if (!s) {
        s = std::make_unique<Subject>();
        s->host = makeHost(approxPages);
        s->pages = s->host->CurrentPages();
        s->qtDoc.reset(s->host->document()->clone());
    }
    return *s;
}

// Qt's print preview of the same body, shown: it lays out and records every page.
struct QtPreview {
    explicit QtPreview(Subject& s) : dialog(&printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested,
                         [&s](QPrinter* p) { s.qtDoc->print(p); });
        dialog.resize(820, 940);
        dialog.show();
        widget = dialog.findChild<QPrintPreviewWidget*>();
    }
    QPrinter printer{QPrinter::HighResolution};
    QPrintPreviewDialog dialog;
    QPrintPreviewWidget* widget = nullptr;
};

QWidget* pageArea(QWidget* form) {
    return form->findChild<QWidget*>(QStringLiteral("picPage1"));
}

void BM_OpenPreview_wp(benchmark::State& state) {
    Subject& s = subject(int(state.range(0)));
    for (auto _ : state) {
        wp::frmPrintPreview form;
        form.resize(820, 940);
        form.show();
        form.Load(s.host.get());
        QPixmap first = pageArea(&form)->grab();
        benchmark::DoNotOptimize(first);
    }
    state.counters["pages"] = s.pages;
}

void BM_OpenPreview_Qt(benchmark::State& state) {
    Subject& s = subject(int(state.range(0)));
    for (auto _ : state) {
        QtPreview qt(s);
        QPixmap first = qt.widget->grab();
        benchmark::DoNotOptimize(first);
    }
    state.counters["pages"] = s.pages;
}

// Next page (back once at the end), painted.
void pageTurns(benchmark::State& state, int zoomSteps) {
    Subject& s = subject(int(state.range(0)));
    wp::frmPrintPreview form;
    form.resize(820, 940);
    form.show();
    form.Load(s.host.get());
    for (int i = 0; i < zoomSteps; ++i)
        form.SetZoomMode(qint16(form.ZoomMode() + 1));
    QAction* next = form.findChild<QAction*>(QStringLiteral("961"));
    QAction* previous = form.findChild<QAction*>(QStringLiteral("962"));
    QWidget* page = pageArea(&form);
    for (auto _ : state) {
        (next->isEnabled() ? next : previous)->trigger();
        QPixmap shown = page->grab();
        benchmark::DoNotOptimize(shown);
    }
    state.counters["pages"] = s.pages;
}

void BM_PageTurnWhole_wp(benchmark::State& state) {
    pageTurns(state, 0);
}
void BM_PageTurn100_wp(benchmark::State& state) {
    pageTurns(state, 2);
}

void BM_PageTurn_Qt(benchmark::State& state) {
    Subject& s = subject(int(state.range(0)));
    QtPreview qt(s);
    QPrintPreviewWidget* widget = qt.widget;
    widget->setViewMode(QPrintPreviewWidget::SinglePageView);
    widget->fitInView();
    int page = 1;
    for (auto _ : state) {
        page = page < widget->pageCount() ? page + 1 : 1;
        widget->setCurrentPage(page);
        QPixmap shown = widget->grab();
        benchmark::DoNotOptimize(shown);
    }
    state.counters["pages"] = s.pages;
}

void BM_PrintPdf_wp(benchmark::State& state) {
    Subject& s = subject(int(state.range(0)));
    QTemporaryDir dir;
    wp::currentPrinter().setOutputFileName(dir.filePath(QStringLiteral("wp.pdf")));
    wp::setPrintDialogHandler([](QPrintDialog&) { return int(QDialog::Accepted); });
    for (auto _ : state) {
        qint32 flags = wp::modPrintDlg::PD_RETURNDC;
        benchmark::DoNotOptimize(wp::modPrintDlg::PrintDialogTX(s.host.get(), flags));
    }
    wp::setPrintDialogHandler({});
    state.counters["pages"] = s.pages;
    state.counters["s_per_page"] =
        benchmark::Counter(double(s.pages), benchmark::Counter::kIsIterationInvariantRate |
                                                benchmark::Counter::kInvert);
}

void BM_PrintPdf_QtPrint(benchmark::State& state) {
    Subject& s = subject(int(state.range(0)));
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFileName(dir.filePath(QStringLiteral("qt.pdf")));
    for (auto _ : state)
        s.qtDoc->print(&printer);
    state.counters["pages"] = s.pages;
    state.counters["s_per_page"] =
        benchmark::Counter(double(s.pages), benchmark::Counter::kIsIterationInvariantRate |
                                                benchmark::Counter::kInvert);
}

} // namespace

#define SIZES Arg(2)->Arg(20)->Arg(200)->Unit(benchmark::kMillisecond)
BENCHMARK(BM_OpenPreview_wp)->SIZES;
BENCHMARK(BM_OpenPreview_Qt)->SIZES;
BENCHMARK(BM_PageTurnWhole_wp)->SIZES;
BENCHMARK(BM_PageTurn100_wp)->SIZES;
BENCHMARK(BM_PageTurn_Qt)->SIZES;
BENCHMARK(BM_PrintPdf_wp)->SIZES;
BENCHMARK(BM_PrintPdf_QtPrint)->SIZES;
