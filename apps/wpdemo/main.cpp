// wpdemo: a small host for the wp library, run on the sample data directory.
#include "DemoWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QTimer>

// Without --samples: the samples of the installation wpdemo runs from, else
// the folder "samples" where it was started.
static QString defaultSamples() {
    const QString installed =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../share/wp/samples");
    return QFileInfo::exists(installed + QStringLiteral("/env.xml")) ? installed
                                                                     : QStringLiteral("samples");
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
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
    QCommandLineOption userData(QStringLiteral("user-data"),
                                QStringLiteral("This-user data directory (template archive "
                                               "app.mvdt); default: the one built beside wpdemo"),
                                QStringLiteral("dir"));
    parser.addOption(samples);
    parser.addOption(userData);
    parser.addOption(shots);
    parser.process(app);

    DemoWindow window(
        QDir(parser.isSet(samples) ? parser.value(samples) : defaultSamples()).absolutePath(),
        parser.isSet(userData) ? QDir(parser.value(userData)).absolutePath() : QString());
    window.resize(1000, 760);
    window.show();
    if (parser.isSet(shots)) {
        const QString dir = QDir(parser.value(shots)).absolutePath();
        QTimer::singleShot(0, &window, [&window, dir] {
            for (const QString& path : window.writeScreenshots(dir))
                printf("%s\n", qPrintable(path));
            QApplication::quit();
        });
    }
    return app.exec();
}
