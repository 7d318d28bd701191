// wpdemo: a small host for the wp library, run on the sample data directory.
#include "Console.h"
#include "DemoWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <optional>

static int runDemo(int argc, char** argv);

// Without --samples: the samples of the installation wpdemo runs from, else
// the folder "samples" where it was started.
static QString defaultSamples() {
    const QString installed =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/wp/samples");
    return QFileInfo::exists(installed + QStringLiteral("/env.xml")) ? installed
                                                                     : QStringLiteral("samples");
}

// Runs that only print or write files: --help and --screenshots.
static bool headlessRun(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--help" || a == "-h" || a == "--help-all" || a == "-?" ||
            a.startsWith("--screenshots"))
            return true;
    }
    return false;
}

int main(int argc, char** argv) {
    // Without a display Qt's default platform aborts before a word of help:
    // draw offscreen then, as ./run does.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's notes of such a run (the offscreen platform's propagateSizeHints(),
    // fonts, runtime folder) are held back, and told only if the run fails.
    std::optional<wptool::QuietQt> quiet;
    if (headlessRun(argc, argv))
        quiet.emplace();
    const int code = runDemo(argc, argv);
    if (quiet && code != 0)
        quiet->release();
    return code;
}

static int runDemo(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("wp"));
    QApplication::setApplicationName(QStringLiteral("wpdemo"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Demo host of the wp library"));
    parser.addHelpOption();
    QCommandLineOption samples(
        QStringLiteral("samples"),
        QStringLiteral("Sample data directory; default: the installed samples, else ./samples"),
        QStringLiteral("dir"));
    QCommandLineOption shots(QStringLiteral("screenshots"),
                             QStringLiteral("Write PNGs of the windows there and quit"),
                             QStringLiteral("dir"));
    QCommandLineOption hiDpi(QStringLiteral("hidpi-only"),
                             QStringLiteral("With --screenshots: only the editor and the preview, "
                                            "as <window>@2x.png (run with QT_SCALE_FACTOR=2)"));
    QCommandLineOption userData(QStringLiteral("user-data"),
                                QStringLiteral("This-user data directory (template archive "
                                               "app.mvdt); default: the one built beside wpdemo"),
                                QStringLiteral("dir"));
    parser.addOption(samples);
    parser.addOption(userData);
    parser.addOption(shots);
    parser.addOption(hiDpi);
    parser.process(app);

    DemoWindow window(
        QDir(parser.isSet(samples) ? parser.value(samples) : defaultSamples()).absolutePath(),
        parser.isSet(userData) ? QDir(parser.value(userData)).absolutePath() : QString());
    window.resize(1000, 760);
    window.show();
    if (parser.isSet(shots)) {
        const QString dir = QDir(parser.value(shots)).absolutePath();
        const bool only2x = parser.isSet(hiDpi);
        QTimer::singleShot(0, &window, [&window, dir, only2x] {
            int failures = 0;
            for (const QString& path : window.writeScreenshots(dir, only2x))
                printf("%s\n", qPrintable(path));
            fflush(stdout);
            if (!only2x) {
                // The same windows at device pixel ratio 2: the scale factor
                // is read once, at start-up, so by a second run of ourselves.
                QProcess run;
                QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
                env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
                run.setProcessEnvironment(env);
                run.setProcessChannelMode(QProcess::ForwardedChannels);
                QStringList args = QCoreApplication::arguments().mid(1);
                args << QStringLiteral("--hidpi-only");
                run.start(QCoreApplication::applicationFilePath(), args);
                if (!run.waitForFinished(120000) || run.exitCode() != 0)
                    ++failures;
            }
            // Nothing of a screenshot run is to be saved.
            window.setWindowModified(false);
            QCoreApplication::exit(failures ? 1 : 0);
        });
    }
    return app.exec();
}
