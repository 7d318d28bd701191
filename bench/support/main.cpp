// Benchmark entry: an offscreen QApplication (fonts, widgets, printing need
// one), then Google Benchmark. The Qt version, compiler and build type go
// into the results' context for tools/bench-report.
#include <QApplication>
#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::AddCustomContext("qt", qVersion());
#if defined(__clang__)
    benchmark::AddCustomContext("compiler", "clang " __clang_version__);
#elif defined(__GNUC__)
    benchmark::AddCustomContext("compiler", "GCC " __VERSION__);
#endif
    benchmark::AddCustomContext("wp_build", WP_BENCH_BUILD_TYPE);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
