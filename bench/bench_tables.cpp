// Inserting an empty table of 200 rows by 20 columns (and a small one of
// 20 by 5) through the control, beside Qt's own insertTable of the same size
// and table format (collapsed borders, equal column widths) on a bare
// QTextDocument laid out to its full size. The control's cases come twice:
// into a control laid out before (third argument 1, as one on screen) and
// into one never laid out (0: its first pages include the table).
#include "document/TextControlDocument.h"
#include "wp/TextControl.h"

#include <QAbstractTextDocumentLayout>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

void BM_TableInsert_Qt(benchmark::State& state) {
    const int rows = int(state.range(0));
    const int cols = int(state.range(1));
    // The control's own table format, so that only the insertion differs.
    const QTextTableFormat tf = wp::docmodel::insertedTableFormat(cols, 1);
    for (auto _ : state) {
        state.PauseTiming();
        auto doc = std::make_unique<QTextDocument>();
        doc->setPlainText(QStringLiteral("Before the table."));
        doc->documentLayout()->documentSize();
        QTextCursor c(doc.get());
        c.movePosition(QTextCursor::End);
        state.ResumeTiming();
        c.insertTable(rows, cols, tf);
        benchmark::DoNotOptimize(doc->documentLayout()->documentSize());
        state.PauseTiming();
        doc.reset();
        state.ResumeTiming();
    }
    state.counters["cells"] = rows * cols;
}

void BM_TableInsert(benchmark::State& state) {
    const int rows = int(state.range(0));
    const int cols = int(state.range(1));
    const bool laidOut = state.range(2) != 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto tx = std::make_unique<wp::TextControl>();
        tx->resize(816, 1056);
        tx->setSelText(QStringLiteral("Before the table."));
        if (laidOut)
            tx->CurrentPages();
        state.ResumeTiming();
        if (tx->TableInsert(rows, cols, -1, 0) == 0)
            state.SkipWithError("the table was refused");
        benchmark::DoNotOptimize(tx->CurrentPages());
        state.PauseTiming();
        tx.reset();
        state.ResumeTiming();
    }
    state.counters["cells"] = rows * cols;
}

} // namespace

BENCHMARK(BM_TableInsert_Qt)->Args({20, 5})->Args({200, 20})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TableInsert)
    ->Args({20, 5, 1})
    ->Args({200, 20, 1})
    ->Args({200, 20, 0})
    ->Unit(benchmark::kMillisecond);
