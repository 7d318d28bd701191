// A 30-page CV to PDF (and to a Word document) as whole commands, process
// start to exit: `wptool pdf` (`wptool convert`) beside LibreOffice
// converting the same RTF file. The time is the real
// (wall) time of each run; the "cpu_ms" counter is the user and system time
// the process and its children spent, which other work on the machine
// disturbs less, "faults" their page faults, which it does not disturb, and
// "peak_mb" the most memory the process held at once. The pictures pair
// prints thirty 4000 x 4000 pictures shown a tenth of an inch wide.
#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

const std::string cv = WP_CORPUS_DIR "/cv-long.rtf";

struct Run {
    bool ok = false;
    double seconds = 0;
    double cpuSeconds = 0;
    double pageFaults = 0;
    double peakMb = 0;
};

// One process with its output thrown away, timed from spawn to reaped exit.
Run spawnAndWait(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    Run run;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return run;
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                     (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    run.pageFaults = double(usage.ru_minflt + usage.ru_majflt);
    run.peakMb = usage.ru_maxrss / 1024.0;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

void measure(benchmark::State& state, const std::vector<std::string>& argv,
             const QString& expectedPdf) {
    double cpu = 0, faults = 0, peak = 0;
    for (auto _ : state) {
        QFile::remove(expectedPdf);
        const Run run = spawnAndWait(argv);
        if (!run.ok || !QFile::exists(expectedPdf)) {
            state.SkipWithError((argv[0] + " failed").c_str());
            return;
        }
        state.SetIterationTime(run.seconds);
        cpu += run.cpuSeconds;
        faults += run.pageFaults;
        peak = std::max(peak, run.peakMb);
    }
    state.counters["cpu_ms"] = benchmark::Counter(cpu * 1000, benchmark::Counter::kAvgIterations);
    state.counters["faults"] = benchmark::Counter(faults, benchmark::Counter::kAvgIterations);
    state.counters["peak_mb"] = peak;
}

// Thirty 4000 x 4000 PNGs, each of its own colour, shown 0.1 inch wide
// (made once per run of the benchmarks).
const std::string& picturesRtf() {
    static QTemporaryDir dir;
    static const std::string path = [] {
        QByteArray rtf = "{\\rtf1\\ansi\n";
        QImage image(4000, 4000, QImage::Format_RGB32);
        for (int i = 0; i < 30; ++i) {
            image.fill(QColor::fromHsv(i * 12, 200, 220));
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            rtf += "{\\pict\\pngblip\\picw4000\\pich4000\\picwgoal144\\pichgoal144\n" +
                   png.toHex() + "}\\par\n";
        }
        rtf += "}";
        const QString file = dir.filePath(QStringLiteral("pictures.rtf"));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || out.write(rtf) != rtf.size())
            return std::string();
        return file.toStdString();
    }();
    return path;
}

// WPTOOL names another build of the tool to compare (before and after a change).
void wptoolPdf(benchmark::State& state, const std::string& file) {
    QTemporaryDir out;
    const QString pdf = out.filePath(QStringLiteral("out.pdf"));
    const QByteArray tool =
        qEnvironmentVariableIsEmpty("WPTOOL") ? QByteArray(WPTOOL_PATH) : qgetenv("WPTOOL");
    measure(state, {tool.toStdString(), "pdf", file, pdf.toStdString()}, pdf);
}
void BM_PdfCommand_wp(benchmark::State& state) {
    wptoolPdf(state, cv);
}
void BM_PdfPictures_wp(benchmark::State& state) {
    wptoolPdf(state, picturesRtf());
}

// LibreOffice with a profile of its own, created and warmed by one untimed
// conversion, so the runs measure a conversion and not the first start.
void convertWithLibreOffice(benchmark::State& state, const std::string& file, const char* format) {
    static QTemporaryDir profile;
    QTemporaryDir out;
    const std::vector<std::string> argv = {"soffice",
                                           "-env:UserInstallation=file://" +
                                               profile.path().toStdString(),
                                           "--headless",
                                           "--convert-to",
                                           format,
                                           "--outdir",
                                           out.path().toStdString(),
                                           file};
    const QString converted = out.filePath(
        QFileInfo(QString::fromStdString(file)).completeBaseName() + u'.' + QLatin1String(format));
    static const bool warm = spawnAndWait(argv).ok;
    if (!warm) {
        state.SkipWithError("soffice failed");
        return;
    }
    measure(state, argv, converted);
}

void BM_PdfCommand_LO(benchmark::State& state) {
    convertWithLibreOffice(state, cv, "pdf");
}
void BM_PdfPictures_LO(benchmark::State& state) {
    convertWithLibreOffice(state, picturesRtf(), "pdf");
}

void BM_DocxCommand_wp(benchmark::State& state) {
    QTemporaryDir out;
    const QString docx = out.filePath(QStringLiteral("cv.docx"));
    const QByteArray tool =
        qEnvironmentVariableIsEmpty("WPTOOL") ? QByteArray(WPTOOL_PATH) : qgetenv("WPTOOL");
    measure(state, {tool.toStdString(), "convert", cv, docx.toStdString()}, docx);
}

void BM_DocxCommand_LO(benchmark::State& state) {
    convertWithLibreOffice(state, cv, "docx");
}

} // namespace

BENCHMARK(BM_PdfCommand_wp)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK(BM_PdfCommand_LO)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3)
    ->Repetitions(1);
BENCHMARK(BM_DocxCommand_wp)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK(BM_DocxCommand_LO)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3)
    ->Repetitions(1);
BENCHMARK(BM_PdfPictures_wp)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_PdfPictures_LO)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(1);
