// A 30-page CV to PDF as whole commands, start-up included: `wptool pdf`
// beside LibreOffice converting the same RTF file.
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

const QString cv = QStringLiteral(WP_CORPUS_DIR "/cv-long.rtf");

void run(benchmark::State& state, const QString& program, const QStringList& args) {
    for (auto _ : state) {
        QProcess p;
        p.start(program, args);
        if (!p.waitForFinished(300000) || p.exitCode() != 0) {
            state.SkipWithError(qPrintable(program + QStringLiteral(" failed: ") +
                                           QString::fromLocal8Bit(p.readAllStandardError())));
            return;
        }
    }
}

void BM_WptoolPdf(benchmark::State& state) {
    QTemporaryDir out;
    run(state, QStringLiteral(WPTOOL_PATH), {QStringLiteral("pdf"), cv, out.filePath("cv.pdf")});
}

void BM_SofficePdf(benchmark::State& state) {
    QTemporaryDir out;
    run(state, QStringLiteral("soffice"),
        {QStringLiteral("-env:UserInstallation=file://") + out.filePath(QStringLiteral("profile")),
         QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
         QStringLiteral("--outdir"), out.path(), cv});
}

} // namespace

BENCHMARK(BM_WptoolPdf)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_SofficePdf)->Unit(benchmark::kMillisecond)->Iterations(3);
