// Field text <-> twips conversions and loading the page dialog, each beside
// the plain Qt work it is built on.
#include "core/modWP.h"
#include "dialogs/frmPageDlg.h"
#include "dialogs/modTX.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QLocale>
#include <benchmark/benchmark.h>
#include <cmath>

namespace {
const QString kTexts[] = {QStringLiteral("8.50"), QStringLiteral("11.00"), QStringLiteral("1.25"),
                          QStringLiteral("0.75"), QStringLiteral("abc"),   QStringLiteral("")};

void BM_DlgString2Twips_wp(benchmark::State& state) {
    wp::modWP::g_intMeasurement = 2;
    for (auto _ : state)
        for (const QString& t : kTexts)
            benchmark::DoNotOptimize(wp::modTX::DlgString2Twips(t));
}
BENCHMARK(BM_DlgString2Twips_wp);

void BM_DlgString2Twips_QtLocale(benchmark::State& state) {
    const QLocale locale;
    for (auto _ : state)
        for (const QString& t : kTexts) {
            bool ok = false;
            const double v = locale.toDouble(t, &ok);
            benchmark::DoNotOptimize(ok ? qint32(std::nearbyint(v * 1440.0)) : 0);
        }
}
BENCHMARK(BM_DlgString2Twips_QtLocale);

void BM_Twips2DlgString_wp(benchmark::State& state) {
    wp::modWP::g_intMeasurement = 2;
    for (auto _ : state)
        for (float twips : {12240.f, 15840.f, 1800.f, 1080.f, 720.f, 0.f})
            benchmark::DoNotOptimize(wp::modTX::Twips2DlgString(twips));
}
BENCHMARK(BM_Twips2DlgString_wp);

void BM_Twips2DlgString_QtLocale(benchmark::State& state) {
    const QLocale locale;
    for (auto _ : state)
        for (float twips : {12240.f, 15840.f, 1800.f, 1080.f, 720.f, 0.f})
            benchmark::DoNotOptimize(locale.toString(twips / 1440.0, 'f', 2));
}
BENCHMARK(BM_Twips2DlgString_QtLocale);

const QString kPage =
    QStringLiteral("<page><page_size width=\"12240\" height=\"15840\"/><doc_margins left=\"1440\" "
                   "top=\"1440\" right=\"1440\" bottom=\"1440\"/></page>");

// Creating and loading the dialog (controls, list, XML, six conversions,
// validity after each field) without showing it.
void BM_PageDialog_wp(benchmark::State& state) {
    wp::modWP::g_intMeasurement = 2;
    for (auto _ : state) {
        wp::frmPageDlg form;
        form.Load(kPage);
        benchmark::DoNotOptimize(form.XML());
    }
}
BENCHMARK(BM_PageDialog_wp)->Unit(benchmark::kMicrosecond);

// The same widgets in a plain dialog, filled with fixed texts.
void BM_PageDialog_QtWidgets(benchmark::State& state) {
    for (auto _ : state) {
        QDialog dialog;
        auto* list = new QComboBox(&dialog);
        list->addItems({"A4", "A5", "B5", "Letter", "Legal", "User Defined"});
        for (int i = 0; i < 6; ++i)
            (new QLineEdit(&dialog))->setText(QStringLiteral("8.50"));
        benchmark::DoNotOptimize(list->count());
    }
}
BENCHMARK(BM_PageDialog_QtWidgets)->Unit(benchmark::kMicrosecond);
} // namespace
